// Everything of the host's HTTP client library that the add-on uses.
#pragma once

#include "BodyChannel.hpp"
#include "ClientConnection.hpp"
#include "HTTPException.hpp"
#include "MessageHeader.hpp"
#include "Request.hpp"
#include "URI.hpp"
