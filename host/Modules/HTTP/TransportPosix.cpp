// The connection's transport over Boost.Beast and OpenSSL (see host/Internal/HTTPTransport.hpp). Every wait
// is an asynchronous operation run on the transport's own io_context under the stream's deadline, which is
// set anew before each one: the time-out from now, or the bound of the answer when that comes sooner.
// Requests are written straight onto the socket, a streamed body without a length in chunks; the socket's
// count of bytes the server has not acknowledged tells what is in flight (SIOCOUTQ). Writes never raise
// SIGPIPE.
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read_until.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>

#include "ConnectionRules.hpp"
#include "ControlState.hpp"
#include "Counters.hpp"
#include "HTTPException.hpp"
#include "HTTPTransport.hpp"
#include "MessageAccess.hpp"

namespace HTTP::Detail {

namespace {

namespace net = boost::asio;
namespace ssl = net::ssl;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = net::ip::tcp;
using Kind = Exception::Kind;
using Stream = beast::ssl_stream<beast::tcp_stream>;
using Parser = http::response_parser<http::buffer_body>;

constexpr std::uint32_t kMaxHeaderSize = 64 * 1024;
// The largest TLS record's payload.
constexpr std::size_t kRecordSize = 16 * 1024;
// What the read buffer may hold: a head up to its limit and one more record. Body bytes pass through it, so
// only an element the parser must see whole (a chunk line with its extensions, the trailer) can fill it,
// and one that does is refused as malformed instead of growing the buffer without end.
constexpr std::size_t kMaxReadBuffer = kMaxHeaderSize + kRecordSize;
// How much of a request's TLS records gather before they go to the socket in one system call.
constexpr long kWriteBuffer = 256 * 1024;

// Receives the completion of any of the operations below and keeps its result.
struct Completion {
    beast::error_code* error;
    std::size_t* transferred;
    void operator()(beast::error_code ec) const { *error = ec; }
    void operator()(beast::error_code ec, std::size_t n) const { *error = ec, *transferred = n; }
    void operator()(beast::error_code ec, const tcp::endpoint&) const { *error = ec; }
};

// Name resolution blocks in getaddrinfo, which cannot be cancelled; it runs on a thread of its own, and
// on a time-out that thread is left to finish alone and drop its result.
std::vector<tcp::endpoint> Resolve(const std::string& host, std::uint16_t port, std::uint32_t timeout) {
    beast::error_code literal;
    const net::ip::address address = net::ip::make_address(host, literal);
    if (!literal)
        return {tcp::endpoint(address, port)};

    struct Lookup {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        beast::error_code error;
        std::vector<tcp::endpoint> endpoints;
    };
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, host, port] {
        net::io_context context;
        tcp::resolver resolver(context);
        beast::error_code error;
        const auto results =
            resolver.resolve(host, std::to_string(port), tcp::resolver::numeric_service, error);
        std::vector<tcp::endpoint> endpoints;
        for (const auto& entry : results) endpoints.push_back(entry.endpoint());
        std::lock_guard<std::mutex> lock(lookup->mutex);
        lookup->error = error;
        lookup->endpoints = std::move(endpoints);
        lookup->finished = true;
        lookup->done.notify_all();
    }).detach();

    std::unique_lock<std::mutex> lock(lookup->mutex);
    const auto finished = [&] { return lookup->finished; };
    if (timeout == 0)
        lookup->done.wait(lock, finished);
    else if (!lookup->done.wait_for(lock, std::chrono::milliseconds(timeout), finished))
        Fail(Kind::Timeout, "resolving " + host + " took longer than " + std::to_string(timeout) + " ms");
    if (lookup->error || lookup->endpoints.empty())
        Fail(Kind::Resolve, "cannot resolve " + host + ": " + lookup->error.message());
    return lookup->endpoints;
}

// Bytes written to `socket` that the peer has not acknowledged yet; -1 when the system does not say.
int Queued(int socket) {
    int queued = 0;
    return ::ioctl(socket, SIOCOUTQ, &queued) == 0 ? queued : -1;
}

// While it lives, a write to a connection the peer has ended fails with EPIPE instead of raising SIGPIPE
// in the host's process (OpenSSL writes with write(), which has no MSG_NOSIGNAL); a SIGPIPE that this
// thread's writes raised is taken back before the signal mask is restored.
class SigpipeHeld {
public:
    SigpipeHeld() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        pendingBefore_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
    }
    ~SigpipeHeld() {
        sigset_t pending;
        sigpending(&pending);
        if (!pendingBefore_ && sigismember(&pending, SIGPIPE) == 1) {
            const timespec now{0, 0};
            sigtimedwait(&pipe_, nullptr, &now);
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    SigpipeHeld(const SigpipeHeld&) = delete;
    SigpipeHeld& operator=(const SigpipeHeld&) = delete;

private:
    sigset_t pipe_;
    sigset_t previous_;
    bool pendingBefore_ = false;
};

// Whether a failed write met a peer that closed or reset the connection.
bool EndedByPeer(int error) {
    return error == EPIPE || error == ECONNRESET;
}

bool IsClosedEarly(const beast::error_code& error) {
    return error == http::error::end_of_stream || error == http::error::partial_message ||
           error == net::error::eof || error == ssl::error::stream_truncated ||
           error == net::error::connection_reset || error == net::error::connection_aborted ||
           error == net::error::broken_pipe;
}

class PosixTransport final : public Transport {
public:
    explicit PosixTransport(Link& link) : link_(link) {
        beast::error_code notAddress;
        const net::ip::address address = net::ip::make_address(link.host, notAddress);
        hostIsAddress_ = !notAddress;
        hostField_ = address.is_v6() && !notAddress ? "[" + link.host + "]" : link.host;
        if (link.port != 443)
            hostField_ += ":" + std::to_string(link.port);
    }

    void Connect(const std::optional<ProxyServer>& proxy) override {
        ConnectTcp(proxy);
        if (proxy)
            Tunnel(*proxy);
        Handshake();
    }

    void Open(const Client::Request& request, const Framing& framing) override {
        chunked_ = framing.kind == Framing::Kind::Chunked;
        heldBack_ = Head(request, chunked_ ? "Transfer-Encoding: chunked"
                                  : framing.kind == Framing::Kind::Length
                                      ? "Content-Length: " + std::to_string(framing.length)
                                      : std::string());
    }

    // The held-back head and a chunk's line share the first TLS record with the start of the bytes; the
    // rest goes out from the caller's buffer as it is.
    bool Write(const char* data, std::size_t size) override {
        std::string prefix = std::exchange(heldBack_, std::string());
        char hex[16];
        if (chunked_)
            prefix.append(hex, std::to_chars(hex, hex + sizeof hex, size, 16).ptr).append("\r\n");
        const bool going = Transmit(std::move(prefix), data, size);
        if (chunked_)
            heldBack_ = "\r\n";
        return going;
    }

    bool Flush(bool last) override {
        if (last && chunked_)
            heldBack_.append("0\r\n\r\n");
        return Transmit(std::exchange(heldBack_, std::string()), nullptr, 0);
    }

    long long Unacknowledged() override { return Queued(Socket()); }
    UInt64 RoundTrip() override {
        tcp_info info{};
        socklen_t size = sizeof info;
        return ::getsockopt(Socket(), IPPROTO_TCP, TCP_INFO, &info, &size) == 0 ? info.tcpi_rtt : 0;
    }
    // Whether the socket reports an error or the end of the connection within `ms`.
    bool EndsWithin(int ms) override {
        pollfd ended{Socket(), 0, 0};  // no events asked: only POLLERR and POLLHUP come
        return ::poll(&ended, 1, ms) > 0;
    }
    bool AnswerWaiting() override { return buffer_.size() > 0 || SSL_pending(stream_->native_handle()) > 0; }

    void ReceiveHead(Client::Response& response, bool bodiless, const AnswerBound& bound) override;
    std::size_t Read(char* destination, std::size_t count, const AnswerBound& bound) override;

    bool FinishReceive() override {
        const bool reusable = parser_->is_done() && parser_->keep_alive();
        parser_.reset();
        bound_.until.reset();
        return reusable;
    }

    void Abort() override {
        if (stream_ != nullptr) {
            // A reset, not an orderly end: bytes the system still holds are dropped instead of sent.
            beast::error_code ignored;
            auto& socket = beast::get_lowest_layer(*stream_).socket();
            socket.set_option(net::socket_base::linger(true, 0), ignored);
            socket.close(ignored);
        }
        heldBack_.clear();
        bound_.until.reset();
    }

    void Close(bool orderly) override {
        if (stream_ == nullptr)
            return;
        bound_.until.reset();  // the goodbye is not part of the answer
        if (orderly && secured_) {
            // Marking the peer's close_notify as received makes the shutdown send ours without waiting for
            // it.
            SSL_set_shutdown(stream_->native_handle(), SSL_RECEIVED_SHUTDOWN);
            Wait([&](Completion done) { stream_->async_shutdown(done); });
        }
        beast::error_code ignored;
        beast::get_lowest_layer(*stream_).socket().shutdown(tcp::socket::shutdown_both, ignored);
        beast::get_lowest_layer(*stream_).close();
    }

private:
    int Socket() { return beast::get_lowest_layer(*stream_).socket().native_handle(); }

    // Starts one operation through `start(Completion)` and runs the context until it completes or the
    // deadline closes the socket under it.
    template <class Start>
    beast::error_code Wait(Start&& start) {
        auto& socket = beast::get_lowest_layer(*stream_);
        if (link_.timeout == 0) {
            socket.expires_never();
        } else {
            const SteadyClock::time_point wait =
                SteadyClock::now() + std::chrono::milliseconds(link_.timeout);
            socket.expires_at(bound_.until && *bound_.until < wait ? *bound_.until : wait);
        }
        beast::error_code error;
        std::size_t count = 0;  // reads report how much they moved; the parser keeps its own account
        start(Completion{&error, &count});
        io_.restart();
        io_.run();
        link_.received += count;
        return error;
    }

    [[noreturn]] void ReceiveFailed(const beast::error_code& error, const char* what);
    // Connects to the host, or to `proxy`.
    void ConnectTcp(const std::optional<ProxyServer>& proxy);
    // Asks `proxy` for a tunnel to the host (CONNECT); a refusal fails.
    void Tunnel(const ProxyServer& proxy);
    void Handshake();
    // Writes through the socket; returns false, with peerEnded_ set, when the server has ended the
    // connection (nothing more is written then).
    bool WriteThroughSocket(const char* data, std::size_t size);
    // Writes `prefix` and `size` bytes of `data`, the prefix sharing a TLS record with the first of them.
    bool Transmit(std::string prefix, const char* data, std::size_t size);
    std::string Head(const Client::Request& request, const std::string& framing) const;

    Link& link_;
    std::string hostField_;
    bool hostIsAddress_ = false;
    bool secured_ = false;

    net::io_context io_;
    std::shared_ptr<ssl::context> tls_;
    std::unique_ptr<Stream> stream_;
    beast::flat_buffer buffer_{kMaxReadBuffer};
    std::unique_ptr<Parser> parser_;
    // What is held back to go out with the next bytes: the head before the first ones, a chunk's closing
    // CRLF after each chunk.
    std::string heldBack_;
    bool chunked_ = false;
    bool peerEnded_ = false;
    // The bound of the part of the answer being read (none outside one), and the arrival it counts from.
    AnswerBound bound_;
};

void PosixTransport::ReceiveFailed(const beast::error_code& error, const char* what) {
    const std::string where = std::string(" while reading the response ") + what + " from " + link_.host;
    if (error == beast::error::timeout && bound_.until && SteadyClock::now() >= *bound_.until) {
        const auto allowed =
            std::chrono::duration_cast<std::chrono::milliseconds>(*bound_.until - bound_.arrived);
        Fail(Kind::Timeout, "the response " + std::string(what) + " did not arrive within " +
                                std::to_string(allowed.count()) + " ms of the request's arrival" + where);
    }
    if (error == beast::error::timeout)
        Fail(Kind::Timeout, "no data for " + std::to_string(link_.timeout) + " ms" + where);
    if (IsClosedEarly(error))
        Fail(Kind::Receive, "the connection closed before the response was complete" + where);
    if (error == http::error::buffer_overflow)
        Fail(Kind::Protocol, "malformed response (a chunk line or trailer longer than " +
                                 std::to_string(kMaxReadBuffer) + " bytes)" + where);
    if (error.category() == http::make_error_code(http::error::bad_version).category())
        Fail(Kind::Protocol, "malformed response (" + error.message() + ")" + where);
    Fail(Kind::Receive, error.message() + where);
}

void PosixTransport::ConnectTcp(const std::optional<ProxyServer>& proxy) {
    // A route, like curl's --connect-to, applies to the host the socket goes to: the proxy when there is one.
    const std::string& to = proxy ? proxy->host : link_.host;
    const std::uint16_t toPort = proxy ? proxy->port : link_.port;
    const std::optional<Route> route = FindRoute(to, toPort);
    const std::string& address = route ? route->address : to;
    const std::uint16_t addressPort = route ? route->port : toPort;
    const std::vector<tcp::endpoint> endpoints = Resolve(address, addressPort, link_.timeout);

    tls_ = ClientTlsContext();
    stream_ = std::make_unique<Stream>(io_, *tls_);
    const std::string target = address + ":" + std::to_string(addressPort);
    const beast::error_code error =
        Wait([&](Completion done) { beast::get_lowest_layer(*stream_).async_connect(endpoints, done); });
    if (error == beast::error::timeout)
        Fail(Kind::Timeout,
             "connecting to " + target + " took longer than " + std::to_string(link_.timeout) + " ms");
    if (error)
        Fail(Kind::Connect, "cannot connect to " + target + ": " + error.message());
    // A request is written whole at once; Nagle's algorithm would hold its last segment back until the
    // server acknowledges the ones before, which a server delaying its acknowledgements makes 40 ms.
    beast::error_code ignored;
    beast::get_lowest_layer(*stream_).socket().set_option(tcp::no_delay(true), ignored);
    CountConnection();
}

void PosixTransport::Tunnel(const ProxyServer& proxy) {
    const std::string through = "the proxy " + AuthorityOf(proxy);
    const std::string authority = link_.port == 443 ? hostField_ + ":443" : hostField_;
    const std::string head = "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n\r\n";
    auto& socket = beast::get_lowest_layer(*stream_);
    // The proxy's bytes are not the exchange's: the counts of the connection leave them out.
    const UInt64 received = link_.received;
    beast::error_code error =
        Wait([&](Completion done) { net::async_write(socket, net::buffer(head), done); });
    std::string answer;
    if (!error)
        error = Wait([&](Completion done) {
            net::async_read_until(socket, net::dynamic_buffer(answer, kMaxHeaderSize), "\r\n\r\n", done);
        });
    link_.received = received;
    if (error == beast::error::timeout)
        Fail(Kind::Timeout, through + " did not answer the request for a tunnel to " + authority +
                                " within " + std::to_string(link_.timeout) + " ms");
    if (error)
        Fail(Kind::Connect,
             "cannot open a tunnel to " + authority + " through " + through + ": " + error.message());
    const std::string statusLine = answer.substr(0, answer.find("\r\n"));
    const bool opened = statusLine.rfind("HTTP/1.", 0) == 0 && statusLine.size() >= 12 &&
                        statusLine[8] == ' ' && statusLine[9] == '2';
    if (!opened)
        Fail(Kind::Connect, through + " refused the tunnel to " + authority + ": " + statusLine);
    if (answer.size() != answer.find("\r\n\r\n") + 4)
        Fail(Kind::Protocol, through + " sent more than its answer before the TLS handshake");
}

void PosixTransport::Handshake() {
    SSL* session = stream_->native_handle();
    if (!hostIsAddress_ && SSL_set_tlsext_host_name(session, link_.host.c_str()) != 1)
        Fail(Kind::Tls, "cannot set the TLS server name " + link_.host);
    X509_VERIFY_PARAM* verify = SSL_get0_param(session);
    X509_VERIFY_PARAM_set_hostflags(verify, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    const int named = hostIsAddress_
                          ? X509_VERIFY_PARAM_set1_ip_asc(verify, link_.host.c_str())
                          : X509_VERIFY_PARAM_set1_host(verify, link_.host.c_str(), link_.host.size());
    if (named != 1)
        Fail(Kind::Tls, "cannot set the name to verify " + link_.host);

    const beast::error_code error =
        Wait([&](Completion done) { stream_->async_handshake(ssl::stream_base::client, done); });
    if (error == beast::error::timeout)
        Fail(Kind::Timeout, "the TLS handshake with " + link_.host + " took longer than " +
                                std::to_string(link_.timeout) + " ms");
    if (error) {
        const long verified = SSL_get_verify_result(session);
        if (verified != X509_V_OK)
            Fail(Kind::Tls, "the certificate of " + link_.host +
                                " did not verify: " + X509_verify_cert_error_string(verified));
        Fail(Kind::Tls, "the TLS handshake with " + link_.host + " failed: " + error.message());
    }
    secured_ = true;
    CountHandshake();
    NoteCipher(SSL_CIPHER_get_name(SSL_get_current_cipher(session)));
}

// For the length of a write, the TLS session writes its records onto the (non-blocking) socket through a
// large buffer instead of into the stream's buffer pair, which holds one record at a time and costs a
// copy, a timer and a round through the io_context for each: each system call then carries many records,
// and a large body goes out at several times the speed. Each wait for the socket to take more is bounded
// by the time-out.
bool PosixTransport::WriteThroughSocket(const char* data, std::size_t size) {
    if (peerEnded_)
        return false;
    const SigpipeHeld sigpipeHeld;
    SSL* session = stream_->native_handle();
    const int socket = beast::get_lowest_layer(*stream_).socket().native_handle();
    BIO* const pair = SSL_get_wbio(session);
    BIO* const gather = BIO_new(BIO_f_buffer());
    BIO* const direct = BIO_new_socket(socket, BIO_NOCLOSE);
    if (gather == nullptr || direct == nullptr || BIO_set_write_buffer_size(gather, kWriteBuffer) != 1) {
        BIO_free(gather);
        BIO_free(direct);
        Fail(Kind::Send, "cannot write the request to " + link_.host + ": out of memory");
    }
    BIO_push(gather, direct);
    // The stream's modes suit its buffer pair; here the whole body goes in one call, and the record buffer
    // is kept from one record to the next instead of being freed and allocated again. The session holds
    // the pair as both its read and its write side: swapping the write side drops one of those
    // references, putting it back takes one again (and frees the buffer and socket BIOs).
    const long modes =
        SSL_clear_mode(session, 0) & (SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_RELEASE_BUFFERS);
    SSL_clear_mode(session, modes);
    SSL_set0_wbio(session, gather);
    struct Restore {
        SSL* session;
        BIO* pair;
        long modes;
        ~Restore() {
            BIO_up_ref(pair);
            SSL_set0_wbio(session, pair);
            SSL_set_mode(session, modes);
        }
    } restore{session, pair, modes};

    // The system reports room for more only once much of its buffer is free, which on a slow link takes
    // longer than the time-out while bytes keep leaving: what stalls a write is no byte leaving.
    const auto awaitWritable = [&] {
        const auto writableWithin = [socket](int wait) {
            pollfd writable{socket, POLLOUT, 0};
            return ::poll(&writable, 1, wait) > 0;
        };
        if (writableWithin(0))
            return;
        const auto waitAtSpeed = [&](int ms) {
            link_.CheckSpeed(Queued(socket));
            return writableWithin(ms);
        };
        if (AwaitWhileLeaving(
                link_.timeout, [socket] { return Queued(socket); }, waitAtSpeed,
                [this](long long) { return link_.WriteStalled(); }))
            return;
        // The system does not say what is left: the time-out bounds the wait alone.
        if (!writableWithin(link_.timeout == 0 ? -1 : static_cast<int>(link_.timeout)))
            Fail(Kind::Timeout, link_.WriteStalled());
    };
    // A server that ended the connection makes the rest of the request go nowhere; other failures throw.
    const auto failed = [&](int error) {
        if (!EndedByPeer(error))
            Fail(Kind::Send, "cannot write the request to " + link_.host + ": " + std::strerror(error));
        peerEnded_ = true;
        return false;
    };
    std::size_t done = 0;
    while (done < size) {
        std::size_t written = 0;
        const int result = SSL_write_ex(session, data + done, size - done, &written);
        if (result == 1) {
            done += written;
            link_.sent += written;
            CountBytesSent(written);
            continue;
        }
        if (SSL_get_error(session, result) != SSL_ERROR_WANT_WRITE) {
            const int error = errno;
            ERR_clear_error();
            return failed(error);
        }
        awaitWritable();
    }
    while (BIO_flush(gather) != 1) {
        if (!BIO_should_retry(gather))
            return failed(errno);
        awaitWritable();
    }
    return true;
}

bool PosixTransport::Transmit(std::string prefix, const char* data, std::size_t size) {
    const std::size_t joined =
        std::min<std::size_t>(size, prefix.size() < kRecordSize ? kRecordSize - prefix.size() : 0);
    prefix.append(data != nullptr ? data : "", joined);
    if (!prefix.empty())
        WriteThroughSocket(prefix.data(), prefix.size());
    if (size > joined)
        WriteThroughSocket(data + joined, size - joined);
    return !peerEnded_;
}

// The request line, the request's fields but its Content-Length, Host, then `framing` (the length or the
// transfer coding, when there is one).
std::string PosixTransport::Head(const Client::Request& request, const std::string& framing) const {
    std::string head;
    head.reserve(256);
    head.append(MethodName(request.GetMethod())).append(" ").append(MessageAccess::Target(request));
    head.append(request.GetVersion() == MessageHeader::HTTPVersion::Version11 ? " HTTP/1.1\r\n"
                                                                              : " HTTP/1.0\r\n");
    head.append(MessageAccess::FieldLines(request));
    head.append("Host: ").append(hostField_).append("\r\n");
    if (!framing.empty())
        head.append(framing).append("\r\n");
    return head.append("\r\n");
}

// An interim 1xx answer is followed by the real one, within the same bound.
void PosixTransport::ReceiveHead(Client::Response& response, bool bodiless, const AnswerBound& bound) {
    bound_ = bound;
    for (;;) {
        parser_ = std::make_unique<Parser>();
        // The connection holds the body to its cap (Beast takes boost::none as a limit of 0).
        parser_->body_limit(std::numeric_limits<std::uint64_t>::max());
        parser_->header_limit(kMaxHeaderSize);
        if (bodiless)
            parser_->skip(true);
        const beast::error_code error =
            Wait([&](Completion done) { http::async_read_header(*stream_, buffer_, *parser_, done); });
        if (error)
            ReceiveFailed(error, "header");
        const unsigned status = parser_->get().result_int();
        if (status < 100 || status >= 200 || status == 101)
            break;
    }
    const auto& message = parser_->get();
    MessageAccess::Reset(response, message.result_int(), std::string(message.reason()));
    for (const auto& field : message) {
        MessageAccess::AddReceived(MessageAccess::ReceivedFields(response), std::string(field.name_string()),
                                   std::string(field.value()));
    }
}

std::size_t PosixTransport::Read(char* destination, std::size_t count, const AnswerBound& bound) {
    bound_ = bound;
    Parser& parser = *parser_;
    if (parser.is_done())
        return 0;
    auto& body = parser.get().body();
    // A read may consume only framing (a chunk header); go on until body bytes arrive or the body ends.
    for (;;) {
        body.data = destination;
        body.size = count;
        beast::error_code error =
            Wait([&](Completion done) { http::async_read_some(*stream_, buffer_, parser, done); });
        if (error == http::error::need_buffer)
            error = {};
        if (error)
            ReceiveFailed(error, "body");
        const std::size_t arrived = count - body.size;
        if (arrived > 0 || parser.is_done())
            return arrived;
    }
}

}  // namespace

std::unique_ptr<Transport> MakeTransport(Link& link) {
    return std::make_unique<PosixTransport>(link);
}

}  // namespace HTTP::Detail
