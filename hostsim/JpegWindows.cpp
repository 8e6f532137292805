// JPEG encoding and decoding on Windows, through the Windows Imaging Component (WIC), which Wine also
// provides. COM is entered for the calling thread for the duration of each call.
#include "Jpeg.hpp"

#include <windows.h>
// After windows.h.
#include <wincodec.h>

#include <algorithm>

namespace hostsim {

namespace {

// Owns one COM interface pointer.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() {
        if (pointer_ != nullptr)
            pointer_->Release();
    }
    T** Out() { return &pointer_; }
    T* operator->() const { return pointer_; }
    T* Get() const { return pointer_; }

private:
    T* pointer_ = nullptr;
};

// COM for this thread while it lives; a thread already in COM keeps its own apartment.
class ComScope {
public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    ~ComScope() {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    bool Usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

private:
    HRESULT result_;
};

bool Failed(HRESULT result, const char* what, std::string* error) {
    if (SUCCEEDED(result))
        return false;
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lx", static_cast<unsigned long>(result));
    *error = std::string(what) + " failed (" + code + ")";
    return true;
}

// WIC's 24-bit formats hold blue first; RgbImage holds red first.
void SwapRedBlue(std::vector<unsigned char>* pixels) {
    for (std::size_t at = 0; at + 2 < pixels->size(); at += 3) std::swap((*pixels)[at], (*pixels)[at + 2]);
}

bool MakeFactory(ComPtr<IWICImagingFactory>* factory, std::string* error) {
    return !Failed(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IWICImagingFactory, reinterpret_cast<void**>(factory->Out())),
                   "creating the WIC imaging factory", error);
}

// Sets the encoder's quality (0..1) and 4:2:0 chroma subsampling.
bool SetJpegOptions(IPropertyBag2* options, int quality, std::string* error) {
    PROPBAG2 names[2] = {};
    names[0].pstrName = const_cast<LPOLESTR>(L"ImageQuality");
    names[1].pstrName = const_cast<LPOLESTR>(L"JpegYCrCbSubsampling");
    VARIANT values[2];
    VariantInit(&values[0]);
    VariantInit(&values[1]);
    values[0].vt = VT_R4;
    values[0].fltVal = static_cast<float>(std::clamp(quality, 1, 100)) / 100.0f;
    values[1].vt = VT_UI1;
    values[1].bVal = WICJpegYCrCbSubsampling420;
    if (Failed(options->Write(1, &names[0], &values[0]), "setting the JPEG quality", error))
        return false;
    // Not every WIC knows the subsampling option; its default for colour images is 4:2:0.
    options->Write(1, &names[1], &values[1]);
    return true;
}

}  // namespace

bool EncodeJpeg(const RgbImage& image, int quality, std::vector<unsigned char>* jpeg, std::string* error) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * image.height * 3) {
        *error = "cannot encode an empty or inconsistent image";
        return false;
    }
    ComScope com;
    if (!com.Usable()) {
        *error = "cannot enter COM for the JPEG encoder";
        return false;
    }
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    if (!MakeFactory(&factory, error) ||
        Failed(CreateStreamOnHGlobal(nullptr, TRUE, stream.Out()), "creating a memory stream", error) ||
        Failed(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, encoder.Out()),
               "creating the JPEG encoder", error) ||
        Failed(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache), "starting the JPEG encoder",
               error) ||
        Failed(encoder->CreateNewFrame(frame.Out(), options.Out()), "making a JPEG frame", error) ||
        !SetJpegOptions(options.Get(), quality, error) ||
        Failed(frame->Initialize(options.Get()), "starting the JPEG frame", error) ||
        Failed(frame->SetSize(image.width, image.height), "sizing the JPEG frame", error))
        return false;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (Failed(frame->SetPixelFormat(&format), "choosing the pixel format", error))
        return false;
    if (format != GUID_WICPixelFormat24bppBGR) {
        *error = "the JPEG encoder does not take 24-bit colour";
        return false;
    }
    std::vector<unsigned char> bgr = image.pixels;
    SwapRedBlue(&bgr);
    const UINT stride = static_cast<UINT>(image.width) * 3;
    if (Failed(frame->WritePixels(image.height, stride, static_cast<UINT>(bgr.size()), bgr.data()),
               "encoding the pixels", error) ||
        Failed(frame->Commit(), "finishing the JPEG frame", error) ||
        Failed(encoder->Commit(), "finishing the JPEG", error))
        return false;
    HGLOBAL memory = nullptr;
    if (Failed(GetHGlobalFromStream(stream.Get(), &memory), "reading the encoded JPEG", error))
        return false;
    STATSTG status = {};
    if (Failed(stream->Stat(&status, STATFLAG_NONAME), "measuring the encoded JPEG", error))
        return false;
    const auto* bytes = static_cast<const unsigned char*>(GlobalLock(memory));
    if (bytes == nullptr) {
        *error = "cannot read the encoded JPEG";
        return false;
    }
    jpeg->assign(bytes, bytes + status.cbSize.QuadPart);
    GlobalUnlock(memory);
    return true;
}

bool DecodeJpeg(const std::vector<unsigned char>& jpeg, RgbImage* image, std::string* error) {
    if (jpeg.size() < 3 || jpeg[0] != 0xFF || jpeg[1] != 0xD8 || jpeg[2] != 0xFF) {
        *error = "not a JPEG: " + std::string(jpeg.empty() ? "no bytes" : "no JPEG start marker");
        return false;
    }
    ComScope com;
    if (!com.Usable()) {
        *error = "cannot enter COM for the JPEG decoder";
        return false;
    }
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICBitmapSource> bgr;
    BYTE* bytes = const_cast<BYTE*>(jpeg.data());
    if (!MakeFactory(&factory, error) ||
        Failed(factory->CreateStream(stream.Out()), "creating a stream", error) ||
        Failed(stream->InitializeFromMemory(bytes, static_cast<DWORD>(jpeg.size())), "reading the bytes",
               error) ||
        Failed(factory->CreateDecoderFromStream(stream.Get(), &GUID_ContainerFormatJpeg,
                                                WICDecodeMetadataCacheOnDemand, decoder.Out()),
               "not a JPEG: opening it", error) ||
        Failed(decoder->GetFrame(0, frame.Out()), "not a JPEG: reading its frame", error) ||
        Failed(WICConvertBitmapSource(GUID_WICPixelFormat24bppBGR, frame.Get(), bgr.Out()),
               "converting to 24-bit colour", error))
        return false;
    UINT width = 0;
    UINT height = 0;
    if (Failed(bgr->GetSize(&width, &height), "reading the JPEG's size", error))
        return false;
    RgbImage decoded(static_cast<int>(width), static_cast<int>(height));
    if (Failed(bgr->CopyPixels(nullptr, width * 3, static_cast<UINT>(decoded.pixels.size()),
                               decoded.pixels.data()),
               "JPEG decoding", error))
        return false;
    SwapRedBlue(&decoded.pixels);
    *image = std::move(decoded);
    return true;
}

}  // namespace hostsim
