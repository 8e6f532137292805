// HTTP::Client::Request and HTTP::Client::Response: the start line and header fields of one exchange.
#pragma once

#include "GSTypes.hpp"
#include "MessageHeader.hpp"
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

}  // namespace HTTP::Client
