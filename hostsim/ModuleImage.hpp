// The system loader's part of hostsim: maps a module file into the process, resolves its exports and
// runs its DLL entry for process attach and detach, as Windows does for a DLL.
#pragma once

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

    // Maps the file at `path` (made absolute) with RTLD_NOW | RTLD_LOCAL, resolves the three exports and
    // calls DllMain(handle, DLL_PROCESS_ATTACH, nullptr). On failure nothing stays mapped, *error says why
    // and false is returned. Fails when a module is already mapped by this object.
    bool Map(const std::string& path, std::string* error);
    // DllMain(handle, DLL_PROCESS_DETACH, nullptr), then dlclose. Does nothing when nothing is mapped.
    void Unmap();

    bool IsMapped() const { return handle_ != nullptr; }
    // The dlopen handle, which is the module's HINSTANCE.
    HINSTANCE Handle() const { return handle_; }
    const std::string& Path() const { return path_; }

    abi::GetExportedFuncAddrsFn GetExportedFuncAddrs() const { return getExported_; }
    abi::SetImportedFuncAddrsFn SetImportedFuncAddrs() const { return setImported_; }

private:
    void* handle_ = nullptr;
    std::string path_;
    abi::GetExportedFuncAddrsFn getExported_ = nullptr;
    abi::SetImportedFuncAddrsFn setImported_ = nullptr;
    abi::DllMainFn dllMain_ = nullptr;
};

}  // namespace hostsim
