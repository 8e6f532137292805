// The system loader's part of hostsim: maps a module file into the process, resolves its exports and
// has its DLL entry run for process attach and detach. On Windows that is the system loader's own work
// (ModuleImageWindows.cpp); elsewhere hostsim plays it with dlopen (ModuleImagePosix.cpp).
#pragma once

#include <filesystem>
#include <string>

#include "Abi.hpp"

namespace hostsim {

class ModuleImage {
public:
    ModuleImage() = default;
    ModuleImage(const ModuleImage&) = delete;
    ModuleImage& operator=(const ModuleImage&) = delete;
    // Unmaps a module that is still mapped, after a detach if attach ran.
    ~ModuleImage();

    // Maps the file at `path` (made absolute), resolves the two entries and has DllMain(handle,
    // DLL_PROCESS_ATTACH, nullptr) run: POSIX dlopen(RTLD_NOW | RTLD_LOCAL), then the DllMain export;
    // Windows LoadLibraryW, whose loader calls it, and the module's import of ShellExecuteW is pointed at
    // hostsim's browser. On failure nothing stays mapped, *error says why and false is returned. Fails
    // when a module is already mapped by this object.
    bool Map(const std::string& path, std::string* error);
    // DllMain(handle, DLL_PROCESS_DETACH, nullptr) and the unmapping: dlclose, or FreeLibrary whose loader
    // calls DllMain. Does nothing when nothing is mapped.
    void Unmap();

    bool IsMapped() const { return handle_ != nullptr; }
    // The loader's handle, which is the module's HINSTANCE.
    HINSTANCE Handle() const { return handle_; }
    const std::string& Path() const { return path_; }

    abi::GetExportedFuncAddrsFn GetExportedFuncAddrs() const { return getExported_; }
    abi::SetImportedFuncAddrsFn SetImportedFuncAddrs() const { return setImported_; }

private:
    // The platform's part of Map, for an existing file while nothing is mapped.
    bool MapFile(const std::filesystem::path& absolute, std::string* error);

    HINSTANCE handle_ = nullptr;
    std::string path_;
    abi::GetExportedFuncAddrsFn getExported_ = nullptr;
    abi::SetImportedFuncAddrsFn setImported_ = nullptr;
    abi::DllMainFn dllMain_ = nullptr;  // POSIX only: the system loader calls it on Windows
};

}  // namespace hostsim
