// TurboJPEG-based encoding and decoding, plus a plain bilinear scaler for the user's view picture.
#include "Jpeg.hpp"

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

namespace hostsim {

namespace {

class TjHandle {
public:
    explicit TjHandle(tjhandle handle) : handle_(handle) {}
    TjHandle(const TjHandle&) = delete;
    TjHandle& operator=(const TjHandle&) = delete;
    ~TjHandle() {
        if (handle_ != nullptr)
            tjDestroy(handle_);
    }
    tjhandle Get() const { return handle_; }

private:
    tjhandle handle_;
};

std::string TjError(tjhandle handle) {
    return tjGetErrorStr2(handle);
}

}  // namespace

bool EncodeJpeg(const RgbImage& image, int quality, std::vector<unsigned char>* jpeg, std::string* error) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * image.height * 3) {
        *error = "cannot encode an empty or inconsistent image";
        return false;
    }
    TjHandle compressor(tjInitCompress());
    if (compressor.Get() == nullptr) {
        *error = "cannot start the JPEG encoder";
        return false;
    }
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const int result =
        tjCompress2(compressor.Get(), image.pixels.data(), image.width, 0, image.height, TJPF_RGB, &buffer,
                    &size, TJSAMP_420, std::clamp(quality, 1, 100), TJFLAG_ACCURATEDCT);
    if (result != 0) {
        *error = "JPEG encoding failed: " + TjError(compressor.Get());
        tjFree(buffer);
        return false;
    }
    jpeg->assign(buffer, buffer + size);
    tjFree(buffer);
    return true;
}

bool DecodeJpeg(const std::vector<unsigned char>& jpeg, RgbImage* image, std::string* error) {
    TjHandle decompressor(tjInitDecompress());
    if (decompressor.Get() == nullptr) {
        *error = "cannot start the JPEG decoder";
        return false;
    }
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colorspace = 0;
    if (jpeg.empty() ||
        tjDecompressHeader3(decompressor.Get(), jpeg.data(), static_cast<unsigned long>(jpeg.size()), &width,
                            &height, &subsampling, &colorspace) != 0) {
        *error = "not a JPEG: " + (jpeg.empty() ? std::string("no bytes") : TjError(decompressor.Get()));
        return false;
    }
    RgbImage decoded(width, height);
    if (tjDecompress2(decompressor.Get(), jpeg.data(), static_cast<unsigned long>(jpeg.size()),
                      decoded.pixels.data(), width, 0, height, TJPF_RGB, TJFLAG_ACCURATEDCT) != 0) {
        *error = "JPEG decoding failed: " + TjError(decompressor.Get());
        return false;
    }
    *image = std::move(decoded);
    return true;
}

bool ReadJpegFile(const std::string& path, RgbImage* image, std::string* error) {
    std::ifstream in(path, std::ios::binary);
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
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
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
