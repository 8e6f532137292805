// URL building and browser launches through the system shell's open verb.
#include "BrowserPages.hpp"

#include "Preferences.hpp"
#include "Win32Interop.hpp"

#ifndef KAVELO_WEBAPP_ORIGIN
#error "KAVELO_WEBAPP_ORIGIN must be set by the build"
#endif

const char* const WebAppOrigin = KAVELO_WEBAPP_ORIGIN;

namespace {
constexpr const char* kLivePagePath = "/?uploadRealtime=true";
}

void OpenInBrowser(const std::string& url) {
    // The URL is UTF-8 (an image id from the server may hold any text); decoding it keeps every
    // character, where widening byte by byte would turn non-ASCII bytes into unrelated characters.
    const GS::UniString wide(url.c_str(), CC_UTF8);
    static const WCHAR kOpen[] = {'o', 'p', 'e', 'n', 0};
    ShellExecuteW(nullptr, kOpen, reinterpret_cast<LPCWSTR>(wide.ToUStr()), nullptr, nullptr, SW_SHOWNORMAL);
}

void OpenLoginPage(const char* id) {
    OpenInBrowser(std::string(WebAppOrigin) + "/login?eid=" + id);
    TouchLiveTabTimestamp();
}

void OpenLivePage() {
    OpenInBrowser(std::string(WebAppOrigin) + kLivePagePath);
    TouchLiveTabTimestamp();
}

std::string LivePageUrl(const GS::UniString& imageId) {
    std::string url = std::string(WebAppOrigin) + kLivePagePath;
    if (imageId.GetLength() > 0)
        url.append("&imageId=").append(imageId.ToCStr(0, imageId.GetLength(), CC_Default, 0).Get());
    return url;
}
