// Upload body checks, in the order a client's mistakes are most useful to report.
#include "ImageUpload.hpp"

#include <turbojpeg.h>

#include <nlohmann/json.hpp>

namespace webapp {
namespace {

constexpr std::string_view kDataUrlPrefix = "data:image/jpeg;base64,";

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return -1;
}

UploadRefusal Refuse(int status, std::string message) {
    return UploadRefusal{status, std::move(message)};
}

// The string member named name, or nullopt when it is missing or not a string.
std::optional<std::string> StringMember(const nlohmann::json& object, const char* name) {
    const auto member = object.find(name);
    if (member == object.end() || !member->is_string()) {
        return std::nullopt;
    }
    return member->get<std::string>();
}

}  // namespace

std::optional<std::string> DecodeBase64(std::string_view text) {
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    std::size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') {
        ++padding;
    }
    std::string out;
    out.reserve(text.size() / 4 * 3);
    std::uint32_t group = 0;
    const std::size_t digits = text.size() - padding;
    for (std::size_t i = 0; i < digits; ++i) {
        const int value = Base64Value(text[i]);
        if (value < 0) {
            return std::nullopt;
        }
        group = (group << 6) | static_cast<std::uint32_t>(value);
        if (i % 4 == 3) {
            out += static_cast<char>((group >> 16) & 0xFF);
            out += static_cast<char>((group >> 8) & 0xFF);
            out += static_cast<char>(group & 0xFF);
            group = 0;
        }
    }
    // The last group holds 2 or 3 digits when the text was padded; bits beyond the bytes must be zero.
    if (padding == 2) {
        if ((group & 0xF) != 0) {
            return std::nullopt;
        }
        out += static_cast<char>((group >> 4) & 0xFF);
    } else if (padding == 1) {
        if ((group & 0x3) != 0) {
            return std::nullopt;
        }
        out += static_cast<char>((group >> 10) & 0xFF);
        out += static_cast<char>((group >> 2) & 0xFF);
    }
    return out;
}

bool IsJpeg(std::string_view bytes) {
    if (bytes.size() < 4) {
        return false;
    }
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (byte(0) != 0xFF || byte(1) != 0xD8 || byte(bytes.size() - 2) != 0xFF ||
        byte(bytes.size() - 1) != 0xD9) {
        return false;
    }
    tjhandle decoder = tjInitDecompress();
    if (decoder == nullptr) {
        return false;
    }
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colorspace = 0;
    const int result = tjDecompressHeader3(decoder, reinterpret_cast<const unsigned char*>(bytes.data()),
                                           static_cast<unsigned long>(bytes.size()), &width, &height,
                                           &subsampling, &colorspace);
    tjDestroy(decoder);
    return result == 0 && width > 0 && height > 0;
}

std::variant<ImageUpload, UploadRefusal> ReadImageUpload(std::string_view body) {
    const nlohmann::json document = nlohmann::json::parse(body, nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
        return Refuse(400, "the body is not a JSON object");
    }
    const std::optional<std::string> image = StringMember(document, "image");
    const std::optional<std::string> name = StringMember(document, "name");
    const std::optional<std::string> source = StringMember(document, "source");
    if (!image || !name || !source) {
        return Refuse(400, "the members \"image\", \"name\" and \"source\" must be strings");
    }
    if (image->compare(0, kDataUrlPrefix.size(), kDataUrlPrefix) != 0) {
        return Refuse(400, "\"image\" is not a data:image/jpeg;base64 URL");
    }
    std::optional<std::string> jpeg = DecodeBase64(std::string_view(*image).substr(kDataUrlPrefix.size()));
    if (!jpeg) {
        return Refuse(400, "\"image\" does not hold valid Base64 text");
    }
    if (!IsJpeg(*jpeg)) {
        return Refuse(422, "\"image\" is not a JPEG image");
    }
    return ImageUpload{std::move(*jpeg), *name, *source};
}

}  // namespace webapp
