// The platform's file calls under IO::File, and its path syntax under IO::Location: opening, length, reading
// and closing one file, in binary; the separator of path entries.
// Internal to the host library; the POSIX and Windows variants each implement it.
#pragma once

#include <string>

#include "Definitions.hpp"

namespace IO::Native {

// A platform file handle: a descriptor on POSIX, a HANDLE on Windows. kClosed when not open.
using Handle = std::intptr_t;
constexpr Handle kClosed = -1;

// Opens `path` (UTF-8) for reading (mode 0), writing (1), both (2) or writing from empty (3: the file's
// bytes dropped), creating it with `create`.
// Returns an IO error code (FileNotFound, AccessDenied, ReadError) on failure.
GSErrCode Open(const std::string& path, Int32 mode, bool create, Handle* handle);
// What a file's connection finds at `path` (UTF-8): NoError for a file (with `create`, after making an empty
// one where there was nothing), FileNotFound when nothing is there, NotAFile for a folder, AccessDenied or
// ReadError.
GSErrCode Connect(const std::string& path, bool create);
GSErrCode Length(Handle handle, UInt64* length);
// Reads up to `count` bytes; *read is 0 at the end of the file.
GSErrCode Read(Handle handle, char* buffer, UInt32 count, UInt32* read);
// Writes up to `count` bytes; *written receives how many the system took.
GSErrCode Write(Handle handle, const char* buffer, UInt32 count, UInt32* written);
GSErrCode Close(Handle handle);

// The separator IO::Location writes between entries ('/' on POSIX, '\\' on Windows).
char PathSeparator();
// Whether `c` separates entries of a path here (Windows takes '/' as well as '\\').
bool IsPathSeparator(char c);

}  // namespace IO::Native
