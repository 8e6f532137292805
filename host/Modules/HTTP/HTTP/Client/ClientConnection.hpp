// HTTP::Client::ClientConnection: one HTTPS connection to an origin, carrying requests one at a time.
#pragma once

#include "Definitions.hpp"
#include "HTTP/Client/Request.hpp"
#include "HTTP/Client/Response.hpp"
#include "HTTP/Encoding/BodyIBinaryChannel.hpp"
#include "URI.hpp"

namespace HTTP::Client {

// Every call that waits (Connect, Send, BeginReceive, reads of the body channel, an orderly Close) waits
// at most the time-out for each step: name resolution, the TCP connection, the TLS handshake, each write
// and each read. The answer has two bounds besides, counted from the moment the request was written:
// its status line and header fields must arrive within one time-out, interim 1xx answers included, and
// the whole answer within four. Failures throw HTTP::Exception (Timeout for any of these); after one,
// the connection only accepts Close. A time-out of 0 removes every bound.
//
// The server's certificate chain must verify against the system's trust store or an anchor added through
// HTTP::Control, and must name the URI's host; otherwise Connect throws and nothing of a request is sent.
// Redirects are not followed: a 3xx answer is a response like any other.
class ClientConnection {
public:
    // The size above which a response body is refused with HTTP::Exception (BodyTooLarge).
    static constexpr UInt64 MaxBodySize = 32ull * 1024 * 1024;
    static constexpr UInt32 DefaultTimeout = 30000;

    // Throws HTTP::Exception (Usage) unless `uri` is a valid https URI with a host.
    explicit ClientConnection(const IO::URI::URI& uri);
    ClientConnection(const ClientConnection&) = delete;
    ClientConnection& operator=(const ClientConnection&) = delete;
    // Drops the connection if it is still open, without a TLS goodbye.
    ~ClientConnection();

    // Milliseconds each wait may take; 0 lets waits last without limit. Applies to the waits that start
    // after the call.
    void SetTimeout(UInt32 milliseconds);
    UInt32 GetTimeout() const;

    // Resolves the host (or takes the route HTTP::Control gives for it), connects and completes a verified
    // TLS handshake. Throws when any step fails or when the connection was connected before.
    void Connect();
    bool IsConnected() const;

    // Send writes the whole request before it returns, so nothing is ever left for FinishSend to flush; it
    // only checks that the connection can carry a request, and is accepted before Send as well as after.
    void FinishSend();
    // Writes the request line, the request's header fields, Host, Content-Length (when there is a body or
    // the method carries one) and `length` bytes of `body`. Throws when the connection is not ready for a
    // request (not connected, a response still being received, or the last one not read to its end), when
    // the request names Host, Content-Length or Transfer-Encoding itself, or when writing fails.
    void Send(const Request& request, const char* body, USize length);

    // Reads the response's status line and header fields into `response` and returns the channel of its
    // body. Throws when no request was sent, on a time-out, a broken connection, a malformed header, or a
    // declared body length over MaxBodySize.
    Encoding::BodyIBinaryChannel& BeginReceive(Response& response);
    // Ends the reception. A body not read to its end is left unread, and the connection then carries no
    // further request.
    void FinishReceive();

    // Closes the connection. With `force` false a TLS close_notify is sent first (its failure is ignored:
    // the exchange is over); with true the socket is dropped. Closing a closed connection does nothing.
    void Close(bool force);

private:
    friend class Encoding::BodyIBinaryChannel;
    USize ReadBody(char* destination, USize count);

    struct Impl;
    Impl* impl_;
};

}  // namespace HTTP::Client
