// Exports through hostsim and the loaded module to the web application stand-in over verified TLS:
// what goes over the wire, and what the user sees for each answer.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <nlohmann/json.hpp>

#include <boost/asio/ip/tcp.hpp>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "ConnectProxy.hpp"
#include "DGControl.hpp"
#include "ExportFixture.hpp"
#include "GSRootControl.hpp"
#include "HTTPControl.hpp"
#include "IOControl.hpp"
#include "JSONControl.hpp"
#include "browser/LaunchRecord.hpp"

using DG::Control::Action;
using integration::ExportFixture;
using integration::kExportError;
using integration::kLinkId;

namespace {

// Every file below `folder` whose name starts with "KaveloArchiCapture".
std::vector<std::string> CaptureFilesBelow(const std::string& folder) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.path().filename().string().rfind("KaveloArchiCapture", 0) == 0)
            found.push_back(entry.path().string());
    }
    return found;
}

std::string DecodeBase64(const std::string& text) {
    std::string bytes(text.size() / 4 * 3 + 3, '\0');
    const int n =
        EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                        reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    if (n < 0)
        return "<not base64>";
    std::size_t length = static_cast<std::size_t>(n);
    for (std::size_t i = text.size(); i > 0 && text[i - 1] == '='; --i) --length;
    bytes.resize(length);
    return bytes;
}

std::string Header(const webapp::RecordedRequest& request, const std::string& name) {
    for (const auto& field : request.headers) {
        if (strcasecmp(field.first.c_str(), name.c_str()) == 0)
            return field.second;
    }
    return "<missing>";
}

std::vector<GSResID> ShownIds(const std::vector<DG::Control::DialogRecord>& dialogs) {
    std::vector<GSResID> ids;
    for (const auto& dialog : dialogs) ids.push_back(dialog.resId);
    return ids;
}

const std::string kLivePage = "https://app.kavelo.io/?uploadRealtime=true";

}  // namespace

TEST_F(ExportFixture, TheRequestOnTheWireCarriesTheCaptureAndTheIdentifier) {
    Link(kLinkId);
    host_->QueueDialogAnswers({Action::Click(1, 32532)});
    ASSERT_EQ(Export(), NoError);

    const auto requests = server_->Requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& request = requests[0];
    EXPECT_EQ(request.requestLine, "POST /api/v1/images HTTP/1.1");
    EXPECT_EQ(Header(request, "X-Api-Key"), kLinkId);
    EXPECT_EQ(Header(request, "Content-Length"), std::to_string(request.body.size()));
    // The head is the one the body sent in one piece had: these fields in this order, nothing chunked.
    std::vector<std::string> names;
    for (const auto& field : request.headers) names.push_back(field.first);
    EXPECT_EQ(names, (std::vector<std::string>{"X-Api-Key", "Host", "Content-Length"}));
    const auto body = nlohmann::json::parse(request.body);
    EXPECT_EQ(body["name"], "Archicad export");
    EXPECT_EQ(body["source"], "archicad");
    const std::string image = body["image"];
    ASSERT_EQ(image.rfind("data:image/jpeg;base64,", 0), 0u);
    const std::string jpeg = CaptureFileBytes();
    ASSERT_GT(jpeg.size(), 1000u);
    EXPECT_EQ(DecodeBase64(image.substr(23)), jpeg) << "the data URL holds the exact capture file";
    EXPECT_EQ(host_->SlotCalls(kAutomateSlot), 1);

    // Never opened before: the dialog offering "Open live", which opens the new image.
    ASSERT_EQ(server_->Images().size(), 1u);
    const std::string imageId = server_->Images()[0].id;
    EXPECT_EQ(ShownIds(Dialogs()), std::vector<GSResID>{32532});
    ASSERT_EQ(host_->Launches().size(), 1u);
    EXPECT_EQ(host_->Launches()[0].url, kLivePage + "&imageId=" + imageId);
    EXPECT_GT(StoredLiveTabTime(), 0);
    EXPECT_EQ(StoredId(), kLinkId);
    EXPECT_TRUE(host_->Reports().empty());
}

// Behind an office's proxy: the system's proxy (https_proxy) is a CONNECT proxy on loopback, and the
// origin's own way is refused (routed to a port nobody listens on). The image arrives through the proxy.
TEST_F(ExportFixture, TheExportGoesThroughTheSystemsProxyWhereTheDirectWayIsRefused) {
    webapp::ConnectProxy proxy;
    proxy.Route("app.kavelo.io", 443, server_->Port());
    proxy.Start();
    boost::asio::io_context io;
    const std::uint16_t refused =
        boost::asio::ip::tcp::acceptor(io, {boost::asio::ip::make_address("127.0.0.1"), 0})
            .local_endpoint()
            .port();
    HTTP::Control::RouteHost("app.kavelo.io", 443, "127.0.0.1", refused);
    struct SystemProxy {
        explicit SystemProxy(const std::string& url) { setenv("https_proxy", url.c_str(), 1); }
        ~SystemProxy() { unsetenv("https_proxy"); }
    } systemProxy("http://127.0.0.1:" + std::to_string(proxy.Port()));

    Link(kLinkId);
    host_->QueueDialogAnswers({Action::Click(2, 32532)});
    ASSERT_EQ(Export(), NoError);
    EXPECT_TRUE(host_->Reports().empty());
    EXPECT_EQ(proxy.Requests(), std::vector<std::string>{"app.kavelo.io:443"});
    ASSERT_EQ(server_->Images().size(), 1u);
    std::ifstream stored(server_->Images()[0].path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(stored), std::istreambuf_iterator<char>()),
              CaptureFileBytes())
        << "the stored image is the capture, byte for byte";
    EXPECT_EQ(ShownIds(Dialogs()), std::vector<GSResID>{32532});
}

TEST_F(ExportFixture, ARecentlyOpenedLivePageGetsThePlainSuccessDialog) {
    const Int64 now = static_cast<Int64>(std::time(nullptr));
    Link(kLinkId, now - 60);
    host_->QueueDialogAnswers({Action::Click(1, 32531)});
    ASSERT_EQ(Export(), NoError);
    EXPECT_EQ(ShownIds(Dialogs()), std::vector<GSResID>{32531});
    EXPECT_TRUE(host_->Launches().empty());
    EXPECT_EQ(StoredLiveTabTime(), now - 60) << "the preferences are unchanged";
}

// A 201 whose body runs to 30 MiB: the add-on reads its first 64 KiB, enough for the id on the first line,
// and leaves the rest unread, so the answer costs it no more memory than that.
TEST_F(ExportFixture, AHugeAnswerIsReadOnlyAsFarAsTheAddOnNeeds) {
    Link(kLinkId);
    server_->ScriptResponse(201, "{\"id\":\"big\"}\n" + std::string(30 * 1024 * 1024, 'x'));
    host_->QueueDialogAnswers({Action::Click(1, 32532)});
    GS::Control::ResetPeak();
    const auto before = GS::Control::GetMemoryStats();
    Export();
    EXPECT_EQ(host_->Launches().at(0).url, kLivePage + "&imageId=big");
    EXPECT_TRUE(ReportTexts().empty());
    EXPECT_LT(GS::Control::GetMemoryStats().peakBytes - before.liveBytes, 1024 * 1024)
        << "the module's heap grew with the answer: "
        << GS::Control::GetMemoryStats().peakBytes - before.liveBytes;
}

TEST_F(ExportFixture, TheImageIdComesFromTheFirstLineAndEveryLineIsTraced) {
    Link(kLinkId);
    server_->ScriptResponse(201, "{\"id\":\"abc123\"}\nsecond line\n{\"id\":\"not-this\"}");
    host_->QueueDialogAnswers({Action::Click(1, 32532)});
    Export();
    EXPECT_EQ(host_->Launches().at(0).url, kLivePage + "&imageId=abc123");
    const auto& lines = host_->DebugLines();
    for (const char* expected : {"HTTP 201", "Received data: ", "{\"id\":\"abc123\"}", "second line",
                                 "{\"id\":\"not-this\"}", "ImageID abc123"})
        EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected;
}

TEST_F(ExportFixture, AnImageIdFromTheServerReachesTheShellAsOneSafeUrl) {
    Link(kLinkId);
    server_->ScriptResponse(201, "{\"id\":\"a b\\\"c\\r\\n\u00e4&#x\"}");
    Play("export-open-live.hostsim");
    ASSERT_EQ(host_->Launches().size(), 1u);
    const std::u16string url = u"https://app.kavelo.io/?uploadRealtime=true&imageId=a%20b%22c%0D%0A%C3%A4&#x";
    EXPECT_EQ(host_->Launches()[0].file, url);
    std::string error;
    EXPECT_EQ(hostsim::ReadLaunchRecord(host_->Launches()[0].record, &error), url) << "the handler's record";
    const auto& lines = host_->DebugLines();
    EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                           [](const std::string& line) { return line.rfind("ImageID a b\"c\r", 0) == 0; }),
              lines.end())
        << "the trace keeps the id as received";
}

TEST_F(ExportFixture, ACreatedAnswerWithoutAnIdStillShowsSuccess) {
    Link(kLinkId);
    server_->ScriptResponse(201, "stored, thanks\n{\"id\":\"late\"}");
    server_->ScriptResponse(201, "");
    host_->QueueDialogAnswers({Action::Click(1, 32532), Action::Click(1, 32532)});
    Export();
    Export();
    EXPECT_EQ(ShownIds(Dialogs()), (std::vector<GSResID>{32532, 32531}))
        << "the first Open live stamped the time, so the second export gets the plain dialog";
    ASSERT_EQ(host_->Launches().size(), 1u);
    EXPECT_EQ(host_->Launches()[0].url, kLivePage) << "an empty id opens the plain live page";
    EXPECT_TRUE(host_->Reports().empty());
}

TEST_F(ExportFixture, EveryStatusButTheListedOnesIsAnExportError) {
    Link(kLinkId);
    server_->ScriptResponse(200, "{\"id\":\"x\"}");
    server_->ScriptResponse(204, "");
    server_->ScriptResponse(302, "", {{"Location", "https://app.kavelo.io/elsewhere"}});
    server_->ScriptResponse(500, "oops");
    for (int i = 0; i < 4; ++i) Export();
    EXPECT_EQ(ReportTexts(), std::vector<std::string>(4, kExportError));
    EXPECT_EQ(host_->Beeps(), 4);
    EXPECT_TRUE(Dialogs().empty());
    EXPECT_EQ(server_->Requests().size(), 4u) << "the redirect is not followed";
}

TEST_F(ExportFixture, TooLargeHasItsOwnReportOnly) {
    Link(kLinkId);
    server_->ScriptResponse(413, "too big");
    Play("export-too-large.hostsim");
    EXPECT_EQ(ReportTexts().size(), 1u);
    EXPECT_TRUE(Dialogs().empty());
}

TEST_F(ExportFixture, UnauthorizedShowsTheFailureAndTheLinkDialog) {
    Link(kLinkId);
    server_->ScriptResponse(401, "{\"error\":\"unknown key\"}");
    host_->QueueDialogAnswers({Action::Click(1, 32533), Action::Click(2, 32520)});
    Export();
    EXPECT_EQ(ShownIds(Dialogs()), (std::vector<GSResID>{32533, 32520}));
    EXPECT_EQ(StoredId(), kLinkId) << "Cancel changes nothing";
    EXPECT_TRUE(host_->Launches().empty());

    DG::Control::ClearShownDialogs();
    server_->ScriptResponse(401, "");
    Play("export-unauthorized-relink.hostsim");
    const std::string newId = StoredId();
    EXPECT_EQ(newId.size(), 36u);
    EXPECT_NE(newId, kLinkId);
    ASSERT_EQ(host_->Launches().size(), 1u);
    EXPECT_EQ(host_->Launches()[0].url, "https://app.kavelo.io/login?eid=" + newId);
    EXPECT_EQ(server_->Requests().size(), 2u) << "nothing is sent again";
    EXPECT_TRUE(host_->Reports().empty());
}

TEST_F(ExportFixture, FirstUseShowsTheLinkDialogAndNeitherCapturesNorSends) {
    host_->QueueDialogAnswers({Action::Click(2, 32520), Action::Click(1, 32520)});
    Export();
    Export();
    EXPECT_EQ(ShownIds(Dialogs()), (std::vector<GSResID>{32520, 32520}));
    EXPECT_EQ(host_->SlotCalls(kAutomateSlot), 0);
    EXPECT_TRUE(server_->Requests().empty());
    EXPECT_EQ(StoredId().size(), 36u) << "OK linked the add-on for the next export";
}

// A server that answers before it has read the body and closes: the answer it gave decides, not the
// broken write.
TEST_F(ExportFixture, AnAnswerGivenBeforeTheBodyIsThroughIsActedOn) {
    Link(kLinkId);
    server_->AnswerEarlyNext(413);
    Play("export-too-large.hostsim");
    EXPECT_TRUE(Dialogs().empty());

    host_->ClearRecords();
    server_->AnswerEarlyNext(401);
    Play("export-unauthorized-cancel.hostsim");
    EXPECT_EQ(ShownIds(Dialogs()), (std::vector<GSResID>{32533, 32520})) << "the link flow, not an error";
    EXPECT_TRUE(server_->Images().empty());
}

// No picture, no request: the key never goes out with an empty or partial image.
TEST_F(ExportFixture, ACaptureThatCannotBeReadSendsNothing) {
    Link(kLinkId);
    IO::Control::FailNextGetDataLength(-39, 1);  // the length of the capture, after the link store's
    Export();
    GS::Control::FailNextHandleAllocation();
    Export();
    EXPECT_TRUE(server_->Requests().empty());
    EXPECT_EQ(ReportTexts(),
              (std::vector<std::string>{"Error read: Unknown Error", "Error read: APIERR_MEMFULL"}));
    EXPECT_EQ(host_->Beeps(), 2);
    EXPECT_TRUE(Dialogs().empty());
}

// A failed save sends nothing, not even the view of an earlier export.
TEST_F(ExportFixture, AFailedSaveEndsTheExportWithItsOneReport) {
    Link(kLinkId, static_cast<Int64>(std::time(nullptr)));
    host_->QueueDialogAnswers({Action::Click(1, 32531)});
    Export();
    ASSERT_EQ(server_->Requests().size(), 1u);
    ASSERT_FALSE(CaptureFileBytes().empty());
    host_->ClearRecords();
    DG::Control::ClearShownDialogs();

    host_->FailSlot(kAutomateSlot, static_cast<GSErrCode>(0x81060001), 1);
    EXPECT_EQ(Export(), NoError);
    EXPECT_EQ(ReportTexts(), std::vector<std::string>{"Error in APIDo_SaveID (JPEG): APIERR_GENERAL"});
    EXPECT_EQ(host_->Beeps(), 1);
    EXPECT_EQ(server_->Requests().size(), 1u) << "no request reaches the server";
    EXPECT_TRUE(Dialogs().empty());
}

// Each export saves the view into the host's temporary folder under a name of its own and deletes it once
// read: after two exports no picture of the model is left anywhere in the host's data folder.
TEST_F(ExportFixture, TwoExportsLeaveNoCaptureFileInTheDataFolder) {
    Link(kLinkId, static_cast<Int64>(std::time(nullptr)));
    host_->QueueDialogAnswers({Action::Click(1, 32531), Action::Click(1, 32531)});
    Export();
    Export();
    ASSERT_EQ(server_->Requests().size(), 2u);
    EXPECT_TRUE(host_->Reports().empty());
    ASSERT_EQ(host_->SavedViews().size(), 2u);
    for (const hostsim::SavedView& view : host_->SavedViews())
        EXPECT_EQ(std::filesystem::path(view.path).parent_path(),
                  std::filesystem::path(host_->TemporaryFolder()));
    EXPECT_NE(host_->SavedViews()[0].path, host_->SavedViews()[1].path);
    EXPECT_EQ(CaptureFilesBelow(root_ + "/host"), std::vector<std::string>{});

    // And when the export stops after the save.
    GS::Control::FailNextHandleAllocation();
    Export();
    EXPECT_EQ(ReportTexts(), std::vector<std::string>{"Error read: APIERR_MEMFULL"});
    EXPECT_EQ(CaptureFilesBelow(root_ + "/host"), std::vector<std::string>{});
}

// A host that refuses the temporary folder: the capture ends with its report and nothing is saved or sent.
TEST_F(ExportFixture, ARefusedTemporaryFolderEndsTheExportWithItsReport) {
    Link(kLinkId);
    host_->FailSlot(kEnvironmentSlot, static_cast<GSErrCode>(0x81060001), 1);
    Export();
    EXPECT_EQ(ReportTexts(), std::vector<std::string>{"Error in APIEnv_GetSpecFolderID: APIERR_GENERAL"});
    EXPECT_EQ(host_->SlotCalls(kAutomateSlot), 0);
    EXPECT_EQ(server_->Connections().accepted, 0u);
    EXPECT_TRUE(Dialogs().empty());
}

// A body that the JSON conversion could not make is never sent, not even as an empty body with the key:
// the export's failure report, and no connection.
TEST_F(ExportFixture, AFailedJsonConversionSendsNothing) {
    Link(kLinkId);
    JSON::Control::FailNextCreate(static_cast<GSErrCode>(0x81060001));
    Export();
    EXPECT_EQ(ReportTexts(), std::vector<std::string>{kExportError});
    EXPECT_EQ(host_->Beeps(), 1);
    EXPECT_EQ(server_->Connections().accepted, 0u);
    EXPECT_TRUE(server_->Requests().empty());
    EXPECT_TRUE(Dialogs().empty());
    EXPECT_EQ(CaptureFilesBelow(root_ + "/host"), std::vector<std::string>{});
}

TEST_F(ExportFixture, AConnectionDroppedMidBodyIsOneReport) {
    Link(kLinkId);
    server_->DropNextMidBody();
    Export();
    EXPECT_EQ(ReportTexts(), std::vector<std::string>{kExportError});
    EXPECT_TRUE(Dialogs().empty());
}

TEST_F(ExportFixture, NobodyListeningIsOneReport) {
    Link(kLinkId);
    const std::uint16_t port = server_->Port();
    server_->Stop();
    HTTP::Control::RouteHost("app.kavelo.io", 443, "127.0.0.1", port);
    Export();
    EXPECT_EQ(ReportTexts(), std::vector<std::string>{kExportError});
    server_->Start();
}

TEST_F(ExportFixture, AnUnknownAuthorityNeverSeesTheIdentifier) {
    Link(kLinkId);
    HTTP::Control::ClearTrustAnchors();
    Play("export-fails.hostsim");
    EXPECT_EQ(ReportTexts(), std::vector<std::string>{kExportError});
    EXPECT_TRUE(server_->Requests().empty()) << "no request line reached the server";
}

TEST_F(ExportFixture, ACertificateForAnotherHostNeverSeesTheIdentifier) {
    Link(kLinkId);
    webapp::ServerOptions options;
    options.dataDir = root_ + "/impostor";
    options.certificateNames = {"impostor.example"};
    webapp::Server impostor(options);
    impostor.Start();
    HTTP::Control::AddTrustAnchorPem(impostor.CaCertPem());
    HTTP::Control::RouteHost("app.kavelo.io", 443, "127.0.0.1", impostor.Port());
    Export();
    EXPECT_EQ(ReportTexts(), std::vector<std::string>{kExportError});
    EXPECT_TRUE(impostor.Requests().empty()) << "no request line reached the server";
    impostor.Stop();
}

TEST_F(ExportFixture, AServerThatStallsPastTheTimeOutIsOneReport) {
    Link(kLinkId);
    server_->StallNext(std::chrono::seconds(20));
    Play("export-fails.hostsim");
    EXPECT_EQ(ReportTexts(), std::vector<std::string>{kExportError});
    EXPECT_TRUE(Dialogs().empty());
}

// The user interface waits for the answer's head at most one time-out (8 s) after the request, however
// many interim answers come, and for the whole answer at most four (32 s), however steadily it drips.
// Each export below must end in the one export report, without a dialog, within `bound` and a margin.
class HeldAnswerTest : public ExportFixture {
protected:
    void ExpectOneReportAfter(std::chrono::seconds bound) {
        const auto start = std::chrono::steady_clock::now();
        Export();
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(ReportTexts(), std::vector<std::string>{kExportError});
        EXPECT_TRUE(Dialogs().empty());
        EXPECT_GE(waited, bound - std::chrono::milliseconds(100));
        EXPECT_LT(waited, bound + std::chrono::seconds(7));
    }
};

TEST_F(HeldAnswerTest, InterimAnswersCannotHoldTheUserInterface) {
    Link(kLinkId);
    server_->SendInterimAnswersNext(std::chrono::seconds(1), 60);
    ExpectOneReportAfter(std::chrono::seconds(8));
}

TEST_F(HeldAnswerTest, ADrippedAnswerCannotHoldTheUserInterface) {
    Link(kLinkId);
    server_->ScriptResponse(201, "{\"id\":\"slow\"}");
    server_->DripNext(std::chrono::seconds(5));
    ExpectOneReportAfter(std::chrono::seconds(32));
}
