// HTTP::MessageHeader::HTTPVersion: the protocol versions a start line names.
#pragma once

#include "Definitions.hpp"

namespace HTTP::MessageHeader {

namespace HTTPVersion {
enum Id : Int32 { Version10 = 0, Version11 = 1 };
}

}  // namespace HTTP::MessageHeader
