// The link store when the system refuses a step (the host library's own file and known-folder calls made to
// fail): a replace that fails keeps the earlier link, an unlink that fails is one report and no "unlinked",
// a store of the last build that cannot be moved yet still links, no roaming folder is no link.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "AddOnMain.hpp"
#include "DGControl.hpp"
#include "FakeHost.hpp"
#include "LinkFlow.hpp"
#include "LinkStore.hpp"
#include "LinkStoreFile.hpp"
#include "PlatformControl.hpp"
#include "Preferences.hpp"

using DG::Control::Action;
using Platform::Control::FileCall;
using testsupport::FakeHost;

namespace {

class LinkStoreFaultTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (FileCall call :
             {FileCall::CreateDirectory, FileCall::MoveFile, FileCall::DeleteFile, FileCall::RemoveDirectory})
            Platform::Control::FailFileCall(call, 0);
        Platform::Control::FailKnownFolder(0);
    }

    std::string Stored() {
        std::string id;
        return LinkStore::Read(&id) ? id : std::string();
    }

    void LinkByDialog() {
        DG::Control::ScriptUserActions({Action::Click(1, 32520)});
        LinkAccount();
    }

    FakeHost host;
    testsupport::ModuleResources resources;
};

}  // namespace

TEST_F(LinkStoreFaultTest, AReplaceThatFailsKeepsTheEarlierLinkAndLeavesNoNewFile) {
    LinkByDialog();
    const std::string id = Stored();
    ASSERT_EQ(id.size(), 36u);
    host.launches.clear();
    Platform::Control::FailFileCall(FileCall::MoveFile);
    LinkByDialog();
    EXPECT_EQ(host.reports, std::vector<std::string>{"Error: APIERR_GENERAL"});
    EXPECT_TRUE(host.launches.empty()) << "no login page for an identifier that is not kept";
    EXPECT_EQ(Stored(), id);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::u8path(host.LinkStorePath() + ".new")));
}

TEST_F(LinkStoreFaultTest, AnUnlinkThatCannotRemoveTheStoreIsOneReportAndNoUnlinkedDialog) {
    LinkByDialog();
    const std::string id = Stored();
    const auto record = host.preferences;
    DG::Control::ClearShownDialogs();
    Platform::Control::FailFileCall(FileCall::DeleteFile);
    API_MenuParams params{};
    params.menuItemRef.menuResID = 32513;
    params.menuItemRef.itemIndex = 1;
    EXPECT_EQ(MenuCommandHandler(&params), NoError);
    EXPECT_EQ(host.reports, std::vector<std::string>{"Error: APIERR_GENERAL"});
    EXPECT_TRUE(DG::Control::GetShownDialogs().empty()) << "no \"Account unlinked\" after a failed unlink";
    EXPECT_EQ(Stored(), id) << "still linked";
    ASSERT_TRUE(host.preferences.has_value());
    EXPECT_EQ(host.preferences->bytes, record->bytes) << "nothing else was undone";

    // A folder that cannot be removed is no failure: the link is gone.
    host.reports.clear();
    Platform::Control::FailFileCall(FileCall::RemoveDirectory);
    DG::Control::ScriptUserActions({Action::Click(1, 32534)});
    EXPECT_EQ(MenuCommandHandler(&params), NoError);
    EXPECT_TRUE(host.reports.empty());
    EXPECT_EQ(Stored(), "");
}

// The user linked with the last build; the roaming folder refuses the new file once: the identifier still
// serves this export, the old file stays, and the next read moves it.
TEST_F(LinkStoreFaultTest, AStoreOfTheLastBuildThatCannotBeMovedYetStillLinksAndMovesLater) {
    const std::string id = "0f8fad5b-d9cb-469f-a165-70867728950e";
    ASSERT_TRUE(testsupport::WriteLinkStore(host.cacheFolder, id));
    Platform::Control::FailFileCall(FileCall::MoveFile);
    EXPECT_EQ(Stored(), id);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(host.EarlierLinkStorePath())));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::u8path(host.LinkStorePath())));
    EXPECT_EQ(Stored(), id);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::u8path(host.EarlierLinkStorePath())));
    EXPECT_EQ(testsupport::ReadLinkStore(host.roamingFolder), id);
    EXPECT_TRUE(host.reports.empty());
}

// Without the user's roaming folder nothing can be stored or read: one report each, and no login page for
// an identifier that is not kept.
TEST_F(LinkStoreFaultTest, NoRoamingFolderIsOneReportAndNoLoginPage) {
    Platform::Control::FailKnownFolder(1);
    EXPECT_EQ(Stored(), "");
    EXPECT_EQ(host.reports,
              std::vector<std::string>{
                  "The link to your KAVELO account stored for this user cannot be read. Please link "
                  "again: APIERR_GENERAL"});
    host.reports.clear();
    Platform::Control::FailKnownFolder(1);
    LinkByDialog();
    EXPECT_EQ(host.reports, std::vector<std::string>{"Error: APIERR_GENERAL"});
    EXPECT_TRUE(host.launches.empty());
}
