// Channels and the UTF-8 text reader. The reader decodes on its own rather than through UniString's narrow
// constructor because a body may hold NUL bytes.
#include "IBinaryChannelUtilities.hpp"
#include "IChannelX.hpp"
#include "IOBinProtocolXs.hpp"

#include <algorithm>
#include <string>

#include "Utf8.hpp"

namespace GS {

namespace {

constexpr USize kReadPiece = 64 * 1024;

class NetworkByteOrder final : public IProtocolX {
public:
    UInt32 DecodeUInt32(const UInt8 (&bytes)[4]) const override {
        return (UInt32(bytes[0]) << 24) | (UInt32(bytes[1]) << 16) | (UInt32(bytes[2]) << 8) |
               UInt32(bytes[3]);
    }
};

UniString DecodeUtf8(const std::string& bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (data[i] < 0x80) {
            text.push_back(data[i++]);
            continue;
        }
        char32_t codePoint = 0;
        const std::size_t used = Detail::DecodeUtf8Sequence(data + i, bytes.size() - i, codePoint);
        if (used == 0) {
            text.push_back(Detail::ReplacementCharacter);
            ++i;
            continue;
        }
        Detail::AppendUtf16(text, codePoint);
        i += used;
    }
    return UniString(std::u16string_view(text));
}

std::string ReadToEnd(IChannelX& channel) {
    std::string bytes;
    for (;;) {
        const std::size_t had = bytes.size();
        bytes.resize(had + kReadPiece);
        const USize got = channel.GetInputChannel().Read(&bytes[had], kReadPiece);
        bytes.resize(had + got);
        if (got == 0)
            return bytes;
    }
}

std::string ReadToNul(IChannelX& channel) {
    std::string bytes;
    char byte = 0;
    while (channel.GetInputChannel().Read(&byte, 1) == 1 && byte != '\0') bytes.push_back(byte);
    return bytes;
}

std::string ReadLengthPrefixed(IChannelX& channel) {
    UInt32 length = 0;
    if (channel.Read(length) != NoError)
        throw ChannelException("GS::IBinaryChannelUtilities: the data ends inside a length prefix");
    // The prefix is only a claim: the text grows as its bytes arrive, so a damaged prefix costs no more
    // memory than the data that is really there.
    std::string bytes;
    while (bytes.size() < length) {
        const std::size_t had = bytes.size();
        const USize want = static_cast<USize>(std::min<std::size_t>(kReadPiece, length - had));
        bytes.resize(had + want);
        const USize got = channel.ReadBin(&bytes[had], want);
        bytes.resize(had + got);
        if (got < want)
            throw ChannelException(
                "GS::IBinaryChannelUtilities: the data ends before the text its prefix announces");
    }
    return bytes;
}

}  // namespace

ChannelException::ChannelException(const char* message) : std::runtime_error(message) {}
ChannelException::ChannelException(const ChannelException& other) noexcept = default;
ChannelException& ChannelException::operator=(const ChannelException& other) noexcept = default;
ChannelException::~ChannelException() = default;

IBinaryChannel::~IBinaryChannel() = default;
IProtocolX::~IProtocolX() = default;

const IProtocolX& GetNetworkByteOrderIProtocolX() {
    static const NetworkByteOrder protocol;
    return protocol;
}

IChannelX::IChannelX(IBinaryChannel& channel, const IProtocolX& protocol)
    : channel_(channel), protocol_(protocol) {}

IChannelX::~IChannelX() = default;

USize IChannelX::ReadBin(char* destination, USize count) {
    USize total = 0;
    while (total < count) {
        const USize got = channel_.Read(destination + total, count - total);
        if (got == 0)
            break;
        total += got;
    }
    return total;
}

GSErrCode IChannelX::Read(UInt32& value) {
    UInt8 bytes[4] = {};
    if (ReadBin(reinterpret_cast<char*>(bytes), sizeof bytes) != sizeof bytes)
        return ErrEndOfChannel;
    value = protocol_.DecodeUInt32(bytes);
    return NoError;
}

UniString IBinaryChannelUtilities::ReadUniStringAsUTF8(IChannelX& channel, StringSerializationType st,
                                                       bool removeBOM, bool requireBOM) {
    std::string bytes;
    switch (st) {
        case NotTerminated:
            bytes = ReadToEnd(channel);
            break;
        case ZeroTerminated:
            bytes = ReadToNul(channel);
            break;
        case LengthPrefixed:
            bytes = ReadLengthPrefixed(channel);
            break;
        default:
            throw ChannelException(
                "GS::IBinaryChannelUtilities::ReadUniStringAsUTF8: unknown string serialization");
    }
    const bool hasBOM = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
    if (requireBOM && !hasBOM)
        throw ChannelException(
            "GS::IBinaryChannelUtilities::ReadUniStringAsUTF8: the text has no byte order mark");
    if (removeBOM && hasBOM)
        bytes.erase(0, 3);
    return DecodeUtf8(bytes);
}

}  // namespace GS
