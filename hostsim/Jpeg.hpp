// RGB images and their JPEG form (libjpeg-turbo on POSIX systems, WIC on Windows).
#pragma once

#include <string>
#include <vector>

namespace hostsim {

// Packed 8-bit RGB, rows top to bottom, no padding.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels;  // width * height * 3

    RgbImage() = default;
    RgbImage(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h * 3, 0) {}
    unsigned char* At(int x, int y) { return pixels.data() + (static_cast<std::size_t>(y) * width + x) * 3; }
    const unsigned char* At(int x, int y) const {
        return pixels.data() + (static_cast<std::size_t>(y) * width + x) * 3;
    }
};

// Encodes `image` as a baseline JPEG (4:2:0) of the given quality (1..100). Returns false with *error
// saying why for an empty image or when the encoder fails.
bool EncodeJpeg(const RgbImage& image, int quality, std::vector<unsigned char>* jpeg, std::string* error);
// Decodes JPEG bytes into RGB. Returns false with *error saying why when the bytes are not a JPEG.
bool DecodeJpeg(const std::vector<unsigned char>& jpeg, RgbImage* image, std::string* error);
// Reads a JPEG file and decodes it.
bool ReadJpegFile(const std::string& path, RgbImage* image, std::string* error);
// Writes bytes to a file, replacing it. Returns false with *error saying why.
bool WriteFileBytes(const std::string& path, const std::vector<unsigned char>& bytes, std::string* error);

// Scales `source` to width x height with bilinear filtering.
RgbImage ScaleImage(const RgbImage& source, int width, int height);

}  // namespace hostsim
