// Base64Encode: three input bytes become four characters through two lookups in a table of character
// pairs, which keeps the encoder portable and about twice as fast as one lookup per character. The tables
// are filled at run time, once: computed at compile time they take tens of thousands of evaluation steps,
// near the limit of Microsoft's compiler, which counts them its own way.
#include "Base64.hpp"

#include <array>
#include <cstdint>
#include <cstring>

namespace {

constexpr char kStandard[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kUrlSafe[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

struct Alphabet {
    const char* chars;
    char pad;
    // pairs[v] holds the characters of the 12-bit value v: chars[v >> 6], then chars[v & 63].
    std::array<char, 2 * 4096> pairs;
};

Alphabet MakeAlphabet(const char* chars, char pad) {
    Alphabet alphabet{chars, pad, {}};
    for (int v = 0; v < 4096; ++v) {
        alphabet.pairs[2 * v] = chars[v >> 6];
        alphabet.pairs[2 * v + 1] = chars[v & 63];
    }
    return alphabet;
}

const Alphabet& StandardAlphabet() {
    static const Alphabet alphabet = MakeAlphabet(kStandard, '=');
    return alphabet;
}

const Alphabet& UrlSafeAlphabet() {
    static const Alphabet alphabet = MakeAlphabet(kUrlSafe, '.');
    return alphabet;
}

}  // namespace

std::string Base64Encode(const std::string& bytes, bool urlAlphabet) {
    const Alphabet& alphabet = urlAlphabet ? UrlSafeAlphabet() : StandardAlphabet();
    const std::size_t n = bytes.size();
    std::string out(4 * ((n + 2) / 3), '\0');
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    char* dst = out.data();
    const char* pairs = alphabet.pairs.data();

    std::size_t i = 0;
    // Six bytes at a time: read as one big-endian number, written as eight characters at once.
    for (; i + 8 <= n; i += 6) {
        std::uint64_t word = 0;
        for (int k = 0; k < 6; ++k) word = (word << 8) | in[i + k];
        char chars[8];
        std::memcpy(chars, pairs + 2 * ((word >> 36) & 0xFFF), 2);
        std::memcpy(chars + 2, pairs + 2 * ((word >> 24) & 0xFFF), 2);
        std::memcpy(chars + 4, pairs + 2 * ((word >> 12) & 0xFFF), 2);
        std::memcpy(chars + 6, pairs + 2 * (word & 0xFFF), 2);
        std::memcpy(dst, chars, 8);
        dst += 8;
    }
    for (; i + 3 <= n; i += 3) {
        const std::uint32_t group =
            (std::uint32_t{in[i]} << 16) | (std::uint32_t{in[i + 1]} << 8) | in[i + 2];
        std::memcpy(dst, pairs + 2 * (group >> 12), 2);
        std::memcpy(dst + 2, pairs + 2 * (group & 0xFFF), 2);
        dst += 4;
    }
    const std::size_t rest = n - i;
    if (rest == 0)
        return out;
    const unsigned b0 = in[i];
    const unsigned b1 = rest == 2 ? in[i + 1] : 0;
    dst[0] = alphabet.chars[b0 >> 2];
    dst[1] = alphabet.chars[((b0 & 3) << 4) | (b1 >> 4)];
    dst[2] = rest == 2 ? alphabet.chars[(b1 & 15) << 2] : alphabet.pad;
    dst[3] = alphabet.pad;
    return out;
}
