// Damaged resource images and module files: each fails cleanly when opened or when read, never by
// reading past the bytes it was given.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "RSControl.hpp"
#include "RSLayouts.hpp"
#include "ResourceFiles.hpp"
#include "ResourceImage.hpp"
#include "ResourceImageFormat.hpp"

namespace {

namespace Format = RS::ImageFormat;
using Bytes = std::vector<unsigned char>;

std::uint32_t GetU32(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}

void PutU32(Bytes* b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

class DamagedImage : public ::testing::Test {
protected:
    void SetUp() override {
        image_ = ResourceFiles::Read(ResourceFiles::ResourceImage());
        ASSERT_GT(image_.size(), Format::kHeaderSize);
        RS::Control::SetDiagnosticSink([this](const std::string& line) { lines_.push_back(line); });
    }
    void TearDown() override { RS::Control::SetDiagnosticSink(nullptr); }

    // Offset of the directory entry of (type, id) in the intact image.
    std::size_t EntryOf(const std::string& type, int id) const {
        const std::uint32_t count = GetU32(image_, Format::kHeaderEntryCount);
        const std::uint32_t names = GetU32(image_, Format::kHeaderNamesOffset);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::size_t entry = Format::kHeaderSize + i * Format::kEntrySize;
            const char* entryType = reinterpret_cast<const char*>(
                image_.data() + names + GetU32(image_, entry + Format::kEntryTypeName));
            if (type == entryType && GetU32(image_, entry + Format::kEntryIdName) == Format::kNumericId &&
                GetU32(image_, entry + Format::kEntryId) == std::uint32_t(id))
                return entry;
        }
        ADD_FAILURE() << "no " << type << " " << id;
        return 0;
    }

    GSResModule Open(const Bytes& bytes) {
        const GSResModule module = RS::Control::OpenResourceImage(bytes);
        if (module != InvalidResModule)
            opened_.push_back(module);
        return module;
    }

    void ExpectOpenFails(const Bytes& bytes, const std::string& because) {
        const int before = RS::Control::OpenHandleCount();
        lines_.clear();
        EXPECT_EQ(Open(bytes), InvalidResModule);
        EXPECT_EQ(RS::Control::OpenHandleCount(), before);
        ASSERT_EQ(lines_.size(), 1u);
        EXPECT_NE(lines_[0].find(because), std::string::npos) << lines_[0];
    }

    ~DamagedImage() override {
        for (GSResModule module : opened_) RSRemoveModuleImageCache(module);
    }

    Bytes image_;
    std::vector<std::string> lines_;
    std::vector<GSResModule> opened_;
};

TEST_F(DamagedImage, IntactImageOpens) {
    EXPECT_NE(Open(image_), InvalidResModule);
}

TEST_F(DamagedImage, TruncatedImageFailsAtOpen) {
    ExpectOpenFails(Bytes(image_.begin(), image_.end() - 1), "bytes, but");
    ExpectOpenFails(Bytes(image_.begin(), image_.begin() + 20), "not a resource image");
    ExpectOpenFails(Bytes(), "not a resource image");
}

TEST_F(DamagedImage, TruncatedImageWithMatchingSizeFailsAtOpen) {
    Bytes cut(image_.begin(), image_.end() - 100);
    PutU32(&cut, Format::kHeaderImageSize, static_cast<std::uint32_t>(cut.size()));
    ExpectOpenFails(cut, "outside the data area");
}

TEST_F(DamagedImage, BadMagicOrVersionFailsAtOpen) {
    Bytes bad = image_;
    bad[0] = 'X';
    ExpectOpenFails(bad, "not a resource image");
    bad = image_;
    PutU32(&bad, Format::kHeaderVersion, 2);
    ExpectOpenFails(bad, "version 2");
}

TEST_F(DamagedImage, OffsetsOutsideTheImageFailAtOpen) {
    Bytes bad = image_;
    PutU32(&bad, EntryOf("STRS", 32000) + Format::kEntryDataOffset, 0xFFFFFFF0u);
    ExpectOpenFails(bad, "outside the data area");
    bad = image_;
    PutU32(&bad, EntryOf("STRS", 32000) + Format::kEntryDataSize, 0xFFFFFFF0u);
    ExpectOpenFails(bad, "outside the data area");
    bad = image_;
    PutU32(&bad, EntryOf("STRS", 32000) + Format::kEntryTypeName, 0x7FFFFFFF);
    ExpectOpenFails(bad, "outside the names");
    bad = image_;
    PutU32(&bad, Format::kHeaderNamesOffset, static_cast<std::uint32_t>(bad.size()));
    ExpectOpenFails(bad, "names");
    bad = image_;
    PutU32(&bad, Format::kHeaderEntryCount, 0x10000000u);
    ExpectOpenFails(bad, "directory");
}

TEST_F(DamagedImage, RepeatedResourceFailsAtOpen) {
    Bytes bad = image_;
    const std::size_t a = EntryOf("STRS", 32511), b = EntryOf("STRS", 32512);
    PutU32(&bad, b + Format::kEntryId, GetU32(bad, a + Format::kEntryId));
    ExpectOpenFails(bad, "repeats resource STRS #32511");
}

TEST_F(DamagedImage, StringListLengthThatDisagreesFailsAtRead) {
    Bytes bad = image_;
    const std::uint32_t data = GetU32(bad, EntryOf("STRS", 32000) + Format::kEntryDataOffset);
    PutU32(&bad, data, GetU32(bad, data) + 1);
    const GSResModule module = Open(bad);
    ASSERT_NE(module, InvalidResModule);
    lines_.clear();
    GS::UniString result;
    EXPECT_FALSE(
        RSGetIndString_ParamAdapter("Src/AddOnMain.cpp", 9, &result, 32000, 1, module, RST_Localised));
    ASSERT_EQ(lines_.size(), 1u);
    EXPECT_NE(lines_[0].find("length field"), std::string::npos) << lines_[0];
    EXPECT_NE(lines_[0].find("Src/AddOnMain.cpp:9"), std::string::npos) << lines_[0];
    // Other lists are still readable.
    EXPECT_TRUE(
        RSGetIndString_ParamAdapter("Src/AddOnMain.cpp", 10, &result, 32511, 1, module, RST_Localised));
}

TEST_F(DamagedImage, LayoutWithTooManyItemsFailsAtRead) {
    Bytes bad = image_;
    const std::uint32_t data = GetU32(bad, EntryOf("GSDG", 32520) + Format::kEntryDataOffset);
    const std::size_t countAt = data + 4 + 12 + std::strlen("Link to KAVELO") + 1;
    bad[countAt] = 5;
    const GSResModule module = Open(bad);
    ASSERT_NE(module, InvalidResModule);
    RS::DialogLayout layout;
    std::string error;
    EXPECT_FALSE(RS::LoadDialogLayout(module, 32520, &layout, &error));
    EXPECT_NE(error.find("ends inside"), std::string::npos) << error;
    bad[countAt] = 3;
    const GSResModule fewer = Open(bad);
    EXPECT_FALSE(RS::LoadDialogLayout(fewer, 32520, &layout, &error));
    EXPECT_NE(error.find("trailing bytes"), std::string::npos) << error;
}

// Every cut of a layout, anchor list and string list fails without reading past the cut (the
// sanitizer build checks the "without").
TEST_F(DamagedImage, EveryTruncationOfAResourceFails) {
    const GSResModule module = Open(image_);
    ASSERT_NE(module, InvalidResModule);
    std::vector<unsigned char> layout, anchors, strings;
    ASSERT_TRUE(RS::GetResourceBytes(module, "GSDG", 32532, &layout));
    ASSERT_TRUE(RS::GetResourceBytes(module, "DLGH", 32532, &anchors));
    ASSERT_TRUE(RS::GetResourceBytes(module, "STRS", 32512, &strings));
    for (std::size_t n = 0; n < layout.size(); ++n) {
        const Bytes cut(layout.begin(), layout.begin() + n);
        RS::DialogLayout parsed;
        EXPECT_FALSE(RS::Image::ParseDialogLayout(cut.data(), cut.size(), &parsed, nullptr)) << n;
    }
    for (std::size_t n = 0; n < anchors.size(); ++n) {
        const Bytes cut(anchors.begin(), anchors.begin() + n);
        RS::HelpAnchors parsed;
        EXPECT_FALSE(RS::Image::ParseHelpAnchors(cut.data(), cut.size(), &parsed, nullptr)) << n;
    }
    for (std::size_t n = 0; n < strings.size(); ++n) {
        const Bytes cut(strings.begin(), strings.begin() + n);
        std::vector<std::string> parsed;
        EXPECT_FALSE(RS::Image::ParseStringList(cut.data(), cut.size(), &parsed, nullptr)) << n;
    }
}

class DamagedModuleFile : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = ResourceFiles::Read(ResourceFiles::ProbeModule());
        ASSERT_GT(module_.size(), 64u);
        path_ = ::testing::TempDir() + "damaged_module_" + std::to_string(getpid()) + ".so";
        RS::Control::SetDiagnosticSink([this](const std::string& line) { lines_.push_back(line); });
    }
    void TearDown() override {
        RS::Control::SetDiagnosticSink(nullptr);
        std::remove(path_.c_str());
    }

    GSResModule OpenDamaged(const Bytes& bytes) {
        ResourceFiles::Write(path_, bytes);
        return RS::Control::OpenResourceFile(path_);
    }

    Bytes module_;
    std::string path_;
    std::vector<std::string> lines_;
};

TEST_F(DamagedModuleFile, TruncatedFileFailsAtOpen) {
    for (std::size_t size : {module_.size() / 2, std::size_t(100), std::size_t(3)}) {
        lines_.clear();
        EXPECT_EQ(OpenDamaged(Bytes(module_.begin(), module_.begin() + size)), InvalidResModule) << size;
        ASSERT_EQ(lines_.size(), 1u);
        EXPECT_NE(lines_[0].find(path_), std::string::npos) << lines_[0];
    }
}

TEST_F(DamagedModuleFile, FileWithoutResourceSectionFailsAtOpen) {
    Bytes renamed = module_;
    const std::string name = Format::kSectionName;
    auto at = std::search(renamed.begin(), renamed.end(), name.begin(), name.end());
    ASSERT_NE(at, renamed.end());
    at[1] = 'X';
    EXPECT_EQ(OpenDamaged(renamed), InvalidResModule);
    ASSERT_EQ(lines_.size(), 1u);
    EXPECT_NE(lines_[0].find("no section .kavelo.rsrc"), std::string::npos) << lines_[0];
}

TEST_F(DamagedModuleFile, SectionHeadersOutsideTheFileFailAtOpen) {
    Bytes bad = module_;
    bad[0x28 + 7] = 0x7F;  // e_shoff far beyond the end
    EXPECT_EQ(OpenDamaged(bad), InvalidResModule);
    ASSERT_EQ(lines_.size(), 1u);
    EXPECT_NE(lines_[0].find("outside the file"), std::string::npos) << lines_[0];
}

}  // namespace
