// The rules of HTTP::Client::ClientConnection apart from its calls: the states a connection goes through,
// the checks each call makes against them, what the methods mean for a request, and the pieces of the
// waits and the pacing that ClientConnection.cpp puts together (the pacing rule is written there). Internal
// to the host library.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Definitions.hpp"
#include "HTTP/Client/Request.hpp"
#include "HTTP/Client/Response.hpp"
#include "HTTPException.hpp"
#include "ProxyChoice.hpp"

namespace HTTP::Detail {

// The size above which a response body is refused with HTTP::Exception (BodyTooLarge), and the time-out a
// connection starts with. The host's library has bounds of its own that it does not publish.
constexpr UInt64 MaxBodySize = 32ull * 1024 * 1024;
constexpr UInt32 DefaultTimeout = 30000;

// What a connection's caller asked of it besides the time-out (the constructor's proxy,
// ClientConnection::SetFollowRedirect, SetBodyBufferSize).
struct ConnectionPolicy {
    ProxyChoice proxy;
    bool followRedirect = false;
    USize bodyBufferSize = 0;
};

// Sending: between BeginSend and the end of the streamed body.
enum class ConnectionState { Fresh, Ready, Sending, Sent, Receiving, Spent, Broken, Closed };

[[noreturn]] void Fail(Exception::Kind kind, const std::string& message);
// Throws HTTP::Exception (Usage) naming the connection's `call` and `why` unless `allowed`.
void Require(bool allowed, const char* call, const char* why);

// The checks FinishSend and Send make before anything goes out; each throws HTTP::Exception (Usage).
void CheckFinishSend(ConnectionState state);
void CheckSend(ConnectionState state, const Client::Request& request, const char* body, USize length);
// The checks BeginSend makes (HTTP::Exception, Usage); returns the length the request's Content-Length
// field names, or nothing when the body is to go in chunks.
std::optional<UInt64> CheckBeginSend(ConnectionState state, const Client::Request& request);

// The body of a request being streamed: its declared length, if any, and what was written of it.
struct StreamedBody {
    std::optional<UInt64> declared;
    UInt64 written = 0;
    bool ended = false;

    // Throw HTTP::Exception (Usage), with nothing sent, for a write outside a body being sent, a write past
    // the declared length, or an end before the declared length was written.
    void CheckWrite(ConnectionState state, const char* source, USize count) const;
    void CheckEnd(ConnectionState state) const;
};

// A wait on a connection while bytes of a request are still on their way to the server, as the system
// tells: `unacknowledged()` gives the bytes written that the server has not acknowledged (negative when the
// system cannot say), and `wait(ms)` waits at most that long and says whether what is awaited happened.
// Goes on as long as the count goes down, at most `timeout` ms (0: no bound) without it going down, until
// `wait` says so or the count is down to `settled` (zero: the whole request arrived). Returns how many ms
// after the call it ended; nothing when the count was at most `settled` or unknown at the call. Throws
// HTTP::Exception (Timeout) with `stalled(count)` as its message for a count that stops going down.
std::optional<UInt64> AwaitWhileLeaving(UInt32 timeout, const std::function<long long()>& unacknowledged,
                                        const std::function<bool(int)>& wait,
                                        const std::function<std::string(long long)>& stalled,
                                        long long settled = 0);

// The lowest rate a request may go at, as curl's low-speed limit: once a request has been on its way for
// `window` ms, the bytes the server took over the last `window` ms must average `bytesPerSecond`, or the
// request is too slow. A server that takes a byte now and then cannot hold the caller past that.
class LowSpeedLimit {
public:
    static constexpr UInt64 DefaultBytesPerSecond = 1024;
    static constexpr UInt64 DefaultWindow = 30000;

    explicit LowSpeedLimit(UInt64 bytesPerSecond = DefaultBytesPerSecond, UInt64 window = DefaultWindow)
        : bytesPerSecond_(bytesPerSecond), window_(window) {}
    // A new request starts at `now` ms (any steady scale).
    void Start(UInt64 now);
    // Notes that `taken` bytes of the request (a count that only grows) had been taken at `now`; true when
    // the rate over the last window is below the limit.
    bool TooSlow(UInt64 now, UInt64 taken);

private:
    UInt64 bytesPerSecond_;
    UInt64 window_;
    UInt64 start_ = 0;
    // (time, taken) about every tenth of the window, oldest first, spanning at least the window.
    std::vector<std::pair<UInt64, UInt64>> samples_;
};

// The cap of the pacing rule (ClientConnection.cpp): the bytes of a streamed body that may be in flight
// after a write, a second's worth at the rate the server took the body at over about the last second, and
// at least `least`. The first burst, which the server's buffers take at once, says nothing of the link: it
// is over within four round trips (at least a millisecond, at most a second), the rate counts only what
// was taken after it, and until the rate has been seen over as long again the cap is `floor`. Where a
// round trip is under a quarter of a millisecond (a loopback), the floor is also the least for the first
// second.
class InFlightRule {
public:
    InFlightRule(long long floor, long long least) : floor_(floor), least_(least) {}
    // The body starts at `now` microseconds (any steady scale).
    void Start(UInt64 now);
    // The cap when `taken` bytes of the body (a count that only grows) have been taken by `now` (µs), with
    // a round trip of `roundTrip` µs (0 when unknown).
    long long Cap(UInt64 now, UInt64 taken, UInt64 roundTrip);

private:
    long long floor_;
    long long least_;
    UInt64 start_ = 0;
    // (time, taken) spanning about the last second, oldest first.
    std::vector<std::pair<UInt64, UInt64>> samples_;
};

// `text` in UTF-8.
std::string Utf8(const GS::UniString& text);
const char* MethodName(MessageHeader::Method::Id method);
// Whether requests of `method` carry a body, and so a Content-Length even when it is empty.
bool CarriesBody(MessageHeader::Method::Id method);

}  // namespace HTTP::Detail
