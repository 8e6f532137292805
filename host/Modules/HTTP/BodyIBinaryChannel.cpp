// HTTP::Encoding::BodyIBinaryChannel: a view of its connection's body, on every platform.
#include "HTTP/Encoding/BodyIBinaryChannel.hpp"

#include "HTTP/Client/ClientConnection.hpp"

namespace HTTP::Encoding {

BodyIBinaryChannel::BodyIBinaryChannel(Client::ClientConnection& connection) : connection_(connection) {}

BodyIBinaryChannel::~BodyIBinaryChannel() = default;

USize BodyIBinaryChannel::Read(char* destination, USize count) {
    return connection_.ReadBody(destination, count);
}

}  // namespace HTTP::Encoding
