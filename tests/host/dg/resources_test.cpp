// The module's own compiled dialog layouts, read through RS, as the add-on's windows see them.
#include <gtest/gtest.h>

#include <sstream>

#include "DGControl.hpp"
#include "DGException.hpp"
#include "DGModule.hpp"
#include "RSControl.hpp"

namespace {

using DG::Control::Action;

class ModuleResourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        DG::Control::ResetForTesting();
        module = RS::Control::OpenResourceFile(KAVELO_RESOURCE_IMAGE);
        ASSERT_NE(module, InvalidResModule) << KAVELO_RESOURCE_IMAGE;
    }
    void TearDown() override {
        RSRemoveModuleImageCache(module);
        DG::Control::ResetForTesting();
    }

    // A dialog bound as the add-on binds it: buttons on items 1 and 2, observed by itself.
    class Dialog : public DG::ModalDialog, public DG::ButtonItemObserver, public DG::CompoundItemObserver {
    public:
        Dialog(GSResModule module, short resId)
            : DG::ModalDialog(module, resId, module), button1(GetReference(), 1), button2(GetReference(), 2) {
            AttachToAllItems(*this);
        }
        ~Dialog() override { DetachFromAllItems(*this); }

    private:
        void ButtonClicked(const DG::ButtonClickEvent& ev) override {
            PostCloseRequest(ev.GetSource() == &button1 ? Accept : Cancel);
        }
        DG::Button button1;
        DG::Button button2;
    };

    GSResModule module = InvalidResModule;
};

TEST_F(ModuleResourcesTest, TwoButtonDialogsAnswerBothButtons) {
    DG::Control::ScriptUserActions({Action::Click(1), Action::Click(2), Action::Click(2)});
    EXPECT_TRUE(Dialog(module, 32520).Invoke());
    EXPECT_FALSE(Dialog(module, 32520).Invoke());
    EXPECT_FALSE(Dialog(module, 32532).Invoke());
    const auto shown = DG::Control::GetShownDialogs();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].title, "Link to KAVELO");
    EXPECT_EQ(shown[0].buttons, (std::vector<std::string>{"OK", "Cancel"}));
    EXPECT_EQ(shown[2].buttons, (std::vector<std::string>{"Open live", "Close"}));
}

TEST_F(ModuleResourcesTest, OneButtonDialogsIgnoreTheButtonBoundToTheSeparator) {
    for (short id : {32531, 32533, 32534}) {
        DG::Control::ScriptUserActions({Action::Click(2), Action::Click(1)});
        EXPECT_TRUE(Dialog(module, id).Invoke()) << id;
        const DG::Control::DialogRecord record = DG::Control::GetShownDialogs().back();
        EXPECT_EQ(record.buttons, std::vector<std::string>{"OK"}) << id;
        EXPECT_EQ(record.actions.size(), 2u) << id;
    }
    EXPECT_EQ(DG::Control::GetObserverStats().attachments, 0);
}

TEST_F(ModuleResourcesTest, PaletteLayoutHasTwoIconButtons) {
    const GS::Guid guid("{D8A0A01F-1184-40F2-B8A8-28CF30714FA4}");
    DG::Palette palette(module, 32590, module, guid);
    std::ostringstream out;
    DG::Control::DrawPalette(guid, out);
    EXPECT_EQ(out.str(),
              "== Kavelo Palette == (palette {D8A0A01F-1184-40F2-B8A8-28CF30714FA4}: hidden, not processing "
              "events)\n"
              "  [1] icon 32105   [2] icon 32103\n");
    EXPECT_THROW(DG::ModalDialog(module, 32590, module), DG::LayoutError);
}

}  // namespace
