// Exports, guarded entries and DllMain. Until the host's table has arrived the entries do nothing, so no
// host call can go through an empty table.
#include "HostGlue.hpp"

#include <cstring>

#include "AddOnMain.hpp"
#include "DBPrintf.hpp"
#include "HostServices.hpp"
#include "RS.hpp"
#include "UniString.hpp"

bool HostTableReceived = false;
WCHAR ModuleFilePath[MAX_PATH] = {};

namespace {

constexpr UInt32 kDescriptorVersion = 0x001C0001;
constexpr UInt32 kDescriptorMagic = 28000;

Int32 CheckEnvironmentEntry(void* environmentRecord) {
    if (!HostTableReceived)
        return 0;
    return DescribeAddOn(environmentRecord);
}

GSErrCode RegisterInterfaceEntry(void*) {
    if (!HostTableReceived)
        return APIERR_GENERAL;
    return RegisterMenus();
}

GSErrCode InitializeEntry(void* context) {
    if (!HostTableReceived)
        return APIERR_GENERAL;
    HostContext = context;
    return Initialize();
}

GSErrCode FreeDataEntry(void*) {
    if (!HostTableReceived)
        return APIERR_GENERAL;
    ReleaseAddOn();
    HostContext = nullptr;
    return NoError;
}

void Detach() {
    if (ResModule != InvalidResModule)
        RSRemoveModuleImageCache(ResModule);
    ResModule = InvalidResModule;
    if (HostContext == nullptr)
        return;
    const GS::UniString path(reinterpret_cast<const char16_t*>(ModuleFilePath));
    DBPrintf("Abnormal add-on termination (\"%s\")\n", path.ToCStr(0, MaxUSize, CC_UTF8).Get());
    HostContext = nullptr;
}

}  // namespace

extern "C" void GetExportedFuncAddrs(AddOnDescriptor* descriptor) {
    std::memset(descriptor, 0, sizeof *descriptor);
    descriptor->version = kDescriptorVersion;
    descriptor->checkEnvironment = CheckEnvironmentEntry;
    descriptor->registerInterface = RegisterInterfaceEntry;
    descriptor->initialize = InitializeEntry;
    descriptor->freeData = FreeDataEntry;
    descriptor->magic = kDescriptorMagic;
}

extern "C" GSErrCode SetImportedFuncAddrs(const void* table) {
    std::memcpy(HostFunctionTable, table, HostFunctionTableSize);
    HostTableReceived = true;
    return NoError;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            GetModuleFileNameW(module, ModuleFilePath, MAX_PATH);
            ResModule = RSInitModuleImageCache(module);
            break;
        case DLL_PROCESS_DETACH:
            Detach();
            break;
        default:
            break;
    }
    return TRUE;
}
