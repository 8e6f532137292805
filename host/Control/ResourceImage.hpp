// Reading resource images and the host's resource formats from bytes, with every length and offset
// checked so that damaged input fails with a message instead of reading past its end. No host state:
// the RS stand-in, the preview tool and fuzzers share it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "RSLayouts.hpp"

namespace RS::Image {

using Bytes = std::vector<std::uint8_t>;

struct Entry {
    std::string type;
    bool named = false;
    std::int32_t id = 0;  // numeric resources
    std::string name;     // named resources
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

// A validated resource image: header, directory, names and data ranges all consistent.
class ResourceImage {
public:
    // Checks `bytes` and takes them over. Returns false with *error saying what is wrong, leaving *image
    // unchanged.
    static bool Parse(Bytes bytes, ResourceImage* image, std::string* error);

    // Adds one resource read on its own (from a Windows module's resource section) with its bytes; the
    // entry's offset is set here. Parse checks a whole image, this adds what the system already checked.
    void Append(Entry entry, const std::uint8_t* data, std::size_t size);

    const std::vector<Entry>& Entries() const { return entries_; }
    // The entry of (type, id) or (type, name), or nullptr.
    const Entry* Find(const std::string& type, std::int32_t id) const;
    const Entry* FindNamed(const std::string& type, const std::string& name) const;
    // The entry's bytes: [Data(entry), Data(entry) + entry.size).
    const std::uint8_t* Data(const Entry& entry) const { return bytes_.data() + entry.offset; }
    Bytes Copy(const Entry& entry) const { return Bytes(Data(entry), Data(entry) + entry.size); }

private:
    Bytes bytes_;
    std::vector<Entry> entries_;
};

// Finds the section named `name` in the 64-bit little-endian ELF file `file` and copies its bytes.
bool ExtractElfSection(const Bytes& file, const char* name, Bytes* section, std::string* error);

// Reads the resource image of the file at `path`: the image section of an ELF module file, or the
// whole file when it is a raw resource image.
bool ReadImageFile(const std::string& path, Bytes* image, std::string* error);

// Parsers of single resources. Each checks that the leading length equals the size less 4 and that the
// fields fill the resource exactly.
bool ParseStringList(const std::uint8_t* data, std::size_t size, std::vector<std::string>* strings,
                     std::string* error);
bool ParseDialogLayout(const std::uint8_t* data, std::size_t size, DialogLayout* layout, std::string* error);
bool ParseHelpAnchors(const std::uint8_t* data, std::size_t size, HelpAnchors* anchors, std::string* error);
bool ParseAddOnId(const std::uint8_t* data, std::size_t size, std::uint32_t* first, std::uint32_t* second,
                  std::string* error);
// An icon group directory: the RT_ICON ids of its images with the sizes the directory records.
struct GroupEntry {
    unsigned width = 0;  // as recorded: 0 stands for 256 or more
    unsigned height = 0;
    unsigned bitCount = 0;
    std::uint32_t bytes = 0;
    std::uint16_t iconId = 0;
};
bool ParseIconGroup(const std::uint8_t* data, std::size_t size, std::vector<GroupEntry>* entries,
                    std::string* error);
// Fills the size and kind of an icon image (PNG or icon bitmap) from its header.
bool DescribeIconImage(const Bytes& bytes, IconImage* image, std::string* error);

}  // namespace RS::Image
