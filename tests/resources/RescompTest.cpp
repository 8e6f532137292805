// The resource compiler as a build step sees it: a bad source stops the build with "file:line: error:"
// and writes nothing; good sources give the image and the Windows .rc script from the same bytes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "RSControl.hpp"
#include "RSLayouts.hpp"
#include "ResourceFiles.hpp"

namespace {

class Rescomp : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = ::testing::TempDir() + "rescomp_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        mkdir(dir_.c_str(), 0755);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Source(const std::string& name, const std::string& text) {
        const std::string path = dir_ + "/" + name;
        ResourceFiles::Write(path, std::vector<unsigned char>(text.begin(), text.end()));
        return path;
    }

    // Runs the compiler on `sources`; returns its exit status and leaves its stderr in error_.
    int Run(const std::string& sources, const std::string& extra = "") {
        const std::string errors = dir_ + "/stderr.txt";
        const std::string command = std::string(KAVELO_RESCOMP) + " --ids " + KAVELO_RESOURCE_IDS +
                                    " --image " + Image() + " " + extra + " " + sources + " 2>" + errors;
        const int status = std::system(command.c_str());
        error_ = ResourceFiles::ReadText(errors);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string Image() const { return dir_ + "/out.rsrc"; }
    bool ImageWritten() const { return access(Image().c_str(), F_OK) == 0; }

    std::string dir_;
    std::string error_;
};

TEST_F(Rescomp, CompilesAStringListAndADialog) {
    const std::string source = Source("ok.krc",
                                      "strings 700\n"
                                      "    \"first\"\n"
                                      "    \"second @WHO@\"\n"
                                      "end\n"
                                      "dialog 701\n"
                                      "    title \"T\"\n"
                                      "    kind modal\n"
                                      "    window 1 2 3 4\n"
                                      "    anchor \"A\"\n"
                                      "    item 1 text 5 6 7 8 text \"x\" \\\n"
                                      "        \"y\" anchor \"B\"\n"
                                      "end\n");
    ASSERT_EQ(Run(source, "-D WHO=there"), 0) << error_;
    const GSResModule module = RS::Control::OpenResourceFile(Image());
    ASSERT_NE(module, InvalidResModule);
    std::vector<std::string> strings;
    ASSERT_TRUE(RS::LoadStringList(module, 700, &strings, nullptr));
    EXPECT_EQ(strings, (std::vector<std::string>{"first", "second there"}));
    RS::DialogLayout layout;
    ASSERT_TRUE(RS::LoadDialogLayout(module, 701, &layout, nullptr));
    ASSERT_EQ(layout.items.size(), 1u);
    EXPECT_EQ(layout.items[0].text, "xy");
    EXPECT_EQ(layout.items[0].rect.height, 8);
    RSRemoveModuleImageCache(module);
}

TEST_F(Rescomp, UnknownItemTypeNamesFileAndLine) {
    const std::string source = Source("bad.krc",
                                      "dialog 701\n"
                                      "    title \"T\"\n"
                                      "    kind modal\n"
                                      "    window 1 2 3 4\n"
                                      "    anchor \"A\"\n"
                                      "    item 1 checkbox 5 6 7 8 text \"x\"\n"
                                      "end\n");
    EXPECT_EQ(Run(source), 1);
    EXPECT_NE(error_.find(source + ":6: error: unknown item type 'checkbox'"), std::string::npos) << error_;
    EXPECT_FALSE(ImageWritten());
}

TEST_F(Rescomp, TextTooLongForItsField) {
    const std::string source =
        Source("long.krc", "strings 700\n    \"" + std::string(256, 'a') + "\"\nend\n");
    EXPECT_EQ(Run(source), 1);
    EXPECT_NE(error_.find(source + ":2: error: string is 256 characters long; at most 255 fit"),
              std::string::npos)
        << error_;
    EXPECT_FALSE(ImageWritten());
    const std::string fits = Source("fits.krc", "strings 700\n    \"" + std::string(255, 'a') + "\"\nend\n");
    EXPECT_EQ(Run(fits), 0) << error_;
}

TEST_F(Rescomp, DuplicateIdNamesBothPlaces) {
    const std::string a = Source("a.krc", "strings KAVELO_STRS_ADDON_NAME\n    \"x\"\nend\n");
    const std::string b = Source("b.krc", "\n\nstrings 32000\n    \"y\"\nend\n");
    EXPECT_EQ(Run(a + " " + b), 1);
    EXPECT_NE(error_.find(b + ":3: error: duplicate string list id 32000 (first defined at " + a + ":1)"),
              std::string::npos)
        << error_;
    EXPECT_FALSE(ImageWritten());
}

TEST_F(Rescomp, NonAsciiTextIsRefused) {
    const std::string source = Source("utf8.krc", "strings 700\n    \"caf\xC3\xA9\"\nend\n");
    EXPECT_EQ(Run(source), 1);
    EXPECT_NE(error_.find(source + ":2: error: non-ASCII character"), std::string::npos) << error_;
    EXPECT_EQ(Run(Source("domain.krc", "strings 700\n    \"to @D@\"\nend\n"),
                  "-D D=b\xC3\xBC"
                  "cher.de"),
              1);
    EXPECT_NE(error_.find("non-ASCII character in the value of @D@"), std::string::npos) << error_;
}

TEST_F(Rescomp, OtherMistakesNameTheirLine) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"strings NO_SUCH_ID\n \"x\"\nend\n", ":1: error: unknown id 'NO_SUCH_ID'"},
        {"strings 700\n \"@NOVALUE@\"\nend\n", ":2: error: no value for @NOVALUE@"},
        {"strings 700\n \"x\"\n", ":1: error: block without 'end'"},
        {"menu 700\n", ":1: error: unknown statement 'menu'"},
        {"dialog 701\n title \"T\"\n kind modal\n window 1 2 3 4\n anchor \"A\"\n item 2 separator 0 0 1 "
         "1\nend\n",
         ":6: error: item 2 where item 1 comes next"},
        {"dialog 701\n title \"T\"\n kind modal\n window 1 2 3 4\n anchor \"A\"\n item 1 button 0 0 1 "
         "1\nend\n",
         ":6: error: this item needs a text"},
        {"dialog 701\n title \"T\"\n kind modal\n window 1 2 3 99999\n anchor \"A\"\nend\n",
         ":4: error: height 99999 is outside"},
        {"dialog 701\n title \"T\"\n kind modal\n window 1 2 3 4\n anchor \"A\"\n item 1 iconbutton 0 0 1 1 "
         "icon "
         "555\nend\n",
         ":6: error: icon button names icon 555"},
        {"strings 700\n \"Menu^32199^E3\"\nend\n", ":1: error: menu text \"Menu^32199^E3\" names icon 32199"},
    };
    for (const Case& c : cases) {
        const std::string source = Source("case.krc", c.text);
        EXPECT_EQ(Run(source), 1) << c.text;
        EXPECT_NE(error_.find(source + c.message), std::string::npos) << c.text << "\n" << error_;
    }
}

// The .rc script a Windows build hands to windres names every resource, with the same bytes.
TEST(WindowsScript, NamesEveryResourceWithTheImagesBytes) {
    const std::string script = ResourceFiles::ReadText(KAVELO_RESOURCE_RC);
    const std::string dir =
        std::string(KAVELO_RESOURCE_RC).substr(0, std::string(KAVELO_RESOURCE_RC).rfind('/'));
    EXPECT_NE(script.find("LANGUAGE 9, 1"), std::string::npos);
    for (const char* line :
         {"32000 STRS STRS_32000.bin", "32590 GSDG GSDG_32590.bin", "32590 DLGH DLGH_32590.bin",
          "32500 MDID MDID_32500.bin", "\"I32105&96\" ICON I32105_96.ico",
          "\"I10001&192\" ICON I10001_192.ico", "1 ICON Module_1.ico", "2 24 Manifest_2.xml"})
        EXPECT_NE(script.find(std::string("\n") + line + "\n"), std::string::npos) << line;

    const GSResModule module = RS::Control::OpenResourceFile(ResourceFiles::ResourceImage());
    ASSERT_NE(module, InvalidResModule);
    for (const RS::ResourceInfo& info : RS::ListResources(module)) {
        if (info.type != "STRS" && info.type != "GSDG" && info.type != "DLGH" && info.type != "MDID")
            continue;
        std::vector<unsigned char> bytes;
        ASSERT_TRUE(RS::GetResourceBytes(module, info.type.c_str(), static_cast<GSResID>(info.id), &bytes));
        EXPECT_EQ(ResourceFiles::Read(dir + "/" + info.type + "_" + std::to_string(info.id) + ".bin"), bytes)
            << info.type << " " << info.id;
    }
    RSRemoveModuleImageCache(module);
    // An .ico file of one PNG: ICONDIR, one 16-byte entry, the PNG at offset 22.
    const std::vector<unsigned char> ico = ResourceFiles::Read(dir + "/I32105_96.ico");
    ASSERT_GT(ico.size(), 30u);
    EXPECT_EQ(ico[2], 1);
    EXPECT_EQ(ico[4], 1);
    EXPECT_EQ(ico[6], 22);
    EXPECT_EQ(ico[22], 0x89);
    EXPECT_EQ(ico[23], 'P');
}

}  // namespace
