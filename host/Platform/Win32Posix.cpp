// GetModuleFileNameW and ShellExecuteW for systems without the Windows API.
#include <windows.h>
// After windows.h.
#include <shellapi.h>

#include <dlfcn.h>
#include <link.h>
#include <stdlib.h>

#include <string>

#include "PlatformControl.hpp"
#include "UniString.hpp"

extern "C" DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
    if (module == nullptr || buffer == nullptr || size == 0)
        return 0;
    struct link_map* map = nullptr;
    if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr || map->l_name == nullptr)
        return 0;
    char* resolved = realpath(map->l_name, nullptr);
    const GS::UniString path(resolved != nullptr ? resolved : map->l_name, CC_UTF8);
    free(resolved);
    const DWORD units = path.GetLength() < size - 1 ? path.GetLength() : size - 1;
    std::char_traits<char16_t>::copy(buffer, reinterpret_cast<const char16_t*>(path.ToUStr().Get()), units);
    buffer[units] = 0;
    return units;
}

extern "C" HINSTANCE ShellExecuteW(HWND /*owner*/, LPCWSTR operation, LPCWSTR file, LPCWSTR parameters,
                                   LPCWSTR directory, int showCommand) {
    return reinterpret_cast<HINSTANCE>(
        Platform::Control::Launch(operation, file, parameters, directory, showCommand));
}
