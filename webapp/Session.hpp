// One client connection of the web application: TLS handshake, then requests and answers until either side
// closes. Runs on the server's io thread only.
#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Faults.hpp"
#include "RequestLog.hpp"
#include "RequestParser.hpp"
#include "Router.hpp"

namespace webapp {

// What every session of one server shares. The server owns all of it and keeps it alive while its io
// context has sessions.
struct SessionContext {
    boost::asio::ssl::context& tls;
    const Router& router;
    RequestLog& log;
    Faults& faults;
    std::size_t maxBodyBytes;
};

// Keeps itself alive through the handlers it has pending; it ends when the last one has run or when the
// io context is destroyed.
class Session : public std::enable_shared_from_this<Session> {
public:
    Session(boost::asio::ip::tcp::socket socket, SessionContext& context);

    void Start();

private:
    using error_code = boost::beast::error_code;

    // What to do once an answer has been written.
    enum class After { ReadNext, Shutdown, Drain, Cut };

    void OnHandshake(error_code ec);
    void ReadHeader();
    void OnHeader(error_code ec, std::size_t bytes);
    void ReadBody();
    void OnBody(error_code ec, std::size_t bytes);
    // A malformed request gets an error answer; a closed or broken connection is closed.
    void OnReadError(error_code ec);
    void Answer();
    void Respond(const Request& request, const FaultPlan& plan, bool keepAlive);
    void RefuseTooLarge();
    void Write(std::string bytes, After after);
    // Writes the bytes in pieces, waiting between them.
    void WritePaced(std::string bytes, After after, Pacing pacing);
    void WritePiece(std::size_t offset, std::size_t size, After after, std::chrono::milliseconds interval);
    void OnWritten(After after, error_code ec, std::size_t bytes);
    void Drain();
    void OnDrained(error_code ec, std::size_t bytes);
    void Shutdown();
    void Close();

    SessionContext& context_;
    boost::beast::ssl_stream<boost::beast::tcp_stream> stream_;
    boost::beast::flat_buffer buffer_;
    std::optional<RequestParser> parser_;
    boost::asio::steady_timer stallTimer_;
    std::string outgoing_;
    std::vector<char> drainBuffer_;
    std::size_t drained_ = 0;
};

}  // namespace webapp
