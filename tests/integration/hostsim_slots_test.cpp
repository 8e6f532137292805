// The host function table as hostsim serves it, called the way the module calls it, without a module:
// preferences, special folders, view saving, reports, fault switches, and the host's hooks (debug lines,
// beeps, browser launches).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdarg>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "GSDebug.hpp"
#include "GSSystem.h"
#include "HostsimTestSupport.hpp"
#include "Jpeg.hpp"
#include "Location.hpp"
#include "Win32Interface.hpp"
// After Win32Interface.hpp, which leaves it out.
#include <shellapi.h>

namespace hostsim {
namespace {

using namespace testing;

// Calls slot 536 with a printf-style argument list, as the module's report wrapper does.
GSErrCode Report(Host& host, const GS::UniString& format, char alert, ...) {
    va_list args;
    va_start(args, alert);
    const GSErrCode result =
        SlotFunction<WriteReportFn>(host, kWriteReportSlot)(host.Context(), &format, alert, &args);
    va_end(args);
    return result;
}

TEST(HostSlotsTest, PreferencesAreStoredAsGivenAndSurviveANewHost) {
    TempDir dir;
    const unsigned char record[6] = {'a', 'b', 0, 0xFF, 7, 9};
    {
        Host host(QuietOptions(dir.Path()));
        auto set = SlotFunction<SetPreferencesFn>(host, kSetPreferencesSlot);
        ASSERT_EQ(set(host.Context(), 3, 6, record), NoError);
    }
    Host host(QuietOptions(dir.Path()));
    auto get = SlotFunction<GetPreferencesFn>(host, kGetPreferencesSlot);
    Int32 version = -1;
    Int32 size = -1;
    ASSERT_EQ(get(host.Context(), &version, &size, nullptr), NoError);
    EXPECT_EQ(version, 3);
    EXPECT_EQ(size, 6);
    unsigned char buffer[6] = {};
    ASSERT_EQ(get(host.Context(), &version, &size, buffer), NoError);
    EXPECT_EQ(std::vector<unsigned char>(buffer, buffer + 6), std::vector<unsigned char>(record, record + 6));

    const auto stored = host.StoredPreferencesOfAddOn();
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->version, 3);
    EXPECT_EQ(stored->bytes, std::vector<unsigned char>(record, record + 6));
}

TEST(HostSlotsTest, DeletingPreferencesLeavesVersionZero) {
    TempDir dir;
    Host host(QuietOptions(dir.Path()));
    auto set = SlotFunction<SetPreferencesFn>(host, kSetPreferencesSlot);
    auto get = SlotFunction<GetPreferencesFn>(host, kGetPreferencesSlot);
    const char data[4] = {1, 2, 3, 4};
    ASSERT_EQ(set(host.Context(), 1, 4, data), NoError);
    ASSERT_EQ(set(host.Context(), 0, 0, nullptr), NoError);
    Int32 version = -1;
    Int32 size = -1;
    ASSERT_EQ(get(host.Context(), &version, &size, nullptr), NoError);
    EXPECT_EQ(version, 0);
    EXPECT_EQ(size, 0);
    EXPECT_FALSE(host.StoredPreferencesOfAddOn().has_value());

    EXPECT_EQ(set(host.Context(), 1, 4, nullptr), abi::APIERR_BADPARS);
    EXPECT_EQ(set(host.Context(), 1, -1, data), abi::APIERR_BADPARS);
    EXPECT_EQ(get(host.Context(), nullptr, &size, nullptr), abi::APIERR_BADPARS);
}

// Folder code 4 is the host's cache folder, 7 its temporary folder, which the host empties when it starts;
// each is made when asked for.
TEST(HostSlotsTest, SpecialFoldersFourAndSevenAreTheCacheAndTemporaryFolders) {
    TempDir dir;
    std::filesystem::create_directories(dir / "Temporary");
    std::ofstream(dir / "Temporary/left-by-an-earlier-run.jpeg") << "x";
    Host host(QuietOptions(dir.Path()));
    EXPECT_FALSE(std::filesystem::exists(dir / "Temporary/left-by-an-earlier-run.jpeg"));
    auto environment = SlotFunction<SelectorFn>(host, kEnvironmentSlot);
    Int32 code = 4;
    IO::Location location;
    ASSERT_EQ(environment(host.Context(), abi::kSelectorSpecialFolder, &code, &location, nullptr), NoError);
    GS::UniString path;
    ASSERT_EQ(location.ToPath(&path), NoError);
    EXPECT_EQ(std::string(path.ToCStr(0, MaxUSize, CC_UTF8).Get()), host.CacheFolder());
    EXPECT_EQ(host.CacheFolder(), dir / "Cache");
    EXPECT_TRUE(std::filesystem::is_directory(host.CacheFolder()));
    code = 7;
    ASSERT_EQ(environment(host.Context(), abi::kSelectorSpecialFolder, &code, &location, nullptr), NoError);
    ASSERT_EQ(location.ToPath(&path), NoError);
    EXPECT_EQ(std::string(path.ToCStr(0, MaxUSize, CC_UTF8).Get()), host.TemporaryFolder());
    EXPECT_EQ(host.TemporaryFolder(), dir / "Temporary");
    EXPECT_TRUE(std::filesystem::is_directory(host.TemporaryFolder()));

    code = 5;
    EXPECT_EQ(environment(host.Context(), abi::kSelectorSpecialFolder, &code, &location, nullptr),
              abi::APIERR_BADPARS);
    code = 4;
    EXPECT_EQ(environment(host.Context(), abi::FourCC('N', 'O', 'P', 'E'), &code, &location, nullptr),
              abi::APIERR_BADPARS);
}

TEST(HostSlotsTest, SaveWritesADecodableJpegOfTheWindowSize) {
    TempDir dir;
    Host host(QuietOptions(dir.Path()));
    auto automate = SlotFunction<SelectorFn>(host, kAutomateSlot);
    const std::string target = dir / "view.jpeg";
    IO::Location location(target.c_str());
    abi::SaveFileRecord file{};
    file.fileType = 19;
    file.location = &location;
    abi::SavePictureRecord picture{};
    picture.kind = 6;
    ASSERT_EQ(automate(host.Context(), abi::kSelectorSave, &file, &picture, nullptr), NoError);

    RgbImage image;
    std::string error;
    ASSERT_TRUE(DecodeJpeg(ReadBytes(target), &image, &error)) << error;
    EXPECT_EQ(image.width, 640);
    EXPECT_EQ(image.height, 400);
    ASSERT_EQ(host.SavedViews().size(), 1u);
    EXPECT_EQ(host.SavedViews()[0].bytes, ReadBytes(target).size());

    file.fileType = 18;
    EXPECT_EQ(automate(host.Context(), abi::kSelectorSave, &file, &picture, nullptr), abi::APIERR_BADPARS);
    file.fileType = 19;
    picture.kind = 5;
    EXPECT_EQ(automate(host.Context(), abi::kSelectorSave, &file, &picture, nullptr), abi::APIERR_BADPARS);
    EXPECT_EQ(automate(host.Context(), abi::kSelectorSave, &file, nullptr, nullptr), abi::APIERR_BADPARS);
}

TEST(HostSlotsTest, CaptureUsesTheSaveSlotIntoTheDataFolder) {
    TempDir dir;
    Host host(QuietOptions(dir.Path()));
    std::string saved;
    ASSERT_EQ(host.CaptureView("", &saved), NoError);
    EXPECT_EQ(saved, dir / "KaveloArchiCapture.jpeg");
    EXPECT_TRUE(std::filesystem::is_regular_file(saved));
    EXPECT_EQ(host.SlotCalls(kAutomateSlot), 1);
}

TEST(HostSlotsTest, ReportsAreFormattedFromTheArgumentList) {
    TempDir dir;
    Host host(QuietOptions(dir.Path()));
    ASSERT_EQ(Report(host, GS::UniString(u"%s: %s (%d)"), 0, "Error in APIDo_SaveID (JPEG)", "APIERR_BADPARS",
                     -2130313112),
              NoError);
    ASSERT_EQ(Report(host, GS::UniString(u"Größe %u%%"), 1, 48u), NoError);
    ASSERT_EQ(host.Reports().size(), 2u);
    EXPECT_EQ(host.Reports()[0].text, "Error in APIDo_SaveID (JPEG): APIERR_BADPARS (-2130313112)");
    EXPECT_FALSE(host.Reports()[0].alert);
    EXPECT_EQ(host.Reports()[1].text,
              "Gr\xC3\xB6\xC3\x9F"
              "e 48%");
    EXPECT_TRUE(host.Reports()[1].alert);
}

TEST(HostSlotsTest, FaultSwitchesFailCallsAndEmptySlots) {
    TempDir dir;
    std::ostringstream account;
    Options options = QuietOptions(dir.Path());
    options.log = &account;
    Host host(options);
    auto get = SlotFunction<GetPreferencesFn>(host, kGetPreferencesSlot);
    Int32 version = 0;
    Int32 size = 0;
    host.FailSlot(kGetPreferencesSlot, abi::APIERR_GENERAL);
    EXPECT_EQ(get(host.Context(), &version, &size, nullptr), abi::APIERR_GENERAL);
    EXPECT_EQ(get(host.Context(), &version, &size, nullptr), NoError) << "only the next call";

    host.FailSlot(kGetPreferencesSlot, abi::APIERR_NOTSUPPORTED, -1);
    EXPECT_EQ(get(host.Context(), &version, &size, nullptr), abi::APIERR_NOTSUPPORTED);
    EXPECT_EQ(get(host.Context(), &version, &size, nullptr), abi::APIERR_NOTSUPPORTED);
    host.ClearFaults();
    EXPECT_EQ(get(host.Context(), &version, &size, nullptr), NoError);
    EXPECT_EQ(host.SlotCalls(kGetPreferencesSlot), 5);

    int notTheContext = 0;
    EXPECT_EQ(get(&notTheContext, &version, &size, nullptr), abi::APIERR_BADPARS);
    // The account names the slot by its name and offset.
    for (const char* line :
         {"host: GetPreferences (472) fails by request with 0x81060001\n",
          "host: GetPreferences (472) fails by request with 0x81060387\n",
          "host: GetPreferences (472) called with an unknown context; answered APIERR_BADPARS\n"})
        EXPECT_NE(account.str().find(line), std::string::npos) << line << account.str();

    host.ClearSlot(kAutomateSlot);
    EXPECT_EQ(host.Table()[kAutomateSlot / 8], nullptr);
    std::string saved;
    EXPECT_EQ(host.CaptureView("", &saved), abi::APIERR_NOTSUPPORTED);
    host.RestoreSlot(kAutomateSlot);
    EXPECT_NE(host.Table()[kAutomateSlot / 8], nullptr);
    EXPECT_THROW(host.FailSlot(8, 1), std::out_of_range) << "hostsim serves no slot at 8";
}

TEST(HostSlotsTest, TableServesExactlyItsTenSlots) {
    TempDir dir;
    Host host(QuietOptions(dir.Path()));
    int served = 0;
    for (const void* slot : host.Table()) served += slot != nullptr;
    EXPECT_EQ(served, 10);
    for (std::size_t offset : {40, 200, 464, 472, 480, 488, 536, 624, 632, 648})
        EXPECT_NE(host.Table()[offset / 8], nullptr) << offset;
}

TEST(HostSlotsTest, TheProcessWindowShowsEveryTenthAndThePersonCancelsAtTheChosenShare) {
    TempDir dir;
    std::ostringstream account;
    Options options = QuietOptions(dir.Path());
    options.log = &account;
    Host host(options);
    const auto window = SlotFunction<SelectorFn>(host, kInterfaceSlot);
    const GS::UniString title("Export to KAVELO");
    const GS::UniString phase("Uploading the view");
    Int32 phases = 1;
    Int32 maximum = 1000;
    EXPECT_EQ(window(host.Context(), abi::kSelectorNextProcessPhase, (void*)&phase, &maximum, nullptr),
              abi::APIERR_BADPARS)
        << "no window is open";
    EXPECT_EQ(window(host.Context(), abi::kSelectorInitProcessWindow, (void*)&title, nullptr, nullptr),
              abi::APIERR_BADPARS)
        << "the number of phases is required";
    host.Progress().CancelAt(50);
    ASSERT_EQ(window(host.Context(), abi::kSelectorInitProcessWindow, (void*)&title, &phases, nullptr),
              NoError);
    ASSERT_EQ(window(host.Context(), abi::kSelectorNextProcessPhase, (void*)&phase, &maximum, nullptr),
              NoError);
    for (Int32 value = 0; value <= 1000; value += 25) {
        ASSERT_EQ(window(host.Context(), abi::kSelectorSetProcessValue, &value, nullptr, nullptr), NoError);
        const GSErrCode canceled =
            window(host.Context(), abi::kSelectorIsProcessCanceled, nullptr, nullptr, nullptr);
        EXPECT_EQ(canceled, value >= 500 ? abi::APIERR_CANCEL : NoError) << value;
    }
    EXPECT_EQ(window(host.Context(), abi::kSelectorCloseProcessWindow, nullptr, nullptr, nullptr), NoError);
    EXPECT_FALSE(host.Progress().IsOpen());
    EXPECT_TRUE(host.Progress().Canceled());
    ASSERT_TRUE(host.Progress().CancelReportedAt().has_value());

    const std::string text = account.str();
    EXPECT_NE(text.find("process window: opened \"Export to KAVELO\", 1 phase(s)"), std::string::npos);
    EXPECT_NE(text.find("process window: phase 1 of 1 \"Uploading the view\", bar 0 to 1000"),
              std::string::npos);
    for (int tenth = 0; tenth <= 100; tenth += 10)
        EXPECT_NE(text.find("process window: " + std::to_string(tenth) + "% ("), std::string::npos) << tenth;
    EXPECT_NE(text.find("process window: the person presses Cancel at 50%"), std::string::npos);
    EXPECT_NE(text.find("process window: closed at 100%"), std::string::npos);

    // A report while a window is open is the add-on's fault; after the window, none.
    ASSERT_EQ(window(host.Context(), abi::kSelectorInitProcessWindow, (void*)&title, &phases, nullptr),
              NoError);
    EXPECT_EQ(window(host.Context(), abi::kSelectorIsProcessCanceled, nullptr, nullptr, nullptr), NoError)
        << "a new window starts uncanceled, and the chosen share was used once";
    ASSERT_EQ(Report(host, GS::UniString(u"%s"), 0, "too early"), NoError);
    ASSERT_EQ(host.DialogProblems().size(), 1u);
    EXPECT_NE(host.DialogProblems()[0].find("while the process window was open"), std::string::npos);
    EXPECT_EQ(window(host.Context(), 0x41424344, nullptr, nullptr, nullptr), abi::APIERR_BADPARS);
}

TEST(HostHooksTest, KeepsDebugLinesAndBeeps) {
    TempDir dir;
    Host host(QuietOptions(dir.Path()));
    DBPrintf("Preferences::GetPreferences()\n");
    DBPrintf("prefs.timestampLastRealtimeTab %s\n", "0");
    GSSysBeep();
    ASSERT_EQ(host.DebugLines().size(), 2u);
    EXPECT_EQ(host.DebugLines()[0], "Preferences::GetPreferences()");
    EXPECT_EQ(host.DebugLines()[1], "prefs.timestampLastRealtimeTab 0");
    EXPECT_EQ(host.Beeps(), 1);
}

TEST(HostHooksTest, OnlyOneHostAtATime) {
    TempDir dir;
    Host host(QuietOptions(dir.Path()));
    EXPECT_THROW(Host second(QuietOptions(dir.Path())), std::logic_error);
    EXPECT_THROW(Host noData(Options{}), std::invalid_argument);
}

TEST(BrowserTest, RecordsEveryLaunchAsUtf16AndAsUtf8) {
    TempDir dir;
    Host host(QuietOptions(dir.Path()));
    // Any UTF-16 text is recorded as it arrives, beside its UTF-8 form for the printed account.
    const std::u16string url = u"https://app.kavelo.io/?uploadRealtime=true&imageId=\xFFC3\xFFA9";
    const HINSTANCE result = ShellExecuteW(nullptr, u"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    EXPECT_GT(reinterpret_cast<std::intptr_t>(result), 32);
    ASSERT_EQ(host.Launches().size(), 1u);
    const Launch& launch = host.Launches()[0];
    EXPECT_EQ(launch.operation, u"open");
    EXPECT_EQ(launch.file, url);
    EXPECT_EQ(launch.url, "https://app.kavelo.io/?uploadRealtime=true&imageId=\xEF\xBF\x83\xEF\xBE\xA9");
    EXPECT_EQ(launch.showCommand, SW_SHOWNORMAL);
}

TEST(BrowserTest, HandsTheUrlWholeToTheUsersCommand) {
    TempDir dir;
    const std::string script = dir / "browser.sh";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s|%s' \"$1\" \"$#\" > \"" << dir / "launched.txt"
                          << "\"\n";
    ::chmod(script.c_str(), 0755);
    Options options = QuietOptions(dir.Path());
    options.browser = BrowserMode::Command;
    options.browserCommand = script;
    Host host(options);
    ShellExecuteW(nullptr, u"open", u"https://app.kavelo.io/?a=1&b=two words", nullptr, nullptr,
                  SW_SHOWNORMAL);
    host.Browser().WaitForChildren();
    std::ifstream in(dir / "launched.txt");
    std::string seen;
    std::getline(in, seen);
    EXPECT_EQ(seen, "https://app.kavelo.io/?a=1&b=two words|1") << "one argument, no shell in between";
    ASSERT_EQ(host.Launches().size(), 1u);
    EXPECT_TRUE(host.Launches()[0].started);
}

TEST(BrowserTest, ConfirmLoginWaitsForIdleAndOnlyForLoginPages) {
    TempDir dir;
    Options options = QuietOptions(dir.Path());
    options.browser = BrowserMode::ConfirmLogin;
    Host host(options);
    int confirmed = 0;
    host.Browser().SetLoginConfirmer([&](const std::string& url, std::string* outcome) {
        ++confirmed;
        *outcome = "saw " + url;
        return true;
    });
    ShellExecuteW(nullptr, u"open", u"https://app.kavelo.io/?uploadRealtime=true", nullptr, nullptr, 1);
    ShellExecuteW(nullptr, u"open", u"https://app.kavelo.io/login?eid=1b4e28ba-2fa1-41d2-883f-0016d3cca427",
                  nullptr, nullptr, 1);
    EXPECT_EQ(confirmed, 0) << "a person confirms later, not inside ShellExecuteW";
    host.Idle();
    EXPECT_EQ(confirmed, 1);
    EXPECT_EQ(host.Launches()[1].outcome,
              "login confirmed: saw https://app.kavelo.io/login?eid=1b4e28ba-2fa1-41d2-883f-0016d3cca427");
    EXPECT_EQ(LoginIdOf("https://x.io/login?eid=abc&z=1"), "abc");
    EXPECT_EQ(LoginIdOf("https://x.io/?eid=abc"), "");
}

}  // namespace
}  // namespace hostsim
