// Header fields, requests and responses: plain data held for the connection, checked where a value would
// otherwise corrupt the request on the wire.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "ConnectionRules.hpp"
#include "HTTPException.hpp"
#include "MessageAccess.hpp"

namespace HTTP {

namespace {

using Detail::HeaderField;
using Detail::Utf8;

GS::UniString FromUtf8(const std::string& text) {
    return GS::UniString(text.c_str(), CC_UTF8);
}

bool IsTokenChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}

bool IsToken(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), IsTokenChar);
}

bool SameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

// Characters a request target may hold unescaped: RFC 3986 pchar, "/" and "?".
bool IsTargetChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("-._~!$&'()*+,;=:@/?%", c) != nullptr;
}

bool IsValidTarget(const std::string& target, MessageHeader::Method::Id method) {
    if (target == "*")
        return method == MessageHeader::Method::Options;
    return !target.empty() && target[0] == '/' && std::all_of(target.begin(), target.end(), IsTargetChar);
}

}  // namespace

namespace MessageHeader {

struct HeaderFieldCollection::Impl {
    std::vector<HeaderField> fields;

    const HeaderField* Find(const std::string& name) const {
        for (const HeaderField& field : fields) {
            if (SameName(field.first, name))
                return &field;
        }
        return nullptr;
    }
};

HeaderFieldCollection::HeaderFieldCollection() : impl_(new Impl) {}
HeaderFieldCollection::HeaderFieldCollection(const HeaderFieldCollection& other)
    : impl_(new Impl(*other.impl_)) {}

HeaderFieldCollection& HeaderFieldCollection::operator=(const HeaderFieldCollection& other) {
    if (this != &other)
        *impl_ = *other.impl_;
    return *this;
}

HeaderFieldCollection::~HeaderFieldCollection() {
    delete impl_;
}

void HeaderFieldCollection::Add(const GS::UniString& name, const GS::UniString& value) {
    std::string narrowName = Utf8(name);
    std::string narrowValue = Utf8(value);
    if (!IsToken(narrowName))
        throw Exception(Exception::Kind::Usage, "HTTP header field name is not a token");
    if (narrowValue.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        throw Exception(Exception::Kind::Usage, "HTTP header field value holds CR, LF or NUL");
    impl_->fields.emplace_back(std::move(narrowName), std::move(narrowValue));
}

bool HeaderFieldCollection::Get(const GS::UniString& name, GS::UniString& value) const {
    const HeaderField* field = impl_->Find(Utf8(name));
    if (field == nullptr)
        return false;
    value = FromUtf8(field->second);
    return true;
}

bool HeaderFieldCollection::Contains(const GS::UniString& name) const {
    return impl_->Find(Utf8(name)) != nullptr;
}

USize HeaderFieldCollection::GetCount() const {
    return static_cast<USize>(impl_->fields.size());
}

void HeaderFieldCollection::Clear() {
    impl_->fields.clear();
}

}  // namespace MessageHeader

namespace Client {

struct Request::Impl {
    MessageHeader::Method::Id method;
    std::string target;
    MessageHeader::HTTPVersion::Id version;
    MessageHeader::HeaderFieldCollection fields;
};

Request::Request(MessageHeader::Method::Id method, const GS::UniString& path,
                 MessageHeader::HTTPVersion::Id version)
    : impl_(nullptr) {
    if (method < MessageHeader::Method::Options || method > MessageHeader::Method::Patch)
        throw Exception(Exception::Kind::Usage, "HTTP::Client::Request: unknown method");
    if (version != MessageHeader::HTTPVersion::Version10 && version != MessageHeader::HTTPVersion::Version11)
        throw Exception(Exception::Kind::Usage, "HTTP::Client::Request: unknown HTTP version");
    std::string target = Utf8(path);
    if (!IsValidTarget(target, method))
        throw Exception(Exception::Kind::Usage,
                        "HTTP::Client::Request: the path is not a valid request target");
    impl_ = new Impl{method, std::move(target), version, {}};
}

Request::~Request() {
    delete impl_;
}

MessageHeader::Method::Id Request::GetMethod() const {
    return impl_->method;
}
GS::UniString Request::GetPath() const {
    return FromUtf8(impl_->target);
}
MessageHeader::HTTPVersion::Id Request::GetVersion() const {
    return impl_->version;
}
MessageHeader::HeaderFieldCollection& Request::GetRequestHeaderFieldCollection() {
    return impl_->fields;
}
const MessageHeader::HeaderFieldCollection& Request::GetRequestHeaderFieldCollection() const {
    return impl_->fields;
}

struct Response::Impl {
    UInt32 status = 0;
    std::string reason;
    MessageHeader::HeaderFieldCollection fields;
};

Response::Response() : impl_(new Impl) {}
Response::~Response() {
    delete impl_;
}

UInt32 Response::GetStatusCode() const {
    return impl_->status;
}
GS::UniString Response::GetReasonPhrase() const {
    return FromUtf8(impl_->reason);
}
const MessageHeader::HeaderFieldCollection& Response::GetResponseHeaderFieldCollection() const {
    return impl_->fields;
}

}  // namespace Client

namespace Detail {

const std::vector<HeaderField>& MessageAccess::Fields(const MessageHeader::HeaderFieldCollection& fields) {
    return fields.impl_->fields;
}

void MessageAccess::AddReceived(MessageHeader::HeaderFieldCollection& fields, std::string name,
                                std::string value) {
    fields.impl_->fields.emplace_back(std::move(name), std::move(value));
}

std::string MessageAccess::FieldLines(const Client::Request& request) {
    std::string lines;
    for (const HeaderField& field : request.GetRequestHeaderFieldCollection().impl_->fields) {
        if (!SameName(field.first, "Content-Length"))
            lines.append(field.first).append(": ").append(field.second).append("\r\n");
    }
    return lines;
}

const std::string& MessageAccess::Target(const Client::Request& request) {
    return request.impl_->target;
}

void MessageAccess::Reset(Client::Response& response, UInt32 status, std::string reason) {
    response.impl_->status = status;
    response.impl_->reason = std::move(reason);
    response.impl_->fields.Clear();
}

MessageHeader::HeaderFieldCollection& MessageAccess::ReceivedFields(Client::Response& response) {
    return response.impl_->fields;
}

}  // namespace Detail

}  // namespace HTTP
