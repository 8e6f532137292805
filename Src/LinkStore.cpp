// LinkStore over the host's files and Windows' data protection (CryptProtectData for the current user,
// no user interface) and its file calls for the steps on names.
#include "LinkStore.hpp"

#include <memory>

#include "ACAPinc.h"
#include "Capture.hpp"
#include "ErrorReporting.hpp"
#include "File.hpp"
#include "GSDebug.hpp"
#include "LinkIdentifier.hpp"
#include "Location.hpp"
#include "Win32Interface.hpp"
// After Win32Interface.hpp, which leaves it out.
#include <wincrypt.h>

namespace {

constexpr const char* kFolderName = "KAVELO";
constexpr const char* kFileName = "AccountLink.dat";
constexpr const char* kNewFileName = "AccountLink.dat.new";
// Far more than the protected 36 characters take; a longer file is not the add-on's.
constexpr UInt32 kLargestFile = 64 * 1024;
constexpr const char* kUnreadable =
    "The link to your KAVELO account stored for this user cannot be read. Please link again";

struct LocalFreer {
    void operator()(BYTE* bytes) const { LocalFree(bytes); }
};
using SystemBytes = std::unique_ptr<BYTE, LocalFreer>;

GSErrCode StoreFolder(IO::Location* folder) {
    const GSErrCode err = GetApplicationDataFolder(folder);
    if (err != NoError)
        return err;
    return folder->AppendToLocal(IO::Name(kFolderName));
}

GSErrCode PathOf(const IO::Location& location, GS::UniString* path) {
    return location.ToPath(path);
}

// For a Windows call's path argument: Wide(path.ToUStr()), whose text lives to the end of the call.
LPCWSTR Wide(const GS::Utf16Char* units) {
    return reinterpret_cast<LPCWSTR>(units);
}

bool Missing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The file's bytes; IO::File::FileNotFound when there is no file.
GSErrCode ReadFileBytes(const IO::Location& location, std::string* bytes) {
    IO::File file(location, IO::File::Fail);
    if (const GSErrCode err = file.Open(IO::File::ReadMode); err != NoError)
        return err;
    UInt32 length = 0;
    GSErrCode err = file.GetDataLength(&length);
    if (err == NoError && length > kLargestFile)
        err = APIERR_GENERAL;
    if (err == NoError) {
        bytes->assign(length, '\0');
        USize read = 0;
        err = file.ReadBin(bytes->data(), length, &read);
        if (err == NoError && read != length)
            err = APIERR_GENERAL;
    }
    file.Close();
    return err;
}

// The identifier the protected bytes hold, when they were protected for this user and hold one.
bool Unprotect(std::string bytes, std::string* id) {
    DATA_BLOB in{static_cast<DWORD>(bytes.size()), reinterpret_cast<BYTE*>(bytes.data())};
    DATA_BLOB out{};
    if (!CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
        return false;
    const SystemBytes owned(out.pbData);
    std::string text(reinterpret_cast<const char*>(out.pbData), out.cbData);
    if (!IsLinkIdentifierText(text))
        return false;
    *id = std::move(text);
    return true;
}

GSErrCode WriteFileBytes(const IO::Location& location, const BYTE* bytes, DWORD size) {
    IO::File file(location, IO::File::Create);
    GSErrCode err = file.Open(IO::File::WriteEmptyMode);
    if (err == NoError)
        err = file.WriteBin(reinterpret_cast<const char*>(bytes), size);
    const GSErrCode closed = file.Close();
    return err != NoError ? err : closed;
}

GSErrCode WriteProtected(const IO::Location& folder, const std::string& id) {
    std::string text = id;
    DATA_BLOB in{static_cast<DWORD>(text.size()), reinterpret_cast<BYTE*>(text.data())};
    DATA_BLOB out{};
    if (!CryptProtectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
        return APIERR_GENERAL;
    const SystemBytes owned(out.pbData);

    const IO::Location newFile(folder, IO::Name(kNewFileName));
    const IO::Location file(folder, IO::Name(kFileName));
    GS::UniString newPath;
    GS::UniString path;
    GSErrCode err = PathOf(newFile, &newPath);
    if (err == NoError)
        err = PathOf(file, &path);
    if (err == NoError)
        err = WriteFileBytes(newFile, out.pbData, out.cbData);
    if (err == NoError && !MoveFileExW(Wide(newPath.ToUStr()), Wide(path.ToUStr()),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        err = APIERR_GENERAL;
    if (err != NoError && !newPath.IsEmpty())
        DeleteFileW(Wide(newPath.ToUStr()));
    return err;
}

}  // namespace

namespace LinkStore {

bool Read(std::string* id) {
    IO::Location folder;
    std::string bytes;
    GSErrCode err = StoreFolder(&folder);
    if (err == NoError)
        err = ReadFileBytes(IO::Location(folder, IO::Name(kFileName)), &bytes);
    if (err == IO::File::FileNotFound) {
        DBPrintf("LinkStore::Read: none\n");
        return false;
    }
    if (err == NoError && !Unprotect(std::move(bytes), id))
        err = APIERR_GENERAL;
    if (err != NoError) {
        DBPrintf("LinkStore::Read: unreadable (%d)\n", static_cast<int>(err));
        ReportError(kUnreadable, err);
        return false;
    }
    DBPrintf("LinkStore::Read: %s\n", TraceText(*id).c_str());
    return true;
}

GSErrCode Write(const std::string& id) {
    IO::Location folder;
    if (const GSErrCode err = StoreFolder(&folder); err != NoError)
        return err;
    GS::UniString folderPath;
    if (const GSErrCode err = PathOf(folder, &folderPath); err != NoError)
        return err;
    // An existing folder is fine; any other failure shows when the file is written.
    CreateDirectoryW(Wide(folderPath.ToUStr()), nullptr);
    const GSErrCode err = WriteProtected(folder, id);
    DBPrintf("LinkStore::Write: %s, %d\n", TraceText(id).c_str(), static_cast<int>(err));
    return err;
}

GSErrCode Remove() {
    IO::Location folder;
    GS::UniString folderPath;
    GS::UniString path;
    GSErrCode err = StoreFolder(&folder);
    if (err == NoError)
        err = PathOf(folder, &folderPath);
    if (err == NoError)
        err = PathOf(IO::Location(folder, IO::Name(kFileName)), &path);
    if (err != NoError)
        return err;
    if (!DeleteFileW(Wide(path.ToUStr())) && !Missing(GetLastError())) {
        DBPrintf("LinkStore::Remove: failed (%d)\n", static_cast<int>(GetLastError()));
        return APIERR_GENERAL;
    }
    // Only when empty: the folder may hold what the add-on never put there.
    RemoveDirectoryW(Wide(folderPath.ToUStr()));
    DBPrintf("LinkStore::Remove: removed\n");
    return NoError;
}

std::string TraceText(const std::string& id) {
    if (id.empty())
        return "none";
    return id.substr(0, 4) + "\xE2\x80\xA6";
}

}  // namespace LinkStore
