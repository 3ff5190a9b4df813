#pragma once
// Helpers shared by the tests: real folders under the prefix's temp folder, file times,
// windows found on screen, and message pumping with a deadline.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// A fresh folder under %TEMP%, removed with everything in it (read-only bits cleared first).
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::wstring &Path() const { return path_; }
    std::wstring operator/(const std::wstring &name) const { return path_ + L"\\" + name; }

  private:
    std::wstring path_;
};

// The extended-length form of a full drive path (\\?\C:\...), which takes long paths and
// names that end in a space or a dot; the helpers below all go through it.
std::wstring Native(const std::wstring &path);
void RemoveTree(const std::wstring &path);
// Creates (or overwrites) a file with the given content; creates missing parent folders.
void WriteTextFile(const std::wstring &path, const std::string &content = "x");
void MakeFolder(const std::wstring &path);

// Times of an item, read with GetFileTime (UTC).
struct ItemTimes {
    FILETIME created, accessed, written;
};
bool ReadTimes(const std::wstring &path, ItemTimes *times);
bool WriteTimes(const std::wstring &path, const FILETIME *created, const FILETIME *accessed,
                const FILETIME *written);
FILETIME MakeFileTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second);
// A local SYSTEMTIME and the UTC FILETIME that the program must write for it.
SYSTEMTIME MakeLocalTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second);
FILETIME LocalToUtc(const SYSTEMTIME &local);
bool SameTime(const FILETIME &a, const FILETIME &b);
// A FILETIME as the signed number of its 100 ns ticks, and back.
int64_t Ticks(const FILETIME &time);
FILETIME FromTicks(int64_t ticks);
// The reverse of LocalToUtc, with the rules of the date itself.
SYSTEMTIME UtcToLocal(const FILETIME &utc);
// The suites run in the Warsaw zone (TZ=Europe/Warsaw), where a conversion with the wrong
// offset shows: summer and winter differ by an hour.
bool RunsInWarsawTime();

// While it lives, SetFileTime refuses the items whose names end in one of names (each a name
// or a tail of folder and name, such as L"x\\d.txt"), with the given system error code; every
// other item is stamped by the real call. An empty list refuses every item.
class RefuseStamping {
  public:
    explicit RefuseStamping(std::vector<std::wstring> names = {}, DWORD code = ERROR_ACCESS_DENIED);
    ~RefuseStamping();
    RefuseStamping(const RefuseStamping &) = delete;
    RefuseStamping &operator=(const RefuseStamping &) = delete;
};
// While it lives, a read-only item is opened only for writing, as some shares do: an open for
// its attributes alone is refused with ERROR_ACCESS_DENIED.
class RefuseReadOnlyOpens {
  public:
    RefuseReadOnlyOpens();
    ~RefuseReadOnlyOpens();
    RefuseReadOnlyOpens(const RefuseReadOnlyOpens &) = delete;
    RefuseReadOnlyOpens &operator=(const RefuseReadOnlyOpens &) = delete;
};
// Dispatches this thread's messages until done() is true or the time is up; returns done().
bool PumpUntil(const std::function<bool()> &done, DWORD timeoutMs);
// Finds a top-level window of this process by class (may be null) and title (may be null).
HWND WaitForWindow(const wchar_t *className, const wchar_t *title, DWORD timeoutMs);

// Path of a file in the build tree (the built program, the helper programs).
std::wstring BuildPath(const std::wstring &relative);
// The text of a window (any length).
std::wstring WindowText(HWND window);
// The user-interface language the program's resources were chosen for.
bool IsChineseUi();
// True when the program gets its English resources: neither Polish nor Chinese.
bool IsEnglishUi();

// While it lives, the walk spends delayMs on the file of that name before counting or stamping
// it, as on a slow share. Inside() tells whether the walk is in that file now.
class SlowItem {
  public:
    SlowItem(const std::wstring &name, DWORD delayMs);
    ~SlowItem();
    SlowItem(const SlowItem &) = delete;
    SlowItem &operator=(const SlowItem &) = delete;
    static bool Inside();
};

} // namespace testsupport
