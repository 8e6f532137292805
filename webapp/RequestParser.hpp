// An HTTP request parser that keeps the request as received: field order and spelling, decoded body.
#pragma once

#include <boost/beast/http/basic_parser.hpp>
#include <cstdint>
#include <optional>

#include "HttpMessage.hpp"

namespace webapp {

// Beast's parser with the request collected into a Request. The body limit and header limit are the
// basic parser's (body_limit(), header_limit()); a body over the limit fails with error::body_limit, for a
// Content-Length as soon as the header is complete.
class RequestParser : public boost::beast::http::basic_parser<true> {
public:
    RequestParser() = default;

    const Request& Get() const { return request_; }
    Request Release() { return std::move(request_); }
    // The Content-Length the client announced, if any.
    std::optional<std::uint64_t> AnnouncedLength() const { return announcedLength_; }
    bool ExpectsContinue() const { return expectsContinue_; }

private:
    using string_view = boost::beast::string_view;
    using error_code = boost::beast::error_code;

    void on_request_impl(boost::beast::http::verb method, string_view methodText, string_view target,
                         int version, error_code& ec) override;
    void on_response_impl(int status, string_view reason, int version, error_code& ec) override;
    void on_field_impl(boost::beast::http::field name, string_view nameText, string_view value,
                       error_code& ec) override;
    void on_header_impl(error_code& ec) override;
    void on_body_init_impl(const boost::optional<std::uint64_t>& length, error_code& ec) override;
    std::size_t on_body_impl(string_view body, error_code& ec) override;
    void on_chunk_header_impl(std::uint64_t size, string_view extensions, error_code& ec) override;
    std::size_t on_chunk_body_impl(std::uint64_t remain, string_view body, error_code& ec) override;
    void on_finish_impl(error_code& ec) override;

    Request request_;
    std::optional<std::uint64_t> announcedLength_;
    bool expectsContinue_ = false;
};

}  // namespace webapp
