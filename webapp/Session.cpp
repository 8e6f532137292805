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
      stallTimer_(stream_.get_executor()),
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

void Session::OnHeader(error_code ec, std::size_t) {
    if (ec) {
        OnReadError(ec);
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

void Session::OnBody(error_code ec, std::size_t) {
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
    const bool keepAlive = parser_->keep_alive();
    Request request = parser_->Release();
    context_.log.Record(RecordedRequest{request.RequestLine(), request.headers, request.body});
    const FaultPlan plan = context_.faults.Take(request.Path());
    if (!plan.stall) {
        Respond(request, plan, keepAlive);
        return;
    }
    stallTimer_.expires_after(*plan.stall);
    stallTimer_.async_wait(
        [self = shared_from_this(), request = std::move(request), plan, keepAlive](error_code ec) {
            if (ec) {
                self->Close();
                return;
            }
            self->Respond(request, plan, keepAlive);
        });
}

void Session::Respond(const Request& request, const FaultPlan& plan, bool keepAlive) {
    Response response;
    if (plan.scripted) {
        response = *plan.scripted;
    } else {
        try {
            response = context_.router.Handle(request);
        } catch (const std::exception& error) {
            response = PlainError(500, std::string("Internal error: ") + error.what());
        }
    }
    if (plan.dropMidBody) {
        Write(ToWireCutShort(response), After::Cut);
        return;
    }
    const After after = ClosesConnection(response, keepAlive) ? After::Shutdown : After::ReadNext;
    if (plan.pacing) {
        WritePaced(ToWire(response, keepAlive), after, *plan.pacing);
        return;
    }
    Write(ToWire(response, keepAlive), after);
}

void Session::RefuseTooLarge() {
    // The head is complete, so the request line and fields are known; the body was never kept.
    const Request& request = parser_->Get();
    context_.log.Record(RecordedRequest{request.RequestLine(), request.headers, ""});
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

void Session::WritePaced(std::string bytes, After after, Pacing pacing) {
    outgoing_ = std::move(bytes);
    const std::size_t size = (outgoing_.size() + pacing.pieces - 1) / pacing.pieces;
    WritePiece(0, size, after, pacing.interval);
}

void Session::WritePiece(std::size_t offset, std::size_t size, After after,
                         std::chrono::milliseconds interval) {
    const std::size_t count = std::min(size, outgoing_.size() - offset);
    boost::beast::get_lowest_layer(stream_).expires_after(kWriteTime);
    boost::asio::async_write(
        stream_, boost::asio::buffer(outgoing_.data() + offset, count),
        [self = shared_from_this(), offset, size, count, after, interval](error_code ec,
                                                                          std::size_t written) {
            if (ec || offset + count == self->outgoing_.size()) {
                self->OnWritten(after, ec, written);
                return;
            }
            self->stallTimer_.expires_after(interval);
            self->stallTimer_.async_wait([self, offset, size, count, after, interval](error_code waited) {
                if (waited) {
                    self->Close();
                    return;
                }
                self->WritePiece(offset + count, size, after, interval);
            });
        });
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
    error_code ignored;
    stallTimer_.cancel();
    auto& socket = boost::beast::get_lowest_layer(stream_).socket();
    socket.shutdown(boost::asio::ip::tcp::socket::shutdown_both, ignored);
    socket.close(ignored);
}

}  // namespace webapp
