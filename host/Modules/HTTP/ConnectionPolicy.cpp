// The policy calls of HTTP::Client::ClientConnection, the same on every platform.
#include "ConnectionRules.hpp"
#include "HTTP/Client/ClientConnection.hpp"

namespace HTTP::Client {

void ClientConnection::SetFollowRedirect(bool followRedirect) {
    Detail::Require(!followRedirect, "SetFollowRedirect", "the stand-in follows no redirect");
    Policy().followRedirect = followRedirect;
}

bool ClientConnection::GetFollowRedirect() {
    return Policy().followRedirect;
}

void ClientConnection::SetBodyBufferSize(GS::USize maxBodyBufferSize) {
    Policy().bodyBufferSize = maxBodyBufferSize;
}

GS::USize ClientConnection::GetBodyBufferSize() const {
    return Policy().bodyBufferSize;
}

}  // namespace HTTP::Client
