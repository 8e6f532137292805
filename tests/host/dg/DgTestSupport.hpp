// Test layouts served through the DG layout seam, and window classes written the way the add-on writes
// its own (a dialog and a palette that observe themselves).
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "DGControl.hpp"
#include "DGException.hpp"
#include "DGModule.hpp"
#include "DisposableControl.hpp"
#include "DisposableObject.hpp"

namespace DgTest {

constexpr GSResModule ResModule = 7;
constexpr short LinkDialogId = 32520;      // OK, Cancel, separator, text
constexpr short ExportedDialogId = 32531;  // OK, separator as item 2, two texts
constexpr short PaletteId = 32590;         // two icon buttons
constexpr short MissingId = 32599;
constexpr short DamagedId = 32598;  // item numbers out of order

inline RS::DialogItem MakeItem(unsigned short number, RS::ItemType type, std::string text, GSResID icon = 0) {
    RS::DialogItem item;
    item.number = number;
    item.type = type;
    item.style = type == RS::ItemType::Button ? (icon != 0 ? 2 : 7) : 0;
    item.text = std::move(text);
    item.iconId = icon;
    return item;
}

inline std::map<GSResID, RS::DialogLayout> MakeLayouts() {
    using RS::ItemType;
    std::map<GSResID, RS::DialogLayout> layouts;
    RS::DialogLayout link;
    link.id = LinkDialogId;
    link.kind = 4;
    link.title = "Link to KAVELO";
    link.items = {MakeItem(1, ItemType::Button, "OK"), MakeItem(2, ItemType::Button, "Cancel"),
                  MakeItem(3, ItemType::Separator, ""),
                  MakeItem(4, ItemType::LeftText,
                           "Before exporting your renders to KAVELO you need to link Archicad to your KAVELO "
                           "account. Click on OK and login in the browser page that will open.")};
    layouts[link.id] = link;

    RS::DialogLayout exported;
    exported.id = ExportedDialogId;
    exported.kind = 4;
    exported.title = "Export to KAVELO succeeded";
    exported.items = {
        MakeItem(1, ItemType::Button, "OK"), MakeItem(2, ItemType::Separator, ""),
        MakeItem(3, ItemType::LeftText, "Your image was exported to KAVELO."),
        MakeItem(4, ItemType::LeftText, "Refresh your KAVELO browser tab if the upload didn't appear.")};
    layouts[exported.id] = exported;

    RS::DialogLayout palette;
    palette.id = PaletteId;
    palette.kind = 16;
    palette.secondField = 5;
    palette.title = "Kavelo Palette";
    palette.items = {MakeItem(1, ItemType::Button, "", 32105), MakeItem(2, ItemType::Button, "", 32103)};
    layouts[palette.id] = palette;

    RS::DialogLayout damaged = exported;
    damaged.id = DamagedId;
    damaged.items[1].number = 3;
    layouts[damaged.id] = damaged;
    return layouts;
}

// Resets DG and serves the test layouts for ResModule.
class DgFixture : public ::testing::Test {
protected:
    void SetUp() override {
        DG::Control::ResetForTesting();
        DG::Control::SetLayoutSourceForTesting([layouts = MakeLayouts()](GSResModule module, GSResID id,
                                                                         RS::DialogLayout* layout,
                                                                         std::string* error) {
            auto it = layouts.find(id);
            if (module != ResModule || it == layouts.end()) {
                *error = "no layout " + std::to_string(id);
                return false;
            }
            *layout = it->second;
            return true;
        });
    }
    void TearDown() override { DG::Control::ResetForTesting(); }
};

// The add-on's message dialog: item 1 accepts, item 2 cancels, close requests are left as they come.
class Dialog : public DG::ModalDialog,
               public DG::PanelObserver,
               public DG::ButtonItemObserver,
               public DG::CompoundItemObserver {
public:
    explicit Dialog(short resId)
        : DG::ModalDialog(ResModule, resId, ResModule),
          button1(GetReference(), 1),
          button2(GetReference(), 2) {
        AttachToAllItems(*this);
        Attach(*this);
    }
    ~Dialog() override {
        Detach(*this);
        DetachFromAllItems(*this);
    }

    bool refuseClose = false;
    int clicks = 0;
    int closeRequests = 0;

protected:
    void ButtonClicked(const DG::ButtonClickEvent& ev) override {
        ++clicks;
        if (ev.GetSource() == &button1)
            PostCloseRequest(DG::ModalDialog::Accept);
        else if (ev.GetSource() == &button2)
            PostCloseRequest(DG::ModalDialog::Cancel);
    }
    void PanelCloseRequested(const DG::PanelCloseRequestEvent& ev, bool* accepted) override {
        ++closeRequests;
        EXPECT_EQ(ev.GetSource(), this);
        if (refuseClose)
            *accepted = false;
    }

    DG::Button button1;
    DG::Button button2;
};

inline const GS::Guid PaletteGuid("{D8A0A01F-1184-40F2-B8A8-28CF30714FA4}");

// The add-on's palette and its manager, reduced to what the host sees.
class Palette;

class PaletteManager : public GS::DisposeHandler {
public:
    void DisposeRequested(GS::DisposableObject& object) override;

    Palette* palette = nullptr;
    int disposeNotifications = 0;
    bool paletteAliveAtNotification = false;
};

class Palette : public DG::Palette,
                public DG::PanelObserver,
                public DG::ButtonItemObserver,
                public DG::CompoundItemObserver,
                public GS::DisposableObject {
public:
    Palette(PaletteManager& manager, int* destructions)
        : DG::Palette(ResModule, PaletteId, ResModule, PaletteGuid),
          button1(GetReference(), 1),
          button2(GetReference(), 2),
          destructions_(destructions) {
        Attach(*this);
        AttachToAllItems(*this);
        SetGarbageCollector(GS::defaultGarbageCollector);
        SetDisposeHandler(manager);
    }
    ~Palette() override {
        Detach(*this);
        DetachFromAllItems(*this);
        ++*destructions_;
    }

    int exports = 0;
    int livePages = 0;

protected:
    void ButtonClicked(const DG::ButtonClickEvent& ev) override {
        if (ev.GetSource() == &button1)
            ++exports;
        else
            ++livePages;
    }
    void PanelCloseRequested(const DG::PanelCloseRequestEvent& ev, bool*) override {
        if (ev.GetSource() != this)
            return;
        Hide();
        EndEventProcessing();
        MarkAsDisposable();
    }

    DG::Button button1;
    DG::Button button2;
    int* destructions_;
};

inline void PaletteManager::DisposeRequested(GS::DisposableObject& object) {
    ++disposeNotifications;
    if (palette != nullptr && &object == static_cast<GS::DisposableObject*>(palette)) {
        paletteAliveAtNotification = true;
        palette = nullptr;
    }
}

}  // namespace DgTest
