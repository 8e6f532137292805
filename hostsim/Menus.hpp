// The host's menus as the module registers them: the registration records and the texts of the module's
// string lists (read with RS::LoadStringList), with the menu-string suffix ("^<icon id>^E3") taken apart.
#pragma once

#include <string>
#include <vector>

#include "Abi.hpp"

namespace hostsim {

// An item text with its suffix parsed: "Export from current view^32105^E3" gives the text
// "Export from current view", icon 32105 and flags "E3".
struct MenuItemText {
    std::string text;
    GSResID iconId = 0;
    std::string flags;
};
MenuItemText ParseMenuItemText(const std::string& raw);

// Placement code of an item the host puts into its own Window > Toolbars menu.
constexpr Int32 kPlacementToolbars = 12;

struct MenuItem {
    Int16 id = 0;        // the menu string-list id, the command's id
    Int16 secondId = 0;  // 0: none
    Int32 placement = 0;
    Int32 option = 0;
    std::string title;    // the menu the item appears in
    std::string rawText;  // the item text as the resource has it
    MenuItemText item;    // the item text taken apart
    std::vector<std::string> secondStrings;
    abi::MenuCommandHandler handler = nullptr;

    // "KAVELO > Export from current view (icon 32105)".
    std::string Describe() const;
};

// Builds a menu item from a registration record and the strings of its lists. A list of two strings holds
// the menu title and the item text; a list of one string is the item alone and goes into the host menu
// the placement names. Returns false with *error saying why for any other list.
bool BuildMenuItem(const abi::MenuRecord& record, const std::vector<std::string>& strings,
                   const std::vector<std::string>& secondStrings, MenuItem* item, std::string* error);

}  // namespace hostsim
