// Writes and removes a file under held folders.
#include "ModuleFile.hpp"

#include <windows.h>

#include <vector>

#include "FileFacts.hpp"
#include "TargetPath.hpp"

namespace SetupHelper {
namespace {

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

    // Holds folder's parts (creating the missing ones when create), each checked to be a folder and no
    // reparse point.
    FileOutcome Hold(const std::wstring& folder, bool create) {
        std::vector<std::wstring> parts;
        if (!SplitPath(folder + L"\\x", parts)) {
            return FileOutcome::Bad;
        }
        parts.pop_back();
        std::wstring path = folder.substr(0, 2);
        for (const std::wstring& part : parts) {
            path += L"\\" + part;
            HANDLE handle = Open(path);
            if (handle == INVALID_HANDLE_VALUE && create && GetLastError() == ERROR_FILE_NOT_FOUND &&
                CreateDirectoryW(path.c_str(), nullptr)) {
                handle = Open(path);
            }
            if (handle == INVALID_HANDLE_VALUE) {
                return FileOutcome::Unwritable;
            }
            handles_.push_back(handle);
            BY_HANDLE_FILE_INFORMATION information = {};
            if (!GetFileInformationByHandle(handle, &information)) {
                return FileOutcome::Unwritable;
            }
            if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                return FileOutcome::Link;
            }
            if (!(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                return FileOutcome::Unwritable;
            }
        }
        return handles_.empty() || ReachedAsNamed(handles_.back(), folder) ? FileOutcome::Done
                                                                           : FileOutcome::Link;
    }

private:
    static HANDLE Open(const std::wstring& path) {
        return CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                           FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    }

    std::vector<HANDLE> handles_;
};

std::wstring FolderOf(const std::wstring& path) {
    return path.substr(0, path.rfind(L'\\'));
}

// Whether the open file is a plain file: no reparse point, no second name.
FileOutcome CheckPlain(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!GetFileInformationByHandle(file, &information)) {
        return FileOutcome::Unwritable;
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || information.nNumberOfLinks > 1) {
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

bool MarkDeleted(HANDLE file) {
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition));
}

bool Absent(const std::wstring& path) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Takes away the name path (the name only, when it is a link or one of two names); true when nothing
// has it any more.
bool Unname(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return Absent(path);
    }
    const bool marked = MarkDeleted(file);
    CloseHandle(file);
    return marked && Absent(path);
}

}  // namespace

FileOutcome PlaceFile(const std::wstring& source, const std::wstring& path) {
    HeldFolders folders;
    const FileOutcome held = folders.Hold(FolderOf(path), true);
    if (held != FileOutcome::Done) {
        return held;
    }
    // The old file's name goes first; the new file is then made under that name only if nothing (a link
    // planted meanwhile, say) has it again.
    if (!Unname(path)) {
        return FileOutcome::Unwritable;
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return FileOutcome::Unwritable;
    }
    const bool written = CopyContents(source, file);
    if (!written) {
        MarkDeleted(file);
    }
    CloseHandle(file);
    return written ? FileOutcome::Done : FileOutcome::Unwritable;
}

FileOutcome RemoveFile(const std::wstring& path, const std::wstring& sha256) {
    if (Absent(path)) {
        return FileOutcome::Done;
    }
    HeldFolders folders;
    const FileOutcome held = folders.Hold(FolderOf(path), false);
    if (held != FileOutcome::Done) {
        return held;
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return Absent(path) ? FileOutcome::Done : FileOutcome::Unwritable;
    }
    FileOutcome outcome = CheckPlain(file);
    if (outcome == FileOutcome::Done && Sha256Hex(file) != sha256) {
        outcome = FileOutcome::Foreign;
    }
    if (outcome == FileOutcome::Done && !MarkDeleted(file)) {
        outcome = FileOutcome::Unwritable;
    }
    CloseHandle(file);
    // Another program's handle that shares delete keeps the file until it is closed.
    if (outcome == FileOutcome::Done && !Absent(path)) {
        outcome = FileOutcome::Unwritable;
    }
    return outcome;
}

}  // namespace SetupHelper
