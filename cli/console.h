#pragma once
// Text to standard output or standard error: UTF-16 to a console, so every name shows as it is,
// and UTF-8 where the stream is redirected, so non-ASCII names survive a pipe into a file.
#include <windows.h>

#include <string>

class ConsoleStream {
  public:
    explicit ConsoleStream(DWORD which);
    bool IsConsole() const { return console_; }
    void Write(const std::wstring &text);

  private:
    HANDLE handle_;
    bool console_;
};
