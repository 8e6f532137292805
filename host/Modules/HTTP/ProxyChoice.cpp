// The proxy a connection goes through, the same on every platform: the constructors that choose it, the
// reading of a proxy setting and of its bypass list.
#include "ProxyChoice.hpp"

#include <algorithm>
#include <cctype>
#include <vector>

#include "ConnectionRules.hpp"
#include "HTTP/Client/ClientConnection.hpp"

namespace HTTP {

namespace Detail {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::vector<std::string> Entries(const std::string& list, const char* separators) {
    std::vector<std::string> entries;
    std::size_t at = 0;
    while (at < list.size()) {
        const std::size_t end = std::min(list.find_first_of(separators, at), list.size());
        if (end > at)
            entries.push_back(list.substr(at, end - at));
        at = end + 1;
    }
    return entries;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// "name:port" split at its last colon when what follows is a port number; a bracketed IPv6 address keeps
// its colons. Without a port, `port` is 0.
bool SplitPort(const std::string& text, std::string* name, std::uint16_t* port) {
    const std::size_t colon = text.rfind(':');
    const std::size_t bracket = text.rfind(']');
    *port = 0;
    *name = text;
    if (colon == std::string::npos || (bracket != std::string::npos && bracket > colon))
        return true;
    const std::string digits = text.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
        return false;
    const unsigned long value = std::stoul(digits);
    if (value == 0 || value > 65535)
        return false;
    *port = static_cast<std::uint16_t>(value);
    *name = text.substr(0, colon);
    return true;
}

bool Bypassed(const std::string& bypass, const std::string& host, std::uint16_t port) {
    const std::string name = Lower(host);
    for (const std::string& entry : Entries(bypass, ",; \t\r\n")) {
        std::string pattern;
        std::uint16_t entryPort = 0;
        if (!SplitPort(Lower(entry), &pattern, &entryPort) || (entryPort != 0 && entryPort != port))
            continue;
        if (pattern == "*" || name == pattern)
            return true;
        if (pattern == "<local>" && name.find('.') == std::string::npos)
            return true;
        const std::string suffix = pattern.rfind("*.", 0) == 0  ? pattern.substr(1)
                                   : pattern.rfind('.', 0) == 0 ? pattern
                                                                : "." + pattern;
        if (EndsWith(name, suffix))
            return true;
    }
    return false;
}

// The entry of a WinHTTP list for https: "https=server", else one without a scheme.
std::string ServerForHttps(const std::string& proxy) {
    std::string plain;
    for (const std::string& entry : Entries(proxy, "; \t\r\n")) {
        const std::size_t equals = entry.find('=');
        if (equals == std::string::npos) {
            if (plain.empty())
                plain = entry;
        } else if (Lower(entry.substr(0, equals)) == "https") {
            return entry.substr(equals + 1);
        }
    }
    return plain;
}

[[noreturn]] void Unreadable(const std::string& proxy, const char* why) {
    Fail(Exception::Kind::Connect, "the proxy setting \"" + proxy + "\" cannot be used: " + why);
}

}  // namespace

bool operator==(const ProxyServer& a, const ProxyServer& b) {
    return a.host == b.host && a.port == b.port;
}

std::string AuthorityOf(const ProxyServer& proxy) {
    const bool v6 = proxy.host.find(':') != std::string::npos;
    return (v6 ? "[" + proxy.host + "]" : proxy.host) + ":" + std::to_string(proxy.port);
}

ProxyChoice ExplicitProxy(const std::string& host, std::uint16_t port, const std::string& bypass) {
    Require(!host.empty(), "ClientConnection", "the proxy's host is empty");
    ProxyChoice choice{ProxyType::ManualProxy,
                       {port != 0 ? host + ":" + std::to_string(port) : host, bypass}};
    std::string name;
    std::uint16_t named = 0;
    Require(port != 0 || (SplitPort(host, &name, &named) && named != 0), "ClientConnection",
            "the proxy's port is neither given nor in its host");
    return choice;
}

std::optional<ProxyServer> ProxyFor(const ProxySetting& setting, const std::string& host,
                                    std::uint16_t port) {
    std::string server = ServerForHttps(setting.proxy);
    if (server.empty() || Bypassed(setting.bypass, host, port))
        return std::nullopt;
    if (const std::size_t scheme = server.find("://"); scheme != std::string::npos) {
        if (Lower(server.substr(0, scheme)) != "http")
            Unreadable(setting.proxy, "only a proxy spoken to in http is known");
        server.erase(0, scheme + 3);
    }
    server = server.substr(0, server.find('/'));
    ProxyServer proxy;
    if (!SplitPort(server, &proxy.host, &proxy.port))
        Unreadable(setting.proxy, "its port is not a number from 1 to 65535");
    if (proxy.host.size() > 2 && proxy.host.front() == '[' && proxy.host.back() == ']')
        proxy.host = proxy.host.substr(1, proxy.host.size() - 2);
    if (proxy.host.empty())
        Unreadable(setting.proxy, "it names no host");
    if (proxy.port == 0)
        proxy.port = 80;
    return proxy;
}

std::optional<ProxyServer> ChooseProxy(const ProxyChoice& choice, const std::string& host,
                                       std::uint16_t port) {
    switch (choice.type) {
        case ProxyType::ManualProxy:
            return ProxyFor(choice.manual, host, port);
        case ProxyType::SystemProxy:
            return ProxyFor(SystemProxySetting(), host, port);
        case ProxyType::NoProxy:
            break;
    }
    return std::nullopt;
}

}  // namespace Detail

namespace Client {

ClientConnection::ClientConnection(const IO::URI::URI& uri, bool useSystemProxy) : ClientConnection(uri) {
    Policy().proxy.type = useSystemProxy ? Detail::ProxyType::SystemProxy : Detail::ProxyType::NoProxy;
}

ClientConnection::ClientConnection(const IO::URI::URI& uri, const GS::UniString& proxyHost, UShort proxyPort,
                                   const GS::UniString byPass)
    : ClientConnection(uri) {
    Policy().proxy = Detail::ExplicitProxy(Detail::Utf8(proxyHost), proxyPort, Detail::Utf8(byPass));
}

}  // namespace Client

}  // namespace HTTP
