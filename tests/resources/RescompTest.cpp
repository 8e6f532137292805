// The resource compiler as a build step sees it: each GRC form gives the host's bytes; a bad source stops
// the build with "file:line: error:" and writes nothing; the module's image and Windows .rc script hold
// the same bytes.
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

using Bytes = std::vector<unsigned char>;

// Bytes written as in the host's little-endian formats: Text adds the NUL.
struct Put {
    Bytes b;
    Put& U16(unsigned v) {
        b.push_back(static_cast<unsigned char>(v));
        b.push_back(static_cast<unsigned char>(v >> 8));
        return *this;
    }
    Put& U32(unsigned v) { return U16(v & 0xFFFF).U16(v >> 16); }
    Put& Text(const std::string& text) {
        b.insert(b.end(), text.begin(), text.end());
        b.push_back(0);
        return *this;
    }
    Put& Rect(unsigned x, unsigned y, unsigned w, unsigned h) { return U16(x).U16(y).U16(w).U16(h); }
    Bytes WithLength() const {
        Bytes out = Put().U32(static_cast<unsigned>(b.size())).b;
        out.insert(out.end(), b.begin(), b.end());
        return out;
    }
};

// An 8-bit RGBA PNG's signature and header chunk, as far as the compiler reads it.
Bytes PngOfSize(unsigned size) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (unsigned v : {size, size}) {
        for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<unsigned char>(v >> shift));
    }
    for (unsigned char c : {8, 6, 0, 0, 0, 0, 0, 0, 0}) png.push_back(c);
    return png;
}

class Rescomp : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = ::testing::TempDir() + "rescomp_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        mkdir(dir_.c_str(), 0755);
        mkdir(RcDir().c_str(), 0755);
        Source("Ids.hpp", "#pragma once\n#define DLG_ID 701 // the test dialog\n#define ICON_ID 32105\n");
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Source(const std::string& name, const std::string& text) {
        const std::string path = dir_ + "/" + name;
        ResourceFiles::Write(path, Bytes(text.begin(), text.end()));
        return path;
    }

    // Runs the compiler on `sources`; returns its exit status and leaves its stderr in error_.
    int Run(const std::string& sources, const std::string& extra = "") {
        const std::string errors = dir_ + "/stderr.txt";
        const std::string command = std::string(KAVELO_RESCOMP) + " -p " + dir_ + " --image " + Image() +
                                    " --rc-dir " + RcDir() + " " + extra + " " + sources + " 2>" + errors;
        const int status = std::system(command.c_str());
        error_ = ResourceFiles::ReadText(errors);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // The bytes of one resource, as the .rc script's file beside it holds them.
    Bytes Resource(const std::string& type, int id) const {
        return ResourceFiles::Read(RcDir() + "/" + type + "_" + std::to_string(id) + ".bin");
    }

    void Png(const std::string& name, unsigned size) const {
        ResourceFiles::Write(dir_ + "/" + name, PngOfSize(size));
    }

    std::string Image() const { return dir_ + "/out.rsrc"; }
    std::string RcDir() const { return dir_ + "/rc"; }
    bool AnythingWritten() const {
        return access(Image().c_str(), F_OK) == 0 || !std::filesystem::is_empty(RcDir());
    }

    std::string dir_;
    std::string error_;
};

TEST_F(Rescomp, StringListsJoinEscapeAndSpliceTheirTexts) {
    const std::string source = Source("s.grc",
                                      "#include \"Ids.hpp\"\n"
                                      "#define WHO \"there\"\n"
                                      "'STR#' 700 \"description, not emitted\" {\n"
                                      "/* [  1] */ \"first\"  // a comment\n"
                                      "/* [  2] */ \"to \" DOMAIN \" and \" WHO\n"
                                      "    \"a\" + \"b\" \"c\" /* spans\n"
                                      "    lines */ \"d\"\n"
                                      "    \"tab\\there\\nq\\\"\\\\\\x41\\101\" \\\n"
                                      "    \" spliced\"\n"
                                      "    \"caf\xC3\xA9\"\n"
                                      "}\n"
                                      "'STR#' 702 \"empty\" {\n"
                                      "}\n");
    ASSERT_EQ(Run(source, "-D DOMAIN=\\\"kavelo.example\\\""), 0) << error_;
    EXPECT_EQ(Resource("STRS", 700), Put()
                                         .Text("first")
                                         .Text("to kavelo.example and there")
                                         .Text("abcd")
                                         .Text("tab\there\nq\"\\AA spliced")
                                         .Text("caf\xC3\xA9")
                                         .WithLength());
    EXPECT_EQ(Resource("STRS", 702), Put().WithLength());
}

TEST_F(Rescomp, DialogItemsBecomeTheirRecords) {
    Png("I32105.png", 22);
    const std::string source = Source("d.grc",
                                      "#include \"Ids.hpp\"\n"
                                      "'GDLG' DLG_ID Modal 40 40 345 128 \"Title\" {\n"
                                      "/* [  1] */ Button 1 2 3 4 LargePlain \"OK\"\n"
                                      "/* [  2] */ Button 1 2 3 4 SmallBold noFrame \"No\"\n"
                                      "/* [  3] */ IconButton 5 6 30 30 ICON_ID\n"
                                      "/* [  4] */ IconButton 5 6 30 30 ICON_ID noFrame\n"
                                      "/* [  5] */ LeftText 7 8 9 10 LargePlain \"L\"\n"
                                      "/* [  6] */ CenterText 7 8 9 10 SmallItalic vCenter ClientEdge \"C\"\n"
                                      "/* [  7] */ RightText 7 8 9 10 ExtraSmall truncMiddle \"R\"\n"
                                      "/* [  8] */ Separator 10 83 325 2\n"
                                      "/* [  9] */ Separator 10 10 2 50\n"
                                      "/* [ 10] */ CheckBox 1 1 80 20 LargeBold \"Check\"\n"
                                      "}\n"
                                      "'GICN' ICON_ID \"export\" {\n \"I32105\"\n}\n");
    ASSERT_EQ(Run(source), 0) << error_;
    Put want;
    want.U16(4).U16(0).Rect(40, 40, 345, 128).Text("Title").U16(10);
    want.U16(1).U16(1).U16(7).Rect(1, 2, 3, 4).U16(0).U16(0).Text("OK");
    want.U16(2).U16(1).U16(7).Rect(1, 2, 3, 4).U16(0x14).U16(0x10).Text("No");
    want.U16(3).U16(1).U16(2).Rect(5, 6, 30, 30).U16(0).U16(32105);
    want.U16(4).U16(1).U16(2).Rect(5, 6, 30, 30).U16(0x10).U16(32105);
    want.U16(5).U16(13).U16(0).Rect(7, 8, 9, 10).U16(0).U16(0).Text("L");
    want.U16(6).U16(13).U16(0x500).Rect(7, 8, 9, 10).U16(2).U16(0x24).Text("C");
    want.U16(7).U16(13).U16(0x2200).Rect(7, 8, 9, 10).U16(0).U16(8).Text("R");
    want.U16(8).U16(15).U16(0).Rect(10, 83, 325, 2);
    want.U16(9).U16(15).U16(1).Rect(10, 10, 2, 50);
    want.U16(10).U16(2).U16(1).Rect(1, 1, 80, 20).U16(0x10).Text("Check");
    EXPECT_EQ(Resource("GSDG", 701), want.WithLength());
}

TEST_F(Rescomp, DialogKindsAndStylesBecomeTheHeaderFields) {
    struct Case {
        const char* words;
        unsigned kind, flags;
    };
    const Case cases[] = {
        {"Modal", 4, 0},
        {"Palette | hGrow | close", 16, 5},
        {"Palette | close | hGrow", 16, 5},
        {"Palette | grow | close", 16, 7},
        {"Modeless | vGrow | minimize | maximize | leftCaption | thickFrame", 8, 186},
        {"Modal | noCaption | noFrame", 4, 320},
    };
    for (const Case& c : cases) {
        const std::string source = Source(
            "k.grc", std::string("'GDLG' 701 ") + c.words + " 0 0 84 34 \"P\" {\n Separator 0 0 9 1\n}\n");
        ASSERT_EQ(Run(source), 0) << c.words << "\n" << error_;
        const Bytes layout = Resource("GSDG", 701);
        ASSERT_GT(layout.size(), 8u);
        EXPECT_EQ(layout[4] | layout[5] << 8, c.kind) << c.words;
        EXPECT_EQ(layout[6] | layout[7] << 8, c.flags) << c.words;
    }
}

TEST_F(Rescomp, HelpAnchorsIdentifierIconsAndNativeLines) {
    Png("I32105.png", 22);
    Png("I32105@2x.png", 44);
    Png("Solo.png", 18);
    Source("app.manifest", "<assembly/>\n");
    // An .ico file of one 22-pixel PNG: ICONDIR, one 16-byte entry, the PNG at offset 22.
    const Bytes png = PngOfSize(22);
    Bytes icoFile = Put()
                        .U16(0)
                        .U16(1)
                        .U16(1)
                        .U16(22 | 22 << 8)
                        .U16(0)
                        .U16(1)
                        .U16(32)
                        .U32(static_cast<unsigned>(png.size()))
                        .U32(22)
                        .b;
    icoFile.insert(icoFile.end(), png.begin(), png.end());
    ResourceFiles::Write(dir_ + "/app.ico", icoFile);
    const std::string grc = Source("h.grc",
                                   "'GDLG' 701 Modal 0 0 9 9 \"T\" {\n"
                                   " Separator 0 0 9 1\n"
                                   " Separator 0 0 9 1\n"
                                   "}\n"
                                   "'DLGH' 701 DLG_Test {\n"
                                   "2\t\"tip\"\tSeparator_1\n"
                                   "1\t\"\"\tSeparator_0\n"
                                   "}\n"
                                   "'MDID' 32500 \"id\" {\n"
                                   "\t0x807DA087\n"
                                   "\t16\n"
                                   "}\n"
                                   "'GICN' 32105 \"export\" {\n \"I32105\"\n}\n"
                                   "'GICN' 9 \"no @2x image\" {\n \"Solo\"\n}\n");
    const std::string rc2 =
        Source("h.rc2", "#include \"Ids.hpp\"\n1 ICON \"app.ico\"\n2 24 \"app.manifest\"\n");
    ASSERT_EQ(Run(grc + " " + rc2), 0) << error_;
    EXPECT_EQ(Resource("DLGH", 701), Put()
                                         .Text("DLG_Test")
                                         .U16(2)
                                         .U16(2)
                                         .Text("tip")
                                         .Text("Separator_1")
                                         .U16(1)
                                         .Text("")
                                         .Text("Separator_0")
                                         .WithLength());
    EXPECT_EQ(Resource("MDID", 32500), Put().U32(0x807DA087).U32(16).WithLength());

    const std::string script = ResourceFiles::ReadText(RcDir() + "/KAVELO.rc");
    for (const char* line : {"\"I32105&96\" ICON I32105_96.ico", "\"I32105&192\" ICON I32105_192.ico",
                             "\"Solo&96\" ICON Solo_96.ico", "1 ICON Module_1.ico", "2 24 Manifest_2.xml"})
        EXPECT_NE(script.find(std::string("\n") + line + "\n"), std::string::npos) << line << "\n" << script;
    EXPECT_EQ(script.find("Solo&192"), std::string::npos);
    EXPECT_EQ(ResourceFiles::Read(RcDir() + "/Module_1.ico"), icoFile);

    const GSResModule module = RS::Control::OpenResourceFile(Image());
    ASSERT_NE(module, InvalidResModule);
    std::vector<RS::IconImage> images;
    std::string error;
    ASSERT_TRUE(RS::LoadIconGroup(module, "I32105&192", &images, &error)) << error;
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].width, 44u);
    ASSERT_TRUE(RS::LoadIconGroup(module, 1, &images, &error)) << error;
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].width, 22u);
    RSRemoveModuleImageCache(module);
}

// Bytes from their hexadecimal digits.
Bytes Hex(const std::string& digits) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
        bytes.push_back(static_cast<unsigned char>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return bytes;
}

// A version resource gives the bytes that windres and llvm-rc give for the same lines (taken from both).
TEST_F(Rescomp, VersionResourceIsWhatRcWrites) {
    const std::string rc2 = Source("v.rc2",
                                   "#define FLAGS 0xAL\n"
                                   "1 VERSIONINFO\n"
                                   "FILEVERSION 1,0,0,0\n"
                                   "PRODUCTVERSION 0,28,0,0\n"
                                   "FILEFLAGSMASK 0x3F\n"
                                   "FILEFLAGS FLAGS\n"
                                   "FILEOS 0x40004\n"
                                   "FILETYPE 0x2\n"
                                   "FILESUBTYPE 0x0\n"
                                   "BEGIN\n"
                                   "  BLOCK \"StringFileInfo\"\n"
                                   "  BEGIN\n"
                                   "    BLOCK \"040904b0\"\n"
                                   "    {\n"
                                   "      VALUE \"CompanyName\", \"KAVELO\"\n"
                                   "      VALUE \"FileVersion\", \"1.0.0\"\n"
                                   "      VALUE \"PrivateBuild\", \"Not for distribution\"\n"
                                   "    }\n"
                                   "  END\n"
                                   "  BLOCK \"VarFileInfo\"\n"
                                   "  BEGIN\n"
                                   "    VALUE \"Translation\", 0x409, 1200\n"
                                   "  END\n"
                                   "END\n");
    ASSERT_EQ(Run(rc2), 0) << error_;
    EXPECT_EQ(
        ResourceFiles::Read(RcDir() + "/VersionInfo_1.bin"),
        Hex("840134000000560053005f00560045005200530049004f004e005f0049004e0046004f0000000000bd04effe00000100"
            "00000100000000001c000000000000003f0000000a0000000400040002000000000000000000000000000000e2000000"
            "010053007400720069006e006700460069006c00650049006e0066006f000000be000000010030003400300039003000"
            "34006200300000002e000700010043006f006d00700061006e0079004e0061006d006500000000004b00410056004500"
            "4c004f00000000002c0006000100460069006c006500560065007200730069006f006e000000000031002e0030002e00"
            "300000004a001500010050007200690076006100740065004200750069006c00640000004e006f007400200066006f00"
            "7200200064006900730074007200690062007500740069006f006e000000000044000000010056006100720046006900"
            "6c00650049006e0066006f00000000002400040000005400720061006e0073006c006100740069006f006e0000000000"
            "0904b004"));
    EXPECT_NE(ResourceFiles::ReadText(RcDir() + "/KAVELO.rc").find("\n1 16 VersionInfo_1.bin\n"),
              std::string::npos);
}

// A top file includes ResConv's script of each GRC file it is compiled with, and no other; its native lines
// are compiled as before.
TEST_F(Rescomp, TopFileIncludesTheScriptOfEveryGrcFile) {
    Source("app.manifest", "<assembly/>\n");
    const std::string strings = Source("Strings.grc", "'STR#' 700 \"d\" {\n \"x\"\n}\n");
    const std::string ids = Source("Ids.grc", "'MDID' 32500 \"id\" {\n 1\n 2\n}\n");
    const std::string top = Source("Top.rc2",
                                   "#include \"Ids.hpp\"\n#include \"Strings.grc.rc2\"\n"
                                   "#include \"Ids.grc.rc2\"\n2 24 \"app.manifest\"\n");
    ASSERT_EQ(Run(strings + " " + ids + " " + top), 0) << error_;
    EXPECT_EQ(Resource("STRS", 700), Put().Text("x").WithLength());
    EXPECT_NE(ResourceFiles::ReadText(RcDir() + "/KAVELO.rc").find("\n2 24 Manifest_2.xml\n"),
              std::string::npos);

    EXPECT_EQ(Run(strings + " " + top), 1);
    EXPECT_NE(
        error_.find(top + ":3: error: the top file includes Ids.grc.rc2, the script of Ids.grc, which is "
                          "not among the resource sources"),
        std::string::npos)
        << error_;
    const std::string partial = Source("Partial.rc2", "#include \"Strings.grc.rc2\"\n");
    EXPECT_EQ(Run(strings + " " + ids + " " + partial), 1);
    EXPECT_NE(error_.find(partial + ":1: error: the top file does not include Ids.grc.rc2"),
              std::string::npos)
        << error_;
}

// Each mistake stops the compiler with the file and line, what ResConv says and what was expected; nothing
// is written.
TEST_F(Rescomp, MistakesNameFileAndLineAndWriteNothing) {
    struct Case {
        const char* text;
        int line;
        const char* message;
        const char* file = "case.grc";
    };
    const char* dialog = "'GDLG' 701 Modal 0 0 9 9 \"T\" {\n";
    const Case cases[] = {
        {"'GDLG' 701 Modal 0 0 9 9 \"T\" {\n Button 0 0 9 9 LargePlain \"OK\"\n Seperator 0 0 9 1\n}\n", 3,
         "Can't recognize item Seperator (expected Button, IconButton"},
        {"'STR#' 700 \"d\" {\n \"x\"\n", 1, "} is expected"},
        {"'STR#' 700 \"d\" {\n \"x\"\n'STR#' 701 \"d\" {\n}\n", 3, "} is expected before 'STR#'"},
        {"'STR#' 700 \"d\"\n \"x\"\n}\n", 2, "{ is expected after the 'STR#' header"},
        {"'GDLG' 701 Modal 0 0 8x4 9 \"T\" {\n}\n", 1,
         "Illegal decimal integer value or undefined constant: 8x4 (expected width"},
        {"'GDLG' 701 Modal 0 0 9 9 \"T\" {\n Separator 0 four 9 1\n}\n", 2,
         "Illegal decimal integer value or undefined constant: four"},
        {"'GDLG' 701 Modal 0 0 9 9 \"T\" {\n IconButton 0 0 9 9 NO_SUCH_ICON\n}\n", 2,
         "Illegal decimal integer value or undefined constant: NO_SUCH_ICON (expected the icon id"},
        {"'GDLG' 701 Modal -5 0 9 9 \"T\" {\n}\n", 1, "Unsigned short value is expected: -5"},
        {"\n'ABCD' 700 \"d\" {\n}\n", 2, "Illegal resource type: 'ABCD' (expected 'STR#', 'GDLG'"},
        {"'STR#' 700 \"d\" {\n \"x\"\n \"unterminated\n}\n", 3, "Illegal string"},
        {"'STR#' 700 {\n}\n", 1, "String is missing: the description"},
        {"'GDLG' 701 Modal 0 0 9 9 {\n}\n", 1, "String is missing: the title"},
        {"'GDLG' 701 Modal 0 0 9 9 \"T\" {\n Button 0 0 9 9 \"OK\"\n}\n", 2,
         "An item is missing: Button needs a font word before its text (ExtraSmall, LargeBold"},
        {"'MDID' 32500 \"id\" {\n 1 2\n}\n", 2, "Extra character on line: 2"},
        {"'STR#' 700 \"d\" {\n \"to \" DOMAIN \" x\"\n}\n", 2,
         "Extra character on line: DOMAIN (expected one text; a name between texts is a macro that no "
         "#define or -D gave"},
        {"'STR#' 700 \"d\" \"e\" {\n}\n", 1,
         "{ is expected after the description: \"de\" is written as 2 texts side by side"},
        {"'GDLG' 701 Modal 0 0 9 9 \"T\" + \"U\" {\n}\n", 1,
         "{ is expected after the title: \"TU\" is written as 2 texts side by side"},
        {"'GDLG' 701 Modal | hGrow | close 0 0 9 9 \"T\" {\n}\n", 1,
         "Illegal combination of styles: Modal | close"},
        {"'GDLG' 701 Modal | shiny 0 0 9 9 \"T\" {\n}\n", 1,
         "Illegal dialog style after |: shiny (expected close"},
        {"'STR#' 700 \"d\" {\n \"bad \\q escape\"\n}\n", 2, "Unrecognized character escape sequence \\q"},
        {"#include \"Missing.hpp\"\n", 1, "cannot find include file 'Missing.hpp'"},
        {"#if 1\n", 1, "unsupported preprocessor directive #if"},
        {"#ifdef X\n", 1, "#ifdef or #ifndef without its #endif"},
        {"'DLGH' 705 DLG_X {\n}\n", 1, "help anchors of dialog 705, which no 'GDLG' defines"},
        {"'STR#' 700 \"d\" {\n \"Menu^32199^E3\"\n}\n", 2, "menu text \"Menu^32199^E3\" names icon 32199"},
        {"'STR#' 700 \"d\" {\n}\n\n'STR#' 700 \"e\" {\n}\n", 4, "duplicate 'STR#' id 700 (first defined at "},
        // A version resource in a top file, read as rc reads it.
        {"1 VERSIONINFO\nFILEVERSION 1,0,0\nBEGIN\nEND\n", 2, "FILEVERSION takes 4 numbers, not 3",
         "case.rc2"},
        {"1 VERSIONINFO\nFILEVERSION 1,0,0,70000\nBEGIN\nEND\n", 2,
         "Illegal decimal integer value or undefined constant: 70000 (expected a number up to 65535)",
         "case.rc2"},
        {"1 VERSIONINFO\nFILEFLAGS VS_FF_DEBUG\nBEGIN\nEND\n", 2,
         "Illegal decimal integer value or undefined constant: VS_FF_DEBUG", "case.rc2"},
        {"1 VERSIONINFO\nFILEDATE 0\nBEGIN\nEND\n", 2, "unknown version statement FILEDATE", "case.rc2"},
        {"1 VERSIONINFO\nBEGIN\n BLOCK \"StringFileInfo\"\n BEGIN\n  VALUE \"A\" \"b\"\n END\nEND\n", 5,
         "expected BLOCK \"key\"", "case.rc2"},
        {"1 VERSIONINFO\nBEGIN\n VALUE \"A\", \"b\"\n", 2, "BEGIN without its END", "case.rc2"},
        {"1 VERSIONINFO\nBEGIN\n VALUE \"A\", \"caf\xc3\xa9\"\nEND\n", 3, "a version text holds ASCII",
         "case.rc2"},
        {"1 VERSIONINFO\nBEGIN\nEND\n1 VERSIONINFO\nBEGIN\nEND\n", 4, "duplicate version resource id 1",
         "case.rc2"},
    };
    for (const Case& c : cases) {
        const std::string source = Source(c.file, c.text);
        EXPECT_EQ(Run(source), 1) << c.text;
        EXPECT_NE(error_.find(source + ":" + std::to_string(c.line) + ": error: " + c.message),
                  std::string::npos)
            << c.text << "\n"
            << error_;
        EXPECT_FALSE(AnythingWritten()) << c.text;
    }
    // A long text, and a mistake inside an included file, which is named rather than the includer.
    EXPECT_EQ(Run(Source("long.grc", "'STR#' 700 \"d\" {\n \"" + std::string(256, 'a') + "\"\n}\n")), 1);
    EXPECT_NE(error_.find("long.grc:2: error: the string is 256 bytes long; at most 255 fit"),
              std::string::npos)
        << error_;
    const std::string included = Source("inc.grc", std::string(dialog) + " Separator 0 0 9 1 x\n}\n");
    EXPECT_EQ(Run(Source("top.grc", "\n#include \"inc.grc\"\n")), 1);
    EXPECT_NE(error_.find(included + ":2: error: Can't recognize item Separator: x is not expected here"),
              std::string::npos)
        << error_;
}

// The .rc script a Windows build hands to windres names every resource, with the same bytes.
TEST(WindowsScript, NamesEveryResourceWithTheImagesBytes) {
    const std::string script = ResourceFiles::ReadText(KAVELO_RESOURCE_RC);
    const std::string dir =
        std::string(KAVELO_RESOURCE_RC).substr(0, std::string(KAVELO_RESOURCE_RC).rfind('/'));
    EXPECT_NE(script.find("LANGUAGE 9, 1"), std::string::npos);
    for (const char* line : {"32000 STRS STRS_32000.bin", "32590 GSDG GSDG_32590.bin",
                             "32590 DLGH DLGH_32590.bin", "32500 MDID MDID_32500.bin",
                             "\"I32105&96\" ICON I32105_96.ico", "\"I10001&192\" ICON I10001_192.ico",
                             "1 ICON Module_1.ico", "2 24 Manifest_2.xml", "1 16 VersionInfo_1.bin"})
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
