// What a left click on the About box's two links does: the support mail through the machine's
// default mail client, the homepage through the shell.
#include <windows.h>

#include <shellapi.h>

#include <cwchar>

#include "about/about_dialog.h"
#include "about/mail_command.h"
#include "app/handles.h"
#include "app/text.h"
#include "res/resource.h"

namespace {

constexpr size_t ClientNameCapacity = 256;
constexpr size_t TemplateCapacity = 320;
constexpr size_t ExpandedCapacity = 261;
constexpr size_t VariableNameCapacity = 32;
constexpr size_t MailTargetCapacity = 64;

constexpr wchar_t MailClientsKey[] = L"Software\\Clients\\Mail";
constexpr wchar_t MailCommandKey[] =
    L"Software\\Clients\\Mail\\%s\\Protocols\\mailto\\shell\\open\\command";

// Reads the default value of an open key as text, whatever its registry type. False when the
// value is missing or unreadable, or when it has more than capacity - 1 characters.
bool ReadDefaultText(HKEY key, wchar_t *buffer, size_t capacity) {
    DWORD size = 0;
    if (RegQueryValueExW(key, nullptr, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return false;
    const DWORD room = static_cast<DWORD>(capacity * sizeof(wchar_t));
    if (size > room)
        return false;
    DWORD read = room;
    if (RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE *>(buffer), &read) !=
        ERROR_SUCCESS)
        return false;
    size_t length = read / sizeof(wchar_t);
    while (length > 0 && buffer[length - 1] == L'\0') // a stored terminator is not text
        --length;
    if (length >= capacity) // no room left for the terminator
        return false;
    buffer[length] = L'\0';
    return true;
}

bool OpenMachineKey(const wchar_t *path, UniqueRegKey *key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return false;
    key->Reset(opened);
    return true;
}

// The name of the default mail client, which is also its subkey.
bool ReadMailClientName(wchar_t *clientName) {
    UniqueRegKey clients;
    return OpenMachineKey(MailClientsKey, &clients) &&
           ReadDefaultText(clients.Get(), clientName, ClientNameCapacity);
}

bool ReadCommandTemplate(const wchar_t *clientName, wchar_t *commandTemplate) {
    wchar_t keyPath[MailCommandCapacity] = {};
    if (FormatText(keyPath, MailCommandCapacity, MailCommandKey, clientName) != S_OK)
        return false;
    UniqueRegKey command;
    return OpenMachineKey(keyPath, &command) &&
           ReadDefaultText(command.Get(), commandTemplate, TemplateCapacity);
}

// Expands the first %NAME% of the template in place. A double quote and the variable's value
// take the place of everything up to the second percent sign, which fits templates that start
// with a quoted path under a variable such as the program-files folder. A template without a
// reference, or whose reference names no variable, stays as read. False when the name or the
// expanded command does not fit.
bool ExpandFirstVariable(wchar_t *commandTemplate) {
    const wchar_t *first = wcschr(commandTemplate, L'%');
    if (!first)
        return true;
    const wchar_t *second = wcschr(first + 1, L'%');
    if (!second)
        return true;
    // A longer name cannot be looked up whole, and a cut one could name another variable: a
    // name that does not fit is a value that does not fit.
    const size_t nameLength = static_cast<size_t>(second - first - 1);
    if (nameLength >= VariableNameCapacity)
        return false;
    wchar_t name[VariableNameCapacity] = {};
    wmemcpy(name, first + 1, nameLength);

    wchar_t expanded[ExpandedCapacity] = {};
    expanded[0] = L'"';
    const DWORD valueRoom = ExpandedCapacity - 1;
    const DWORD valueLength = GetEnvironmentVariableW(name, expanded + 1, valueRoom);
    if (valueLength == 0)
        return true;
    if (valueLength >= valueRoom) // the size it would need: the value does not fit
        return false;
    const size_t used = 1 + valueLength;
    if (CopyText(expanded + used, ExpandedCapacity - used, second + 1) != S_OK)
        return false;
    return CopyText(commandTemplate, TemplateCapacity, expanded) == S_OK;
}

// The template with its first "%1" replaced by the mail target; the rest is taken literally.
bool FillPlaceholder(const wchar_t *commandTemplate, const wchar_t *mailTarget,
                     wchar_t *commandLine) {
    const wchar_t *placeholder = wcsstr(commandTemplate, L"%1");
    if (!placeholder)
        return CopyText(commandLine, MailCommandCapacity, commandTemplate) == S_OK;
    const size_t before = static_cast<size_t>(placeholder - commandTemplate);
    if (before >= MailCommandCapacity)
        return false;
    wmemcpy(commandLine, commandTemplate, before);
    size_t used = before;
    size_t copied = 0;
    if (CopyText(commandLine + used, MailCommandCapacity - used, mailTarget, &copied) != S_OK)
        return false;
    used += copied;
    return CopyText(commandLine + used, MailCommandCapacity - used, placeholder + 2) == S_OK;
}

} // namespace

bool BuildSupportMailCommand(const wchar_t *address, const wchar_t *subject, wchar_t *commandLine) {
    commandLine[0] = L'\0';
    wchar_t clientName[ClientNameCapacity] = {};
    wchar_t commandTemplate[TemplateCapacity] = {};
    wchar_t mailTarget[MailTargetCapacity] = {};
    if (!ReadMailClientName(clientName) || !ReadCommandTemplate(clientName, commandTemplate))
        return false;
    if (!ExpandFirstVariable(commandTemplate))
        return false;
    if (FormatText(mailTarget, MailTargetCapacity, L"%s?subject=%s", address, subject) != S_OK)
        return false;
    if (!FillPlaceholder(commandTemplate, mailTarget, commandLine)) {
        commandLine[0] = L'\0';
        return false;
    }
    return true;
}

void ComposeSupportMail(const wchar_t *address, const wchar_t *subject) {
    wchar_t commandLine[MailCommandCapacity] = {};
    if (!BuildSupportMailCommand(address, subject, commandLine))
        return;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process)) {
        // Nothing waits for the client.
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

void OpenHomepage(HWND window) {
    ShellExecuteW(window, L"open", LoadText(IDS_HOMEPAGE), nullptr, nullptr, SW_SHOWMAXIMIZED);
}

LRESULT HandleLinkClick(HWND window, LPARAM position) {
    if (IsOverLink(window, position, IDC_ABOUT_MAIL)) {
        // Both slots are taken now: nothing else may be loaded until the mail has been started.
        const wchar_t *subject = LoadText(IDS_PRODUCT);
        const wchar_t *address = LoadText(IDS_SUPPORT_MAIL);
        ComposeSupportMail(address, subject);
    }
    if (IsOverLink(window, position, IDC_ABOUT_HOME))
        OpenHomepage(window);
    return 0;
}
