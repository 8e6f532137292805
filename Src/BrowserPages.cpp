// URL building and browser launches through the system shell's open verb.
#include "BrowserPages.hpp"

#include "Preferences.hpp"
#include "Win32Interface.hpp"
// After Win32Interface.hpp, which leaves it out.
#include <shellapi.h>

#ifndef KAVELO_WEBAPP_ORIGIN
#error "KAVELO_WEBAPP_ORIGIN must be set by the build"
#endif

const char* const WebAppOrigin = KAVELO_WEBAPP_ORIGIN;

namespace {

constexpr const char* kLivePagePath = "/?uploadRealtime=true";

// Bytes that a browser would percent-encode itself when it parses a query, the quotes, and the rest of
// what a URL may not hold: text from the server must not end the URL early in a protocol handler's
// command line or break it into words (a trailing backslash would escape the quote around "%1").
bool NeedsEscape(unsigned char byte) {
    if (byte <= 0x20 || byte >= 0x7F)
        return true;
    for (const char* unsafe = "\"'<>\\^`{|}"; *unsafe != 0; ++unsafe) {
        if (byte == static_cast<unsigned char>(*unsafe))
            return true;
    }
    return false;
}

void AppendEscaped(std::string& url, const char* text, std::size_t length) {
    static const char kHex[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (!NeedsEscape(byte)) {
            url.push_back(text[i]);
            continue;
        }
        url.push_back('%');
        url.push_back(kHex[byte >> 4]);
        url.push_back(kHex[byte & 15]);
    }
}

}  // namespace

void OpenInBrowser(const std::string& url) {
    // The URL is UTF-8 (an image id from the server may hold any text); decoding it keeps every
    // character, where widening byte by byte would turn non-ASCII bytes into unrelated characters.
    const GS::UniString wide(url.c_str(), CC_UTF8);
    static const WCHAR kOpen[] = {'o', 'p', 'e', 'n', 0};
    ShellExecuteW(nullptr, kOpen, reinterpret_cast<LPCWSTR>(wide.ToUStr().Get()), nullptr, nullptr,
                  SW_SHOWNORMAL);
}

GSErrCode OpenLoginPage(const char* id) {
    OpenInBrowser(std::string(WebAppOrigin) + "/login?eid=" + id);
    return TouchLiveTabTimestamp();
}

GSErrCode OpenLivePage() {
    OpenInBrowser(std::string(WebAppOrigin) + kLivePagePath);
    return TouchLiveTabTimestamp();
}

std::string LivePageUrl(const GS::UniString& imageId) {
    std::string url = std::string(WebAppOrigin) + kLivePagePath;
    if (imageId.GetLength() == 0)
        return url;
    url.append("&imageId=");
    const auto narrow = imageId.ToCStr(0, imageId.GetLength(), CC_UTF8);
    AppendEscaped(url, narrow.Get(), narrow.GetLength());
    return url;
}
