// The add-on library's exports, guarded entries and DllMain. Until the host's table has arrived the entries
// do nothing, so no host call can go through an empty table. The entries call the add-on's four functions.
#include <cstring>

#include "ACAP_STATControl.hpp"
#include "GSDebug.hpp"
#include "Location.hpp"
#include "RS.hpp"
#include "UniString.hpp"

alignas(8) unsigned char HostFunctionTable[HostFunctionTableSize] = {};
bool HostTableReceived = false;
void* HostContext = nullptr;
GSResModule ResModule = InvalidResModule;
WCHAR ModuleFilePath[MAX_PATH] = {};

namespace {

constexpr UInt32 kDescriptorVersion = 0x001C0001;
constexpr UInt32 kDescriptorMagic = 28000;

APIDllTermHookProc* TermHook = nullptr;

Int32 CheckEnvironmentEntry(void* environmentRecord) {
    if (!HostTableReceived)
        return 0;
    return CheckEnvironment(static_cast<API_EnvirParams*>(environmentRecord));
}

GSErrCode RegisterInterfaceEntry(void*) {
    if (!HostTableReceived)
        return APIERR_GENERAL;
    return RegisterInterface();
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
    FreeData();
    HostContext = nullptr;
    return NoError;
}

void Detach() {
    if (ResModule != InvalidResModule)
        RSRemoveModuleImageCache(ResModule);
    ResModule = InvalidResModule;
    if (TermHook != nullptr)
        TermHook();
    HostContext = nullptr;
}

}  // namespace

GSResModule ACAPI_GetOwnResModule() {
    return ResModule;
}

GSErrCode ACAPI_GetOwnLocation(IO::Location* ownFileLoc) {
    if (ownFileLoc == nullptr)
        return APIERR_BADPARS;
    if (ModuleFilePath[0] == 0)
        return APIERR_NOTINIT;
    const GS::UniString path(reinterpret_cast<const char16_t*>(ModuleFilePath));
    *ownFileLoc = IO::Location(path.ToCStr(CC_UTF8).Get());
    return NoError;
}

void ACAPI_SetDllTermHookProc(APIDllTermHookProc* dllTermHookProc) {
    TermHook = dllTermHookProc;
}

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

extern "C" BOOL WINAPI DllMain(HANDLE module, ULONG reason, LPVOID) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            GetModuleFileNameW(static_cast<HMODULE>(module), ModuleFilePath, MAX_PATH);
            ResModule = RSInitModuleImageCache(reinterpret_cast<GSResModule>(module));
            break;
        case DLL_PROCESS_DETACH:
            Detach();
            break;
        default:
            break;
    }
    return TRUE;
}
