// IO::File: a file of the real file system, opened and read in binary.
#pragma once

#include "Definitions.hpp"
#include "IOBase.hpp"
#include "Location.hpp"

namespace IO {

class File {
public:
    enum OnNotFound { Fail = 0, Create = 1 };
    // The host's values; the stand-in opens files for reading, writing or both.
    enum OpenMode { ReadMode = 0, WriteMode = 1, ReadWriteMode = 3 };

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
    GSErrCode Close();
    bool IsOpen() const;

private:
    struct Impl;
    Impl* impl_;
};

}  // namespace IO
