// One client connection of the web application: TLS handshake, then requests and answers until either side
// closes. Runs on the server's io thread only.
#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>
#include <chrono>
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

    // What to do once an answer, or a piece of one, has been written.
    enum class After { ReadNext, Shutdown, Drain, Cut, Interim, Piece, Flood };

    void OnHandshake(error_code ec);
    void ReadHeader();
    void OnHeader(error_code ec, std::size_t bytes);
    void ReadBody();
    void OnBody(error_code ec, std::size_t bytes);
    // A malformed request gets an error answer; a closed or broken connection is closed.
    void OnReadError(error_code ec);
    void Answer();
    // The steps of an answer under the request's fault plan: interim answers, then the real one, whole or
    // in timed pieces.
    void Proceed();
    void Respond();
    // Writes `first` bytes at once, then pieces of `size` bytes, `every` apart; then goes on as `after`.
    void WriteInPieces(std::string bytes, After after, std::size_t first, std::size_t size,
                       std::chrono::milliseconds every);
    void WriteNextPiece();
    // Writes the flood's filler, a piece at a time as the client takes it, then closes.
    void WriteFlood();
    // Runs `next` after `delay` unless the connection is closed first.
    void Later(std::chrono::milliseconds delay, void (Session::*next)());
    void RefuseTooLarge();
    void Write(std::string bytes, After after);
    void OnWritten(After after, error_code ec, std::size_t bytes);
    void Drain();
    void OnDrained(error_code ec, std::size_t bytes);
    void Shutdown();
    void Close();

    SessionContext& context_;
    boost::beast::ssl_stream<boost::beast::tcp_stream> stream_;
    boost::beast::flat_buffer buffer_;
    std::optional<RequestParser> parser_;
    // The request being answered and what its answer goes through.
    Request pending_;
    FaultPlan plan_;
    bool keepAlive_ = false;
    std::size_t interimLeft_ = 0;
    // An answer going out in timed pieces: its bytes, how many are out, the size of the next pieces.
    struct Pieces {
        std::string bytes;
        std::size_t at = 0;
        std::size_t size = 1;
        std::chrono::milliseconds every{0};
        After after = After::Shutdown;
    } pieces_;
    // Times every pause of an answer: a stall, the gaps between interim answers and between pieces.
    boost::asio::steady_timer pauseTimer_;
    std::string outgoing_;
    // Filler of a flood still to write, and the size of the piece being written.
    std::size_t floodLeft_ = 0;
    std::size_t floodWritten_ = 0;
    std::vector<char> drainBuffer_;
    std::size_t drained_ = 0;
};

}  // namespace webapp
