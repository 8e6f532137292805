// GetModuleFileNameW, ShellExecuteW and BCryptGenRandom for systems without the Windows API.
#include <windows.h>
// After windows.h.
#include <bcrypt.h>
#include <shellapi.h>

#include <dlfcn.h>
#include <errno.h>
#include <link.h>
#include <stdlib.h>
#include <sys/random.h>

#include <atomic>
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

namespace {

constexpr NTSTATUS kStatusUnsuccessful = static_cast<NTSTATUS>(0xC0000001L);
constexpr NTSTATUS kStatusInvalidParameter = static_cast<NTSTATUS>(0xC000000DL);

std::atomic<int> randomFailures{0};

bool TakeRandomFailure() {
    int left = randomFailures.load();
    while (left > 0 && !randomFailures.compare_exchange_weak(left, left - 1)) {
    }
    return left > 0;
}

}  // namespace

extern "C" NTSTATUS BCryptGenRandom(BCRYPT_ALG_HANDLE algorithm, PUCHAR buffer, ULONG count, ULONG flags) {
    if (algorithm != nullptr || flags != BCRYPT_USE_SYSTEM_PREFERRED_RNG || (buffer == nullptr && count > 0))
        return kStatusInvalidParameter;
    if (TakeRandomFailure())
        return kStatusUnsuccessful;
    for (ULONG filled = 0; filled < count;) {
        const ssize_t got = getrandom(buffer + filled, count - filled, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return kStatusUnsuccessful;
        filled += static_cast<ULONG>(got);
    }
    return 0;
}

namespace Platform::Control {

void FailRandom(int count) {
    randomFailures = count;
}

}  // namespace Platform::Control
