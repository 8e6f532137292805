// The system code page where there is no Windows: Windows-1252.
#include <cstdint>

#include "SystemCodePage.hpp"

namespace GS::Detail {

namespace {

// 0x80 to 0x9F; the rest of the high half is Latin-1. The five bytes Windows-1252 leaves undefined map to
// the control characters of the same number, as Windows maps them.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t Decode(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte;
}

char Encode(char16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF))
        return static_cast<char>(unit);
    for (int i = 0; i < 32; ++i) {
        if (kHigh[i] == unit)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

}  // namespace

std::u16string FromSystemCodePage(const char* text, std::size_t length) {
    std::u16string out(length, u'\0');
    for (std::size_t i = 0; i < length; ++i) out[i] = Decode(static_cast<unsigned char>(text[i]));
    return out;
}

std::string ToSystemCodePage(const char16_t* units, std::size_t length) {
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        // A surrogate pair is one character, and one filler.
        if (units[i] >= 0xD800 && units[i] <= 0xDBFF && i + 1 < length && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF)
            ++i;
        out.push_back(Encode(units[i]));
    }
    return out;
}

}  // namespace GS::Detail
