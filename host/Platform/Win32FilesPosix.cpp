// The file system's calls on names (CreateDirectoryW, MoveFileExW, DeleteFileW, RemoveDirectoryW), the
// thread's last error and LocalFree, for systems without the Windows API.
#include <windows.h>

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <string>

#include "PlatformControl.hpp"
#include "UniString.hpp"

namespace {

thread_local DWORD lastError = 0;
std::array<std::atomic<int>, 4> failures{};

// True when a failure of `call` was asked for (and counts it).
bool Failing(Platform::Control::FileCall call) {
    std::atomic<int>& left = failures[static_cast<std::size_t>(call)];
    int now = left.load();
    while (now > 0 && !left.compare_exchange_weak(now, now - 1)) {
    }
    if (now <= 0)
        return false;
    lastError = ERROR_ACCESS_DENIED;
    return true;
}

std::string Utf8(LPCWSTR path) {
    return GS::UniString(std::u16string_view(path)).ToCStr(0, MaxUSize, CC_UTF8).Get();
}

DWORD FromErrno(int error) {
    switch (error) {
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EEXIST:
            return ERROR_ALREADY_EXISTS;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        default:
            return ERROR_ACCESS_DENIED;
    }
}

// The answer of a call whose POSIX counterpart returned `result`.
BOOL Answer(int result) {
    if (result == 0)
        return TRUE;
    lastError = FromErrno(errno);
    return FALSE;
}

}  // namespace

extern "C" DWORD GetLastError() {
    return lastError;
}

extern "C" void SetLastError(DWORD code) {
    lastError = code;
}

extern "C" HLOCAL LocalFree(HLOCAL memory) {
    free(memory);
    return nullptr;
}

extern "C" BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes) {
    if (path == nullptr || attributes != nullptr) {
        lastError = ERROR_ACCESS_DENIED;
        return FALSE;
    }
    if (Failing(Platform::Control::FileCall::CreateDirectory))
        return FALSE;
    return Answer(mkdir(Utf8(path).c_str(), 0700));
}

extern "C" BOOL MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags) {
    if (from == nullptr || to == nullptr) {
        lastError = ERROR_ACCESS_DENIED;
        return FALSE;
    }
    if (Failing(Platform::Control::FileCall::MoveFile))
        return FALSE;
    const std::string target = Utf8(to);
    struct stat existing;
    if ((flags & MOVEFILE_REPLACE_EXISTING) == 0 && lstat(target.c_str(), &existing) == 0) {
        lastError = ERROR_ALREADY_EXISTS;
        return FALSE;
    }
    return Answer(rename(Utf8(from).c_str(), target.c_str()));
}

extern "C" BOOL DeleteFileW(LPCWSTR path) {
    if (path == nullptr) {
        lastError = ERROR_FILE_NOT_FOUND;
        return FALSE;
    }
    if (Failing(Platform::Control::FileCall::DeleteFile))
        return FALSE;
    return Answer(unlink(Utf8(path).c_str()));
}

extern "C" BOOL RemoveDirectoryW(LPCWSTR path) {
    if (path == nullptr) {
        lastError = ERROR_PATH_NOT_FOUND;
        return FALSE;
    }
    if (Failing(Platform::Control::FileCall::RemoveDirectory))
        return FALSE;
    return Answer(rmdir(Utf8(path).c_str()));
}

namespace Platform::Control {

void FailFileCall(FileCall call, int count) {
    failures[static_cast<std::size_t>(call)] = count;
}

}  // namespace Platform::Control
