// View capture: the save request, the read of the capture file and the data URL, on every failure path.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Base64.hpp"
#include "Capture.hpp"
#include "FakeHost.hpp"
#include "GSRootControl.hpp"
#include "IOControl.hpp"

using testsupport::FakeHost;

namespace {

const std::string kPrefix = "data:image/jpeg;base64,";

class CaptureTest : public ::testing::Test {
protected:
    void TearDown() override { IO::Control::ClearFaults(); }
    FakeHost host;
};

}  // namespace

TEST_F(CaptureTest, SavedViewBecomesADataUrlOfEveryByte) {
    std::string jpeg = "\xFF\xD8\xFF\xE0";
    for (int i = 0; i < 1000; ++i) jpeg.push_back(static_cast<char>(i * 7));
    host.viewJpeg = jpeg;
    std::string url;
    CaptureViewAsDataUrl(url);
    EXPECT_EQ(url, kPrefix + Base64Encode(jpeg, false));
    EXPECT_EQ(url.size(), 23 + 4 * ((jpeg.size() + 2) / 3));
    EXPECT_EQ(url.find('\n'), std::string::npos);
    EXPECT_TRUE(host.reports.empty());
    EXPECT_EQ(testsupport::ReadFile(host.CapturePath()), jpeg) << "the capture file stays in the folder";
}

// Bytes a text-mode read would fold (CR LF) or stop at (0x1A), in a folder whose name is not ASCII.
TEST_F(CaptureTest, EveryByteArrivesFromAFolderWithAUnicodeName) {
    host.captureFolder += "/Ansicht \xC3\xA4\xE2\x82\xAC";
    std::filesystem::create_directory(std::filesystem::u8path(host.captureFolder));
    const std::string jpeg("\xFF\xD8\r\n\x1A\r\n\x1A\n\r\0\xFF\xD9", 12);
    host.viewJpeg = jpeg;
    std::string url;
    CaptureViewAsDataUrl(url);
    EXPECT_TRUE(host.reports.empty());
    EXPECT_EQ(url, kPrefix + Base64Encode(jpeg, false));
}

// The host writes the capture where the module names it: the folder and the file name joined in the
// system's own path syntax, a folder that ends in a separator not given a second one.
TEST_F(CaptureTest, TheCaptureIsNamedInTheSystemsPathSyntax) {
    const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
    const std::string folder = host.captureFolder;
    std::string url;
    CaptureViewAsDataUrl(url);
    host.captureFolder = folder + separator;
    CaptureViewAsDataUrl(url);
    const std::string expected = folder + separator + "KaveloArchiCapture.jpeg";
    EXPECT_EQ(host.savePaths, (std::vector<std::string>{expected, expected}));
    EXPECT_TRUE(host.reports.empty());
}

TEST_F(CaptureTest, EmptyFileGivesThePrefixAlone) {
    host.viewJpeg = std::string();
    std::string url;
    CaptureViewAsDataUrl(url);
    EXPECT_EQ(url, kPrefix);
}

// A file left from an earlier export may show another view: after a failed save nothing is read.
TEST_F(CaptureTest, FailedSaveIsItsOneReportAndNothingIsRead) {
    testsupport::WriteFile(host.CapturePath(), "older view");
    host.viewJpeg.reset();
    host.FailSlot(kAutomateSlot, static_cast<GSErrCode>(0x81060387));
    std::string url;
    EXPECT_FALSE(CaptureViewAsDataUrl(url));
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
        EXPECT_FALSE(CaptureViewAsDataUrl(url)) << c.report;
        EXPECT_EQ(host.reports, std::vector<std::string>{c.report});
        EXPECT_EQ(host.Beeps(), beeps + 1);
        EXPECT_TRUE(url.empty()) << c.report;
    }
}

TEST_F(CaptureTest, HandlesAreReturned) {
    const auto before = GS::Control::GetMemoryStats().liveBlocks;
    std::string url;
    CaptureViewAsDataUrl(url);
    IO::Control::ShortenNextRead(3);
    CaptureViewAsDataUrl(url);
    EXPECT_EQ(GS::Control::GetMemoryStats().liveBlocks, before);
}
