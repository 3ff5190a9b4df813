#include "engine/list_file.h"

#include <algorithm>

#include "app/handles.h"
#include "engine/paths.h"

namespace {

// A name beside the file that nothing else uses; CREATE_NEW makes sure of that.
UniqueHandle CreateBeside(const std::wstring &path, std::wstring *temporary) {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        *temporary = path + L".~" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                     std::to_wstring(attempt) + L".tmp";
        UniqueHandle file(CreateFileW(temporary->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return UniqueHandle();
}

bool WriteAll(HANDLE file, const std::string &bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    // A share or a disk that fails only when the data leaves the cache fails here, not later.
    return FlushFileBuffers(file) != FALSE;
}

} // namespace

DWORD WriteFileReplacing(const wchar_t *path, const std::string &bytes) {
    const std::wstring target = ExtendedPath(path);
    std::wstring temporary;
    UniqueHandle file = CreateBeside(target, &temporary);
    if (!file)
        return GetLastError();
    if (!WriteAll(file.Get(), bytes)) {
        // A write that took nothing without an error is a full volume all the same.
        const DWORD code = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_DISK_FULL;
        file.Reset();
        DeleteFileW(temporary.c_str());
        return code;
    }
    file.Reset();
    if (!MoveFileExW(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD code = GetLastError();
        DeleteFileW(temporary.c_str());
        return code;
    }
    return ERROR_SUCCESS;
}
