// LinkStore over the host's files and Windows' data protection (CryptProtectData for the current user,
// no user interface), the shell's known folders and its file calls for the steps on names.
#include "LinkStore.hpp"

#include <memory>
#include <type_traits>

#include "ACAPinc.h"
#include "ErrorReporting.hpp"
#include "File.hpp"
#include "GSDebug.hpp"
#include "LinkIdentifier.hpp"
#include "Location.hpp"
#include "Win32Interface.hpp"
// After Win32Interface.hpp, which leaves them out.
#include <knownfolders.h>
#include <shlobj.h>
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

struct TaskMemoryFreer {
    void operator()(PWSTR text) const { CoTaskMemFree(text); }
};
using ShellText = std::unique_ptr<std::remove_pointer_t<PWSTR>, TaskMemoryFreer>;

// KAVELO in the user's roaming application-data folder: the user's own, it follows a roaming profile (and
// the data protection's keys with it), and nothing of the host cleans or moves it.
GSErrCode StoreFolder(IO::Location* folder) {
    PWSTR path = nullptr;
    const HRESULT result = SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_CREATE, nullptr, &path);
    // Freed on every way out, failure included, as the call asks.
    const ShellText owned(path);
    if (FAILED(result)) {
        DBPrintf("LinkStore: no roaming application-data folder (0x%08X)\n", static_cast<unsigned>(result));
        return APIERR_GENERAL;
    }
    *folder = IO::Location(GS::UniString(reinterpret_cast<const GS::Utf16Char*>(path)));
    return folder->AppendToLocal(IO::Name(kFolderName));
}

// Where the last build kept the store: KAVELO in the host's cache folder, which users clean and move.
GSErrCode EarlierStoreFolder(IO::Location* folder) {
    API_SpecFolderID specFolderID = API_CacheFolderID;
    const GSErrCode err = ACAPI_ProjectSettings_GetSpecFolder(&specFolderID, folder);
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

// The file's bytes; IO::File::FileNotFound when there is no file. Whether there is one is the connection's
// outcome (GetStatus), the one answer the kit documents for it.
GSErrCode ReadFileBytes(const IO::Location& location, std::string* bytes) {
    IO::File file(location, IO::File::Fail);
    if (const GSErrCode status = file.GetStatus(); status != NoError)
        return status;
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
    if (const GSErrCode status = file.GetStatus(); status != NoError)
        return status;
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

// The identifier stored in `folder` for this user: NoError, IO::File::FileNotFound when none is stored
// there, another code when it cannot be read or does not open.
GSErrCode ReadStore(const IO::Location& folder, std::string* id) {
    std::string bytes;
    const GSErrCode err = ReadFileBytes(IO::Location(folder, IO::Name(kFileName)), &bytes);
    if (err != NoError)
        return err;
    if (!Unprotect(std::move(bytes), id))
        return APIERR_GENERAL;
    return NoError;
}

GSErrCode WriteStore(const IO::Location& folder, const std::string& id) {
    GS::UniString folderPath;
    if (const GSErrCode err = PathOf(folder, &folderPath); err != NoError)
        return err;
    // An existing folder is fine; any other failure shows when the file is written.
    CreateDirectoryW(Wide(folderPath.ToUStr()), nullptr);
    return WriteProtected(folder, id);
}

// Removes the store's file in `folder`, and the folder when nothing else is left in it. No file is no
// failure.
GSErrCode RemoveStore(const IO::Location& folder) {
    GS::UniString folderPath;
    GS::UniString path;
    GSErrCode err = PathOf(folder, &folderPath);
    if (err == NoError)
        err = PathOf(IO::Location(folder, IO::Name(kFileName)), &path);
    if (err != NoError)
        return err;
    if (!DeleteFileW(Wide(path.ToUStr())) && !Missing(GetLastError())) {
        DBPrintf("LinkStore: not removed (%d)\n", static_cast<int>(GetLastError()));
        return APIERR_GENERAL;
    }
    // Only when empty: the folder may hold what the add-on never put there.
    RemoveDirectoryW(Wide(folderPath.ToUStr()));
    return NoError;
}

// A store that the last build kept in the host's cache folder, moved into `folder`: written there anew,
// then removed from the cache folder, so that the user stays linked. IO::File::FileNotFound when there is
// none (or the host names no cache folder). A store that cannot be written in the new place is still this
// read's identifier, and the move is tried again at the next read.
GSErrCode MoveEarlierStore(const IO::Location& folder, std::string* id) {
    IO::Location earlier;
    if (EarlierStoreFolder(&earlier) != NoError)
        return IO::File::FileNotFound;
    if (const GSErrCode err = ReadStore(earlier, id); err != NoError)
        return err;
    if (const GSErrCode err = WriteStore(folder, *id); err != NoError) {
        DBPrintf("LinkStore::Read: not moved from the host's cache folder (%d)\n", static_cast<int>(err));
        return NoError;
    }
    RemoveStore(earlier);
    DBPrintf("LinkStore::Read: moved from the host's cache folder\n");
    return NoError;
}

}  // namespace

namespace LinkStore {

bool Read(std::string* id) {
    IO::Location folder;
    GSErrCode err = StoreFolder(&folder);
    if (err == NoError)
        err = ReadStore(folder, id);
    if (err == IO::File::FileNotFound)
        err = MoveEarlierStore(folder, id);
    if (err == IO::File::FileNotFound) {
        DBPrintf("LinkStore::Read: none\n");
        return false;
    }
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
    GSErrCode err = StoreFolder(&folder);
    if (err == NoError)
        err = WriteStore(folder, id);
    DBPrintf("LinkStore::Write: %s, %d\n", TraceText(id).c_str(), static_cast<int>(err));
    return err;
}

GSErrCode Remove() {
    IO::Location folder;
    GSErrCode err = StoreFolder(&folder);
    if (err == NoError)
        err = RemoveStore(folder);
    // A store left in the cache folder would be moved back at the next read.
    IO::Location earlier;
    if (err == NoError && EarlierStoreFolder(&earlier) == NoError)
        err = RemoveStore(earlier);
    if (err != NoError) {
        DBPrintf("LinkStore::Remove: failed (%d)\n", static_cast<int>(err));
        return err;
    }
    DBPrintf("LinkStore::Remove: removed\n");
    return NoError;
}

std::string TraceText(const std::string& id) {
    if (id.empty())
        return "none";
    return id.substr(0, 4) + "\xE2\x80\xA6";
}

}  // namespace LinkStore
