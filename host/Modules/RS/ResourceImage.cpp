// Checked readers of the resource image, the ELF module file around it and the host's resource formats.
#include "ResourceImage.hpp"

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <utility>

#include "ResourceImageFormat.hpp"

namespace RS::Image {

namespace {

namespace Format = RS::ImageFormat;

// Reads little-endian fields from a byte range; every read past the end fails and sets Failed().
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t U8() {
        if (!Have(1))
            return 0;
        return data_[at_++];
    }
    std::uint16_t U16() {
        if (!Have(2))
            return 0;
        const std::uint16_t v = static_cast<std::uint16_t>(data_[at_] | data_[at_ + 1] << 8);
        at_ += 2;
        return v;
    }
    std::uint32_t U32() {
        const std::uint32_t low = U16();
        return low | std::uint32_t(U16()) << 16;
    }
    std::uint64_t U64() {
        const std::uint64_t low = U32();
        return low | std::uint64_t(U32()) << 32;
    }
    std::int16_t I16() { return static_cast<std::int16_t>(U16()); }
    // A NUL-terminated text; fails when no NUL comes before the end.
    std::string Text() {
        if (failed_)
            return {};
        const void* nul = std::memchr(data_ + at_, 0, size_ - at_);
        if (nul == nullptr) {
            failed_ = true;
            return {};
        }
        const std::size_t length = static_cast<const std::uint8_t*>(nul) - (data_ + at_);
        std::string text(reinterpret_cast<const char*>(data_ + at_), length);
        at_ += length + 1;
        return text;
    }

    bool Failed() const { return failed_; }
    bool AtEnd() const { return at_ == size_; }
    std::size_t Offset() const { return at_; }

private:
    bool Have(std::size_t n) {
        if (failed_ || size_ - at_ < n) {
            failed_ = true;
            return false;
        }
        return true;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    bool failed_ = false;
};

bool Fail(std::string* error, const std::string& message) {
    if (error != nullptr)
        *error = message;
    return false;
}

// Checks the leading length of a "STRS", "GSDG", "DLGH" or "MDID" resource and returns a reader of
// the bytes that follow it.
bool OpenLengthPrefixed(const std::uint8_t* data, std::size_t size, const char* what, Reader* body,
                        std::string* error) {
    Reader head(data, size);
    const std::uint32_t length = head.U32();
    if (head.Failed())
        return Fail(error, std::string(what) + " is shorter than its length field");
    if (length != size - 4)
        return Fail(error, std::string(what) + " length field says " + std::to_string(length) +
                               " bytes, but " + std::to_string(size - 4) + " follow");
    *body = Reader(data + 4, size - 4);
    return true;
}

bool Finish(const Reader& reader, const char* what, std::string* error) {
    if (reader.Failed())
        return Fail(error, std::string(what) + " ends inside a field");
    if (!reader.AtEnd())
        return Fail(error, std::string(what) + " has trailing bytes after offset " +
                               std::to_string(reader.Offset() + 4));
    return true;
}

bool ParseItem(Reader& r, DialogItem* item, std::string* error) {
    item->number = r.U16();
    const std::uint16_t type = r.U16();
    item->style = r.U16();
    item->rect.x = r.I16();
    item->rect.y = r.I16();
    item->rect.width = r.I16();
    item->rect.height = r.I16();
    if (r.Failed())
        return Fail(error, "dialog layout ends inside an item");
    switch (type) {
        case static_cast<std::uint16_t>(ItemType::Separator):
            item->type = ItemType::Separator;
            return true;
        case static_cast<std::uint16_t>(ItemType::Button):
            item->type = ItemType::Button;
            break;
        case static_cast<std::uint16_t>(ItemType::LeftText):
            item->type = ItemType::LeftText;
            break;
        default:
            return Fail(error, "item " + std::to_string(item->number) + " has the unknown type " +
                                   std::to_string(type));
    }
    r.U16();
    if (item->type == ItemType::Button && item->style == 2) {
        item->iconId = static_cast<GSResID>(r.U16());
        return true;
    }
    r.U16();
    item->text = r.Text();
    return true;
}

bool ReadWholeFile(const std::string& path, Bytes* bytes, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return Fail(error, "cannot open '" + path + "'");
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad())
        return Fail(error, "cannot read '" + path + "'");
    return true;
}

}  // namespace

bool ResourceImage::Parse(Bytes bytes, ResourceImage* image, std::string* error) {
    Reader header(bytes.data(), bytes.size());
    if (bytes.size() < Format::kHeaderSize || std::memcmp(bytes.data(), Format::kMagic, 8) != 0)
        return Fail(error, "not a resource image (bad magic or too short)");
    for (int i = 0; i < 8; ++i) header.U8();
    const std::uint32_t version = header.U32();
    const std::uint32_t count = header.U32();
    const std::uint32_t directoryOffset = header.U32();
    const std::uint32_t namesOffset = header.U32();
    const std::uint32_t namesSize = header.U32();
    const std::uint32_t imageSize = header.U32();
    if (version != Format::kVersion)
        return Fail(error, "resource image version " + std::to_string(version) + " is not supported");
    if (imageSize != bytes.size())
        return Fail(error, "resource image says " + std::to_string(imageSize) + " bytes, but " +
                               std::to_string(bytes.size()) + " are there");
    const std::uint64_t directoryEnd =
        std::uint64_t(directoryOffset) + std::uint64_t(count) * Format::kEntrySize;
    if (directoryOffset != Format::kHeaderSize || directoryEnd > namesOffset)
        return Fail(error, "resource directory overlaps the header or the names");
    const std::uint64_t namesEnd = std::uint64_t(namesOffset) + namesSize;
    if (namesEnd > bytes.size() || namesSize == 0 || bytes[namesEnd - 1] != 0)
        return Fail(error, "resource names lie outside the image or do not end in a NUL");

    const char* names = reinterpret_cast<const char*>(bytes.data() + namesOffset);
    std::vector<Entry> entries;
    std::set<std::pair<std::string, std::string>> keys;
    for (std::uint32_t i = 0; i < count; ++i) {
        Reader r(bytes.data() + directoryOffset + std::size_t(i) * Format::kEntrySize, Format::kEntrySize);
        const std::uint32_t typeName = r.U32();
        const std::uint32_t idName = r.U32();
        Entry entry;
        entry.id = static_cast<std::int32_t>(r.U32());
        const std::uint16_t language = r.U16();
        const std::uint16_t reserved = r.U16();
        entry.offset = r.U32();
        entry.size = r.U32();
        const std::string where = "resource entry " + std::to_string(i);
        if (typeName >= namesSize || (idName != Format::kNumericId && idName >= namesSize))
            return Fail(error, where + " names a text outside the names");
        if (language != Format::kLanguageUsEnglish || reserved != 0)
            return Fail(error, where + " has language " + std::to_string(language) + " (expected 1033)");
        if (entry.offset < namesEnd || std::uint64_t(entry.offset) + entry.size > bytes.size())
            return Fail(error, where + " has data outside the data area");
        entry.type = names + typeName;
        entry.named = idName != Format::kNumericId;
        if (entry.named)
            entry.name = names + idName;
        const std::string key = entry.named ? entry.name : "#" + std::to_string(entry.id);
        if (!keys.emplace(entry.type, key).second)
            return Fail(error, where + " repeats resource " + entry.type + " " + key);
        entries.push_back(std::move(entry));
    }
    image->bytes_ = std::move(bytes);
    image->entries_ = std::move(entries);
    return true;
}

void ResourceImage::Append(Entry entry, const std::uint8_t* data, std::size_t size) {
    entry.offset = static_cast<std::uint32_t>(bytes_.size());
    entry.size = static_cast<std::uint32_t>(size);
    bytes_.insert(bytes_.end(), data, data + size);
    entries_.push_back(std::move(entry));
}

const Entry* ResourceImage::Find(const std::string& type, std::int32_t id) const {
    for (const Entry& entry : entries_) {
        if (!entry.named && entry.id == id && entry.type == type)
            return &entry;
    }
    return nullptr;
}

const Entry* ResourceImage::FindNamed(const std::string& type, const std::string& name) const {
    for (const Entry& entry : entries_) {
        if (entry.named && entry.name == name && entry.type == type)
            return &entry;
    }
    return nullptr;
}

bool ExtractElfSection(const Bytes& file, const char* name, Bytes* section, std::string* error) {
    if (file.size() < 64 || std::memcmp(file.data(),
                                        "\x7f"
                                        "ELF",
                                        4) != 0)
        return Fail(error, "not an ELF file");
    if (file[4] != 2 || file[5] != 1)
        return Fail(error, "not a 64-bit little-endian ELF file");
    Reader header(file.data() + 0x28, 64 - 0x28);
    const std::uint64_t sectionsAt = header.U64();
    header.U32();  // e_flags
    header.U16();  // e_ehsize
    header.U16();  // e_phentsize
    header.U16();  // e_phnum
    const std::uint16_t entrySize = header.U16();
    const std::uint16_t count = header.U16();
    const std::uint16_t namesIndex = header.U16();
    if (entrySize < 64 || namesIndex >= count || sectionsAt > file.size() ||
        (file.size() - sectionsAt) / entrySize < count)
        return Fail(error, "ELF section headers lie outside the file");
    auto sectionHeader = [&](std::size_t index, std::uint32_t* nameAt, std::uint32_t* type,
                             std::uint64_t* offset, std::uint64_t* size) {
        Reader r(file.data() + sectionsAt + index * entrySize, entrySize);
        *nameAt = r.U32();
        *type = r.U32();
        r.U64();  // flags
        r.U64();  // address
        *offset = r.U64();
        *size = r.U64();
        return *offset <= file.size() && *size <= file.size() - *offset;
    };
    std::uint32_t nameAt = 0, type = 0;
    std::uint64_t namesOffset = 0, namesSize = 0;
    if (!sectionHeader(namesIndex, &nameAt, &type, &namesOffset, &namesSize) || namesSize == 0)
        return Fail(error, "ELF section names lie outside the file");
    const char* names = reinterpret_cast<const char*>(file.data() + namesOffset);
    const std::size_t nameLength = std::strlen(name);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint64_t offset = 0, size = 0;
        const bool inside = sectionHeader(i, &nameAt, &type, &offset, &size);
        if (nameAt >= namesSize || namesSize - nameAt <= nameLength ||
            std::memcmp(names + nameAt, name, nameLength + 1) != 0)
            continue;
        if (!inside || type == 8 /* SHT_NOBITS */)
            return Fail(error, std::string("ELF section ") + name + " lies outside the file");
        section->assign(file.begin() + static_cast<std::ptrdiff_t>(offset),
                        file.begin() + static_cast<std::ptrdiff_t>(offset + size));
        return true;
    }
    return Fail(error, std::string("no section ") + name + " in the ELF file");
}

bool ReadImageFile(const std::string& path, Bytes* image, std::string* error) {
    Bytes file;
    if (!ReadWholeFile(path, &file, error))
        return false;
    if (file.size() >= 8 && std::memcmp(file.data(), Format::kMagic, 8) == 0) {
        *image = std::move(file);
        return true;
    }
    std::string why;
    if (!ExtractElfSection(file, Format::kSectionName, image, &why))
        return Fail(error, "'" + path + "': " + why);
    return true;
}

bool ParseStringList(const std::uint8_t* data, std::size_t size, std::vector<std::string>* strings,
                     std::string* error) {
    Reader r(nullptr, 0);
    if (!OpenLengthPrefixed(data, size, "string list", &r, error))
        return false;
    strings->clear();
    while (!r.AtEnd() && !r.Failed()) strings->push_back(r.Text());
    if (r.Failed())
        return Fail(error, "string list ends inside a string");
    return true;
}

bool ParseDialogLayout(const std::uint8_t* data, std::size_t size, DialogLayout* layout, std::string* error) {
    Reader r(nullptr, 0);
    if (!OpenLengthPrefixed(data, size, "dialog layout", &r, error))
        return false;
    layout->kind = r.U16();
    layout->secondField = r.U16();
    layout->rect.x = r.I16();
    layout->rect.y = r.I16();
    layout->rect.width = r.I16();
    layout->rect.height = r.I16();
    layout->title = r.Text();
    const std::uint16_t count = r.U16();
    if (r.Failed())
        return Fail(error, "dialog layout ends inside its header");
    layout->items.clear();
    for (std::uint16_t i = 0; i < count; ++i) {
        DialogItem item;
        if (!ParseItem(r, &item, error))
            return false;
        if (item.number != i + 1)
            return Fail(error,
                        "item " + std::to_string(i + 1) + " is numbered " + std::to_string(item.number));
        layout->items.push_back(std::move(item));
    }
    return Finish(r, "dialog layout", error);
}

bool ParseHelpAnchors(const std::uint8_t* data, std::size_t size, HelpAnchors* anchors, std::string* error) {
    Reader r(nullptr, 0);
    if (!OpenLengthPrefixed(data, size, "help anchors", &r, error))
        return false;
    anchors->dialogAnchor = r.Text();
    const std::uint16_t count = r.U16();
    anchors->entries.clear();
    for (std::uint16_t i = 0; i < count && !r.Failed(); ++i) {
        HelpAnchorEntry entry;
        entry.item = r.U16();
        entry.text = r.Text();
        entry.anchor = r.Text();
        anchors->entries.push_back(std::move(entry));
    }
    return Finish(r, "help anchors", error);
}

bool ParseAddOnId(const std::uint8_t* data, std::size_t size, std::uint32_t* first, std::uint32_t* second,
                  std::string* error) {
    Reader r(nullptr, 0);
    if (!OpenLengthPrefixed(data, size, "add-on identifier", &r, error))
        return false;
    *first = r.U32();
    *second = r.U32();
    return Finish(r, "add-on identifier", error);
}

bool ParseIconGroup(const std::uint8_t* data, std::size_t size, std::vector<GroupEntry>* entries,
                    std::string* error) {
    Reader r(data, size);
    const std::uint16_t reserved = r.U16();
    const std::uint16_t type = r.U16();
    const std::uint16_t count = r.U16();
    if (r.Failed() || reserved != 0 || type != 1)
        return Fail(error, "not an icon group directory");
    entries->clear();
    for (std::uint16_t i = 0; i < count && !r.Failed(); ++i) {
        GroupEntry entry;
        entry.width = r.U8();
        entry.height = r.U8();
        r.U8();   // colour count
        r.U8();   // reserved
        r.U16();  // planes
        entry.bitCount = r.U16();
        entry.bytes = r.U32();
        entry.iconId = r.U16();
        entries->push_back(entry);
    }
    if (r.Failed() || !r.AtEnd())
        return Fail(error, "icon group directory does not match its entry count");
    return true;
}

bool DescribeIconImage(const Bytes& bytes, IconImage* image, std::string* error) {
    static const std::uint8_t pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() >= 33 && std::memcmp(bytes.data(), pngSignature, 8) == 0) {
        auto bigEndian = [&](std::size_t at) {
            return std::uint32_t(bytes[at]) << 24 | std::uint32_t(bytes[at + 1]) << 16 |
                   std::uint32_t(bytes[at + 2]) << 8 | bytes[at + 3];
        };
        image->png = true;
        image->width = bigEndian(16);
        image->height = bigEndian(20);
        image->bitCount = bytes[25] == 6 ? bytes[24] * 4u : bytes[24];
        return true;
    }
    Reader r(bytes.data(), bytes.size());
    const std::uint32_t headerSize = r.U32();
    const std::uint32_t width = r.U32();
    const std::uint32_t doubledHeight = r.U32();
    r.U16();
    const std::uint16_t bitCount = r.U16();
    if (r.Failed() || headerSize != 40)
        return Fail(error, "icon image is neither a PNG nor a bitmap");
    const std::uint64_t maskRow = (std::uint64_t(width) + 31) / 32 * 4;
    const std::uint64_t height = doubledHeight / 2;
    const std::uint64_t expected = 40 + width * height * (bitCount / 8) + maskRow * height;
    if (bitCount != 32 || doubledHeight % 2 != 0 || expected != bytes.size())
        return Fail(error, "icon bitmap size does not match its header");
    image->png = false;
    image->width = width;
    image->height = static_cast<unsigned>(height);
    image->bitCount = bitCount;
    return true;
}

}  // namespace RS::Image
