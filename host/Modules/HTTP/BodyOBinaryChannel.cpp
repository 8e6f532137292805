// HTTP::Encoding::BodyOBinaryChannel: a view of its connection's request body, on every platform.
#include "HTTP/Encoding/BodyOBinaryChannel.hpp"

#include "HTTP/Client/ClientConnection.hpp"

namespace HTTP::Encoding {

BodyOBinaryChannel::BodyOBinaryChannel(Client::ClientConnection& connection) : connection_(connection) {}

BodyOBinaryChannel::~BodyOBinaryChannel() = default;

void BodyOBinaryChannel::Write(const char* source, USize nOfCharToWrite) {
    connection_.WriteBody(source, nOfCharToWrite);
}

void BodyOBinaryChannel::Flush() {
    connection_.FlushBody();
}

void BodyOBinaryChannel::Close() {
    connection_.FinishSend();
}

}  // namespace HTTP::Encoding
