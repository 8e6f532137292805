// The slot wrappers: empty slots, the context argument and the records the host receives.
#include <gtest/gtest.h>

#include <cstring>

#include "FakeHost.hpp"
#include "HostServices.hpp"
#include "Location.hpp"

using testsupport::FakeHost;

namespace {

template <class T>
T Field(const std::vector<unsigned char>& bytes, std::size_t offset) {
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

GSErrCode Handler(const MenuParams*) {
    return NoError;
}
GSErrCode Callback(Int32, Int32, std::intptr_t) {
    return NoError;
}

}  // namespace

TEST(HostServices, EmptySlotsAnswerNotSupportedWithoutACall) {
    FakeHost host;
    for (std::size_t slot :
         {testsupport::kRegisterMenuSlot, testsupport::kInstallMenuHandlerSlot,
          testsupport::kSetPreferencesSlot, testsupport::kGetPreferencesSlot,
          testsupport::kRegisterModelessWindowSlot, testsupport::kUnregisterModelessWindowSlot,
          testsupport::kEnvironmentSlot, testsupport::kAutomateSlot})
        host.EmptySlot(slot);
    Int32 version = 0, size = 0;
    IO::Location location;
    const unsigned char guid[16] = {};
    EXPECT_EQ(HostRegisterMenu(1, 0, 0, 0), APIERR_NOTSUPPORTED);
    EXPECT_EQ(ACAPI_Install_MenuHandler(1, &Handler), APIERR_NOTSUPPORTED);
    EXPECT_EQ(ACAPI_SetPreferences(1, 0, nullptr), APIERR_NOTSUPPORTED);
    EXPECT_EQ(HostGetPreferences(&version, &size, nullptr), APIERR_NOTSUPPORTED);
    EXPECT_EQ(ACAPI_RegisterModelessWindow(1, &Callback, 4, guid), APIERR_NOTSUPPORTED);
    EXPECT_EQ(HostUnregisterModelessWindow(1), APIERR_NOTSUPPORTED);
    EXPECT_EQ(HostGetSpecialFolder(4, &location), APIERR_NOTSUPPORTED);
    EXPECT_EQ(HostSaveRequest(nullptr, nullptr), APIERR_NOTSUPPORTED);
    EXPECT_TRUE(host.calls.empty());

    host.EmptySlot(testsupport::kWriteReportSlot);
    EXPECT_EQ(HostWriteReport(GS::UniString("x"), true), NoError);
}

TEST(HostServices, FilledSlotsGetTheContextAndReturnTheHostsCode) {
    FakeHost host;
    host.FailSlot(testsupport::kUnregisterModelessWindowSlot, 0x81060064, 1);
    EXPECT_EQ(HostUnregisterModelessWindow(7), static_cast<GSErrCode>(0x81060064));
    EXPECT_EQ(HostUnregisterModelessWindow(7), NoError);
    ASSERT_EQ(host.calls.size(), 2u);
    EXPECT_EQ(host.calls[0].context, FakeHost::kContext);

    EXPECT_EQ(HostRegisterMenu(32540, 0, 12, 0), NoError);
    EXPECT_EQ(host.calls.back().context, nullptr) << "the menu registration gets only its record";
}

TEST(HostServices, RecordsReachTheHostByteForByte) {
    FakeHost host;
    ASSERT_EQ(HostRegisterMenu(32511, 32530, 0, 0), NoError);
    ASSERT_EQ(HostRegisterMenu(32540, 0, 12, 5), NoError);
    const auto& first = host.menuRecords[0];
    ASSERT_EQ(first.size(), 32u);
    EXPECT_EQ(Field<Int16>(first, 0), 32511);
    EXPECT_EQ(Field<Int16>(first, 2), 32530);
    EXPECT_EQ(Field<Int32>(host.menuRecords[1], 4), 12);
    EXPECT_EQ(Field<Int32>(host.menuRecords[1], 8), 5);
    for (std::size_t i = 12; i < 32; ++i) EXPECT_EQ(first[i], 0) << "byte " << i;

    ASSERT_EQ(ACAPI_Install_MenuHandler(static_cast<Int16>(-2), &Handler), NoError);
    EXPECT_EQ(host.menuHandlers[0].first, 0xFFFE) << "menu ids go to the host zero-extended";

    unsigned char guid[16];
    for (int i = 0; i < 16; ++i) guid[i] = static_cast<unsigned char>(i + 1);
    ASSERT_EQ(ACAPI_RegisterModelessWindow(0x12345678, &Callback, 4, guid), NoError);
    const auto& window = host.windowRecords[0];
    ASSERT_EQ(window.size(), 80u);
    EXPECT_EQ(Field<Int32>(window, 0), 0x12345678);
    EXPECT_EQ(Field<PaletteCallbackFn>(window, 8), &Callback);
    EXPECT_EQ(Field<Int32>(window, 16), 4);
    EXPECT_EQ(std::memcmp(window.data() + 20, guid, 16), 0);
    for (std::size_t i = 36; i < 80; ++i) EXPECT_EQ(window[i], 0) << "byte " << i;
}

TEST(HostServices, SpecialFolderAndSaveUseTheirSelectors) {
    FakeHost host;
    IO::Location folder;
    ASSERT_EQ(HostGetSpecialFolder(4, &folder), NoError);
    GS::UniString path;
    ASSERT_EQ(folder.ToPath(&path), NoError);
    EXPECT_EQ(std::string(path.ToCStr().Get()), host.captureFolder);
    EXPECT_NE(HostGetSpecialFolder(5, &folder), NoError);
}
