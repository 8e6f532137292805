// The platform-neutral parts of hostsim's images: JPEG files and a plain bilinear scaler for the user's
// view picture. The codec itself is JpegPosix.cpp (libjpeg-turbo) or JpegWindows.cpp (WIC).
#include "Jpeg.hpp"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

#include "Text.hpp"

namespace hostsim {

bool ReadJpegFile(const std::string& path, RgbImage* image, std::string* error) {
    std::ifstream in(PathOf(path), std::ios::binary);
    if (!in) {
        *error = "cannot open " + path;
        return false;
    }
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                           std::istreambuf_iterator<char>());
    if (!DecodeJpeg(bytes, image, error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}

bool WriteFileBytes(const std::string& path, const std::vector<unsigned char>& bytes, std::string* error) {
    std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
    if (!out) {
        *error = "cannot create " + path;
        return false;
    }
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        *error = "cannot write " + path;
        return false;
    }
    return true;
}

RgbImage ScaleImage(const RgbImage& source, int width, int height) {
    RgbImage scaled(width, height);
    if (source.width <= 0 || source.height <= 0)
        return scaled;
    const double sx = static_cast<double>(source.width) / width;
    const double sy = static_cast<double>(source.height) / height;
    for (int y = 0; y < height; ++y) {
        const double fy = std::clamp((y + 0.5) * sy - 0.5, 0.0, source.height - 1.0);
        const int y0 = static_cast<int>(fy);
        const int y1 = std::min(y0 + 1, source.height - 1);
        const double wy = fy - y0;
        for (int x = 0; x < width; ++x) {
            const double fx = std::clamp((x + 0.5) * sx - 0.5, 0.0, source.width - 1.0);
            const int x0 = static_cast<int>(fx);
            const int x1 = std::min(x0 + 1, source.width - 1);
            const double wx = fx - x0;
            for (int c = 0; c < 3; ++c) {
                const double top = source.At(x0, y0)[c] * (1 - wx) + source.At(x1, y0)[c] * wx;
                const double bottom = source.At(x0, y1)[c] * (1 - wx) + source.At(x1, y1)[c] * wx;
                scaled.At(x, y)[c] = static_cast<unsigned char>(std::lround(top * (1 - wy) + bottom * wy));
            }
        }
    }
    return scaled;
}

}  // namespace hostsim
