// The host's channel protocols.
#pragma once

#include "IChannelX.hpp"

namespace GS {

// The protocol of network byte order (big-endian). The object lives as long as the host library.
const IProtocolX& GetNetworkByteOrderIProtocolX();

}  // namespace GS
