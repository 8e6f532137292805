// HTTP::Encoding::BodyOBinaryChannel: the body of a request, written onto the connection piece by piece.
#pragma once

#include "Definitions.hpp"

namespace HTTP {

namespace Client {
class ClientConnection;
}

namespace Encoding {

// Owned by its connection; valid as long as the connection lives. Writable between the connection's
// BeginSend and the end of the body (Close, or the connection's FinishSend).
class BodyOBinaryChannel {
public:
    BodyOBinaryChannel(const BodyOBinaryChannel&) = delete;
    BodyOBinaryChannel& operator=(const BodyOBinaryChannel&) = delete;
    virtual ~BodyOBinaryChannel();

    // Sends `nOfCharToWrite` bytes of the body (as one chunk when the body goes in chunks), keeping pace
    // with the link (the rule is in the host library's ClientConnection.cpp). Throws HTTP::Exception: Usage,
    // with nothing sent, outside a body being sent or past the request's Content-Length; Timeout or Send
    // when writing fails, after which the connection only accepts Abort and Close.
    virtual void Write(const char* source, USize nOfCharToWrite);
    // Sends what the connection still holds back (the request's head before the first bytes of its body),
    // then keeps pace as a Write does.
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
