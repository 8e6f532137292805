// The add-on library's ACAPI functions: empty slots, the context argument and the records the host receives.
#include <gtest/gtest.h>

#include <cstring>

#include "ACAP_STATControl.hpp"
#include "FakeHost.hpp"
#include "Location.hpp"

using testsupport::FakeHost;

namespace {

template <class T>
T Field(const std::vector<unsigned char>& bytes, std::size_t offset) {
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

GSErrCode Handler(const API_MenuParams*) {
    return NoError;
}
GSErrCode Callback(Int32, API_PaletteMessageID, GS::IntPtr) {
    return NoError;
}

}  // namespace

TEST(HostServices, EmptySlotsAnswerNotSupportedWithoutACall) {
    FakeHost host;
    for (std::size_t slot : {kRegisterMenuSlot, kInstallMenuHandlerSlot, kSetPreferencesSlot,
                             kGetPreferencesSlot, kRegisterModelessWindowSlot, kUnregisterModelessWindowSlot,
                             kEnvironmentSlot, kInterfaceSlot, kAutomateSlot})
        host.EmptySlot(slot);
    Int32 version = 0;
    GSSize size = 0;
    IO::Location location;
    API_SpecFolderID folder = API_CacheFolderID;
    EXPECT_EQ(ACAPI_MenuItem_RegisterMenu(1, 0, MenuCode_UserDef, MenuFlag_Default), APIERR_NOTSUPPORTED);
    EXPECT_EQ(ACAPI_MenuItem_InstallMenuHandler(1, &Handler), APIERR_NOTSUPPORTED);
    EXPECT_EQ(ACAPI_SetPreferences(1, 0, nullptr), APIERR_NOTSUPPORTED);
    EXPECT_EQ(ACAPI_GetPreferences(&version, &size, nullptr), APIERR_NOTSUPPORTED);
    EXPECT_EQ(ACAPI_RegisterModelessWindow(1, &Callback, API_PalEnabled_3D), APIERR_NOTSUPPORTED);
    EXPECT_EQ(ACAPI_UnregisterModelessWindow(1), APIERR_NOTSUPPORTED);
    EXPECT_EQ(ACAPI_ProjectSettings_GetSpecFolder(&folder, &location), APIERR_NOTSUPPORTED);
    EXPECT_EQ(ACAPI_ProjectOperation_Save(nullptr, nullptr), APIERR_NOTSUPPORTED);
    Int32 number = 1;
    const GS::UniString title("Export");
    EXPECT_EQ(ACAPI_ProcessWindow_InitProcessWindow(&title, &number), APIERR_NOTSUPPORTED);
    EXPECT_EQ(ACAPI_ProcessWindow_SetNextProcessPhase(&title, &number), APIERR_NOTSUPPORTED);
    EXPECT_EQ(ACAPI_ProcessWindow_SetProcessValue(&number), APIERR_NOTSUPPORTED);
    EXPECT_EQ(ACAPI_ProcessWindow_IncProcessValue(&number), APIERR_NOTSUPPORTED);
    EXPECT_EQ(ACAPI_ProcessWindow_IsProcessCanceled(), APIERR_NOTSUPPORTED);
    EXPECT_EQ(ACAPI_ProcessWindow_CloseProcessWindow(), APIERR_NOTSUPPORTED);
    EXPECT_TRUE(host.calls.empty());

    host.EmptySlot(kWriteReportSlot);
    ACAPI_WriteReport("x", true);
    EXPECT_TRUE(host.reports.empty());
}

TEST(HostServices, FilledSlotsGetTheContextAndReturnTheHostsCode) {
    FakeHost host;
    host.FailSlot(kUnregisterModelessWindowSlot, 0x81060064, 1);
    EXPECT_EQ(ACAPI_UnregisterModelessWindow(7), static_cast<GSErrCode>(0x81060064));
    EXPECT_EQ(ACAPI_UnregisterModelessWindow(7), NoError);
    ASSERT_EQ(host.calls.size(), 2u);
    EXPECT_EQ(host.calls[0].context, FakeHost::kContext);

    EXPECT_EQ(ACAPI_MenuItem_RegisterMenu(32540, 0, MenuCode_Palettes, MenuFlag_Default), NoError);
    EXPECT_EQ(host.calls.back().context, nullptr) << "the menu registration gets only its record";
}

TEST(HostServices, RecordsReachTheHostByteForByte) {
    FakeHost host;
    ASSERT_EQ(ACAPI_MenuItem_RegisterMenu(32511, 32530, MenuCode_UserDef, MenuFlag_Default), NoError);
    ASSERT_EQ(ACAPI_MenuItem_RegisterMenu(32540, 0, MenuCode_Palettes,
                                          MenuFlag_SeparatorBefore | MenuFlag_InsertIntoSame),
              NoError);
    const auto& first = host.menuRecords[0];
    ASSERT_EQ(first.size(), 32u);
    EXPECT_EQ(Field<Int16>(first, 0), 32511);
    EXPECT_EQ(Field<Int16>(first, 2), 32530);
    EXPECT_EQ(Field<Int32>(host.menuRecords[1], 4), 12);
    EXPECT_EQ(Field<Int32>(host.menuRecords[1], 8), 5);
    for (std::size_t i = 12; i < 32; ++i) EXPECT_EQ(first[i], 0) << "byte " << i;

    ASSERT_EQ(ACAPI_MenuItem_InstallMenuHandler(static_cast<Int16>(-2), &Handler), NoError);
    EXPECT_EQ(host.menuHandlers[0].first, 0xFFFE) << "menu ids go to the host zero-extended";

    unsigned char guid[16];
    for (int i = 0; i < 16; ++i) guid[i] = static_cast<unsigned char>(i + 1);
    API_Guid apiGuid;
    std::memcpy(&apiGuid, guid, sizeof apiGuid);
    ASSERT_EQ(ACAPI_RegisterModelessWindow(0x12345678, &Callback, API_PalEnabled_3D, apiGuid), NoError);
    const auto& window = host.windowRecords[0];
    ASSERT_EQ(window.size(), 80u);
    EXPECT_EQ(Field<Int32>(window, 0), 0x12345678);
    EXPECT_EQ(Field<APIPaletteControlCallBackProc*>(window, 8), &Callback);
    EXPECT_EQ(Field<Int32>(window, 16), 4);
    EXPECT_EQ(std::memcmp(window.data() + 20, guid, 16), 0);
    for (std::size_t i = 36; i < 80; ++i) EXPECT_EQ(window[i], 0) << "byte " << i;
}

TEST(HostServices, SpecialFolderAndSaveUseTheirSelectors) {
    FakeHost host;
    IO::Location folder;
    API_SpecFolderID cache = API_CacheFolderID;
    ASSERT_EQ(ACAPI_ProjectSettings_GetSpecFolder(&cache, &folder), NoError);
    GS::UniString path;
    ASSERT_EQ(folder.ToPath(&path), NoError);
    EXPECT_EQ(std::string(path.ToCStr(CC_UTF8).Get()), host.cacheFolder);
    API_SpecFolderID temporary = API_TemporaryFolderID;
    ASSERT_EQ(ACAPI_ProjectSettings_GetSpecFolder(&temporary, &folder), NoError);
    ASSERT_EQ(folder.ToPath(&path), NoError);
    EXPECT_EQ(std::string(path.ToCStr(CC_UTF8).Get()), host.temporaryFolder);
    API_SpecFolderID data = API_DataFolderID;
    EXPECT_NE(ACAPI_ProjectSettings_GetSpecFolder(&data, &folder), NoError);
}

TEST(HostServices, TheProcessWindowGoesThroughTheInterfaceSlotWithItsSelectors) {
    FakeHost host;
    const GS::UniString title("Export to KAVELO");
    const GS::UniString phase("Uploading the view");
    Int32 phases = 1;
    Int32 maximum = 2450000;
    Int32 value = 1225000;
    Int32 step = 5;
    EXPECT_EQ(ACAPI_ProcessWindow_InitProcessWindow(&title, &phases), NoError);
    EXPECT_EQ(ACAPI_ProcessWindow_SetNextProcessPhase(&phase, &maximum), NoError);
    EXPECT_EQ(ACAPI_ProcessWindow_SetProcessValue(&value), NoError);
    EXPECT_EQ(ACAPI_ProcessWindow_IncProcessValue(&step), NoError);
    EXPECT_EQ(ACAPI_ProcessWindow_IsProcessCanceled(), NoError);
    host.processCanceled = true;
    EXPECT_EQ(ACAPI_ProcessWindow_IsProcessCanceled(), APIERR_CANCEL);
    EXPECT_EQ(ACAPI_ProcessWindow_CloseProcessWindow(), NoError);

    const auto& calls = host.processWindowCalls;
    ASSERT_EQ(calls.size(), 7u);
    const UInt32 selectors[] = {0x49505744, 0x53505250, 0x53505256, 0x49505256,
                                0x43414E43, 0x43414E43, 0x43505744};
    for (std::size_t i = 0; i < calls.size(); ++i) EXPECT_EQ(calls[i].selector, selectors[i]) << i;
    EXPECT_EQ(calls[0].text, "Export to KAVELO");
    EXPECT_EQ(calls[0].number, 1);
    EXPECT_EQ(calls[1].text, "Uploading the view");
    EXPECT_EQ(calls[1].number, 2450000);
    EXPECT_EQ(calls[2].number, 1225000);
    EXPECT_EQ(calls[3].number, 5);
    EXPECT_EQ(host.CallsTo(kInterfaceSlot), 7u);
    EXPECT_EQ(host.calls.back().context, FakeHost::kContext);
}

TEST(HostServices, TheHostGetsTheAddOnsOwnHandler) {
    FakeHost host;
    ASSERT_EQ(ACAPI_MenuItem_InstallMenuHandler(32512, &Handler), NoError);
    ASSERT_EQ(host.menuHandlers.size(), 1u);
    EXPECT_EQ(host.menuHandlers[0].second, &Handler) << "no dispatcher of the library's own in between";
}

TEST(HostServices, TheOwnLocationIsKnownOnlyOnceTheModuleWasLoaded) {
    const WCHAR empty[1] = {};
    std::memcpy(ModuleFilePath, empty, sizeof empty);
    IO::Location own;
    EXPECT_EQ(ACAPI_GetOwnLocation(&own), APIERR_NOTINIT);
    EXPECT_EQ(ACAPI_GetOwnLocation(nullptr), APIERR_BADPARS);

    const std::u16string path = u"/opt/host/Add-Ons/K\u00C4VELO.apx";
    std::memcpy(ModuleFilePath, path.c_str(), (path.size() + 1) * sizeof(char16_t));
    ASSERT_EQ(ACAPI_GetOwnLocation(&own), NoError);
    GS::UniString text;
    ASSERT_EQ(own.ToPath(&text), NoError);
    EXPECT_EQ(std::string(text.ToCStr(CC_UTF8).Get()), "/opt/host/Add-Ons/K\xC3\x84VELO.apx");
    EXPECT_EQ(ACAPI_GetOwnResModule(), ResModule);
}
