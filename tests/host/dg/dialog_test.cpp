// Modal dialogs driven by the scripted user: results, records, bindings, observers and failures.
#include <gtest/gtest.h>

#include "DgTestSupport.hpp"

namespace {

using DG::Control::Action;
using namespace DgTest;

class DialogTest : public DgFixture {};

bool RunLinkDialog(std::vector<Action> actions) {
    DG::Control::ScriptUserActions(actions);
    return Dialog(LinkDialogId).Invoke();
}

TEST_F(DialogTest, OkAcceptsAndCancelRefuses) {
    EXPECT_TRUE(RunLinkDialog({Action::Click(1)}));
    EXPECT_FALSE(RunLinkDialog({Action::Click(2)}));

    const auto shown = DG::Control::GetShownDialogs();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].resId, LinkDialogId);
    EXPECT_EQ(shown[0].title, "Link to KAVELO");
    EXPECT_EQ(shown[0].buttons, (std::vector<std::string>{"OK", "Cancel"}));
    ASSERT_EQ(shown[0].texts.size(), 1u);
    EXPECT_EQ(shown[0].texts[0].rfind("Before exporting your renders to KAVELO", 0), 0u);
    EXPECT_EQ(shown[0].actions, std::vector<Action>{Action::Click(1)});
    EXPECT_TRUE(shown[0].finished);
    EXPECT_EQ(shown[0].response, 1);
    EXPECT_TRUE(shown[0].result);
    EXPECT_EQ(shown[1].response, 2);
    EXPECT_FALSE(shown[1].result);
}

TEST_F(DialogTest, CloseControlAndEscCloseWithCancel) {
    Dialog closed(LinkDialogId);
    DG::Control::ScriptUserActions({Action::CloseControl()});
    EXPECT_FALSE(closed.Invoke());
    EXPECT_EQ(closed.closeRequests, 1);
    EXPECT_EQ(closed.clicks, 0);

    Dialog escaped(ExportedDialogId);
    DG::Control::ScriptUserActions({Action::EscapeKey()});
    EXPECT_FALSE(escaped.Invoke());

    const auto shown = DG::Control::GetShownDialogs();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].response, DG::ModalDialog::Cancel);
    EXPECT_EQ(shown[1].actions, std::vector<Action>{Action::EscapeKey()});
    EXPECT_EQ(shown[1].response, DG::ModalDialog::Cancel);
}

TEST_F(DialogTest, ObserverThatRefusesTheCloseRequestKeepsTheDialogOpen) {
    Dialog dialog(LinkDialogId);
    dialog.refuseClose = true;
    DG::Control::ScriptUserActions({Action::CloseControl(), Action::Click(1)});
    EXPECT_TRUE(dialog.Invoke());
    EXPECT_EQ(DG::Control::GetShownDialogs()[0].actions.size(), 2u);
}

TEST_F(DialogTest, ButtonBoundToTheSeparatorNeverClicks) {
    Dialog dialog(ExportedDialogId);
    DG::Control::ScriptUserActions({Action::Click(2), Action::Click(3), Action::Click(1)});
    EXPECT_TRUE(dialog.Invoke());
    EXPECT_EQ(dialog.clicks, 1);
    EXPECT_EQ(DG::Control::GetShownDialogs()[0].buttons, std::vector<std::string>{"OK"});
}

TEST_F(DialogTest, DisabledButtonDoesNotClick) {
    Dialog dialog(LinkDialogId);
    dialog.DisableItems();
    DG::Control::ScriptUserActions({Action::Click(1), Action::EscapeKey()});
    EXPECT_FALSE(dialog.Invoke());
    EXPECT_EQ(dialog.clicks, 0);
}

TEST_F(DialogTest, EveryObserverIsDetachedAfterEachDialog) {
    const DG::Control::ObserverStats before = DG::Control::GetObserverStats();
    {
        Dialog dialog(LinkDialogId);
        const DG::Control::ObserverStats during = DG::Control::GetObserverStats();
        EXPECT_EQ(during.livePanels, before.livePanels + 1);
        EXPECT_EQ(during.liveItems, before.liveItems + 2);
        EXPECT_EQ(during.attachments, before.attachments + 3);  // the panel and both buttons
        DG::Control::ScriptUserActions({Action::Click(1)});
        dialog.Invoke();
    }
    const DG::Control::ObserverStats after = DG::Control::GetObserverStats();
    EXPECT_EQ(after.attachments, 0);
    EXPECT_EQ(after.leftAttached, 0);
    EXPECT_EQ(after.livePanels, 0);
    EXPECT_EQ(after.liveItems, 0);
    EXPECT_EQ(after.livePanelObservers, 0);
    EXPECT_EQ(after.liveButtonObservers, 0);
    EXPECT_EQ(after.liveCompoundObservers, 0);
}

// A window that forgets to detach itself is cleaned up by the observers' destructors, and counted.
class CarelessDialog : public DG::ModalDialog, public DG::PanelObserver, public DG::ButtonItemObserver {
public:
    CarelessDialog() : DG::ModalDialog(ResModule, LinkDialogId, ResModule), button(GetReference(), 1) {
        Attach(*this);
        button.Attach(*this);
    }
    DG::Button button;
};

TEST_F(DialogTest, ObserversLeftAttachedAreCounted) {
    { CarelessDialog careless; }
    const DG::Control::ObserverStats after = DG::Control::GetObserverStats();
    EXPECT_EQ(after.attachments, 0);
    EXPECT_EQ(after.leftAttached, 2);
}

TEST_F(DialogTest, EmptyScriptNamesTheDialog) {
    Dialog dialog(LinkDialogId);
    try {
        dialog.Invoke();
        FAIL() << "Invoke returned without a user action";
    } catch (const DG::Control::ScriptError& e) {
        EXPECT_NE(std::string(e.what()).find("dialog 32520 \"Link to KAVELO\""), std::string::npos)
            << e.what();
    }
    const auto shown = DG::Control::GetShownDialogs();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_FALSE(shown[0].finished);
    EXPECT_NE(shown[0].error.find("no action left"), std::string::npos);
    // The dialog is usable again once the script has an action.
    DG::Control::ScriptUserActions({Action::Click(2)});
    EXPECT_FALSE(dialog.Invoke());
}

TEST_F(DialogTest, ScriptedActionForAnotherDialogIsAnError) {
    DG::Control::ScriptUserActions({Action::Click(1, ExportedDialogId)});
    EXPECT_THROW(Dialog(LinkDialogId).Invoke(), DG::Control::ScriptError);
    EXPECT_EQ(DG::Control::GetPendingUserActionCount(), 1u);
    EXPECT_TRUE(Dialog(ExportedDialogId).Invoke());
}

TEST_F(DialogTest, ClickOnAnItemTheDialogDoesNotHaveIsAnError) {
    DG::Control::ScriptUserActions({Action::Click(9)});
    EXPECT_THROW(Dialog(LinkDialogId).Invoke(), std::invalid_argument);
}

TEST_F(DialogTest, MissingDamagedOrWrongKindLayoutThrowsFromTheConstructor) {
    EXPECT_THROW(Dialog{MissingId}, DG::LayoutError);
    EXPECT_THROW(Dialog{DamagedId}, DG::LayoutError);
    EXPECT_THROW(Dialog{PaletteId}, DG::LayoutError);
    try {
        Dialog dialog(MissingId);
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("32599"), std::string::npos);
    }
    const DG::Control::ObserverStats after = DG::Control::GetObserverStats();
    EXPECT_EQ(after.livePanels, 0);
    EXPECT_EQ(after.liveItems, 0);
    EXPECT_EQ(after.attachments, 0);
    EXPECT_EQ(after.livePanelObservers, 0);
}

TEST_F(DialogTest, ButtonBeyondTheLayoutThrows) {
    DG::ModalDialog dialog(ResModule, ExportedDialogId, ResModule);
    EXPECT_THROW(DG::Button(dialog.GetReference(), 5), DG::ItemError);
    EXPECT_THROW(DG::Button(dialog.GetReference(), 0), DG::ItemError);
    EXPECT_EQ(DG::Control::GetObserverStats().liveItems, 0);
}

TEST_F(DialogTest, CloseRequestOutsideTheModalLoopIsAnError) {
    DG::ModalDialog dialog(ResModule, LinkDialogId, ResModule);
    EXPECT_THROW(dialog.PostCloseRequest(DG::ModalDialog::Accept), std::logic_error);
}

// A dialog opened from a button handler of another runs its own loop on the same user.
class NestingDialog : public Dialog {
public:
    NestingDialog() : Dialog(LinkDialogId) {}
    bool inner = false;

protected:
    void ButtonClicked(const DG::ButtonClickEvent& ev) override {
        if (ev.GetSource() == &button1)
            inner = Dialog(ExportedDialogId).Invoke();
        Dialog::ButtonClicked(ev);
    }
};

TEST_F(DialogTest, NestedDialogTakesTheNextActions) {
    DG::Control::ScriptUserActions({Action::Click(1, LinkDialogId), Action::Click(1, ExportedDialogId)});
    NestingDialog outer;
    EXPECT_TRUE(outer.Invoke());
    EXPECT_TRUE(outer.inner);
    const auto shown = DG::Control::GetShownDialogs();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].resId, LinkDialogId);
    EXPECT_EQ(shown[1].resId, ExportedDialogId);
    EXPECT_TRUE(shown[0].finished && shown[1].finished);
}

// A custom driver sees the dialog as the user would.
class RecordingDriver : public DG::Control::UserDriver {
public:
    Action NextAction(const DG::Control::DialogView& dialog) override {
        seen = dialog;
        return Action::Click(2);
    }
    DG::Control::DialogView seen;
};

TEST_F(DialogTest, CustomDriverSeesTheDialog) {
    RecordingDriver driver;
    DG::Control::SetUserDriver(&driver);
    EXPECT_FALSE(Dialog(LinkDialogId).Invoke());
    EXPECT_EQ(driver.seen.title, "Link to KAVELO");
    ASSERT_EQ(driver.seen.items.size(), 4u);
    EXPECT_EQ(driver.seen.items[1].text, "Cancel");
    EXPECT_EQ(driver.seen.items[2].type, RS::ItemType::Separator);
    DG::Control::UseScriptedUser();
}

}  // namespace
