// Module mapping on Windows: the system loader loads the module with LoadLibraryW and releases it with
// FreeLibrary, and calls its DllMain (through the C runtime's DLL entry) for attach and detach itself.
#include "ModuleImage.hpp"

#include "WindowsText.hpp"
#include "browser/ShellImport.hpp"

namespace hostsim {

namespace {

template <class Fn>
Fn Resolve(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

bool ModuleImage::MapFile(const std::filesystem::path& absolute, std::string* error) {
    const std::string name = Platform::Narrow(absolute.wstring());
    // No dialog from the loader for a missing DLL: the failure is reported here.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const HMODULE module = LoadLibraryW(absolute.c_str());
    const DWORD loadError = GetLastError();
    SetErrorMode(oldMode);
    if (module == nullptr) {
        *error = "cannot load " + name + ": " + Platform::ErrorText(loadError);
        return false;
    }
    const auto getExported = Resolve<abi::GetExportedFuncAddrsFn>(module, abi::kExportGetExportedFuncAddrs);
    const auto setImported = Resolve<abi::SetImportedFuncAddrsFn>(module, abi::kExportSetImportedFuncAddrs);
    if (getExported == nullptr || setImported == nullptr) {
        *error =
            name + " does not export " +
            (getExported == nullptr ? abi::kExportGetExportedFuncAddrs : abi::kExportSetImportedFuncAddrs);
        FreeLibrary(module);
        return false;
    }
    if (!RedirectShellImport(module, error)) {
        *error = name + ": " + *error;
        FreeLibrary(module);
        return false;
    }
    handle_ = module;
    path_ = name;
    getExported_ = getExported;
    setImported_ = setImported;
    return true;
}

void ModuleImage::Unmap() {
    if (handle_ == nullptr)
        return;
    FreeLibrary(handle_);
    handle_ = nullptr;
    path_.clear();
    getExported_ = nullptr;
    setImported_ = nullptr;
}

}  // namespace hostsim
