// UTF-8 and UTF-16 conversions and error texts over the Windows API.
#include "WindowsText.hpp"

#include <windows.h>

namespace Platform {

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty())
        return std::wstring();
    const int size = static_cast<int>(utf8.size());
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, text.data(), units);
    return text;
}

std::string Narrow(const std::wstring& utf16) {
    if (utf16.empty())
        return std::string();
    const int size = static_cast<int>(utf16.size());
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, text.data(), bytes, nullptr, nullptr);
    return text;
}

std::string ErrorText(unsigned long code) {
    wchar_t* buffer = nullptr;
    const DWORD units = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = units > 0 ? std::wstring(buffer, units) : std::wstring();
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return (text.empty() ? std::string("Windows error") : Narrow(text)) + " (" + std::to_string(code) + ")";
}

}  // namespace Platform
