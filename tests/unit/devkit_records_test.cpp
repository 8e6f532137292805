// The stand-in's DevKit headers against the host's own values: record sizes and field offsets, enumerator
// and flag values, and basic types. A slip here compiles against the stand-in and breaks against the host,
// so the whole table is asserted at compile time, and listed by the test for a readable failure.
#include <gtest/gtest.h>

#include <cstddef>
#include <type_traits>

#include "ACAPinc.h"
#include "BM.hpp"
#include "File.hpp"
#include "IBinaryChannelUtilities.hpp"
#include "MemoryManager.hpp"
#include "RSTypes.hpp"
#include "UniString.hpp"

namespace {

struct Fact {
    const char* what;
    long long actual;
    long long expected;
};

constexpr Fact MakeFact(const char* what, long long actual, long long expected) {
    return Fact{what, actual, expected};
}
#define FACT(expression, value) \
    MakeFact(#expression, static_cast<long long>(expression), static_cast<long long>(value))

constexpr Fact kFacts[] = {
    // Entry-point records.
    FACT(sizeof(GS::UniString), 16),
    FACT(sizeof(API_EnvirParams), 88),
    FACT(offsetof(API_EnvirParams, serverInfo), 0),
    FACT(offsetof(API_EnvirParams, addOnInfo), 48),
    FACT(sizeof(API_ServerApplicationInfo), 48),
    FACT(offsetof(API_ServerApplicationInfo, serverApplication), 0),
    FACT(offsetof(API_ServerApplicationInfo, mainVersion), 4),
    FACT(offsetof(API_ServerApplicationInfo, releaseVersion), 6),
    FACT(offsetof(API_ServerApplicationInfo, runningInBackground), 8),
    FACT(offsetof(API_ServerApplicationInfo, buildNum), 12),
    FACT(offsetof(API_ServerApplicationInfo, language), 16),
    FACT(offsetof(API_ServerApplicationInfo, partnerID), 32),
    FACT(sizeof(API_AddOnInfo), 40),
    FACT(offsetof(API_AddOnInfo, name), 0),
    FACT(offsetof(API_AddOnInfo, description), 16),
    FACT(offsetof(API_AddOnInfo, requiredSSALevel), 32),
    FACT(APIAppl_ArchiCADID, 1),
    FACT(ServerMainVers_2700, 0x001B),
    FACT(ServerMainVers_2800, 0x001C),
    FACT(API_SSALevels::NoSSA, 0),
    FACT(API_SSALevels::SSA, 1),
    FACT(API_SSALevels::Forward, 2),
    FACT(APIAddon_DontRegister, 0),
    FACT(APIAddon_Normal, 1),
    FACT(APIAddon_Preload, 2),
    FACT(APIAddon_Unknown, 9999),
    // Menus.
    FACT(MenuCode_UserDef, 0),
    FACT(MenuCode_File, 1),
    FACT(MenuCode_Edit1, 2),
    FACT(MenuCode_Edit2, 3),
    FACT(MenuCode_Edit3, 4),
    FACT(MenuCode_Tools, 5),
    FACT(MenuCode_Options1, 6),
    FACT(MenuCode_Options2, 7),
    FACT(MenuCode_Image, 8),
    FACT(MenuCode_Calculate, 9),
    FACT(MenuCode_TeamWork, 10),
    FACT(MenuCode_Display, 11),
    FACT(MenuCode_Palettes, 12),
    FACT(MenuCode_Extras, 13),
    FACT(MenuCode_Hotlink, 14),
    FACT(MenuCode_GDLObjects, 15),
    FACT(MenuCode_3DView, 16),
    FACT(MenuCode_DocExtras, 17),
    FACT(MenuCode_Interoperability, 18),
    FACT(MenuCode_ModelCheck, 19),
    FACT(MenuFlag_Default, 0x0000),
    FACT(MenuFlag_SeparatorBefore, 0x0001),
    FACT(MenuFlag_SeparatorAfter, 0x0002),
    FACT(MenuFlag_InsertIntoSame, 0x0004),
    FACT(sizeof(API_MenuItemRef), 16),
    FACT(offsetof(API_MenuItemRef, menuResID), 0),
    FACT(offsetof(API_MenuItemRef, filler_1), 2),
    FACT(offsetof(API_MenuItemRef, itemIndex), 4),
    FACT(offsetof(API_MenuItemRef, filler_2), 8),
    FACT(sizeof(API_MenuParams), 16),
    FACT(offsetof(API_MenuParams, menuItemRef), 0),
    // GUIDs.
    FACT(sizeof(API_Guid), 16),
    FACT(offsetof(API_Guid, time_low), 0),
    FACT(offsetof(API_Guid, time_mid), 4),
    FACT(offsetof(API_Guid, time_hi_and_version), 6),
    FACT(offsetof(API_Guid, clock_seq_hi_and_reserved), 8),
    FACT(offsetof(API_Guid, clock_seq_low), 9),
    FACT(offsetof(API_Guid, node), 10),
    FACT(sizeof(GS::Guid), 16),
    // The palette.
    FACT(APIPalMsg_ClosePalette, 1),
    FACT(APIPalMsg_HidePalette_Begin, 2),
    FACT(APIPalMsg_HidePalette_End, 3),
    FACT(APIPalMsg_DisableItems_Begin, 4),
    FACT(APIPalMsg_DisableItems_End, 5),
    FACT(APIPalMsg_OpenPalette, 6),
    FACT(APIPalMsg_IsPaletteVisible, 7),
    FACT(API_PalEnabled_FloorPlan, 0x001),
    FACT(API_PalEnabled_Section, 0x002),
    FACT(API_PalEnabled_3D, 0x004),
    FACT(API_PalEnabled_SelOnly, 0x008),
    FACT(API_PalEnabled_Detail, 0x010),
    FACT(API_PalEnabled_Layout, 0x020),
    FACT(API_PalEnabled_Worksheet, 0x040),
    FACT(API_PalEnabled_Elevation, 0x080),
    FACT(API_PalEnabled_InteriorElevation, 0x100),
    FACT(API_PalEnabled_DocumentFrom3D, 0x200),
    FACT(API_PalEnabled_ModelCompare, 0x400),
    // The process window.
    FACT(API_MenuCommandEnabled, 0),
    FACT(API_MenuCommandDisabled, 1),
    // Special folders.
    FACT(API_ApplicationPrefsFolderID, 1),
    FACT(API_GraphisoftPrefsFolderID, 2),
    FACT(API_GraphisoftHomeFolderID, 3),
    FACT(API_CacheFolderID, 4),
    FACT(API_DataFolderID, 5),
    FACT(API_UserDocumentsFolderID, 6),
    FACT(API_TemporaryFolderID, 7),
    FACT(API_ApplicationFolderID, 8),
    FACT(API_DefaultsFolderID, 9),
    FACT(API_WebObjectsFolderID, 10),
    FACT(API_TemplatesFolderID, 11),
    FACT(API_HelpFolderID, 12),
    FACT(API_EmbeddedProjectLibraryFolderID, 13),
    FACT(API_EmbeddedProjectLibraryHotlinkFolderID, 14),
    // Saving a picture.
    FACT(sizeof(API_FileSavePars), 80),
    FACT(offsetof(API_FileSavePars, fileTypeID), 0),
    FACT(offsetof(API_FileSavePars, filler_1), 4),
    FACT(offsetof(API_FileSavePars, file), 8),
    FACT(offsetof(API_FileSavePars, filler_2), 16),
    FACT(sizeof(API_SavePars_Picture), 40),
    FACT(offsetof(API_SavePars_Picture, colorDepth), 0),
    FACT(offsetof(API_SavePars_Picture, dithered), 4),
    FACT(offsetof(API_SavePars_Picture, view2D), 5),
    FACT(offsetof(API_SavePars_Picture, crop), 6),
    FACT(offsetof(API_SavePars_Picture, keepSelectionHighlight), 7),
    FACT(offsetof(API_SavePars_Picture, filler_2), 8),
    FACT(APIFType_None, 0),
    FACT(APIFType_PNGFile, 16),
    FACT(APIFType_BMPFile, 17),
    FACT(APIFType_TIFFFile, 18),
    FACT(APIFType_JPEGFile, 19),
    FACT(APIFType_GIFFile, 20),
    FACT(APIFType_EMFFile, 21),
    FACT(APIFType_WMFFile, 22),
    FACT(APIColorDepth_FromSourceImage, -1),
    FACT(APIColorDepth_BW, 0),
    FACT(APIColorDepth_16C, 1),
    FACT(APIColorDepth_256C, 2),
    FACT(APIColorDepth_16G, 3),
    FACT(APIColorDepth_256G, 4),
    FACT(APIColorDepth_64KC, 5),
    FACT(APIColorDepth_TC24, 6),
    FACT(APIColorDepth_TC32, 7),
    // Error codes.
    FACT(API_ModuleId, 262),
    FACT(APIErrorStart, static_cast<Int32>(0x81060000)),
    FACT(APIERR_GENERAL, static_cast<Int32>(0x81060001)),
    FACT(APIERR_MEMFULL, static_cast<Int32>(0x81060002)),
    FACT(APIERR_CANCEL, static_cast<Int32>(0x81060003)),
    FACT(APIERR_BADID, static_cast<Int32>(0x81060065)),
    FACT(APIERR_BADPARS, static_cast<Int32>(0x81060068)),
    FACT(APIERR_IRREGULARPOLY, static_cast<Int32>(0x81060072)),
    FACT(APIERR_BADEXPRESSION, static_cast<Int32>(0x81060073)),
    FACT(APIERR_BADTOKEN, static_cast<Int32>(0x81060075)),
    FACT(APIERR_NO3D, static_cast<Int32>(0x810600C9)),
    FACT(APIERR_NOTEAMWORKPROJECT, static_cast<Int32>(0x810600D3)),
    FACT(APIERR_NOUSERDATA, static_cast<Int32>(0x810600DC)),
    FACT(APIERR_NAMEALREADYUSED, static_cast<Int32>(0x810600E4)),
    FACT(APIERR_ATTREXIST, static_cast<Int32>(0x8106012D)),
    FACT(APIERR_BADCLASSIFICATION, static_cast<Int32>(0x81060135)),
    FACT(APIERR_NOCURRATTRSET, static_cast<Int32>(0x81060137)),
    FACT(APIERR_MODULNOTINSTALLED, static_cast<Int32>(0x81060191)),
    FACT(APIERR_NOMODULEDATA, static_cast<Int32>(0x81060195)),
    FACT(APIERR_DEPRECATEDCALL, static_cast<Int32>(0x81060196)),
    FACT(APIERR_PAROVERLAP, static_cast<Int32>(0x810601F5)),
    FACT(APIERR_PARIMPLICIT, static_cast<Int32>(0x810601F8)),
    FACT(APIERR_RUNOVERLAP, static_cast<Int32>(0x810601FE)),
    FACT(APIERR_RUNPROTECTED, static_cast<Int32>(0x81060202)),
    FACT(APIERR_EOLOVERLAP, static_cast<Int32>(0x81060208)),
    FACT(APIERR_TABOVERLAP, static_cast<Int32>(0x81060212)),
    FACT(APIERR_NOTINIT, static_cast<Int32>(0x81060385)),
    FACT(APIERR_NOTSUPPORTED, static_cast<Int32>(0x81060387)),
    FACT(APIERR_NEEDSUNDOSCOPE, static_cast<Int32>(0x8106038D)),
    FACT(APIERR_UNDOSCOPEMISUSE, static_cast<Int32>(0x8106038E)),
    FACT(APIERR_MISSINGCODE, static_cast<Int32>(0x810603E9)),
    FACT(APIERR_MISSINGDEF, static_cast<Int32>(0x810603EA)),
    // Host-library values.
    FACT(NoError, 0),
    FACT(GS::ErrIO, -36),
    FACT(GS::Cancel, -7004),
    FACT(GS::ExceptionError, -7005),
    FACT(GS::Error, -7003),
    FACT(GS::ErrorFlagMask, static_cast<Int32>(0x80000000)),
    FACT(MaxUSize, 4294967295LL),
    FACT(CC_Default, 0),
    FACT(CC_UTF8, 99),
    FACT(GS::UniString::ReplaceWithFillers, 0),
    FACT(GS::UniString::ThrowException, 1),
    FACT(GS::UniString::KeepEmptyParts, 0),
    FACT(GS::UniString::SkipEmptyParts, 1),
    FACT(InvalidResModule, -1),
    FACT(AppResModule, -3),
    FACT(SysResModule, -4),
    FACT(RST_Localised, 0),
    FACT(RST_Fixed, 1),
    FACT(ALLOCATE_CLEAR, 0x0002),
    FACT(GS::MemoryManager::ThrowGSMemoryFull, 0),
    FACT(GS::MemoryManager::ReturnNullPointer, 1),
    FACT(IO::AccessDeniedIsAllowed, 0),
    FACT(IO::AccessDeniedIsError, 1),
    FACT(IO::AccessDeniedIsErrorInPrivateLocations, 2),
    FACT(IO::File::ReadMode, 0),
    FACT(GS::IBinaryChannelUtilities::LengthPrefixed, 0),
    FACT(GS::IBinaryChannelUtilities::ZeroTerminated, 1),
    FACT(GS::IBinaryChannelUtilities::NotTerminated, 2),
};

constexpr bool AllHold() {
    for (const Fact& fact : kFacts) {
        if (fact.actual != fact.expected)
            return false;
    }
    return true;
}
static_assert(AllHold(), "a DevKit record layout or value differs; devkit_records_test lists which");

// The basic types as the host defines them.
static_assert(std::is_same_v<Int32, int> && std::is_same_v<UInt32, unsigned int>, "Int32");
static_assert(std::is_same_v<Int64, long long> && std::is_same_v<UInt64, unsigned long long>, "Int64");
static_assert(std::is_same_v<Int16, short> && std::is_same_v<UInt16, unsigned short>, "Int16");
static_assert(std::is_same_v<GSErrCode, Int32> && std::is_same_v<GSSize, Int32>, "GSErrCode, GSSize");
static_assert(std::is_same_v<GSFlags, UInt32> && std::is_same_v<USize, UInt32> &&
                  std::is_same_v<UIndex, UInt32>,
              "GSFlags, USize, UIndex");
static_assert(std::is_same_v<GSHandle, char**> && std::is_same_v<GS::IntPtr, Int64>, "GSHandle, IntPtr");
static_assert(std::is_same_v<GSResModule, GS::IntPtr> && std::is_same_v<GSResID, Int32>, "RS types");
static_assert(std::is_same_v<GS::uchar_t, unsigned short> && std::is_same_v<UniChar::Layout, unsigned short>,
              "UTF-16 code unit");
static_assert(std::is_same_v<std::underlying_type_t<GS::ErrorType>, GSErrCode>, "GS::ErrorType");
static_assert(std::is_same_v<APIMenuCommandProc, GSErrCode(const API_MenuParams*)>, "APIMenuCommandProc");
static_assert(
    std::is_same_v<APIPaletteControlCallBackProc, GSErrCode(Int32, API_PaletteMessageID, GS::IntPtr)>,
    "APIPaletteControlCallBackProc");
static_assert(std::is_same_v<APIDllTermHookProc, void()>, "APIDllTermHookProc");
static_assert(std::is_same_v<decltype(CheckEnvironment), API_AddonType(API_EnvirParams*)>,
              "CheckEnvironment");
static_assert(std::is_same_v<decltype(ACAPI_WriteReport), void(const GS::UniString&, bool, ...)>,
              "ACAPI_WriteReport returns nothing");
static_assert(std::is_same_v<decltype(ACAPI_GetOwnResModule), GSResModule()>, "ACAPI_GetOwnResModule");
static_assert(std::is_same_v<decltype(ACAPI_ProcessWindow_InitProcessWindow),
                             GSErrCode(const GS::UniString*, Int32*, API_ProcessControlTypeID*)>,
              "ACAPI_ProcessWindow_InitProcessWindow");
static_assert(std::is_same_v<decltype(ACAPI_ProcessWindow_SetNextProcessPhase),
                             GSErrCode(const GS::UniString*, Int32*, bool*)>,
              "ACAPI_ProcessWindow_SetNextProcessPhase");
static_assert(std::is_same_v<decltype(ACAPI_ProcessWindow_SetProcessValue), GSErrCode(Int32*)> &&
                  std::is_same_v<decltype(ACAPI_ProcessWindow_IncProcessValue), GSErrCode(Int32*)>,
              "ACAPI_ProcessWindow_SetProcessValue, IncProcessValue");
static_assert(std::is_same_v<decltype(ACAPI_ProcessWindow_IsProcessCanceled), GSErrCode()> &&
                  std::is_same_v<decltype(ACAPI_ProcessWindow_CloseProcessWindow), GSErrCode()>,
              "ACAPI_ProcessWindow_IsProcessCanceled, CloseProcessWindow");

TEST(DevKitRecords, EveryLayoutAndValueIsTheHosts) {
    for (const Fact& fact : kFacts) EXPECT_EQ(fact.actual, fact.expected) << fact.what;
}

}  // namespace
