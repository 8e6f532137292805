// Encoding of the resource formats the host reads ("STRS", "GSDG", "DLGH", "MDID", icon groups,
// manifest). All numbers little-endian, all texts NUL-terminated ASCII, leading lengths = size - 4.
#include "Compiler.hpp"

#include <fstream>
#include <iterator>
#include <map>
#include <set>

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

// An image of an icon group as the group directory describes it.
struct IconImage {
    int width = 0;
    int height = 0;
    bool png = false;
    Bytes bytes;  // the PNG file, or the icon bitmap (BITMAPINFOHEADER, BGRA rows, AND mask)
};

IconImage ReadPng(const std::string& path, const SourcePos& pos) {
    static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    IconImage image;
    image.png = true;
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

// Reads a 32-bit BI_RGB bottom-up .bmp file and makes the icon bitmap of it: the BITMAPINFOHEADER with
// the height doubled (colour rows plus mask rows), the BGRA rows, then an all-zero AND mask, since the
// alpha channel carries the transparency.
IconImage ReadBmp(const std::string& path, const SourcePos& pos) {
    const Bytes file = ReadFile(path, pos);
    if (file.size() < 54 || file[0] != 'B' || file[1] != 'M' || ReadU32(file, 14, false) != 40)
        throw SourceError(pos, "'" + path + "' is not a BMP file with a BITMAPINFOHEADER");
    IconImage image;
    image.width = static_cast<int>(ReadU32(file, 18, false));
    image.height = static_cast<int>(ReadU32(file, 22, false));
    const std::uint32_t pixelsAt = ReadU32(file, 10, false);
    if (ReadU16(file, 26) != 1 || ReadU16(file, 28) != 32 || ReadU32(file, 30, false) != 0)
        throw SourceError(pos, "'" + path + "' is not an uncompressed 32-bit bitmap");
    if (image.width <= 0 || image.width > 256 || image.height <= 0 || image.height > 256)
        throw SourceError(pos, "'" + path + "' has a size unfit for an icon bitmap");
    const std::size_t pixelBytes = std::size_t(image.width) * image.height * 4;
    if (pixelsAt < 54 || file.size() != pixelsAt + pixelBytes)
        throw SourceError(pos, "'" + path + "' has a pixel array of the wrong size");
    const std::size_t maskRow = (std::size_t(image.width) + 31) / 32 * 4;
    Writer out;
    out.U32(40);
    out.U32(static_cast<std::uint32_t>(image.width));
    out.U32(static_cast<std::uint32_t>(image.height * 2));
    out.U16(1);
    out.U16(32);
    out.U32(0);
    out.U32(static_cast<std::uint32_t>(pixelBytes + maskRow * image.height));
    out.U32(0);
    out.U32(0);
    out.U32(0);
    out.U32(0);
    out.Append(Bytes(file.begin() + pixelsAt, file.end()));
    out.Append(Bytes(maskRow * image.height, 0));
    image.bytes = out.Get();
    return image;
}

IconImage ReadIconImage(const std::string& path, const SourcePos& pos) {
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".png") == 0)
        return ReadPng(path, pos);
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".bmp") == 0)
        return ReadBmp(path, pos);
    throw SourceError(pos, "'" + path + "' is neither a .png nor a .bmp file");
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
        CheckUnique(set_.stringLists, "string list");
        CheckUnique(set_.dialogs, "dialog");
        CheckUnique(set_.addOnIds, "add-on identifier");
        CheckUnique(set_.icons, "icon");
        CheckUnique(set_.moduleIcons, "module icon");
        CheckUnique(set_.manifests, "manifest");
    }

    bool HasIcon(int id) const {
        for (const Icon& icon : set_.icons) {
            if (icon.id == id)
                return true;
        }
        return false;
    }

    // Menu texts name their icon after the first "^"; icon buttons name theirs directly.
    void CheckIconReferences() const {
        for (const StringList& list : set_.stringLists) {
            for (const std::string& text : list.strings) {
                const std::size_t caret = text.find('^');
                if (caret == std::string::npos)
                    continue;
                const std::size_t end = text.find('^', caret + 1);
                const std::string id =
                    text.substr(caret + 1, end == std::string::npos ? end : end - caret - 1);
                if (id.empty() || id.find_first_not_of("0123456789") != std::string::npos)
                    continue;
                if (!HasIcon(std::stoi(id)))
                    throw SourceError(list.pos, "menu text \"" + text + "\" names icon " + id +
                                                    ", which no icon line defines");
            }
        }
        for (const Dialog& dialog : set_.dialogs) {
            for (const DialogItem& item : dialog.items) {
                if (item.kind == ItemKind::IconButton && !HasIcon(item.iconId))
                    throw SourceError(item.pos, "icon button names icon " + std::to_string(item.iconId) +
                                                    ", which no icon line defines");
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

    void DialogResources(const Dialog& dialog) {
        Writer layout;
        layout.U16(dialog.kind);
        layout.U16(dialog.secondField);
        layout.Rect(dialog.window);
        layout.Text(dialog.title);
        layout.U16(static_cast<std::uint16_t>(dialog.items.size()));
        for (const DialogItem& item : dialog.items) Item(item, &layout);
        Add("GSDG", dialog.id, layout.WithLength(),
            "Dialog layout " + std::to_string(dialog.id) + ": " + Quote(dialog.title));

        Writer anchors;
        anchors.Text(dialog.anchor);
        std::uint16_t count = 0;
        Writer entries;
        for (const DialogItem& item : dialog.items) {
            if (!item.hasAnchor)
                continue;
            entries.U16(static_cast<std::uint16_t>(item.number));
            entries.Text("");
            entries.Text(item.anchor);
            ++count;
        }
        anchors.U16(count);
        anchors.Append(entries.Get());
        Add("DLGH", dialog.id, anchors.WithLength(),
            "Help anchors of dialog " + std::to_string(dialog.id) + ": " + Quote(dialog.anchor));
    }

    static void Item(const DialogItem& item, Writer* w) {
        w->U16(static_cast<std::uint16_t>(item.number));
        w->U16(item.type);
        w->U16(item.style);
        w->Rect(item.rect);
        switch (item.kind) {
            case ItemKind::Separator:
                break;
            case ItemKind::IconButton:
                w->U16(0);
                w->U16(static_cast<std::uint16_t>(item.iconId));
                break;
            case ItemKind::Button:
            case ItemKind::Text:
                w->U16(0);
                w->U16(0);
                w->Text(item.text);
                break;
        }
    }

    void AddOnIdResource(const AddOnId& value) {
        Writer w;
        w.U32(value.first);
        w.U32(value.second);
        Add("MDID", value.id, w.WithLength(), "Add-on identifier " + std::to_string(value.id));
    }

    // Adds the images as RT_ICON resources and returns the group directory (GRPICONDIR) naming them.
    Bytes GroupDirectory(const std::vector<IconImage>& images) {
        Writer w;
        w.U16(0);
        w.U16(1);
        w.U16(static_cast<std::uint16_t>(images.size()));
        for (const IconImage& image : images) {
            const int iconId = ++lastIconId_;
            out_.image.push_back({"RT_ICON", false, iconId, "", image.bytes});
            w.U8(DirectorySize(image.width));
            w.U8(DirectorySize(image.height));
            w.U8(0);
            w.U8(0);
            w.U16(1);
            w.U16(32);
            w.U32(static_cast<std::uint32_t>(image.bytes.size()));
            w.U16(static_cast<std::uint16_t>(iconId));
        }
        return w.Get();
    }

    void ModuleIconResources(const ModuleIcon& icon) {
        std::vector<IconImage> images;
        std::set<int> sizes;
        for (const std::string& file : icon.files) {
            images.push_back(ReadIconImage(file, icon.pos));
            if (images.back().width != images.back().height)
                throw SourceError(icon.pos, "'" + file + "' is not square");
            if (!sizes.insert(images.back().width).second)
                throw SourceError(icon.pos,
                                  "two images of " + std::to_string(images.back().width) + " pixels");
        }
        out_.image.push_back({"RT_GROUP_ICON", false, icon.id, "", GroupDirectory(images)});
        out_.rc.push_back({"Module icon, " + std::to_string(images.size()) + " sizes",
                           std::to_string(icon.id), "ICON", "Module_" + std::to_string(icon.id) + ".ico",
                           IcoFile(images)});
    }

    void IconGroup(const Icon& icon, const char* scale, const IconImage& image) {
        const std::string name = "I" + std::to_string(icon.id) + "&" + scale;
        out_.image.push_back({"RT_GROUP_ICON", true, 0, name, GroupDirectory({image})});
        out_.rc.push_back({"Icon " + std::to_string(icon.id) + ", " + std::to_string(image.width) + " pixels",
                           Quote(name), "ICON", "I" + std::to_string(icon.id) + "_" + scale + ".ico",
                           IcoFile({image})});
    }

    void IconResources(const Icon& icon) {
        const IconImage small = ReadPng(icon.png96, icon.pos);
        const IconImage large = ReadPng(icon.png192, icon.pos);
        if (small.width != small.height || large.width != large.height)
            throw SourceError(icon.pos, "icon images must be square");
        if (large.width != 2 * small.width)
            throw SourceError(icon.pos, "the 192 image (" + std::to_string(large.width) +
                                            " pixels) must be twice the size of the 96 image (" +
                                            std::to_string(small.width) + " pixels)");
        IconGroup(icon, "96", small);
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

    const ResourceSet& set_;
    CompiledResources out_;
    int lastIconId_ = 0;
};

}  // namespace

CompiledResources Compile(const ResourceSet& set) {
    return Compilation(set).Run();
}

}  // namespace Rescomp
