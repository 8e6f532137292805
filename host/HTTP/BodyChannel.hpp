// HTTP::Encoding::BodyIBinaryChannel: the body of the response being received, read straight off the
// connection, whatever its framing (Content-Length, chunked, or up to the end of the connection); and
// HTTP::Encoding::BodyOBinaryChannel: the body of a request, written onto the connection piece by piece.
#pragma once

#include "Channel.hpp"
#include "GSTypes.hpp"

namespace HTTP {

namespace Client {
class ClientConnection;
}

namespace Encoding {

// Owned by its connection; valid as long as the connection lives. Readable between the connection's
// BeginReceive and FinishReceive.
class BodyIBinaryChannel final : public GS::IBinaryChannel {
public:
    BodyIBinaryChannel(const BodyIBinaryChannel&) = delete;
    BodyIBinaryChannel& operator=(const BodyIBinaryChannel&) = delete;
    ~BodyIBinaryChannel() override;

    // Reads up to `count` bytes of the body, waiting at most the connection's time-out for each piece;
    // returns 0 at the end of the body. Throws HTTP::Exception on a time-out, a connection that breaks
    // before the body is complete, malformed chunk framing, a body over the size cap, or a call outside
    // a reception.
    USize Read(char* destination, USize count) override;

private:
    friend class Client::ClientConnection;
    explicit BodyIBinaryChannel(Client::ClientConnection& connection);
    Client::ClientConnection& connection_;
};

// Owned by its connection; valid as long as the connection lives. Writable between the connection's
// BeginSend and the end of the body (Close, or the connection's FinishSend).
class BodyOBinaryChannel {
public:
    BodyOBinaryChannel(const BodyOBinaryChannel&) = delete;
    BodyOBinaryChannel& operator=(const BodyOBinaryChannel&) = delete;
    virtual ~BodyOBinaryChannel();

    // Sends `nOfCharToWrite` bytes of the body before it returns (as one chunk when the body goes in chunks),
    // each wait for the connection to take more bounded by the time-out. Throws HTTP::Exception: Usage, with
    // nothing sent, outside a body being sent or past the request's Content-Length; Timeout or Send when
    // writing fails, after which the connection only accepts Abort and Close.
    virtual void Write(const char* source, USize nOfCharToWrite);
    // Sends what the connection still holds back (the request's head before the first bytes of its body).
    virtual void Flush();
    // Ends the body, as the connection's FinishSend does.
    virtual void Close();

private:
    friend class Client::ClientConnection;
    explicit BodyOBinaryChannel(Client::ClientConnection& connection);
    Client::ClientConnection& connection_;
};

}  // namespace Encoding
}  // namespace HTTP
