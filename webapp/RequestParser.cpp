// Callbacks of the Beast parser, each adding its piece to the request.
#include "RequestParser.hpp"

#include <string>

namespace webapp {

void RequestParser::on_request_impl(boost::beast::http::verb, string_view methodText, string_view target,
                                    int version, error_code&) {
    request_.method = std::string(methodText);
    request_.target = std::string(target);
    request_.version = version;
}

void RequestParser::on_response_impl(int, string_view, int, error_code& ec) {
    // Never called for a request parser; refuse rather than ignore.
    ec = boost::beast::http::error::bad_version;
}

void RequestParser::on_field_impl(boost::beast::http::field name, string_view nameText, string_view value,
                                  error_code&) {
    request_.headers.emplace_back(std::string(nameText), std::string(value));
    if (name == boost::beast::http::field::content_length) {
        try {
            announcedLength_ = std::stoull(std::string(value));
        } catch (const std::exception&) {
            announcedLength_.reset();  // the basic parser reports the malformed value itself
        }
    }
    if (name == boost::beast::http::field::expect &&
        EqualsIgnoringCase(std::string_view(value.data(), value.size()), "100-continue")) {
        expectsContinue_ = true;
    }
}

void RequestParser::on_header_impl(error_code&) {}

void RequestParser::on_body_init_impl(const boost::optional<std::uint64_t>& length, error_code&) {
    if (length) {
        request_.body.reserve(static_cast<std::size_t>(*length));
    }
}

std::size_t RequestParser::on_body_impl(string_view body, error_code&) {
    request_.body.append(body.data(), body.size());
    return body.size();
}

void RequestParser::on_chunk_header_impl(std::uint64_t, string_view, error_code&) {}

std::size_t RequestParser::on_chunk_body_impl(std::uint64_t, string_view body, error_code&) {
    request_.body.append(body.data(), body.size());
    return body.size();
}

void RequestParser::on_finish_impl(error_code&) {}

}  // namespace webapp
