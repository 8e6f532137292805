// The link store's file, written and read through the data protection calls.
#include "LinkStoreFile.hpp"

#include <windows.h>
// After windows.h.
#include <knownfolders.h>
#include <shlobj.h>
#include <wincrypt.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "UniString.hpp"

namespace testsupport {

std::string UserRoamingFolder() {
    PWSTR path = nullptr;
    const HRESULT result = SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_CREATE, nullptr, &path);
    std::string folder;
    if (SUCCEEDED(result))
        folder =
            GS::UniString(reinterpret_cast<const GS::Utf16Char*>(path)).ToCStr(0, MaxUSize, CC_UTF8).Get();
    CoTaskMemFree(path);
    if (FAILED(result))
        throw std::runtime_error("no roaming application-data folder");
    return folder;
}

std::string LinkStoreFile(const std::string& applicationDataFolder) {
    return applicationDataFolder + "/KAVELO/AccountLink.dat";
}

bool WriteLinkStore(const std::string& applicationDataFolder, const std::string& id) {
    std::string text = id;
    DATA_BLOB in{static_cast<DWORD>(text.size()), reinterpret_cast<BYTE*>(text.data())};
    DATA_BLOB out{};
    if (!CryptProtectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
        return false;
    const std::string file = LinkStoreFile(applicationDataFolder);
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::u8path(file).parent_path(), ignored);
    std::ofstream stream(std::filesystem::u8path(file), std::ios::binary | std::ios::trunc);
    stream.write(reinterpret_cast<const char*>(out.pbData), static_cast<std::streamsize>(out.cbData));
    LocalFree(out.pbData);
    return static_cast<bool>(stream.flush());
}

std::string ReadLinkStore(const std::string& applicationDataFolder) {
    std::ifstream stream(std::filesystem::u8path(LinkStoreFile(applicationDataFolder)), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    DATA_BLOB in{static_cast<DWORD>(bytes.size()), reinterpret_cast<BYTE*>(bytes.data())};
    DATA_BLOB out{};
    if (bytes.empty() ||
        !CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
        return std::string();
    std::string id(reinterpret_cast<const char*>(out.pbData), out.cbData);
    LocalFree(out.pbData);
    return id;
}

}  // namespace testsupport
