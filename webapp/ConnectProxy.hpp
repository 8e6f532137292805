// A local HTTP proxy for clients that cannot send a host name to another address while keeping the name
// for TLS (WinHTTP): it answers CONNECT requests on 127.0.0.1, opens a TCP connection to where its routes
// send the requested host and port, and relays bytes both ways, so TLS runs end to end through the
// tunnel with the original name. As a company proxy does, it tunnels; it never sees inside.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace webapp {

struct ConnectProxyLimits {
    // A client that has not sent its whole request head this long after connecting is answered 408 and
    // closed, so a silent client cannot hold a connection.
    std::chrono::milliseconds headTimeout{5000};
    // At most this many client connections are open at once. While that many are, the proxy accepts no
    // other: further clients wait in the system's listen queue until one of them ends.
    std::size_t maxConnections = 64;
};

class ConnectProxy {
public:
    explicit ConnectProxy(ConnectProxyLimits limits = ConnectProxyLimits());
    ~ConnectProxy();  // stops
    ConnectProxy(const ConnectProxy&) = delete;
    ConnectProxy& operator=(const ConnectProxy&) = delete;

    // CONNECT `host`:`port` (the host compared without regard to case) is tunnelled to
    // `toAddress`:`toPort` on loopback. Requests for anything not routed are refused with 403, so the proxy
    // never reaches beyond this machine; a route whose target refuses the connection answers 502.
    void Route(const std::string& host, std::uint16_t port, std::uint16_t toPort,
               const std::string& toAddress = "127.0.0.1");

    // Listens on 127.0.0.1 (a free port) and starts the io thread. Throws std::runtime_error when it cannot
    // listen, std::logic_error when already running.
    void Start();
    // Closes the listener and every tunnel and joins the io thread. Does nothing when not running.
    void Stop();
    std::uint16_t Port() const { return port_; }

    // The target of every CONNECT request received ("host:port" as the client wrote it), in order.
    std::vector<std::string> Requests() const;

private:
    struct Network;
    struct Tunnel;

    // The route for `target` ("host:port"), if any.
    bool Find(const std::string& target, std::pair<std::string, std::uint16_t>* to) const;
    void Accept();
    void Closed();  // a client connection ended: accepting resumes if the cap held it
    void Record(const std::string& target);

    const ConnectProxyLimits limits_;

    mutable std::mutex mutex_;
    std::map<std::string, std::pair<std::string, std::uint16_t>> routes_;
    std::vector<std::string> requests_;
    std::unique_ptr<Network> network_;
    std::thread ioThread_;
    std::uint16_t port_ = 0;
    // Touched on the io thread only.
    std::size_t open_ = 0;
    bool accepting_ = false;
};

}  // namespace webapp
