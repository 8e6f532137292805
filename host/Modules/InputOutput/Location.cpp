// IO::Name and IO::Location over UTF-8 paths of the real file system, in the platform's path syntax.
#include "Location.hpp"

#include <algorithm>
#include <string>

#include "NativeFile.hpp"

struct IO::Name::Impl {
    std::string utf8;
};

struct IO::Location::Impl {
    std::string path;
};

namespace IO {

Name::Name() : impl_(new Impl) {}
Name::Name(const char* name) : impl_(new Impl{name != nullptr ? name : ""}) {}
Name::Name(const GS::UniString& name) : impl_(new Impl{name.ToCStr(0, MaxUSize, CC_UTF8).Get()}) {}
Name::Name(const Name& other) : impl_(new Impl(*other.impl_)) {}
Name& Name::operator=(const Name& other) {
    *impl_ = *other.impl_;
    return *this;
}
Name::~Name() {
    delete impl_;
}
GS::UniString Name::ToString() const {
    return GS::UniString(impl_->utf8.c_str(), CC_UTF8);
}

Location::Location() : impl_(new Impl) {}
Location::Location(const char* path) : impl_(new Impl{path != nullptr ? path : ""}) {}
Location::Location(const GS::UniString& path) : impl_(new Impl{path.ToCStr(0, MaxUSize, CC_UTF8).Get()}) {}
Location::Location(const Location& folder, const Name& name) : impl_(new Impl(*folder.impl_)) {
    AppendToLocal(name);
}
Location::Location(const Location& other) : impl_(new Impl(*other.impl_)) {}
Location& Location::operator=(const Location& other) {
    *impl_ = *other.impl_;
    return *this;
}
Location::~Location() {
    delete impl_;
}

bool Location::IsEmpty() const {
    return impl_->path.empty();
}

void Location::Set(const char* path) {
    impl_->path = path != nullptr ? path : "";
}

GSErrCode Location::AppendToLocal(const Name& name) {
    const std::string entry = name.ToString().ToCStr(0, MaxUSize, CC_UTF8).Get();
    if (entry.empty() || std::any_of(entry.begin(), entry.end(), Native::IsPathSeparator))
        return BadLocation;
    if (!impl_->path.empty() && !Native::IsPathSeparator(impl_->path.back()))
        impl_->path.push_back(Native::PathSeparator());
    impl_->path += entry;
    return NoError;
}

GSErrCode Location::ToPath(GS::UniString* path) const {
    if (path == nullptr || impl_->path.empty())
        return BadLocation;
    *path = GS::UniString(impl_->path.c_str(), CC_UTF8);
    return NoError;
}

}  // namespace IO
