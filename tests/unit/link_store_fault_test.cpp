// The link store when the file system refuses a step (the host library's own file calls made to fail):
// a replace that fails keeps the earlier link, an unlink that fails is one report and no "unlinked".
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "AddOnMain.hpp"
#include "DGControl.hpp"
#include "FakeHost.hpp"
#include "LinkFlow.hpp"
#include "LinkStore.hpp"
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
