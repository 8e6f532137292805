// GenerateUuidV4 over the system's cryptographic random source. Nothing is seeded at load: each
// identifier is fresh randomness, so one identifier seen never predicts another.
#include "LinkIdentifier.hpp"

#include "Win32Interface.hpp"
// After Win32Interface.hpp, which it needs.
#include <bcrypt.h>

namespace {

constexpr char kHex[] = "0123456789abcdef";

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

}  // namespace

std::string GenerateUuidV4() {
    unsigned char bytes[16];
    if (BCryptGenRandom(nullptr, bytes, sizeof bytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0)
        return std::string();
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant: 8, 9, a or b
    std::string text;
    text.reserve(36);
    for (std::size_t i = 0; i < sizeof bytes; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text.push_back('-');
        text.push_back(kHex[bytes[i] >> 4]);
        text.push_back(kHex[bytes[i] & 15]);
    }
    return text;
}

bool IsLinkIdentifierText(const std::string& text) {
    if (text.size() != 36 || text[14] != '4' ||
        (text[19] != '8' && text[19] != '9' && text[19] != 'a' && text[19] != 'b'))
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != '-' : !IsHexDigit(text[i]))
            return false;
    }
    return true;
}
