// JPEG encoding and decoding on POSIX systems, through libjpeg-turbo's TurboJPEG interface.
#include "Jpeg.hpp"

#include <turbojpeg.h>

#include <algorithm>

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

}  // namespace hostsim
