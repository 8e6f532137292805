// Menu records and menu strings.
#include "Menus.hpp"

#include <cstdlib>

namespace hostsim {

MenuItemText ParseMenuItemText(const std::string& raw) {
    MenuItemText parsed{raw, 0, ""};
    // The suffix is "^<digits>^<flags>" at the very end; anything else stays part of the text.
    const auto second = raw.rfind('^');
    if (second == std::string::npos || second == 0)
        return parsed;
    const auto first = raw.rfind('^', second - 1);
    if (first == std::string::npos)
        return parsed;
    const std::string digits = raw.substr(first + 1, second - first - 1);
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
        return parsed;
    const long icon = std::strtol(digits.c_str(), nullptr, 10);
    if (icon > 32767)
        return parsed;
    parsed.text = raw.substr(0, first);
    parsed.iconId = static_cast<GSResID>(icon);
    parsed.flags = raw.substr(second + 1);
    return parsed;
}

std::string MenuItem::Describe() const {
    std::string text = title + " > " + item.text;
    if (item.iconId != 0)
        text += " (icon " + std::to_string(item.iconId) + ")";
    return text;
}

bool BuildMenuItem(const abi::MenuRecord& record, const std::vector<std::string>& strings,
                   const std::vector<std::string>& secondStrings, MenuItem* item, std::string* error) {
    MenuItem built;
    built.id = record.menuStrId;
    built.secondId = record.secondStrId;
    built.placement = record.placement;
    built.option = record.option;
    built.secondStrings = secondStrings;
    if (strings.size() == 2) {
        built.title = strings[0];
        built.rawText = strings[1];
    } else if (strings.size() == 1) {
        built.title = record.placement == kPlacementToolbars ? "Window > Toolbars" : "Add-Ons";
        built.rawText = strings[0];
    } else {
        *error = "string list " + std::to_string(record.menuStrId) + " has " +
                 std::to_string(strings.size()) +
                 " strings; a menu needs a title and an item, or an item alone";
        return false;
    }
    built.item = ParseMenuItemText(built.rawText);
    *item = std::move(built);
    return true;
}

}  // namespace hostsim
