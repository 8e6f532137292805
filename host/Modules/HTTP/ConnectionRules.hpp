// What every platform's HTTP::Client::ClientConnection shares: the states a connection goes through, the
// checks each call makes against them, and what the methods mean for a request. Internal to the host
// library.
#pragma once

#include <string>

#include "Definitions.hpp"
#include "HTTP/Client/Request.hpp"
#include "HTTP/Client/Response.hpp"
#include "HTTPException.hpp"

namespace HTTP::Detail {

enum class ConnectionState { Fresh, Ready, Sent, Receiving, Spent, Broken, Closed };

[[noreturn]] void Fail(Exception::Kind kind, const std::string& message);
// Throws HTTP::Exception (Usage) naming the connection's `call` and `why` unless `allowed`.
void Require(bool allowed, const char* call, const char* why);

// Connected and not yet failed or closed.
bool IsOpen(ConnectionState state);
// The checks FinishSend and Send make before anything goes out; each throws HTTP::Exception (Usage).
void CheckFinishSend(ConnectionState state);
void CheckSend(ConnectionState state, const Client::Request& request, const char* body, USize length);

const char* MethodName(MessageHeader::Method::Id method);
// Whether requests of `method` carry a body, and so a Content-Length even when it is empty.
bool CarriesBody(MessageHeader::Method::Id method);

}  // namespace HTTP::Detail
