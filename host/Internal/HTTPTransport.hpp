// What carries HTTP::Client::ClientConnection's requests on one platform (TransportPosix.cpp over Beast and
// OpenSSL, TransportWindows.cpp over WinHTTP): one request and its answer at a time, and what the system
// says of them; the connection (ClientConnection.cpp) decides the rest. Internal to the host library.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "ConnectionRules.hpp"
#include "Definitions.hpp"
#include "HTTP/Client/Request.hpp"
#include "HTTP/Client/Response.hpp"
#include "ProxyChoice.hpp"

namespace HTTP::Detail {

using SteadyClock = std::chrono::steady_clock;

// What a connection and its transport share: the origin, the bound of each wait, and the counts, which the
// transport keeps as bytes go (HTTP bytes, before TLS).
struct Link {
    std::string host;  // the URI's host, in UTF-8
    std::uint16_t port = 0;
    UInt32 timeout = DefaultTimeout;  // ms each wait may take; 0: no bound
    UInt64 sent = 0;
    UInt64 received = 0;
    // The rate the server takes the request at, from its first byte on: too slow a request fails.
    LowSpeedLimit lowSpeed;

    // Throws HTTP::Exception (Timeout) when the server has taken the request too slowly, `left` bytes of
    // it unacknowledged (negative: the system does not say); called at each turn of a wait for it to go.
    void CheckSpeed(long long left);
    // The message of a write that waited the time-out with no byte leaving.
    std::string WriteStalled() const;
};

// How a request's head announces its body: not at all, by a Content-Length, or as chunks.
struct Framing {
    enum class Kind { None, Length, Chunked };
    Kind kind = Kind::None;
    UInt64 length = 0;
};

// The latest time the part of the answer being read may arrive (none with a time-out of 0), and the
// request's arrival it counts from.
struct AnswerBound {
    SteadyClock::time_point arrived;
    std::optional<SteadyClock::time_point> until;
};

// Every call but the checks may throw HTTP::Exception; the connection then calls Drop, and afterwards only
// Abort or Close. Each wait lasts at most the link's time-out, and no longer than a bound it is given.
class Transport {
public:
    virtual ~Transport() = default;

    // Makes the transport ready for requests: straight to the link's host, or through `proxy`.
    virtual void Connect(const std::optional<ProxyServer>& proxy) = 0;
    // Throws HTTP::Exception (Usage) for a streamed body of `framing` this system cannot carry.
    virtual void CheckStreamable(const Framing&) const {}
    // Starts a request: the request line, `request`'s fields but Content-Length, Host, then `framing`. The
    // head goes out now or with the first bytes written.
    virtual void Open(const Client::Request& request, const Framing& framing) = 0;
    // Writes body bytes (one chunk when chunked); Flush sends what is held back (the head, a chunk's end),
    // with `last` the body's end. Both return false once the server has ended the connection: nothing more
    // of the request goes, and the answer it sent before may be read.
    virtual bool Write(const char* data, std::size_t size) = 0;
    virtual bool Flush(bool last) = 0;

    // Bytes of the request handed to the system that the server has not acknowledged; -1 where the system
    // does not say. RoundTrip: the system's estimate in µs, 0 when it has none.
    virtual long long Unacknowledged() = 0;
    virtual UInt64 RoundTrip() { return 0; }
    // False where writes never waited for the link (WinHTTP's): only the flush after the whole body paces.
    virtual bool PacesWrites() const { return true; }
    // Waits `ms` at most; true once the server has ended the connection.
    virtual bool EndsWithin(int ms) = 0;
    // When the system reported a request without a body gone, where it does.
    virtual std::optional<SteadyClock::time_point> RequestSentAt() { return std::nullopt; }
    // Whether bytes of the answer arrived already, where the system tells.
    virtual bool AnswerWaiting() { return false; }
    // Where Unacknowledged says nothing: waits until `until` at most for the answer's head, which may come
    // until `headBound`.
    virtual void AwaitAnswer(SteadyClock::time_point, std::optional<SteadyClock::time_point>) {}

    // Reads the final answer's status line and fields into `response`; `bodiless` for the answer to HEAD.
    virtual void ReceiveHead(Client::Response& response, bool bodiless, const AnswerBound& bound) = 0;
    // Reads at most `count` bytes of the answer's body; 0 at its end.
    virtual std::size_t Read(char* destination, std::size_t count, const AnswerBound& bound) = 0;
    // Ends the answer; whether the connection can carry another request.
    virtual bool FinishReceive() = 0;

    // Drop lets go of the request in progress after a failure; Abort drops the connection at once, nothing
    // the system still holds going on; Close closes it, `orderly` with a goodbye where the system has one.
    virtual void Drop() {}
    virtual void Abort() = 0;
    virtual void Close(bool orderly) = 0;
};

// The platform's transport for `link`, which outlives it.
std::unique_ptr<Transport> MakeTransport(Link& link);

}  // namespace HTTP::Detail
