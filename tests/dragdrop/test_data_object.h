#pragma once
// A small data object for drop tests: a file list (CF_HDROP) or a text, and whatever the drop
// target stores into it with SetData (the "DropDescription" block among it).
#include <windows.h>

#include <ole2.h>
#include <shlobj.h>

#include <map>
#include <string>
#include <vector>

class TestDataObject : public IDataObject {
  public:
    TestDataObject() = default; // one reference, the creator's
    TestDataObject(const TestDataObject &) = delete;
    TestDataObject &operator=(const TestDataObject &) = delete;

    // Offers these paths as CF_HDROP (an empty list is still offered, with no path in it).
    void SetFiles(const std::vector<std::wstring> &paths);
    // Offers a text as CF_UNICODETEXT.
    void SetText(const std::wstring &text);
    // Makes SetData answer this failure (as Wine does across processes with E_NOTIMPL).
    void RefuseSetData(HRESULT code) { setDataResult_ = code; }

    LONG References() const { return references_; }
    int GetDataCalls() const { return getDataCalls_; }
    int SetDataCalls() const { return setDataCalls_; }
    // The last drop description stored with SetData; false when there is none.
    bool Description(DROPDESCRIPTION *description) const;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void **object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDataObject
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC *format, STGMEDIUM *medium) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC *format, STGMEDIUM *medium) override;
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC *format) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC *in, FORMATETC *out) override;
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC *format, STGMEDIUM *medium, BOOL release) override;
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC **formats) override;
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC *, DWORD, IAdviseSink *, DWORD *) override;
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override;
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA **) override;

  private:
    virtual ~TestDataObject() = default;

    LONG references_ = 1;
    int getDataCalls_ = 0;
    int setDataCalls_ = 0;
    HRESULT setDataResult_ = S_OK;
    std::map<CLIPFORMAT, std::vector<BYTE>> blocks_; // the contents of each offered format
};
