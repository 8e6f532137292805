// Helpers for the hostsim tests: a fresh data directory, typed access to table slots, files.
#pragma once

#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Host.hpp"

namespace hostsim::testing {

// A new empty directory, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "hostsim-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const {
        return (std::filesystem::path(path_) / name).string();
    }

private:
    std::string path_;
};

// The function in a table slot, as the module would call it.
template <class Fn>
Fn SlotFunction(const Host& host, std::size_t offset) {
    return reinterpret_cast<Fn>(const_cast<void*>(host.Table()[offset / sizeof(void*)]));
}

using SetPreferencesFn = GSErrCode (*)(void*, Int32, Int32, const void*);
using GetPreferencesFn = GSErrCode (*)(void*, Int32*, Int32*, void*);
using SelectorFn = GSErrCode (*)(void*, UInt32, void*, void*, void*);
using WriteReportFn = GSErrCode (*)(void*, const GS::UniString*, char, va_list*);

inline std::vector<unsigned char> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline Options QuietOptions(const std::string& dataDir) {
    Options options;
    options.dataDir = dataDir;
    options.windowWidth = 640;
    options.windowHeight = 400;
    return options;
}

}  // namespace hostsim::testing
