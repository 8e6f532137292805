// The module's face towards the host: the two exports, the guarded lifecycle entries and DllMain.
#pragma once

#include "GSTypes.hpp"
#include "Win32Interop.hpp"

// The record the host hands to GetExportedFuncAddrs for the module to fill.
struct AddOnDescriptor {
    UInt32 version;  // 0x001C0001
    UInt32 reserved1;
    Int32 (*checkEnvironment)(void* environmentRecord);
    GSErrCode (*registerInterface)(void* unused);
    GSErrCode (*initialize)(void* context);
    GSErrCode (*freeData)(void* unused);
    UInt32 magic;  // 28000
    unsigned char reserved2[76];
};
static_assert(sizeof(AddOnDescriptor) == 120, "host record layout");

// Set once SetImportedFuncAddrs has copied the table; never cleared.
extern bool HostTableReceived;
// Full path of the module file, for the abnormal-termination trace line.
extern WCHAR ModuleFilePath[MAX_PATH];

extern "C" {
void GetExportedFuncAddrs(AddOnDescriptor* descriptor);
GSErrCode SetImportedFuncAddrs(const void* table);
BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved);
}
