// Binary input channels of the host: a byte source (GS::IBinaryChannel), a protocol that fixes how numbers
// are laid out (GS::IProtocolX), the channel that combines both (GS::IChannelX) and text readers on top.
#pragma once

#include <stdexcept>

#include "GSTypes.hpp"
#include "UniString.hpp"

namespace GS {

// Thrown by the channel readers for data that does not have the form asked for (a length prefix past the
// end, invalid UTF-8 where it is not accepted).
class ChannelException : public std::runtime_error {
public:
    explicit ChannelException(const char* message);
    ChannelException(const ChannelException& other) noexcept;
    ChannelException& operator=(const ChannelException& other) noexcept;
    ~ChannelException() override;
};

// A source of bytes. Implementations throw their own exception type when the source fails.
class IBinaryChannel {
public:
    virtual ~IBinaryChannel();
    // Reads up to `count` bytes into `destination` and returns how many arrived: at least one while data
    // remains, 0 only at the end of the data.
    virtual USize Read(char* destination, USize count) = 0;
};

// How multi-byte numbers are laid out in a channel.
class IProtocolX {
public:
    virtual ~IProtocolX();
    virtual UInt32 DecodeUInt32(const UInt8 (&bytes)[4]) const = 0;
};

// The protocol of network byte order (big-endian). The object lives as long as the host library.
const IProtocolX& GetNetworkByteOrderIProtocolX();

// An input channel: a byte source read with a protocol. Borrows both; they must outlive it.
class IChannelX {
public:
    IChannelX(IBinaryChannel& channel, const IProtocolX& protocol);
    IChannelX(const IChannelX&) = delete;
    IChannelX& operator=(const IChannelX&) = delete;
    ~IChannelX();

    // Reads until `count` bytes have arrived or the data ends; returns how many arrived.
    USize ReadBin(char* destination, USize count);
    // Reads a 32-bit number in the channel's protocol. Returns ErrEndOfChannel, leaving `value` untouched,
    // when fewer than four bytes remain.
    GSErrCode Read(UInt32& value);

    IBinaryChannel& GetInputChannel() const { return channel_; }
    const IProtocolX& GetProtocol() const { return protocol_; }

    static constexpr GSErrCode ErrEndOfChannel = -2130312191;

private:
    IBinaryChannel& channel_;
    const IProtocolX& protocol_;
};

class IBinaryChannelUtilities {
public:
    // How the text is delimited in the channel.
    enum StringSerialization : Int32 {
        LengthPrefixed = 0,  // a 32-bit byte count in the channel's protocol, then the bytes
        NulTerminated = 1,   // the bytes up to a NUL byte, which is consumed; or up to the end of the data
        WholeChannel = 2,    // every byte up to the end of the data
    };

    // Reads UTF-8 text delimited as `serialization` says. With skipByteOrderMark a leading EF BB BF is
    // dropped; otherwise it becomes U+FEFF. Without strictUTF8 every byte that is not part of valid UTF-8
    // becomes U+FFFD; with it such a byte throws GS::ChannelException. NUL bytes inside WholeChannel or
    // LengthPrefixed text are kept. Throws GS::ChannelException for an unknown serialization or a length
    // prefix that runs past the end; failures of the byte source pass through as its own exceptions.
    static UniString ReadUniStringAsUTF8(IChannelX& channel, Int32 serialization, bool skipByteOrderMark,
                                         bool strictUTF8);
};

}  // namespace GS
