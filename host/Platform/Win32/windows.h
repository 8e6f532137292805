// The few Windows types and calls the add-on and its library use, for systems without the Windows API. Only
// non-Windows builds have this folder on their include path, as a system folder: on Windows <windows.h> is
// the system's own. The host library (Win32Posix.cpp) provides the calls, with the same name and meaning.
#pragma once

#include <cstdint>

using HANDLE = void*;
using HINSTANCE = void*;
using HMODULE = HINSTANCE;
using HWND = void*;
using BOOL = int;
using DWORD = std::uint32_t;
using ULONG = unsigned long;
using LPVOID = void*;
using WCHAR = char16_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using BYTE = unsigned char;
using PVOID = void*;
using HLOCAL = void*;
using LPSECURITY_ATTRIBUTES = struct _SECURITY_ATTRIBUTES*;
using PWSTR = WCHAR*;
using HRESULT = std::int32_t;

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
using KNOWNFOLDERID = GUID;
using REFKNOWNFOLDERID = const KNOWNFOLDERID&;

#define TRUE 1
#define FALSE 0
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3
#define SW_SHOWNORMAL 1
#define MAX_PATH 260
#define MOVEFILE_REPLACE_EXISTING 0x00000001
#define MOVEFILE_WRITE_THROUGH 0x00000008
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_DATA 13L
#define ERROR_DIR_NOT_EMPTY 145L
#define ERROR_ALREADY_EXISTS 183L
#define WINAPI
#define S_OK static_cast<HRESULT>(0)
#define E_FAIL static_cast<HRESULT>(0x80004005u)
#define E_INVALIDARG static_cast<HRESULT>(0x80070057u)
#define SUCCEEDED(result) (static_cast<HRESULT>(result) >= 0)
#define FAILED(result) (static_cast<HRESULT>(result) < 0)

// Writes the full path of the module loaded as `module` (a handle from the system loader) into `buffer`
// as NUL-terminated UTF-16, truncated to `size` units including the NUL. Returns the units written
// without the NUL, or 0 when the module is unknown.
extern "C" DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);

// The calling thread's code of the last failed call below (an ERROR_ value), as Windows keeps it.
extern "C" DWORD GetLastError();
extern "C" void SetLastError(DWORD code);
// Frees memory that a call returned for the caller to free (the data protection's output); null is allowed.
// Returns null.
extern "C" HLOCAL LocalFree(HLOCAL memory);

// The file system's calls on names, paths NUL-terminated UTF-16. Each returns non-zero on success and
// otherwise zero with the reason for GetLastError: ERROR_ALREADY_EXISTS (CreateDirectoryW),
// ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND (an entry or its folder missing), ERROR_DIR_NOT_EMPTY
// (RemoveDirectoryW), ERROR_ACCESS_DENIED. The attributes must be null.
extern "C" BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes);
// Renames `from` to `to` in one step; with MOVEFILE_REPLACE_EXISTING an existing `to` is replaced, so that
// a reader sees either the old file or the new one, never a part. Both must be on the same volume.
extern "C" BOOL MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags);
extern "C" BOOL DeleteFileW(LPCWSTR path);
// Removes an empty folder.
extern "C" BOOL RemoveDirectoryW(LPCWSTR path);
