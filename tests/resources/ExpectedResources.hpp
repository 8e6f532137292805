// The module's resources as the add-on and the host expect them, written out independently of the
// resource sources, and a small encoder of the host's byte formats to compare against.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Expected {

using Bytes = std::vector<unsigned char>;

struct StringList {
    int id;
    std::vector<std::string> strings;
};

struct Item {
    int type;   // 1 button, 13 static text, 15 separator
    int style;  // 7 text button, 2 icon button, 0 otherwise
    int x, y, width, height;
    std::string text;    // text buttons and static texts
    int icon;            // icon buttons
    std::string anchor;  // empty: no help anchor
};

struct Layout {
    int id;
    int kind, secondField;
    int x, y, width, height;
    std::string title;
    std::string anchor;
    std::vector<Item> items;
};

struct IconSizes {
    int id;
    int size96, size192;
};

inline std::vector<StringList> StringLists(const std::string& domain) {
    return {
        {32000, {"KAVELO", "Export models to " + domain + " to improve realism"}},
        {32511, {"KAVELO", "Open toolbar^32104^E3"}},
        {32512, {"KAVELO", "Export from current view^32105^E3"}},
        {32513, {"KAVELO", "Unlink account^32102^E3"}},
        {32514, {"KAVELO", "Open live connection^32103^E3"}},
        {32530, {"KAVELO", "Open toolbar"}},
        {32540, {"KAVELO toolbar^32101^E3"}},
        {32550, {"Export to KAVELO", "Uploading the view", "Connecting to KAVELO"}},
    };
}

inline Item Button(int x, int y, const std::string& text, const std::string& anchor) {
    return {1, 7, x, y, 90, 23, text, 0, anchor};
}
inline Item Separator(const std::string& anchor) {
    return {15, 0, 10, 83, 325, 2, "", 0, anchor};
}
inline Item LeftText(int y, int height, const std::string& text, const std::string& anchor) {
    return {13, 0, 10, y, 335, height, text, 0, anchor};
}

inline std::vector<Layout> Layouts() {
    return {
        {32520,
         4,
         0,
         40,
         40,
         345,
         128,
         "Link to KAVELO",
         "DLG_Link",
         {Button(245, 95, "OK", "Button_0"), Button(145, 95, "Cancel", "Button_1"), Separator("Separator_0"),
          LeftText(
              10, 40,
              "Before exporting your renders to KAVELO you need to link Archicad to your KAVELO account. "
              "Click on OK and login in the browser page that will open.",
              "LeftText_0")}},
        {32531,
         4,
         0,
         40,
         40,
         345,
         128,
         "Export to KAVELO succeeded",
         "DLG_Exported",
         {Button(245, 95, "OK", "Button_0"), Separator("Separator_0"),
          LeftText(10, 12, "Your image was exported to KAVELO.", "LeftText_0"),
          LeftText(34, 12, "Refresh your KAVELO browser tab if the upload didn't appear.", "LeftText_1")}},
        {32532,
         4,
         0,
         40,
         40,
         345,
         128,
         "Export to KAVELO succeeded",
         "DLG_Exported",
         {Button(245, 95, "Open live", "Button_0"), Button(145, 95, "Close", "Button_1"),
          Separator("Separator_0"), LeftText(10, 12, "Your image was exported to KAVELO.", "LeftText_0"),
          LeftText(
              24, 40,
              "If you click on \"Open live\", a new tab with KAVELO will be opened in the browser and will "
              "get updated each time you export an image.",
              "LeftText_1")}},
        {32533,
         4,
         0,
         40,
         40,
         345,
         128,
         "Export to KAVELO failed",
         "DLG_Exported_Login",
         {Button(245, 95, "OK", "Button_0"), Separator("Separator_0"),
          LeftText(10, 26, "You need to link Archicad to your KAVELO account.", "LeftText_0")}},
        {32534,
         4,
         0,
         40,
         40,
         345,
         128,
         "Account unlinked",
         "DLG_Exported_Login",
         {Button(245, 95, "OK", "Button_0"), Separator("Separator_0"),
          LeftText(10, 26, "Archicad app was unlinked from your KAVELO account.", "LeftText_0")}},
        {32590,
         16,
         5,
         0,
         0,
         84,
         34,
         "Kavelo Palette",
         "DLG_32580_Test_Palette",
         {{1, 2, 8, 2, 30, 30, "", 32105, "Button_0"}, {1, 2, 46, 2, 30, 30, "", 32103, ""}}},
    };
}

inline std::vector<IconSizes> Icons() {
    return {{32101, 22, 44}, {32102, 22, 44}, {32103, 22, 44},
            {32104, 22, 44}, {32105, 22, 44}, {10001, 18, 36}};
}

// Little-endian writer of the host's formats, with the leading length put in front by Finish.
class Encoder {
public:
    Encoder& U16(unsigned v) {
        bytes_.push_back(static_cast<unsigned char>(v & 0xFF));
        bytes_.push_back(static_cast<unsigned char>(v >> 8 & 0xFF));
        return *this;
    }
    Encoder& U32(std::uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    Encoder& Text(const std::string& text) {
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        bytes_.push_back(0);
        return *this;
    }
    Bytes Finish() const {
        Encoder out;
        out.U32(static_cast<std::uint32_t>(bytes_.size()));
        out.bytes_.insert(out.bytes_.end(), bytes_.begin(), bytes_.end());
        return out.bytes_;
    }

private:
    Bytes bytes_;
};

inline Bytes EncodeStrings(const StringList& list) {
    Encoder e;
    for (const std::string& s : list.strings) e.Text(s);
    return e.Finish();
}

inline Bytes EncodeLayout(const Layout& layout) {
    Encoder e;
    e.U16(layout.kind)
        .U16(layout.secondField)
        .U16(layout.x)
        .U16(layout.y)
        .U16(layout.width)
        .U16(layout.height);
    e.Text(layout.title).U16(static_cast<unsigned>(layout.items.size()));
    unsigned number = 1;
    for (const Item& item : layout.items) {
        e.U16(number++)
            .U16(item.type)
            .U16(item.style)
            .U16(item.x)
            .U16(item.y)
            .U16(item.width)
            .U16(item.height);
        if (item.type == 15)
            continue;
        if (item.style == 2)
            e.U16(0).U16(item.icon);
        else
            e.U16(0).U16(0).Text(item.text);
    }
    return e.Finish();
}

inline Bytes EncodeAnchors(const Layout& layout) {
    Encoder e;
    e.Text(layout.anchor);
    unsigned count = 0;
    for (const Item& item : layout.items) count += item.anchor.empty() ? 0 : 1;
    e.U16(count);
    unsigned number = 1;
    for (const Item& item : layout.items) {
        if (!item.anchor.empty())
            e.U16(number).Text("").Text(item.anchor);
        ++number;
    }
    return e.Finish();
}

}  // namespace Expected
