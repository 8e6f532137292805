// HTTP::Client::Request: the request line and header fields of one exchange.
#pragma once

#include "Definitions.hpp"
#include "HTTP/MessageHeader/HeaderFieldCollection.hpp"
#include "HTTP/MessageHeader/Method.hpp"
#include "HTTP/MessageHeader/StartLine.hpp"
#include "UniString.hpp"

namespace HTTP::Client {

class Request {
public:
    // Throws HTTP::Exception (Usage) for an unknown method or version, or a path that is not an
    // origin-form target ("/" followed by characters that need no escaping in a request line; "*" for
    // Options).
    Request(MessageHeader::Method::Id method, const GS::UniString& path,
            MessageHeader::HTTPVersion::Id version);
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;
    ~Request();

    MessageHeader::Method::Id GetMethod() const;
    GS::UniString GetPath() const;
    MessageHeader::HTTPVersion::Id GetVersion() const;
    // The fields the connection sends besides Host and Content-Length, which it writes itself.
    MessageHeader::HeaderFieldCollection& GetRequestHeaderFieldCollection();
    const MessageHeader::HeaderFieldCollection& GetRequestHeaderFieldCollection() const;

private:
    friend struct HTTP::Detail::MessageAccess;
    struct Impl;
    Impl* impl_;
};

}  // namespace HTTP::Client
