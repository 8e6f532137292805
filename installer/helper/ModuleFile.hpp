// Writes and removes the module file itself, with every folder on its path held open while it does: held
// without sharing delete or write, none of them can be renamed, removed or made a link in the meantime,
// so what was checked is what is written or deleted.
#pragma once

#include <string>

namespace SetupHelper {

enum class FileOutcome {
    Done,       // written, or removed (or not there)
    Link,       // a link lies on the path
    Bad,        // not a full drive path, or with wildcards, streams, "." or ".."
    Foreign,    // not the file installed (another SHA-256): left alone
    Unwritable  // could not be written or removed (a program holds it, a file stands for a folder...)
};

// Puts a copy of source at path, making the folders it lacks. An existing file at path is replaced as a
// name, never written through.
FileOutcome PlaceFile(const std::wstring& source, const std::wstring& path);

// Deletes the file at path when its SHA-256 is sha256 (lower-case hex), and checks that it is gone.
FileOutcome RemoveFile(const std::wstring& path, const std::wstring& sha256);

}  // namespace SetupHelper
