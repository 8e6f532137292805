// Text readers over a binary input channel.
#pragma once

#include "IChannelX.hpp"
#include "UniString.hpp"

namespace GS::IBinaryChannelUtilities {

// How the text is delimited in the channel.
enum StringSerializationType {
    LengthPrefixed,  // a 32-bit byte count in the channel's protocol, then the bytes
    ZeroTerminated,  // the bytes up to a NUL byte, which is consumed; or up to the end of the data
    NotTerminated,   // every byte up to the end of the data
};

// Reads UTF-8 text delimited as `st` says. Every byte that is not part of valid UTF-8 becomes U+FFFD; NUL
// bytes inside NotTerminated or LengthPrefixed text are kept. A leading EF BB BF is dropped with removeBOM,
// otherwise it becomes U+FEFF; with requireBOM text without one throws GS::ChannelException. Throws
// GS::ChannelException for an unknown serialization or a length prefix that runs past the end; failures of
// the byte source pass through as its own exceptions.
UniString ReadUniStringAsUTF8(IChannelX& ic, StringSerializationType st, bool removeBOM = false,
                              bool requireBOM = false);

}  // namespace GS::IBinaryChannelUtilities
