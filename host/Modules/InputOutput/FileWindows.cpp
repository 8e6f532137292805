// IO::File's file calls over Windows file handles: always binary, paths through the wide-character calls
// so that any Unicode path opens.
#include <windows.h>

#include "Location.hpp"
#include "NativeFile.hpp"
#include "WindowsText.hpp"

namespace IO::Native {

namespace {

GSErrCode FromLastError() {
    switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return FileNotFound;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return AccessDenied;
        default:
            return ReadError;
    }
}

HANDLE ToHandle(Handle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

GSErrCode Open(const std::string& path, Int32 mode, bool create, Handle* handle) {
    const DWORD access = mode == 0 ? GENERIC_READ : mode == 2 ? GENERIC_READ | GENERIC_WRITE : GENERIC_WRITE;
    DWORD disposition = create ? OPEN_ALWAYS : OPEN_EXISTING;
    if (mode == 3)
        disposition = create ? CREATE_ALWAYS : TRUNCATE_EXISTING;
    HANDLE file = CreateFileW(Platform::Widen(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return FromLastError();
    *handle = reinterpret_cast<Handle>(file);
    return NoError;
}

GSErrCode Connect(const std::string& path, bool create) {
    const std::wstring wide = Platform::Widen(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? static_cast<GSErrCode>(NotAFile) : NoError;
    const DWORD error = GetLastError();
    if (!create || error != ERROR_FILE_NOT_FOUND)
        return FromLastError();
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return FromLastError();
    CloseHandle(file);
    return NoError;
}

GSErrCode Length(Handle handle, UInt64* length) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(ToHandle(handle), &size))
        return FromLastError();
    *length = static_cast<UInt64>(size.QuadPart);
    return NoError;
}

GSErrCode Read(Handle handle, char* buffer, UInt32 count, UInt32* read) {
    DWORD got = 0;
    if (!ReadFile(ToHandle(handle), buffer, count, &got, nullptr))
        return FromLastError();
    *read = got;
    return NoError;
}

GSErrCode Write(Handle handle, const char* buffer, UInt32 count, UInt32* written) {
    DWORD went = 0;
    if (!WriteFile(ToHandle(handle), buffer, count, &went, nullptr))
        return GetLastError() == ERROR_DISK_FULL ? WriteError : FromLastError();
    *written = went;
    return NoError;
}

GSErrCode Close(Handle handle) {
    return CloseHandle(ToHandle(handle)) ? NoError : FromLastError();
}

char PathSeparator() {
    return '\\';
}

bool IsPathSeparator(char c) {
    return c == '\\' || c == '/';
}

}  // namespace IO::Native
