// Menu commands, the toolbar palette and the host's palette messages.
#include <gtest/gtest.h>

#include "AddOnMain.hpp"
#include "BrowserPages.hpp"
#include "DGControl.hpp"
#include "DisposableControl.hpp"
#include "FakeHost.hpp"
#include "IOControl.hpp"
#include "Location.hpp"
#include "Palette.hpp"
#include "Preferences.hpp"

using DG::Control::Action;
using testsupport::FakeHost;

namespace {

GSErrCode Menu(Int16 id) {
    API_MenuParams params{};
    params.menuItemRef.menuResID = id;
    params.menuItemRef.itemIndex = 1;
    return MenuCommandHandler(&params);
}

GSErrCode Message(Int32 message, GS::IntPtr param = 0) {
    return PaletteWindowCallback(PaletteReferenceId, static_cast<API_PaletteMessageID>(message), param);
}

GS::IntPtr Answer(bool* answer) {
    return reinterpret_cast<GS::IntPtr>(answer);
}

std::vector<DG::Control::PaletteState> Palettes() {
    return DG::Control::GetPalettes();
}

class MenuPaletteTest : public ::testing::Test {
protected:
    void TearDown() override {
        // The tests' listeners count in their own frames, gone by now.
        DG::Control::SetPaletteDestroyedListener(nullptr);
        DestroyPalette();
        EXPECT_EQ(DG::Control::GetObserverStats().attachments, 0);
        EXPECT_EQ(DG::Control::GetObserverStats().leftAttached, 0);
    }
    FakeHost host;
    testsupport::ModuleResources resources;
};

}  // namespace

TEST_F(MenuPaletteTest, OpenToolbarAndTheToggle) {
    EXPECT_EQ(Menu(32511), NoError);
    ASSERT_EQ(Palettes().size(), 1u);
    EXPECT_TRUE(Palettes()[0].visible);
    EXPECT_TRUE(Palettes()[0].processingEvents);
    EXPECT_EQ(Palettes()[0].title, "Kavelo Palette");
    EXPECT_EQ(Palettes()[0].lastShowPlacement, -32768);

    EXPECT_EQ(Menu(32511), NoError);
    EXPECT_EQ(Palettes().size(), 1u) << "open toolbar with the palette open changes nothing";
    EXPECT_EQ(Menu(32540), NoError);
    ASSERT_EQ(Palettes().size(), 1u) << "a toggle after open toolbar closes, and keeps the palette";
    EXPECT_FALSE(Palettes()[0].visible);
    EXPECT_FALSE(IsPaletteOpen());
    EXPECT_EQ(Menu(32540), NoError);
    EXPECT_TRUE(IsPaletteOpen());
    EXPECT_EQ(Menu(32540), NoError);
    EXPECT_FALSE(IsPaletteOpen());
}

TEST_F(MenuPaletteTest, UnlinkShowsItsDialogAndUnknownIdsDoNothing) {
    DG::Control::ScriptUserActions({Action::Click(1, 32534)});
    EXPECT_EQ(Menu(32513), NoError);
    const auto shown = DG::Control::GetShownDialogs();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "Account unlinked");
    EXPECT_EQ(shown[0].texts,
              std::vector<std::string>{"Archicad app was unlinked from your KAVELO account."});

    const std::size_t callsBefore = host.calls.size();
    EXPECT_EQ(Menu(12345), NoError);
    EXPECT_EQ(host.calls.size(), callsBefore);
    EXPECT_FALSE(IsPaletteOpen());
}

// The link is gone with its store: a host that refuses to delete the record (the kit documents the call
// for saving only) still shows "Account unlinked", with no report; the refusal is only traced.
TEST_F(MenuPaletteTest, AnUnlinkWhoseRecordCannotBeDeletedStillSucceeds) {
    DG::Control::ScriptUserActions({Action::Click(1, 32520)});
    ASSERT_EQ(Menu(32512), NoError);
    ASSERT_TRUE(IsAccountLinked());
    DG::Control::ClearShownDialogs();
    host.FailSlot(kSetPreferencesSlot, static_cast<GSErrCode>(0x81060387));
    DG::Control::ScriptUserActions({Action::Click(1, 32534)});
    EXPECT_EQ(Menu(32513), NoError);
    const auto shown = DG::Control::GetShownDialogs();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "Account unlinked");
    EXPECT_TRUE(host.reports.empty());
    EXPECT_EQ(host.Beeps(), 0);
    EXPECT_EQ(host.debugLines.back(), "Failed to delete preferences. Error code: -2130312313\n");
    EXPECT_FALSE(IsAccountLinked());
}

// An identifier that could not be stored must not be linked to the web account: no login page.
TEST_F(MenuPaletteTest, ALinkWhoseIdentifierCannotBeStoredOpensNoLoginPage) {
    IO::Control::FailNextWrite(IO::WriteError);
    DG::Control::ScriptUserActions({Action::Click(1, 32520)});
    EXPECT_EQ(Menu(32512), NoError);
    EXPECT_EQ(host.reports, std::vector<std::string>{"Error: Unknown Error"});
    EXPECT_TRUE(host.launches.empty());
    EXPECT_FALSE(host.preferences.has_value());
    EXPECT_EQ(host.saveRequests, 0);
}

TEST_F(MenuPaletteTest, TheHostCallsTheInstalledHandlerItselfAndAnUnknownIdAnswersZero) {
    ASSERT_EQ(ACAPI_MenuItem_InstallMenuHandler(32513, MenuCommandHandler), NoError);
    ASSERT_EQ(host.menuHandlers.size(), 1u);
    ASSERT_EQ(host.menuHandlers[0].second, &MenuCommandHandler);
    API_MenuParams params{};
    params.menuItemRef.menuResID = 12345;
    params.menuItemRef.itemIndex = 1;
    EXPECT_EQ(host.menuHandlers[0].second(&params), NoError);
    EXPECT_TRUE(DG::Control::GetShownDialogs().empty());
    EXPECT_TRUE(host.reports.empty());
}

TEST_F(MenuPaletteTest, OpenLiveConnectionWhileUnlinkedStampsAnUnlinkedRecord) {
    EXPECT_EQ(Menu(32514), NoError);
    EXPECT_EQ(host.LaunchedUrls(),
              std::vector<std::string>{std::string(WebAppOrigin) + "/?uploadRealtime=true"});
    ASSERT_TRUE(host.preferences.has_value());
    EXPECT_FALSE(IsAccountLinked());
}

TEST_F(MenuPaletteTest, VisibilityAnswerAndForeignReferenceIds) {
    bool answer = true;
    EXPECT_EQ(PaletteWindowCallback(PaletteReferenceId + 1, APIPalMsg_IsPaletteVisible, Answer(&answer)),
              NoError);
    EXPECT_TRUE(answer) << "another reference id leaves the answer alone";
    Message(7, Answer(&answer));
    EXPECT_FALSE(answer);
    for (Int32 message : {2, 3, 4, 5, 1}) EXPECT_EQ(Message(message), NoError);
    EXPECT_TRUE(Palettes().empty());

    Message(6);
    Message(6);
    EXPECT_EQ(Palettes().size(), 1u) << "message 6 never makes a second palette";
    Message(7, Answer(&answer));
    EXPECT_TRUE(answer);
    Message(2);
    EXPECT_FALSE(Palettes()[0].visible);
    Message(7, Answer(&answer));
    EXPECT_TRUE(answer) << "hidden by the host, still open for the user: the host restores it at launch";
    EXPECT_TRUE(Palettes()[0].processingEvents) << "hiding does not end event processing";
    Message(3);
    EXPECT_TRUE(Palettes()[0].visible);
    Message(4);
    EXPECT_FALSE(Palettes()[0].itemsEnabled);
    Message(5);
    EXPECT_TRUE(Palettes()[0].itemsEnabled);
    Message(1);
    ASSERT_EQ(Palettes().size(), 1u) << "the host's close request only hides";
    EXPECT_FALSE(Palettes()[0].visible);
    EXPECT_FALSE(IsPaletteOpen());
    Message(7, Answer(&answer));
    EXPECT_FALSE(answer);
}

// The host hides the palette while another window is in front. "Open toolbar" there keeps it open and
// destroys nothing; the palette shows as soon as the host lets it. The toggle acts on what the user asked
// for: closing a palette the host hides keeps it closed when the host shows palettes again.
TEST_F(MenuPaletteTest, APaletteTheHostHidesStaysOpenForTheUser) {
    int destroyed = 0;
    DG::Control::SetPaletteDestroyedListener([&](const GS::Guid&) { ++destroyed; });
    EXPECT_EQ(Menu(32511), NoError);
    Message(2);
    EXPECT_EQ(Menu(32511), NoError);
    ASSERT_EQ(Palettes().size(), 1u);
    EXPECT_FALSE(Palettes()[0].visible) << "not shown while the host hides it";
    EXPECT_TRUE(IsPaletteOpen());
    Message(3);
    EXPECT_TRUE(Palettes()[0].visible);

    Message(2);
    EXPECT_EQ(Menu(32540), NoError) << "the toggle closes what the user has open, hidden or not";
    EXPECT_FALSE(IsPaletteOpen());
    Message(3);
    EXPECT_FALSE(Palettes()[0].visible) << "a palette the user closed stays closed";
    Message(2);
    EXPECT_EQ(Menu(32540), NoError);
    EXPECT_TRUE(IsPaletteOpen());
    EXPECT_FALSE(Palettes()[0].visible) << "opened while hidden by the host: shown when it lets it";
    Message(3);
    EXPECT_TRUE(Palettes()[0].visible);
    EXPECT_TRUE(Palettes()[0].processingEvents);
    EXPECT_EQ(destroyed, 0);
    EXPECT_TRUE(host.reports.empty()) << "event processing was never begun or ended twice";
}

// Before the palette exists the host may already have its items disabled (a docked palette on the plan):
// the palette built then starts disabled, and is enabled by the end message.
TEST_F(MenuPaletteTest, APaletteBuiltWhileTheHostDisablesItemsStartsDisabled) {
    Message(4);
    OpenPalette();
    ASSERT_EQ(Palettes().size(), 1u);
    EXPECT_TRUE(Palettes()[0].visible);
    EXPECT_FALSE(Palettes()[0].itemsEnabled);
    EXPECT_FALSE(DG::Control::ClickPaletteItem(PaletteGuid, 2));
    Message(5);
    EXPECT_TRUE(Palettes()[0].itemsEnabled);
    EXPECT_TRUE(DG::Control::ClickPaletteItem(PaletteGuid, 2));
}

// The close control only hides the palette and keeps it: nothing goes to the host's garbage collector, its
// event processing goes on, and the next open (menu, toggle or message 6) shows the same palette again.
TEST_F(MenuPaletteTest, CloseControlKeepsThePaletteForTheNextOpen) {
    const auto before = GS::Control::GetDisposableStats();
    int destroyed = 0;
    DG::Control::SetPaletteDestroyedListener([&](const GS::Guid&) { ++destroyed; });
    OpenPalette();
    ASSERT_TRUE(DG::Control::RequestPaletteClose(PaletteGuid));
    EXPECT_FALSE(IsPaletteOpen());
    ASSERT_EQ(Palettes().size(), 1u);
    EXPECT_FALSE(Palettes()[0].visible);
    EXPECT_TRUE(Palettes()[0].processingEvents) << "a close request only hides; processing ends in FreeData";
    EXPECT_FALSE(Palettes()[0].markedForDisposal);
    EXPECT_EQ(GS::Control::RunGarbageCollection(), 0u);
    EXPECT_EQ(GS::Control::GetDisposableStats().live, before.live);

    Message(3);
    EXPECT_FALSE(Palettes()[0].visible) << "the host's show-again leaves a closed palette closed";
    bool answer = true;
    Message(7, Answer(&answer));
    EXPECT_FALSE(answer);

    EXPECT_EQ(Menu(32511), NoError);
    ASSERT_EQ(Palettes().size(), 1u);
    EXPECT_TRUE(Palettes()[0].visible);
    EXPECT_TRUE(Palettes()[0].processingEvents);
    EXPECT_TRUE(IsPaletteOpen());
    ASSERT_TRUE(DG::Control::RequestPaletteClose(PaletteGuid));
    EXPECT_EQ(Menu(32540), NoError) << "the toggle reopens a closed palette";
    EXPECT_TRUE(IsPaletteOpen());
    ASSERT_TRUE(DG::Control::ClickPaletteItem(PaletteGuid, 2)) << "the reopened palette takes clicks";
    EXPECT_EQ(destroyed, 0);
    DG::Control::SetPaletteDestroyedListener(nullptr);
}

// FreeData destroys the palette in whatever state, so that nothing is left for the module's unload.
TEST_F(MenuPaletteTest, FreeDataDestroysThePalette) {
    int destroyed = 0;
    DG::Control::SetPaletteDestroyedListener([&](const GS::Guid&) { ++destroyed; });
    for (const bool closedByUser : {false, true}) {
        OpenPalette();
        if (closedByUser) {
            ASSERT_TRUE(DG::Control::RequestPaletteClose(PaletteGuid));
        }
        EXPECT_EQ(FreeData(), NoError);
        EXPECT_TRUE(Palettes().empty()) << closedByUser;
        EXPECT_FALSE(IsPaletteOpen());
    }
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(FreeData(), NoError) << "without a palette";
    EXPECT_EQ(destroyed, 2);
    DG::Control::SetPaletteDestroyedListener(nullptr);
}

TEST_F(MenuPaletteTest, PaletteButtonTwoOpensTheLivePage) {
    OpenPalette();
    ASSERT_TRUE(DG::Control::ClickPaletteItem(PaletteGuid, 2));
    EXPECT_EQ(host.LaunchedUrls(),
              std::vector<std::string>{std::string(WebAppOrigin) + "/?uploadRealtime=true"});
    EXPECT_FALSE(IsLiveTabStale());
}

TEST_F(MenuPaletteTest, PaletteButtonOneAndTheMenuItemBothStartTheLinkFlowWhenUnlinked) {
    OpenPalette();
    DG::Control::ScriptUserActions({Action::Click(2, 32520), Action::Click(2, 32520)});
    ASSERT_TRUE(DG::Control::ClickPaletteItem(PaletteGuid, 1));
    EXPECT_EQ(Menu(32512), NoError);
    const auto shown = DG::Control::GetShownDialogs();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].resId, 32520);
    EXPECT_EQ(shown[1].resId, 32520);
    EXPECT_EQ(host.saveRequests, 0) << "nothing captured without a link";
}
