// The link flow when the system's random source fails (the host library's BCryptGenRandom made to fail):
// one report, nothing stored, no page opened.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "DGControl.hpp"
#include "FakeHost.hpp"
#include "LinkFlow.hpp"
#include "LinkIdentifier.hpp"
#include "LinkStore.hpp"
#include "PlatformControl.hpp"

using DG::Control::Action;
using testsupport::FakeHost;

namespace {

class RandomFailureTest : public ::testing::Test {
protected:
    void TearDown() override { Platform::Control::FailRandom(0); }
    FakeHost host;
    testsupport::ModuleResources resources;
};

}  // namespace

TEST_F(RandomFailureTest, NoIdentifierIsMadeOfNothing) {
    Platform::Control::FailRandom(1);
    EXPECT_EQ(GenerateUuidV4(), "");
    EXPECT_EQ(GenerateUuidV4().size(), 36u) << "the next draw works again";
}

TEST_F(RandomFailureTest, TheLinkIsReportedAndNothingIsStoredOrOpened) {
    const std::string linked = "0f8fad5b-d9cb-469f-a165-70867728950e";
    ASSERT_EQ(LinkStore::Write(linked), NoError);
    Platform::Control::FailRandom(1);
    DG::Control::ScriptUserActions({Action::Click(1, 32520)});
    LinkAccount();
    EXPECT_EQ(host.reports, std::vector<std::string>{"Error: APIERR_GENERAL"});
    EXPECT_EQ(host.Beeps(), 1);
    std::string stored;
    EXPECT_TRUE(LinkStore::Read(&stored));
    EXPECT_EQ(stored, linked) << "the earlier identifier stays";
    EXPECT_EQ(host.CallsTo(kSetPreferencesSlot), 0u);
    EXPECT_TRUE(host.launches.empty());
}
