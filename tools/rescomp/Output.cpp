// The resource image writer and the .rc script writer.
#include "Output.hpp"

#include <cstdio>
#include <fstream>
#include <map>
#include <stdexcept>

#include "ResourceImageFormat.hpp"

namespace Rescomp {

namespace {

namespace Format = RS::ImageFormat;

void PutU16(Bytes* b, std::size_t at, std::uint16_t v) {
    (*b)[at] = static_cast<std::uint8_t>(v);
    (*b)[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void PutU32(Bytes* b, std::size_t at, std::uint32_t v) {
    PutU16(b, at, static_cast<std::uint16_t>(v));
    PutU16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}

std::size_t Align4(std::size_t n) {
    return (n + 3) & ~std::size_t(3);
}

// The names pool: each distinct text once, NUL-terminated.
class Names {
public:
    std::uint32_t Offset(const std::string& text) {
        const auto found = offsets_.find(text);
        if (found != offsets_.end())
            return found->second;
        const std::uint32_t offset = static_cast<std::uint32_t>(pool_.size());
        pool_.insert(pool_.end(), text.begin(), text.end());
        pool_.push_back(0);
        offsets_.emplace(text, offset);
        return offset;
    }
    const Bytes& Pool() const { return pool_; }

private:
    Bytes pool_;
    std::map<std::string, std::uint32_t> offsets_;
};

}  // namespace

Bytes BuildImage(const std::vector<BinaryResource>& resources) {
    Names names;
    std::vector<std::uint32_t> typeNames, idNames;
    for (const BinaryResource& r : resources) {
        typeNames.push_back(names.Offset(r.type));
        idNames.push_back(r.named ? names.Offset(r.name) : Format::kNumericId);
    }
    const std::size_t namesOffset = Format::kHeaderSize + Format::kEntrySize * resources.size();
    std::size_t dataOffset = Align4(namesOffset + names.Pool().size());
    std::vector<std::size_t> offsets;
    for (const BinaryResource& r : resources) {
        offsets.push_back(dataOffset);
        dataOffset = Align4(dataOffset + r.bytes.size());
    }
    // The image ends with the last resource's bytes; padding only goes between resources.
    const std::size_t imageSize = resources.empty() ? Align4(namesOffset + names.Pool().size())
                                                    : offsets.back() + resources.back().bytes.size();
    Bytes image(imageSize, 0);
    std::copy(Format::kMagic, Format::kMagic + 8, image.begin());
    PutU32(&image, Format::kHeaderVersion, Format::kVersion);
    PutU32(&image, Format::kHeaderEntryCount, static_cast<std::uint32_t>(resources.size()));
    PutU32(&image, Format::kHeaderDirectoryOffset, Format::kHeaderSize);
    PutU32(&image, Format::kHeaderNamesOffset, static_cast<std::uint32_t>(namesOffset));
    PutU32(&image, Format::kHeaderNamesSize, static_cast<std::uint32_t>(names.Pool().size()));
    PutU32(&image, Format::kHeaderImageSize, static_cast<std::uint32_t>(imageSize));
    for (std::size_t i = 0; i < resources.size(); ++i) {
        const std::size_t entry = Format::kHeaderSize + Format::kEntrySize * i;
        PutU32(&image, entry + Format::kEntryTypeName, typeNames[i]);
        PutU32(&image, entry + Format::kEntryIdName, idNames[i]);
        PutU32(&image, entry + Format::kEntryId, static_cast<std::uint32_t>(resources[i].id));
        PutU16(&image, entry + Format::kEntryLanguage, Format::kLanguageUsEnglish);
        PutU32(&image, entry + Format::kEntryDataOffset, static_cast<std::uint32_t>(offsets[i]));
        PutU32(&image, entry + Format::kEntryDataSize, static_cast<std::uint32_t>(resources[i].bytes.size()));
        std::copy(resources[i].bytes.begin(), resources[i].bytes.end(), image.begin() + offsets[i]);
    }
    std::copy(names.Pool().begin(), names.Pool().end(), image.begin() + namesOffset);
    return image;
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            throw std::runtime_error("cannot write '" + temporary + "'");
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0)
        throw std::runtime_error("cannot rename '" + temporary + "' to '" + path + "'");
}

// File names stay unquoted: windres joins a quoted file name with a quoted resource name on the next
// line into one string. The generated names need no quotes.
void WriteRcScript(const std::string& directory, const std::string& scriptName,
                   const std::vector<RcEntry>& entries) {
    std::string script =
        "// Resources of the KAVELO module for a Windows build, written by kavelo-rescomp from the sources\n"
        "// in resources/. Edit those and rebuild; the files named here lie beside this script.\n"
        "\n"
        "LANGUAGE 9, 1  // English (United States), 1033\n";
    for (const RcEntry& entry : entries) {
        std::string comment = entry.comment;
        for (char& c : comment) {
            if (c == '\n' || c == '\r')
                c = ' ';
            if (c == '\\')  // a backslash at the end would join the next line to the comment
                c = '/';
        }
        script += "\n// " + comment + "\n" + entry.name + " " + entry.type + " " + entry.fileName + "\n";
        WriteFile(directory + "/" + entry.fileName, entry.bytes);
    }
    WriteFile(directory + "/" + scriptName, Bytes(script.begin(), script.end()));
}

}  // namespace Rescomp
