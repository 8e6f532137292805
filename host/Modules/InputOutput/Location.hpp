// IO::Location: a place in the file system, as the host's IO library keeps it.
#pragma once

#include "Definitions.hpp"
#include "Name.hpp"
#include "UniString.hpp"

namespace IO {

class Location {
public:
    // The empty location: no path.
    Location();
    // A location from a path in UTF-8.
    explicit Location(const char* path);
    // A location from a path as text.
    explicit Location(const GS::UniString& path);
    // The entry `name` inside `folder`.
    Location(const Location& folder, const Name& name);
    Location(const Location& other);
    Location& operator=(const Location& other);
    ~Location();

    bool IsEmpty() const;
    // Replaces the path with `path` (UTF-8).
    void Set(const char* path);
    // Appends `name` as a new last entry of the path.
    GSErrCode AppendToLocal(const Name& name);
    // The path as text; fails on the empty location.
    GSErrCode ToPath(GS::UniString* path) const;

private:
    struct Impl;
    Impl* impl_;
};

// Error codes of the IO library.
enum : GSErrCode {
    FileNotFound = -43,
    NotAFile = -1302,
    AccessDenied = -5000,
    NotOpen = -38,
    ReadError = -19,
    WriteError = -20,
    BadLocation = -120,
    FileTooLong = -8,
};

}  // namespace IO
