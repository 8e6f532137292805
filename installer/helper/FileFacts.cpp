// SHA-256 through Windows' CNG and the add-on identifier through the resource API.
#include "FileFacts.hpp"

#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

#include <vector>

namespace SetupHelper {
namespace {

std::wstring Hex(const unsigned char* bytes, size_t size) {
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring text;
    for (size_t i = 0; i < size; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

// Feeds the whole file to the hash; false on a read error.
bool HashFile(HANDLE file, BCRYPT_HASH_HANDLE hash) {
    std::vector<unsigned char> buffer(1 << 16);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
            return false;
        }
        if (read == 0) {
            return true;
        }
        if (BCryptHashData(hash, buffer.data(), read, 0) != 0) {
            return false;
        }
    }
}

}  // namespace

std::wstring Sha256Hex(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return L"";
    }
    const std::wstring hex = Sha256Hex(file);
    CloseHandle(file);
    return hex;
}

std::wstring Sha256Hex(HANDLE file) {
    LARGE_INTEGER start = {};
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) {
        return L"";
    }
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    unsigned char digest[32] = {};
    bool ok = BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) == 0 &&
              BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0 && HashFile(file, hash) &&
              BCryptFinishHash(hash, digest, sizeof(digest), 0) == 0;
    if (hash) {
        BCryptDestroyHash(hash);
    }
    if (algorithm) {
        BCryptCloseAlgorithmProvider(algorithm, 0);
    }
    return ok ? Hex(digest, sizeof(digest)) : L"";
}

std::wstring AddOnIdHex(const std::wstring& path) {
    HMODULE module =
        LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) {
        return L"";
    }
    std::wstring id;
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(32500), L"MDID");
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (bytes) {
        id = Hex(static_cast<const unsigned char*>(bytes), SizeofResource(module, resource));
    }
    FreeLibrary(module);
    return id;
}

}  // namespace SetupHelper
