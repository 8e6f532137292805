// HTTP::Client::ClientConnection over Boost.Beast and OpenSSL. Every wait is an asynchronous operation run
// on the connection's own io_context under the stream's deadline, which is set anew before each one: the
// time-out from now, or the bound of the answer when that comes sooner. Requests are written straight onto
// the socket; the socket's count of bytes the server has not acknowledged tells when a request arrived.
#include "HTTP/Client/ClientConnection.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
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
#include "HTTPException.hpp"
#include "MessageAccess.hpp"

namespace HTTP {

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
// The whole answer must have arrived within this many time-outs after the request arrived.
constexpr std::uint32_t kAnswerTimeouts = 4;
// A streamed body's bytes in flight (written, not yet acknowledged) after each write: a second's worth at
// the rate the server took the body at over about the last second, and never less than a few KiB; the
// floor until that rate is known (see Detail::InFlightRule). The system alone would take megabytes, and
// the caller's writes, its progress and its Cancel would run many seconds ahead of a slow link; a second's
// worth keeps the link busy and the last byte about a second behind the last write. It follows the rate
// rather than being fixed so that a fast link with a long round trip is not held to a window of the cap's
// size.
constexpr long long kInFlightFloor = 64 * 1024;
constexpr long long kInFlightLeast = 4 * 1024;
// A write or flush of a streamed body waits at most this long for the bytes in flight to go down: the
// caller gets back to its user about once a second (a bar that moves, a Cancel asked), also while a link
// carries what the system took at once, which then goes over several calls.
constexpr std::chrono::milliseconds kPaceSlice{1000};
using SteadyClock = std::chrono::steady_clock;

using Detail::Fail;
using State = Detail::ConnectionState;

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
int Unacknowledged(int socket) {
    int queued = 0;
    return ::ioctl(socket, SIOCOUTQ, &queued) == 0 ? queued : -1;
}

// The system's estimate of the connection's round trip in µs; 0 when it has none.
UInt64 RoundTrip(int socket) {
    tcp_info info{};
    socklen_t size = sizeof info;
    return ::getsockopt(socket, IPPROTO_TCP, TCP_INFO, &info, &size) == 0 ? info.tcpi_rtt : 0;
}

// Whether `socket` reports an error or the end of the connection within `wait` ms.
bool EndsWithin(int socket, int wait) {
    pollfd ended{socket, 0, 0};  // no events asked: only POLLERR and POLLHUP come
    return ::poll(&ended, 1, wait) > 0;
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
bool PeerEnded(int error) {
    return error == EPIPE || error == ECONNRESET;
}

std::string Hex(std::size_t value) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value % 16]);
        value /= 16;
    } while (value != 0);
    return text;
}

bool IsClosedEarly(const beast::error_code& error) {
    return error == http::error::end_of_stream || error == http::error::partial_message ||
           error == net::error::eof || error == ssl::error::stream_truncated ||
           error == net::error::connection_reset || error == net::error::connection_aborted ||
           error == net::error::broken_pipe;
}

}  // namespace

namespace Client {

struct ClientConnection::Impl {
    Detail::ConnectionPolicy policy;
    // The proxy the connection goes through, chosen when it connects.
    std::optional<Detail::ProxyServer> proxy;
    std::string host;
    std::uint16_t port = 0;
    std::string hostField;
    bool hostIsAddress = false;
    std::uint32_t timeout = Detail::DefaultTimeout;
    State state = State::Fresh;
    bool secured = false;
    MessageHeader::Method::Id lastMethod = MessageHeader::Method::Get;

    net::io_context io;
    std::shared_ptr<ssl::context> tls;
    std::unique_ptr<Stream> stream;
    beast::flat_buffer buffer{kMaxReadBuffer};
    std::unique_ptr<Parser> parser;
    std::unique_ptr<Encoding::BodyIBinaryChannel> body;
    std::unique_ptr<Encoding::BodyOBinaryChannel> requestBody;
    // The body being streamed, and what is held back to go out with its next bytes: the head before the
    // first ones, a chunk's closing CRLF after each chunk.
    Detail::StreamedBody streamed;
    std::string heldBack;
    // The bytes sent before the streamed body's first ones, and the rule the rate its bytes are
    // acknowledged at sets for how many may be in flight.
    UInt64 sentBeforeStream = 0;
    Detail::InFlightRule inFlight{kInFlightFloor, kInFlightLeast};
    // The most of the streamed body the server had acknowledged, and since when: the pacing's waits, a
    // slice at a time, find a stall across them.
    UInt64 pacedTaken = 0;
    SteadyClock::time_point pacedTakenAt;
    // When the last request was written, and when it arrived; the answer's bounds count from the arrival.
    SteadyClock::time_point sentAt;
    SteadyClock::time_point arrivedAt;
    UInt64 sentCount = 0;
    UInt64 receivedCount = 0;
    // The server closed or reset the connection while the request was being written: the rest of the
    // request is dropped, and the answer it may have sent before is read as the answer.
    bool peerEnded = false;
    // The rate the server takes the request at, from its first byte on: too slow a request fails.
    Detail::LowSpeedLimit lowSpeed;
    // The bound of the part of the answer being read, when there is one (none with a time-out of 0).
    std::optional<SteadyClock::time_point> answerBound;

    // Starts one operation through `start(Completion)` and runs the context until it completes or the
    // deadline closes the socket under it.
    template <class Start>
    beast::error_code Wait(Start&& start) {
        auto& socket = beast::get_lowest_layer(*stream);
        if (timeout == 0) {
            socket.expires_never();
        } else {
            const SteadyClock::time_point wait = SteadyClock::now() + std::chrono::milliseconds(timeout);
            socket.expires_at(answerBound && *answerBound < wait ? *answerBound : wait);
        }
        beast::error_code error;
        std::size_t count = 0;  // reads report how much they moved; the parser keeps its own account
        start(Completion{&error, &count});
        io.restart();
        io.run();
        receivedCount += count;
        return error;
    }

    static UInt64 Microseconds() {
        return static_cast<UInt64>(
            std::chrono::duration_cast<std::chrono::microseconds>(SteadyClock::now().time_since_epoch())
                .count());
    }
    static UInt64 Milliseconds() { return Microseconds() / 1000; }

    [[noreturn]] void Broke(Kind kind, const std::string& message) {
        state = State::Broken;
        Fail(kind, message);
    }

    // Bounds the reads that follow to `timeouts` time-outs after the request arrived.
    void BoundAnswer(std::uint32_t timeouts) {
        if (timeout == 0) {
            answerBound.reset();
            return;
        }
        answerBound = arrivedAt + std::chrono::milliseconds(std::uint64_t(timeout) * timeouts);
    }

    [[noreturn]] void ReceiveFailed(const beast::error_code& error, const char* what) {
        const std::string where = std::string(" while reading the response ") + what + " from " + host;
        if (error == beast::error::timeout && answerBound && SteadyClock::now() >= *answerBound) {
            const auto allowed =
                std::chrono::duration_cast<std::chrono::milliseconds>(*answerBound - arrivedAt);
            Broke(Kind::Timeout, "the response " + std::string(what) + " did not arrive within " +
                                     std::to_string(allowed.count()) + " ms of the request's arrival" +
                                     where);
        }
        if (error == beast::error::timeout)
            Broke(Kind::Timeout, "no data for " + std::to_string(timeout) + " ms" + where);
        if (error == http::error::body_limit)
            Broke(Kind::BodyTooLarge,
                  "the response body is larger than " + std::to_string(Detail::MaxBodySize) + " bytes");
        if (IsClosedEarly(error))
            Broke(Kind::Receive, "the connection closed before the response was complete" + where);
        if (error == http::error::buffer_overflow)
            Broke(Kind::Protocol, "malformed response (a chunk line or trailer longer than " +
                                      std::to_string(kMaxReadBuffer) + " bytes)" + where);
        if (error.category() == http::make_error_code(http::error::bad_version).category())
            Broke(Kind::Protocol, "malformed response (" + error.message() + ")" + where);
        Broke(Kind::Receive, error.message() + where);
    }

    std::string TooSlowMessage() const {
        return "the server took less than " + std::to_string(Detail::LowSpeedLimit::DefaultBytesPerSecond) +
               " bytes a second of the request to " + host + " over " +
               std::to_string(Detail::LowSpeedLimit::DefaultWindow) + " ms";
    }

    // Detail::AwaitWhileLeaving on this connection's socket; a stall breaks the connection.
    // The request is also held to the low-speed limit while it waits.
    template <class Wait, class Stalled>
    std::optional<UInt64> AwaitLeaving(Wait wait, Stalled stalled) {
        const int socket = beast::get_lowest_layer(*stream).socket().native_handle();
        const auto waitAtSpeed = [&](int ms) {
            const long long left = Unacknowledged(socket);
            if (timeout != 0 && left >= 0 && lowSpeed.TooSlow(Milliseconds(), sentCount - left))
                Fail(Kind::Timeout, TooSlowMessage());
            return wait(ms);
        };
        try {
            return Detail::AwaitWhileLeaving(
                timeout, [socket] { return Unacknowledged(socket); }, waitAtSpeed, stalled);
        } catch (const Exception&) {
            state = State::Broken;
            throw;
        }
    }

    // Connects to the host, or to the proxy the connection's choice gives for it.
    void ConnectTcp();
    // Through a proxy: asks it for a tunnel to the host (CONNECT); a refusal breaks the connection.
    void Tunnel();
    void Handshake();
    // Writes through the socket; returns false, with peerEnded set, when the server has ended the
    // connection (nothing more is written then).
    bool WriteThroughSocket(const char* data, std::size_t size);
    std::string WriteStalled() const;
    // Waits, at most kPaceSlice, while more of a streamed body is in flight than the link carries in about
    // a second; with `all` (a flush after the whole body), while any is.
    void PaceStreamed(bool all = false);
    // Writes `prefix` and `size` bytes of `data`, the prefix sharing a TLS record with the first of them.
    void Transmit(std::string prefix, const char* data, std::size_t size);
    std::string Head(const Request& request, const std::string& framing) const;
    void Sent(MessageHeader::Method::Id method);
    SteadyClock::time_point AwaitArrival();
    void ReadHeader(Response& response);
};

void ClientConnection::Impl::ConnectTcp() {
    try {
        proxy = Detail::ChooseProxy(policy.proxy, host, port);
    } catch (const Exception&) {
        state = State::Broken;
        throw;
    }
    // A route, like curl's --connect-to, applies to the host the socket goes to: the proxy when there is one.
    const std::string& to = proxy ? proxy->host : host;
    const std::uint16_t toPort = proxy ? proxy->port : port;
    const std::optional<Detail::Route> route = Detail::FindRoute(to, toPort);
    const std::string& address = route ? route->address : to;
    const std::uint16_t addressPort = route ? route->port : toPort;
    const std::vector<tcp::endpoint> endpoints = Resolve(address, addressPort, timeout);

    tls = Detail::ClientTlsContext();
    stream = std::make_unique<Stream>(io, *tls);
    const std::string target = address + ":" + std::to_string(addressPort);
    const beast::error_code error =
        Wait([&](Completion done) { beast::get_lowest_layer(*stream).async_connect(endpoints, done); });
    if (error == beast::error::timeout)
        Broke(Kind::Timeout,
              "connecting to " + target + " took longer than " + std::to_string(timeout) + " ms");
    if (error)
        Broke(Kind::Connect, "cannot connect to " + target + ": " + error.message());
    // A request is written whole at once; Nagle's algorithm would hold its last segment back until the
    // server acknowledges the ones before, which a server delaying its acknowledgements makes 40 ms.
    beast::error_code ignored;
    beast::get_lowest_layer(*stream).socket().set_option(tcp::no_delay(true), ignored);
    Detail::CountConnection();
}

void ClientConnection::Impl::Tunnel() {
    const std::string through = "the proxy " + Detail::AuthorityOf(*proxy);
    const std::string authority = port == 443 ? hostField + ":443" : hostField;
    const std::string head = "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n\r\n";
    auto& socket = beast::get_lowest_layer(*stream);
    // The proxy's bytes are not the exchange's: the counts of the connection leave them out.
    const UInt64 received = receivedCount;
    beast::error_code error =
        Wait([&](Completion done) { net::async_write(socket, net::buffer(head), done); });
    std::string answer;
    if (!error)
        error = Wait([&](Completion done) {
            net::async_read_until(socket, net::dynamic_buffer(answer, kMaxHeaderSize), "\r\n\r\n", done);
        });
    receivedCount = received;
    if (error == beast::error::timeout)
        Broke(Kind::Timeout, through + " did not answer the request for a tunnel to " + authority +
                                 " within " + std::to_string(timeout) + " ms");
    if (error)
        Broke(Kind::Connect,
              "cannot open a tunnel to " + authority + " through " + through + ": " + error.message());
    const std::string statusLine = answer.substr(0, answer.find("\r\n"));
    const bool opened = statusLine.rfind("HTTP/1.", 0) == 0 && statusLine.size() >= 12 &&
                        statusLine[8] == ' ' && statusLine[9] == '2';
    if (!opened)
        Broke(Kind::Connect, through + " refused the tunnel to " + authority + ": " + statusLine);
    if (answer.size() != answer.find("\r\n\r\n") + 4)
        Broke(Kind::Protocol, through + " sent more than its answer before the TLS handshake");
}

void ClientConnection::Impl::Handshake() {
    SSL* session = stream->native_handle();
    if (!hostIsAddress && SSL_set_tlsext_host_name(session, host.c_str()) != 1)
        Broke(Kind::Tls, "cannot set the TLS server name " + host);
    X509_VERIFY_PARAM* verify = SSL_get0_param(session);
    X509_VERIFY_PARAM_set_hostflags(verify, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    const int named = hostIsAddress ? X509_VERIFY_PARAM_set1_ip_asc(verify, host.c_str())
                                    : X509_VERIFY_PARAM_set1_host(verify, host.c_str(), host.size());
    if (named != 1)
        Broke(Kind::Tls, "cannot set the name to verify " + host);

    const beast::error_code error =
        Wait([&](Completion done) { stream->async_handshake(ssl::stream_base::client, done); });
    if (error == beast::error::timeout)
        Broke(Kind::Timeout,
              "the TLS handshake with " + host + " took longer than " + std::to_string(timeout) + " ms");
    if (error) {
        const long verified = SSL_get_verify_result(session);
        if (verified != X509_V_OK)
            Broke(Kind::Tls, "the certificate of " + host +
                                 " did not verify: " + X509_verify_cert_error_string(verified));
        Broke(Kind::Tls, "the TLS handshake with " + host + " failed: " + error.message());
    }
    secured = true;
    Detail::CountHandshake();
    Detail::NoteCipher(SSL_CIPHER_get_name(SSL_get_current_cipher(session)));
}

// For the length of a write, the TLS session writes its records onto the (non-blocking) socket through a
// large buffer instead of into the stream's buffer pair, which holds one record at a time and costs a
// copy, a timer and a round through the io_context for each: each system call then carries many records,
// and a large body goes out at several times the speed. Each wait for the socket to take more is bounded
// by the time-out.
bool ClientConnection::Impl::WriteThroughSocket(const char* data, std::size_t size) {
    if (peerEnded)
        return false;
    const SigpipeHeld sigpipeHeld;
    SSL* session = stream->native_handle();
    const int socket = beast::get_lowest_layer(*stream).socket().native_handle();
    BIO* const pair = SSL_get_wbio(session);
    BIO* const gather = BIO_new(BIO_f_buffer());
    BIO* const direct = BIO_new_socket(socket, BIO_NOCLOSE);
    if (gather == nullptr || direct == nullptr || BIO_set_write_buffer_size(gather, kWriteBuffer) != 1) {
        BIO_free(gather);
        BIO_free(direct);
        Broke(Kind::Send, "cannot write the request to " + host + ": out of memory");
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
        if (AwaitLeaving(writableWithin, [this](long long) { return WriteStalled(); }))
            return;
        // The system does not say what is left: the time-out bounds the wait alone.
        if (!writableWithin(timeout == 0 ? -1 : static_cast<int>(timeout)))
            Broke(Kind::Timeout, WriteStalled());
    };
    std::size_t done = 0;
    while (done < size) {
        std::size_t written = 0;
        const int result = SSL_write_ex(session, data + done, size - done, &written);
        if (result == 1) {
            done += written;
            sentCount += written;
            Detail::CountBytesSent(written);
            continue;
        }
        if (SSL_get_error(session, result) != SSL_ERROR_WANT_WRITE) {
            const int error = errno;
            ERR_clear_error();
            if (PeerEnded(error)) {
                peerEnded = true;
                return false;
            }
            Broke(Kind::Send, "cannot write the request to " + host + ": " + std::strerror(error));
        }
        awaitWritable();
    }
    while (BIO_flush(gather) != 1) {
        if (!BIO_should_retry(gather)) {
            if (PeerEnded(errno)) {
                peerEnded = true;
                return false;
            }
            Broke(Kind::Send, "cannot write the request to " + host + ": " + std::strerror(errno));
        }
        awaitWritable();
    }
    return true;
}

std::string ClientConnection::Impl::WriteStalled() const {
    return "writing the request to " + host + " made no progress for " + std::to_string(timeout) + " ms";
}

void ClientConnection::Impl::PaceStreamed(bool all) {
    if (peerEnded)
        return;
    const int socket = beast::get_lowest_layer(*stream).socket().native_handle();
    const SteadyClock::time_point sliceEnd = SteadyClock::now() + kPaceSlice;
    // The counts come 2 ms apart at first, then ever further up to 50 ms.
    int every = 2;
    for (;;) {
        const long long left = Unacknowledged(socket);
        if (left < 0)
            return;  // the system does not say: the socket's own buffer is the only bound
        const UInt64 written = sentCount - sentBeforeStream;  // HTTP bytes; TLS adds a fraction of a percent
        const UInt64 acknowledged = written > static_cast<UInt64>(left) ? written - left : 0;
        const SteadyClock::time_point now = SteadyClock::now();
        if (acknowledged > pacedTaken) {
            pacedTaken = acknowledged;
            pacedTakenAt = now;
        }
        const long long cap = inFlight.Cap(Microseconds(), acknowledged, RoundTrip(socket));
        if (left <= (all ? 0 : cap))
            return;
        if (timeout != 0 && lowSpeed.TooSlow(Milliseconds(), sentCount - left))
            Broke(Kind::Timeout, TooSlowMessage());
        if (timeout != 0 && now - pacedTakenAt >= std::chrono::milliseconds(timeout))
            Broke(Kind::Timeout, WriteStalled());
        if (now >= sliceEnd)
            return;
        const auto rest = std::chrono::duration_cast<std::chrono::milliseconds>(sliceEnd - now).count();
        // A server that ended the connection: the next write or the answer finds out.
        if (EndsWithin(socket, static_cast<int>(std::min<long long>(every, rest))))
            return;
        every = std::min(2 * every, 50);
    }
}

void ClientConnection::Impl::Transmit(std::string prefix, const char* data, std::size_t size) {
    const std::size_t joined =
        std::min<std::size_t>(size, prefix.size() < kRecordSize ? kRecordSize - prefix.size() : 0);
    prefix.append(data != nullptr ? data : "", joined);
    if (!prefix.empty())
        WriteThroughSocket(prefix.data(), prefix.size());
    if (size > joined)
        WriteThroughSocket(data + joined, size - joined);
}

// The request line, the request's fields but its Content-Length, Host, then `framing` (the length or the
// transfer coding, when there is one).
std::string ClientConnection::Impl::Head(const Request& request, const std::string& framing) const {
    std::string head;
    head.reserve(256);
    head.append(Detail::MethodName(request.GetMethod()))
        .append(" ")
        .append(Detail::MessageAccess::Target(request));
    head.append(request.GetVersion() == MessageHeader::HTTPVersion::Version11 ? " HTTP/1.1\r\n"
                                                                              : " HTTP/1.0\r\n");
    for (const auto& field : Detail::MessageAccess::Fields(request.GetRequestHeaderFieldCollection())) {
        if (strcasecmp(field.first.c_str(), "Content-Length") != 0)
            head.append(field.first).append(": ").append(field.second).append("\r\n");
    }
    head.append("Host: ").append(hostField).append("\r\n");
    if (!framing.empty())
        head.append(framing).append("\r\n");
    return head.append("\r\n");
}

void ClientConnection::Impl::Sent(MessageHeader::Method::Id method) {
    Detail::CountRequest();
    sentAt = SteadyClock::now();
    lastMethod = method;
    state = State::Sent;
}

// The system takes a request into its socket buffers long before a slow link has carried it: the request
// arrives when the server has acknowledged its last byte. Bytes to read say nothing about that (a TLS 1.3
// server's session tickets may come at any time), so only the end of the connection cuts the wait short;
// a server that answers before it has read the whole request still takes the rest, or ends the connection.
SteadyClock::time_point ClientConnection::Impl::AwaitArrival() {
    if (peerEnded)
        return SteadyClock::now();
    if (buffer.size() > 0 || SSL_pending(stream->native_handle()) > 0)
        return sentAt;
    const int socket = beast::get_lowest_layer(*stream).socket().native_handle();
    const SteadyClock::time_point start = SteadyClock::now();
    const std::optional<UInt64> arrived =
        AwaitLeaving([socket](int wait) { return EndsWithin(socket, wait); },
                     [this](long long left) {
                         return "the last " + std::to_string(left) + " bytes of the request to " + host +
                                " were not taken for " + std::to_string(timeout) + " ms";
                     });
    return arrived ? start + std::chrono::milliseconds(*arrived) : sentAt;
}

void ClientConnection::Impl::ReadHeader(Response& response) {
    arrivedAt = AwaitArrival();
    // An interim 1xx answer is followed by the real one; interim answers do not extend the time the real
    // one's head has, so a server cannot hold the caller with them.
    BoundAnswer(1);
    for (;;) {
        parser = std::make_unique<Parser>();
        parser->body_limit(Detail::MaxBodySize);
        parser->header_limit(kMaxHeaderSize);
        if (lastMethod == MessageHeader::Method::Head)
            parser->skip(true);
        const beast::error_code error =
            Wait([&](Completion done) { http::async_read_header(*stream, buffer, *parser, done); });
        if (error)
            ReceiveFailed(error, "header");
        const unsigned status = parser->get().result_int();
        if (status < 100 || status >= 200 || status == 101)
            break;
    }
    BoundAnswer(kAnswerTimeouts);
    const auto& message = parser->get();
    Detail::MessageAccess::Reset(response, message.result_int(), std::string(message.reason()));
    for (const auto& field : message) {
        Detail::MessageAccess::AddReceived(Detail::MessageAccess::ReceivedFields(response),
                                           std::string(field.name_string()), std::string(field.value()));
    }
}

ClientConnection::ClientConnection(const IO::URI::URI& uri) : impl_(nullptr) {
    if (!uri.IsValid() || uri.GetScheme() != GS::UniString("https"))
        Fail(Kind::Usage, "HTTP::Client::ClientConnection: the URI is not a valid https URI");
    auto impl = std::make_unique<Impl>();
    const auto host = uri.GetHost().ToCStr(0, MaxUSize, CC_UTF8);
    impl->host.assign(host.Get(), host.GetLength());
    impl->port = uri.GetPort();
    beast::error_code notAddress;
    const net::ip::address address = net::ip::make_address(impl->host, notAddress);
    impl->hostIsAddress = !notAddress;
    impl->hostField = address.is_v6() && !notAddress ? "[" + impl->host + "]" : impl->host;
    if (impl->port != 443)
        impl->hostField += ":" + std::to_string(impl->port);
    impl->body.reset(new Encoding::BodyIBinaryChannel(*this));
    impl->requestBody.reset(new Encoding::BodyOBinaryChannel(*this));
    impl_ = impl.release();
}

ClientConnection::~ClientConnection() {
    delete impl_;
}

void ClientConnection::SetTimeout(UInt32 milliseconds) {
    impl_->timeout = milliseconds;
}

UInt32 ClientConnection::GetTimeout() const {
    return impl_->timeout;
}

Detail::ConnectionPolicy& ClientConnection::Policy() const {
    return impl_->policy;
}

void ClientConnection::Connect() {
    Detail::Require(impl_->state == State::Fresh, "Connect", "the connection was connected before");
    impl_->ConnectTcp();
    if (impl_->proxy)
        impl_->Tunnel();
    impl_->Handshake();
    impl_->state = State::Ready;
}

void ClientConnection::FinishSend() {
    Impl& c = *impl_;
    if (c.state != State::Sending) {
        Detail::CheckFinishSend(c.state);
        return;
    }
    c.streamed.CheckEnd(c.state);
    if (!c.streamed.declared)
        c.heldBack.append("0\r\n\r\n");
    c.streamed.ended = true;
    c.Transmit(std::move(c.heldBack), nullptr, 0);
    c.heldBack.clear();
    c.Sent(c.lastMethod);
}

void ClientConnection::Send(const Request& request, const char* body, USize length) {
    Detail::CheckSend(impl_->state, request, body, length);
    const bool lengthField = length > 0 || Detail::CarriesBody(request.GetMethod());
    impl_->lowSpeed.Start(Impl::Milliseconds());
    // The head shares the first TLS record with the start of the body; the rest of the body goes out from
    // the caller's buffer as it is.
    impl_->Transmit(impl_->Head(request, lengthField ? "Content-Length: " + std::to_string(length) : ""),
                    body, length);
    impl_->Sent(request.GetMethod());
}

Encoding::BodyOBinaryChannel& ClientConnection::BeginSend(Request& request) {
    Impl& c = *impl_;
    const std::optional<UInt64> declared = Detail::CheckBeginSend(c.state, request);
    c.heldBack = c.Head(request, declared ? "Content-Length: " + std::to_string(*declared)
                                          : std::string("Transfer-Encoding: chunked"));
    c.streamed = Detail::StreamedBody{declared, 0, false};
    c.lastMethod = request.GetMethod();
    c.lowSpeed.Start(Impl::Milliseconds());
    c.state = State::Sending;
    return *c.requestBody;
}

void ClientConnection::WriteBody(const char* source, USize count) {
    Impl& c = *impl_;
    c.streamed.CheckWrite(c.state, source, count);
    if (count == 0)
        return;
    if (c.streamed.written == 0) {
        c.inFlight.Start(Impl::Microseconds());
        c.sentBeforeStream = c.sentCount;
        c.pacedTaken = 0;
        c.pacedTakenAt = SteadyClock::now();
    }
    std::string prefix = std::move(c.heldBack);
    c.heldBack.clear();
    if (!c.streamed.declared)
        prefix.append(Hex(count)).append("\r\n");
    c.Transmit(std::move(prefix), source, count);
    c.streamed.written += count;
    c.PaceStreamed();
    if (!c.streamed.declared)
        c.heldBack = "\r\n";
}

void ClientConnection::FlushBody() {
    Impl& c = *impl_;
    c.streamed.CheckWrite(c.state, nullptr, 0);
    c.Transmit(std::move(c.heldBack), nullptr, 0);
    c.heldBack.clear();
    // Once the whole body is written, all of it must have gone: the answer's wait then holds its caller for
    // the head alone. Before, a second's worth keeps the link busy.
    if (c.streamed.written > 0)
        c.PaceStreamed(/*all=*/c.streamed.declared && c.streamed.written == *c.streamed.declared);
}

void ClientConnection::Abort() {
    Impl& c = *impl_;
    if (c.stream != nullptr) {
        // A reset, not an orderly end: bytes the system still holds are dropped instead of sent.
        beast::error_code ignored;
        auto& socket = beast::get_lowest_layer(*c.stream).socket();
        socket.set_option(net::socket_base::linger(true, 0), ignored);
        socket.close(ignored);
    }
    c.heldBack.clear();
    c.answerBound.reset();
    c.state = State::Closed;
}

UInt64 ClientConnection::GetSentDataCount() const {
    return impl_->sentCount;
}

UInt64 ClientConnection::GetReceivedDataCount() const {
    return impl_->receivedCount;
}

Encoding::BodyIBinaryChannel& ClientConnection::BeginReceive(Response& response) {
    Detail::Require(impl_->state == State::Sent, "BeginReceive", "no request was sent");
    impl_->ReadHeader(response);
    impl_->state = State::Receiving;
    return *impl_->body;
}

void ClientConnection::FinishReceive() {
    Detail::Require(impl_->state == State::Receiving, "FinishReceive", "no response is being received");
    const bool reusable = impl_->parser->is_done() && impl_->parser->keep_alive();
    impl_->parser.reset();
    impl_->answerBound.reset();
    impl_->state = reusable ? State::Ready : State::Spent;
}

USize ClientConnection::ReadBody(char* destination, USize count) {
    Detail::Require(impl_->state == State::Receiving, "body channel Read", "no response is being received");
    Parser& parser = *impl_->parser;
    if (count == 0 || parser.is_done())
        return 0;
    auto& body = parser.get().body();
    // A read may consume only framing (a chunk header); go on until body bytes arrive or the body ends.
    for (;;) {
        body.data = destination;
        body.size = count;
        beast::error_code error = impl_->Wait(
            [&](Completion done) { http::async_read_some(*impl_->stream, impl_->buffer, parser, done); });
        if (error == http::error::need_buffer)
            error = {};
        if (error)
            impl_->ReceiveFailed(error, "body");
        const USize arrived = count - static_cast<USize>(body.size);
        if (arrived > 0 || parser.is_done())
            return arrived;
    }
}

void ClientConnection::Close(bool force) {
    if (impl_->stream == nullptr || impl_->state == State::Closed) {
        impl_->state = State::Closed;
        return;
    }
    impl_->answerBound.reset();  // the goodbye is not part of the answer
    if (!force && impl_->secured && impl_->state != State::Broken) {
        // Marking the peer's close_notify as received makes the shutdown send ours without waiting for it.
        SSL_set_shutdown(impl_->stream->native_handle(), SSL_RECEIVED_SHUTDOWN);
        impl_->Wait([&](Completion done) { impl_->stream->async_shutdown(done); });
    }
    beast::error_code ignored;
    beast::get_lowest_layer(*impl_->stream).socket().shutdown(tcp::socket::shutdown_both, ignored);
    beast::get_lowest_layer(*impl_->stream).close();
    impl_->state = State::Closed;
}

}  // namespace Client

}  // namespace HTTP
