// JSON text to and from GS::ObjectState over nlohmann::ordered_json. The writer is our own so that it
// escapes and widens to UTF-16 in one pass: the add-on's bodies carry megabytes of Base64 in one string.
#include "ObjectStateJSONConversion.hpp"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "JSONControl.hpp"
#include "ObjectStateStorage.hpp"
#include "Utf8.hpp"

namespace JSON {

namespace {

using Json = nlohmann::ordered_json;

// Deeper text is refused: the writer recurses once per level.
constexpr int kMaxDepth = 512;

std::atomic<GSErrCode> pendingCreateFault{NoError};

// Written as it is: printable ASCII but quote and backslash.
bool IsPlain(unsigned char c) {
    return c >= 0x20 && c < 0x80 && c != '"' && c != '\\';
}

constexpr std::size_t kPlainBlock = 32;

// Whether a block of bytes is all plain; an OR over the block, without early exit, so that it vectorises.
bool IsPlainBlock(const unsigned char* bytes) {
    unsigned char special = 0;
    for (std::size_t k = 0; k < kPlainBlock; ++k) {
        const unsigned char c = bytes[k];
        special |= static_cast<unsigned char>((c < 0x20) | (c >= 0x80) | (c == '"') | (c == '\\'));
    }
    return special == 0;
}

// A rough size of the written text, so that the output grows once.
std::size_t EstimateLength(const Json& value) {
    if (value.is_string())
        return value.get_ref<const std::string&>().size() + 2;
    std::size_t length = 8;
    if (value.is_object()) {
        for (const auto& member : value.items())
            length += member.key().size() + 4 + EstimateLength(member.value());
    } else if (value.is_array()) {
        for (const Json& element : value) length += 2 + EstimateLength(element);
    }
    return length;
}

// A growable UTF-16 buffer that leaves new space uninitialised: a megabyte-sized string is written once,
// not zero-filled first. realloc can move a large block by remapping it rather than copying.
class Utf16Buffer {
public:
    Utf16Buffer() = default;
    Utf16Buffer(const Utf16Buffer&) = delete;
    Utf16Buffer& operator=(const Utf16Buffer&) = delete;
    ~Utf16Buffer() { std::free(data_); }

    const char16_t* Data() const { return data_; }
    std::size_t Size() const { return size_; }

    void Reserve(std::size_t capacity) {
        if (capacity <= capacity_)
            return;
        auto* grown = static_cast<char16_t*>(std::realloc(data_, capacity * sizeof(char16_t)));
        if (grown == nullptr)
            throw std::bad_alloc();
        data_ = grown;
        capacity_ = capacity;
    }

    // Makes room for `count` more units and returns where they go, for the caller to fill some of them
    // and Commit how many.
    char16_t* Room(std::size_t count) {
        if (size_ + count > capacity_)
            Reserve(std::max(size_ + count, capacity_ * 2 + 64));
        return data_ + size_;
    }
    void Commit(std::size_t count) { size_ += count; }

    // Makes room for `count` more units and returns where they go; the caller writes all of them.
    char16_t* Extend(std::size_t count) {
        char16_t* target = Room(count);
        size_ += count;
        return target;
    }

    void Push(char16_t unit) { *Extend(1) = unit; }

    void Append(const char16_t* text) {
        const std::size_t length = std::char_traits<char16_t>::length(text);
        std::char_traits<char16_t>::copy(Extend(length), text, length);
    }

    void Append(std::size_t count, char16_t unit) {
        std::char_traits<char16_t>::assign(Extend(count), count, unit);
    }

private:
    char16_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

class Writer {
public:
    explicit Writer(bool formatted) : formatted_(formatted) {}

    void Reserve(std::size_t length) { out_.Reserve(length); }
    const Utf16Buffer& Text() const { return out_; }

    void Value(const Json& value, int depth) {
        if (value.is_object())
            return Object(value, depth);
        if (value.is_array())
            return Array(value, depth);
        if (value.is_string())
            return String(value.get_ref<const std::string&>());
        const std::string scalar = value.dump();
        Widen(reinterpret_cast<const unsigned char*>(scalar.data()), scalar.size());
    }

private:
    void Object(const Json& object, int depth) {
        if (object.empty())
            return Punctuation(u"{}");
        out_.Push(u'{');
        bool first = true;
        for (const auto& member : object.items()) {
            if (!first)
                out_.Push(u',');
            first = false;
            NewLine(depth + 1);
            String(member.key());
            Punctuation(formatted_ ? u": " : u":");
            Value(member.value(), depth + 1);
        }
        NewLine(depth);
        out_.Push(u'}');
    }

    void Array(const Json& array, int depth) {
        if (array.empty())
            return Punctuation(u"[]");
        out_.Push(u'[');
        bool first = true;
        for (const Json& element : array) {
            if (!first)
                out_.Push(u',');
            first = false;
            NewLine(depth + 1);
            Value(element, depth + 1);
        }
        NewLine(depth);
        out_.Push(u']');
    }

    void String(const std::string& text) {
        out_.Push(u'"');
        const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
        const std::size_t length = text.size();
        std::size_t i = 0;
        while (i < length) {
            i += PlainRun(bytes + i, length - i);
            if (i < length)
                i += bytes[i] < 0x80 ? Escape(bytes[i]) : NonAscii(bytes + i, length - i);
        }
        out_.Push(u'"');
    }

    // Widens the plain bytes at the start of `bytes` into the output, a block at a time while whole blocks
    // are plain, and returns how many there were.
    std::size_t PlainRun(const unsigned char* bytes, std::size_t length) {
        char16_t* target = out_.Room(length);
        std::size_t i = 0;
        for (; i + kPlainBlock <= length && IsPlainBlock(bytes + i); i += kPlainBlock) {
            for (std::size_t k = 0; k < kPlainBlock; ++k) target[i + k] = bytes[i + k];
        }
        for (; i < length && IsPlain(bytes[i]); ++i) target[i] = bytes[i];
        out_.Commit(i);
        return i;
    }

    std::size_t Escape(unsigned char c) {
        static const char16_t kHex[] = u"0123456789abcdef";
        switch (c) {
            case '"':
                Punctuation(u"\\\"");
                break;
            case '\\':
                Punctuation(u"\\\\");
                break;
            case '\b':
                Punctuation(u"\\b");
                break;
            case '\f':
                Punctuation(u"\\f");
                break;
            case '\n':
                Punctuation(u"\\n");
                break;
            case '\r':
                Punctuation(u"\\r");
                break;
            case '\t':
                Punctuation(u"\\t");
                break;
            default:
                Punctuation(u"\\u00");
                out_.Push(kHex[c >> 4]);
                out_.Push(kHex[c & 0xF]);
        }
        return 1;
    }

    std::size_t NonAscii(const unsigned char* bytes, std::size_t left) {
        char32_t codePoint = 0;
        const std::size_t used = GS::Detail::DecodeUtf8Sequence(bytes, left, codePoint);
        if (used == 0) {
            out_.Push(GS::Detail::ReplacementCharacter);
            return 1;
        }
        if (codePoint < 0x10000) {
            out_.Push(static_cast<char16_t>(codePoint));
        } else {
            codePoint -= 0x10000;
            out_.Push(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
            out_.Push(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
        }
        return used;
    }

    // One resize and a plain loop, which the compiler turns into wide stores.
    void Widen(const unsigned char* bytes, std::size_t count) {
        char16_t* target = out_.Extend(count);
        for (std::size_t k = 0; k < count; ++k) target[k] = bytes[k];
    }

    void Punctuation(const char16_t* text) { out_.Append(text); }

    void NewLine(int depth) {
        if (!formatted_)
            return;
        out_.Push(u'\n');
        out_.Append(static_cast<std::size_t>(depth) * 4, u' ');
    }

    bool formatted_;
    Utf16Buffer out_;
};

// The deepest nesting of objects and arrays in a JSON text, strings skipped.
int NestingDepth(const char* text, std::size_t length) {
    int depth = 0;
    int deepest = 0;
    bool inString = false;
    for (std::size_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            deepest = std::max(deepest, ++depth);
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return deepest;
}

}  // namespace

GSErrCode CreateFromObjectState(const GS::ObjectState& state, GS::UniString& text, bool formatted) {
    if (const GSErrCode fault = pendingCreateFault.exchange(NoError); fault != NoError) {
        text = GS::UniString();
        return fault;
    }
    const Json& members = GS::Detail::ObjectStateAccess::Members(state);
    Writer writer(formatted);
    writer.Reserve(EstimateLength(members));
    writer.Value(members, 0);
    text = GS::UniString(std::u16string_view(writer.Text().Data(), writer.Text().Size()));
    return NoError;
}

GSErrCode ConvertToObjectState(const GS::UniString& text, GS::ObjectState& state) {
    state.Clear();
    const auto utf8 = text.ToCStr(0, MaxUSize, CC_UTF8);
    const char* begin = utf8.Get();
    const char* end = begin + utf8.GetLength();
    if (NestingDepth(begin, utf8.GetLength()) > kMaxDepth)
        return ErrInvalidJSON;
    Json parsed = Json::parse(begin, end, nullptr, false);
    if (parsed.is_discarded())
        return ErrInvalidJSON;
    if (!parsed.is_object())
        return ErrNotAnObject;
    GS::Detail::ObjectStateAccess::Members(state) = std::move(parsed);
    return NoError;
}

namespace Control {

void FailNextCreate(GSErrCode code) {
    pendingCreateFault = code;
}

void ClearFaults() {
    pendingCreateFault = NoError;
}

}  // namespace Control

}  // namespace JSON
