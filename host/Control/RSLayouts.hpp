// Host-internal access to a module's raw resources and parsed dialog layouts, for the DG stand-in, the
// simulated host and tools. The add-on itself reads resources only through RS.hpp.
#pragma once

#include <string>
#include <vector>

#include "RS.hpp"

namespace RS {

// Copies the bytes of resource (type, id) of `resModule` into *bytes. `type` is a four-character type
// such as "STRS", "GSDG", "DLGH" or "MDID", or one of the standard types "RT_ICON", "RT_GROUP_ICON" and
// "RT_MANIFEST". Returns false when the handle or resource does not exist.
bool GetResourceBytes(GSResModule resModule, const char* type, GSResID id, std::vector<unsigned char>* bytes);
// The same for a resource known by name, such as the icon group "I32105&96".
bool GetNamedResourceBytes(GSResModule resModule, const char* type, const char* name,
                           std::vector<unsigned char>* bytes);

enum class ItemType : unsigned short { Button = 1, LeftText = 13, Separator = 15 };

struct Rect {
    short x = 0, y = 0, width = 0, height = 0;
};

struct DialogItem {
    unsigned short number = 0;  // 1, 2, 3 ... in order
    ItemType type = ItemType::Separator;
    unsigned short style = 0;
    Rect rect;
    std::string text;    // text buttons and static texts
    GSResID iconId = 0;  // icon buttons; 0 otherwise
};

struct DialogLayout {
    GSResID id = 0;
    unsigned short kind = 0;  // 4: modal dialog, 16: palette
    unsigned short secondField = 0;
    Rect rect;
    std::string title;
    std::vector<DialogItem> items;
};

// Reads dialog layout ("GSDG") `id` of `resModule` into *layout. Returns false, with *error saying why,
// when the handle or the layout does not exist or its bytes are damaged. A button of style 2 is an icon
// button (iconId set, text empty); other buttons and static texts carry a text.
bool LoadDialogLayout(GSResModule resModule, GSResID id, DialogLayout* layout, std::string* error);

// The help anchors ("DLGH") of a dialog layout: the dialog's anchor and one entry per anchored item.
struct HelpAnchorEntry {
    unsigned short item = 0;
    std::string text;  // empty in every entry the module carries
    std::string anchor;
};

struct HelpAnchors {
    std::string dialogAnchor;
    std::vector<HelpAnchorEntry> entries;
};

// The following readers return false, with *error saying why, when the handle or the resource does
// not exist or its bytes are damaged; the output is then unspecified.

bool LoadHelpAnchors(GSResModule resModule, GSResID id, HelpAnchors* anchors, std::string* error);

// All strings of string list ("STRS") `id`, item 1 first.
bool LoadStringList(GSResModule resModule, GSResID id, std::vector<std::string>* strings, std::string* error);

// The two halves of the add-on identifier ("MDID") `id`.
bool LoadAddOnId(GSResModule resModule, GSResID id, unsigned* first, unsigned* second, std::string* error);

// One image of an icon group: a PNG file or a 32-bit icon bitmap (BITMAPINFOHEADER, BGRA rows bottom
// up, AND mask), with the size read from the image itself.
struct IconImage {
    bool png = false;
    unsigned width = 0;
    unsigned height = 0;
    unsigned bitCount = 0;
    std::vector<unsigned char> bytes;
};

// The images of the icon group named `groupName` (such as "I32105&96") or numbered `id` (the module
// file's icon, group 1), in the group's order.
bool LoadIconGroup(GSResModule resModule, const char* groupName, std::vector<IconImage>* images,
                   std::string* error);
bool LoadIconGroup(GSResModule resModule, GSResID id, std::vector<IconImage>* images, std::string* error);

// A resource of a module as its directory lists it.
struct ResourceInfo {
    std::string type;
    bool named = false;
    int id = 0;        // numeric resources
    std::string name;  // named resources
    unsigned size = 0;
};

// Every resource of `resModule`, in the order of its directory; empty for an unknown handle.
std::vector<ResourceInfo> ListResources(GSResModule resModule);

}  // namespace RS
