// IO::File over POSIX file descriptors, with the faults that IO::Control injects.
#include "File.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "IOControl.hpp"

namespace {

std::atomic<GSErrCode> pendingLengthFault{NoError};
std::atomic<bool> shortenRead{false};
std::atomic<UInt32> shortenBy{0};

GSErrCode FromErrno(int error) {
    switch (error) {
        case ENOENT:
            return IO::FileNotFound;
        case EACCES:
        case EPERM:
            return IO::AccessDenied;
        default:
            return IO::ReadError;
    }
}

}  // namespace

struct IO::File::Impl {
    std::string path;
    OnNotFound onNotFound = Fail;
    int fd = -1;
};

namespace IO {

File::File(const Location& location, OnNotFound onNotFound) : impl_(new Impl) {
    GS::UniString path;
    if (location.ToPath(&path) == NoError)
        impl_->path = path.ToCStr(0, MaxUSize, CC_UTF8).Get();
    impl_->onNotFound = onNotFound;
}

File::~File() {
    Close();
    delete impl_;
}

GSErrCode File::Open(OpenMode mode, AccessDeniedTreatment /*treatment*/) {
    if (impl_->path.empty())
        return BadLocation;
    if (impl_->fd >= 0)
        return NoError;
    int flags = mode == ReadMode ? O_RDONLY : mode == WriteMode ? O_WRONLY : O_RDWR;
    if (impl_->onNotFound == Create)
        flags |= O_CREAT;
    impl_->fd = ::open(impl_->path.c_str(), flags | O_CLOEXEC, 0644);
    return impl_->fd >= 0 ? NoError : FromErrno(errno);
}

GSErrCode File::GetDataLength(UInt32* length) const {
    if (length == nullptr)
        return ReadError;
    const GSErrCode fault = pendingLengthFault.exchange(NoError);
    if (fault != NoError)
        return fault;
    if (impl_->fd < 0)
        return NotOpen;
    struct stat info;
    if (::fstat(impl_->fd, &info) != 0)
        return FromErrno(errno);
    if (static_cast<UInt64>(info.st_size) > 0xFFFFFFFFull)
        return FileTooLong;
    *length = static_cast<UInt32>(info.st_size);
    return NoError;
}

GSErrCode File::ReadBin(char* buffer, UInt32 count, UInt32* read) {
    UInt32 delivered = 0;
    if (read != nullptr)
        *read = 0;
    if (impl_->fd < 0)
        return NotOpen;
    UInt32 wanted = count;
    if (shortenRead.exchange(false)) {
        const UInt32 missing = shortenBy.load();
        wanted = missing < count ? count - missing : 0;
    }
    while (delivered < wanted) {
        const ssize_t got = ::read(impl_->fd, buffer + delivered, wanted - delivered);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return FromErrno(errno);
        if (got == 0)
            break;
        delivered += static_cast<UInt32>(got);
    }
    if (read != nullptr)
        *read = delivered;
    return NoError;
}

GSErrCode File::Close() {
    if (impl_->fd < 0)
        return NoError;
    const int result = ::close(impl_->fd);
    impl_->fd = -1;
    return result == 0 ? NoError : FromErrno(errno);
}

bool File::IsOpen() const {
    return impl_->fd >= 0;
}

namespace Control {

void FailNextGetDataLength(GSErrCode code) {
    pendingLengthFault = code;
}

void ShortenNextRead(UInt32 missing) {
    shortenBy = missing;
    shortenRead = true;
}

void ClearFaults() {
    pendingLengthFault = NoError;
    shortenRead = false;
}

}  // namespace Control
}  // namespace IO
