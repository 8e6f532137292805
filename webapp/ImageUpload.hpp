// Reading an image upload: the JSON body, its data URL, the Base64 text and the JPEG check.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace webapp {

// The members of an accepted upload, the image already decoded to JPEG bytes.
struct ImageUpload {
    std::string jpeg;
    std::string name;
    std::string source;
};

// Why an upload was refused: the HTTP status to answer with and a message for the JSON error body.
struct UploadRefusal {
    int status = 400;
    std::string message;
};

// Reads a JSON object with the string members "image", "name" and "source", taken by name. "image" must be
// "data:image/jpeg;base64," followed by padded RFC 4648 Base64 text of a JPEG. Answers 400 for a body that is
// not such an object or text that is not such a data URL, 422 when the decoded bytes are not a JPEG.
std::variant<ImageUpload, UploadRefusal> ReadImageUpload(std::string_view body);

// Strict RFC 4648 Base64 (standard alphabet, padded to a multiple of four, no white space); nullopt when
// text is not such Base64.
std::optional<std::string> DecodeBase64(std::string_view text);

// True when bytes start with a JPEG start-of-image marker, end with an end-of-image marker and their header
// decodes to an image of non-zero size.
bool IsJpeg(std::string_view bytes);

}  // namespace webapp
