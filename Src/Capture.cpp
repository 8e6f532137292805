// CaptureViewAsDataUrl: host save request, file read into a host handle, Base64 data URL.
#include "Capture.hpp"

#include <memory>

#include "ACAPinc.h"
#include "BM.hpp"
#include "Base64.hpp"
#include "ErrorReporting.hpp"
#include "File.hpp"
#include "Location.hpp"

namespace {

constexpr const char* kCaptureFileName = "KaveloArchiCapture.jpeg";
constexpr const char* kDataUrlPrefix = "data:image/jpeg;base64,";

// A host handle, killed when its owner goes, on every way out.
struct HandleKiller {
    void operator()(GSHandle handle) const { BMKillHandle(&handle); }
};
using OwnedHandle = std::unique_ptr<char*, HandleKiller>;

// False when the host did not save the view; that is reported.
bool SaveCurrentView(IO::Location& target) {
    API_FileSavePars fileSavePars{};
    fileSavePars.fileTypeID = APIFType_JPEGFile;
    fileSavePars.file = &target;
    API_SavePars_Picture picturePars{};
    picturePars.colorDepth = APIColorDepth_TC24;
    const GSErrCode result = ACAPI_ProjectOperation_Save(&fileSavePars, &picturePars);
    if (result == NoError)
        return true;
    ReportError("Error in APIDo_SaveID (JPEG)", result);
    return false;
}

// Returns a handle with the file's bytes, or nullptr when there is nothing to encode. The handle is
// zero-filled, so after a short read the bytes the read did not reach are zeros, never stale memory.
OwnedHandle ReadCaptureFile(const IO::Location& location, UInt32* length) {
    IO::File file(location, IO::File::Fail);
    file.Open(IO::File::ReadMode, IO::AccessDeniedIsAllowed);
    OwnedHandle handle;
    if (file.GetDataLength(length) != NoError) {
        ReportError("Error read", CaptureReadErrorCode);
    } else {
        handle.reset(BMAllocateHandle(static_cast<GSSize>(*length), ALLOCATE_CLEAR, 0));
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

bool CaptureViewAsDataUrl(std::string& out) {
    const IO::Name name(kCaptureFileName);
    IO::Location folder;
    API_SpecFolderID specFolderID = API_CacheFolderID;
    ACAPI_ProjectSettings_GetSpecFolder(&specFolderID, &folder);
    IO::Location capture(folder, name);

    // A file left from an earlier export is never read after a failed save: it may show another view.
    if (!SaveCurrentView(capture))
        return false;

    UInt32 length = 0;
    OwnedHandle handle = ReadCaptureFile(capture, &length);
    if (handle == nullptr)
        return true;
    std::string encoded;
    {
        const std::string bytes(*handle, length);
        handle.reset();
        encoded = Base64Encode(bytes, false);
    }
    std::string dataUrl;
    dataUrl.reserve(23 + encoded.size());
    dataUrl.append(kDataUrlPrefix).append(encoded);
    out = std::move(dataUrl);
    return true;
}
