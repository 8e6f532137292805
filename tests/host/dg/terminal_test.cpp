// The terminal user: a dialog drawn as text and the person's choice read back.
#include <gtest/gtest.h>

#include <sstream>

#include "DgTestSupport.hpp"

namespace {

using namespace DgTest;

class TerminalTest : public DgFixture {};

TEST_F(TerminalTest, DrawsTheDialogAndTakesTheChosenButton) {
    std::istringstream in("7\n3\n  2 \n");
    std::ostringstream out;
    DG::Control::UseTerminalUser(in, out);
    EXPECT_FALSE(Dialog(LinkDialogId).Invoke());
    const std::string prompt = "Choose a button number, c for the close control or esc for the Esc key: ";
    EXPECT_EQ(out.str(),
              "== Link to KAVELO == (dialog 32520)\n"
              "  Before exporting your renders to KAVELO you need to link Archicad to your\n"
              "  KAVELO account. Click on OK and login in the browser page that will open.\n"
              "  ----\n"
              "  [1] OK   [2] Cancel\n" +
                  prompt + "Not a choice: 7\n" + prompt + "Not a choice: 3\n" + prompt);
    EXPECT_EQ(DG::Control::GetShownDialogs()[0].actions,
              std::vector<DG::Control::Action>{DG::Control::Action::Click(2)});
}

TEST_F(TerminalTest, ReadsCloseControlAndEsc) {
    std::istringstream in("c\nESC\n");
    std::ostringstream out;
    DG::Control::UseTerminalUser(in, out);
    EXPECT_FALSE(Dialog(ExportedDialogId).Invoke());
    EXPECT_FALSE(Dialog(ExportedDialogId).Invoke());
    const auto shown = DG::Control::GetShownDialogs();
    EXPECT_EQ(shown[0].actions[0].kind, DG::Control::ActionKind::CloseControl);
    EXPECT_EQ(shown[1].actions[0].kind, DG::Control::ActionKind::EscapeKey);
}

TEST_F(TerminalTest, EndOfInputEndsTheModalLoopWithAnError) {
    std::istringstream in("");
    std::ostringstream out;
    DG::Control::UseTerminalUser(in, out);
    EXPECT_THROW(Dialog(LinkDialogId).Invoke(), std::runtime_error);
    EXPECT_NE(DG::Control::GetShownDialogs()[0].error.find("Link to KAVELO"), std::string::npos);
}

}  // namespace
