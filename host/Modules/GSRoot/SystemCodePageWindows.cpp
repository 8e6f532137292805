// The system code page on Windows: the ANSI code page, through Windows' own conversions.
#include <windows.h>

#include <stdexcept>

#include "SystemCodePage.hpp"

namespace GS::Detail {

std::u16string FromSystemCodePage(const char* text, std::size_t length) {
    if (length == 0)
        return std::u16string();
    const int count = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0);
    if (count <= 0)
        throw std::runtime_error("GS::UniString: the ANSI code page does not decode the text");
    std::u16string out(static_cast<std::size_t>(count), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), reinterpret_cast<LPWSTR>(out.data()),
                        count);
    return out;
}

std::string ToSystemCodePage(const char16_t* units, std::size_t length) {
    if (length == 0)
        return std::string();
    const auto* wide = reinterpret_cast<LPCWCH>(units);
    const int count =
        WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (count <= 0)
        throw std::runtime_error("GS::UniString: the text does not encode in the ANSI code page");
    std::string out(static_cast<std::size_t>(count), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(length), out.data(), count, nullptr, nullptr);
    return out;
}

}  // namespace GS::Detail
