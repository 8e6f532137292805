// The export's process window as the host sees it: texts from the module's resources, a bar over the
// body's bytes that fits the host's 32-bit values, the Cancel, the closing on every path, and a host
// without a process window.
#include <gtest/gtest.h>

#include "FakeHost.hpp"
#include "UploadProgress.hpp"

using testsupport::FakeHost;
using testsupport::ModuleResources;

namespace {

constexpr UInt32 kInit = 0x49505744;      // 'IPWD'
constexpr UInt32 kPhase = 0x53505250;     // 'SPRP'
constexpr UInt32 kValue = 0x53505256;     // 'SPRV'
constexpr UInt32 kCanceled = 0x43414E43;  // 'CANC'
constexpr UInt32 kClose = 0x43505744;     // 'CPWD'

std::vector<UInt32> Selectors(const FakeHost& host) {
    std::vector<UInt32> selectors;
    for (const auto& call : host.processWindowCalls) selectors.push_back(call.selector);
    return selectors;
}

}  // namespace

TEST(UploadProgress, OpensOnTheConnectionThenRunsOverTheBytesAndClosesWhenItGoes) {
    ModuleResources resources;
    FakeHost host;
    {
        UploadProgress progress;
        EXPECT_FALSE(progress.IsCanceled());
        progress.StartUpload(2450000);
        EXPECT_FALSE(progress.AdvanceTo(1225000));
        EXPECT_FALSE(progress.AdvanceTo(2450000));
    }
    EXPECT_EQ(Selectors(host), (std::vector<UInt32>{kInit, kPhase, kCanceled, kPhase, kValue, kCanceled,
                                                    kValue, kCanceled, kClose}));
    const auto& calls = host.processWindowCalls;
    EXPECT_EQ(calls[0].text, "Export to KAVELO");
    EXPECT_EQ(calls[0].number, 2) << "connecting, then uploading";
    EXPECT_EQ(calls[1].text, "Connecting to KAVELO");
    EXPECT_EQ(calls[1].number, 0) << "no bar while connecting";
    EXPECT_EQ(calls[3].text, "Uploading the view");
    EXPECT_EQ(calls[3].number, 2450000);
    EXPECT_EQ(calls[4].number, 1225000);
    EXPECT_EQ(calls[6].number, 2450000);
}

// The texts come before the window: without them nothing opens, so nothing is left open.
TEST(UploadProgress, TextsThatCannotBeHadLeaveNoWindow) {
    FakeHost host;
    try {
        UploadProgress progress;
        progress.Close();
    } catch (...) {
    }
    std::size_t inits = 0, closes = 0;
    for (UInt32 selector : Selectors(host)) inits += selector == kInit, closes += selector == kClose;
    EXPECT_EQ(inits, closes);
}

TEST(UploadProgress, TellsOfTheCancelAndClosesOnceEvenWhenClosedEarly) {
    ModuleResources resources;
    FakeHost host;
    UploadProgress progress;
    progress.StartUpload(1000);
    EXPECT_FALSE(progress.AdvanceTo(400));
    host.processCanceled = true;
    EXPECT_TRUE(progress.AdvanceTo(500));
    progress.Close();
    progress.Close();
    EXPECT_FALSE(progress.AdvanceTo(600)) << "a closed window asks nothing";
    EXPECT_EQ(Selectors(host).back(), kClose);
    std::size_t closes = 0;
    for (UInt32 selector : Selectors(host)) closes += selector == kClose;
    EXPECT_EQ(closes, 1u);
}

TEST(UploadProgress, ABodyBeyondThirtyTwoBitsIsShownInLargerUnits) {
    ModuleResources resources;
    FakeHost host;
    const UInt64 total = 5000000000ull;
    {
        UploadProgress progress;
        progress.StartUpload(total);
        progress.AdvanceTo(total);
    }
    const auto& calls = host.processWindowCalls;
    ASSERT_GE(calls.size(), 4u);
    ASSERT_TRUE(calls[2].number.has_value());
    EXPECT_GT(*calls[2].number, 1 << 30) << "the bar keeps a fine scale";
    EXPECT_EQ(calls[3].number, calls[2].number) << "the whole body is the whole bar";
}

TEST(UploadProgress, AHostWithoutAProcessWindowIsAskedNothingMoreAndNeverCancels) {
    ModuleResources resources;
    FakeHost host;
    host.EmptySlot(kInterfaceSlot);
    host.processCanceled = true;
    {
        UploadProgress progress;
        progress.StartUpload(1000);
        EXPECT_FALSE(progress.IsCanceled());
        EXPECT_FALSE(progress.AdvanceTo(500));
        EXPECT_FALSE(progress.AdvanceTo(1000));
    }
    EXPECT_EQ(host.CallsTo(kInterfaceSlot), 0u);
}

TEST(UploadProgress, AWindowTheHostRefusedToOpenIsNeitherAskedNorClosed) {
    ModuleResources resources;
    FakeHost host;
    host.FailSlot(kInterfaceSlot, APIERR_GENERAL, 1);
    {
        UploadProgress progress;
        progress.StartUpload(1000);
        EXPECT_FALSE(progress.AdvanceTo(1000));
    }
    EXPECT_EQ(host.CallsTo(kInterfaceSlot), 1u);
}
