// Encoding of the resource formats the host reads ("STRS", "GSDG", "DLGH", "MDID", icon groups,
// manifest). All numbers little-endian, texts NUL-terminated, leading lengths = size - 4.
#include "Compiler.hpp"

#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "VersionInfo.hpp"

namespace Rescomp {

namespace {

class Writer {
public:
    void U8(std::uint8_t v) { bytes_.push_back(v); }
    void U16(std::uint16_t v) {
        U8(static_cast<std::uint8_t>(v));
        U8(static_cast<std::uint8_t>(v >> 8));
    }
    void I16(int v) { U16(static_cast<std::uint16_t>(static_cast<std::int16_t>(v))); }
    void U32(std::uint32_t v) {
        U16(static_cast<std::uint16_t>(v));
        U16(static_cast<std::uint16_t>(v >> 16));
    }
    void Text(const std::string& text) {
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        U8(0);
    }
    void Append(const Bytes& bytes) { bytes_.insert(bytes_.end(), bytes.begin(), bytes.end()); }
    void Rect(const Rescomp::Rect& r) {
        I16(r.x);
        I16(r.y);
        I16(r.width);
        I16(r.height);
    }
    // The bytes with the leading length (the number of bytes that follow it) in front.
    Bytes WithLength() const {
        Writer out;
        out.U32(static_cast<std::uint32_t>(bytes_.size()));
        out.Append(bytes_);
        return out.bytes_;
    }
    const Bytes& Get() const { return bytes_; }

private:
    Bytes bytes_;
};

std::uint32_t ReadU32(const Bytes& b, std::size_t at, bool bigEndian) {
    if (bigEndian)
        return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 | std::uint32_t(b[at + 2]) << 8 |
               b[at + 3];
    return std::uint32_t(b[at + 3]) << 24 | std::uint32_t(b[at + 2]) << 16 | std::uint32_t(b[at + 1]) << 8 |
           b[at];
}

std::uint16_t ReadU16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

Bytes ReadFile(const std::string& path, const SourcePos& pos) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw SourceError(pos, "cannot read '" + path + "'");
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A PNG image of an icon group.
struct IconImage {
    int width = 0;
    int height = 0;
    Bytes bytes;  // the PNG file
};

IconImage ReadPng(const std::string& path, const SourcePos& pos) {
    static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    IconImage image;
    image.bytes = ReadFile(path, pos);
    const Bytes& b = image.bytes;
    if (b.size() < 33 || !std::equal(signature, signature + 8, b.begin()) || ReadU32(b, 8, true) != 13 ||
        std::string(b.begin() + 12, b.begin() + 16) != "IHDR")
        throw SourceError(pos, "'" + path + "' is not a PNG file");
    image.width = static_cast<int>(ReadU32(b, 16, true));
    image.height = static_cast<int>(ReadU32(b, 20, true));
    if (b[24] != 8 || b[25] != 6)
        throw SourceError(pos, "'" + path + "' is not an 8-bit RGBA PNG (bit depth " + std::to_string(b[24]) +
                                   ", colour type " + std::to_string(b[25]) + ")");
    return image;
}

std::uint8_t DirectorySize(int pixels) {
    return static_cast<std::uint8_t>(pixels >= 256 ? 0 : pixels);
}

// The .ico file of a group, for the .rc script: ICONDIR, one 16-byte entry per image, the images.
Bytes IcoFile(const std::vector<IconImage>& images) {
    Writer out;
    out.U16(0);
    out.U16(1);
    out.U16(static_cast<std::uint16_t>(images.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
    for (const IconImage& image : images) {
        out.U8(DirectorySize(image.width));
        out.U8(DirectorySize(image.height));
        out.U8(0);
        out.U8(0);
        out.U16(1);
        out.U16(32);
        out.U32(static_cast<std::uint32_t>(image.bytes.size()));
        out.U32(offset);
        offset += static_cast<std::uint32_t>(image.bytes.size());
    }
    for (const IconImage& image : images) out.Append(image.bytes);
    return out.Get();
}

// An .ico file as a group directory names it: the bytes of each image and its 12-byte directory entry
// (width, height, colours, reserved, planes, bit count, size), which the group entry repeats.
struct IcoFileImages {
    std::vector<Bytes> entries;
    std::vector<Bytes> images;
};

IcoFileImages ReadIco(const std::string& path, const SourcePos& pos) {
    const Bytes file = ReadFile(path, pos);
    const std::size_t count = file.size() >= 6 ? ReadU16(file, 4) : 0;
    if (count == 0 || ReadU16(file, 0) != 0 || ReadU16(file, 2) != 1 || file.size() < 6 + 16 * count)
        throw SourceError(pos, "'" + path + "' is not an icon file");
    IcoFileImages ico;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = 6 + 16 * i;
        const std::uint32_t size = ReadU32(file, entry + 8, false);
        const std::uint32_t offset = ReadU32(file, entry + 12, false);
        if (size == 0 || offset > file.size() || size > file.size() - offset)
            throw SourceError(pos,
                              "'" + path + "': image " + std::to_string(i + 1) + " lies outside the file");
        ico.entries.emplace_back(file.begin() + entry, file.begin() + entry + 12);
        ico.images.emplace_back(file.begin() + offset, file.begin() + offset + size);
    }
    return ico;
}

std::string Quote(const std::string& text) {
    return "\"" + text + "\"";
}

class Compilation {
public:
    explicit Compilation(const ResourceSet& set) : set_(set) {}

    CompiledResources Run() {
        CheckDuplicates();
        CheckIconReferences();
        for (const StringList& list : set_.stringLists) StringListResource(list);
        for (const Dialog& dialog : set_.dialogs) DialogResources(dialog);
        for (const AddOnId& value : set_.addOnIds) AddOnIdResource(value);
        for (const ModuleIcon& icon : set_.moduleIcons) ModuleIconResources(icon);
        for (const Icon& icon : set_.icons) IconResources(icon);
        for (const Manifest& manifest : set_.manifests) ManifestResource(manifest);
        for (const VersionInfo& version : set_.versions) VersionResource(version);
        return out_;
    }

private:
    template <class T>
    static void CheckUnique(const std::vector<T>& items, const char* what) {
        std::map<int, SourcePos> seen;
        for (const T& item : items) {
            const auto inserted = seen.emplace(item.id, item.pos);
            if (!inserted.second)
                throw SourceError(item.pos, std::string("duplicate ") + what + " id " +
                                                std::to_string(item.id) + " (first defined at " +
                                                inserted.first->second.file + ":" +
                                                std::to_string(inserted.first->second.line) + ")");
        }
    }

    void CheckDuplicates() const {
        CheckUnique(set_.stringLists, "'STR#'");
        CheckUnique(set_.dialogs, "'GDLG'");
        CheckUnique(set_.helpAnchors, "'DLGH'");
        CheckUnique(set_.addOnIds, "'MDID'");
        CheckUnique(set_.icons, "'GICN'");
        CheckUnique(set_.moduleIcons, "module icon");
        CheckUnique(set_.manifests, "manifest");
        CheckUnique(set_.versions, "version resource");
        for (const HelpAnchors& anchors : set_.helpAnchors) {
            if (FindDialog(anchors.id) == nullptr)
                throw SourceError(anchors.pos, "help anchors of dialog " + std::to_string(anchors.id) +
                                                   ", which no 'GDLG' defines");
        }
    }

    const Dialog* FindDialog(int id) const {
        for (const Dialog& dialog : set_.dialogs) {
            if (dialog.id == id)
                return &dialog;
        }
        return nullptr;
    }

    // The host loads icon <id> from the groups "I<id>&96" and "I<id>&192", named after the image.
    bool HasIcon(int id) const {
        for (const Icon& icon : set_.icons) {
            if (icon.imageName == "I" + std::to_string(id))
                return true;
        }
        return false;
    }

    // Menu texts name their icon after the first "^"; icon buttons name theirs directly.
    void CheckIconReferences() const {
        for (const StringList& list : set_.stringLists) {
            for (std::size_t i = 0; i < list.strings.size(); ++i) {
                const std::string& text = list.strings[i];
                const std::size_t caret = text.find('^');
                if (caret == std::string::npos)
                    continue;
                const std::size_t end = text.find('^', caret + 1);
                const std::string id =
                    text.substr(caret + 1, end == std::string::npos ? end : end - caret - 1);
                if (id.empty() || id.size() > 5 || id.find_first_not_of("0123456789") != std::string::npos)
                    continue;
                if (!HasIcon(std::stoi(id)))
                    throw SourceError(list.stringPos[i], "menu text \"" + text + "\" names icon " + id +
                                                             ", which no 'GICN' with image I" + id +
                                                             " defines");
            }
        }
        for (const Dialog& dialog : set_.dialogs) {
            for (const DialogItem& item : dialog.items) {
                if (item.iconId != 0 && !HasIcon(item.iconId))
                    throw SourceError(item.pos, "icon button names icon " + std::to_string(item.iconId) +
                                                    ", which no 'GICN' with image I" +
                                                    std::to_string(item.iconId) + " defines");
            }
        }
    }

    void Add(const std::string& type, int id, const Bytes& bytes, const std::string& comment) {
        out_.image.push_back({type, false, id, "", bytes});
        out_.rc.push_back(
            {comment, std::to_string(id), type, type + "_" + std::to_string(id) + ".bin", bytes});
    }

    void StringListResource(const StringList& list) {
        Writer w;
        std::string summary;
        for (const std::string& text : list.strings) {
            w.Text(text);
            summary += (summary.empty() ? "" : ", ") + Quote(text);
        }
        Add("STRS", list.id, w.WithLength(), "String list " + std::to_string(list.id) + ": " + summary);
    }

    // The layout, then the help anchors of the same id, if there are any.
    void DialogResources(const Dialog& dialog) {
        Writer layout;
        layout.U16(dialog.kind);
        layout.U16(dialog.flags);
        layout.Rect(dialog.window);
        layout.Text(dialog.title);
        layout.U16(static_cast<std::uint16_t>(dialog.items.size()));
        for (std::size_t i = 0; i < dialog.items.size(); ++i)
            Item(static_cast<int>(i) + 1, dialog.items[i], &layout);
        Add("GSDG", dialog.id, layout.WithLength(),
            "Dialog layout " + std::to_string(dialog.id) + ": " + Quote(dialog.title));

        for (const HelpAnchors& help : set_.helpAnchors) {
            if (help.id != dialog.id)
                continue;
            Writer anchors;
            anchors.Text(help.anchor);
            anchors.U16(static_cast<std::uint16_t>(help.entries.size()));
            for (const HelpAnchorEntry& entry : help.entries) {
                anchors.U16(static_cast<std::uint16_t>(entry.item));
                anchors.Text(entry.tooltip);
                anchors.Text(entry.anchor);
            }
            Add("DLGH", help.id, anchors.WithLength(),
                "Help anchors of dialog " + std::to_string(help.id) + ": " + Quote(help.anchor));
        }
    }

    static void Item(int number, const DialogItem& item, Writer* w) {
        w->U16(static_cast<std::uint16_t>(number));
        w->U16(item.type);
        w->U16(item.style);
        w->Rect(item.rect);
        for (std::uint16_t word : item.tail) w->U16(word);
        if (item.hasText)
            w->Text(item.text);
    }

    void AddOnIdResource(const AddOnId& value) {
        Writer w;
        w.U32(value.first);
        w.U32(value.second);
        Add("MDID", value.id, w.WithLength(), "Add-on identifier " + std::to_string(value.id));
    }

    // Adds the images as RT_ICON resources and returns the group directory (GRPICONDIR) naming them:
    // per image its 12-byte directory entry and the RT_ICON number.
    Bytes GroupDirectory(const std::vector<Bytes>& entries, const std::vector<Bytes>& images) {
        Writer w;
        w.U16(0);
        w.U16(1);
        w.U16(static_cast<std::uint16_t>(images.size()));
        for (std::size_t i = 0; i < images.size(); ++i) {
            const int iconId = ++lastIconId_;
            out_.image.push_back({"RT_ICON", false, iconId, "", images[i]});
            w.Append(entries[i]);
            w.U16(static_cast<std::uint16_t>(iconId));
        }
        return w.Get();
    }

    void ModuleIconResources(const ModuleIcon& icon) {
        const IcoFileImages ico = ReadIco(icon.file, icon.pos);
        out_.image.push_back({"RT_GROUP_ICON", false, icon.id, "", GroupDirectory(ico.entries, ico.images)});
        out_.rc.push_back({"Module icon, " + std::to_string(ico.images.size()) + " sizes",
                           std::to_string(icon.id), "ICON", "Module_" + std::to_string(icon.id) + ".ico",
                           ReadFile(icon.file, icon.pos)});
    }

    // A group of one PNG, with the image's real size in its directory entry.
    void IconGroup(const Icon& icon, const char* scale, const IconImage& image) {
        const std::string name = icon.imageName + "&" + scale;
        const Bytes ico = IcoFile({image});
        const Bytes entry(ico.begin() + 6, ico.begin() + 18);
        out_.image.push_back({"RT_GROUP_ICON", true, 0, name, GroupDirectory({entry}, {image.bytes})});
        out_.rc.push_back({"Icon " + std::to_string(icon.id) + ", " + std::to_string(image.width) + " pixels",
                           Quote(name), "ICON", icon.imageName + "_" + scale + ".ico", ico});
    }

    void IconResources(const Icon& icon) {
        const IconImage small = ReadPng(icon.png96, icon.pos);
        if (small.width != small.height)
            throw SourceError(icon.pos, "'" + icon.png96 + "' is not square");
        IconGroup(icon, "96", small);
        if (icon.png192.empty())
            return;
        const IconImage large = ReadPng(icon.png192, icon.pos);
        if (large.width != 2 * small.width || large.height != large.width)
            throw SourceError(icon.pos, "'" + icon.png192 + "' (" + std::to_string(large.width) + " x " +
                                            std::to_string(large.height) +
                                            " pixels) must be twice the size of '" + icon.png96 + "' (" +
                                            std::to_string(small.width) + " pixels)");
        IconGroup(icon, "192", large);
    }

    void ManifestResource(const Manifest& manifest) {
        const Bytes text = ReadFile(manifest.file, manifest.pos);
        for (std::uint8_t c : text) {
            if (c >= 0x80)
                throw SourceError(manifest.pos, "non-ASCII character in '" + manifest.file + "'");
        }
        out_.image.push_back({"RT_MANIFEST", false, manifest.id, "", text});
        out_.rc.push_back({"Manifest", std::to_string(manifest.id), "24",
                           "Manifest_" + std::to_string(manifest.id) + ".xml", text});
    }

    void VersionResource(const VersionInfo& version) {
        const Bytes bytes = EncodeVersionInfo(version);
        out_.image.push_back({"RT_VERSION", false, version.id, "", bytes});
        out_.rc.push_back(
            {"Version " + std::to_string(version.fileVersion[0]) + "." +
                 std::to_string(version.fileVersion[1]) + "." + std::to_string(version.fileVersion[2]) + "." +
                 std::to_string(version.fileVersion[3]),
             std::to_string(version.id), "16", "VersionInfo_" + std::to_string(version.id) + ".bin", bytes});
    }

    const ResourceSet& set_;
    CompiledResources out_;
    int lastIconId_ = 0;
};

}  // namespace

CompiledResources Compile(const ResourceSet& set) {
    return Compilation(set).Run();
}

}  // namespace Rescomp
