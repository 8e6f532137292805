// The Windows hostsim under Wine driving the Windows module: the system loader loads KAVELO.apx, WIC
// writes the view's JPEG, WinHTTP reaches the web application stand-in (running here, natively) through
// a CONNECT proxy, and the person in hostsim's browser confirms the login page over the same way. Each
// case runs hostsim.exe once and checks its account and what the server stored. The Windows build
// registers this program as a test and names hostsim, the module and Wine in the environment.
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "PreferencesStore.hpp"
#include "SlowRelay.hpp"
#include "WebappTestSupport.hpp"
#include "WineRun.hpp"

namespace webapp::test {
namespace {

// The module's "MDID" resource: the key its preferences are kept under.
const hostsim::AddOnKey kModuleKey{0x807DA087u, 0x88A7D9CAu};
const std::string kLivePage = "https://app.kavelo.io/?uploadRealtime=true";
const std::string kLoginPage = "https://app.kavelo.io/login?eid=";
// The account's line of a login page opened; the page's 36-character id follows it.
const std::string kOpenedLogin = "browser: open " + kLoginPage;
// The machine-wide https class, where the recorder registers itself.
const std::string kHttpsClass = "HKLM\\Software\\Classes\\https";

// The scenario file `name` of hostsim's scenarios, which the in-process tests play too.
std::string Scenario(const std::string& name) {
    return Environment("KAVELO_SCENARIOS") + "/" + name;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The path as Wine's Windows programs see a file of this machine: drive Z: is the root.
std::string WindowsPath(std::string path) {
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return "Z:" + path;
}

bool Has(const std::string& output, const std::string& line) {
    return output.find(line + "\n") != std::string::npos;
}

// The UTF-16LE bytes of an ASCII text, as the https handler keeps a URL.
std::string Utf16Le(const std::string& ascii) {
    std::string bytes;
    for (const char c : ascii) bytes += {c, '\0'};
    return bytes;
}

// The files below `folder` whose names start with "KaveloArchiCapture": the module's captures.
std::vector<std::string> CaptureFilesBelow(const std::string& folder) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(std::filesystem::u8path(folder)))
        if (entry.path().filename().u8string().rfind("KaveloArchiCapture", 0) == 0)
            found.push_back(entry.path().u8string());
    return found;
}

class WindowsHostsim : public ProxiedWebappTest {
protected:
    // The prefix's shell opens https URLs with the recorder, as scripts/demo.sh --windows registers it.
    // The prefix user's roaming folder, where the module keeps the link store, as Windows names it
    // (SHGetKnownFolderPath) and as this machine sees it.
    static void SetUpTestSuite() {
        Recorder({"--register"}, "/tmp");
        const WineRun where = RunUnderWine("KAVELO_LINK_STORE_TOOL", {"where"}, 0, "/tmp/link-store-where");
        ASSERT_EQ(where.status, 0) << where.command << "\n" << where.output;
        const std::size_t at = where.output.find("C:\\");
        ASSERT_NE(at, std::string::npos) << where.output;
        std::string path = where.output.substr(at, where.output.find('\n', at) - at);
        path = Environment("KAVELO_WINEPREFIX") + "/drive_c/" + path.substr(3);
        std::replace(path.begin(), path.end(), '\\', '/');
        roaming_ = path;
    }

    static WineRun Recorder(const std::vector<std::string>& arguments, const std::string& folder) {
        const WineRun run = RunUnderWine("KAVELO_URL_RECORDER", arguments, 0, folder + "/recorder-output");
        EXPECT_EQ(run.status == 0, arguments == std::vector<std::string>{"--register"} ||
                                       arguments == std::vector<std::string>{"--unregister"})
            << run.command << "\n"
            << run.output;
        return run;
    }

    // What reg.exe printed for `arguments`; "" when it failed, which must be `expectSuccess` or fails the
    // test.
    std::string Registry(const std::vector<std::string>& arguments, bool expectSuccess = true) {
        const WineRun run = RunRegistryTool(arguments, dataDir_.Path() + "/reg-output");
        EXPECT_EQ(run.status == 0, expectSuccess) << run.command << "\n" << run.output;
        return run.status == 0 ? run.output : std::string();
    }

    // What the https handler received at the run's `number`th launch.
    std::string LaunchRecord(int number) const {
        return ReadFile(hostData_ + "/Launches/0" + std::to_string(number) + ".utf16le");
    }

    // Each case begins with a user who has not linked: the prefix's user is one for all of them.
    void SetUp() override {
        ProxiedWebappTest::SetUp();
        hostData_ = dataDir_.Path() + "/host";
        module_ = Environment("KAVELO_MODULE");
        std::filesystem::remove_all(std::filesystem::u8path(roaming_ + "/KAVELO"));
    }
    void TearDown() override {
        std::filesystem::remove_all(std::filesystem::u8path(roaming_ + "/KAVELO"));
        ProxiedWebappTest::TearDown();
    }

    // Runs hostsim.exe with the module, the stand-in's authority trusted and a person who confirms login
    // pages, then `arguments`.
    WineRun Hostsim(const std::vector<std::string>& arguments, const std::string& window = "320x200") {
        std::vector<std::string> all = {
            "--module",   module_,
            "--data-dir", hostDataArgument_.empty() ? hostData_ : hostDataArgument_,
            "--window",   window,
            "--trust",    caPath_,
            "--browser",  "confirm-login"};
        all.insert(all.end(), arguments.begin(), arguments.end());
        return RunUnderWine("KAVELO_HOSTSIM", all, proxy_.Port(), dataDir_.Path() + "/hostsim-output");
    }

    // Runs the link store tool in the prefix: `arguments` after the command and the application-data
    // folder (by default the user's roaming one, where the module keeps the store).
    WineRun LinkStoreTool(const std::string& command, const std::vector<std::string>& arguments = {},
                          const std::string& folder = roaming_) {
        std::vector<std::string> all = {command, WindowsPath(folder)};
        all.insert(all.end(), arguments.begin(), arguments.end());
        return RunUnderWine("KAVELO_LINK_STORE_TOOL", all, 0, dataDir_.Path() + "/store-output");
    }

    // Stores `id` in the user's link store, protected by Windows' data protection for the prefix's user,
    // and preferences whose live page was last opened long ago (the file format the Windows hostsim shares
    // with the Linux one); links the account on the server.
    void Link(const std::string& id, const std::string& folder = roaming_) {
        const WineRun stored = LinkStoreTool("write", {id}, folder);
        ASSERT_EQ(stored.status, 0) << stored.command << "\n" << stored.output;
        hostsim::StoredPreferences record;
        record.version = 1;
        record.bytes.assign(48, 0);
        std::string error;
        ASSERT_TRUE(hostsim::PreferencesStore(hostData_ + "/Preferences").Save(kModuleKey, record, &error))
            << error;
        server_.LinkAccount(id);
    }

    std::string hostData_;          // where hostsim keeps its data, on this machine
    std::string hostDataArgument_;  // the same folder as hostsim is told it, when not hostData_
    std::string module_;            // the module hostsim loads, as it is told it
    static std::string roaming_;    // the prefix user's roaming application-data folder, on this machine
};

std::string WindowsHostsim::roaming_;

// The user's first use, as scripts/demo.sh --windows plays it: the export asks to link, the login page
// is confirmed, the second export uploads the view, "Open live connection" opens the live page.
TEST_F(WindowsHostsim, TheFirstUseLinksExportsAndUploadsTheJpegHostsimWrote) {
    const WineRun run = Hostsim({"--script", Scenario("first-use.hostsim")});
    EXPECT_EQ(run.status, 0) << run.command << "\n" << run.output;
    EXPECT_EQ(run.output.find('\r'), std::string::npos) << "the account's lines end as on Linux";
    EXPECT_TRUE(Has(run.output,
                    "dialog 32520 \"Link to KAVELO\": Before exporting your renders to KAVELO you "
                    "need to link Archicad to your KAVELO account. Click on OK and login in the "
                    "browser page that will open."))
        << run.output;
    const std::size_t login = run.output.find(kOpenedLogin);
    ASSERT_NE(login, std::string::npos) << run.output;
    const std::string eid = run.output.substr(login + kOpenedLogin.size(), 36);
    EXPECT_TRUE(Has(run.output, "browser: login confirmed: POST /login (eid=" + eid + ") answered 200"))
        << run.output;
    EXPECT_TRUE(Has(run.output, "browser: open " + kLivePage)) << run.output;
    EXPECT_EQ(LaunchRecord(1), Utf16Le(kLoginPage + eid))
        << "the shell handed the login page to the https handler";
    EXPECT_EQ(LaunchRecord(2), Utf16Le(kLivePage));

    ASSERT_EQ(server_.Images().size(), 1u) << run.output;
    const StoredImage image = server_.Images()[0];
    EXPECT_EQ(image.accountId, eid) << "uploaded under the id the login page linked";
    const std::string written = ReadFile(hostData_ + "/SavedView.jpeg");
    ASSERT_GT(written.size(), 1000u);
    EXPECT_EQ(written.compare(0, 3, "\xFF\xD8\xFF"), 0) << "WIC wrote a JPEG";
    EXPECT_EQ(ReadFile(image.path), written) << "the server keeps the exact bytes hostsim wrote";
    EXPECT_TRUE(Has(run.output, "debug: ImageID " + image.id)) << run.output;
    // The origin's name resolves nowhere here: every exchange went through the system's proxy (WinHTTP's
    // default configuration, which Wine takes from http_proxy), the upload's too. (Wine's WinHTTP may
    // carry several exchanges through one tunnel.)
    const std::vector<std::string> tunnels = proxy_.Requests();
    EXPECT_GE(tunnels.size(), 1u);
    EXPECT_EQ(std::count(tunnels.begin(), tunnels.end(), "app.kavelo.io:443"),
              static_cast<std::ptrdiff_t>(tunnels.size()));
    EXPECT_NE(
        run.output.find("host: view saved to " + WindowsPath(hostData_) + "\\Temporary\\KaveloArchiCapture-"),
        std::string::npos)
        << "into the temporary folder, under a name of its own: " << run.output;
    EXPECT_EQ(CaptureFilesBelow(hostData_), std::vector<std::string>{}) << "deleted once read";
    // The module kept the identifier with Windows' data protection in the user's roaming folder, where
    // SHGetKnownFolderPath puts it: protected, and it opens for this user.
    const std::string store = ReadFile(roaming_ + "/KAVELO/AccountLink.dat");
    EXPECT_GT(store.size(), 36u);
    EXPECT_EQ(store.find(eid.substr(0, 8)), std::string::npos);
    EXPECT_EQ(LinkStoreTool("read").output, eid + "\n");
    EXPECT_EQ(ReadFile(hostData_ + "/Preferences/" + kModuleKey.ToString() + ".prefs").find(eid),
              std::string::npos);

    EXPECT_TRUE(Has(run.output, "host: unloaded " + WindowsPath(Environment("KAVELO_MODULE")) +
                                    "; memory manager: 0 live blocks (0 before the load), 0 bytes"))
        << run.output;
    EXPECT_TRUE(Has(run.output,
                    "summary: 0 report(s), 0 beep(s), 2 browser launch(es), 1 view(s) saved, 0 "
                    "failed command(s); module memory balance: 0 live block(s)"))
        << run.output;
}

// A never opened live page: the success dialog's "Open live" hands the shell the live page of the new
// image, its id escaped, and the https handler receives the UTF-16 the module passed, whole. (A
// backslash at the end, unescaped, would take the closing quote of the handler's "%1" with it.)
TEST_F(WindowsHostsim, OpenLiveHandsTheShellTheEscapedIdOfTheImage) {
    Link(kLinkedId);
    server_.ScriptResponse(201, "{\"id\":\"a b\\\"c\\r\\n\u00e4&#x^`{|}\\\\\"}");
    const WineRun run = Hostsim({"--script", Scenario("export-open-live.hostsim")});
    EXPECT_EQ(run.status, 0) << run.command << "\n" << run.output;
    const std::string url = kLivePage + "&imageId=a%20b%22c%0D%0A%C3%A4&#x%5E%60%7B%7C%7D%5C";
    EXPECT_TRUE(Has(run.output, "browser: open " + url)) << run.output;
    EXPECT_EQ(LaunchRecord(1), Utf16Le(url));
    EXPECT_EQ(server_.Requests().size(), 1u);
}

// Without the recorder as the https handler, the shell would hand URLs to the desktop's browser: hostsim
// refuses to launch, says why, and the run fails. The recorder started by anything but hostsim refuses.
TEST_F(WindowsHostsim, LaunchesReachOnlyTheRecorderAndTheRecorderOnlyHostsim) {
    Recorder({"--unregister"}, dataDir_.Path());
    Link(kLinkedId);
    server_.ScriptResponse(201, "{\"id\":\"abc\"}");
    const WineRun refused =
        Hostsim({"--commands", "answer click 1 for 32532; menu Export from current view"});
    Recorder({"--register"}, dataDir_.Path());
    EXPECT_TRUE(WIFEXITED(refused.status) && WEXITSTATUS(refused.status) == 1) << refused.command << "\n"
                                                                               << refused.output;
    // The prefix's own handler is back, and hostsim does not hand it the URL.
    EXPECT_NE(refused.output.find("browser: not handed to the system shell: the program registered for https "
                                  "URLs is "),
              std::string::npos)
        << refused.output;
    EXPECT_NE(refused.output.find(", not " + WindowsPath(Environment("KAVELO_URL_RECORDER")) +
                                  " (\"kavelo-url-recorder.exe --register\" registers it)\n"),
              std::string::npos)
        << refused.output;
    EXPECT_EQ(LaunchRecord(1), "");

    const WineRun stray = Recorder({kLivePage}, dataDir_.Path());
    EXPECT_TRUE(WIFEXITED(stray.status) && WEXITSTATUS(stray.status) == 2) << stray.output;
    EXPECT_NE(stray.output.find("KAVELO_URL_RECORD does not name a record"), std::string::npos)
        << stray.output;
    const WineRun misused = Recorder({"--list"}, dataDir_.Path());
    EXPECT_NE(misused.output.find("usage: kavelo-url-recorder URL"), std::string::npos) << misused.output;
}

// --register keeps the https class it replaces, whole, and --unregister puts it back, also after another
// copy registered and unregistered in between; a program of the recorder's name elsewhere is not the
// recorder to hostsim.
TEST_F(WindowsHostsim, TheRecorderPutsBackTheHandlerItReplacedAndHostsimChecksItsFullPath) {
    const std::string folder = dataDir_.Path();
    const std::string saved = folder + "/https.reg";
    Recorder({"--unregister"}, folder);
    Registry({"export", kHttpsClass, WindowsPath(saved), "/y"});
    Registry({"delete", kHttpsClass, "/f"});
    const std::string other = "\"C:\\elsewhere\\kavelo-url-recorder.exe\" \"%1\"";
    Registry({"add", kHttpsClass + "\\shell\\open\\command", "/ve", "/d", other, "/f"});
    Registry({"add", kHttpsClass + "\\DefaultIcon", "/ve", "/d", "C:\\elsewhere\\icon.ico", "/f"});

    Link(kLinkedId);
    server_.ScriptResponse(201, "{\"id\":\"abc\"}");
    const WineRun refused =
        Hostsim({"--commands", "answer click 1 for 32532; menu Export from current view"});
    EXPECT_NE(refused.output.find("the program registered for https URLs is " + other + ", not " +
                                  WindowsPath(Environment("KAVELO_URL_RECORDER"))),
              std::string::npos)
        << refused.output;
    EXPECT_EQ(LaunchRecord(1), "");

    // Another copy of the recorder is never kept as the handler to put back; a browser is.
    const std::string browser = "\"C:\\elsewhere\\browser.exe\" \"%1\"";
    Registry({"add", kHttpsClass + "\\shell\\open\\command", "/ve", "/d", browser, "/f"});
    Recorder({"--register"}, folder);
    Recorder({"--register"}, folder);  // again: what it replaced the first time is still kept
    const std::string recorder = "\"" + WindowsPath(Environment("KAVELO_URL_RECORDER")) + "\" \"%1\"";
    EXPECT_NE(Registry({"query", kHttpsClass + "\\shell\\open\\command", "/ve"}).find(recorder),
              std::string::npos);
    EXPECT_EQ(Registry({"query", kHttpsClass + "\\DefaultIcon"}, false), "") << "the class is replaced whole";
    // A second copy registers over the first, then unregisters: the browser is back, not the first copy.
    const std::string copy = folder + "/copy/kavelo-url-recorder.exe";
    std::filesystem::create_directories(folder + "/copy");
    std::filesystem::copy_file(Environment("KAVELO_URL_RECORDER"), copy);
    ::setenv("KAVELO_URL_RECORDER_COPY", copy.c_str(), 1);
    RunUnderWine("KAVELO_URL_RECORDER_COPY", {"--register"}, 0, folder + "/copy-output");
    RunUnderWine("KAVELO_URL_RECORDER_COPY", {"--unregister"}, 0, folder + "/copy-output");
    Recorder({"--unregister"}, folder);  // not the registered handler: leaves it
    EXPECT_NE(Registry({"query", kHttpsClass + "\\shell\\open\\command", "/ve"}).find(browser),
              std::string::npos);
    EXPECT_NE(Registry({"query", kHttpsClass + "\\DefaultIcon", "/ve"}).find("C:\\elsewhere\\icon.ico"),
              std::string::npos);
    EXPECT_EQ(Registry({"query", "HKLM\\Software\\KAVELO"}, false), "") << "the recorder leaves nothing";

    // The prefix as the suite had it: its own handler kept by the recorder's registration.
    Registry({"delete", kHttpsClass, "/f"});
    Registry({"import", WindowsPath(saved)});
    Recorder({"--register"}, folder);
}

TEST_F(WindowsHostsim, UnauthorizedShowsTheFailureAndTheLinkFlowOpensTheLoginPage) {
    Link(kLinkedId);
    server_.ScriptResponse(401, "{\"error\":\"unknown key\"}");
    const WineRun run = Hostsim({"--script", Scenario("export-unauthorized-relink.hostsim")});
    EXPECT_EQ(run.status, 0) << run.command << "\n" << run.output;
    const std::size_t login = run.output.find(kOpenedLogin);
    ASSERT_NE(login, std::string::npos) << run.output;
    const std::string eid = run.output.substr(login + kOpenedLogin.size(), 36);
    EXPECT_NE(eid, kLinkedId) << "a new id is linked";
    EXPECT_TRUE(Has(run.output, "browser: login confirmed: POST /login (eid=" + eid + ") answered 200"))
        << run.output;
    EXPECT_EQ(server_.Requests().size(), 3u) << "the upload, then the login page and its form";
}

// A server that answers before it has read a large view's body and closes: the add-on acts on that
// answer (the too-big report; the failure dialog and the link dialog), not on the broken write.
TEST_F(WindowsHostsim, AnAnswerGivenBeforeTheBodyIsThroughIsActedOn) {
    Link(kLinkedId);
    server_.AnswerEarlyNext(413);
    const WineRun tooBig = Hostsim({"--script", Scenario("export-too-large.hostsim")}, "1920x1080");
    EXPECT_EQ(tooBig.status, 0) << tooBig.output;

    server_.AnswerEarlyNext(401);
    const WineRun unlinked =
        Hostsim({"--script", Scenario("export-unauthorized-cancel.hostsim")}, "1920x1080");
    EXPECT_EQ(unlinked.status, 0) << unlinked.output;
    EXPECT_NE(unlinked.output.find("dialog 32533"), std::string::npos) << unlinked.output;
    EXPECT_TRUE(server_.Images().empty());
}

TEST_F(WindowsHostsim, TooLargeIsReportedAndAnUnloadWithoutReleaseIsAbnormal) {
    Link(kLinkedId);
    server_.ScriptResponse(413, "too big");
    const WineRun run = Hostsim({"--no-release", "--script", Scenario("export-too-large.hostsim")});
    EXPECT_TRUE(Has(run.output, "debug: Abnormal add-on termination (\"" +
                                    WindowsPath(Environment("KAVELO_MODULE")) + "\")"))
        << run.output;
    EXPECT_TRUE(server_.Images().empty());
}

TEST_F(WindowsHostsim, AnUntrustedCertificateStopsTheExportBeforeAnyRequest) {
    Link(kLinkedId);
    std::vector<std::string> arguments = {"--module",   Environment("KAVELO_MODULE"),
                                          "--data-dir", hostData_,
                                          "--script",   Scenario("export-fails.hostsim")};
    const WineRun run = RunUnderWine("KAVELO_HOSTSIM", arguments, proxy_.Port(), dataDir_.Path() + "/out");
    EXPECT_EQ(run.status, 0) << run.command << "\n" << run.output;
    EXPECT_TRUE(server_.Requests().empty()) << "no request reached the server";
    EXPECT_EQ(proxy_.Requests().size(), 1u) << "the client reached the server and stopped at its certificate";
}

// WinHTTP gives up on a server that accepted the upload and never answers: one export report, no dialog.
// Without the system's TCP statistics (Wine) a streamed body counts as arriving up to four time-outs after
// its last write, and the head's wait of one more counts from then: the server stays silent past those 40 s.
TEST_F(WindowsHostsim, AStalledServerEndsInTheExportReport) {
    Link(kLinkedId);
    server_.StallNext(std::chrono::seconds(50));
    const WineRun run = Hostsim({"--script", Scenario("export-fails.hostsim")});
    EXPECT_EQ(run.status, 0) << run.command << "\n" << run.output;
    EXPECT_EQ(run.output.find("dialog "), std::string::npos) << run.output;
    EXPECT_EQ(server_.Requests().size(), 1u) << "the upload itself went out";
    EXPECT_TRUE(server_.Images().empty());
}

// The fault switches with the Windows module: a failed save ends the export before any request; a request
// of the module's own operator new made to fail ends the next one in its one report; the third goes out,
// and the module leaves no memory behind.
TEST_F(WindowsHostsim, FaultSwitchesFailTheSaveAndAnAllocation) {
    Link(kLinkedId);
    const WineRun run =
        Hostsim({"--commands",
                 "fail-slot 648 0x81060001; menu Export from current view; expect-reports 1; "
                 "fail-allocation 5; menu Export from current view; expect-reports 2; "
                 "answer click 2 for 32532; menu Export from current view; expect-reports 2"});
    EXPECT_EQ(run.status, 0) << run.command << "\n" << run.output;
    EXPECT_TRUE(Has(run.output, "Error in APIDo_SaveID (JPEG): APIERR_GENERAL")) << run.output;
    EXPECT_TRUE(Has(run.output, "Error on exporting image to KAVELO. Please try again: Unknown Error"))
        << run.output;
    EXPECT_EQ(server_.Images().size(), 1u);
}

// The Windows hostsim serves the process window too: the export's bar runs under the title and phase
// from the module's resources, and a Cancel at half stops the upload with its one plain report line.
TEST_F(WindowsHostsim, TheProcessWindowShowsTheUploadAndItsCancelStopsIt) {
    Link(kLinkedId);
    const WineRun run = Hostsim(
        {"--commands", "cancel-at 50; menu Export from current view; expect-reports 1; expect-beeps 0"});
    EXPECT_EQ(run.status, 0) << run.command << "\n" << run.output;
    EXPECT_TRUE(Has(run.output, "process window: opened \"Export to KAVELO\", 2 phase(s)")) << run.output;
    EXPECT_NE(run.output.find("process window: phase 2 of 2 \"Uploading the view\", bar 0 to "),
              std::string::npos)
        << run.output;
    // The first piece is already past half of this small body: the Cancel comes when the bar passes 50%.
    EXPECT_NE(run.output.find("process window: the person presses Cancel at "), std::string::npos)
        << run.output;
    EXPECT_TRUE(Has(run.output, "Export to KAVELO canceled.")) << run.output;
    EXPECT_NE(run.output.find("process window: closed at "), std::string::npos) << run.output;
    EXPECT_TRUE(server_.Images().empty());
}

// A link that takes a few KB every few seconds (about 1.6 KB/s), Cancel pressed 3 s into a large view's
// upload: the export ends as canceled, with no failure report and no image. Without the system's TCP
// statistics (Wine) the system takes the whole body at once and nothing tells when it has gone, so the
// add-on learns of the Cancel only when the wait for the answer ends: at most the answer's allowance
// after the last write (four time-outs) and one time-out for its head.
TEST_F(WindowsHostsim, ACancelOnASlowAndSteadyLinkIsToldAsCanceled) {
    Link(kLinkedId);
    httptest::SlowRelay relay(server_.Port(), 1500, std::chrono::milliseconds(700), 2304);
    proxy_.Route("app.kavelo.io", 443, relay.Port());
    const WineRun run = Hostsim(
        {"--commands", "cancel-after 3; menu Export from current view; expect-reports 1; expect-beeps 0"},
        "1920x1080");
    EXPECT_EQ(run.status, 0) << run.command << "\n" << run.output;
    EXPECT_TRUE(Has(run.output, "report: Export to KAVELO canceled.")) << run.output;
    const std::string told = "process window: the add-on is told of the cancel ";
    const std::size_t at = run.output.find(told);
    ASSERT_NE(at, std::string::npos) << run.output;
    // The system takes the whole body at once: the flushes after it ask for the Cancel every second, and
    // the answer's wait after them holds the add-on one time-out at most.
    EXPECT_LT(std::stol(run.output.substr(at + told.size())), 8000 + 2000) << run.output;
    EXPECT_TRUE(server_.Images().empty());
}

// A person at a Windows console (lines end in CR LF): the link dialog drawn as text, Cancel first and
// nothing opened, then OK and the login page handed to the shell and confirmed.
TEST_F(WindowsHostsim, APersonAtTheConsoleCancelsThenLinks) {
    const std::string input = dataDir_.Path() + "/console";
    std::ofstream(input, std::ios::binary) << "menu Export from current view\r\n2\r\n"
                                              "menu Export from current view\r\n1\r\nquit\r\n";
    const WineRun run =
        RunUnderWine("KAVELO_HOSTSIM",
                     {"--module", Environment("KAVELO_MODULE"), "--data-dir", hostData_, "--trust", caPath_,
                      "--browser", "confirm-login", "--interactive", "--hide-debug"},
                     proxy_.Port(), dataDir_.Path() + "/hostsim-output", input);
    EXPECT_EQ(run.status, 0) << run.command << "\n" << run.output;
    const std::string drawn = "== Link to KAVELO == (dialog 32520)\n";
    const std::size_t first = run.output.find(drawn);
    ASSERT_NE(first, std::string::npos) << run.output;
    EXPECT_NE(run.output.find(drawn, first + 1), std::string::npos) << "asked again after Cancel";
    EXPECT_EQ(run.output.find("Not a choice"), std::string::npos) << run.output;
    const std::size_t login = run.output.find(kOpenedLogin);
    ASSERT_NE(login, std::string::npos) << run.output;
    EXPECT_GT(login, run.output.find(drawn, first + 1)) << "nothing opened before the OK";
    const std::string eid = run.output.substr(login + kOpenedLogin.size(), 36);
    EXPECT_TRUE(Has(run.output, "browser: login confirmed: POST /login (eid=" + eid + ") answered 200"))
        << run.output;
    EXPECT_EQ(LaunchRecord(1), Utf16Le(kLoginPage + eid));
    EXPECT_TRUE(server_.Images().empty()) << "no export without a linked account";
}

// Every folder the module meets named beyond ASCII and with spaces, as architects' user names often are:
// the host's data folder (special folders, the capture file, preferences) under the user's profile, the
// module in an add-ons folder of its own. The main job and an unload without release run there, and
// nothing the module writes or reads lands at a mangled path.
TEST_F(WindowsHostsim, TheMainJobRunsInFoldersNamedBeyondAscii) {
    const std::string user = "Jos\u00e9 Zo\u00eb \u65e5\u672c";
    const std::filesystem::path users =
        std::filesystem::u8path(Environment("KAVELO_WINEPREFIX") + "/drive_c/users");
    const std::filesystem::path profile = users / std::filesystem::u8path(user);
    struct Removed {
        std::filesystem::path folder;
        ~Removed() { std::filesystem::remove_all(folder); }
    } removed{profile};
    const std::filesystem::path moduleFolder =
        profile / std::filesystem::u8path("Add-Ons/KAVELO \u65e5\u672c");
    std::filesystem::create_directories(moduleFolder);
    std::filesystem::copy_file(Environment("KAVELO_MODULE"), moduleFolder / "KAVELO.apx");
    const std::string windowsProfile = "C:\\users\\" + user;
    module_ = windowsProfile + "\\Add-Ons\\KAVELO \u65e5\u672c\\KAVELO.apx";
    hostDataArgument_ = windowsProfile + "\\AppData\\Roaming\\Archicad";
    hostData_ = (profile / "AppData/Roaming/Archicad").u8string();

    const WineRun run = Hostsim({"--commands",
                                 "answer click 1 for 32520; menu Export from current view; browser; "
                                 "answer click 1 for 32531; menu Export from current view; "
                                 "expect-dialog Export to KAVELO succeeded; menu Open live connection; "
                                 "expect-launches 2; expect-prefs 48; answer click 1 for 32534; "
                                 "menu Unlink account; expect-prefs none; expect-reports 0"});
    EXPECT_EQ(run.status, 0) << run.command << "\n" << run.output;
    ASSERT_EQ(server_.Images().size(), 1u) << run.output;
    const std::string written = ReadFile(hostData_ + "/SavedView.jpeg");
    ASSERT_GT(written.size(), 1000u);
    EXPECT_EQ(ReadFile(server_.Images()[0].path), written)
        << "the server keeps the exact bytes hostsim wrote";
    const std::string saved = "host: view saved to " + hostDataArgument_ + "\\Temporary\\KaveloArchiCapture-";
    const std::size_t savedAt = run.output.find(saved);
    ASSERT_NE(savedAt, std::string::npos) << run.output;
    // "KaveloArchiCapture-" + a UUID + ".jpeg": a name of the export's own.
    const std::string line =
        run.output.substr(savedAt + saved.size(), run.output.find('\n', savedAt) - savedAt - saved.size());
    EXPECT_EQ(line.substr(36), ".jpeg (320x200, " + std::to_string(written.size()) + " bytes)") << run.output;
    EXPECT_EQ(LaunchRecord(2), Utf16Le(kLivePage));
    EXPECT_TRUE(Has(run.output, "host: unloaded " + module_ +
                                    "; memory manager: 0 live blocks (0 before the load), 0 bytes"))
        << run.output;

    // What the run left in the user's folder, and no folder or file beside it that a narrow
    // conversion would have made ("Jos?", "Jos\u00c3\u00a9").
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(profile))
        left.push_back(std::filesystem::relative(entry.path(), profile).generic_u8string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left,
              (std::vector<std::string>{
                  "Add-Ons", "Add-Ons/KAVELO \u65e5\u672c", "Add-Ons/KAVELO \u65e5\u672c/KAVELO.apx",
                  "AppData", "AppData/Roaming", "AppData/Roaming/Archicad", "AppData/Roaming/Archicad/Cache",
                  "AppData/Roaming/Archicad/Launches", "AppData/Roaming/Archicad/Launches/01.utf16le",
                  "AppData/Roaming/Archicad/Launches/02.utf16le", "AppData/Roaming/Archicad/Preferences",
                  "AppData/Roaming/Archicad/SavedView.jpeg", "AppData/Roaming/Archicad/Temporary"}));
    for (const auto& entry : std::filesystem::directory_iterator(users)) {
        const std::string name = entry.path().filename().u8string();
        EXPECT_TRUE(name.rfind("Jos", 0) != 0 || name == user) << name;
    }

    const WineRun unreleased = Hostsim({"--no-release", "--commands", "expect-prefs none"});
    EXPECT_TRUE(Has(unreleased.output, "debug: Abnormal add-on termination (\"" + module_ + "\")"))
        << unreleased.output;
}

// A store protected in another prefix, by another user, as a copied profile or a shared folder would bring
// it: Windows' data protection does not open it for this user, so the add-on counts as not linked, says so
// once and asks to link; nothing is sent.
TEST_F(WindowsHostsim, AStoreProtectedInAnotherPrefixCountsAsNotLinked) {
    const std::string otherPrefix = Environment("KAVELO_OTHER_WINEPREFIX");
    // This user's roaming folder, as the other prefix reaches it.
    const std::string folder = WindowsPath(roaming_);
    const WineRun written =
        RunUnderWineAs("KAVELO_LINK_STORE_TOOL", {"write", folder, kLinkedId}, otherPrefix,
                       "kavelo-other-user", dataDir_.Path() + "/other-output");
    ASSERT_EQ(written.status, 0) << written.command << "\n" << written.output;
    const WineRun readThere = RunUnderWineAs("KAVELO_LINK_STORE_TOOL", {"read", folder}, otherPrefix,
                                             "kavelo-other-user", dataDir_.Path() + "/other-output");
    EXPECT_EQ(readThere.output, std::string(kLinkedId) + "\n") << "it opens for the user who protected it";
    EXPECT_EQ(LinkStoreTool("read").output, "none\n") << "and for nobody else";
    server_.LinkAccount(kLinkedId);

    const WineRun run = Hostsim({"--commands",
                                 "answer click 2 for 32520; menu Export from current view; expect-reports 1; "
                                 "expect-dialog Link to KAVELO"});
    EXPECT_EQ(run.status, 0) << run.command << "\n" << run.output;
    EXPECT_NE(run.output.find("The link to your KAVELO account stored for this user cannot be read. Please "
                              "link again: APIERR_GENERAL\n"),
              std::string::npos)
        << run.output;
    EXPECT_TRUE(server_.Requests().empty());
    EXPECT_EQ(run.output.find(std::string(kLinkedId).substr(0, 5)), std::string::npos) << run.output;
}

// A user who linked with the last build, which kept the store in the host's cache folder: the exports go
// out with that identifier, the store is then in the roaming folder Windows names (SHGetKnownFolderPath)
// and gone from the cache folder, and no capture is left behind. The user then cleans the host's cache
// folder: the next run still exports linked.
TEST_F(WindowsHostsim, ALinkOfTheLastBuildMovesToTheRoamingFolderAndOutlivesTheCache) {
    Link(kLinkedId, hostData_ + "/Cache");
    const std::string exportTwice =
        "answer click 2 for 32532; menu Export from current view; answer click 2 for 32532; "
        "menu Export from current view; expect-reports 0";
    const WineRun run = Hostsim({"--commands", exportTwice});
    EXPECT_EQ(run.status, 0) << run.command << "\n" << run.output;
    ASSERT_EQ(server_.Images().size(), 2u) << run.output;
    EXPECT_TRUE(Has(run.output, "debug: LinkStore::Read: moved from the host's cache folder")) << run.output;
    EXPECT_EQ(LinkStoreTool("read").output, std::string(kLinkedId) + "\n");
    EXPECT_FALSE(std::filesystem::exists(hostData_ + "/Cache/KAVELO"));
    EXPECT_EQ(CaptureFilesBelow(hostData_), std::vector<std::string>{});

    std::filesystem::remove_all(hostData_ + "/Cache");
    const WineRun again = Hostsim({"--commands",
                                   "answer click 2 for 32532; menu Export from current view; "
                                   "expect-reports 0"});
    EXPECT_EQ(again.status, 0) << again.command << "\n" << again.output;
    ASSERT_EQ(server_.Images().size(), 3u) << again.output;
    for (const StoredImage& image : server_.Images()) EXPECT_EQ(image.accountId, kLinkedId);
}

// What the Windows hostsim cannot do is refused before anything is loaded, naming the option.
// Run by shaped-wine.sh inside a namespace whose uplink is slow (ctest hostsim_wine_shaped): a 4K export
// whose body the system still holds long after WinHTTP took its last piece (Wine gives no TCP statistics)
// ends in the success dialog, not in a time-out of the answer's head.
TEST_F(WindowsHostsim, A4KExportOverASlowUplinkEndsInTheSuccessDialog) {
    if (std::getenv("KAVELO_SHAPED_LINK") == nullptr)
        GTEST_SKIP() << "runs over a shaped link only (ctest hostsim_wine_shaped)";
    Link(kLinkedId);
    server_.ScriptResponse(201, "{\"id\":\"shaped\"}");
    const WineRun run =
        Hostsim({"--commands", "answer click 2 for 32532; menu Export from current view; expect-reports 0"},
                "3840x2160");
    EXPECT_EQ(run.status, 0) << run.command << "\n" << run.output;
    EXPECT_TRUE(Has(run.output, "process window: closed at 100%")) << run.output;
    EXPECT_EQ(server_.Requests().size(), 1u);
}

// On Windows a DLL's static destructors run under the loader lock, where the dialog library must not be
// called: the palette, shown or closed by the user (then kept hidden and shown again), goes in FreeData.
// Hidden by the host on the plan, "Open toolbar" there keeps it, and it shows again in the 3D window.
TEST_F(WindowsHostsim, ThePaletteIsDestroyedInTheReleaseEntryNotAtUnload) {
    const WineRun run =
        Hostsim({"--commands",
                 "menu Open toolbar; palette-close; collect; expect-palette hidden; "
                 "menu Open toolbar; expect-palette visible; window plan; expect-palette hidden; "
                 "menu Open toolbar; expect-palette hidden; window 3d; expect-palette visible; "
                 "palette-close"});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(Has(run.output, "collected: 0")) << run.output;
    EXPECT_TRUE(Has(run.output, "palette: window destroyed in the release entry")) << run.output;
    EXPECT_EQ(run.output.find("palette: window destroyed at unload"), std::string::npos) << run.output;
    const std::size_t destroyed = run.output.find("palette: window destroyed");
    EXPECT_LT(destroyed, run.output.find("host: release answered")) << run.output;
    EXPECT_EQ(run.output.find("palette: window destroyed", destroyed + 1), std::string::npos)
        << "destroyed once: " << run.output;
}

TEST_F(WindowsHostsim, OptionsWindowsLacksAreRefusedByName) {
    const std::vector<std::vector<std::string>> refused = {{"--browser", "chromium"},
                                                           {"--browser", "xdg-open"},
                                                           {"--route", "app.kavelo.io:443=127.0.0.1:1"},
                                                           {"--user-profile", "C:\\users\\other"}};
    for (const std::vector<std::string>& options : refused) {
        const WineRun run = Hostsim(options);
        EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 2) << run.command << "\n"
                                                                           << run.output;
        EXPECT_NE(run.output.find("hostsim: " + options[0] + " "), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("host: loaded"), std::string::npos) << run.output;
    }
}

}  // namespace
}  // namespace webapp::test
