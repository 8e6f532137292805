// Fuzz target: the UTF-8 text reader over any bytes, in every delimiting mode, with a byte order mark
// required or not.
#include <cstring>
#include <exception>

#include "FuzzTarget.hpp"
#include "IBinaryChannelUtilities.hpp"
#include "IOBinProtocolXs.hpp"

namespace {

class BytesChannel : public GS::IBinaryChannel {
public:
    BytesChannel(const std::uint8_t* data, std::size_t size) : data_(data), left_(size) {}
    USize Read(char* destination, USize count) override {
        const std::size_t n = count < left_ ? count : left_;
        std::memcpy(destination, data_, n);
        data_ += n;
        left_ -= n;
        return static_cast<USize>(n);
    }

private:
    const std::uint8_t* data_;
    std::size_t left_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (Int32 kind = 0; kind < 3; ++kind) {
        for (bool requireBom : {false, true}) {
            BytesChannel bytes(data, size);
            GS::IChannelX channel(bytes, GS::GetNetworkByteOrderIProtocolX());
            try {
                const GS::UniString text = GS::IBinaryChannelUtilities::ReadUniStringAsUTF8(
                    channel, static_cast<GS::IBinaryChannelUtilities::StringSerializationType>(kind), true,
                    requireBom);
                text.ToCStr(0, MaxUSize, CC_UTF8);
            } catch (const GS::ChannelException&) {
                // No byte order mark where one is required, or a length prefix past the end: refused, as
                // documented.
            }
        }
    }
    return 0;
}
