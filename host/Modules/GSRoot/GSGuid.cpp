// GS::Guid parsing and formatting.
#include "GSGuid.hpp"

#include <cstring>
#include <stdexcept>
#include <string>

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads `digits` hex digits at text[*pos] into a value and advances *pos; false on a non-hex character.
bool ReadHex(const char* text, std::size_t* pos, int digits, UInt32* value) {
    UInt32 result = 0;
    for (int i = 0; i < digits; ++i) {
        const int v = HexValue(text[*pos]);
        if (v < 0)
            return false;
        result = (result << 4) | static_cast<UInt32>(v);
        ++*pos;
    }
    *value = result;
    return true;
}

bool Expect(const char* text, std::size_t* pos, char c) {
    if (text[*pos] != c)
        return false;
    ++*pos;
    return true;
}

void StoreLE(UInt8* out, UInt32 value, int bytes) {
    for (int i = 0; i < bytes; ++i) out[i] = static_cast<UInt8>(value >> (8 * i));
}

// Parses the text form into 16 bytes; false when the text is not exactly a GUID.
bool Parse(const char* text, UInt8* bytes) {
    const std::size_t length = std::strlen(text);
    const bool braces = length == GS::Guid::TextLength;
    if (!braces && length != GS::Guid::TextLength - 2)
        return false;
    std::size_t pos = 0;
    if (braces && !Expect(text, &pos, '{'))
        return false;
    UInt32 data1 = 0, data2 = 0, data3 = 0, word = 0;
    if (!ReadHex(text, &pos, 8, &data1) || !Expect(text, &pos, '-') || !ReadHex(text, &pos, 4, &data2) ||
        !Expect(text, &pos, '-') || !ReadHex(text, &pos, 4, &data3) || !Expect(text, &pos, '-'))
        return false;
    StoreLE(bytes, data1, 4);
    StoreLE(bytes + 4, data2, 2);
    StoreLE(bytes + 6, data3, 2);
    // Data4 keeps the text order: two bytes, a dash, six bytes.
    for (int i = 0; i < 8; ++i) {
        if (i == 2 && !Expect(text, &pos, '-'))
            return false;
        if (!ReadHex(text, &pos, 2, &word))
            return false;
        bytes[8 + i] = static_cast<UInt8>(word);
    }
    return !braces || Expect(text, &pos, '}');
}

}  // namespace

namespace GS {

Guid::Guid() {
    std::memset(bytes_, 0, sizeof bytes_);
}

Guid::Guid(const char* text) {
    if (text == nullptr)
        throw std::invalid_argument("GS::Guid: null text");
    if (!Parse(text, bytes_))
        throw std::invalid_argument("GS::Guid: \"" + std::string(text) + "\" is not a GUID");
}

bool Guid::IsNull() const {
    for (UInt8 b : bytes_) {
        if (b != 0)
            return false;
    }
    return true;
}

void Guid::ToText(char (&text)[TextLength + 1]) const {
    static const char kDigits[] = "0123456789ABCDEF";
    // Text order of the bytes: Data1, Data2 and Data3 are little-endian, so they print reversed.
    static const int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::size_t pos = 0;
    text[pos++] = '{';
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text[pos++] = '-';
        const UInt8 b = bytes_[kOrder[i]];
        text[pos++] = kDigits[b >> 4];
        text[pos++] = kDigits[b & 0xF];
    }
    text[pos++] = '}';
    text[pos] = '\0';
}

bool Guid::operator==(const Guid& other) const {
    return std::memcmp(bytes_, other.bytes_, ByteCount) == 0;
}

bool Guid::operator<(const Guid& other) const {
    return std::memcmp(bytes_, other.bytes_, ByteCount) < 0;
}

}  // namespace GS
