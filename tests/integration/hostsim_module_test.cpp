// hostsim driving the built KAVELO.apx in-process: the loader and lifecycle, menus, the palette, the
// preferences store across a restart and the memory balance at unload.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "DGControl.hpp"
#include "DGModule.hpp"
#include "GSRootControl.hpp"
#include "HostsimTestSupport.hpp"
#include "Jpeg.hpp"
#include "LinkStoreFile.hpp"
#include "Session.hpp"

namespace hostsim {
namespace {

using namespace testing;

constexpr const char* kModule = KAVELO_MODULE_PATH;

class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        DG::Control::ResetForTesting();
        host_ = std::make_unique<Host>(QuietOptions(dir_.Path()));
        std::string error;
        ASSERT_TRUE(host_->Load(kModule, &error)) << error;
    }
    void TearDown() override {
        host_.reset();
        DG::Control::ResetForTesting();
    }
    bool Saw(const std::string& debugLine) const {
        const auto& lines = host_->DebugLines();
        return std::find(lines.begin(), lines.end(), debugLine) != lines.end();
    }
    int CountDebugLinesStartingWith(const std::string& prefix) const {
        const auto& lines = host_->DebugLines();
        return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                              [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
    }

    TempDir dir_;
    std::unique_ptr<Host> host_;
};

TEST_F(ModuleTest, DescriptorCarriesTheHostsConstantsAndFourEntries) {
    UInt32 header = 0;
    UInt32 trailer = 0;
    std::memcpy(&header, host_->Descriptor().data(), 4);
    std::memcpy(&trailer, host_->Descriptor().data() + 40, 4);
    EXPECT_EQ(header, 0x001C0001u);
    EXPECT_EQ(trailer, 28000u);
    for (std::size_t offset : {8, 16, 24, 32}) {
        void* entry = nullptr;
        std::memcpy(&entry, host_->Descriptor().data() + offset, sizeof entry);
        EXPECT_NE(entry, nullptr) << offset;
    }
    EXPECT_TRUE(std::all_of(host_->Descriptor().begin() + 44, host_->Descriptor().end(),
                            [](unsigned char b) { return b == 0; }));
}

TEST_F(ModuleTest, EntriesBeforeTheTableExchangeDoNothing) {
    EXPECT_EQ(host_->CheckEnvironment(), 0);
    EXPECT_EQ(host_->RegisterInterface(), abi::APIERR_GENERAL);
    EXPECT_EQ(host_->Initialize(), abi::APIERR_GENERAL);
    EXPECT_EQ(host_->Release(), abi::APIERR_GENERAL);
    EXPECT_TRUE(host_->AddOnName().empty());
    EXPECT_TRUE(host_->Menus().empty());
    for (std::size_t offset : {40, 200, 464, 472, 480, 488, 536, 624, 648})
        EXPECT_EQ(host_->SlotCalls(offset), 0) << offset;
}

TEST_F(ModuleTest, RegularStartNamesTheAddOnAndRegistersMenusAndPalette) {
    ASSERT_EQ(host_->ExchangeTables(), NoError);
    ASSERT_EQ(host_->ExchangeTables(), NoError) << "a second exchange is accepted";
    EXPECT_EQ(host_->CheckEnvironment(), 1);
    EXPECT_EQ(host_->AddOnName(), "KAVELO");
    EXPECT_FALSE(host_->AddOnDescription().empty());
    ASSERT_EQ(host_->RegisterInterface(), NoError);
    ASSERT_EQ(host_->Initialize(), NoError);

    std::vector<std::string> menus;
    for (const MenuItem& menu : host_->Menus()) {
        menus.push_back(menu.Describe());
        EXPECT_NE(menu.handler, nullptr) << menu.Describe();
    }
    EXPECT_EQ(menus, (std::vector<std::string>{
                         "KAVELO > Open toolbar (icon 32104)",
                         "KAVELO > Export from current view (icon 32105)",
                         "KAVELO > Open live connection (icon 32103)",
                         "KAVELO > Unlink account (icon 32102)",
                         "Window > Toolbars > KAVELO toolbar (icon 32101)",
                     }));
    EXPECT_EQ(host_->Menus()[0].secondStrings, (std::vector<std::string>{"KAVELO", "Open toolbar"}));
    ASSERT_EQ(host_->Palettes().size(), 1u);
    EXPECT_EQ(host_->Palettes()[0].flags, 4);
    char guid[GS::Guid::TextLength + 1];
    host_->Palettes()[0].guid.ToText(guid);
    EXPECT_STREQ(guid, "{D8A0A01F-1184-40F2-B8A8-28CF30714FA4}");

    ASSERT_EQ(host_->Release(), NoError);
    EXPECT_TRUE(host_->Palettes().empty()) << "release unregisters the palette";
    host_->Unload();
    EXPECT_EQ(CountDebugLinesStartingWith("Abnormal add-on termination"), 0);
}

TEST_F(ModuleTest, UnloadWithoutReleaseLeavesOneAbnormalTerminationLine) {
    ASSERT_EQ(host_->Start(), NoError);
    const std::string path = host_->ModulePath();
    host_->Unload(false);
    EXPECT_EQ(CountDebugLinesStartingWith("Abnormal add-on termination"), 1);
    EXPECT_TRUE(Saw("Abnormal add-on termination (\"" + path + "\")"));
}

TEST_F(ModuleTest, PaletteMessagesOpenShowAndAnswerVisibility) {
    ASSERT_EQ(host_->Start(), NoError);
    EXPECT_FALSE(host_->AskPaletteVisible());
    EXPECT_FALSE(host_->PaletteWindow().has_value());

    ASSERT_EQ(host_->SendPaletteMessage(abi::kPaletteOpen), NoError);
    ASSERT_TRUE(host_->PaletteWindow().has_value());
    EXPECT_TRUE(host_->PaletteWindow()->visible);
    EXPECT_TRUE(host_->AskPaletteVisible());

    ASSERT_EQ(host_->SendPaletteMessage(abi::kPaletteHide), NoError);
    EXPECT_FALSE(host_->PaletteWindow()->visible);
    EXPECT_TRUE(host_->AskPaletteVisible()) << "hidden by the host, open for the user";
    unsigned char untouched = 0x55;
    EXPECT_EQ(host_->SendPaletteMessageTo(host_->Palettes()[0].referenceId + 1, abi::kPaletteIsVisible,
                                          reinterpret_cast<std::intptr_t>(&untouched)),
              NoError);
    EXPECT_EQ(untouched, 0x55) << "another reference id is ignored";

    ASSERT_EQ(host_->SendPaletteMessage(abi::kPaletteClose), NoError);
    ASSERT_TRUE(host_->PaletteWindow().has_value()) << "the host's close request only hides";
    EXPECT_FALSE(host_->PaletteWindow()->visible);
    EXPECT_FALSE(host_->AskPaletteVisible());
    EXPECT_TRUE(host_->PaletteDestructions().empty());
}

// The close control hides the palette; it is kept (nothing for the garbage collector) and shown again.
TEST_F(ModuleTest, PaletteClosedByItsControlIsKeptAndShownAgain) {
    ASSERT_EQ(host_->Start(), NoError);
    ASSERT_EQ(host_->RunMenuCommandByText("Open toolbar"), NoError);
    std::string error;
    ASSERT_TRUE(host_->ClosePaletteWindow(&error)) << error;
    host_->Idle();
    ASSERT_TRUE(host_->PaletteWindow().has_value()) << "kept, not collected";
    EXPECT_FALSE(host_->PaletteWindow()->visible);
    EXPECT_FALSE(host_->AskPaletteVisible());
    ASSERT_EQ(host_->RunMenuCommandByText("Open toolbar"), NoError);
    ASSERT_TRUE(host_->PaletteWindow().has_value());
    EXPECT_TRUE(host_->PaletteWindow()->visible);
    EXPECT_TRUE(host_->PaletteDestructions().empty());
}

// The release entry destroys the palette, shown or closed by the user: the unload that follows (the
// module's detach and static destructors) has nothing of the dialog library left to call.
TEST_F(ModuleTest, PaletteIsDestroyedInTheReleaseEntryAndNothingAtUnload) {
    for (const bool closedByUser : {false, true}) {
        if (!host_->IsLoaded()) {
            std::string error;
            ASSERT_TRUE(host_->Load(kModule, &error)) << error;
        }
        ASSERT_EQ(host_->Start(), NoError);
        ASSERT_EQ(host_->RunMenuCommandByText("Open toolbar"), NoError);
        std::string error;
        if (closedByUser) {
            ASSERT_TRUE(host_->ClosePaletteWindow(&error)) << error;
        }
        host_->Unload();
        EXPECT_EQ(host_->PaletteDestructions(), std::vector<std::string>{"in the release entry"})
            << closedByUser;
        EXPECT_TRUE(DG::Control::GetPalettes().empty());
        const DG::Control::ObserverStats stats = DG::Control::GetObserverStats();
        EXPECT_EQ(stats.livePanels, 0);
        EXPECT_EQ(stats.livePanelObservers + stats.liveButtonObservers + stats.liveCompoundObservers, 0);
        EXPECT_EQ(stats.leftAttached, 0);
        ASSERT_TRUE(host_->MemoryAtUnload().has_value());
        EXPECT_EQ(host_->MemoryAtUnload()->liveBlocks, host_->MemoryBeforeLoad()->liveBlocks);
        EXPECT_EQ(CountDebugLinesStartingWith("Abnormal add-on termination"), 0);
    }
}

// The palette is registered for the 3D window. A user who opens it there, goes to the plan (the host hides
// the floating palette), chooses "Open toolbar" there and comes back finds it shown again, and its window
// lives until the release entry. Docked, the palette stays in sight on the plan with its buttons disabled.
TEST_F(ModuleTest, ThePaletteFollowsTheFrontWindowAndLivesUntilTheReleaseEntry) {
    ASSERT_EQ(host_->Start(), NoError);
    std::vector<Command> commands;
    std::string error;
    ASSERT_TRUE(ParseCommandList(
        "menu:Open toolbar; expect-palette:visible; window:plan; expect-palette:hidden; "
        "menu:Open toolbar; expect-palette:hidden; palette-visible; window:section; expect-palette:hidden; "
        "window:3d; expect-palette:visible; expect-palette:enabled; palette-click:2; expect-launches:1; "
        "palette-dock; window:layout; expect-palette:visible; expect-palette:disabled; "
        "menu:KAVELO toolbar; expect-palette:hidden; window:3d; expect-palette:hidden; "
        "expect-palette:enabled; "
        "menu:KAVELO toolbar; expect-palette:visible; palette-undock; window:plan; expect-palette:hidden; "
        "window:3d; expect-palette:visible; palette-close; expect-palette:hidden; expect-reports:0",
        &commands, &error))
        << error;
    std::ostringstream out;
    Session session(*host_, out);
    EXPECT_TRUE(session.RunAll(commands)) << out.str();
    EXPECT_NE(out.str().find("palette: the module says it is visible"), std::string::npos) << out.str();
    EXPECT_TRUE(host_->PaletteDestructions().empty()) << out.str();
    EXPECT_TRUE(host_->PaletteProblems().empty()) << out.str();
    host_->Unload();
    EXPECT_EQ(host_->PaletteDestructions(), std::vector<std::string>{"in the release entry"});
    EXPECT_TRUE(host_->PaletteProblems().empty());
}

// A palette window that goes while the host runs the module, still processing events, breaks two of the
// host's rules: hostsim says both, and a command in which it happens fails.
TEST_F(ModuleTest, APaletteWindowDestroyedBeforeTheReleaseEntryIsAnError) {
    DG::Control::SetLayoutSourceForTesting(
        [](GSResModule, GSResID id, RS::DialogLayout* layout, std::string*) {
            layout->id = id;
            layout->kind = 16;
            layout->title = "Early";
            RS::DialogItem button;
            button.number = 1;
            button.type = RS::ItemType::Button;
            layout->items = {button};
            return true;
        });
    struct Early : DG::Palette {
        Early() : DG::Palette(7, 32590, 7, GS::Guid("{0B2C5E3A-0000-4000-8000-00000000E0A1}")) {}
    };
    auto* early = new Early();
    early->BeginEventProcessing();
    delete early;
    EXPECT_EQ(host_->PaletteDestructions(), std::vector<std::string>{"while the host ran the module"});
    EXPECT_EQ(host_->PaletteProblems(),
              (std::vector<std::string>{
                  "the palette window was destroyed before the release entry; a palette lives until FreeData",
                  "the palette window was destroyed while still processing events"}));

    std::vector<Command> commands;
    std::string error;
    ASSERT_TRUE(ParseCommandList("menus", &commands, &error)) << error;
    std::ostringstream out;
    Session session(*host_, out);
    EXPECT_FALSE(session.Run(commands[0])) << "problems not yet counted fail the next command";
    EXPECT_TRUE(session.Run(commands[0])) << "and only its";
}

TEST_F(ModuleTest, LinkedIdentifierSurvivesARestartOfTheHost) {
    ASSERT_EQ(host_->Start(), NoError);
    host_->QueueDialogAnswers({DG::Control::Action::Click(1, 32520)});
    ASSERT_EQ(host_->RunMenuCommandByText("Export from current view"), NoError);
    ASSERT_EQ(host_->Launches().size(), 1u);
    const std::string url = host_->Launches()[0].url;
    const std::string eid = LoginIdOf(url);
    ASSERT_EQ(eid.size(), 36u) << url;
    host_.reset();

    Host restarted(QuietOptions(dir_.Path()));
    std::string error;
    ASSERT_TRUE(restarted.Load(kModule, &error)) << error;
    const auto stored = restarted.StoredPreferencesOfAddOn();
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->version, 1);
    ASSERT_EQ(stored->bytes.size(), 48u);
    EXPECT_EQ(std::vector<unsigned char>(stored->bytes.begin(), stored->bytes.begin() + 37),
              std::vector<unsigned char>(37, 0))
        << "the record never holds the identifier: the host saves it into projects";
    EXPECT_EQ(testsupport::ReadLinkStore(testsupport::UserRoamingFolder()), eid)
        << "the user's own store keeps it across the restart";
}

TEST_F(ModuleTest, AnUnansweredDialogIsDismissedAndTold) {
    ASSERT_EQ(host_->Start(), NoError);
    ASSERT_EQ(host_->RunMenuCommandByText("Export from current view"), NoError);
    ASSERT_EQ(host_->DialogProblems().size(), 1u);
    EXPECT_EQ(host_->DialogProblems()[0],
              "no answer was queued for dialog 32520 \"Link to KAVELO\"; dismissed");
    EXPECT_FALSE(host_->StoredPreferencesOfAddOn().has_value()) << "dismissing is not OK";
    EXPECT_TRUE(host_->Launches().empty());
}

TEST_F(ModuleTest, UnlinkDeletesTheStoredRecord) {
    ASSERT_EQ(host_->Start(), NoError);
    std::string error;
    ASSERT_TRUE(host_->Preferences().Save(host_->Key(),
                                          StoredPreferences{1, std::vector<unsigned char>(48, 'x')}, &error));
    host_->QueueDialogAnswers({DG::Control::Action::Click(1)});
    ASSERT_EQ(host_->RunMenuCommandByText("Unlink account"), NoError);
    EXPECT_FALSE(host_->StoredPreferencesOfAddOn().has_value());
    EXPECT_TRUE(Saw("Preferences deleted successfully."));
}

TEST_F(ModuleTest, AFailedSlotReachesTheUserAsAFormattedReportAndABeep) {
    ASSERT_EQ(host_->Start(), NoError);
    host_->FailSlot(kSetPreferencesSlot, abi::APIERR_NOTSUPPORTED);
    ASSERT_EQ(host_->RunMenuCommandByText("Open live connection"), NoError);
    ASSERT_EQ(host_->Reports().size(), 1u);
    EXPECT_EQ(host_->Reports()[0].text, "Error: APIERR_NOTSUPPORTED");
    EXPECT_TRUE(host_->Reports()[0].alert);
    EXPECT_EQ(host_->Beeps(), 1);
}

// The link is gone with its store: a host that refuses to delete the preferences record still shows
// "Account unlinked", and only the trace tells of the refusal.
TEST_F(ModuleTest, AnUnlinkWhoseRecordTheHostKeepsStillSucceeds) {
    ASSERT_EQ(host_->Start(), NoError);
    host_->FailSlot(kSetPreferencesSlot, abi::APIERR_NOTSUPPORTED);
    host_->QueueDialogAnswers({DG::Control::Action::Click(1, 32534)});
    ASSERT_EQ(host_->RunMenuCommandByText("Unlink account"), NoError);
    EXPECT_TRUE(host_->DialogProblems().empty());
    EXPECT_TRUE(host_->Reports().empty());
    EXPECT_EQ(host_->Beeps(), 0);
    EXPECT_TRUE(Saw("Failed to delete preferences. Error code: -2130312313"));
}

TEST_F(ModuleTest, SessionRunsCommandsAndChecksExpectations) {
    ASSERT_EQ(host_->Start(), NoError);
    std::vector<Command> commands;
    std::string error;
    ASSERT_TRUE(
        ParseCommandList("menu:KAVELO toolbar; expect-palette:visible; palette-message:2; "
                         "expect-palette:hidden; palette-visible; menu:32540; expect-palette:hidden; "
                         "palette-message:3; expect-palette:hidden; "
                         "menu:Open live connection; expect-launch:https://; expect-reports:0",
                         &commands, &error))
        << error;
    std::ostringstream out;
    Session session(*host_, out);
    EXPECT_TRUE(session.RunAll(commands)) << out.str();
    EXPECT_EQ(session.Failures(), 0);
    EXPECT_NE(out.str().find("palette: the module says it is visible"), std::string::npos)
        << "hidden by the host, open for the user: restored at the next launch\n"
        << out.str();

    ASSERT_TRUE(ParseCommandList("expect-beeps:3", &commands, &error));
    EXPECT_FALSE(session.Run(commands.back()));
    EXPECT_NE(out.str().find("EXPECTATION FAILED: 3 beep(s), got 0"), std::string::npos) << out.str();
}

// Fault commands that never fired tested nothing: the session's end names each of them.
TEST_F(ModuleTest, FaultsThatNeverFiredAreNamedAtTheEnd) {
    ASSERT_EQ(host_->Start(), NoError);
    std::vector<Command> commands;
    std::string error;
    ASSERT_TRUE(
        ParseCommandList("fail-allocation:100000; fail-slot:464 0x81060387 -1; fail-slot:648 0x81060001; "
                         "cancel-after:5; menu:Open live connection",
                         &commands, &error))
        << error;
    std::ostringstream out;
    Session session(*host_, out);
    EXPECT_TRUE(session.RunAll(commands)) << out.str();
    session.Finish();
    GS::Control::FailAllocations(0);
    host_->ClearFaults();
    const std::string said = out.str();
    EXPECT_NE(said.find("note: fail-allocation never fired (1 allocation failure(s) still armed)"),
              std::string::npos)
        << said;
    EXPECT_EQ(said.find("note: fail-slot 464 never fired"), std::string::npos)
        << "the live page stored its time";
    EXPECT_NE(said.find("note: fail-slot 648 never fired"), std::string::npos) << said;
    EXPECT_NE(said.find("note: the queued Cancel never came to a process window"), std::string::npos) << said;
}

// The palette's allocation is the first request of "KAVELO toolbar"; the live page's URL the first of the
// second button.
TEST_F(ModuleTest, FaultSwitchesMakeSlotsAndAllocationsFail) {
    ASSERT_EQ(host_->Start(), NoError);
    std::vector<Command> commands;
    std::string error;
    ASSERT_TRUE(ParseCommandList(
        "fail-allocation:1; menu:KAVELO toolbar; expect-palette:none; expect-reports:0; "
        "menu:KAVELO toolbar; expect-palette:visible; fail-allocation:1; palette-click:2; "
        "expect-report:Error: APIERR_GENERAL; expect-launches:0; palette-click:2; expect-launches:1; "
        "menu:32540; fail-slot:464 0x81060387; menu:Open live connection; "
        "expect-report:Error: APIERR_NOTSUPPORTED; expect-reports:2; expect-beeps:2",
        &commands, &error))
        << error;
    std::ostringstream out;
    Session session(*host_, out);
    EXPECT_TRUE(session.RunAll(commands)) << out.str();
    ASSERT_TRUE(ParseCommandList("fail-slot:8 1", &commands, &error)) << error;
    EXPECT_FALSE(session.Run(commands.back())) << "a slot hostsim does not serve";
    host_->Unload();
    EXPECT_EQ(host_->MemoryAtUnload()->liveBlocks, host_->MemoryBeforeLoad()->liveBlocks);
}

TEST_F(ModuleTest, CaptureWritesAJpegOfTheWindowSize) {
    ASSERT_EQ(host_->Start(), NoError);
    std::string saved;
    ASSERT_EQ(host_->CaptureView("", &saved), NoError);
    RgbImage image;
    std::string error;
    ASSERT_TRUE(DecodeJpeg(ReadBytes(saved), &image, &error)) << error;
    EXPECT_EQ(image.width, 640);
    EXPECT_EQ(image.height, 400);
}

TEST_F(ModuleTest, TheModuleLeavesNoMemoryBehind) {
    ASSERT_EQ(host_->Start(), NoError);
    ASSERT_EQ(host_->SendPaletteMessage(abi::kPaletteOpen), NoError);
    host_->Unload();
    ASSERT_TRUE(host_->MemoryAtUnload().has_value());
    EXPECT_EQ(host_->MemoryAtUnload()->liveBlocks, host_->MemoryBeforeLoad()->liveBlocks);
}

}  // namespace
}  // namespace hostsim
