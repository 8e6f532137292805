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

// Returns a handle holding every byte of the file, or nullptr after a failure, which is reported: a
// length that cannot be had, a buffer that cannot be allocated, a short read.
GSErrCode ReadWhole(IO::File& file, UInt32* length, OwnedHandle* handle) {
    if (file.GetDataLength(length) != NoError)
        return CaptureReadErrorCode;
    handle->reset(BMAllocateHandle(static_cast<GSSize>(*length), ALLOCATE_CLEAR, 0));
    if (*handle == nullptr)
        return APIERR_MEMFULL;
    USize read = 0;
    file.ReadBin(**handle, *length, &read);
    return read == *length ? NoError : CaptureReadErrorCode;
}

OwnedHandle ReadCaptureFile(const IO::Location& location, UInt32* length) {
    IO::File file(location, IO::File::Fail);
    file.Open(IO::File::ReadMode, IO::AccessDeniedIsAllowed);
    OwnedHandle handle;
    const GSErrCode failure = ReadWhole(file, length, &handle);
    file.Close();
    if (failure == NoError)
        return handle;
    ReportError("Error read", failure);
    return nullptr;
}

}  // namespace

GSErrCode GetApplicationDataFolder(IO::Location* folder) {
    API_SpecFolderID specFolderID = API_CacheFolderID;
    return ACAPI_ProjectSettings_GetSpecFolder(&specFolderID, folder);
}

bool CaptureViewAsDataUrl(std::string& out) {
    const IO::Name name(kCaptureFileName);
    IO::Location folder;
    // A folder the host does not name leaves an empty location, and the save below fails and says so.
    GetApplicationDataFolder(&folder);
    IO::Location capture(folder, name);

    // A file left from an earlier export is never read after a failed save: it may show another view.
    // Without the whole picture nothing is sent: an empty or partial image would still carry the key.
    if (!SaveCurrentView(capture))
        return false;

    UInt32 length = 0;
    OwnedHandle handle = ReadCaptureFile(capture, &length);
    if (handle == nullptr)
        return false;
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
