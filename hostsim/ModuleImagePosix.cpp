// dlopen-based module mapping with the DllMain calls a Windows loader would make.
#include "ModuleImage.hpp"

#include <dlfcn.h>

namespace hostsim {

namespace {

template <class Fn>
Fn Resolve(void* handle, const char* name) {
    return reinterpret_cast<Fn>(dlsym(handle, name));
}

}  // namespace

bool ModuleImage::MapFile(const std::filesystem::path& absolute, std::string* error) {
    dlerror();
    void* handle = dlopen(absolute.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        *error =
            std::string("cannot load ") + absolute.string() + ": " + (why != nullptr ? why : "unknown error");
        return false;
    }
    const auto getExported = Resolve<abi::GetExportedFuncAddrsFn>(handle, abi::kExportGetExportedFuncAddrs);
    const auto setImported = Resolve<abi::SetImportedFuncAddrsFn>(handle, abi::kExportSetImportedFuncAddrs);
    const auto dllMain = Resolve<abi::DllMainFn>(handle, abi::kExportDllMain);
    if (getExported == nullptr || setImported == nullptr || dllMain == nullptr) {
        *error = absolute.string() + " does not export " +
                 (getExported == nullptr   ? abi::kExportGetExportedFuncAddrs
                  : setImported == nullptr ? abi::kExportSetImportedFuncAddrs
                                           : abi::kExportDllMain);
        dlclose(handle);
        return false;
    }
    handle_ = handle;
    path_ = absolute.string();
    getExported_ = getExported;
    setImported_ = setImported;
    dllMain_ = dllMain;
    dllMain_(handle_, DLL_PROCESS_ATTACH, nullptr);
    return true;
}

void ModuleImage::Unmap() {
    if (handle_ == nullptr)
        return;
    dllMain_(handle_, DLL_PROCESS_DETACH, nullptr);
    dlclose(handle_);
    handle_ = nullptr;
    path_.clear();
    getExported_ = nullptr;
    setImported_ = nullptr;
    dllMain_ = nullptr;
}

}  // namespace hostsim
