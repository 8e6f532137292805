// What the connection reads and writes of requests, responses and header fields, in the narrow form it
// puts on the wire. Internal to the host library; never included by the add-on.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "HTTP/Client/Request.hpp"
#include "HTTP/Client/Response.hpp"

namespace HTTP::Detail {

using HeaderField = std::pair<std::string, std::string>;

struct MessageAccess {
    static const std::vector<HeaderField>& Fields(const MessageHeader::HeaderFieldCollection& fields);
    // Adds a field as received, without the checks Add makes.
    static void AddReceived(MessageHeader::HeaderFieldCollection& fields, std::string name,
                            std::string value);
    // The request's fields but its Content-Length (the connection writes the length), one
    // "name: value\r\n" line each.
    static std::string FieldLines(const Client::Request& request);
    // The request target in UTF-8.
    static const std::string& Target(const Client::Request& request);
    // Clears `response` and sets its status line; the fields follow through ReceivedFields.
    static void Reset(Client::Response& response, UInt32 status, std::string reason);
    static MessageHeader::HeaderFieldCollection& ReceivedFields(Client::Response& response);
};

}  // namespace HTTP::Detail
