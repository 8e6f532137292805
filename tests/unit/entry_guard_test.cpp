// The edges the host calls: whatever a command throws (here: its layouts missing from the resources)
// becomes one report, the host gets its usual answer, and the module goes on working.
#include <gtest/gtest.h>

#include "AddOnMain.hpp"
#include "DGControl.hpp"
#include "ExportCommand.hpp"
#include "FakeHost.hpp"
#include "Palette.hpp"
#include "ResourceIds.hpp"

using testsupport::FakeHost;

namespace {

constexpr const char* kGeneralError = "Error: APIERR_GENERAL";

GSErrCode Menu(Int16 id) {
    API_MenuParams params{};
    params.menuItemRef.menuResID = id;
    return MenuCommandHandler(&params);
}

// No ModuleResources: every dialog and the palette fail to build.
class EntryGuardTest : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_EQ(DG::Control::GetObserverStats().leftAttached, 0);
        EXPECT_FALSE(IsPaletteOpen());
    }
    FakeHost host;
};

}  // namespace

TEST_F(EntryGuardTest, AMenuCommandThatThrowsIsOneReportAndAnswersZero) {
    host.preferences = testsupport::StoredPreferences{1, std::vector<unsigned char>(48, 0)};
    EXPECT_EQ(Menu(KAVELO_MENU_UNLINK), NoError);
    EXPECT_FALSE(host.preferences.has_value()) << "the work before the throw is done";
    EXPECT_EQ(host.reports, std::vector<std::string>{kGeneralError});
    EXPECT_EQ(host.Beeps(), 1);

    EXPECT_EQ(Menu(KAVELO_MENU_OPEN_TOOLBAR), NoError);
    EXPECT_EQ(Menu(KAVELO_MENU_TOOLBAR_TOGGLE), NoError);
    EXPECT_EQ(host.reports, (std::vector<std::string>{kGeneralError, kGeneralError, kGeneralError}));
}

TEST_F(EntryGuardTest, APaletteMessageThatThrowsIsOneReportAndAnswersZero) {
    EXPECT_EQ(PaletteWindowCallback(PaletteReferenceId, APIPalMsg_OpenPalette, 0), NoError);
    EXPECT_EQ(host.reports, std::vector<std::string>{kGeneralError});
    bool visible = true;
    EXPECT_EQ(PaletteWindowCallback(PaletteReferenceId, APIPalMsg_IsPaletteVisible,
                                    reinterpret_cast<GS::IntPtr>(&visible)),
              NoError);
    EXPECT_FALSE(visible);
}

TEST_F(EntryGuardTest, AnExportThatThrowsIsTheExportsOwnReport) {
    EXPECT_NO_THROW(ExportFromCurrentView());  // not linked: the link dialog cannot be built
    EXPECT_EQ(host.reports, std::vector<std::string>{
                                "Error on exporting image to KAVELO. Please try again: Unknown Error"});
    EXPECT_FALSE(host.preferences.has_value());
    EXPECT_EQ(host.CallsTo(kAutomateSlot), 0u);
}
