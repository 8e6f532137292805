// IO::File's file calls over POSIX file descriptors.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "Location.hpp"
#include "NativeFile.hpp"

namespace IO::Native {

namespace {

GSErrCode FromErrno(int error) {
    switch (error) {
        case ENOENT:
            return FileNotFound;
        case EACCES:
        case EPERM:
            return AccessDenied;
        default:
            return ReadError;
    }
}

}  // namespace

GSErrCode Open(const std::string& path, Int32 mode, bool create, Handle* handle) {
    int flags = mode == 0 ? O_RDONLY : mode == 2 ? O_RDWR : O_WRONLY;
    if (mode == 3)
        flags |= O_TRUNC;
    if (create)
        flags |= O_CREAT;
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0)
        return FromErrno(errno);
    *handle = fd;
    return NoError;
}

GSErrCode Connect(const std::string& path, bool create) {
    struct stat info;
    if (::stat(path.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode) ? static_cast<GSErrCode>(NotAFile) : NoError;
    if (errno != ENOENT || !create)
        return FromErrno(errno);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return FromErrno(errno);
    ::close(fd);
    return NoError;
}

GSErrCode Length(Handle handle, UInt64* length) {
    struct stat info;
    if (::fstat(static_cast<int>(handle), &info) != 0)
        return FromErrno(errno);
    *length = static_cast<UInt64>(info.st_size);
    return NoError;
}

GSErrCode Read(Handle handle, char* buffer, UInt32 count, UInt32* read) {
    for (;;) {
        const ssize_t got = ::read(static_cast<int>(handle), buffer, count);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return FromErrno(errno);
        *read = static_cast<UInt32>(got);
        return NoError;
    }
}

GSErrCode Write(Handle handle, const char* buffer, UInt32 count, UInt32* written) {
    for (;;) {
        const ssize_t went = ::write(static_cast<int>(handle), buffer, count);
        if (went < 0 && errno == EINTR)
            continue;
        if (went < 0)
            return errno == ENOSPC || errno == EIO ? WriteError : FromErrno(errno);
        *written = static_cast<UInt32>(went);
        return NoError;
    }
}

GSErrCode Close(Handle handle) {
    return ::close(static_cast<int>(handle)) == 0 ? NoError : FromErrno(errno);
}

char PathSeparator() {
    return '/';
}

bool IsPathSeparator(char c) {
    return c == '/';
}

}  // namespace IO::Native
