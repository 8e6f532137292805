// The module's view of the host: the function table, the host context, the resource handle, and one
// wrapper per table slot. Every call into the host goes through a wrapper here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "GSRoot.hpp"
#include "RS.hpp"

namespace IO {
class Location;
}

constexpr GSErrCode APIERR_GENERAL = static_cast<GSErrCode>(0x81060001);
constexpr GSErrCode APIERR_NOTSUPPORTED = static_cast<GSErrCode>(0x81060387);

constexpr std::size_t HostFunctionTableSize = 5144;  // 643 pointer slots

// Filled by SetImportedFuncAddrs; zero (every slot empty) at load.
alignas(8) extern unsigned char HostFunctionTable[HostFunctionTableSize];
// The value the host passed to the initialise entry; null before it and after the release entry.
extern void* HostContext;
// The module's own resources; InvalidResModule while closed.
extern GSResModule ResModule;

// The host's menu-parameter record; the module reads only the first field.
struct MenuParams {
    Int16 menuResID;
    Int16 itemIndex;
    Int32 reserved[7];
};

using MenuCommandHandlerFn = GSErrCode (*)(const MenuParams* params);
using PaletteCallbackFn = GSErrCode (*)(Int32 referenceId, Int32 messageId, std::intptr_t param);

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
    PaletteCallbackFn callback;
    Int32 flags;
    unsigned char guid[16];
    unsigned char reserved2[44];
};

struct SaveFileRecord {
    Int32 fileType;
    Int32 reserved1;
    IO::Location* location;
    unsigned char reserved2[64];
};

struct SavePictureRecord {
    Int32 value;
    unsigned char reserved[36];
};

static_assert(sizeof(MenuRecord) == 32, "host record layout");
static_assert(sizeof(ModelessWindowRecord) == 80 && offsetof(ModelessWindowRecord, callback) == 8 &&
                  offsetof(ModelessWindowRecord, flags) == 16 && offsetof(ModelessWindowRecord, guid) == 20,
              "host record layout");
static_assert(sizeof(SaveFileRecord) == 80 && offsetof(SaveFileRecord, location) == 8, "host record layout");
static_assert(sizeof(SavePictureRecord) == 40, "host record layout");

// Each wrapper answers APIERR_NOTSUPPORTED without a call when its slot is empty (HostWriteReport: 0),
// otherwise the host's code, 0 for success.
GSErrCode HostRegisterMenu(Int16 menuResID, Int16 secondResID, Int32 placement, Int32 option);
GSErrCode ACAPI_Install_MenuHandler(Int16 menuResID, MenuCommandHandlerFn handler);
GSErrCode ACAPI_SetPreferences(Int32 version, Int32 size, const void* data);
// With data null, reports the stored version (0 = none) and size; otherwise copies the stored bytes.
GSErrCode HostGetPreferences(Int32* version, Int32* size, void* data);
GSErrCode ACAPI_RegisterModelessWindow(Int32 referenceId, PaletteCallbackFn callback, Int32 flags,
                                       const unsigned char (&guid)[16]);
GSErrCode HostUnregisterModelessWindow(Int32 referenceId);
// The host formats `format` printf-style with the further arguments and shows it.
GSErrCode HostWriteReport(const GS::UniString& format, bool alert, ...);
GSErrCode HostGetSpecialFolder(Int32 folderCode, IO::Location* location);
GSErrCode HostSaveRequest(const SaveFileRecord* fileRecord, const SavePictureRecord* pictureRecord);
