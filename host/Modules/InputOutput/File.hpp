// IO::File: a file of the real file system, opened, read and written in binary.
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
    // The host's name for what Open answers when there is no such file (the IO library's code).
    enum { FileNotFound = IO::FileNotFound };

    explicit File(const Location& location, OnNotFound onNotFound = Fail);
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    // Closes the file if it is still open.
    virtual ~File();

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
