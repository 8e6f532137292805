// HTTP::Encoding::BodyIBinaryChannel: the body of the response being received, read straight off the
// connection, whatever its framing (Content-Length, chunked, or up to the end of the connection).
#pragma once

#include "Definitions.hpp"
#include "IBinaryChannelUtilities.hpp"
#include "IOBinProtocolXs.hpp"

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

}  // namespace Encoding
}  // namespace HTTP
