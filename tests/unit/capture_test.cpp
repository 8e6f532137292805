// View capture: the save request into the host's temporary folder under a name of the export's own, the
// read of the capture file, its deletion and the data URL, on every failure path.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Base64.hpp"
#include "Capture.hpp"
#include "ErrorReporting.hpp"
#include "FakeHost.hpp"
#include "GSRootControl.hpp"
#include "IOControl.hpp"

using testsupport::FakeHost;

namespace {

const std::string kPrefix = "data:image/jpeg;base64,";

// "KaveloArchiCapture-" + a version-4 UUID + ".jpeg".
bool IsCaptureName(const std::string& name) {
    const std::string stem = "KaveloArchiCapture-";
    return name.size() == stem.size() + 36 + 5 && name.compare(0, stem.size(), stem) == 0 &&
           name.compare(name.size() - 5, 5, ".jpeg") == 0 && name[stem.size() + 14] == '4';
}

class CaptureTest : public ::testing::Test {
protected:
    // The capture as the export runs it: it reports nothing itself, and what it returns is reported once.
    bool Capture(std::string& url) {
        const std::size_t before = host.reports.size();
        const Failure failure = CaptureViewAsDataUrl(url);
        EXPECT_EQ(host.reports.size(), before) << "the capture leaves its report to its caller";
        ReportFailure(failure);
        return failure.code == NoError;
    }

    void TearDown() override {
        IO::Control::ClearFaults();
        EXPECT_TRUE(host.TemporaryFiles().empty()) << "no capture file stays behind";
    }
    FakeHost host;
};

}  // namespace

TEST_F(CaptureTest, SavedViewBecomesADataUrlOfEveryByte) {
    std::string jpeg = "\xFF\xD8\xFF\xE0";
    for (int i = 0; i < 1000; ++i) jpeg.push_back(static_cast<char>(i * 7));
    host.viewJpeg = jpeg;
    std::string url;
    Capture(url);
    EXPECT_EQ(url, kPrefix + Base64Encode(jpeg, false));
    EXPECT_EQ(url.size(), 23 + 4 * ((jpeg.size() + 2) / 3));
    EXPECT_EQ(url.find('\n'), std::string::npos);
    EXPECT_TRUE(host.reports.empty());
    ASSERT_EQ(host.savePaths.size(), 1u);
    EXPECT_EQ(host.savePaths[0].rfind(host.temporaryFolder, 0), 0u) << "saved into the temporary folder";
    EXPECT_TRUE(host.TemporaryFiles().empty()) << "deleted once read";
}

// Bytes a text-mode read would fold (CR LF) or stop at (0x1A), in a folder whose name is not ASCII.
TEST_F(CaptureTest, EveryByteArrivesFromAFolderWithAUnicodeName) {
    const std::string folder = host.temporaryFolder;
    host.temporaryFolder += "/Ansicht \xC3\xA4\xE2\x82\xAC";
    std::filesystem::create_directory(std::filesystem::u8path(host.temporaryFolder));
    const std::string jpeg("\xFF\xD8\r\n\x1A\r\n\x1A\n\r\0\xFF\xD9", 12);
    host.viewJpeg = jpeg;
    std::string url;
    Capture(url);
    EXPECT_TRUE(host.reports.empty());
    EXPECT_EQ(url, kPrefix + Base64Encode(jpeg, false));
    EXPECT_TRUE(host.TemporaryFiles().empty());
    testsupport::RemoveTree(host.temporaryFolder);
    host.temporaryFolder = folder;
}

// The host writes the capture where the module names it: the temporary folder and a name of the export's
// own joined in the system's own path syntax, a folder that ends in a separator not given a second one.
// Two exports (or two instances of the host) never share a file.
TEST_F(CaptureTest, EachCaptureHasANameOfItsOwnInTheSystemsPathSyntax) {
    const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
    const std::string folder = host.temporaryFolder;
    std::string url;
    Capture(url);
    host.temporaryFolder = folder + separator;
    Capture(url);
    host.temporaryFolder = folder;
    ASSERT_EQ(host.savePaths.size(), 2u);
    for (const std::string& path : host.savePaths) {
        ASSERT_EQ(path.rfind(folder + separator, 0), 0u) << path;
        EXPECT_TRUE(IsCaptureName(path.substr(folder.size() + 1))) << path;
    }
    EXPECT_NE(host.savePaths[0], host.savePaths[1]);
    EXPECT_TRUE(host.reports.empty());
}

// The capture is saved only into the folder the host names: a refused request is its one report, and no
// save is asked for (a bare relative name would land wherever the host's working folder is).
TEST_F(CaptureTest, ARefusedTemporaryFolderIsItsOneReportAndNothingIsSaved) {
    host.FailSlot(kEnvironmentSlot, static_cast<GSErrCode>(0x81060068), 1);
    std::string url;
    EXPECT_FALSE(Capture(url));
    EXPECT_EQ(host.reports, std::vector<std::string>{"Error in APIEnv_GetSpecFolderID: APIERR_BADPARS"});
    EXPECT_EQ(host.Beeps(), 1);
    EXPECT_EQ(host.saveRequests, 0);
    EXPECT_TRUE(url.empty());
}

TEST_F(CaptureTest, EmptyFileGivesThePrefixAlone) {
    host.viewJpeg = std::string();
    std::string url;
    Capture(url);
    EXPECT_EQ(url, kPrefix);
}

// After a failed save nothing is read.
TEST_F(CaptureTest, FailedSaveIsItsOneReportAndNothingIsRead) {
    host.viewJpeg.reset();
    host.FailSlot(kAutomateSlot, static_cast<GSErrCode>(0x81060387));
    std::string url;
    EXPECT_FALSE(Capture(url));
    EXPECT_EQ(host.reports, std::vector<std::string>{"Error in APIDo_SaveID (JPEG): APIERR_NOTSUPPORTED"});
    EXPECT_EQ(host.Beeps(), 1);
    EXPECT_TRUE(url.empty());
}

// Without the whole picture the export stops: each read failure is its one report and gives no URL.
TEST_F(CaptureTest, EveryReadFailureIsItsOneReportAndStopsTheExport) {
    host.viewJpeg = std::string(30, 'J');
    const struct {
        std::function<void()> fault;
        std::string report;
    } cases[] = {
        {[] { IO::Control::FailNextGetDataLength(-39); }, "Error read: Unknown Error"},
        {[] { IO::Control::ShortenNextRead(12); }, "Error read: Unknown Error"},
        {[] { GS::Control::FailNextHandleAllocation(); }, "Error read: APIERR_MEMFULL"},
    };
    for (const auto& c : cases) {
        host.reports.clear();
        const int beeps = host.Beeps();
        c.fault();
        std::string url;
        EXPECT_FALSE(Capture(url)) << c.report;
        EXPECT_EQ(host.reports, std::vector<std::string>{c.report});
        EXPECT_EQ(host.Beeps(), beeps + 1);
        EXPECT_TRUE(url.empty()) << c.report;
        EXPECT_TRUE(host.TemporaryFiles().empty()) << c.report << ": deleted after a failed read too";
    }
}

TEST_F(CaptureTest, HandlesAreReturned) {
    const auto before = GS::Control::GetMemoryStats().liveBlocks;
    std::string url;
    Capture(url);
    IO::Control::ShortenNextRead(3);
    Capture(url);
    EXPECT_EQ(GS::Control::GetMemoryStats().liveBlocks, before);
}
