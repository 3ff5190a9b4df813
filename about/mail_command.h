#pragma once
// The command line that starts the default mail client, built from the registry.
#include <windows.h>

#include <cstddef>

// Characters of the command line, terminator included.
constexpr size_t MailCommandCapacity = 256;

// Looks up the machine's default mail client under HKEY_LOCAL_MACHINE and fills commandLine
// (MailCommandCapacity characters) with its mailto command for "address?subject=subject". False,
// with an empty commandLine, when there is no client or command, or when any value or the result
// does not fit its buffer.
bool BuildSupportMailCommand(const wchar_t *address, const wchar_t *subject, wchar_t *commandLine);
