#include "about/about_test_support.h"

#include <shlwapi.h>

#include <cstdio>

#include "about/about_dialog.h"
#include "app/job_context.h"
#include "app/text.h"
#include "res/resource.h"

namespace abouttest {

namespace {
constexpr wchar_t ClientsKey[] = L"Software\\Clients\\Mail";
constexpr wchar_t ClientsBackupKey[] = L"Software\\VandrelTestBackup\\Mail";
constexpr wchar_t RecorderVariable[] = L"VANDREL_RECORDER_FILE";

std::string ReadWholeFile(const std::wstring &path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    std::string content;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0)
        content.append(chunk, read);
    CloseHandle(file);
    return content;
}
} // namespace

// ---- the box ----

ModelessAboutBox::ModelessAboutBox() {
    window_ =
        CreateDialogParamW(appInstance, MAKEINTRESOURCEW(IDD_ABOUT), nullptr, AboutDialogProc, 0);
}

ModelessAboutBox::~ModelessAboutBox() {
    if (window_)
        DestroyWindow(window_);
}

RECT ModelessAboutBox::ClientRectOf(int id) const {
    RECT bounds = {};
    GetWindowRect(Item(id), &bounds);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT *>(&bounds), 2);
    return bounds;
}

void ModelessAboutBox::Click(int x, int y) const {
    SendMessageW(window_, WM_LBUTTONDOWN, MK_LBUTTON, Position(x, y));
    SendMessageW(window_, WM_LBUTTONUP, 0, Position(x, y));
}

void ModelessAboutBox::ClickCentreOf(int id) const {
    const RECT bounds = ClientRectOf(id);
    Click((bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2);
}

ModalAboutBox::ModalAboutBox(HWND owner) : owner_(owner) {
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

ModalAboutBox::~ModalAboutBox() {
    if (Result(0) == -2 && window_)
        PostMessageW(window_, WM_COMMAND, IDCANCEL, 0);
    Result(10000);
    CloseHandle(thread_);
}

DWORD WINAPI ModalAboutBox::Run(void *self) {
    auto *box = static_cast<ModalAboutBox *>(self);
    box->result_ =
        DialogBoxParamW(appInstance, MAKEINTRESOURCEW(IDD_ABOUT), box->owner_, AboutDialogProc, 0);
    return 0;
}

namespace {
BOOL CALLBACK FindVisibleDialog(HWND window, LPARAM found) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (lstrcmpW(name, L"#32770") != 0 || !IsWindowVisible(window))
        return TRUE;
    *reinterpret_cast<HWND *>(found) = window;
    return FALSE;
}
} // namespace

HWND ModalAboutBox::WaitUntilShown(DWORD timeoutMs) {
    // The template makes the box visible once WM_INITDIALOG has run.
    const DWORD threadId = GetThreadId(thread_);
    // Messages keep flowing here: the box disables and enables an owner of this thread.
    testsupport::PumpUntil(
        [&] {
            EnumThreadWindows(threadId, FindVisibleDialog, reinterpret_cast<LPARAM>(&window_));
            return window_ != nullptr;
        },
        timeoutMs);
    return window_;
}

INT_PTR ModalAboutBox::Result(DWORD timeoutMs) {
    const bool ended = testsupport::PumpUntil(
        [&] { return WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0; }, timeoutMs);
    if (!ended)
        return -2;
    return result_;
}

// ---- the recorder ----

std::wstring RecorderPath() {
    return testsupport::BuildPath(L"tests\\recorder.exe");
}

std::wstring RecorderFolder() {
    const std::wstring path = RecorderPath();
    return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring SupportAddress() {
    return LoadText(IDS_SUPPORT_MAIL);
}

std::wstring Homepage() {
    return LoadText(IDS_HOMEPAGE);
}

std::wstring Utf8ToWide(const std::string &text) {
    if (text.empty())
        return std::wstring();
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], size);
    return result;
}

RecorderFile::RecorderFile(const std::wstring &path) : path_(path) {
    wchar_t value[1024];
    const DWORD length = GetEnvironmentVariableW(RecorderVariable, value, 1024);
    hadPrevious_ = length > 0 && length < 1024;
    if (hadPrevious_)
        previous_ = value;
    DeleteFileW(path_.c_str());
    Select();
}

RecorderFile::~RecorderFile() {
    SetEnvironmentVariableW(RecorderVariable, hadPrevious_ ? previous_.c_str() : nullptr);
}

void RecorderFile::Select() const {
    SetEnvironmentVariableW(RecorderVariable, path_.c_str());
}

std::vector<RecorderRun> RecorderFile::Runs() const {
    const std::string content = ReadWholeFile(path_);
    std::vector<RecorderRun> runs;
    size_t at = 0;
    for (;;) {
        const size_t commandEnd = content.find('\n', at);
        if (commandEnd == std::string::npos)
            break;
        const size_t showEnd = content.find('\n', commandEnd + 1);
        if (showEnd == std::string::npos)
            break;
        const std::string command = content.substr(at, commandEnd - at);
        const std::string show = content.substr(commandEnd + 1, showEnd - commandEnd - 1);
        RecorderRun run;
        if (command.rfind("command ", 0) == 0)
            run.commandLine = Utf8ToWide(command.substr(8));
        unsigned long flags = 0;
        unsigned shown = 0;
        if (sscanf(show.c_str(), "show %lx %u", &flags, &shown) == 2) {
            run.flags = flags;
            run.show = shown;
        }
        runs.push_back(run);
        at = showEnd + 1;
    }
    return runs;
}

bool RecorderFile::WaitForRun(RecorderRun *run, DWORD timeoutMs) const {
    std::vector<RecorderRun> runs;
    testsupport::PumpUntil(
        [&] {
            runs = Runs();
            return !runs.empty();
        },
        timeoutMs);
    if (runs.empty())
        return false;
    *run = runs.front();
    return true;
}

bool RecorderFile::Exists() const {
    return GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// ---- the registry ----

SavedRegistryValue::SavedRegistryValue(HKEY root, const std::wstring &keyPath,
                                       const wchar_t *valueName)
    : root_(root), keyPath_(keyPath), valueName_(valueName ? valueName : L"") {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root_, keyPath_.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return;
    hadKey_ = true;
    DWORD size = 0;
    if (RegQueryValueExW(key, valueName_.c_str(), nullptr, &type_, nullptr, &size) ==
        ERROR_SUCCESS) {
        data_.resize(size);
        hadValue_ = RegQueryValueExW(key, valueName_.c_str(), nullptr, &type_, data_.data(),
                                     &size) == ERROR_SUCCESS;
        data_.resize(size);
    }
    RegCloseKey(key);
}

SavedRegistryValue::~SavedRegistryValue() {
    if (!hadKey_) {
        DeleteRegistryTree(root_, keyPath_);
        return;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExW(root_, keyPath_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    if (hadValue_)
        RegSetValueExW(key, valueName_.c_str(), 0, type_, data_.data(),
                       static_cast<DWORD>(data_.size()));
    else
        RegDeleteValueW(key, valueName_.c_str());
    RegCloseKey(key);
}

bool WriteRegistryText(HKEY root, const std::wstring &keyPath, const wchar_t *valueName,
                       const std::wstring &text, DWORD type) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const LONG result =
        RegSetValueExW(key, valueName, 0, type, reinterpret_cast<const BYTE *>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

bool DeleteRegistryValue(HKEY root, const std::wstring &keyPath, const wchar_t *valueName) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, keyPath.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return false;
    const LONG result = RegDeleteValueW(key, valueName);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

void DeleteRegistryTree(HKEY root, const std::wstring &keyPath) {
    SHDeleteKeyW(root, keyPath.c_str());
}

MailClientSetup::MailClientSetup() : savedDefault_(HKEY_LOCAL_MACHINE, ClientsKey, nullptr) {
    HKEY key = nullptr;
    hadClientsKey_ =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, ClientsKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (key)
        RegCloseKey(key);
}

MailClientSetup::~MailClientSetup() {
    // A removed Clients\Mail key comes back from its copy; savedDefault_ then restores its value.
    HKEY backup = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, ClientsBackupKey, 0, KEY_READ, &backup) ==
        ERROR_SUCCESS) {
        HKEY clients = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, ClientsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &clients, nullptr) == ERROR_SUCCESS) {
            SHCopyKeyW(backup, nullptr, clients, 0);
            RegCloseKey(clients);
        }
        RegCloseKey(backup);
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, L"Software\\VandrelTestBackup");
    }
    // Then the clients this test made go, also those that came back with the copy.
    for (const std::wstring &client : clients_)
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, std::wstring(ClientsKey) + L"\\" + client);
}

void MailClientSetup::Track(const std::wstring &client) {
    for (const std::wstring &known : clients_)
        if (known == client)
            return;
    clients_.push_back(client);
}

void MailClientSetup::Register(const std::wstring &client, const std::wstring &commandTemplate,
                               DWORD type) {
    SetDefaultClient(client);
    SetCommand(client, commandTemplate, type);
}

void MailClientSetup::SetDefaultClient(const std::wstring &client) {
    WriteRegistryText(HKEY_LOCAL_MACHINE, ClientsKey, nullptr, client);
}

void MailClientSetup::SetCommand(const std::wstring &client, const std::wstring &commandTemplate,
                                 DWORD type) {
    Track(client);
    WriteRegistryText(HKEY_LOCAL_MACHINE,
                      std::wstring(ClientsKey) + L"\\" + client +
                          L"\\Protocols\\mailto\\shell\\open\\command",
                      nullptr, commandTemplate, type);
}

void MailClientSetup::SetValueBelow(const std::wstring &client, const std::wstring &subPath,
                                    const std::wstring &text) {
    Track(client);
    WriteRegistryText(HKEY_LOCAL_MACHINE,
                      std::wstring(ClientsKey) + L"\\" + client + L"\\" + subPath, nullptr, text);
}

void MailClientSetup::RemoveDefaultClient() {
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, ClientsKey, nullptr);
}

void MailClientSetup::RemoveClientsKey() {
    if (!hadClientsKey_)
        return;
    HKEY clients = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, ClientsKey, 0, KEY_READ, &clients) != ERROR_SUCCESS)
        return;
    HKEY backup = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, ClientsBackupKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &backup, nullptr) == ERROR_SUCCESS) {
        if (SHCopyKeyW(clients, nullptr, backup, 0) == ERROR_SUCCESS) {
            RegCloseKey(clients);
            clients = nullptr;
            DeleteRegistryTree(HKEY_LOCAL_MACHINE, ClientsKey);
        }
        RegCloseKey(backup);
    }
    if (clients)
        RegCloseKey(clients);
}

} // namespace abouttest
