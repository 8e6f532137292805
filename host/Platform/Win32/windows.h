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

#define TRUE 1
#define FALSE 0
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3
#define SW_SHOWNORMAL 1
#define MAX_PATH 260
#define WINAPI

// Writes the full path of the module loaded as `module` (a handle from the system loader) into `buffer`
// as NUL-terminated UTF-16, truncated to `size` units including the NUL. Returns the units written
// without the NUL, or 0 when the module is unknown.
extern "C" DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);
