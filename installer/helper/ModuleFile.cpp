// Writes and removes a file under held folders.
#include "ModuleFile.hpp"

#include <windows.h>

#include <vector>

#include "FileFacts.hpp"
#include "TargetPath.hpp"

namespace SetupHelper {
namespace {

// The delete that ignores the read-only attribute, from Windows 10 1809 on. The build targets Windows 7,
// whose headers lack it: its class number and flags as Windows defines them.
constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr DWORD kDispositionDelete = 0x1;
constexpr DWORD kDispositionIgnoreReadOnly = 0x10;
struct DispositionEx {
    DWORD flags;
};

FileOutcome Failure(DWORD error) {
    switch (error) {
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE:
            return FileOutcome::InUse;
        case ERROR_FILENAME_EXCED_RANGE:
            return FileOutcome::TooLong;
        default:
            return FileOutcome::Unwritable;
    }
}

FileOutcome LastFailure() {
    return Failure(GetLastError());
}

std::wstring FolderOf(const std::wstring& path) {
    return path.substr(0, path.rfind(L'\\'));
}

bool SameFile(HANDLE one, HANDLE other) {
    BY_HANDLE_FILE_INFORMATION first = {};
    BY_HANDLE_FILE_INFORMATION second = {};
    return GetFileInformationByHandle(one, &first) && GetFileInformationByHandle(other, &second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

// Whether the open file is reached as path within the open folder: a Unix symbolic link under Wine, which
// it reports as no reparse point, leads elsewhere.
bool NamedThere(HANDLE file, HANDLE folder, const std::wstring& path) {
    const std::wstring reached = FinalPathOf(file);
    const std::wstring named = FinalPathOf(folder) + path.substr(path.rfind(L'\\'));
    return !reached.empty() &&
           CompareStringOrdinal(reached.c_str(), static_cast<int>(reached.size()), named.c_str(),
                                static_cast<int>(named.size()), TRUE) == CSTR_EQUAL;
}

bool MarkDeleted(HANDLE file) {
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition));
}

// Marks the open file for deletion, read-only or not, through this handle (never by its name: the name
// could lead elsewhere by then). The handle needs DELETE and FILE_WRITE_ATTRIBUTES.
FileOutcome MarkDeletedAnyway(HANDLE file) {
    FILE_BASIC_INFO basic = {};
    if (!GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof(basic))) {
        return LastFailure();
    }
    if (!(basic.FileAttributes & FILE_ATTRIBUTE_READONLY)) {
        return MarkDeleted(file) ? FileOutcome::Done : LastFailure();
    }
    DispositionEx disposition = {kDispositionDelete | kDispositionIgnoreReadOnly};
    if (SetFileInformationByHandle(file, kFileDispositionInfoEx, &disposition, sizeof(disposition))) {
        return FileOutcome::Done;
    }
    // Windows before 10 (1809) and Wine (8.0) refuse that class (ERROR_INVALID_PARAMETER): the attribute is
    // cleared through the same handle, and set again should the delete still be refused. Times of 0 in
    // FILE_BASIC_INFO are left as they are.
    FILE_BASIC_INFO attributes = {};
    attributes.FileAttributes = basic.FileAttributes & ~FILE_ATTRIBUTE_READONLY;
    if (attributes.FileAttributes == 0) {
        attributes.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    }
    if (!SetFileInformationByHandle(file, FileBasicInfo, &attributes, sizeof(attributes))) {
        return LastFailure();
    }
    if (MarkDeleted(file)) {
        return FileOutcome::Done;
    }
    const DWORD error = GetLastError();
    attributes.FileAttributes = basic.FileAttributes;
    SetFileInformationByHandle(file, FileBasicInfo, &attributes, sizeof(attributes));
    return Failure(error);
}

// The folders of a path from below the drive's root down, each open until this is destroyed.
class HeldFolders {
public:
    HeldFolders() = default;
    HeldFolders(const HeldFolders&) = delete;
    HeldFolders& operator=(const HeldFolders&) = delete;
    ~HeldFolders() {
        for (HANDLE handle : handles_) {
            CloseHandle(handle);
        }
    }

    // Holds folder's parts, each checked to be a folder, no reparse point and reached where it is named
    // before the next is opened or, when create, made in it. The innermost is held for deleting too when
    // deletable.
    FileOutcome Hold(const std::wstring& folder, bool create, bool deletable) {
        std::vector<std::wstring> parts;
        if (!SplitPath(folder + L"\\x", parts)) {
            return FileOutcome::Bad;
        }
        parts.pop_back();
        std::wstring path = folder.substr(0, 2);
        for (size_t i = 0; i < parts.size(); ++i) {
            path += L"\\" + parts[i];
            const FileOutcome held = HoldPart(path, create, deletable && i + 1 == parts.size());
            if (held != FileOutcome::Done) {
                return held;
            }
        }
        return FileOutcome::Done;
    }

    HANDLE Innermost() const { return handles_.back(); }

    // Removes the innermost folder (named folder), which the caller emptied, through the handle held since
    // before: once it has checked that the name still leads to that folder. One with anything left in it
    // stays.
    FileOutcome RemoveInnermost(const std::wstring& folder) {
        HANDLE named = CreateFileW(
            folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (named == INVALID_HANDLE_VALUE) {
            return LastFailure();
        }
        const bool same = SameFile(named, Innermost());
        CloseHandle(named);
        if (!same) {
            return FileOutcome::Link;
        }
        if (!MarkDeleted(Innermost())) {
            const DWORD error = GetLastError();
            return error == ERROR_DIR_NOT_EMPTY ? FileOutcome::Done : Failure(error);
        }
        CloseHandle(Innermost());
        handles_.pop_back();
        return FileOutcome::Done;
    }

private:
    FileOutcome HoldPart(const std::wstring& path, bool create, bool deletable) {
        HANDLE handle = Open(path, deletable);
        DWORD error = GetLastError();
        // The folders above are held and checked, so a folder made here is made where it is named.
        if (handle == INVALID_HANDLE_VALUE && create && error == ERROR_FILE_NOT_FOUND) {
            if (!CreateDirectoryW(path.c_str(), nullptr)) {
                return LastFailure();
            }
            handle = Open(path, deletable);
            error = GetLastError();
        }
        if (handle == INVALID_HANDLE_VALUE) {
            return Failure(error);
        }
        handles_.push_back(handle);
        BY_HANDLE_FILE_INFORMATION information = {};
        if (!GetFileInformationByHandle(handle, &information)) {
            return LastFailure();
        }
        if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            return FileOutcome::Link;
        }
        if (!(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return FileOutcome::Unwritable;
        }
        return ReachedAsNamed(handle, path) ? FileOutcome::Done : FileOutcome::Link;
    }

    static HANDLE Open(const std::wstring& path, bool deletable) {
        return CreateFileW(
            path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE | (deletable ? DELETE : 0),
            FILE_SHARE_READ, nullptr, OPEN_EXISTING,
            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    }

    std::vector<HANDLE> handles_;
};

// Whether the open file is a plain file in folder under path: no reparse point, no second name, not
// reached elsewhere.
FileOutcome CheckPlain(HANDLE file, HANDLE folder, const std::wstring& path) {
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!GetFileInformationByHandle(file, &information)) {
        return LastFailure();
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || information.nNumberOfLinks > 1 ||
        !NamedThere(file, folder, path)) {
        return FileOutcome::Link;
    }
    return (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileOutcome::Unwritable
                                                                     : FileOutcome::Done;
}

bool CopyContents(const std::wstring& source, HANDLE target) {
    HANDLE input = CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (input == INVALID_HANDLE_VALUE) {
        return false;
    }
    std::vector<char> buffer(1 << 16);
    bool ok = true;
    for (DWORD read = 0;
         ok && ReadFile(input, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr);) {
        if (read == 0) {
            break;
        }
        DWORD written = 0;
        ok = WriteFile(target, buffer.data(), read, &written, nullptr) && written == read;
    }
    CloseHandle(input);
    return ok && FlushFileBuffers(target);
}

bool Absent(const std::wstring& path) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// What may go of the open file that has the name path in folder: a link or a second name (the name only,
// as it is opened), a file that is not read-only, and a read-only one that is ours (its SHA-256 is sha256).
FileOutcome CheckReplaceable(HANDLE file, HANDLE folder, const std::wstring& path,
                             const std::wstring& sha256) {
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!GetFileInformationByHandle(file, &information)) {
        return LastFailure();
    }
    const bool link =
        (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || information.nNumberOfLinks > 1;
    if (!link && !NamedThere(file, folder, path)) {
        return FileOutcome::Link;
    }
    if (!link && (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return FileOutcome::Unwritable;
    }
    if (!(information.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) {
        return FileOutcome::Done;
    }
    // The attribute belongs to the file behind a link or a second name, which is not ours to change.
    if (link) {
        return FileOutcome::Link;
    }
    return !sha256.empty() && Sha256Hex(file) == sha256 ? FileOutcome::Done : FileOutcome::Foreign;
}

// Takes away the name path in folder before a new file is made under it: Done when nothing has it any more.
FileOutcome Unname(const std::wstring& path, HANDLE folder, const std::wstring& sha256) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | DELETE | FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return Absent(path) ? FileOutcome::Done : Failure(error);
    }
    FileOutcome outcome = CheckReplaceable(file, folder, path, sha256);
    if (outcome == FileOutcome::Done) {
        outcome = MarkDeletedAnyway(file);
    }
    CloseHandle(file);
    // Another program's handle that shares delete keeps the file until it is closed.
    return outcome == FileOutcome::Done && !Absent(path) ? FileOutcome::InUse : outcome;
}

}  // namespace

FileOutcome PlaceFile(const std::wstring& source, const std::wstring& path, const std::wstring& sha256) {
    if (TooLongPath(path)) {
        return FileOutcome::TooLong;
    }
    HeldFolders folders;
    FileOutcome outcome = folders.Hold(FolderOf(path), true, false);
    if (outcome != FileOutcome::Done) {
        return outcome;
    }
    // The old file's name goes first; the new file is then made under that name only if nothing (a link
    // planted meanwhile, say) has it again.
    outcome = Unname(path, folders.Innermost(), sha256);
    if (outcome != FileOutcome::Done) {
        return outcome;
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return LastFailure();
    }
    const bool written = CopyContents(source, file);
    const DWORD error = GetLastError();
    if (!written) {
        MarkDeleted(file);
    }
    CloseHandle(file);
    return written ? FileOutcome::Done : Failure(error);
}

FileOutcome RemoveFile(const std::wstring& path, const std::wstring& sha256) {
    if (TooLongPath(path)) {
        return FileOutcome::TooLong;
    }
    if (Absent(path)) {
        return FileOutcome::Done;
    }
    const std::wstring folder = FolderOf(path);
    HeldFolders folders;
    FileOutcome outcome = folders.Hold(folder, false, true);
    if (outcome != FileOutcome::Done) {
        return outcome;
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | DELETE | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return Absent(path) ? FileOutcome::Done : Failure(error);
    }
    outcome = CheckPlain(file, folders.Innermost(), path);
    if (outcome == FileOutcome::Done && Sha256Hex(file) != sha256) {
        outcome = FileOutcome::Foreign;
    }
    if (outcome == FileOutcome::Done) {
        outcome = MarkDeletedAnyway(file);
    }
    CloseHandle(file);
    if (outcome != FileOutcome::Done) {
        return outcome;
    }
    // Another program's handle that shares delete keeps the file until it is closed.
    if (!Absent(path)) {
        return FileOutcome::InUse;
    }
    // While the folders above are still held: no name on the way can lead elsewhere by now.
    return folders.RemoveInnermost(folder);
}

}  // namespace SetupHelper
