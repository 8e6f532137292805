// HTTP::Client::Response: the status line and header fields of the answer to one exchange.
#pragma once

#include "Definitions.hpp"
#include "HTTP/MessageHeader/HeaderFieldCollection.hpp"
#include "UniString.hpp"

namespace HTTP {
namespace Detail {
struct MessageAccess;
}

namespace Client {

class Response {
public:
    // An empty response: status 0 and no fields until a connection's BeginReceive fills it.
    Response();
    Response(const Response&) = delete;
    Response& operator=(const Response&) = delete;
    ~Response();

    UInt32 GetStatusCode() const;
    GS::UniString GetReasonPhrase() const;
    const MessageHeader::HeaderFieldCollection& GetResponseHeaderFieldCollection() const;

private:
    friend struct HTTP::Detail::MessageAccess;
    struct Impl;
    Impl* impl_;
};

}  // namespace Client
}  // namespace HTTP
