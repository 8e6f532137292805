// The test server: blocking Asio calls on one thread; a stop wakes a stall and a loopback connection wakes
// the accept.
#include "TlsTestServer.hpp"

#include <openssl/ssl.h>

#include <algorithm>
#include <boost/asio/connect.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/ssl/stream.hpp>
#include <boost/asio/write.hpp>

namespace httptest {

namespace net = boost::asio;
namespace ssl = net::ssl;
using tcp = net::ip::tcp;

namespace {

constexpr int kSlowReaderBuffer = 64 * 1024;

// The request's Content-Length, 0 when it has none.
std::size_t ContentLength(const std::string& head) {
    std::string lower = head;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::size_t field = lower.find("\r\ncontent-length:");
    if (field == std::string::npos)
        return 0;
    return std::stoul(head.substr(field + 17));
}

}  // namespace

TlsTestServer::TlsTestServer(const webapp::ServerCertificate& certificate)
    : tls_(ssl::context::tls_server), acceptor_(io_, tcp::endpoint(net::ip::make_address("127.0.0.1"), 0)) {
    tls_.use_certificate_chain(net::buffer(certificate.certPem));
    tls_.use_private_key(net::buffer(certificate.keyPem), ssl::context::pem);
    thread_ = std::thread([this] { Run(); });
}

TlsTestServer::~TlsTestServer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    stopped_.notify_all();
    boost::system::error_code ignored;
    net::io_context wake;
    tcp::socket knock(wake);
    knock.connect(tcp::endpoint(net::ip::make_address("127.0.0.1"), Port()), ignored);
    thread_.join();
}

std::uint16_t TlsTestServer::Port() const {
    return acceptor_.local_endpoint().port();
}

void TlsTestServer::SetBehaviour(Behaviour behaviour) {
    // A slow reader with the system's large buffers would still take a request at once.
    if (behaviour.readEvery.count() > 0)
        acceptor_.set_option(net::socket_base::receive_buffer_size(kSlowReaderBuffer));
    std::lock_guard<std::mutex> lock(mutex_);
    behaviour_ = std::move(behaviour);
}

std::vector<std::string> TlsTestServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::string TlsTestServer::ReceivedBytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

int TlsTestServer::Connections() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connections_;
}

int TlsTestServer::Handshakes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return handshakes_;
}

std::chrono::steady_clock::time_point TlsTestServer::LastByteAt() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastByteAt_;
}

void TlsTestServer::Run() {
    for (;;) {
        boost::system::error_code error;
        tcp::socket socket(io_);
        acceptor_.accept(socket, error);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stop_)
                return;
            ++connections_;
        }
        if (!error)
            Serve(std::move(socket));
    }
}

void TlsTestServer::StallUntilStopped() {
    std::unique_lock<std::mutex> lock(mutex_);
    stopped_.wait(lock, [this] { return stop_; });
}

bool TlsTestServer::PauseUnlessStopped(std::chrono::milliseconds delay) {
    std::unique_lock<std::mutex> lock(mutex_);
    return !stopped_.wait_for(lock, delay, [this] { return stop_; });
}

bool TlsTestServer::WriteAnswer(ssl::stream<tcp::socket>& stream, const Behaviour& behaviour,
                                std::size_t count) {
    boost::system::error_code error;
    const std::size_t atOnce = std::min(behaviour.trickleFrom, count);
    net::write(stream, net::buffer(behaviour.response.data(), atOnce), error);
    for (std::size_t at = atOnce; at < count && !error; at += behaviour.trickleSize) {
        if (!PauseUnlessStopped(behaviour.trickleEvery))
            return false;
        const std::size_t piece = std::min(behaviour.trickleSize, count - at);
        net::write(stream, net::buffer(behaviour.response.data() + at, piece), error);
    }
    return !error;
}

void TlsTestServer::Serve(tcp::socket socket) {
    Behaviour behaviour;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        behaviour = behaviour_;
    }
    if (behaviour.stallHandshake)
        return StallUntilStopped();

    ssl::stream<tcp::socket> stream(std::move(socket), tls_);
    boost::system::error_code error;
    stream.handshake(ssl::stream_base::server, error);
    if (error)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++handshakes_;
    }
    if (behaviour.stallReading)
        return StallUntilStopped();

    std::string request;
    std::size_t headEnd = std::string::npos;
    std::size_t wanted = std::string::npos;
    char piece[64 * 1024];
    while (request.size() < wanted) {
        if (request.size() >= behaviour.readLimit)
            return StallUntilStopped();
        const std::size_t size =
            std::min({sizeof piece, behaviour.readSize, behaviour.readLimit - request.size()});
        const std::size_t got = stream.read_some(net::buffer(piece, size), error);
        if (error)
            return;
        request.append(piece, got);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            received_.append(piece, got);
            lastByteAt_ = std::chrono::steady_clock::now();
        }
        if (behaviour.readEvery.count() > 0 && !PauseUnlessStopped(behaviour.readEvery))
            return;
        if (headEnd == std::string::npos && (headEnd = request.find("\r\n\r\n")) != std::string::npos)
            wanted = headEnd + 4 + ContentLength(request.substr(0, headEnd + 2));
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
    }

    const std::size_t count = std::min(behaviour.sendBytes, behaviour.response.size());
    if (!WriteAnswer(stream, behaviour, count))
        return;
    switch (behaviour.after) {
        case Behaviour::After::Stall:
            return StallUntilStopped();
        case Behaviour::After::Drop:
            stream.next_layer().close(error);
            return;
        case Behaviour::After::CloseNotify:
            // Send close_notify without waiting for the client's.
            SSL_set_shutdown(stream.native_handle(), SSL_RECEIVED_SHUTDOWN);
            stream.shutdown(error);
            stream.next_layer().close(error);
            return;
    }
}

}  // namespace httptest
