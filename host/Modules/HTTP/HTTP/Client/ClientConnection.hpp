// HTTP::Client::ClientConnection: one HTTPS connection to an origin, carrying requests one at a time.
#pragma once

#include "Definitions.hpp"
#include "HTTP/Client/Request.hpp"
#include "HTTP/Client/Response.hpp"
#include "HTTP/Encoding/BodyIBinaryChannel.hpp"
#include "HTTP/Encoding/BodyOBinaryChannel.hpp"
#include "URI.hpp"

namespace HTTP::Detail {
struct ConnectionPolicy;
}

namespace HTTP::Client {

// Every call that waits (Connect, Send, the body channels, FinishSend, BeginReceive, an orderly Close) waits
// at most the time-out for each step: name resolution, the TCP connection, the TLS handshake, each write
// and each read. A request counts as arrived once the server has taken all of it: while bytes of it are
// still on their way (handed to the system, not acknowledged by the server), BeginReceive waits as long as
// they keep leaving, each wait for more of them to go at most the time-out (a longer one is a stall, and
// a Timeout). Once a request has been on its way 30 s, the server must take it at 1 KiB/s on average over
// the last 30 s, or the wait is a Timeout. The answer has two bounds besides, counted from the request's
// arrival: its status line and header fields must arrive within one time-out, interim 1xx answers
// included, and the whole answer within four. A server that closes or resets the connection while the
// request is being written may have answered already (a 413 or 401 before the whole body): the rest of the
// request is then dropped without a failure (writes and FinishSend return as if sent), and BeginReceive
// reads that answer, under the same bounds, or fails as a broken reception when there is none. Failures
// throw HTTP::Exception (Timeout for any of these); after one, the connection only accepts Abort and
// Close. A time-out of 0 removes every bound. Where a platform's system falls short of this, its transport
// says how (host/Modules/HTTP/Transport*.cpp).
//
// The server's certificate chain must verify against the system's trust store or an anchor added through
// HTTP::Control, and must name the URI's host; otherwise the connection throws before anything of a
// request is sent. Redirects are not followed: a 3xx answer is a response like any other.
//
// The proxy is the constructor's choice, and the kits do not say what the URL alone means: here it is no
// proxy. A connection through a proxy opens a tunnel (HTTP CONNECT host:port) to it and speaks TLS with
// the URI's host inside; a proxy that refuses the tunnel fails with Connect.
class ClientConnection {
public:
    // Straight to the URI's host, whatever the system's proxy setting. Throws HTTP::Exception (Usage) unless
    // `uri` is a valid https URI with a host.
    explicit ClientConnection(const IO::URI::URI& uri);
    // With `useSystemProxy`, through the proxy the system names for the URI's host, read when connecting
    // (Detail::SystemProxySetting says where each system keeps it); straight to the host when it names none
    // or exempts the host. False is the constructor above.
    ClientConnection(const IO::URI::URI& uri, bool useSystemProxy);
    // Through the proxy at `proxyHost`:`proxyPort` ("host:port" in `proxyHost` when the port is 0), except
    // for the hosts `byPass` names (HTTP::Detail::ProxySetting says how). Also throws HTTP::Exception
    // (Usage) for an empty proxy host or a port neither given nor in it.
    ClientConnection(const IO::URI::URI& uri, const GS::UniString& proxyHost, UShort proxyPort = 0,
                     const GS::UniString byPass = "localhost");
    ClientConnection(const ClientConnection&) = delete;
    ClientConnection& operator=(const ClientConnection&) = delete;
    // Drops the connection if it is still open, without a TLS goodbye.
    ~ClientConnection();

    // Milliseconds each wait may take; 0 lets waits last without limit. Applies to the waits that start
    // after the call.
    void SetTimeout(UInt32 milliseconds);
    UInt32 GetTimeout() const;

    // Whether a 3xx answer is followed to where it points. The stand-in follows none: false is what it
    // does, and true is refused with HTTP::Exception (Usage) rather than ignored. False until set.
    void SetFollowRedirect(bool followRedirect);
    bool GetFollowRedirect();
    // The most of a request's body the connection keeps to send it again (after a redirect or an
    // authentication challenge). The stand-in never sends a body again, as it follows no redirect and
    // answers no challenge, so it keeps none whatever the size; the size is kept for GetBodyBufferSize.
    void SetBodyBufferSize(GS::USize maxBodyBufferSize);
    GS::USize GetBodyBufferSize() const;

    // Makes the connection ready for requests: resolves the host (or takes the route HTTP::Control gives for
    // it), connects and completes a verified TLS handshake, where the platform's system does so before the
    // first request. Throws when any step fails or when the connection was connected before.
    void Connect();

    // Ends a body streamed since BeginSend (as the body channel's Close does): sends what is held back and,
    // for a chunked body, the last chunk. Throws HTTP::Exception (Usage), with nothing sent, when fewer bytes
    // than the request's Content-Length were written. Send writes the whole request before it returns, so
    // after Send (and before any request) FinishSend only checks that the connection can carry one.
    void FinishSend();
    // Writes the request line, the request's header fields, Host, Content-Length (when there is a body or
    // the method carries one) and `length` bytes of `body`. Throws when the connection is not ready for a
    // request (not connected, a response still being received, or the last one not read to its end), when
    // the request names Host, Content-Length or Transfer-Encoding itself (the length is `length`), or when
    // connecting or writing fails.
    void Send(const Request& request, const char* body, USize length);
    // Starts a request whose body the caller writes through the returned channel, then ends with
    // FinishSend. The head is the one Send writes: request line, the request's fields, Host, then the
    // length. With a Content-Length field in the request, the body goes with that length, the field being
    // written in that place, and the connection's bytes are those of Send with the same body; without one
    // it goes in chunks (HTTP/1.1 only), one per Write. The channel keeps pace with the link (the rule is
    // in ClientConnection.cpp); a wait that sees no byte leave for the time-out is a Timeout. Throws
    // HTTP::Exception (Usage) when the connection is not ready for a request, the request names Host or
    // Transfer-Encoding, or its Content-Length is missing where required or not a decimal number; and what
    // Send throws for connecting.
    Encoding::BodyOBinaryChannel& BeginSend(Request& request);
    // Breaks off the exchange at once, in whatever state: nothing more is sent, the connection is dropped
    // without a TLS goodbye, and only Close (which then does nothing) is accepted.
    void Abort();

    // The bytes of requests sent and of responses received on this connection so far: heads, bodies and
    // chunk framing, as HTTP bytes (before TLS), as far as the system lets the connection count them. A
    // request's bytes count once they are handed to the system.
    UInt64 GetSentDataCount() const;
    UInt64 GetReceivedDataCount() const;

    // Reads the response's status line and header fields into `response` and returns the channel of its
    // body. Throws when no request was sent, on a time-out, a broken connection, a malformed header, or a
    // declared body length over the stand-in's cap (HTTP::Detail::MaxBodySize, 32 MiB).
    Encoding::BodyIBinaryChannel& BeginReceive(Response& response);
    // Ends the reception. A body not read to its end is left unread, and the connection then carries no
    // further request.
    void FinishReceive();

    // Closes the connection. With `force` false a TLS close_notify is sent first (its failure is ignored:
    // the exchange is over); with true the socket is dropped. Closing a closed or aborted connection does
    // nothing.
    void Close(bool force);

private:
    friend class Encoding::BodyIBinaryChannel;
    friend class Encoding::BodyOBinaryChannel;
    USize ReadBody(char* destination, USize count);
    void WriteBody(const char* source, USize count);
    void FlushBody();
    // The policy the constructors and the calls above set.
    Detail::ConnectionPolicy& Policy() const;

    struct Impl;
    Impl* impl_;
};

}  // namespace HTTP::Client
