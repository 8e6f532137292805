// HTTP::MessageHeader::Method: the request methods.
#pragma once

#include "Definitions.hpp"

namespace HTTP::MessageHeader {

namespace Method {
enum Id : Int32 {
    Options = 0,
    Get = 1,
    Head = 2,
    Post = 3,
    Put = 4,
    Delete = 5,
    Trace = 6,
    Connect = 7,
    Patch = 8
};
}

}  // namespace HTTP::MessageHeader
