// Message dialogs and the link flow, driven through the scripted user as a person would click.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "BrowserPages.hpp"
#include "DGControl.hpp"
#include "Dialogs.hpp"
#include "FakeHost.hpp"
#include "LinkFlow.hpp"
#include "LinkStore.hpp"
#include "Preferences.hpp"

using DG::Control::Action;
using testsupport::FakeHost;

namespace {

class DialogsTest : public ::testing::Test {
protected:
    void TearDown() override {
        const DG::Control::ObserverStats stats = DG::Control::GetObserverStats();
        EXPECT_EQ(stats.attachments, 0) << "every observer is detached after each dialog";
        EXPECT_EQ(stats.leftAttached, 0);
        EXPECT_EQ(stats.livePanels, 0);
    }

    DG::Control::DialogRecord OnlyDialog() {
        const auto shown = DG::Control::GetShownDialogs();
        EXPECT_EQ(shown.size(), 1u);
        return shown.empty() ? DG::Control::DialogRecord{} : shown[0];
    }

    FakeHost host;
    testsupport::ModuleResources resources;
};

std::string LivePage() {
    return std::string(WebAppOrigin) + "/?uploadRealtime=true";
}

}  // namespace

TEST_F(DialogsTest, OkInTheLinkDialogStoresANewIdentifierAndOpensTheLoginPage) {
    DG::Control::ScriptUserActions({Action::Click(1, 32520)});
    LinkAccount();
    const auto dialog = OnlyDialog();
    EXPECT_EQ(dialog.title, "Link to KAVELO");
    EXPECT_EQ(dialog.buttons, (std::vector<std::string>{"OK", "Cancel"}));
    EXPECT_TRUE(dialog.result);
    std::string id;
    ASSERT_TRUE(LinkStore::Read(&id));
    ASSERT_EQ(id.size(), 36u);
    EXPECT_EQ(host.LaunchedUrls(), std::vector<std::string>{std::string(WebAppOrigin) + "/login?eid=" + id});
    EXPECT_NE(std::find(host.debugLines.begin(), host.debugLines.end(),
                        "Dialog true and id: " + id.substr(0, 4) + "\xE2\x80\xA6\n"),
              host.debugLines.end())
        << "the trace shows four characters of the identifier";
    EXPECT_FALSE(IsLiveTabStale()) << "the login page counts as opened";
}

TEST_F(DialogsTest, EveryOtherWayOutOfTheLinkDialogChangesNothing) {
    for (const Action& action : {Action::Click(2), Action::CloseControl(), Action::EscapeKey()}) {
        DG::Control::ScriptUserActions({action});
        LinkAccount();
    }
    for (const auto& dialog : DG::Control::GetShownDialogs()) EXPECT_FALSE(dialog.result);
    EXPECT_FALSE(host.preferences.has_value());
    EXPECT_FALSE(IsAccountLinked());
    EXPECT_TRUE(host.launches.empty());
}

TEST_F(DialogsTest, TheSeparatorOfOneButtonDialogsNeverCloses) {
    for (short id : {32531, 32533, 32534}) {
        DG::Control::ClearShownDialogs();
        DG::Control::ScriptUserActions({Action::Click(2), Action::Click(1)});
        EXPECT_TRUE(Dialog(id).Invoke()) << id;
        const auto dialog = OnlyDialog();
        EXPECT_EQ(dialog.actions.size(), 2u) << "the click on item 2 did not end dialog " << id;
        EXPECT_EQ(dialog.buttons, std::vector<std::string>{"OK"});
    }
}

TEST_F(DialogsTest, OpenLiveOpensTheImageAndStampsTheTime) {
    DG::Control::ScriptUserActions({Action::Click(1, 32532)});
    EXPECT_TRUE(DialogRealtime(GS::UniString("img42")).Invoke());
    EXPECT_EQ(host.LaunchedUrls(), std::vector<std::string>{LivePage() + "&imageId=img42"});
    EXPECT_FALSE(IsLiveTabStale());
    EXPECT_EQ(OnlyDialog().buttons, (std::vector<std::string>{"Open live", "Close"}));

    DG::Control::ScriptUserActions({Action::Click(1, 32532)});
    DialogRealtime(GS::UniString()).Invoke();
    EXPECT_EQ(host.LaunchedUrls().back(), LivePage()) << "an empty id opens the plain live page";
}

TEST_F(DialogsTest, CloseAndTheCloseControlOpenNothing) {
    DG::Control::ScriptUserActions({Action::Click(2, 32532), Action::CloseControl(32532)});
    EXPECT_FALSE(DialogRealtime(GS::UniString("img")).Invoke());
    EXPECT_FALSE(DialogRealtime(GS::UniString("img")).Invoke());
    EXPECT_TRUE(host.launches.empty());
    EXPECT_FALSE(host.preferences.has_value()) << "no timestamp stored";
}

TEST_F(DialogsTest, AMissingLayoutIsAnExceptionForTheCaller) {
    EXPECT_ANY_THROW(Dialog(31999));
    EXPECT_ANY_THROW(DialogRealtime(GS::UniString("x")).Invoke());  // script is empty: the user has no answer
}
