// IO::File: a file of the real file system, connected when constructed, then opened, read and written in
// binary.
#pragma once

#include "Definitions.hpp"
#include "IOBase.hpp"
#include "Location.hpp"

namespace IO {

class File {
public:
    enum OnNotFound { Fail = 0, Create = 1 };
    // The host's values; the stand-in opens files for reading, writing (from the start, or from empty: the
    // file's earlier bytes dropped) or both.
    enum OpenMode { ReadMode = 0, WriteMode = 1, WriteEmptyMode = 2, ReadWriteMode = 3 };
    // The connection's outcomes the host names (the IO library's codes): no such file, or a folder there.
    enum { FileNotFound = IO::FileNotFound, NotAFile = IO::NotAFile };

    // Connects to the file at `location` and records the outcome for GetStatus: NoError when a file is
    // there (with Create, after creating an empty one where there was none), FileNotFound when there is
    // none, NotAFile for a folder, BadLocation for the empty location, AccessDenied or ReadError else.
    explicit File(const Location& location, OnNotFound onNotFound = Fail);
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    // Closes the file if it is still open.
    virtual ~File();

    // The connection's outcome, as recorded by the constructor: the one way to learn whether a file exists.
    GSErrCode GetStatus() const;

    // Opens the connected file. A file that never connected (GetStatus() not NoError) answers NotOpen,
    // never FileNotFound: what the kit's Open answers then is not documented.
    virtual GSErrCode Open(OpenMode mode,
                           AccessDeniedTreatment adTreatment = AccessDeniedIsErrorInPrivateLocations);
    // The file's length in bytes. Fails when the file is not open or longer than 4 GiB - 1.
    GSErrCode GetDataLength(UInt32* length) const;
    // Reads up to `count` bytes into `buffer`; *read receives how many arrived. Fails when the file is not
    // open or the read stops before `count` bytes for a reason other than the end of the file.
    GSErrCode ReadBin(char* buffer, USize count, USize* read = nullptr);
    // Writes `count` bytes from `source`; *written receives how many went. Fails when the file is not open
    // for writing or the system took fewer bytes.
    GSErrCode WriteBin(const char* source, USize count, USize* written = nullptr);
    GSErrCode Close();
    bool IsOpen() const;

private:
    struct Impl;
    Impl* impl_;
};

}  // namespace IO
