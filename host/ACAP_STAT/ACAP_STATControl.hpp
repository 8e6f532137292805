// The state and records of the add-on library stand-in (ACAP_STAT), for unit tests and the Windows probes
// that drive the add-on's side of the host interface directly, and the names of the table's slot offsets,
// which hostsim serves by. The add-on's own sources never include this: they call the ACAPI functions of
// ACAPinc.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ACAPinc.h"
#include "Win32Interface.hpp"

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

constexpr std::size_t HostFunctionTableSize = 5144;  // 643 pointer slots

// Byte offsets of the table slots the add-on library calls (and hostsim serves).
constexpr std::size_t kRegisterMenuSlot = 40;
constexpr std::size_t kInstallMenuHandlerSlot = 200;
constexpr std::size_t kSetPreferencesSlot = 464;
constexpr std::size_t kGetPreferencesSlot = 472;
constexpr std::size_t kRegisterModelessWindowSlot = 480;
constexpr std::size_t kUnregisterModelessWindowSlot = 488;
constexpr std::size_t kWriteReportSlot = 536;
constexpr std::size_t kEnvironmentSlot = 624;
constexpr std::size_t kInterfaceSlot = 632;
constexpr std::size_t kAutomateSlot = 648;

// Filled by SetImportedFuncAddrs; zero (every slot empty) at load.
alignas(8) extern unsigned char HostFunctionTable[HostFunctionTableSize];
// Set once SetImportedFuncAddrs has copied the table; never cleared.
extern bool HostTableReceived;
// The value the host passed to the initialise entry; null before it and after the release entry.
extern void* HostContext;
// The module's own resources; InvalidResModule while closed.
extern GSResModule ResModule;
// Full path of the module file, noted at attach; empty until then.
extern WCHAR ModuleFilePath[MAX_PATH];

// The records of the menu registration (slot 40) and the modeless-window registration (slot 480).
struct MenuRecord {
    Int16 menuResID;
    Int16 secondResID;
    Int32 placement;
    Int32 option;
    Int32 reserved[5];
};

struct ModelessWindowRecord {
    Int32 referenceId;
    Int32 reserved1;
    APIPaletteControlCallBackProc* callback;
    Int32 flags;
    unsigned char guid[16];
    unsigned char reserved2[44];
};

static_assert(sizeof(MenuRecord) == 32, "host record layout");
static_assert(sizeof(ModelessWindowRecord) == 80 && offsetof(ModelessWindowRecord, callback) == 8 &&
                  offsetof(ModelessWindowRecord, flags) == 16 && offsetof(ModelessWindowRecord, guid) == 20,
              "host record layout");
// The 'SAVE' request passes API_FileSavePars and API_SavePars_Picture as they are.
static_assert(sizeof(API_FileSavePars) == 80 && offsetof(API_FileSavePars, file) == 8, "host record layout");
static_assert(sizeof(API_SavePars_Picture) == 40, "host record layout");

extern "C" {
void GetExportedFuncAddrs(AddOnDescriptor* descriptor);
GSErrCode SetImportedFuncAddrs(const void* table);
BOOL WINAPI DllMain(HANDLE module, ULONG reason, LPVOID reserved);
}
