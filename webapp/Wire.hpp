// Response bytes on the wire, written by hand so that tests can have any framing, including broken ones.
#pragma once

#include <string>

#include "HttpMessage.hpp"

namespace webapp {

// The complete bytes of response as HTTP/1.1: status line, its header fields, the framing fields, the body.
// keepAlive chooses "Connection: keep-alive" or "Connection: close"; a close-delimited body always closes.
std::string ToWire(const Response& response, bool keepAlive);

// True when the connection must be closed after response was sent.
bool ClosesConnection(const Response& response, bool keepAlive);

// The head of response announcing the whole body by Content-Length, followed by only the first half of the
// body: what a server that dies mid-answer leaves behind. An empty body is replaced by 64 bytes of filler so
// that there is something to cut.
std::string ToWireCutShort(const Response& response);

}  // namespace webapp
