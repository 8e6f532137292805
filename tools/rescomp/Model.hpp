// What the resource compiler reads from the GRC and .rc2 sources: one ResourceSet, with the place in the
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

// Limits of the texts, in bytes without the terminating NUL.
constexpr std::size_t kMaxTextLength = 255;   // string-list items, titles, item texts, tooltips
constexpr std::size_t kMaxAnchorLength = 63;  // help anchors

// 'STR#': the strings in order; the header's description is not part of the resource.
struct StringList {
    SourcePos pos;
    int id = 0;
    std::vector<std::string> strings;
    std::vector<SourcePos> stringPos;
};

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

// One item of a 'GDLG': its record is number, type, style, rectangle, then `tail` (16-bit words) and, for
// items with a text, the text.
struct DialogItem {
    SourcePos pos;
    std::uint16_t type = 0;
    std::uint16_t style = 0;
    Rect rect;
    std::vector<std::uint16_t> tail;
    bool hasText = false;
    std::string text;
    int iconId = 0;  // icon buttons
};

struct Dialog {
    SourcePos pos;
    int id = 0;
    std::uint16_t kind = 0;
    std::uint16_t flags = 0;
    Rect window;
    std::string title;
    std::vector<DialogItem> items;
};

// 'DLGH': the dialog's anchor and one entry per item line.
struct HelpAnchorEntry {
    int item = 0;
    std::string tooltip;
    std::string anchor;
};

struct HelpAnchors {
    SourcePos pos;
    int id = 0;
    std::string anchor;
    std::vector<HelpAnchorEntry> entries;
};

struct AddOnId {
    SourcePos pos;
    int id = 0;
    std::uint32_t first = 0;
    std::uint32_t second = 0;
};

// 'GICN': the groups "<image>&96" and, when "<image>@2x.png" exists, "<image>&192", one PNG each.
struct Icon {
    SourcePos pos;
    int id = 0;
    std::string imageName;
    std::string png96;   // found in the image folders
    std::string png192;  // empty when there is no @2x image
};

// The module file's own icon, an .ico file named by a native ICON line.
struct ModuleIcon {
    SourcePos pos;
    int id = 0;
    std::string file;
};

struct Manifest {
    SourcePos pos;
    int id = 0;
    std::string file;
};

// A node of a version resource: a key with a text value, a value of 16-bit words, or blocks of further nodes
// (BLOCK "StringFileInfo", VALUE "FileVersion", "1.0.0", VALUE "Translation", 0x409, 1200).
struct VersionNode {
    SourcePos pos;
    std::string key;
    bool isText = true;
    std::string text;                  // text values and blocks (empty)
    std::vector<std::uint16_t> words;  // word values
    bool isBlock = false;
    std::vector<VersionNode> children;
};

// A native VERSIONINFO resource: the fixed part (VS_FIXEDFILEINFO) and its blocks.
struct VersionInfo {
    SourcePos pos;
    int id = 0;
    std::uint16_t fileVersion[4] = {0, 0, 0, 0};
    std::uint16_t productVersion[4] = {0, 0, 0, 0};
    std::uint32_t flagsMask = 0;
    std::uint32_t flags = 0;
    std::uint32_t os = 0;
    std::uint32_t fileType = 0;
    std::uint32_t fileSubtype = 0;
    std::vector<VersionNode> children;
};

// An #include in a native top file of the script that ResConv writes from a GRC file ("<name>.grc.rc2").
struct GrcScriptInclude {
    SourcePos pos;
    std::string name;
};

struct ResourceSet {
    std::vector<StringList> stringLists;
    std::vector<Dialog> dialogs;
    std::vector<HelpAnchors> helpAnchors;
    std::vector<AddOnId> addOnIds;
    std::vector<Icon> icons;
    std::vector<ModuleIcon> moduleIcons;
    std::vector<Manifest> manifests;
    std::vector<VersionInfo> versions;
    std::vector<GrcScriptInclude> grcScripts;
};

}  // namespace Rescomp
