// CryptProtectData and CryptUnprotectData for systems without the Windows API: AES-256-GCM under a secret
// of the user's own, kept in the user's profile folder (Platform::Control::SetUserProfile). Data protected
// under one profile's secret does not open under another's, as Windows' data protection binds data to its
// user; a changed byte fails the authentication.
#include <windows.h>
// After windows.h.
#include <wincrypt.h>

#include <fcntl.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include "PlatformControl.hpp"
#include "UserProfile.hpp"

namespace {

constexpr unsigned char kMagic[4] = {'K', 'V', 'D', 'P'};
constexpr std::size_t kNonceSize = 12;
constexpr std::size_t kTagSize = 16;
constexpr std::size_t kHeaderSize = sizeof kMagic + kNonceSize;
using Key = std::array<unsigned char, 32>;

std::mutex profileMutex;
std::string& Profile() {
    static std::string folder;
    return folder;
}

bool ReadAll(int fd, unsigned char* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = read(fd, buffer + done, size - done);
        if (got <= 0)
            return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

bool LoadKey(const std::string& file, Key* key) {
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool read = ReadAll(fd, key->data(), key->size());
    close(fd);
    return read;
}

// The user's secret; with `create`, made on first use (readable by the user alone).
bool UserKey(bool create, Key* key) {
    std::lock_guard<std::mutex> lock(profileMutex);
    if (Profile().empty()) {
        std::fprintf(stderr,
                     "data protection: no user profile folder is set "
                     "(Platform::Control::SetUserProfile)\n");
        return false;
    }
    const std::string folder = Profile() + "/Protect";
    const std::string file = folder + "/user.key";
    if (LoadKey(file, key))
        return true;
    if (!create)
        return false;
    std::error_code ignored;
    std::filesystem::create_directories(Profile(), ignored);
    mkdir(folder.c_str(), 0700);
    if (RAND_bytes(key->data(), static_cast<int>(key->size())) != 1)
        return false;
    const std::string temporary = file + ".new";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool written = write(fd, key->data(), key->size()) == static_cast<ssize_t>(key->size());
    close(fd);
    // Two first uses at once: the secret that got there first stays, and both use it.
    if (!written || link(temporary.c_str(), file.c_str()) != 0) {
        unlink(temporary.c_str());
        return LoadKey(file, key);
    }
    unlink(temporary.c_str());
    return true;
}

// What the tag covers besides the data: the format and the caller's entropy.
std::vector<unsigned char> Associated(const DATA_BLOB* entropy) {
    const std::size_t extra = entropy != nullptr && entropy->pbData != nullptr ? entropy->cbData : 0;
    std::vector<unsigned char> data(sizeof kMagic + extra);
    memcpy(data.data(), kMagic, sizeof kMagic);
    if (extra > 0)
        memcpy(data.data() + sizeof kMagic, entropy->pbData, extra);
    return data;
}

struct Cipher {
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    ~Cipher() { EVP_CIPHER_CTX_free(context); }
};

// Runs AES-256-GCM over `in` into `out` (sized as `in`), encrypting or decrypting; `tag` is written when
// encrypting and checked when decrypting.
bool Crypt(bool encrypt, const Key& key, const unsigned char* nonce,
           const std::vector<unsigned char>& associated, const unsigned char* in, std::size_t size,
           unsigned char* out, unsigned char* tag) {
    Cipher cipher;
    int length = 0;
    if (cipher.context == nullptr ||
        EVP_CipherInit_ex(cipher.context, EVP_aes_256_gcm(), nullptr, key.data(), nonce, encrypt ? 1 : 0) !=
            1 ||
        EVP_CipherUpdate(cipher.context, nullptr, &length, associated.data(),
                         static_cast<int>(associated.size())) != 1 ||
        (size > 0 && EVP_CipherUpdate(cipher.context, out, &length, in, static_cast<int>(size)) != 1))
        return false;
    if (!encrypt && EVP_CIPHER_CTX_ctrl(cipher.context, EVP_CTRL_GCM_SET_TAG, kTagSize, tag) != 1)
        return false;
    if (EVP_CipherFinal_ex(cipher.context, out + size, &length) != 1)
        return false;
    return !encrypt || EVP_CIPHER_CTX_ctrl(cipher.context, EVP_CTRL_GCM_GET_TAG, kTagSize, tag) == 1;
}

BOOL Fail(DWORD code) {
    SetLastError(code);
    return FALSE;
}

bool Usable(const DATA_BLOB* in, PVOID reserved, const CRYPTPROTECT_PROMPTSTRUCT* prompt,
            const DATA_BLOB* out) {
    return in != nullptr && out != nullptr && reserved == nullptr && prompt == nullptr &&
           (in->cbData == 0 || in->pbData != nullptr) && in->cbData < 0x10000000u;
}

}  // namespace

extern "C" BOOL CryptProtectData(DATA_BLOB* in, LPCWSTR description, DATA_BLOB* entropy, PVOID reserved,
                                 CRYPTPROTECT_PROMPTSTRUCT* prompt, DWORD /*flags*/, DATA_BLOB* out) {
    if (!Usable(in, reserved, prompt, out) || description != nullptr)
        return Fail(ERROR_INVALID_DATA);
    Key key;
    if (!UserKey(true, &key))
        return Fail(ERROR_ACCESS_DENIED);
    const std::size_t size = kHeaderSize + in->cbData + kTagSize;
    auto* bytes = static_cast<unsigned char*>(malloc(size));
    if (bytes == nullptr)
        return Fail(ERROR_ACCESS_DENIED);
    memcpy(bytes, kMagic, sizeof kMagic);
    unsigned char* nonce = bytes + sizeof kMagic;
    if (RAND_bytes(nonce, kNonceSize) != 1 ||
        !Crypt(true, key, nonce, Associated(entropy), in->pbData, in->cbData, bytes + kHeaderSize,
               bytes + kHeaderSize + in->cbData)) {
        free(bytes);
        return Fail(ERROR_ACCESS_DENIED);
    }
    out->cbData = static_cast<DWORD>(size);
    out->pbData = bytes;
    return TRUE;
}

extern "C" BOOL CryptUnprotectData(DATA_BLOB* in, LPWSTR* description, DATA_BLOB* entropy, PVOID reserved,
                                   CRYPTPROTECT_PROMPTSTRUCT* prompt, DWORD /*flags*/, DATA_BLOB* out) {
    if (!Usable(in, reserved, prompt, out) || description != nullptr)
        return Fail(ERROR_INVALID_DATA);
    if (in->cbData < kHeaderSize + kTagSize || memcmp(in->pbData, kMagic, sizeof kMagic) != 0)
        return Fail(ERROR_INVALID_DATA);
    Key key;
    if (!UserKey(false, &key))
        return Fail(ERROR_INVALID_DATA);
    const std::size_t size = in->cbData - kHeaderSize - kTagSize;
    // One byte more than the data: malloc(0) may answer null.
    auto* bytes = static_cast<unsigned char*>(malloc(size + 1));
    if (bytes == nullptr)
        return Fail(ERROR_ACCESS_DENIED);
    if (!Crypt(false, key, in->pbData + sizeof kMagic, Associated(entropy), in->pbData + kHeaderSize, size,
               bytes, in->pbData + kHeaderSize + size)) {
        free(bytes);
        return Fail(ERROR_INVALID_DATA);
    }
    out->cbData = static_cast<DWORD>(size);
    out->pbData = bytes;
    return TRUE;
}

namespace Platform::Detail {

std::string UserProfile() {
    std::lock_guard<std::mutex> lock(profileMutex);
    return Profile();
}

}  // namespace Platform::Detail

namespace Platform::Control {

bool SetUserProfile(const std::string& folder) {
    std::lock_guard<std::mutex> lock(profileMutex);
    Profile() = folder;
    return true;
}

}  // namespace Platform::Control
