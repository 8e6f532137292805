// The system's proxy setting on Windows: WinHTTP's default configuration (what "netsh winhttp set proxy"
// sets; Wine reads it from its registry, else from http_proxy in the environment).
#include <windows.h>
// After windows.h.
#include <winhttp.h>

#include <string>

#include "ConnectionRules.hpp"
#include "ProxyChoice.hpp"
#include "WindowsText.hpp"

namespace HTTP::Detail {

namespace {

// Takes a string WinHTTP allocated and frees it.
std::string Adopt(LPWSTR text) {
    if (text == nullptr)
        return std::string();
    const std::string narrow = Platform::Narrow(text);
    GlobalFree(text);
    return narrow;
}

}  // namespace

ProxySetting SystemProxySetting() {
    WINHTTP_PROXY_INFO info{};
    if (!WinHttpGetDefaultProxyConfiguration(&info))
        Fail(Exception::Kind::Connect,
             "cannot read WinHTTP's proxy configuration: error " + std::to_string(GetLastError()));
    ProxySetting setting{Adopt(info.lpszProxy), Adopt(info.lpszProxyBypass)};
    if (info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY)
        return ProxySetting{};
    return setting;
}

}  // namespace HTTP::Detail
