// Internal state of the DG stand-in, shared by its source files. Not for the add-on.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "DGButton.hpp"
#include "DGControl.hpp"
#include "DGDialog.hpp"

namespace DG::Detail {

struct PanelImpl {
    Panel* self = nullptr;
    bool isPalette = false;
    GSResModule resModule = InvalidResModule;
    GSResModule iconResModule = InvalidResModule;
    RS::DialogLayout layout;
    std::vector<bool> itemEnabled;  // by item number - 1
    std::vector<PanelObserver*> observers;
    std::vector<Item*> items;  // item objects bound to this panel

    // Modal dialogs.
    bool running = false;
    bool closePosted = false;
    int response = 0;

    // Palettes.
    GS::Guid guid;
    bool visible = false;
    bool processing = false;
    bool docked = false;  // a palette the user docked (DG::Control::DockPalette)
    short lastPlacement = 0;
};

struct ItemImpl {
    Item* self = nullptr;
    Panel* panel = nullptr;  // null once the panel is gone
    short number = 0;
    bool isButton = false;
    std::vector<ButtonItemObserver*> observers;
};

struct State {
    std::vector<Panel*> panels;
    std::vector<Item*> items;
    std::vector<PanelObserver*> panelObservers;
    std::vector<ButtonItemObserver*> buttonObservers;
    std::vector<CompoundItemObserver*> compoundObservers;
    std::int64_t leftAttached = 0;

    Control::LayoutSource layoutSource;
    Control::PaletteListener paletteDestroyed;
    std::deque<Control::Action> script;
    Control::UserDriver* driver = nullptr;  // null: the scripted user
    std::unique_ptr<Control::UserDriver> terminal;

    // Records carry a serial so that a running dialog finds its own even after the list was cleared.
    std::vector<Control::DialogRecord> records;
    std::vector<std::uint64_t> recordSerials;
    std::uint64_t nextRecordSerial = 1;
};

State& GetState();

struct Access {
    static PanelImpl& Of(const Panel& panel) { return *panel.impl_; }
    static ItemImpl& Of(const Item& item) { return *item.impl_; }
};

// The panel's layout item `number` (1-based); the caller has checked the number.
const RS::DialogItem& LayoutItem(const PanelImpl& panel, short number);
bool HasItem(const PanelImpl& panel, short number);
// "dialog 32520 "Link to KAVELO"" or "palette 32590 "Kavelo Palette"", for messages.
std::string NameOf(const PanelImpl& panel);
Control::DialogView ViewOf(const PanelImpl& panel);

// Tells the observers of every button bound to item `number` that it was clicked; the caller has checked
// that the item is an enabled push button.
void DeliverClick(PanelImpl& panel, short number);
// Tells the panel's observers that the user wants it closed; returns whether none refused.
bool DeliverCloseRequest(PanelImpl& panel);

// The user driver in effect: the one set, the terminal, or the script.
Control::UserDriver& CurrentDriver();

template <class T>
bool Contains(const std::vector<T>& list, const T& value) {
    for (const T& v : list) {
        if (v == value)
            return true;
    }
    return false;
}

// Removes `value` from `list`; returns whether it was there.
template <class T>
bool Remove(std::vector<T>& list, const T& value) {
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (*it == value) {
            list.erase(it);
            return true;
        }
    }
    return false;
}

}  // namespace DG::Detail
