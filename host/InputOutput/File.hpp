// IO::File: a file of the real file system, opened and read in binary.
#pragma once

#include "GSTypes.hpp"
#include "Location.hpp"

namespace IO {

class File {
public:
    enum OnNotFound : Int32 { Fail = 0, Create = 1 };
    enum OpenMode : Int32 { ReadMode = 0, WriteMode = 1, ReadWriteMode = 2 };
    enum AccessDeniedTreatment : Int32 {
        DontAccessDenied = 0,
        AccessDeniedIsError = 1,
        AcceptAccessDenied = 2
    };

    File(const Location& location, OnNotFound onNotFound = Fail);
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    // Closes the file if it is still open.
    ~File();

    GSErrCode Open(OpenMode mode, AccessDeniedTreatment treatment = AccessDeniedIsError);
    // The file's length in bytes. Fails when the file is not open or longer than 4 GiB - 1.
    GSErrCode GetDataLength(UInt32* length) const;
    // Reads up to `count` bytes into `buffer`; *read receives how many arrived. Fails when the file is not
    // open or the read stops before `count` bytes for a reason other than the end of the file.
    GSErrCode ReadBin(char* buffer, UInt32 count, UInt32* read);
    GSErrCode Close();
    bool IsOpen() const;

private:
    struct Impl;
    Impl* impl_;
};

}  // namespace IO
