// What the resource compiler reads from the resource sources: one ResourceSet, with the place in the
// sources each piece came from so that later checks can name it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace Rescomp {

struct SourcePos {
    std::string file;
    int line = 0;
};

// A mistake in a source, reported as "file:line: error: message" and stopping the build.
class SourceError : public std::runtime_error {
public:
    SourceError(const SourcePos& pos, const std::string& message)
        : std::runtime_error(pos.file + ":" + std::to_string(pos.line) + ": error: " + message) {}
};

// Limits of the texts, in characters without the terminating NUL.
constexpr std::size_t kMaxTextLength = 255;   // string-list items, titles, item texts
constexpr std::size_t kMaxAnchorLength = 63;  // help anchors

struct StringList {
    SourcePos pos;
    int id = 0;
    std::vector<std::string> strings;
};

enum class ItemKind { Button, IconButton, Text, Separator };

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

struct DialogItem {
    SourcePos pos;
    int number = 0;
    ItemKind kind = ItemKind::Separator;
    std::uint16_t type = 0;
    std::uint16_t style = 0;
    Rect rect;
    std::string text;  // button and text items
    int iconId = 0;    // icon buttons
    bool hasAnchor = false;
    std::string anchor;
};

struct Dialog {
    SourcePos pos;
    int id = 0;
    std::string title;
    std::uint16_t kind = 0;
    std::uint16_t secondField = 0;
    Rect window;
    std::string anchor;
    std::vector<DialogItem> items;
};

struct AddOnId {
    SourcePos pos;
    int id = 0;
    std::uint32_t first = 0;
    std::uint32_t second = 0;
};

// An icon whose two groups "I<id>&96" and "I<id>&192" hold one PNG each.
struct Icon {
    SourcePos pos;
    int id = 0;
    std::string png96;  // paths as resolved against the source's folder
    std::string png192;
};

// The module file's own icon: one standard icon group with several images (PNG or 32-bit BMP files).
struct ModuleIcon {
    SourcePos pos;
    int id = 0;
    std::vector<std::string> files;
};

struct Manifest {
    SourcePos pos;
    int id = 0;
    std::string file;
};

struct ResourceSet {
    std::vector<StringList> stringLists;
    std::vector<Dialog> dialogs;
    std::vector<AddOnId> addOnIds;
    std::vector<Icon> icons;
    std::vector<ModuleIcon> moduleIcons;
    std::vector<Manifest> manifests;
};

}  // namespace Rescomp
