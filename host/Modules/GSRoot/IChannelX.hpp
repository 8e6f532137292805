// Binary input channels of the host: a byte source (GS::IBinaryChannel), a protocol that fixes how numbers
// are laid out (GS::IProtocolX) and the channel that combines both (GS::IChannelX).
#pragma once

#include <stdexcept>

#include "Definitions.hpp"

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

}  // namespace GS
