// The shell's known-folder call and the memory it returns, for systems without the Windows API
// (host/Platform/Win32).
#pragma once

#include <windows.h>

#define KF_FLAG_CREATE 0x00008000

// Stores the path of the known folder `id` of the current user (`token` must be null) into *path as
// NUL-terminated UTF-16 without a trailing separator, which the caller frees with CoTaskMemFree (also on
// failure, when *path is null). With KF_FLAG_CREATE the folder is made where it is missing. Returns S_OK, or
// E_INVALIDARG for a folder the host library does not know, E_FAIL when the user has no profile folder or
// the folder cannot be made.
extern "C" HRESULT SHGetKnownFolderPath(REFKNOWNFOLDERID id, DWORD flags, HANDLE token, PWSTR* path);
// Frees memory the known-folder call returned; null is allowed.
extern "C" void CoTaskMemFree(LPVOID memory);
