// The connection's sequence of asynchronous steps, each one a member function.
#include "Session.hpp"

#include <algorithm>

#include <boost/asio/write.hpp>
#include <boost/beast/core/bind_handler.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/read.hpp>
#include <chrono>
#include <exception>
#include <nlohmann/json.hpp>

#include "Wire.hpp"

namespace webapp {
namespace {

namespace http = boost::beast::http;
using namespace std::chrono_literals;

constexpr auto kHandshakeTime = 15s;
constexpr auto kIdleTime = 60s;  // waiting for (the rest of) a request, keep-alive included
constexpr auto kWriteTime = 30s;
constexpr auto kDrainTime = 5s;  // per read while discarding a refused body
constexpr std::size_t kHeaderLimit = 64 * 1024;
constexpr std::size_t kDrainLimit = std::size_t(1) << 30;
constexpr std::size_t kFloodPiece = 16 * 1024;

bool IsParseError(const boost::beast::error_code& ec) {
    return ec.category() == http::make_error_code(http::error::bad_target).category() &&
           ec != http::error::end_of_stream && ec != http::error::partial_message;
}

Response PlainError(int status, const std::string& text) {
    return Response{status, {{"Content-Type", "text/plain; charset=utf-8"}}, text + "\n"};
}

}  // namespace

Session::Session(boost::asio::ip::tcp::socket socket, SessionContext& context)
    : context_(context),
      stream_(std::move(socket), context.tls),
      pauseTimer_(stream_.get_executor()),
      drainBuffer_(64 * 1024) {}

void Session::Start() {
    boost::beast::get_lowest_layer(stream_).expires_after(kHandshakeTime);
    stream_.async_handshake(boost::asio::ssl::stream_base::server,
                            boost::beast::bind_front_handler(&Session::OnHandshake, shared_from_this()));
}

void Session::OnHandshake(error_code ec) {
    context_.log.CountHandshake(!ec);
    if (ec) {
        Close();
        return;
    }
    ReadHeader();
}

void Session::ReadHeader() {
    parser_.emplace();
    parser_->body_limit(context_.maxBodyBytes);
    parser_->header_limit(kHeaderLimit);
    boost::beast::get_lowest_layer(stream_).expires_after(kIdleTime);
    http::async_read_header(stream_, buffer_, *parser_,
                            boost::beast::bind_front_handler(&Session::OnHeader, shared_from_this()));
}

void Session::OnHeader(error_code ec, std::size_t bytes) {
    context_.log.CountRequestBytes(bytes);
    if (ec) {
        OnReadError(ec);
        return;
    }
    if (const std::optional<int> early = context_.faults.TakeEarlyAnswer(parser_->Get().Path())) {
        const Request& request = parser_->Get();
        context_.log.Record(RecordedRequest{request.RequestLine(), request.headers, "", {}});
        Write(ToWire(PlainError(*early, "answered before the body"), false), After::Cut);
        return;
    }
    if (parser_->is_done()) {
        Answer();
        return;
    }
    if (parser_->ExpectsContinue()) {
        // The client holds its body back until it hears from us.
        outgoing_ = "HTTP/1.1 100 Continue\r\n\r\n";
        boost::asio::async_write(stream_, boost::asio::buffer(outgoing_),
                                 [self = shared_from_this()](error_code writeError, std::size_t) {
                                     if (writeError) {
                                         self->Close();
                                         return;
                                     }
                                     self->ReadBody();
                                 });
        return;
    }
    ReadBody();
}

void Session::ReadBody() {
    boost::beast::get_lowest_layer(stream_).expires_after(kIdleTime);
    http::async_read(stream_, buffer_, *parser_,
                     boost::beast::bind_front_handler(&Session::OnBody, shared_from_this()));
}

void Session::OnBody(error_code ec, std::size_t bytes) {
    // Also the part of a body whose sender broke off.
    context_.log.CountRequestBytes(bytes);
    if (ec) {
        OnReadError(ec);
        return;
    }
    Answer();
}

void Session::OnReadError(error_code ec) {
    if (ec == http::error::body_limit) {
        RefuseTooLarge();
        return;
    }
    if (ec == http::error::header_limit) {
        Write(ToWire(PlainError(431, "Request header fields too large"), false), After::Shutdown);
        return;
    }
    if (IsParseError(ec)) {
        Write(ToWire(PlainError(400, "Bad request: " + ec.message()), false), After::Shutdown);
        return;
    }
    Close();  // the client closed, the connection broke or it was idle too long
}

void Session::Answer() {
    keepAlive_ = parser_->keep_alive();
    pending_ = parser_->Release();
    context_.log.Record(RecordedRequest{pending_.RequestLine(), pending_.headers, pending_.body, {}});
    plan_ = context_.faults.Take(pending_.Path());
    interimLeft_ = plan_.interim ? plan_.interim->count : 0;
    if (plan_.stall) {
        Later(*plan_.stall, &Session::Proceed);
        return;
    }
    Proceed();
}

void Session::Proceed() {
    if (interimLeft_ == 0) {
        Respond();
        return;
    }
    --interimLeft_;
    Write("HTTP/1.1 102 Processing\r\n\r\n", After::Interim);
}

void Session::Respond() {
    Response response;
    if (plan_.scripted) {
        response = *plan_.scripted;
    } else {
        try {
            response = context_.router.Handle(pending_);
        } catch (const std::exception& error) {
            response = PlainError(500, std::string("Internal error: ") + error.what());
        }
    }
    if (plan_.flood) {
        // The chunked head of the answer without its chunks; what follows it never ends its line.
        response.framing = BodyFraming::Chunked;
        response.body.clear();
        std::string head = ToWire(response, false);
        head.resize(head.find("\r\n\r\n") + 4);
        floodLeft_ = plan_.flood->bytes;
        Write(
            head + (plan_.flood->where == FloodAnswer::Where::ChunkExtension ? "1;"
                                                                             : "1\r\n.\r\n0\r\nX-Trailer: "),
            After::Flood);
        return;
    }
    if (plan_.dropMidBody) {
        Write(ToWireCutShort(response), After::Cut);
        return;
    }
    std::string wire = ToWire(response, keepAlive_);
    const After after = ClosesConnection(response, keepAlive_) ? After::Shutdown : After::ReadNext;
    if (plan_.drip) {
        const std::size_t head = wire.find("\r\n\r\n") + 4;
        WriteInPieces(std::move(wire), after, head, 1, *plan_.drip);
        return;
    }
    if (plan_.pacing) {
        const std::size_t piece = (wire.size() + plan_.pacing->pieces - 1) / plan_.pacing->pieces;
        WriteInPieces(std::move(wire), after, piece, piece, plan_.pacing->interval);
        return;
    }
    Write(std::move(wire), after);
}

void Session::WriteInPieces(std::string bytes, After after, std::size_t first, std::size_t size,
                            std::chrono::milliseconds every) {
    pieces_ = Pieces{std::move(bytes), 0, size, every, after};
    pieces_.at = std::min(first, pieces_.bytes.size());
    Write(pieces_.bytes.substr(0, pieces_.at), After::Piece);
}

void Session::WriteNextPiece() {
    const std::size_t from = pieces_.at;
    pieces_.at += std::min(pieces_.size, pieces_.bytes.size() - from);
    Write(pieces_.bytes.substr(from, pieces_.at - from), After::Piece);
}

void Session::WriteFlood() {
    context_.faults.CountFlooded(floodWritten_);  // the piece before this one (none after the head)
    floodWritten_ = std::min(floodLeft_, kFloodPiece);
    floodLeft_ -= floodWritten_;
    if (floodWritten_ == 0) {
        Close();
        return;
    }
    Write(std::string(floodWritten_, 'a'), After::Flood);
}

void Session::Later(std::chrono::milliseconds delay, void (Session::*next)()) {
    pauseTimer_.expires_after(delay);
    pauseTimer_.async_wait([self = shared_from_this(), next](error_code ec) {
        if (ec) {
            self->Close();
            return;
        }
        ((*self).*next)();
    });
}

void Session::RefuseTooLarge() {
    // The head is complete, so the request line and fields are known; the body was never kept.
    const Request& request = parser_->Get();
    context_.log.Record(RecordedRequest{request.RequestLine(), request.headers, "", {}});
    const nlohmann::json error = {
        {"error", "the request body is larger than " + std::to_string(context_.maxBodyBytes) + " bytes"}};
    const Response response{413, {{"Content-Type", "application/json"}}, error.dump()};
    Write(ToWire(response, false), After::Drain);
}

void Session::Write(std::string bytes, After after) {
    outgoing_ = std::move(bytes);
    boost::beast::get_lowest_layer(stream_).expires_after(kWriteTime);
    boost::asio::async_write(
        stream_, boost::asio::buffer(outgoing_),
        boost::beast::bind_front_handler(&Session::OnWritten, shared_from_this(), after));
}

void Session::OnWritten(After after, error_code ec, std::size_t) {
    if (ec) {
        Close();
        return;
    }
    switch (after) {
        case After::ReadNext:
            ReadHeader();
            return;
        case After::Shutdown:
            Shutdown();
            return;
        case After::Drain:
            Drain();
            return;
        case After::Cut:
            Close();
            return;
        case After::Interim:
            Later(plan_.interim->every, &Session::Proceed);
            return;
        case After::Flood:
            WriteFlood();
            return;
        case After::Piece:
            if (pieces_.at == pieces_.bytes.size()) {
                OnWritten(pieces_.after, ec, 0);
                return;
            }
            Later(pieces_.every, &Session::WriteNextPiece);
            return;
    }
}

// Reads and discards what the client still sends of a refused body, so that closing does not reset the
// connection before the client has read the answer.
void Session::Drain() {
    boost::beast::get_lowest_layer(stream_).expires_after(kDrainTime);
    stream_.async_read_some(boost::asio::buffer(drainBuffer_),
                            boost::beast::bind_front_handler(&Session::OnDrained, shared_from_this()));
}

void Session::OnDrained(error_code ec, std::size_t bytes) {
    context_.log.CountRequestBytes(bytes);
    drained_ += bytes;
    if (ec || drained_ > kDrainLimit) {
        Close();
        return;
    }
    Drain();
}

void Session::Shutdown() {
    boost::beast::get_lowest_layer(stream_).expires_after(kDrainTime);
    stream_.async_shutdown([self = shared_from_this()](error_code) { self->Close(); });
}

void Session::Close() {
    // Bytes read but never parsed (a request broken off, or one refused before its end) are request
    // bytes too; counted once, as they are dropped.
    context_.log.CountRequestBytes(buffer_.size());
    buffer_.consume(buffer_.size());
    error_code ignored;
    pauseTimer_.cancel();
    auto& socket = boost::beast::get_lowest_layer(stream_).socket();
    socket.shutdown(boost::asio::ip::tcp::socket::shutdown_both, ignored);
    socket.close(ignored);
}

}  // namespace webapp
