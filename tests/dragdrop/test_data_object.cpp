#include "test_data_object.h"

#include <cstring>

namespace {

CLIPFORMAT DescriptionFormat() {
    return static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"DropDescription"));
}

} // namespace

void TestDataObject::SetFiles(const std::vector<std::wstring> &paths) {
    // DROPFILES header, then each path with its terminator, then one more terminator.
    std::wstring list;
    for (const std::wstring &path : paths)
        list += path + L'\0';
    list += L'\0';
    if (paths.empty())
        list += L'\0'; // an empty list is still two terminators
    std::vector<BYTE> block(sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    DROPFILES header = {};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = TRUE;
    std::memcpy(block.data(), &header, sizeof header);
    std::memcpy(block.data() + sizeof header, list.data(), list.size() * sizeof(wchar_t));
    blocks_[CF_HDROP] = block;
}

void TestDataObject::SetText(const std::wstring &text) {
    const auto bytes = reinterpret_cast<const BYTE *>(text.c_str());
    blocks_[CF_UNICODETEXT].assign(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
}

bool TestDataObject::Description(DROPDESCRIPTION *description) const {
    const auto found = blocks_.find(DescriptionFormat());
    if (found == blocks_.end() || found->second.size() < sizeof *description)
        return false;
    std::memcpy(description, found->second.data(), sizeof *description);
    return true;
}

HRESULT STDMETHODCALLTYPE TestDataObject::QueryInterface(REFIID id, void **object) {
    if (id == IID_IUnknown || id == IID_IDataObject) {
        *object = static_cast<IDataObject *>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TestDataObject::AddRef() {
    return InterlockedIncrement(&references_);
}

ULONG STDMETHODCALLTYPE TestDataObject::Release() {
    const LONG count = InterlockedDecrement(&references_);
    if (count == 0)
        delete this;
    return count;
}

HRESULT STDMETHODCALLTYPE TestDataObject::GetData(FORMATETC *format, STGMEDIUM *medium) {
    ++getDataCalls_;
    const auto found = blocks_.find(format->cfFormat);
    if (found == blocks_.end())
        return DV_E_FORMATETC;
    if (!(format->tymed & TYMED_HGLOBAL))
        return DV_E_TYMED;
    // Movable memory, as the shell hands out: the handle is not the address.
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, found->second.size());
    if (!memory)
        return E_OUTOFMEMORY;
    std::memcpy(GlobalLock(memory), found->second.data(), found->second.size());
    GlobalUnlock(memory);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = memory;
    medium->pUnkForRelease = nullptr;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TestDataObject::GetDataHere(FORMATETC *, STGMEDIUM *) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TestDataObject::QueryGetData(FORMATETC *format) {
    return blocks_.count(format->cfFormat) ? S_OK : DV_E_FORMATETC;
}

HRESULT STDMETHODCALLTYPE TestDataObject::GetCanonicalFormatEtc(FORMATETC *, FORMATETC *out) {
    out->ptd = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TestDataObject::SetData(FORMATETC *format, STGMEDIUM *medium,
                                                  BOOL release) {
    ++setDataCalls_;
    if (FAILED(setDataResult_))
        return setDataResult_;
    if (format->tymed != TYMED_HGLOBAL || medium->tymed != TYMED_HGLOBAL)
        return DV_E_TYMED;
    const SIZE_T size = GlobalSize(medium->hGlobal);
    const auto bytes = static_cast<const BYTE *>(GlobalLock(medium->hGlobal));
    if (!bytes)
        return E_INVALIDARG;
    blocks_[format->cfFormat].assign(bytes, bytes + size);
    GlobalUnlock(medium->hGlobal);
    if (release)
        ReleaseStgMedium(medium); // the memory is ours now
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TestDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC **formats) {
    if (direction != DATADIR_GET)
        return E_NOTIMPL;
    std::vector<FORMATETC> offered;
    for (const auto &block : blocks_)
        offered.push_back({block.first, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL});
    return SHCreateStdEnumFmtEtc(static_cast<UINT>(offered.size()), offered.data(), formats);
}

HRESULT STDMETHODCALLTYPE TestDataObject::DAdvise(FORMATETC *, DWORD, IAdviseSink *, DWORD *) {
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT STDMETHODCALLTYPE TestDataObject::DUnadvise(DWORD) {
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT STDMETHODCALLTYPE TestDataObject::EnumDAdvise(IEnumSTATDATA **) {
    return OLE_E_ADVISENOTSUPPORTED;
}
