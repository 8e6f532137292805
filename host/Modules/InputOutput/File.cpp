// IO::File over the platform's file calls (NativeFile.hpp), with the faults that IO::Control injects.
#include "File.hpp"

#include <atomic>
#include <string>

#include "IOControl.hpp"
#include "NativeFile.hpp"

namespace {

std::atomic<GSErrCode> pendingLengthFault{NoError};
std::atomic<int> lengthQueriesToPass{0};

// True while length queries are still to pass before the armed fault.
bool PassLengthQuery() {
    int left = lengthQueriesToPass.load();
    while (left > 0 && !lengthQueriesToPass.compare_exchange_weak(left, left - 1)) {
    }
    return left > 0;
}
std::atomic<bool> shortenRead{false};
std::atomic<UInt32> shortenBy{0};
std::atomic<GSErrCode> pendingWriteFault{NoError};

Int32 NativeMode(IO::File::OpenMode mode) {
    switch (mode) {
        case IO::File::ReadMode:
            return 0;
        case IO::File::WriteMode:
            return 1;
        case IO::File::WriteEmptyMode:
            return 3;
        default:
            return 2;
    }
}

}  // namespace

struct IO::File::Impl {
    std::string path;
    GSErrCode status = NoError;
    Native::Handle handle = Native::kClosed;
};

namespace IO {

File::File(const Location& location, OnNotFound onNotFound) : impl_(new Impl) {
    GS::UniString path;
    if (location.ToPath(&path) != NoError) {
        impl_->status = BadLocation;
        return;
    }
    impl_->path = path.ToCStr(0, MaxUSize, CC_UTF8).Get();
    impl_->status = Native::Connect(impl_->path, onNotFound == Create);
}

File::~File() {
    Close();
    delete impl_;
}

GSErrCode File::GetStatus() const {
    return impl_->status;
}

GSErrCode File::Open(OpenMode mode, AccessDeniedTreatment /*adTreatment*/) {
    // The strictest reading of the kit, which documents "not found" for the connection only: code that
    // asks Open whether a file exists gets no "not found" here.
    if (impl_->status != NoError)
        return NotOpen;
    if (impl_->handle != Native::kClosed)
        return NoError;
    return Native::Open(impl_->path, NativeMode(mode), false, &impl_->handle);
}

GSErrCode File::GetDataLength(UInt32* length) const {
    if (length == nullptr)
        return ReadError;
    const GSErrCode fault = PassLengthQuery() ? NoError : pendingLengthFault.exchange(NoError);
    if (fault != NoError)
        return fault;
    if (impl_->handle == Native::kClosed)
        return NotOpen;
    UInt64 size = 0;
    const GSErrCode error = Native::Length(impl_->handle, &size);
    if (error != NoError)
        return error;
    if (size > 0xFFFFFFFFull)
        return FileTooLong;
    *length = static_cast<UInt32>(size);
    return NoError;
}

GSErrCode File::ReadBin(char* buffer, USize count, USize* read) {
    UInt32 delivered = 0;
    if (read != nullptr)
        *read = 0;
    if (impl_->handle == Native::kClosed)
        return NotOpen;
    UInt32 wanted = count;
    if (shortenRead.exchange(false)) {
        const UInt32 missing = shortenBy.load();
        wanted = missing < count ? count - missing : 0;
    }
    while (delivered < wanted) {
        UInt32 got = 0;
        const GSErrCode error = Native::Read(impl_->handle, buffer + delivered, wanted - delivered, &got);
        if (error != NoError)
            return error;
        if (got == 0)
            break;
        delivered += got;
    }
    if (read != nullptr)
        *read = delivered;
    return NoError;
}

GSErrCode File::WriteBin(const char* source, USize count, USize* written) {
    if (written != nullptr)
        *written = 0;
    if (impl_->handle == Native::kClosed)
        return NotOpen;
    const GSErrCode fault = pendingWriteFault.exchange(NoError);
    if (fault != NoError)
        return fault;
    UInt32 done = 0;
    while (done < count) {
        UInt32 went = 0;
        const GSErrCode error = Native::Write(impl_->handle, source + done, count - done, &went);
        if (error != NoError)
            return error;
        if (went == 0)
            return WriteError;
        done += went;
        if (written != nullptr)
            *written = done;
    }
    return NoError;
}

GSErrCode File::Close() {
    if (impl_->handle == Native::kClosed)
        return NoError;
    const Native::Handle handle = impl_->handle;
    impl_->handle = Native::kClosed;
    return Native::Close(handle);
}

bool File::IsOpen() const {
    return impl_->handle != Native::kClosed;
}

namespace Control {

void FailNextGetDataLength(GSErrCode code, int skip) {
    lengthQueriesToPass = skip;
    pendingLengthFault = code;
}

void ShortenNextRead(UInt32 missing) {
    shortenBy = missing;
    shortenRead = true;
}

void FailNextWrite(GSErrCode code) {
    pendingWriteFault = code;
}

void ClearFaults() {
    pendingLengthFault = NoError;
    lengthQueriesToPass = 0;
    pendingWriteFault = NoError;
    shortenRead = false;
}

}  // namespace Control
}  // namespace IO
