// The resources in the built module file, read through the RS stand-in: every string list, layout,
// help-anchor list, the add-on identifier, the icons, the manifest and the version resource, byte for
// byte where the host reads bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <set>

#include "ExpectedResources.hpp"
#include "RSControl.hpp"
#include "RSLayouts.hpp"
#include "ResourceFiles.hpp"

namespace {

class ModuleResources : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = RS::Control::OpenResourceFile(ResourceFiles::ModuleFile());
        ASSERT_NE(module_, InvalidResModule) << ResourceFiles::ModuleFile();
    }
    void TearDown() override { RSRemoveModuleImageCache(module_); }

    Expected::Bytes Bytes(const char* type, int id) {
        Expected::Bytes bytes;
        EXPECT_TRUE(RS::GetResourceBytes(module_, type, static_cast<GSResID>(id), &bytes))
            << type << " " << id;
        return bytes;
    }

    GSResModule module_ = InvalidResModule;
};

TEST_F(ModuleResources, StringListsHoldExactlyTheirStrings) {
    for (const Expected::StringList& list : Expected::StringLists(KAVELO_WEBAPP_DOMAIN)) {
        SCOPED_TRACE(list.id);
        EXPECT_EQ(Bytes("STRS", list.id), Expected::EncodeStrings(list));
        std::vector<std::string> strings;
        std::string error;
        ASSERT_TRUE(RS::LoadStringList(module_, static_cast<GSResID>(list.id), &strings, &error)) << error;
        EXPECT_EQ(strings, list.strings);
    }
}

TEST_F(ModuleResources, DescriptionNamesTheWebApplicationsDomain) {
    std::vector<std::string> strings;
    ASSERT_TRUE(RS::LoadStringList(module_, 32000, &strings, nullptr));
    ASSERT_EQ(strings.size(), 2u);
    EXPECT_EQ(strings[1], std::string("Export models to ") + KAVELO_WEBAPP_DOMAIN + " to improve realism");
    EXPECT_EQ(strings[1].find("  "), std::string::npos);
}

TEST_F(ModuleResources, DialogLayoutsMatchByteForByte) {
    for (const Expected::Layout& layout : Expected::Layouts()) {
        SCOPED_TRACE(layout.id);
        EXPECT_EQ(Bytes("GSDG", layout.id), Expected::EncodeLayout(layout));
    }
}

TEST_F(ModuleResources, DialogLayoutsReadItemByItem) {
    for (const Expected::Layout& expected : Expected::Layouts()) {
        SCOPED_TRACE(expected.id);
        RS::DialogLayout layout;
        std::string error;
        ASSERT_TRUE(RS::LoadDialogLayout(module_, static_cast<GSResID>(expected.id), &layout, &error))
            << error;
        EXPECT_EQ(layout.id, expected.id);
        EXPECT_EQ(layout.kind, expected.kind);
        EXPECT_EQ(layout.secondField, expected.secondField);
        EXPECT_EQ(layout.rect.x, expected.x);
        EXPECT_EQ(layout.rect.y, expected.y);
        EXPECT_EQ(layout.rect.width, expected.width);
        EXPECT_EQ(layout.rect.height, expected.height);
        EXPECT_EQ(layout.title, expected.title);
        ASSERT_EQ(layout.items.size(), expected.items.size());
        for (std::size_t i = 0; i < layout.items.size(); ++i) {
            SCOPED_TRACE(i + 1);
            const RS::DialogItem& item = layout.items[i];
            const Expected::Item& want = expected.items[i];
            EXPECT_EQ(item.number, i + 1);
            EXPECT_EQ(static_cast<int>(item.type), want.type);
            EXPECT_EQ(item.style, want.style);
            EXPECT_EQ(item.rect.x, want.x);
            EXPECT_EQ(item.rect.y, want.y);
            EXPECT_EQ(item.rect.width, want.width);
            EXPECT_EQ(item.rect.height, want.height);
            EXPECT_EQ(item.text, want.text);
            EXPECT_EQ(item.iconId, want.icon);
        }
    }
}

TEST_F(ModuleResources, OneButtonDialogsHaveTheSeparatorAsItemTwo) {
    RS::DialogLayout layout;
    for (int id : {32531, 32533, 32534}) {
        ASSERT_TRUE(RS::LoadDialogLayout(module_, static_cast<GSResID>(id), &layout, nullptr));
        EXPECT_EQ(layout.items[1].type, RS::ItemType::Separator) << id;
    }
    for (int id : {32520, 32532}) {
        ASSERT_TRUE(RS::LoadDialogLayout(module_, static_cast<GSResID>(id), &layout, nullptr));
        EXPECT_EQ(layout.items[1].type, RS::ItemType::Button) << id;
        EXPECT_EQ(layout.items[2].type, RS::ItemType::Separator) << id;
    }
}

TEST_F(ModuleResources, HelpAnchorsMatchByteForByte) {
    for (const Expected::Layout& layout : Expected::Layouts()) {
        SCOPED_TRACE(layout.id);
        EXPECT_EQ(Bytes("DLGH", layout.id), Expected::EncodeAnchors(layout));
    }
}

TEST_F(ModuleResources, PaletteAnchorsNameButtonOneOnly) {
    RS::HelpAnchors anchors;
    std::string error;
    ASSERT_TRUE(RS::LoadHelpAnchors(module_, 32590, &anchors, &error)) << error;
    EXPECT_EQ(anchors.dialogAnchor, "DLG_32580_Test_Palette");
    ASSERT_EQ(anchors.entries.size(), 1u);
    EXPECT_EQ(anchors.entries[0].item, 1);
    EXPECT_EQ(anchors.entries[0].text, "");
    EXPECT_EQ(anchors.entries[0].anchor, "Button_0");
}

TEST_F(ModuleResources, SharedDialogAnchors) {
    RS::HelpAnchors a, b;
    ASSERT_TRUE(RS::LoadHelpAnchors(module_, 32533, &a, nullptr));
    ASSERT_TRUE(RS::LoadHelpAnchors(module_, 32534, &b, nullptr));
    EXPECT_EQ(a.dialogAnchor, "DLG_Exported_Login");
    EXPECT_EQ(b.dialogAnchor, "DLG_Exported_Login");
    ASSERT_TRUE(RS::LoadHelpAnchors(module_, 32531, &a, nullptr));
    ASSERT_TRUE(RS::LoadHelpAnchors(module_, 32532, &b, nullptr));
    EXPECT_EQ(a.dialogAnchor, "DLG_Exported");
    EXPECT_EQ(b.dialogAnchor, "DLG_Exported");
}

TEST_F(ModuleResources, AddOnIdentifierIsTwelveBytes) {
    const Expected::Bytes bytes = Bytes("MDID", 32500);
    EXPECT_EQ(bytes, Expected::Encoder().U32(0x807DA087u).U32(0x88A7D9CAu).Finish());
    unsigned first = 0, second = 0;
    ASSERT_TRUE(RS::LoadAddOnId(module_, 32500, &first, &second, nullptr));
    EXPECT_EQ(first, 0x807DA087u);
    EXPECT_EQ(second, 0x88A7D9CAu);
}

TEST_F(ModuleResources, IconGroupsHoldOneRgbaPngEach) {
    for (const Expected::IconSizes& icon : Expected::Icons()) {
        for (int scale : {96, 192}) {
            const std::string group = "I" + std::to_string(icon.id) + "&" + std::to_string(scale);
            SCOPED_TRACE(group);
            std::vector<RS::IconImage> images;
            std::string error;
            ASSERT_TRUE(RS::LoadIconGroup(module_, group.c_str(), &images, &error)) << error;
            ASSERT_EQ(images.size(), 1u);
            const unsigned size = static_cast<unsigned>(scale == 96 ? icon.size96 : icon.size192);
            EXPECT_TRUE(images[0].png);
            EXPECT_EQ(images[0].width, size);
            EXPECT_EQ(images[0].height, size);
            ASSERT_GE(images[0].bytes.size(), 26u);
            EXPECT_EQ(images[0].bytes[24], 8);  // bit depth
            EXPECT_EQ(images[0].bytes[25], 6);  // colour type RGBA
        }
    }
}

// One entry per size: an icon directory has no size above 256, so a larger image would be a second 256 entry.
TEST_F(ModuleResources, ModuleIconHasSevenSizes) {
    std::vector<RS::IconImage> images;
    std::string error;
    ASSERT_TRUE(RS::LoadIconGroup(module_, GSResID(1), &images, &error)) << error;
    const unsigned sizes[] = {256, 128, 96, 64, 48, 32, 16};
    ASSERT_EQ(images.size(), std::size(sizes));
    for (std::size_t i = 0; i < std::size(sizes); ++i) {
        SCOPED_TRACE(sizes[i]);
        EXPECT_EQ(images[i].width, sizes[i]);
        EXPECT_EQ(images[i].height, sizes[i]);
        EXPECT_EQ(images[i].png, sizes[i] >= 256);
        EXPECT_EQ(images[i].bitCount, 32u);
    }
}

TEST_F(ModuleResources, ManifestAsksForAsInvokerOnly) {
    const Expected::Bytes bytes = Bytes("RT_MANIFEST", 2);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"),
              std::string::npos);
    std::set<std::string> elements;
    for (std::size_t at = text.find('<'); at != std::string::npos; at = text.find('<', at + 1)) {
        if (text[at + 1] == '/' || text[at + 1] == '?')
            continue;
        const std::size_t end = text.find_first_of(" />", at + 1);
        elements.insert(text.substr(at + 1, end - at - 1));
    }
    EXPECT_EQ(elements, (std::set<std::string>{"assembly", "trustInfo", "security", "requestedPrivileges",
                                               "requestedExecutionLevel"}));
}

// The fixed part and the texts of a VS_VERSIONINFO: every node is its length, its value's length, its type
// and its UTF-16 key, then its value and its children, each on a 4-byte boundary.
struct VersionResource {
    std::vector<std::uint32_t> fixed;  // VS_FIXEDFILEINFO's 13 fields
    std::map<std::string, std::string> texts;
};

unsigned Word(const Expected::Bytes& b, std::size_t at) {
    return at + 2 <= b.size() ? b[at] | b[at + 1] << 8 : 0;
}

void ReadVersionNode(const Expected::Bytes& b, std::size_t at, std::size_t end, VersionResource* out) {
    while (at + 6 <= end) {
        const std::size_t length = Word(b, at);
        const std::size_t valueLength = Word(b, at + 2);
        const bool text = Word(b, at + 4) == 1;
        if (length < 6 || at + length > end)
            return;
        std::string key;
        std::size_t p = at + 6;
        for (; p + 2 <= at + length && Word(b, p) != 0; p += 2) key += static_cast<char>(Word(b, p));
        p = (p + 2 + 3) & ~std::size_t{3};
        if (key == "VS_VERSION_INFO") {
            for (std::size_t i = 0; i < 13; ++i)
                out->fixed.push_back(Word(b, p + 4 * i) | Word(b, p + 4 * i + 2) << 16);
            ReadVersionNode(b, (p + valueLength + 3) & ~std::size_t{3}, at + length, out);
        } else if (text && valueLength > 0) {
            std::string value;
            for (std::size_t i = 0; i + 1 < valueLength; ++i) value += static_cast<char>(Word(b, p + 2 * i));
            out->texts[key] = value;
        } else if (valueLength == 0) {
            ReadVersionNode(b, p, at + length, out);
        }
        at = (at + length + 3) & ~std::size_t{3};
    }
}

// The stand-in's module says which version it is, for which Archicad, and that it is not for distribution.
TEST_F(ModuleResources, VersionResourceNamesTheBuild) {
    const Expected::Bytes bytes = Bytes("RT_VERSION", 1);
    VersionResource version;
    ReadVersionNode(bytes, 0, bytes.size(), &version);
    ASSERT_EQ(version.fixed.size(), 13u);
    EXPECT_EQ(version.fixed[0], 0xFEEF04BDu);
    const std::string projectVersion = KAVELO_VERSION;
    const std::string fileVersion = std::to_string(version.fixed[2] >> 16) + "." +
                                    std::to_string(version.fixed[2] & 0xFFFF) + "." +
                                    std::to_string(version.fixed[3] >> 16);
    EXPECT_EQ(fileVersion, projectVersion);
    EXPECT_EQ(version.fixed[4], 28u) << "PRODUCTVERSION 0,28,...: the stand-in is Archicad 28";
    EXPECT_EQ(version.fixed[7], 0xAu) << "VS_FF_PRIVATEBUILD | VS_FF_PRERELEASE";
    EXPECT_EQ(version.fixed[9], 2u) << "VFT_DLL";
    EXPECT_EQ(version.texts["FileVersion"], projectVersion);
    EXPECT_EQ(version.texts["OriginalFilename"], "KAVELO.apx");
    EXPECT_EQ(version.texts["ProductVersion"].compare(0, 5, "0.28."), 0) << version.texts["ProductVersion"];
    EXPECT_EQ(version.texts["FileDescription"], "KAVELO add-on for Archicad 28");
    EXPECT_EQ(version.texts["PrivateBuild"], "Not for distribution");
    for (const char* key : {"CompanyName", "InternalName", "LegalCopyright", "ProductName"})
        EXPECT_FALSE(version.texts[key].empty()) << key;
}

TEST_F(ModuleResources, NothingBeyondTheListedResources) {
    std::multiset<std::string> kinds;
    for (const RS::ResourceInfo& info : RS::ListResources(module_))
        kinds.insert(info.type + (info.named ? " " + info.name : " #" + std::to_string(info.id)));
    std::multiset<std::string> expected;
    for (const Expected::StringList& list : Expected::StringLists(KAVELO_WEBAPP_DOMAIN))
        expected.insert("STRS #" + std::to_string(list.id));
    for (const Expected::Layout& layout : Expected::Layouts()) {
        expected.insert("GSDG #" + std::to_string(layout.id));
        expected.insert("DLGH #" + std::to_string(layout.id));
    }
    expected.insert("MDID #32500");
    for (const Expected::IconSizes& icon : Expected::Icons()) {
        expected.insert("RT_GROUP_ICON I" + std::to_string(icon.id) + "&96");
        expected.insert("RT_GROUP_ICON I" + std::to_string(icon.id) + "&192");
    }
    expected.insert("RT_GROUP_ICON #1");
    expected.insert("RT_MANIFEST #2");
    expected.insert("RT_VERSION #1");
    for (int i = 1; i <= 12 + 7; ++i) expected.insert("RT_ICON #" + std::to_string(i));
    EXPECT_EQ(kinds, expected);
}

TEST_F(ModuleResources, ModuleFileAndCompiledImageAgree) {
    const GSResModule image = RS::Control::OpenResourceFile(ResourceFiles::ResourceImage());
    ASSERT_NE(image, InvalidResModule);
    const std::vector<RS::ResourceInfo> inModule = RS::ListResources(module_);
    ASSERT_EQ(inModule.size(), RS::ListResources(image).size());
    for (const RS::ResourceInfo& info : inModule) {
        std::vector<unsigned char> a, b;
        if (info.named) {
            ASSERT_TRUE(RS::GetNamedResourceBytes(module_, info.type.c_str(), info.name.c_str(), &a));
            ASSERT_TRUE(RS::GetNamedResourceBytes(image, info.type.c_str(), info.name.c_str(), &b));
        } else {
            ASSERT_TRUE(RS::GetResourceBytes(module_, info.type.c_str(), static_cast<GSResID>(info.id), &a));
            ASSERT_TRUE(RS::GetResourceBytes(image, info.type.c_str(), static_cast<GSResID>(info.id), &b));
        }
        EXPECT_EQ(a, b) << info.type << " " << info.id << info.name;
    }
    RSRemoveModuleImageCache(image);
}

}  // namespace
