// What a path the installer is about to write or delete really names: whether a link (junction, symbolic
// link, mount point, or a file with a second name) lies on it, and its long, final form.
#pragma once

#include <string>

namespace SetupHelper {

enum class PathVerdict {
    Plain,  // no link on the path; finalPath is its long, final form
    Link,   // a link lies on the path: culprit names where
    Bad     // not a full path of a drive (X:\...), or with wildcards, streams, "." or ".." in it
};

struct PathFacts {
    PathVerdict verdict = PathVerdict::Bad;
    std::wstring finalPath;  // with the part that does not exist yet appended as given
    std::wstring culprit;
    bool isFile = false;  // the whole path exists and is a file
};

// Looks at every part of path that exists, from the drive's root down.
PathFacts InspectPath(const std::wstring& path);

}  // namespace SetupHelper
