// hostsim's pieces that need no module: the preferences store, JPEG and view rendering, menu strings,
// the command language, text conversion and the launch records.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "DialogUser.hpp"
#include "HostsimTestSupport.hpp"
#include "Jpeg.hpp"
#include "Menus.hpp"
#include "PreferencesStore.hpp"
#include "Script.hpp"
#include "Text.hpp"
#include "ViewRenderer.hpp"
#include "browser/BrowserLauncher.hpp"
#include "browser/LaunchRecord.hpp"
#include "browser/LoginConfirmer.hpp"

namespace hostsim {
namespace {

using testing::TempDir;

TEST(PreferencesStoreTest, KeepsVersionAndBytesExactlyAcrossStoreObjects) {
    TempDir dir;
    const AddOnKey key{0x12345678u, 0x9ABCDEF0u};
    StoredPreferences record;
    record.version = 1;
    for (int i = 0; i < 48; ++i) record.bytes.push_back(static_cast<unsigned char>(i * 5 + 3));
    std::string error;
    ASSERT_TRUE(PreferencesStore(dir.Path()).Save(key, record, &error)) << error;

    const auto loaded = PreferencesStore(dir.Path()).Load(key);
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->version, 1);
    EXPECT_EQ(loaded->bytes, record.bytes);
    EXPECT_FALSE(PreferencesStore(dir.Path()).Load(AddOnKey{0x12345678u, 1}).has_value())
        << "kept per add-on";
}

TEST(PreferencesStoreTest, RemoveDeletesAndRemovingNothingSucceeds) {
    TempDir dir;
    PreferencesStore store(dir.Path());
    const AddOnKey key{1, 2};
    std::string error;
    ASSERT_TRUE(store.Save(key, StoredPreferences{7, {1, 2, 3}}, &error));
    ASSERT_TRUE(store.Remove(key, &error));
    EXPECT_FALSE(store.Load(key).has_value());
    EXPECT_TRUE(store.Remove(key, &error));
}

TEST(PreferencesStoreTest, DamagedFileReadsAsNothingWithAReason) {
    TempDir dir;
    PreferencesStore store(dir.Path());
    const AddOnKey key{3, 4};
    const char header[] = "KVPF\x01\x00\x00\x00\x01\x00\x00\x00\x30\x00\x00\x00short";
    std::ofstream(store.FileOf(key), std::ios::binary).write(header, sizeof header - 1);
    std::string error;
    EXPECT_FALSE(store.Load(key, &error).has_value());
    EXPECT_NE(error.find("damaged"), std::string::npos) << error;
    EXPECT_EQ(AddOnKey({0xAB, 0x1}).ToString(), "000000AB-00000001");
}

TEST(JpegTest, EncodesAndDecodesAtTheSameSize) {
    RgbImage image(33, 17);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            image.At(x, y)[0] = 200, image.At(x, y)[1] = 40, image.At(x, y)[2] = 90;
    std::vector<unsigned char> jpeg;
    std::string error;
    ASSERT_TRUE(EncodeJpeg(image, 90, &jpeg, &error)) << error;
    ASSERT_GE(jpeg.size(), 4u);
    EXPECT_EQ(jpeg[0], 0xFF);
    EXPECT_EQ(jpeg[1], 0xD8);

    RgbImage decoded;
    ASSERT_TRUE(DecodeJpeg(jpeg, &decoded, &error)) << error;
    EXPECT_EQ(decoded.width, 33);
    EXPECT_EQ(decoded.height, 17);
    EXPECT_NEAR(decoded.At(16, 8)[0], 200, 6);
    EXPECT_NEAR(decoded.At(16, 8)[2], 90, 6);
}

TEST(JpegTest, RefusesBytesThatAreNoJpeg) {
    RgbImage decoded;
    std::string error;
    EXPECT_FALSE(DecodeJpeg({'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'}, &decoded, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(DecodeJpeg({}, &decoded, &error));
    std::vector<unsigned char> jpeg;
    EXPECT_FALSE(EncodeJpeg(RgbImage(), 90, &jpeg, &error));
}

TEST(ViewRendererTest, DrawsASceneWithSkyAboveAndLawnBelow) {
    RgbImage view;
    std::string error;
    ASSERT_TRUE(RenderView("", 800, 500, &view, &error)) << error;
    ASSERT_EQ(view.width, 800);
    ASSERT_EQ(view.height, 500);
    const unsigned char* sky = view.At(400, 5);
    EXPECT_GT(sky[2], sky[0]) << "blue sky at the top";
    const unsigned char* lawn = view.At(5, 480);
    EXPECT_GT(lawn[1], lawn[0]) << "green lawn at the bottom";
    EXPECT_GT(lawn[1], lawn[2]);

    std::vector<unsigned char> jpeg;
    ASSERT_TRUE(EncodeJpeg(view, 90, &jpeg, &error));
    EXPECT_GT(jpeg.size(), 40000u) << "textured like a rendering, not a flat drawing";
}

TEST(ViewRendererTest, ScalesTheUsersPictureToTheWindow) {
    TempDir dir;
    RgbImage picture(64, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            picture.At(x, y)[0] = x < 32 ? 250 : 0, picture.At(x, y)[2] = x < 32 ? 0 : 250;
    std::vector<unsigned char> jpeg;
    std::string error;
    ASSERT_TRUE(EncodeJpeg(picture, 95, &jpeg, &error));
    ASSERT_TRUE(WriteFileBytes(dir / "view.jpg", jpeg, &error));

    RgbImage view;
    ASSERT_TRUE(RenderView(dir / "view.jpg", 320, 240, &view, &error)) << error;
    EXPECT_EQ(view.width, 320);
    EXPECT_EQ(view.height, 240);
    EXPECT_GT(view.At(40, 120)[0], 200);
    EXPECT_GT(view.At(280, 120)[2], 200);

    EXPECT_FALSE(RenderView(dir / "missing.jpg", 320, 240, &view, &error));
    EXPECT_NE(error.find("missing.jpg"), std::string::npos);
}

TEST(MenuStringsTest, TakesTheIconSuffixOffTheItemText) {
    const MenuItemText item = ParseMenuItemText("Export from current view^32105^E3");
    EXPECT_EQ(item.text, "Export from current view");
    EXPECT_EQ(item.iconId, 32105);
    EXPECT_EQ(item.flags, "E3");
    EXPECT_EQ(ParseMenuItemText("Plain item").text, "Plain item");
    EXPECT_EQ(ParseMenuItemText("Plain item").iconId, 0);
    EXPECT_EQ(ParseMenuItemText("A^b^E3").text, "A^b^E3") << "not a numeric icon id: the text stays whole";
}

TEST(MenuStringsTest, BuildsTitledItemsAndToolbarItems) {
    abi::MenuRecord record{};
    record.menuStrId = 32512;
    MenuItem item;
    std::string error;
    ASSERT_TRUE(BuildMenuItem(record, {"KAVELO", "Export from current view^32105^E3"}, {}, &item, &error));
    EXPECT_EQ(item.Describe(), "KAVELO > Export from current view (icon 32105)");

    record.menuStrId = 32540;
    record.placement = kPlacementToolbars;
    ASSERT_TRUE(BuildMenuItem(record, {"KAVELO toolbar^32101^E3"}, {}, &item, &error));
    EXPECT_EQ(item.Describe(), "Window > Toolbars > KAVELO toolbar (icon 32101)");
    EXPECT_FALSE(BuildMenuItem(record, {}, {}, &item, &error));
}

TEST(ScriptTest, ParsesALineScriptWithCommentsAndAnswers) {
    const std::string text =
        "# export once\n"
        "answer click 1 for 32520\n"
        "menu Export from current view\n"
        "\n"
        "menu 32540\n"
        "answer close\n"
        "palette-message 6\n"
        "capture /tmp/view.jpeg\n"
        "expect-report Error read\n";
    std::vector<Command> commands;
    std::string error;
    ASSERT_TRUE(ParseScript(text, &commands, &error)) << error;
    ASSERT_EQ(commands.size(), 7u);
    EXPECT_EQ(commands[0].kind, CommandKind::Answer);
    EXPECT_EQ(commands[0].item, 1);
    EXPECT_EQ(commands[0].dialog, 32520);
    EXPECT_EQ(commands[0].line, 2);
    EXPECT_EQ(commands[1].kind, CommandKind::Menu);
    EXPECT_FALSE(commands[1].menuById);
    EXPECT_EQ(commands[1].text, "Export from current view");
    EXPECT_TRUE(commands[2].menuById);
    EXPECT_EQ(commands[2].number, 32540);
    EXPECT_EQ(commands[3].answer, AnswerKind::Close);
    EXPECT_EQ(commands[4].number, 6);
    EXPECT_EQ(commands[5].text, "/tmp/view.jpeg");
    EXPECT_EQ(commands[6].text, "Error read");
}

TEST(ScriptTest, ParsesACommandListWithColons) {
    std::vector<Command> commands;
    std::string error;
    ASSERT_TRUE(
        ParseCommandList("menu:Export from current view; answer:1; answer:esc;collect", &commands, &error))
        << error;
    ASSERT_EQ(commands.size(), 4u);
    EXPECT_EQ(commands[0].text, "Export from current view");
    EXPECT_EQ(commands[1].kind, CommandKind::Answer);
    EXPECT_EQ(commands[1].item, 1);
    EXPECT_EQ(commands[2].answer, AnswerKind::Escape);
    EXPECT_EQ(commands[3].kind, CommandKind::Collect);
}

TEST(ScriptTest, ParsesTheFaultSwitches) {
    std::vector<Command> commands;
    std::string error;
    ASSERT_TRUE(
        ParseCommandList("fail-slot:648 0x81060001; fail-slot:464 -36 3; fail-slot:472 1 -1; "
                         "fail-allocation:4",
                         &commands, &error))
        << error;
    ASSERT_EQ(commands.size(), 4u);
    EXPECT_EQ(commands[0].kind, CommandKind::FailSlot);
    EXPECT_EQ(commands[0].number, 648);
    EXPECT_EQ(static_cast<unsigned int>(commands[0].code), 0x81060001u);
    EXPECT_EQ(commands[0].count, 1);
    EXPECT_EQ(commands[1].code, -36);
    EXPECT_EQ(commands[1].count, 3);
    EXPECT_EQ(commands[2].count, -1);
    EXPECT_EQ(commands[3].kind, CommandKind::FailAllocation);
    EXPECT_EQ(commands[3].number, 4);
    for (const char* bad :
         {"fail-slot:648", "fail-slot:648 x", "fail-slot:648 0x100000000", "fail-slot:648 1 0",
          "fail-slot:648 1 2 3", "fail-slot:-8 1", "fail-allocation:0", "fail-allocation"})
        EXPECT_FALSE(ParseCommandList(bad, &commands, &error)) << bad;
}

TEST(ScriptTest, NamesTheLineOfABadCommand) {
    std::vector<Command> commands;
    std::string error;
    EXPECT_FALSE(ParseScript("menus\nfly away\n", &commands, &error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
    EXPECT_FALSE(ParseCommandList("answer:0", &commands, &error));
    EXPECT_FALSE(ParseCommandList("palette-message:six", &commands, &error));
    EXPECT_FALSE(ParseCommandList("expect-palette:open", &commands, &error));
    EXPECT_FALSE(ParseCommandList("collect now", &commands, &error));
}

TEST(TextTest, ConvertsBetweenUtf16AndUtf8) {
    EXPECT_EQ(ToUtf8(std::u16string(u"Grüße \U0001F3E0")),
              "Gr\xC3\xBC\xC3\x9F"
              "e \xF0\x9F\x8F\xA0");
    EXPECT_EQ(ToUtf16("Gr\xC3\xBC\xC3\x9F"
                      "e \xF0\x9F\x8F\xA0"),
              u"Grüße \U0001F3E0");
    EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD") << "unpaired surrogate";
    EXPECT_EQ(ToUtf16("\xFF"), u"\uFFFD");
}

TEST(LoginFormTest, FindsTheFormAPersonWouldSubmit) {
    const std::string page =
        "<html><body><h1>Link Archicad</h1>\n"
        "<FORM method=\"POST\" action=\"/login\">\n"
        "<input type=\"hidden\" name=\"eid\" value=\"1b4e28ba-2fa1-41d2-883f-0016d3cca427\">\n"
        "<input type='text' name='note' value='a &amp; b'>\n"
        "<button type=\"submit\">Confirm</button></form><input name=\"outside\" value=\"x\"></body></html>";
    HtmlForm form;
    ASSERT_TRUE(FindFirstForm(page, &form));
    EXPECT_EQ(form.method, "post");
    EXPECT_EQ(form.action, "/login");
    ASSERT_EQ(form.fields.size(), 2u);
    EXPECT_EQ(form.fields[0].first, "eid");
    EXPECT_EQ(form.fields[1].second, "a & b");
    EXPECT_EQ(EncodeForm(form.fields), "eid=1b4e28ba-2fa1-41d2-883f-0016d3cca427&note=a+%26+b");
    EXPECT_FALSE(FindFirstForm("<p>no form</p>", &form));
}

DG::Control::DialogView LinkDialog() {
    DG::Control::DialogView view;
    view.resId = 32520;
    view.title = "Link to KAVELO";
    view.items = {{1, RS::ItemType::Button, "OK", 0, true},
                  {2, RS::ItemType::Button, "Cancel", 0, true},
                  {3, RS::ItemType::Separator, "", 0, true},
                  {4, RS::ItemType::LeftText, "Before exporting ...", 0, true}};
    return view;
}

// Every launch reaches the system's handler, which keeps what it received; a run's first launch clears
// an earlier run's records. Without a place for its record, nothing is opened and the module hears so.
TEST(BrowserLauncherTest, KeepsWhatTheHandlerReceivedAndOpensNothingWithoutARecord) {
    TempDir dir;
    const std::filesystem::path folder = dir / "Launches";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "07.utf16le") << "an earlier run's";
    const auto open = [](const std::u16string& url) {
        return Platform::Control::ShellRequest{u"open", url, 1, {}, {}};
    };
    BrowserLauncher launcher(BrowserMode::None, std::string(), nullptr);
    launcher.SetRecordFolder(folder);
    const std::u16string first = u"https://app.kavelo.io/?imageId=\u00e4%20\U0001F600";
    EXPECT_TRUE(launcher.Open(open(first)));
    EXPECT_TRUE(launcher.Open(open(u"https://app.kavelo.io/")));
    std::string error;
    EXPECT_EQ(ReadLaunchRecord(folder / "01.utf16le", &error), first) << error;
    EXPECT_EQ(ReadLaunchRecord(launcher.Launches()[1].record, &error), u"https://app.kavelo.io/") << error;
    EXPECT_FALSE(std::filesystem::exists(folder / "07.utf16le"));

    std::ofstream(dir / "file") << "not a folder";
    BrowserLauncher blocked(BrowserMode::None, std::string(), nullptr);
    blocked.SetRecordFolder(std::filesystem::path(dir / "file") / "Launches");
    EXPECT_FALSE(blocked.Open(open(first)));
    EXPECT_EQ(blocked.Launches()[0].outcome.rfind("not opened: cannot make ", 0), 0u)
        << blocked.Launches()[0].outcome;
    EXPECT_TRUE(blocked.Launches()[0].record.empty());
}

TEST(DialogUserTest, TakesQueuedAnswersMeantForTheDialogShown) {
    DialogUser user;
    user.Queue({DG::Control::Action::Click(2, 32520), DG::Control::Action::Click(1, 32533)});
    EXPECT_EQ(user.NextAction(LinkDialog()), DG::Control::Action::Click(2, 32520));
    EXPECT_EQ(user.NextAction(LinkDialog()), DG::Control::Action::CloseControl())
        << "the next answer is for 32533: dismissed, and the answer waits";
    EXPECT_EQ(user.Pending(), 1u);
    ASSERT_EQ(user.Problems().size(), 1u);
    EXPECT_EQ(
        user.Problems()[0],
        "the next answer (click item 1) is meant for dialog 32533, but dialog 32520 \"Link to KAVELO\" is "
        "shown; dismissed");
}

TEST(DialogUserTest, DismissesAnUnansweredDialogWithoutThrowing) {
    DialogUser user;
    EXPECT_EQ(user.NextAction(LinkDialog()), DG::Control::Action::CloseControl());
    EXPECT_EQ(user.NextAction(LinkDialog()), DG::Control::Action::EscapeKey()) << "the close was refused";
    EXPECT_EQ(user.NextAction(LinkDialog()), DG::Control::Action::Click(1));
    ASSERT_EQ(user.Problems().size(), 1u);
    EXPECT_EQ(user.Problems()[0], "no answer was queued for dialog 32520 \"Link to KAVELO\"; dismissed");
}

TEST(DialogUserTest, APersonAtTheTerminalAnswers) {
    std::istringstream in("9\n3\n2\n");
    std::ostringstream out;
    DialogUser user;
    user.UseTerminal(&in, &out);
    EXPECT_EQ(user.NextAction(LinkDialog()), DG::Control::Action::Click(2))
        << "9 and the separator are no choice";
    EXPECT_NE(out.str().find("Link to KAVELO"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("Not a choice: 9"), std::string::npos) << out.str();
    EXPECT_EQ(user.NextAction(LinkDialog()), DG::Control::Action::CloseControl()) << "the input has ended";
    EXPECT_EQ(user.Problems().size(), 1u);
}

}  // namespace
}  // namespace hostsim
