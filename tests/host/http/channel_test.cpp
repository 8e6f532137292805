// The channel text reader and the URI parts the add-on relies on.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "IBinaryChannelUtilities.hpp"
#include "IOBinProtocolXs.hpp"
#include "URI.hpp"

namespace {

// Hands out its bytes at most `piece` at a time, as a network body does.
class MemoryChannel : public GS::IBinaryChannel {
public:
    MemoryChannel(std::string bytes, USize piece) : bytes_(std::move(bytes)), piece_(piece) {}
    USize Read(char* destination, USize count) override {
        const USize n = static_cast<USize>(std::min<std::size_t>({count, piece_, bytes_.size() - at_}));
        std::memcpy(destination, bytes_.data() + at_, n);
        at_ += n;
        return n;
    }

private:
    std::string bytes_;
    USize piece_;
    std::size_t at_ = 0;
};

GS::UniString ReadText(const std::string& bytes, Int32 kind, bool removeBom = false,
                       bool requireBom = false) {
    MemoryChannel source(bytes, 3);
    GS::IChannelX channel(source, GS::GetNetworkByteOrderIProtocolX());
    return GS::IBinaryChannelUtilities::ReadUniStringAsUTF8(
        channel, static_cast<GS::IBinaryChannelUtilities::StringSerializationType>(kind), removeBom,
        requireBom);
}

std::u16string Units(const GS::UniString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.ToUStr().Get()), text.GetLength());
}

TEST(ReadUniStringAsUTF8, ReadsTheWholeChannelAcrossSplitSequences) {
    EXPECT_EQ(u"caf\u00e9 \U0001F3E0 line\nnext",
              Units(ReadText("caf\xC3\xA9 \xF0\x9F\x8F\xA0 line\nnext", 2)));
    EXPECT_EQ(u"", Units(ReadText("", 2)));
}

TEST(ReadUniStringAsUTF8, KeepsNulBytesAndTheByteOrderMarkUnlessAskedToSkipIt) {
    EXPECT_EQ(std::u16string(u"\uFEFFa\0b", 4), Units(ReadText(std::string("\xEF\xBB\xBF"
                                                                           "a\0b",
                                                                           6),
                                                               2)));
    EXPECT_EQ(u"a", Units(ReadText("\xEF\xBB\xBF"
                                   "a",
                                   2, true)));
}

TEST(ReadUniStringAsUTF8, ReplacesInvalidBytesAndRefusesTextWithoutARequiredByteOrderMark) {
    EXPECT_EQ(u"a\uFFFD\uFFFD\uFFFDz", Units(ReadText("a\xC0\x80\xFFz", 2)));
    EXPECT_EQ(u"\uFFFD\uFFFD\uFFFD", Units(ReadText("\xED\xA0\x80", 2)));
    EXPECT_THROW(ReadText("a\xFF", 2, false, true), GS::ChannelException);
    EXPECT_EQ(u"a", Units(ReadText("\xEF\xBB\xBF"
                                   "a",
                                   2, true, true)));
}

TEST(ReadUniStringAsUTF8, ReadsLengthPrefixedAndNulTerminatedText) {
    EXPECT_EQ(u"abc", Units(ReadText(std::string("\0\0\0\x03"
                                                 "abcdef",
                                                 10),
                                     0)));
    EXPECT_THROW(ReadText(std::string("\0\0\0\x09"
                                      "abc",
                                      7),
                          0),
                 GS::ChannelException);
    EXPECT_EQ(u"abc", Units(ReadText(std::string("abc\0def", 7), 1)));
    EXPECT_THROW(ReadText("abc", 7), GS::ChannelException);
}

TEST(URIParts, SplitsAnOriginAndFullerUris) {
    const IO::URI::URI origin("https://app.kavelo.io");
    ASSERT_TRUE(origin.IsValid());
    EXPECT_EQ(GS::UniString("app.kavelo.io"), origin.GetHost());
    EXPECT_EQ(443, origin.GetPort());
    EXPECT_TRUE(origin.GetPath().IsEmpty());

    const IO::URI::URI full("HTTPS://user@[::1]:8443/api/v1/images?x=1#top");
    ASSERT_TRUE(full.IsValid());
    EXPECT_EQ(GS::UniString("https"), full.GetScheme());
    EXPECT_EQ(GS::UniString("::1"), full.GetHost());
    EXPECT_EQ(8443, full.GetPort());
    EXPECT_EQ(GS::UniString("/api/v1/images"), full.GetPath());
    EXPECT_EQ(GS::UniString("x=1"), full.GetQuery());

    for (const char* bad :
         {"", "app.kavelo.io", "https://", "https://host:99999", "https://a b", "https://h:x"})
        EXPECT_FALSE(IO::URI::URI(bad).IsValid()) << bad;
}

}  // namespace
