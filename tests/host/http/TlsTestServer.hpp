// A TLS server on 127.0.0.1 for the HTTP client tests: it serves one connection at a time on its own
// thread, records what arrives, and answers with raw bytes or misbehaves as told.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/ssl/stream.hpp>

#include "Certificates.hpp"

namespace httptest {

struct Behaviour {
    enum class After { CloseNotify, Drop, Stall };
    // Accept the TCP connection but never answer the TLS handshake.
    bool stallHandshake = false;
    // Complete the handshake, then read nothing more.
    bool stallReading = false;
    // Read the request slowly: at most `readSize` bytes, then a pause of `readEvery` (none by default; with
    // one, the server's socket buffer is small); after `readLimit` bytes, nothing more.
    std::size_t readSize = 64 * 1024;
    std::chrono::milliseconds readEvery{0};
    std::size_t readLimit = std::string::npos;
    // The raw answer written once the whole request (header and Content-Length body) has arrived.
    std::string response;
    // How many bytes of `response` are written; all of them by default.
    std::size_t sendBytes = std::string::npos;
    // From this offset on, `response` goes out in pieces of `trickleSize` bytes, `trickleEvery` apart.
    std::size_t trickleFrom = std::string::npos;
    std::size_t trickleSize = 1;
    std::chrono::milliseconds trickleEvery{0};
    // What follows the answer: a TLS close_notify and close, a TCP close without close_notify, or silence
    // until the client goes away or the server stops.
    After after = After::CloseNotify;
};

class TlsTestServer {
public:
    explicit TlsTestServer(const webapp::ServerCertificate& certificate);
    TlsTestServer(const TlsTestServer&) = delete;
    TlsTestServer& operator=(const TlsTestServer&) = delete;
    ~TlsTestServer();

    std::uint16_t Port() const;
    // Applies to connections accepted afterwards.
    void SetBehaviour(Behaviour behaviour);

    // Every complete request, raw, in arrival order.
    std::vector<std::string> Requests() const;
    // Every byte that arrived inside TLS, over all connections, complete requests or not.
    std::string ReceivedBytes() const;
    int Connections() const;
    int Handshakes() const;
    // When the last byte of a request arrived.
    std::chrono::steady_clock::time_point LastByteAt() const;

private:
    void Run();
    void Serve(boost::asio::ip::tcp::socket socket);
    void StallUntilStopped();
    // Waits `delay`; false when the server stopped meanwhile.
    bool PauseUnlessStopped(std::chrono::milliseconds delay);
    // Writes `count` bytes of the behaviour's response, trickling as it says; false when the server
    // stopped or the write failed.
    bool WriteAnswer(boost::asio::ssl::stream<boost::asio::ip::tcp::socket>& stream,
                     const Behaviour& behaviour, std::size_t count);

    boost::asio::io_context io_;
    boost::asio::ssl::context tls_;
    boost::asio::ip::tcp::acceptor acceptor_;
    mutable std::mutex mutex_;
    std::condition_variable stopped_;
    bool stop_ = false;
    Behaviour behaviour_;
    std::vector<std::string> requests_;
    std::string received_;
    int connections_ = 0;
    int handshakes_ = 0;
    std::chrono::steady_clock::time_point lastByteAt_;
    std::thread thread_;
};

}  // namespace httptest
