// Text conversions through the host library's own strings, so hostsim and the add-on agree on every
// character.
#include "Text.hpp"

namespace hostsim {

std::string ToUtf8(const std::u16string& text) {
    return ToUtf8(GS::UniString(std::u16string_view(text)));
}

std::string ToUtf8(const GS::UniString& text) {
    const auto narrow = text.ToCStr(0, MaxUSize, CC_UTF8);
    return std::string(narrow.Get(), narrow.GetLength());
}

std::u16string ToUtf16(const std::string& text) {
    const GS::UniString wide(text.c_str(), CC_UTF8);
    return std::u16string(reinterpret_cast<const char16_t*>(wide.ToUStr().Get()), wide.GetLength());
}

std::filesystem::path PathOf(const std::string& utf8) {
    return std::filesystem::u8path(utf8);
}

std::string Utf8Of(const std::filesystem::path& path) {
    return path.u8string();
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::string();
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

}  // namespace hostsim
