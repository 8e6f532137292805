// The platform-independent rules of a client connection.
#include "ConnectionRules.hpp"

#include "UniString.hpp"

namespace HTTP::Detail {

void Fail(Exception::Kind kind, const std::string& message) {
    throw Exception(kind, message.c_str());
}

void Require(bool allowed, const char* call, const char* why) {
    if (!allowed)
        Fail(Exception::Kind::Usage, std::string("HTTP::Client::ClientConnection::") + call + ": " + why);
}

bool IsOpen(ConnectionState state) {
    return state == ConnectionState::Ready || state == ConnectionState::Sent ||
           state == ConnectionState::Receiving || state == ConnectionState::Spent;
}

void CheckFinishSend(ConnectionState state) {
    Require(state == ConnectionState::Ready || state == ConnectionState::Sent, "FinishSend",
            "the connection is not sending a request");
}

void CheckSend(ConnectionState state, const Client::Request& request, const char* body, USize length) {
    Require(state == ConnectionState::Ready, "Send",
            state == ConnectionState::Spent ? "the connection cannot carry another request"
                                            : "the connection is not ready for a request");
    Require(body != nullptr || length == 0, "Send", "no body bytes for a non-zero length");
    for (const char* own : {"Host", "Content-Length", "Transfer-Encoding"}) {
        Require(!request.GetRequestHeaderFieldCollection().Contains(GS::UniString(own)), "Send",
                "the request names a header field the connection writes itself");
    }
}

const char* MethodName(MessageHeader::Method::Id method) {
    static const char* const kNames[] = {"OPTIONS", "GET",   "HEAD",    "POST", "PUT",
                                         "DELETE",  "TRACE", "CONNECT", "PATCH"};
    return kNames[method];
}

bool CarriesBody(MessageHeader::Method::Id method) {
    return method == MessageHeader::Method::Post || method == MessageHeader::Method::Put ||
           method == MessageHeader::Method::Patch;
}

}  // namespace HTTP::Detail
