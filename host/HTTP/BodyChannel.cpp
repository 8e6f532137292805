// HTTP::Encoding::BodyIBinaryChannel and BodyOBinaryChannel: views of their connection's bodies, on every
// platform.
#include "BodyChannel.hpp"

#include "ClientConnection.hpp"

namespace HTTP::Encoding {

BodyIBinaryChannel::BodyIBinaryChannel(Client::ClientConnection& connection) : connection_(connection) {}

BodyIBinaryChannel::~BodyIBinaryChannel() = default;

USize BodyIBinaryChannel::Read(char* destination, USize count) {
    return connection_.ReadBody(destination, count);
}

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
