// What a path the installer is about to write or delete really names: whether a link (junction, symbolic
// link, mount point, or a file with a second name) lies on it, and its long, final form.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace SetupHelper {

enum class PathVerdict {
    Plain,   // no link on the path; finalPath is its long, final form
    Link,    // a link lies on the path: culprit names where
    Bad,     // not a full path of a drive (X:\...), or with wildcards, streams, "." or ".." in it
    TooLong  // the path, or its long, final form, is too long (TooLongPath)
};

struct PathFacts {
    PathVerdict verdict = PathVerdict::Bad;
    std::wstring finalPath;  // with the part that does not exist yet appended as given
    std::wstring culprit;
    bool isFile = false;  // the whole path exists and is a file
};

// Whether path is longer than Windows programs reach without long-path support (MAX_PATH, its end
// included): Archicad could not load a module from there, nor does this program reach it there.
bool TooLongPath(const std::wstring& path);

// Looks at every part of path that exists, from the drive's root down.
PathFacts InspectPath(const std::wstring& path);

// The form Windows reaches the open file or folder under, links followed, without "\\?\"; empty on failure.
std::wstring FinalPathOf(HANDLE handle);

// Whether Windows reaches the open file or folder under path's long form: where it reports no reparse
// point but still reaches it elsewhere (a Unix symbolic link under Wine, say), it does not.
bool ReachedAsNamed(HANDLE handle, const std::wstring& path);

// The parts of a full drive path after "X:\", or false when path is not one (or names a stream, a
// wildcard, an empty part, "." or "..").
bool SplitPath(const std::wstring& path, std::vector<std::wstring>& parts);

}  // namespace SetupHelper
