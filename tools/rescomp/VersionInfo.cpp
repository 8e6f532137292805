// Reading and encoding the native version resource (see VersionInfo.hpp).
#include "VersionInfo.hpp"

#include <cctype>
#include <string>

namespace Rescomp {

namespace {

struct Word {
    std::string text;
    bool quoted = false;
};

// The words of one line: quoted texts, commas as words of their own, and runs of anything else.
std::vector<Word> Split(const LogicalLine& line) {
    std::vector<Word> words;
    const std::string& s = line.text;
    for (std::size_t i = 0; i < s.size();) {
        const char c = s[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == ',') {
            words.push_back({",", false});
            ++i;
        } else if (c == '"') {
            const std::size_t end = s.find('"', i + 1);
            if (end == std::string::npos)
                throw SourceError(line.pos, "Illegal string: the text has no closing quote");
            const std::string text = s.substr(i + 1, end - i - 1);
            for (char t : text) {
                if (t == '\\' || static_cast<unsigned char>(t) >= 0x80)
                    throw SourceError(line.pos,
                                      "a version text holds ASCII without escapes, not \"" + text + "\"");
            }
            words.push_back({text, true});
            i = end + 1;
        } else {
            std::size_t end = i;
            while (end < s.size() && !std::isspace(static_cast<unsigned char>(s[end])) && s[end] != ',' &&
                   s[end] != '"')
                ++end;
            words.push_back({s.substr(i, end - i), false});
            i = end;
        }
    }
    return words;
}

std::uint32_t Number(const Word& word, std::uint32_t largest, const SourcePos& pos) {
    std::string digits = word.text;
    if (!digits.empty() && (digits.back() == 'L' || digits.back() == 'l'))
        digits.pop_back();
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits = digits.substr(2);
        base = 16;
    }
    const bool valid =
        !word.quoted && !digits.empty() && digits.size() <= 10 &&
        digits.find_first_not_of(base == 16 ? "0123456789abcdefABCDEF" : "0123456789") == std::string::npos;
    const unsigned long long value = valid ? std::stoull(digits, nullptr, base) : 0;
    if (!valid || value > largest)
        throw SourceError(pos, "Illegal decimal integer value or undefined constant: " + word.text +
                                   " (expected a number up to " + std::to_string(largest) + ")");
    return static_cast<std::uint32_t>(value);
}

// The numbers of "NAME n, n, ..." after the name, `count` of them.
std::vector<std::uint32_t> Numbers(const std::vector<Word>& words, std::size_t first, std::size_t count,
                                   std::uint32_t largest, const SourcePos& pos) {
    std::vector<std::uint32_t> numbers;
    for (std::size_t i = first; i < words.size(); ++i) {
        if (i > first) {
            if (words[i].text != "," || words[i].quoted || ++i == words.size())
                throw SourceError(pos, "expected numbers separated by commas");
        }
        numbers.push_back(Number(words[i], largest, pos));
    }
    if (count != 0 && numbers.size() != count)
        throw SourceError(pos, words[0].text + " takes " + std::to_string(count) + " numbers, not " +
                                   std::to_string(numbers.size()));
    return numbers;
}

bool Opens(const std::vector<Word>& words) {
    return words.size() == 1 && !words[0].quoted && (words[0].text == "BEGIN" || words[0].text == "{");
}

bool Closes(const std::vector<Word>& words) {
    return words.size() == 1 && !words[0].quoted && (words[0].text == "END" || words[0].text == "}");
}

// Reads the nodes between a BEGIN and its END; *at is on the line after the BEGIN and ends after the END.
std::vector<VersionNode> ParseNodes(const std::vector<LogicalLine>& lines, std::size_t* at,
                                    const SourcePos& from) {
    std::vector<VersionNode> nodes;
    for (; *at < lines.size(); ++*at) {
        const LogicalLine& line = lines[*at];
        const std::vector<Word> words = Split(line);
        if (Closes(words)) {
            ++*at;
            return nodes;
        }
        VersionNode node;
        node.pos = line.pos;
        if (words.size() == 2 && words[0].text == "BLOCK" && words[1].quoted) {
            node.key = words[1].text;
            node.isBlock = true;
            ++*at;
            if (*at >= lines.size() || !Opens(Split(lines[*at])))
                throw SourceError(line.pos, "BLOCK \"" + node.key + "\" must be followed by BEGIN");
            ++*at;
            node.children = ParseNodes(lines, at, line.pos);
            --*at;
        } else if (words.size() >= 4 && words[0].text == "VALUE" && words[1].quoted && words[2].text == ",") {
            node.key = words[1].text;
            if (words.size() == 4 && words[3].quoted) {
                node.text = words[3].text;
            } else {
                node.isText = false;
                for (std::uint32_t word : Numbers(words, 3, 0, 0xFFFF, line.pos))
                    node.words.push_back(static_cast<std::uint16_t>(word));
            }
        } else {
            throw SourceError(line.pos,
                              "expected BLOCK \"key\", VALUE \"key\", \"text\", VALUE \"key\", "
                              "number, ... or END in a version resource");
        }
        nodes.push_back(node);
    }
    throw SourceError(from, "BEGIN without its END in the version resource");
}

class Encoder {
public:
    void U16(std::uint16_t v) {
        bytes_.push_back(static_cast<std::uint8_t>(v));
        bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v) {
        U16(static_cast<std::uint16_t>(v));
        U16(static_cast<std::uint16_t>(v >> 16));
    }
    void Wide(const std::string& text) {
        for (char c : text) U16(static_cast<std::uint16_t>(static_cast<unsigned char>(c)));
        U16(0);
    }
    void Align() {
        while (bytes_.size() % 4 != 0) bytes_.push_back(0);
    }

    // A node: header, key, value, children; returns nothing, patches its length when done.
    template <class WriteValue, class WriteChildren>
    void Node(const std::string& key, std::uint16_t valueLength, std::uint16_t type, WriteValue value,
              WriteChildren children) {
        const std::size_t start = bytes_.size();
        U16(0);
        U16(valueLength);
        U16(type);
        Wide(key);
        Align();
        value();
        children();
        const std::size_t length = bytes_.size() - start;
        bytes_[start] = static_cast<std::uint8_t>(length);
        bytes_[start + 1] = static_cast<std::uint8_t>(length >> 8);
    }

    void Child(const VersionNode& node) {
        Align();
        if (node.isBlock) {
            Node(
                node.key, 0, 1, [] {},
                [&] {
                    for (const VersionNode& child : node.children) Child(child);
                });
        } else if (node.isText) {
            Node(
                node.key, static_cast<std::uint16_t>(node.text.size() + 1), 1, [&] { Wide(node.text); },
                [] {});
        } else {
            Node(
                node.key, static_cast<std::uint16_t>(2 * node.words.size()), 0,
                [&] {
                    for (std::uint16_t word : node.words) U16(word);
                },
                [] {});
        }
    }

    std::vector<std::uint8_t> bytes_;
};

std::uint32_t High(const std::uint16_t* version) {
    return static_cast<std::uint32_t>(version[0]) << 16 | version[1];
}

std::uint32_t Low(const std::uint16_t* version) {
    return static_cast<std::uint32_t>(version[2]) << 16 | version[3];
}

}  // namespace

bool IsVersionInfoStart(const LogicalLine& line) {
    const std::vector<Word> words = Split(line);
    return words.size() == 2 && words[1].text == "VERSIONINFO" && !words[1].quoted;
}

VersionInfo ParseVersionInfo(const std::vector<LogicalLine>& lines, std::size_t* at) {
    VersionInfo info;
    const LogicalLine& start = lines[*at];
    info.pos = start.pos;
    info.id = static_cast<int>(Number(Split(start)[0], 32767, start.pos));
    if (info.id == 0)
        throw SourceError(start.pos, "a version resource's id is from 1 to 32767");
    for (++*at; *at < lines.size(); ++*at) {
        const LogicalLine& line = lines[*at];
        const std::vector<Word> words = Split(line);
        if (Opens(words)) {
            ++*at;
            info.children = ParseNodes(lines, at, line.pos);
            return info;
        }
        const std::string& name = words.empty() ? std::string() : words[0].text;
        if (name == "FILEVERSION" || name == "PRODUCTVERSION") {
            const std::vector<std::uint32_t> parts = Numbers(words, 1, 4, 0xFFFF, line.pos);
            std::uint16_t* into = name == "FILEVERSION" ? info.fileVersion : info.productVersion;
            for (std::size_t i = 0; i < 4; ++i) into[i] = static_cast<std::uint16_t>(parts[i]);
            continue;
        }
        std::uint32_t* field = name == "FILEFLAGSMASK" ? &info.flagsMask
                               : name == "FILEFLAGS"   ? &info.flags
                               : name == "FILEOS"      ? &info.os
                               : name == "FILETYPE"    ? &info.fileType
                               : name == "FILESUBTYPE" ? &info.fileSubtype
                                                       : nullptr;
        if (field == nullptr)
            throw SourceError(line.pos,
                              "unknown version statement " + name +
                                  " (expected FILEVERSION, PRODUCTVERSION, FILEFLAGSMASK, FILEFLAGS, "
                                  "FILEOS, FILETYPE, FILESUBTYPE or BEGIN)");
        *field = Numbers(words, 1, 1, 0xFFFFFFFF, line.pos)[0];
    }
    throw SourceError(start.pos, "the version resource has no BEGIN");
}

std::vector<std::uint8_t> EncodeVersionInfo(const VersionInfo& info) {
    Encoder out;
    out.Node(
        "VS_VERSION_INFO", 52, 0,
        [&] {
            out.U32(0xFEEF04BD);  // VS_FIXEDFILEINFO's signature
            out.U32(0x00010000);  // and its structure version
            out.U32(High(info.fileVersion));
            out.U32(Low(info.fileVersion));
            out.U32(High(info.productVersion));
            out.U32(Low(info.productVersion));
            out.U32(info.flagsMask);
            out.U32(info.flags);
            out.U32(info.os);
            out.U32(info.fileType);
            out.U32(info.fileSubtype);
            out.U32(0);  // the file's date, which no compiler fills in
            out.U32(0);
        },
        [&] {
            for (const VersionNode& child : info.children) out.Child(child);
        });
    return out.bytes_;
}

}  // namespace Rescomp
