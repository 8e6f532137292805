// Writes and removes the module file itself, with every folder on its path held open while it does: held
// without sharing delete or write, none of them can be renamed, removed or made a link in the meantime,
// so what was checked is what is written or deleted. Each folder is checked as it is held, before a folder
// is made inside it.
#pragma once

#include <string>

namespace SetupHelper {

enum class FileOutcome {
    Done,        // written, or removed (or not there)
    Link,        // a link lies on the path
    Bad,         // not a full drive path, or with wildcards, streams, "." or ".."
    Foreign,     // not the file installed (another SHA-256), or read-only and not ours: left alone
    InUse,       // a program has the file open and keeps it from being replaced or removed
    Unwritable,  // could not be written or removed for another reason (a file stands for a folder...)
    TooLong      // the path is longer than Windows programs reach without long-path support
};

// Puts a copy of source at path, making the folders it lacks. An existing file at path is replaced as a
// name, never written through; a read-only one only when its SHA-256 is sha256 (lower-case hex; "" for
// none recorded): it is then a module this installer put there, and the attribute is no reason to stop.
FileOutcome PlaceFile(const std::wstring& source, const std::wstring& path, const std::wstring& sha256);

// Deletes the file at path when its SHA-256 is sha256 (lower-case hex), read-only or not, checks that it
// is gone, and then removes the folder it was in when that is empty, through the handle held since before
// the delete and while the folders above it are still held.
FileOutcome RemoveFile(const std::wstring& path, const std::wstring& sha256);

}  // namespace SetupHelper
