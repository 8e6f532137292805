// The add-on library's exports, guarded entries and DllMain, with the add-on's four entry points.
#include <gtest/gtest.h>

#include <cstring>

#include "ACAP_STATControl.hpp"
#include "AddOnMain.hpp"
#include "BrowserPages.hpp"
#include "DGControl.hpp"
#include "FakeHost.hpp"
#include "Palette.hpp"
#include "RS.hpp"
#include "RSControl.hpp"

using testsupport::EnvironmentRecord;
using testsupport::FakeHost;

namespace {

AddOnDescriptor Descriptor() {
    AddOnDescriptor descriptor;
    std::memset(&descriptor, 0xEE, sizeof descriptor);
    GetExportedFuncAddrs(&descriptor);
    return descriptor;
}

// A table with the fake host's slots, as a host would hand it over.
std::vector<unsigned char> TableOf(const FakeHost&) {
    return std::vector<unsigned char>(HostFunctionTable, HostFunctionTable + HostFunctionTableSize);
}

}  // namespace

TEST(Lifecycle, DescriptorHoldsTheEntriesAndTheHostsConstants) {
    const AddOnDescriptor descriptor = Descriptor();
    EXPECT_EQ(descriptor.version, 0x001C0001u);
    EXPECT_EQ(descriptor.reserved1, 0u);
    EXPECT_EQ(descriptor.magic, 28000u);
    EXPECT_NE(descriptor.checkEnvironment, nullptr);
    EXPECT_NE(descriptor.freeData, nullptr);
    for (unsigned char byte : descriptor.reserved2) EXPECT_EQ(byte, 0);
    EXPECT_EQ(offsetof(EnvironmentRecord, name), 48u);
    EXPECT_EQ(offsetof(EnvironmentRecord, description), 64u);
}

TEST(Lifecycle, EntriesBeforeTheTableDoNothing) {
    ASSERT_FALSE(HostTableReceived) << "this test must run before any table is handed over";
    const AddOnDescriptor descriptor = Descriptor();
    EnvironmentRecord record{};
    int marker = 0;
    EXPECT_EQ(descriptor.checkEnvironment(&record), 0);
    EXPECT_TRUE(record.name.IsEmpty());
    EXPECT_EQ(descriptor.registerInterface(nullptr), APIERR_GENERAL);
    EXPECT_EQ(descriptor.initialize(&marker), APIERR_GENERAL);
    EXPECT_EQ(HostContext, nullptr);
    EXPECT_EQ(descriptor.freeData(nullptr), APIERR_GENERAL);
}

TEST(Lifecycle, EntriesWorkOnceTheTableArrivesAndASecondTableReplacesIt) {
    FakeHost host;
    testsupport::ModuleResources resources;
    const std::vector<unsigned char> table = TableOf(host);
    HostContext = nullptr;
    std::memset(HostFunctionTable, 0, HostFunctionTableSize);
    ASSERT_EQ(SetImportedFuncAddrs(table.data()), NoError);
    EXPECT_TRUE(HostTableReceived);
    const AddOnDescriptor descriptor = Descriptor();

    EnvironmentRecord record{};
    EXPECT_EQ(descriptor.checkEnvironment(&record), 1);
    EXPECT_STREQ(record.name.ToCStr().Get(), "KAVELO");
    EXPECT_EQ(std::string(record.description.ToCStr().Get()),
              "Export models to " + std::string(WebAppOrigin).substr(8) + " to improve realism");

    EXPECT_EQ(descriptor.registerInterface(nullptr), NoError);
    ASSERT_EQ(host.menuRecords.size(), 5u);
    const Int16 expected[5][2] = {{32511, 32530}, {32512, 0}, {32514, 0}, {32513, 0}, {32540, 0}};
    for (int i = 0; i < 5; ++i) {
        Int16 ids[2];
        std::memcpy(ids, host.menuRecords[i].data(), sizeof ids);
        EXPECT_EQ(ids[0], expected[i][0]);
        EXPECT_EQ(ids[1], expected[i][1]);
    }

    int context = 0;
    EXPECT_EQ(descriptor.initialize(&context), NoError);
    EXPECT_EQ(HostContext, &context);
    ASSERT_EQ(host.menuHandlers.size(), 5u);
    EXPECT_EQ(host.menuHandlers[4].first, 32540);
    ASSERT_EQ(host.windowRecords.size(), 1u);
    Int32 referenceId, flags;
    std::memcpy(&referenceId, host.windowRecords[0].data(), 4);
    std::memcpy(&flags, host.windowRecords[0].data() + 16, 4);
    EXPECT_EQ(referenceId, PaletteReferenceId);
    EXPECT_EQ(flags, 4);
    EXPECT_EQ(std::memcmp(host.windowRecords[0].data() + 20, &PaletteGuid, 16), 0);

    EXPECT_EQ(descriptor.freeData(nullptr), NoError);
    EXPECT_EQ(host.unregisteredWindows, std::vector<Int32>{PaletteReferenceId});
    EXPECT_EQ(HostContext, nullptr);

    std::vector<unsigned char> empty(HostFunctionTableSize, 0);
    SetImportedFuncAddrs(empty.data());
    EXPECT_EQ(descriptor.registerInterface(nullptr), APIERR_NOTSUPPORTED)
        << "the second table replaced the first";
    EXPECT_TRUE(HostTableReceived);
    SetImportedFuncAddrs(table.data());
}

TEST(Lifecycle, OnlyTheLastHandlerInstallationFailureIsTracedAndPaletteFailureIsReturned) {
    FakeHost host;
    HostTableReceived = true;
    host.FailSlot(kInstallMenuHandlerSlot, APIERR_GENERAL, 1);
    EXPECT_EQ(Initialize(), NoError);
    EXPECT_TRUE(host.debugLines.empty());

    host.menuHandlers.clear();
    host.FailSlot(kInstallMenuHandlerSlot, NoError, 0);
    host.FailSlot(kRegisterModelessWindowSlot, static_cast<GSErrCode>(0x810600E0), 1);
    EXPECT_EQ(Initialize(), static_cast<GSErrCode>(0x810600E0));
    EXPECT_EQ(host.debugLines,
              std::vector<std::string>{"DG_Test:: Initialize() ACAPI_RegisterModelessWindow failed\n"});

    host.debugLines.clear();
    for (int i = 0; i < 4; ++i) host.FailSlot(kInstallMenuHandlerSlot, NoError, 0);
    // Fail only the fifth installation.
    struct Counter {
        static GSErrCode Install(void*, Int32 id, APIMenuCommandProc*) {
            return id == 32540 ? static_cast<GSErrCode>(APIERR_GENERAL) : NoError;
        }
    };
    auto install = &Counter::Install;
    std::memcpy(HostFunctionTable + kInstallMenuHandlerSlot, &install, sizeof install);
    EXPECT_EQ(Initialize(), NoError);
    EXPECT_EQ(host.debugLines,
              std::vector<std::string>{"DG_Test:: Initialize() ACAPI_Install_MenuHandler failed\n"});
    FreeData();
}

TEST(Lifecycle, DetachClosesResourcesAndTracesAMissingRelease) {
    FakeHost host;
    const int openBefore = RS::Control::OpenHandleCount();
    std::u16string path = u"/opt/host/Add-Ons/KAVELO.apx";
    std::memcpy(ModuleFilePath, path.c_str(), (path.size() + 1) * sizeof(char16_t));

    ResModule = RS::Control::OpenResourceFile(KAVELO_MODULE_PATH);
    ASSERT_NE(ResModule, InvalidResModule);
    HostTableReceived = true;
    const AddOnDescriptor descriptor = Descriptor();
    int context = 0;
    ASSERT_EQ(descriptor.initialize(&context), NoError);
    ASSERT_EQ(descriptor.freeData(nullptr), NoError);
    DllMain(nullptr, DLL_PROCESS_DETACH, nullptr);
    EXPECT_EQ(ResModule, InvalidResModule);
    EXPECT_EQ(RS::Control::OpenHandleCount(), openBefore);
    EXPECT_TRUE(host.debugLines.empty()) << "a regular release leaves nothing to say";

    ASSERT_EQ(descriptor.initialize(&context), NoError);
    DllMain(nullptr, DLL_PROCESS_DETACH, nullptr);
    EXPECT_EQ(host.debugLines,
              std::vector<std::string>{"Abnormal add-on termination (\"/opt/host/Add-Ons/KAVELO.apx\")\n"});
    EXPECT_EQ(HostContext, nullptr);
    EXPECT_EQ(RS::Control::OpenHandleCount(), openBefore) << "nothing to remove when never opened";
}
