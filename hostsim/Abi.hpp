// The byte layouts through which hostsim and an add-on module meet: the exported entry points, the add-on
// descriptor, the host function table and the records passed through it. Little-endian, x86-64.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ACAP_STATControl.hpp"
#include "Definitions.hpp"
#include "RSTypes.hpp"
#include "Win32Interface.hpp"

namespace hostsim::abi {

// Host error codes of the add-on API family.
constexpr GSErrCode APIERR_GENERAL = static_cast<GSErrCode>(0x81060001u);
constexpr GSErrCode APIERR_CANCEL = static_cast<GSErrCode>(0x81060003u);
constexpr GSErrCode APIERR_BADPARS = static_cast<GSErrCode>(0x81060068u);
constexpr GSErrCode APIERR_NOTSUPPORTED = static_cast<GSErrCode>(0x81060387u);

// Four-character codes, first character in the high byte.
constexpr UInt32 FourCC(char a, char b, char c, char d) {
    return (static_cast<UInt32>(static_cast<unsigned char>(a)) << 24) |
           (static_cast<UInt32>(static_cast<unsigned char>(b)) << 16) |
           (static_cast<UInt32>(static_cast<unsigned char>(c)) << 8) |
           static_cast<UInt32>(static_cast<unsigned char>(d));
}
constexpr UInt32 kSelectorSpecialFolder = FourCC('G', 'S', 'P', 'F');
constexpr UInt32 kSelectorSave = FourCC('S', 'A', 'V', 'E');
// The process window's selectors (Interface slot).
constexpr UInt32 kSelectorInitProcessWindow = FourCC('I', 'P', 'W', 'D');
constexpr UInt32 kSelectorCloseProcessWindow = FourCC('C', 'P', 'W', 'D');
constexpr UInt32 kSelectorNextProcessPhase = FourCC('S', 'P', 'R', 'P');
constexpr UInt32 kSelectorSetProcessValue = FourCC('S', 'P', 'R', 'V');
constexpr UInt32 kSelectorIncProcessValue = FourCC('I', 'P', 'R', 'V');
constexpr UInt32 kSelectorIsProcessCanceled = FourCC('C', 'A', 'N', 'C');

// Exports of the module.
constexpr const char* kExportGetExportedFuncAddrs = "GetExportedFuncAddrs";
constexpr const char* kExportSetImportedFuncAddrs = "SetImportedFuncAddrs";
constexpr const char* kExportDllMain = "DllMain";
using GetExportedFuncAddrsFn = void (*)(void* descriptor);
using SetImportedFuncAddrsFn = GSErrCode (*)(const void* table);
using DllMainFn = BOOL (*)(HINSTANCE module, DWORD reason, LPVOID reserved);

// The add-on descriptor the module fills.
constexpr std::size_t kDescriptorSize = 120;
constexpr std::size_t kDescriptorHeaderOffset = 0;
constexpr std::size_t kDescriptorCheckEnvironmentOffset = 8;
constexpr std::size_t kDescriptorRegisterInterfaceOffset = 16;
constexpr std::size_t kDescriptorInitializeOffset = 24;
constexpr std::size_t kDescriptorFreeDataOffset = 32;
constexpr std::size_t kDescriptorTrailerOffset = 40;
constexpr UInt32 kDescriptorHeader = 0x001C0001u;
constexpr UInt32 kDescriptorTrailer = 28000u;
using CheckEnvironmentFn = Int32 (*)(void* environmentRecord);
using RegisterInterfaceFn = GSErrCode (*)(void* unused);
using InitializeFn = GSErrCode (*)(void* context);
using FreeDataFn = GSErrCode (*)(void* unused);

// The environment record handed to the environment-check entry: two GS::UniString members the module
// assigns to; the rest is the host's own.
constexpr std::size_t kEnvironmentRecordSize = 128;
constexpr std::size_t kEnvironmentNameOffset = 48;
constexpr std::size_t kEnvironmentDescriptionOffset = 64;
constexpr Int32 kAddOnKindNormal = 1;

// The host function table: its size and the byte offsets of the slots hostsim serves are the add-on
// library's (ACAP_STATControl.hpp: HostFunctionTableSize, kRegisterMenuSlot, ...), one set of names for
// both sides of the table.
constexpr std::size_t kSlotCount = HostFunctionTableSize / sizeof(void*);
static_assert(kSlotCount == 643, "the host function table has 643 slots");

// Records, as raw structs whose layout matches the byte formats exactly.
struct MenuRecord {
    Int16 menuStrId;
    Int16 secondStrId;
    Int32 placement;
    Int32 option;
    UInt8 reserved[20];
};
static_assert(sizeof(MenuRecord) == 32, "MenuRecord is 32 bytes");

// What the host hands the add-on's own menu handler: the menu's string-list id and the item's index.
struct MenuParams {
    Int16 menuResID;
    Int16 filler1;
    Int32 itemIndex;
    Int32 filler2[2];
};
static_assert(sizeof(MenuParams) == 16 && offsetof(MenuParams, itemIndex) == 4, "MenuParams is 16 bytes");
using MenuCommandHandler = GSErrCode (*)(const MenuParams* params);

using ModelessWindowCallback = GSErrCode (*)(Int32 referenceId, Int32 messageId, std::intptr_t param);
struct ModelessWindowRecord {
    Int32 referenceId;
    UInt8 pad0[4];
    ModelessWindowCallback callback;
    Int32 flags;
    UInt8 guid[16];
    UInt8 reserved[44];
};
static_assert(sizeof(ModelessWindowRecord) == 80, "ModelessWindowRecord is 80 bytes");
static_assert(offsetof(ModelessWindowRecord, callback) == 8 && offsetof(ModelessWindowRecord, flags) == 16 &&
                  offsetof(ModelessWindowRecord, guid) == 20,
              "ModelessWindowRecord field offsets");

constexpr Int32 kFileTypeJpeg = 19;
constexpr Int32 kPictureKindView = 6;
struct SaveFileRecord {
    Int32 fileType;
    Int32 reserved0;
    void* location;  // IO::Location*
    UInt8 reserved[64];
};
static_assert(sizeof(SaveFileRecord) == 80 && offsetof(SaveFileRecord, location) == 8,
              "SaveFileRecord layout");
struct SavePictureRecord {
    Int32 kind;
    UInt8 reserved[36];
};
static_assert(sizeof(SavePictureRecord) == 40, "SavePictureRecord is 40 bytes");

// Special-folder codes the host serves: its cache folder ("where the application may write data to speed up
// its operation", which users clean and move) and its temporary folder (emptied at every launch).
constexpr Int32 kFolderCache = 4;
constexpr Int32 kFolderTemporary = 7;

// The windows a modeless window is registered for (API_PalEnabled_* of its control flags).
constexpr Int32 kPalEnabledFloorPlan = 0x01;
constexpr Int32 kPalEnabledSection = 0x02;
constexpr Int32 kPalEnabled3D = 0x04;
constexpr Int32 kPalEnabledLayout = 0x20;

// Palette messages the host sends to a registered modeless window.
enum PaletteMessage : Int32 {
    kPaletteClose = 1,
    kPaletteHide = 2,
    kPaletteShow = 3,
    kPaletteDisable = 4,
    kPaletteEnable = 5,
    kPaletteOpen = 6,
    kPaletteIsVisible = 7,
};

// Resource the host keys an add-on's preferences by: "MDID" 32500, two u32 (developer id, add-on id).
constexpr GSResID kModuleIdResource = 32500;

}  // namespace hostsim::abi
