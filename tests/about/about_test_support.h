#pragma once
// Helpers of the About box tests: the box itself, the recorder program's output and the
// registry keys of the default mail client in the Wine prefix.
#include <windows.h>

#include <string>
#include <vector>

#include "common/test_support.h"

namespace abouttest {

// The box created modeless from its template on this thread; destroyed with the object.
class ModelessAboutBox {
  public:
    ModelessAboutBox();
    ~ModelessAboutBox();
    ModelessAboutBox(const ModelessAboutBox &) = delete;
    ModelessAboutBox &operator=(const ModelessAboutBox &) = delete;
    HWND Get() const { return window_; }
    HWND Item(int id) const { return GetDlgItem(window_, id); }
    // The window rectangle of a control in client coordinates of the box.
    RECT ClientRectOf(int id) const;
    // A client position packed as the lParam of a mouse message.
    static LPARAM Position(int x, int y) { return MAKELPARAM(x, y); }
    // A left button press at a client position, as the box receives it from a click.
    void Click(int x, int y) const;
    void ClickCentreOf(int id) const;

  private:
    HWND window_ = nullptr;
};

// Runs the box modally on a thread of its own, as the main dialog does; Result() waits for it.
class ModalAboutBox {
  public:
    explicit ModalAboutBox(HWND owner = nullptr);
    ~ModalAboutBox();
    ModalAboutBox(const ModalAboutBox &) = delete;
    ModalAboutBox &operator=(const ModalAboutBox &) = delete;
    // The box's window once it has initialised, or null after the time-out.
    HWND WaitUntilShown(DWORD timeoutMs = 5000);
    // The result of DialogBoxParamW, or -2 when the box is still open after the time-out.
    INT_PTR Result(DWORD timeoutMs = 5000);

  private:
    static DWORD WINAPI Run(void *self);
    HWND owner_;
    HANDLE thread_ = nullptr;
    HWND window_ = nullptr;
    INT_PTR result_ = -2;
};

// One run of the recorder program.
struct RecorderRun {
    std::wstring commandLine;
    unsigned long flags = 0; // STARTUPINFO dwFlags
    unsigned show = 0;       // STARTUPINFO wShowWindow
};

// A file that the recorder appends to, named for the programs this process starts through the
// VANDREL_RECORDER_FILE variable; the variable is put back when the object goes.
class RecorderFile {
  public:
    explicit RecorderFile(const std::wstring &path);
    ~RecorderFile();
    RecorderFile(const RecorderFile &) = delete;
    RecorderFile &operator=(const RecorderFile &) = delete;
    // Points the variable at this file again (after another RecorderFile took it).
    void Select() const;
    // All complete runs recorded so far.
    std::vector<RecorderRun> Runs() const;
    // Waits (dispatching messages) until the file holds at least one complete run.
    bool WaitForRun(RecorderRun *run, DWORD timeoutMs = 10000) const;
    bool Exists() const;

  private:
    std::wstring path_;
    std::wstring previous_;
    bool hadPrevious_ = false;
};

std::wstring RecorderPath();   // the recorder program in the build tree
std::wstring RecorderFolder(); // the folder that holds it
std::wstring Utf8ToWide(const std::string &text);

// The support address (string 16) and the homepage (string 17) of the current resources.
std::wstring SupportAddress();
std::wstring Homepage();

// Remembers a registry value (or its absence) and puts it back when the object goes.
class SavedRegistryValue {
  public:
    SavedRegistryValue(HKEY root, const std::wstring &keyPath, const wchar_t *valueName);
    ~SavedRegistryValue();
    SavedRegistryValue(const SavedRegistryValue &) = delete;
    SavedRegistryValue &operator=(const SavedRegistryValue &) = delete;

  private:
    HKEY root_;
    std::wstring keyPath_;
    std::wstring valueName_;
    bool hadKey_ = false;
    bool hadValue_ = false;
    DWORD type_ = 0;
    std::vector<BYTE> data_;
};

bool WriteRegistryText(HKEY root, const std::wstring &keyPath, const wchar_t *valueName,
                       const std::wstring &text, DWORD type = REG_SZ);
bool DeleteRegistryValue(HKEY root, const std::wstring &keyPath, const wchar_t *valueName);
void DeleteRegistryTree(HKEY root, const std::wstring &keyPath);

// The machine's default mail client in the prefix, changed by a test and put back afterwards:
// the default value of HKLM\Software\Clients\Mail is restored and every client key the test
// made is removed.
class MailClientSetup {
  public:
    MailClientSetup();
    ~MailClientSetup();
    MailClientSetup(const MailClientSetup &) = delete;
    MailClientSetup &operator=(const MailClientSetup &) = delete;
    // Makes the named client the default and registers its mailto command template.
    void Register(const std::wstring &client, const std::wstring &commandTemplate,
                  DWORD type = REG_SZ);
    void SetDefaultClient(const std::wstring &client);
    void SetCommand(const std::wstring &client, const std::wstring &commandTemplate,
                    DWORD type = REG_SZ);
    // Writes a default value at a key below HKLM\Software\Clients\Mail\<client>.
    void SetValueBelow(const std::wstring &client, const std::wstring &subPath,
                       const std::wstring &text);
    void RemoveDefaultClient();
    void RemoveClientsKey();

  private:
    void Track(const std::wstring &client);
    SavedRegistryValue savedDefault_;
    bool hadClientsKey_;
    std::vector<std::wstring> clients_;
};

} // namespace abouttest
