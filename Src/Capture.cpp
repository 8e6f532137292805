// CaptureViewAsDataUrl: host save request into the temporary folder, file read into a host handle and
// deleted, Base64 data URL.
#include "Capture.hpp"

#include <memory>
#include <string>

#include "ACAPinc.h"
#include "BM.hpp"
#include "Base64.hpp"
#include "ErrorReporting.hpp"
#include "File.hpp"
#include "GSDebug.hpp"
#include "LinkIdentifier.hpp"
#include "Location.hpp"
#include "Win32Interface.hpp"

namespace {

constexpr const char* kCaptureFileStem = "KaveloArchiCapture-";
constexpr const char* kCaptureFileExtension = ".jpeg";
constexpr const char* kDataUrlPrefix = "data:image/jpeg;base64,";

// A host handle, killed when its owner goes, on every way out.
struct HandleKiller {
    void operator()(GSHandle handle) const { BMKillHandle(&handle); }
};
using OwnedHandle = std::unique_ptr<char*, HandleKiller>;

// Deletes the capture file when it goes out of scope, whatever the export did meanwhile. Its path is made
// up front, so that going out of scope asks for no memory. A file that is not there (the save failed
// before writing) is no failure; any other is traced: nothing more can be done.
class CaptureFile {
public:
    explicit CaptureFile(const IO::Location& location) : location_(location) {
        GS::UniString path;
        if (location_.ToPath(&path) != NoError)
            return;
        const auto units = path.ToUStr();
        wide_.assign(reinterpret_cast<const char16_t*>(units.Get()), path.GetLength());
    }
    CaptureFile(const CaptureFile&) = delete;
    CaptureFile& operator=(const CaptureFile&) = delete;
    ~CaptureFile() {
        if (wide_.empty() || DeleteFileW(reinterpret_cast<LPCWSTR>(wide_.c_str())) ||
            GetLastError() == ERROR_FILE_NOT_FOUND)
            return;
        DBPrintf("The capture file was not deleted (%d)\n", static_cast<int>(GetLastError()));
    }
    IO::Location& Location() { return location_; }

private:
    IO::Location location_;
    std::u16string wide_;
};

// The host's temporary folder, which the host empties at launch.
GSErrCode TemporaryFolder(IO::Location* folder) {
    API_SpecFolderID specFolderID = API_TemporaryFolderID;
    return ACAPI_ProjectSettings_GetSpecFolder(&specFolderID, folder);
}

GSErrCode SaveCurrentView(IO::Location& target) {
    API_FileSavePars fileSavePars{};
    fileSavePars.fileTypeID = APIFType_JPEGFile;
    fileSavePars.file = &target;
    API_SavePars_Picture picturePars{};
    picturePars.colorDepth = APIColorDepth_TC24;
    return ACAPI_ProjectOperation_Save(&fileSavePars, &picturePars);
}

// Fills *handle with every byte of the file: fails when its length cannot be had, a buffer cannot be
// allocated or the read comes up short.
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

// The whole file, once it connected (GetStatus, the one answer the kit documents for a missing file) and
// opened.
GSErrCode OpenAndRead(IO::File& file, UInt32* length, OwnedHandle* handle) {
    if (file.GetStatus() != NoError || file.Open(IO::File::ReadMode, IO::AccessDeniedIsAllowed) != NoError)
        return CaptureReadErrorCode;
    return ReadWhole(file, length, handle);
}

GSErrCode ReadCaptureFile(const IO::Location& location, UInt32* length, OwnedHandle* handle) {
    IO::File file(location, IO::File::Fail);
    const GSErrCode result = OpenAndRead(file, length, handle);
    file.Close();
    return result;
}

// Saves the view under `name` in `folder` and reads it back whole into *handle; the file is gone when this
// returns. Without the whole picture nothing is sent: an empty or partial image would still carry the key.
Failure SaveAndRead(const IO::Location& folder, const std::string& name, UInt32* length,
                    OwnedHandle* handle) {
    CaptureFile capture(IO::Location(folder, IO::Name(name.c_str())));
    if (const GSErrCode err = SaveCurrentView(capture.Location()); err != NoError)
        return {"Error in APIDo_SaveID (JPEG)", err};
    if (const GSErrCode err = ReadCaptureFile(capture.Location(), length, handle); err != NoError)
        return {"Error read", err};
    return NoFailure;
}

}  // namespace

Failure CaptureViewAsDataUrl(std::string& out) {
    IO::Location folder;
    if (const GSErrCode err = TemporaryFolder(&folder); err != NoError)
        return {"Error in APIEnv_GetSpecFolderID", err};
    // Random, as the link identifier is: unique to this export on this computer and in any other instance.
    const std::string unique = GenerateUuidV4();
    if (unique.empty())
        return {"Error", APIERR_GENERAL};
    UInt32 length = 0;
    OwnedHandle handle;
    if (const Failure failure =
            SaveAndRead(folder, kCaptureFileStem + unique + kCaptureFileExtension, &length, &handle);
        failure.code != NoError)
        return failure;
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
    return NoFailure;
}
