// SHGetKnownFolderPath and CoTaskMemFree for systems without the Windows API: the user's roaming
// application-data folder is "AppData/Roaming" of the user's profile folder, as Windows lays it out.
#include <windows.h>
// After windows.h.
#include <knownfolders.h>
#include <shlobj.h>

#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "PlatformControl.hpp"
#include "UniString.hpp"
#include "UserProfile.hpp"

extern "C" const KNOWNFOLDERID FOLDERID_RoamingAppData = {
    0x3eb685db, 0x65f9, 0x4cf6, {0xa0, 0x3a, 0xe3, 0xef, 0x65, 0x72, 0x9f, 0x3d}};

namespace {

std::atomic<int> failures{0};

bool Failing() {
    int now = failures.load();
    while (now > 0 && !failures.compare_exchange_weak(now, now - 1)) {
    }
    return now > 0;
}

bool SameId(const KNOWNFOLDERID& a, const KNOWNFOLDERID& b) {
    return memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

extern "C" HRESULT SHGetKnownFolderPath(REFKNOWNFOLDERID id, DWORD flags, HANDLE token, PWSTR* path) {
    if (path == nullptr)
        return E_INVALIDARG;
    *path = nullptr;
    if (token != nullptr || !SameId(id, FOLDERID_RoamingAppData))
        return E_INVALIDARG;
    if (Failing())
        return E_FAIL;
    const std::string profile = Platform::Detail::UserProfile();
    if (profile.empty()) {
        std::fprintf(stderr,
                     "SHGetKnownFolderPath: no user profile folder is set "
                     "(Platform::Control::SetUserProfile)\n");
        return E_FAIL;
    }
    const std::filesystem::path folder = std::filesystem::u8path(profile) / "AppData" / "Roaming";
    std::error_code ec;
    if ((flags & KF_FLAG_CREATE) != 0)
        std::filesystem::create_directories(folder, ec);
    if (ec || !std::filesystem::is_directory(folder, ec))
        return E_FAIL;
    const GS::UniString text(folder.u8string().c_str(), CC_UTF8);
    const std::size_t units = text.GetLength();
    auto* copy = static_cast<WCHAR*>(malloc((units + 1) * sizeof(WCHAR)));
    if (copy == nullptr)
        return E_FAIL;
    memcpy(copy, text.ToUStr().Get(), (units + 1) * sizeof(WCHAR));
    *path = copy;
    return S_OK;
}

extern "C" void CoTaskMemFree(LPVOID memory) {
    free(memory);
}

namespace Platform::Control {

void FailKnownFolder(int count) {
    failures = count;
}

}  // namespace Platform::Control
