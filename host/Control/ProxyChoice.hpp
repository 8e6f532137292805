// Which proxy an HTTP::Client::ClientConnection goes through: the choice its constructor made and the
// proxy server that choice gives for a host. The same on every platform; only where the system keeps its
// proxy setting differs (ProxyChoicePosix.cpp: the environment; ProxyChoiceWindows.cpp: WinHTTP's default
// configuration). Internal to the host library; tests use it to check the readings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace HTTP::Detail {

// A proxy server reached over HTTP, to which a connection says CONNECT host:port.
struct ProxyServer {
    std::string host;
    std::uint16_t port = 0;
};
bool operator==(const ProxyServer& a, const ProxyServer& b);
// "host:port", an IPv6 address in brackets: how a proxy is named to a system and in messages.
std::string AuthorityOf(const ProxyServer& proxy);

// A proxy setting as a system or a caller states it. `proxy` is one server ("host:port",
// "http://host:port/") or WinHTTP's list ("https=host:port;http=host:port", separated by ';' or white
// space, the https entry or one without a scheme taken), empty for none; a server without a port is at
// port 80. `bypass` names the hosts that go straight (separated by ',', ';' or white space): "*" every
// host, "<local>" a name without a dot, "name" that host and the hosts under it, ".name" or "*.name" the
// hosts under it; each may end in ":port" to match that port only. Names compare without regard to case.
struct ProxySetting {
    std::string proxy;
    std::string bypass;
};

// The kit's ClientConnection::ProxyType (private there): no proxy, one the caller names, or the system's.
enum class ProxyType { NoProxy, ManualProxy, SystemProxy };

struct ProxyChoice {
    ProxyType type = ProxyType::NoProxy;
    ProxySetting manual;  // for ManualProxy
};

// The choice of the constructor with an explicit proxy: `host` with `port`, or "host:port" in `host` when
// `port` is 0. Throws HTTP::Exception (Usage) for an empty host, or a port neither given nor in the host.
ProxyChoice ExplicitProxy(const std::string& host, std::uint16_t port, const std::string& bypass);

// The server `setting` names for https to `host`:`port`; nothing when it names none or its bypass list
// names the host. Throws HTTP::Exception (Connect) for a proxy it cannot read (a scheme other than http,
// a port that is not a number), naming the setting: a connection never goes straight when a proxy was
// meant.
std::optional<ProxyServer> ProxyFor(const ProxySetting& setting, const std::string& host, std::uint16_t port);

// The system's proxy setting, read anew at each call (the platform's part).
ProxySetting SystemProxySetting();

// The proxy server a connection made with `choice` to `host`:`port` goes through; nothing: straight to the
// host (where a route of HTTP::Control applies).
std::optional<ProxyServer> ChooseProxy(const ProxyChoice& choice, const std::string& host,
                                       std::uint16_t port);

}  // namespace HTTP::Detail
