// CaptureViewAsDataUrl: host save request, file read into a host handle, Base64 data URL.
#include "Capture.hpp"

#include "ACAPinc.h"
#include "BM.hpp"
#include "Base64.hpp"
#include "ErrorReporting.hpp"
#include "File.hpp"
#include "Location.hpp"

namespace {

constexpr const char* kCaptureFileName = "KaveloArchiCapture.jpeg";
constexpr const char* kDataUrlPrefix = "data:image/jpeg;base64,";

void SaveCurrentView(IO::Location& target) {
    API_FileSavePars fileSavePars{};
    fileSavePars.fileTypeID = APIFType_JPEGFile;
    fileSavePars.file = &target;
    API_SavePars_Picture picturePars{};
    picturePars.colorDepth = APIColorDepth_TC24;
    const GSErrCode result = ACAPI_ProjectOperation_Save(&fileSavePars, &picturePars);
    if (result != NoError)
        ReportError("Error in APIDo_SaveID (JPEG)", result);
}

// Returns a handle with the file's bytes, or nullptr when there is nothing to encode. The handle is
// zero-filled, so after a short read the bytes the read did not reach are zeros, never stale memory.
GSHandle ReadCaptureFile(const IO::Location& location, UInt32* length) {
    IO::File file(location, IO::File::Fail);
    file.Open(IO::File::ReadMode, IO::AccessDeniedIsAllowed);
    GSHandle handle = nullptr;
    if (file.GetDataLength(length) != NoError) {
        ReportError("Error read", CaptureReadErrorCode);
    } else {
        handle = BMAllocateHandle(static_cast<GSSize>(*length), ALLOCATE_CLEAR, 0);
        USize read = 0;
        if (handle != nullptr) {
            file.ReadBin(*handle, *length, &read);
            if (read != *length)
                ReportError("Error read", CaptureReadErrorCode);
        }
    }
    file.Close();
    return handle;
}

}  // namespace

void CaptureViewAsDataUrl(std::string& out) {
    const IO::Name name(kCaptureFileName);
    IO::Location folder;
    API_SpecFolderID specFolderID = API_CacheFolderID;
    ACAPI_ProjectSettings_GetSpecFolder(&specFolderID, &folder);
    IO::Location capture(folder, name);

    SaveCurrentView(capture);

    UInt32 length = 0;
    GSHandle handle = ReadCaptureFile(capture, &length);
    if (handle == nullptr)
        return;
    std::string encoded;
    {
        const std::string bytes(*handle, length);
        BMKillHandle(&handle);
        encoded = Base64Encode(bytes, false);
    }
    std::string dataUrl;
    dataUrl.reserve(23 + encoded.size());
    dataUrl.append(kDataUrlPrefix).append(encoded);
    out = std::move(dataUrl);
}
