// Base64Encode against RFC 4648's vectors and an independent bit-by-bit encoder.
#include <gtest/gtest.h>

#include <string>

#include "Base64.hpp"

namespace {

// Encodes six bits at a time from a bit stream: slow and obviously right.
std::string ReferenceEncode(const std::string& bytes, const std::string& alphabet, char pad) {
    std::string out;
    std::size_t bits = 0;
    unsigned buffer = 0;
    for (unsigned char byte : bytes) {
        buffer = (buffer << 8) | byte;
        bits += 8;
        while (bits >= 6) {
            out.push_back(alphabet[(buffer >> (bits - 6)) & 63]);
            bits -= 6;
        }
    }
    if (bits > 0)
        out.push_back(alphabet[(buffer << (6 - bits)) & 63]);
    while (out.size() % 4 != 0) out.push_back(pad);
    return out;
}

const std::string kStandard = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const std::string kUrlSafe = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

}  // namespace

TEST(Base64Encode, Rfc4648Vectors) {
    EXPECT_EQ(Base64Encode("", false), "");
    EXPECT_EQ(Base64Encode("f", false), "Zg==");
    EXPECT_EQ(Base64Encode("fo", false), "Zm8=");
    EXPECT_EQ(Base64Encode("foo", false), "Zm9v");
    EXPECT_EQ(Base64Encode("foob", false), "Zm9vYg==");
    EXPECT_EQ(Base64Encode("fooba", false), "Zm9vYmE=");
    EXPECT_EQ(Base64Encode("foobar", false), "Zm9vYmFy");
}

TEST(Base64Encode, EveryLengthModuloThreeAndEveryByteValue) {
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes.push_back(static_cast<char>(255 - i));  // high bytes first: 0xFF down to 0x80 and beyond
    for (std::size_t n = 0; n <= bytes.size(); ++n) {
        const std::string input = bytes.substr(0, n);
        const std::string encoded = Base64Encode(input, false);
        ASSERT_EQ(encoded.size(), 4 * ((n + 2) / 3)) << n;
        ASSERT_EQ(encoded, ReferenceEncode(input, kStandard, '=')) << n;
        ASSERT_EQ(Base64Encode(input, true), ReferenceEncode(input, kUrlSafe, '.')) << n;
    }
}

TEST(Base64Encode, UrlSafeAlphabetUsesDashUnderscoreAndDotPadding) {
    EXPECT_EQ(Base64Encode("\xFB\xFF", false), "+/8=");
    EXPECT_EQ(Base64Encode("\xFB\xFF", true), "-_8.");
    EXPECT_EQ(Base64Encode("\xFF", true), "_w..");
}
