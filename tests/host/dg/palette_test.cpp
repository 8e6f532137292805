// Palettes: state the host sees, user actions, and disposal through the garbage collector.
#include <gtest/gtest.h>

#include <sstream>

#include "DgTestSupport.hpp"

namespace {

using namespace DgTest;

class PaletteTest : public DgFixture {
protected:
    void TearDown() override {
        delete manager.palette;
        DgFixture::TearDown();
    }

    void Open() {
        if (manager.palette == nullptr)
            manager.palette = new Palette(manager, &destructions);
        manager.palette->BeginEventProcessing();
        manager.palette->Show(-32768);
    }

    DG::Control::PaletteState State() {
        const auto palettes = DG::Control::GetPalettes();
        EXPECT_EQ(palettes.size(), 1u);
        return palettes.empty() ? DG::Control::PaletteState() : palettes[0];
    }

    PaletteManager manager;
    int destructions = 0;
};

TEST_F(PaletteTest, StartsHiddenAndShowsWithEventProcessing) {
    manager.palette = new Palette(manager, &destructions);
    EXPECT_FALSE(manager.palette->IsVisible());
    EXPECT_FALSE(State().visible);
    EXPECT_FALSE(State().processingEvents);

    Open();
    const DG::Control::PaletteState shown = State();
    EXPECT_TRUE(shown.visible);
    EXPECT_TRUE(shown.processingEvents);
    EXPECT_TRUE(shown.itemsEnabled);
    EXPECT_FALSE(shown.markedForDisposal);
    EXPECT_EQ(shown.guid, PaletteGuid);
    EXPECT_EQ(shown.resId, PaletteId);
    EXPECT_EQ(shown.title, "Kavelo Palette");
    EXPECT_EQ(shown.lastShowPlacement, -32768);

    manager.palette->Hide();
    EXPECT_FALSE(manager.palette->IsVisible());
    EXPECT_TRUE(State().processingEvents);
}

TEST_F(PaletteTest, ClicksReachObserversOnlyWhileVisibleProcessingAndEnabled) {
    Open();
    EXPECT_TRUE(DG::Control::ClickPaletteItem(PaletteGuid, 1));
    EXPECT_TRUE(DG::Control::ClickPaletteItem(PaletteGuid, 2));
    EXPECT_EQ(manager.palette->exports, 1);
    EXPECT_EQ(manager.palette->livePages, 1);

    manager.palette->DisableItems();
    EXPECT_FALSE(State().itemsEnabled);
    EXPECT_FALSE(DG::Control::ClickPaletteItem(PaletteGuid, 1));
    manager.palette->EnableItems();

    manager.palette->EndEventProcessing();
    EXPECT_FALSE(DG::Control::ClickPaletteItem(PaletteGuid, 1));
    manager.palette->BeginEventProcessing();
    manager.palette->Hide();
    EXPECT_FALSE(DG::Control::ClickPaletteItem(PaletteGuid, 1));
    EXPECT_EQ(manager.palette->exports, 1);

    EXPECT_THROW(DG::Control::ClickPaletteItem(PaletteGuid, 3), std::invalid_argument);
    EXPECT_THROW(DG::Control::ClickPaletteItem(GS::Guid(), 1), std::invalid_argument);
}

// Event processing begins once after construction and ends once before deletion: a second begin, or an
// end without a begin, is refused with the palette's name rather than let pass.
TEST_F(PaletteTest, EventProcessingBegunTwiceOrEndedTwiceIsRefused) {
    manager.palette = new Palette(manager, &destructions);
    EXPECT_THROW(manager.palette->EndEventProcessing(), std::logic_error);
    manager.palette->BeginEventProcessing();
    try {
        manager.palette->BeginEventProcessing();
        ADD_FAILURE() << "a second begin was taken";
    } catch (const std::logic_error& e) {
        EXPECT_NE(std::string(e.what()).find("begun twice"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(State().processingEvents);
    manager.palette->EndEventProcessing();
    EXPECT_THROW(manager.palette->EndEventProcessing(), std::logic_error);
    EXPECT_FALSE(State().processingEvents);
}

TEST_F(PaletteTest, SecondPaletteWithTheSameGuidIsRefused) {
    Open();
    int otherDestructions = 0;
    EXPECT_THROW(Palette(manager, &otherDestructions), std::logic_error);
    EXPECT_EQ(DG::Control::GetPalettes().size(), 1u);
}

TEST_F(PaletteTest, CollectionAfterTheCloseControlNotifiesThenDeletes) {
    Open();
    ASSERT_TRUE(DG::Control::RequestPaletteClose(PaletteGuid));
    const DG::Control::PaletteState marked = State();
    EXPECT_FALSE(marked.visible);
    EXPECT_FALSE(marked.processingEvents);
    EXPECT_TRUE(marked.markedForDisposal);
    EXPECT_EQ(destructions, 0);
    EXPECT_NE(manager.palette, nullptr);

    EXPECT_EQ(GS::Control::RunGarbageCollection(), 1u);
    EXPECT_EQ(manager.disposeNotifications, 1);
    EXPECT_TRUE(manager.paletteAliveAtNotification);
    EXPECT_EQ(manager.palette, nullptr);
    EXPECT_EQ(destructions, 1);
    EXPECT_TRUE(DG::Control::GetPalettes().empty());
    EXPECT_EQ(DG::Control::GetObserverStats().attachments, 0);
    EXPECT_EQ(DG::Control::GetObserverStats().leftAttached, 0);

    EXPECT_EQ(GS::Control::RunGarbageCollection(), 0u);
    EXPECT_EQ(destructions, 1);
}

TEST_F(PaletteTest, DirectDeletionBeforeTheCollectionIsSafe) {
    Open();
    DG::Control::RequestPaletteClose(PaletteGuid);
    delete manager.palette;
    manager.palette = nullptr;
    EXPECT_EQ(destructions, 1);
    EXPECT_EQ(GS::Control::RunGarbageCollection(), 0u);
    EXPECT_EQ(manager.disposeNotifications, 0);
    EXPECT_EQ(destructions, 1);
}

TEST_F(PaletteTest, ShowingAMarkedPaletteAgainKeepsItFromTheCollector) {
    Open();
    DG::Control::RequestPaletteClose(PaletteGuid);
    Open();
    EXPECT_FALSE(State().markedForDisposal);
    EXPECT_EQ(GS::Control::RunGarbageCollection(), 0u);
    EXPECT_EQ(destructions, 0);
    EXPECT_TRUE(DG::Control::ClickPaletteItem(PaletteGuid, 2));
    EXPECT_EQ(manager.palette->livePages, 1);

    // Closed again, it is collected as usual.
    DG::Control::RequestPaletteClose(PaletteGuid);
    EXPECT_EQ(GS::Control::RunGarbageCollection(), 1u);
    EXPECT_EQ(destructions, 1);
    EXPECT_EQ(manager.palette, nullptr);
}

TEST_F(PaletteTest, CloseControlOfAHiddenPaletteIsNotDelivered) {
    manager.palette = new Palette(manager, &destructions);
    EXPECT_FALSE(DG::Control::RequestPaletteClose(PaletteGuid));
    EXPECT_FALSE(State().markedForDisposal);
}

TEST_F(PaletteTest, DrawsTitleStateAndIconButtons) {
    Open();
    std::ostringstream out;
    DG::Control::DrawPalette(PaletteGuid, out);
    EXPECT_EQ(
        out.str(),
        "== Kavelo Palette == (palette {D8A0A01F-1184-40F2-B8A8-28CF30714FA4}: visible, processing events)\n"
        "  [1] icon 32105   [2] icon 32103\n");
}

}  // namespace
