// The CONNECT proxy: one asynchronous session per client connection on the proxy's io thread. A session
// reads the request head (within the head time-out), answers it, and from then on copies bytes in both
// directions until either side closes, when it closes both. The acceptor waits while the connection cap
// is reached and resumes when a session ends.
#include "ConnectProxy.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <stdexcept>

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read_until.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/streambuf.hpp>
#include <boost/asio/write.hpp>

namespace webapp {

namespace {

namespace net = boost::asio;
using tcp = net::ip::tcp;
using error_code = boost::system::error_code;

constexpr std::size_t kMaxHead = 8192;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

struct ConnectProxy::Network {
    net::io_context io;
    tcp::acceptor acceptor{io};
};

struct ConnectProxy::Tunnel : std::enable_shared_from_this<ConnectProxy::Tunnel> {
    Tunnel(ConnectProxy& proxy, tcp::socket client)
        : proxy(proxy),
          client(std::move(client)),
          server(this->client.get_executor()),
          headTimer(this->client.get_executor()),
          head(kMaxHead) {}
    ~Tunnel() { proxy.Closed(); }

    ConnectProxy& proxy;
    tcp::socket client;
    tcp::socket server;
    net::steady_timer headTimer;
    bool headDone = false;  // the head arrived, failed, or its time ran out: whichever came first decides
    net::streambuf head;
    std::string answer;
    std::array<char, 16384> up{};
    std::array<char, 16384> down{};

    void Start() {
        auto self = shared_from_this();
        headTimer.expires_after(proxy.limits_.headTimeout);
        headTimer.async_wait([self](error_code ec) {
            if (ec || self->headDone)
                return;
            self->headDone = true;
            self->Refuse("408 Request Timeout");
        });
        net::async_read_until(client, head, "\r\n\r\n", [self](error_code ec, std::size_t) {
            if (self->headDone)
                return;
            self->headDone = true;
            self->headTimer.cancel();
            if (!ec)
                self->OnHead();
        });
    }

    void OnHead() {
        std::string line(net::buffers_begin(head.data()), net::buffers_end(head.data()));
        line = line.substr(0, line.find("\r\n"));
        // "CONNECT host:port HTTP/1.1"
        const std::size_t first = line.find(' ');
        const std::size_t second = line.find(' ', first + 1);
        if (first == std::string::npos || second == std::string::npos || line.substr(0, first) != "CONNECT")
            return Refuse("405 Method Not Allowed");
        const std::string target = line.substr(first + 1, second - first - 1);
        proxy.Record(target);
        std::pair<std::string, std::uint16_t> to;
        if (!proxy.Find(target, &to))
            return Refuse("403 Forbidden");
        error_code ec;
        const tcp::endpoint endpoint(net::ip::make_address(to.first, ec), to.second);
        if (ec)
            return Refuse("502 Bad Gateway");
        auto self = shared_from_this();
        server.async_connect(endpoint, [self](error_code connected) {
            if (connected)
                return self->Refuse("502 Bad Gateway");
            self->answer = "HTTP/1.1 200 Connection established\r\n\r\n";
            net::async_write(
                self->client, net::buffer(self->answer), [self](error_code written, std::size_t) {
                    if (written)
                        return self->Close();
                    // Bytes the client sent behind the head already belong to the tunnel.
                    const std::size_t early = self->head.size() - (self->HeadLength());
                    if (early == 0)
                        return self->Relay();
                    self->head.consume(self->HeadLength());
                    net::async_write(self->server, self->head.data(), [self](error_code e, std::size_t) {
                        if (e)
                            return self->Close();
                        self->head.consume(self->head.size());
                        self->Relay();
                    });
                });
        });
    }

    std::size_t HeadLength() const {
        const std::string text(net::buffers_begin(head.data()), net::buffers_end(head.data()));
        return text.find("\r\n\r\n") + 4;
    }

    void Refuse(const std::string& status) {
        answer = "HTTP/1.1 " + status + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        auto self = shared_from_this();
        net::async_write(client, net::buffer(answer), [self](error_code, std::size_t) { self->Close(); });
    }

    void Relay() {
        Pump(client, server, up);
        Pump(server, client, down);
    }

    void Pump(tcp::socket& from, tcp::socket& to, std::array<char, 16384>& buffer) {
        auto self = shared_from_this();
        from.async_read_some(net::buffer(buffer), [self, &from, &to, &buffer](error_code ec, std::size_t n) {
            if (ec)
                return self->Close();
            net::async_write(to, net::buffer(buffer.data(), n),
                             [self, &from, &to, &buffer](error_code e, std::size_t) {
                                 if (e)
                                     return self->Close();
                                 self->Pump(from, to, buffer);
                             });
        });
    }

    void Close() {
        error_code ignored;
        client.shutdown(tcp::socket::shutdown_both, ignored);
        client.close(ignored);
        server.shutdown(tcp::socket::shutdown_both, ignored);
        server.close(ignored);
    }
};

ConnectProxy::ConnectProxy(ConnectProxyLimits limits) : limits_(limits) {
    if (limits_.maxConnections == 0)
        throw std::invalid_argument("webapp::ConnectProxy: the connection cap must be at least 1");
}

ConnectProxy::~ConnectProxy() {
    Stop();
}

void ConnectProxy::Route(const std::string& host, std::uint16_t port, std::uint16_t toPort,
                         const std::string& toAddress) {
    std::lock_guard<std::mutex> lock(mutex_);
    routes_[Lower(host) + ":" + std::to_string(port)] = {toAddress, toPort};
}

void ConnectProxy::Start() {
    if (network_ != nullptr)
        throw std::logic_error("webapp::ConnectProxy: already running");
    auto network = std::make_unique<Network>();
    error_code ec;
    const tcp::endpoint loopback(net::ip::address_v4::loopback(), 0);
    network->acceptor.open(loopback.protocol(), ec);
    if (!ec)
        network->acceptor.bind(loopback, ec);
    if (!ec)
        network->acceptor.listen(net::socket_base::max_listen_connections, ec);
    if (ec)
        throw std::runtime_error("webapp::ConnectProxy: cannot listen on 127.0.0.1: " + ec.message());
    port_ = network->acceptor.local_endpoint().port();
    network_ = std::move(network);
    open_ = 0;
    Accept();
    ioThread_ = std::thread([this] { network_->io.run(); });
}

void ConnectProxy::Stop() {
    if (network_ == nullptr)
        return;
    // Stopping the context drops every session with it; their sockets close as they are destroyed.
    network_->io.stop();
    ioThread_.join();
    network_.reset();
}

std::vector<std::string> ConnectProxy::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

bool ConnectProxy::Find(const std::string& target, std::pair<std::string, std::uint16_t>* to) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = routes_.find(Lower(target));
    if (found == routes_.end())
        return false;
    *to = found->second;
    return true;
}

void ConnectProxy::Record(const std::string& target) {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(target);
}

void ConnectProxy::Accept() {
    accepting_ = true;
    network_->acceptor.async_accept([this](error_code ec, tcp::socket client) {
        accepting_ = false;
        if (ec)
            return;
        ++open_;
        std::make_shared<Tunnel>(*this, std::move(client))->Start();
        if (open_ < limits_.maxConnections)
            Accept();
    });
}

void ConnectProxy::Closed() {
    --open_;
    // While Stop destroys the sessions, network_ is already gone and nothing is accepted any more.
    if (!accepting_ && network_ != nullptr && open_ < limits_.maxConnections)
        Accept();
}

}  // namespace webapp
