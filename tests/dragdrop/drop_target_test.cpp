// The drop target registered on a dialog made from the main template, driven through its
// IDropTarget interface with real data objects.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <string>
#include <thread>
#include <utility>

#include "app/job_context.h"
#include "app/text.h"
#include "common/test_support.h"
#include "dragdrop/drop_target.h"
#include "dragdrop/vandrel_drop.h"
#include "res/resource.h"
#include "test_data_object.h"

using testsupport::TempDir;

namespace {

constexpr DWORD AllEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;

// The program's drop target with its two hooks watched; an accepted drop is only recorded.
class WatchedVandrel : public CVandrel {
  public:
    HRESULT OnDropAccepted() override {
        ++accepted;
        acceptedPath = droppedPath;
        return S_OK;
    }
    HRESULT OnDropRefused(IDataObject *data) override {
        ++refused;
        refusedWith = data;
        return CVandrel::OnDropRefused(data);
    }
    int accepted = 0;
    int refused = 0;
    std::wstring acceptedPath;
    IDataObject *refusedWith = nullptr;
};

// Owns one reference of a test data object.
struct Data {
    Data() : object(new TestDataObject) {}
    ~Data() { object->Release(); }
    Data(const Data &) = delete;
    Data &operator=(const Data &) = delete;
    TestDataObject *operator->() const { return object; }
    TestDataObject *object;
};

INT_PTR CALLBACK TemplateOnlyProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

std::wstring Repeat(wchar_t c, size_t count) {
    return std::wstring(count, c);
}

class DropTarget : public testing::Test {
  protected:
    void SetUp() override {
        watched_ = new WatchedVandrel;
        dropTarget = watched_;
        dialog_ = CreateDialogParamW(appInstance, MAKEINTRESOURCEW(IDD_MAIN), nullptr,
                                     TemplateOnlyProc, 0);
        ASSERT_NE(nullptr, dialog_);
        RegisterDropTarget(dialog_);
        target_ = dropTarget; // the object as OLE sees it: through its IDropTarget
        file_ = temp_ / L"notes.txt";
        folder_ = temp_ / L"Summer photos";
        testsupport::WriteTextFile(file_);
        testsupport::MakeFolder(folder_);
    }
    void TearDown() override {
        RevokeDropTarget();
        DestroyWindow(dialog_);
        std::exchange(dropTarget, nullptr)->Release();
    }

    DWORD Enter(IDataObject *data, DWORD keys = 0, DWORD offered = AllEffects) {
        DWORD effect = offered;
        EXPECT_EQ(S_OK, target_->DragEnter(data, keys, POINTL{10, 10}, &effect));
        return effect;
    }
    DWORD Over(DWORD keys = 0, DWORD offered = AllEffects) {
        DWORD effect = offered;
        EXPECT_EQ(S_OK, target_->DragOver(keys, POINTL{12, 12}, &effect));
        return effect;
    }
    DWORD DropOn(IDataObject *data, DWORD keys = 0, DWORD offered = AllEffects) {
        DWORD effect = offered;
        EXPECT_EQ(S_OK, target_->Drop(data, keys, POINTL{12, 12}, &effect));
        return effect;
    }
    static DROPDESCRIPTION DescriptionOf(const Data &data) {
        DROPDESCRIPTION description = {};
        EXPECT_TRUE(data->Description(&description));
        return description;
    }

    TempDir temp_;
    std::wstring file_, folder_;
    HWND dialog_ = nullptr;
    WatchedVandrel *watched_ = nullptr;
    IDropTarget *target_ = nullptr;
};

TEST_F(DropTarget, RegistersOnTheDialogWithItsCaptions) {
    EXPECT_EQ(dialog_, dropTarget->window);
    EXPECT_EQ(DROPIMAGE_COPY, dropTarget->imageType);
    EXPECT_STREQ(L"Zastosuj do: %1", dropTarget->dropMessage);
    EXPECT_STREQ(L"Nie można przenosić wielu plików", dropTarget->noDropMessage);
    // OLE knows the window as a drop target now: a second registration is turned away.
    EXPECT_EQ(DRAGDROP_E_ALREADYREGISTERED, RegisterDragDrop(dialog_, target_));

    RevokeDropTarget();
    EXPECT_EQ(nullptr, dropTarget->window);
    EXPECT_EQ(DRAGDROP_E_NOTREGISTERED, RevokeDragDrop(dialog_));
    RevokeDropTarget(); // nothing left to revoke: harmless
}

TEST_F(DropTarget, OneFileIsAcceptedWithItsNameAsInsert) {
    Data data;
    data->SetFiles({file_});
    EXPECT_EQ(DROPEFFECT_COPY, Enter(data.object));
    const DROPDESCRIPTION description = DescriptionOf(data);
    EXPECT_EQ(DROPIMAGE_COPY, description.type);
    EXPECT_STREQ(L"Zastosuj do: %1", description.szMessage);
    EXPECT_STREQ(L"notes.txt", description.szInsert);
    EXPECT_EQ(2, data->References()); // held for the drag

    EXPECT_EQ(DROPEFFECT_COPY, Over());
    EXPECT_EQ(DROPEFFECT_COPY, DropOn(data.object));
    EXPECT_EQ(1, watched_->accepted);
    EXPECT_EQ(0, watched_->refused);
    EXPECT_EQ(file_, watched_->acceptedPath);
}

TEST_F(DropTarget, OneFolderIsAcceptedWithItsNameAsInsert) {
    Data data;
    data->SetFiles({folder_});
    EXPECT_EQ(DROPEFFECT_COPY, Enter(data.object));
    const DROPDESCRIPTION description = DescriptionOf(data);
    EXPECT_EQ(DROPIMAGE_COPY, description.type);
    EXPECT_STREQ(L"Summer photos", description.szInsert);
    EXPECT_EQ(DROPEFFECT_COPY, DropOn(data.object));
    EXPECT_EQ(folder_, watched_->acceptedPath);
}

TEST_F(DropTarget, DataWithoutExactlyOnePathIsRefused) {
    struct Case {
        const char *name;
        void (*fill)(TestDataObject *, const std::wstring &, const std::wstring &);
    };
    const Case cases[] = {
        {"two files",
         [](TestDataObject *d, const std::wstring &a, const std::wstring &b) {
             d->SetFiles({a, b});
         }},
        {"text only",
         [](TestDataObject *d, const std::wstring &a, const std::wstring &) { d->SetText(a); }},
        {"empty file list",
         [](TestDataObject *d, const std::wstring &, const std::wstring &) { d->SetFiles({}); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        watched_->refused = 0;
        Data data;
        c.fill(data.object, file_, folder_);
        EXPECT_EQ(DROPEFFECT_NONE, Enter(data.object));
        const DROPDESCRIPTION description = DescriptionOf(data);
        EXPECT_EQ(DROPIMAGE_NONE, description.type);
        EXPECT_STREQ(L"Nie można przenosić wielu plików", description.szMessage);
        EXPECT_STREQ(L"", description.szInsert);
        EXPECT_EQ(DROPEFFECT_NONE, Over());
        EXPECT_EQ(DROPEFFECT_NONE, DropOn(data.object));
        EXPECT_EQ(1, watched_->refused);
        EXPECT_EQ(data.object, watched_->refusedWith);
        EXPECT_EQ(0, watched_->accepted);
    }
}

TEST_F(DropTarget, KeysAndTheSourcesOfferNeverChangeTheEffect) {
    const DWORD keyStates[] = {
        0, MK_CONTROL, MK_SHIFT, MK_ALT, MK_CONTROL | MK_SHIFT, MK_LBUTTON | MK_ALT | MK_CONTROL};
    const DWORD offers[] = {AllEffects, DROPEFFECT_MOVE, DROPEFFECT_LINK};
    Data one, two;
    one->SetFiles({file_});
    two->SetFiles({file_, folder_});
    for (DWORD keys : keyStates) {
        for (DWORD offer : offers) {
            SCOPED_TRACE(testing::Message() << "keys " << keys << ", offer " << offer);
            EXPECT_EQ(DROPEFFECT_COPY, Enter(one.object, keys, offer));
            EXPECT_EQ(DROPEFFECT_COPY, Over(keys, offer));
            EXPECT_EQ(DROPEFFECT_NONE, Enter(two.object, keys, offer));
            EXPECT_EQ(DROPEFFECT_NONE, Over(keys, offer));
        }
    }
    EXPECT_EQ(DROPEFFECT_COPY, Enter(one.object, MK_SHIFT, DROPEFFECT_MOVE));
    EXPECT_EQ(DROPEFFECT_COPY, DropOn(one.object, MK_SHIFT, DROPEFFECT_MOVE));
    EXPECT_EQ(1, watched_->accepted);
}

TEST_F(DropTarget, DragOverOnlyReportsTheVerdictOfDragEnter) {
    Data data;
    data->SetFiles({file_});
    Enter(data.object);
    const int reads = data->GetDataCalls();
    const int writes = data->SetDataCalls();
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(DROPEFFECT_COPY, Over(0, DROPEFFECT_COPY));
    EXPECT_EQ(reads, data->GetDataCalls());
    EXPECT_EQ(writes, data->SetDataCalls());
}

TEST_F(DropTarget, LeavingResetsTheDescriptionAndGivesTheDataUp) {
    Data data;
    data->SetFiles({file_});
    Enter(data.object);
    EXPECT_EQ(2, data->References());
    EXPECT_EQ(S_OK, target_->DragLeave());
    const DROPDESCRIPTION description = DescriptionOf(data);
    EXPECT_EQ(DROPIMAGE_INVALID, description.type);
    EXPECT_STREQ(L"", description.szMessage);
    EXPECT_STREQ(L"", description.szInsert);
    EXPECT_EQ(1, data->References());
    EXPECT_EQ(0, watched_->accepted + watched_->refused);
    // A second leave without a drag in between touches nothing.
    const int writes = data->SetDataCalls();
    EXPECT_EQ(S_OK, target_->DragLeave());
    EXPECT_EQ(writes, data->SetDataCalls());
}

TEST_F(DropTarget, ASecondDragAfterADropReleasesTheFirstData) {
    Data first, second;
    first->SetFiles({file_});
    second->SetFiles({file_, folder_});
    Enter(first.object);
    DropOn(first.object);
    EXPECT_EQ(2, first->References()); // still held after the drop

    EXPECT_EQ(DROPEFFECT_NONE, Enter(second.object));
    EXPECT_EQ(1, first->References());
    EXPECT_EQ(2, second->References());
    // The first drag's description is left as it was; the second gets the refusing one.
    EXPECT_EQ(DROPIMAGE_COPY, DescriptionOf(first).type);
    EXPECT_EQ(DROPIMAGE_NONE, DescriptionOf(second).type);
    DropOn(second.object);
    EXPECT_EQ(1, watched_->accepted);
    EXPECT_EQ(1, watched_->refused);
}

TEST_F(DropTarget, DescriptionTextsAreCutTo259Units) {
    dropTarget->SetDropMessage(Repeat(L'm', 400).c_str());
    EXPECT_EQ(259u, wcslen(dropTarget->dropMessage));
    dropTarget->SetNoDropMessage(Repeat(L'n', 260).c_str());
    EXPECT_EQ(Repeat(L'n', 259), dropTarget->noDropMessage);

    Data data;
    data->SetFiles({file_});
    Enter(data.object);
    EXPECT_EQ(Repeat(L'm', 259), DescriptionOf(data).szMessage);

    SetDropDescription(data.object, DROPIMAGE_WARNING, Repeat(L'a', 259).c_str(),
                       Repeat(L'b', 300).c_str());
    const DROPDESCRIPTION description = DescriptionOf(data);
    EXPECT_EQ(DROPIMAGE_WARNING, description.type);
    EXPECT_EQ(Repeat(L'a', 259), description.szMessage);
    EXPECT_EQ(Repeat(L'b', 259), description.szInsert);
}

TEST_F(DropTarget, APathTooLongForTheTargetIsShownAsRefused) {
    // Made up: no such file can be created here, but the file list can carry it.
    std::wstring longPath = temp_.Path();
    while (longPath.size() < PathCapacity)
        longPath += L"\\" + Repeat(L'd', 200);
    Data data;
    data->SetFiles({longPath});
    EXPECT_EQ(DROPEFFECT_NONE, Enter(data.object));
    EXPECT_TRUE(dropTarget->droppedPathTooLong);
    EXPECT_EQ(longPath.substr(0, PathCapacity - 1), dropTarget->droppedPath);

    Data fits;
    fits->SetFiles({file_});
    Enter(fits.object);
    EXPECT_FALSE(dropTarget->droppedPathTooLong);
}

TEST_F(DropTarget, RefusedDescriptionsDoNotDisturbTheDrag) {
    // Wine answers E_NOTIMPL for SetData across processes.
    Data data;
    data->SetFiles({file_});
    data->RefuseSetData(E_NOTIMPL);
    EXPECT_EQ(DROPEFFECT_COPY, Enter(data.object));
    EXPECT_GT(data->SetDataCalls(), 0);
    EXPECT_EQ(DROPEFFECT_COPY, DropOn(data.object));
    EXPECT_EQ(1, watched_->accepted);
}

TEST_F(DropTarget, QueryInterfaceKnowsOnlyIUnknownAndIDropTarget) {
    // The creator's reference and the registration's are held already.
    const ULONG held = target_->AddRef() - 1;
    target_->Release();

    void *object = nullptr;
    ASSERT_EQ(S_OK, target_->QueryInterface(IID_IUnknown, &object));
    EXPECT_EQ(static_cast<IUnknown *>(target_), object);
    EXPECT_EQ(held + 2, target_->AddRef()); // the query's reference and this one
    target_->Release();
    static_cast<IUnknown *>(object)->Release();

    object = nullptr;
    ASSERT_EQ(S_OK, target_->QueryInterface(IID_IDropTarget, &object));
    EXPECT_EQ(target_, object);
    static_cast<IUnknown *>(object)->Release();

    object = target_;
    EXPECT_EQ(E_NOINTERFACE, target_->QueryInterface(IID_IDataObject, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(E_NOINTERFACE, target_->QueryInterface(IID_IDropSource, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(held + 1, target_->AddRef()); // nothing was added by the failed queries
    target_->Release();
}

TEST(DropTargetObject, DestructionGivesUpHeldData) {
    auto *target = new CVandrel;
    EXPECT_EQ(2u, target->AddRef());
    EXPECT_EQ(1u, target->Release());
    TestDataObject *data = new TestDataObject;
    data->SetFiles({L"C:\\windows"});
    DWORD effect = DROPEFFECT_COPY;
    target->DragEnter(data, 0, POINTL{0, 0}, &effect);
    EXPECT_EQ(2, data->References());
    EXPECT_EQ(0u, target->Release()); // the last reference: the object goes, with what it held
    EXPECT_EQ(1, data->References());
    data->Release();
}

TEST(DropTargetObject, NotRegisteredWithoutAnObject) {
    ASSERT_EQ(nullptr, dropTarget);
    HWND dialog =
        CreateDialogParamW(appInstance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, TemplateOnlyProc, 0);
    ASSERT_NE(nullptr, dialog);
    RegisterDropTarget(dialog);
    EXPECT_EQ(DRAGDROP_E_NOTREGISTERED, RevokeDragDrop(dialog));
    RevokeDropTarget();
    DestroyWindow(dialog);
}

// OLE cannot start in a thread that joined the multithreaded apartment: the object is made, but
// the dialog does not register it and keeps its template captions out of it.
TEST(DropTargetObject, WithoutOleTheDialogTakesNoDrops) {
    struct Outcome {
        HRESULT oleInitResult = S_OK;
        HWND window = reinterpret_cast<HWND>(1);
        int imageType = 0;
        std::wstring dropMessage = L"unset";
        bool created = false;
    } outcome;
    std::thread thread([&outcome] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        dropTarget = new CVandrel;
        HWND dialog = CreateDialogParamW(appInstance, MAKEINTRESOURCEW(IDD_MAIN), nullptr,
                                         TemplateOnlyProc, 0);
        outcome.created = dialog != nullptr;
        RegisterDropTarget(dialog);
        outcome.oleInitResult = dropTarget->oleInitResult;
        outcome.window = dropTarget->window;
        outcome.imageType = dropTarget->imageType;
        outcome.dropMessage = dropTarget->dropMessage;
        RevokeDropTarget();
        DestroyWindow(dialog);
        std::exchange(dropTarget, nullptr)->Release();
        CoUninitialize();
    });
    thread.join();
    ASSERT_TRUE(outcome.created);
    EXPECT_TRUE(FAILED(outcome.oleInitResult));
    EXPECT_EQ(nullptr, outcome.window);
    EXPECT_EQ(DROPIMAGE_LABEL, outcome.imageType);
    EXPECT_EQ(L"", outcome.dropMessage);
}

TEST(ReadDroppedFile, AnswersByThePathsInTheData) {
    static wchar_t path[DroppedPathCapacity] = L"untouched";
    TestDataObject *data = new TestDataObject;
    data->SetText(L"C:\\some\\text");
    EXPECT_EQ(DV_E_FORMATETC, ReadDroppedFile(data, path)); // GetData's own answer
    data->SetFiles({L"C:\\one", L"C:\\two"});
    EXPECT_EQ(E_FAIL, ReadDroppedFile(data, path));
    data->SetFiles({});
    EXPECT_EQ(E_FAIL, ReadDroppedFile(data, path));
    data->SetFiles({L"C:\\folder\\file name.txt"});
    EXPECT_EQ(S_OK, ReadDroppedFile(data, path));
    EXPECT_STREQ(L"C:\\folder\\file name.txt", path);
    // 32,767 units, the longest path the system takes, still fits.
    const std::wstring exact = L"\\\\?\\C:\\" + Repeat(L'x', 32767 - 7);
    data->SetFiles({exact});
    EXPECT_EQ(S_OK, ReadDroppedFile(data, path));
    EXPECT_EQ(exact, path);
    data->SetFiles({exact + L"y"});
    EXPECT_EQ(DroppedPathTooLong, ReadDroppedFile(data, path));
    EXPECT_EQ(exact, path);
    data->Release();
}

TEST(DropTargetAnyLanguage, CaptionsComeFromTheDialogAndTheStringTable) {
    auto *target = new CVandrel;
    dropTarget = target;
    HWND dialog =
        CreateDialogParamW(appInstance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, TemplateOnlyProc, 0);
    ASSERT_NE(nullptr, dialog);
    RegisterDropTarget(dialog);
    wchar_t caption[128] = {};
    GetDlgItemTextW(dialog, IDC_TARGET_GROUP, caption, 128);
    EXPECT_NE(L'\0', caption[0]);
    EXPECT_EQ(std::wstring(caption) + L" %1", target->dropMessage);
    EXPECT_STREQ(LoadText(IDS_MULTIPLE_FILES), target->noDropMessage);
    EXPECT_NE(L'\0', target->noDropMessage[0]);
    RevokeDropTarget();
    DestroyWindow(dialog);
    std::exchange(dropTarget, nullptr)->Release();
}

} // namespace
