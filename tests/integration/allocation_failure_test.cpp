// Allocation failure at every point of every command, as the host's memory manager fails: nothing thrown
// reaches the host, at most the command's one report is shown, the module's memory is back where it was,
// and the next export works.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "DGControl.hpp"
#include "ExportFixture.hpp"
#include "GSRootControl.hpp"
#include "LinkStoreFile.hpp"

using DG::Control::Action;
using integration::ExportFixture;
using integration::kExportError;
using integration::kLinkId;

namespace {

constexpr const char* kGeneralError = "Error: APIERR_GENERAL";
// The capture's buffer could not be had: the export stops before anything is sent.
constexpr const char* kCaptureBufferError = "Error read: APIERR_MEMFULL";

// One command of the sweep; it answers what the host got back (menu commands and messages answer 0).
struct Step {
    std::function<GSErrCode()> run;
    GSResID dialog = 0;  // the dialog the command shows on its normal path, answered with item 1
};

class AllocationFailureTest : public ExportFixture {
protected:
    void TearDown() override {
        GS::Control::FailAllocations(0);
        ExportFixture::TearDown();
    }

    void Answer(GSResID dialog) {
        if (dialog != 0 && host_->PendingDialogAnswers() == 0)
            host_->QueueDialogAnswers({Action::Click(1, dialog)});
    }

    // The memory-manager requests one normal run of `step` makes.
    std::int64_t CountRequests(const Step& step, const std::function<void()>& reset) {
        reset();
        Answer(step.dialog);
        const std::int64_t before = GS::Control::GetMemoryStats().totalBlocks;
        EXPECT_EQ(step.run(), NoError);
        const std::int64_t requests = GS::Control::GetMemoryStats().totalBlocks - before;
        EXPECT_TRUE(host_->Reports().empty()) << "the normal run reports nothing";
        return requests;
    }

    // A linked export that the server accepts, with the plain success dialog.
    void ExpectNormalExport(std::int64_t n) {
        host_->ClearRecords();
        const std::size_t sent = server_->Requests().size();
        Answer(32531);
        EXPECT_EQ(Export(), NoError);
        EXPECT_EQ(server_->Requests().size(), sent + 1) << "after failing request " << n;
        EXPECT_TRUE(host_->Reports().empty()) << "after failing request " << n;
    }

    // For every N from 1 to the count of a normal run: `reset`, then `step` with its Nth request failing.
    // Returns the count.
    std::int64_t Sweep(const Step& step, const std::function<void()>& reset,
                       const std::vector<std::string>& failureReports) {
        const std::int64_t requests = CountRequests(step, reset);
        std::printf("%s: %lld memory-manager requests, each made to fail in turn\n",
                    ::testing::UnitTest::GetInstance()->current_test_info()->name(),
                    static_cast<long long>(requests));
        for (std::int64_t n = 1; n <= requests; ++n) {
            reset();
            host_->ClearRecords();
            Answer(step.dialog);
            const std::int64_t liveBefore = GS::Control::GetMemoryStats().liveBlocks;
            GS::Control::FailAllocations(1, static_cast<int>(n - 1));
            GSErrCode answer = hostsim::abi::APIERR_GENERAL;
            EXPECT_NO_THROW(answer = step.run()) << "failing request " << n;
            GS::Control::FailAllocations(0);
            EXPECT_EQ(answer, NoError) << "failing request " << n;
            EXPECT_EQ(GS::Control::GetMemoryStats().liveBlocks, liveBefore)
                << "the module holds nothing more after failing request " << n;
            const std::vector<std::string> reports = ReportTexts();
            EXPECT_LE(reports.size(), 1u) << "failing request " << n;
            for (const std::string& report : reports)
                EXPECT_NE(std::find(failureReports.begin(), failureReports.end(), report),
                          failureReports.end())
                    << report << ", failing request " << n;
            EXPECT_EQ(host_->Beeps(), static_cast<int>(reports.size()));
            EXPECT_FALSE(host_->Progress().IsOpen())
                << "the process window is left open, failing request " << n;
            EXPECT_EQ(host_->Progress().Opened(), host_->Progress().Closed()) << "failing request " << n;

            // A run that failed before its dialog leaves that dialog's answer unused.
            host_->ClearDialogAnswers();
            Link(kLinkId, static_cast<Int64>(std::time(nullptr)));
            ExpectNormalExport(n);
        }
        return requests;
    }

    void Unlinked() {
        std::string error;
        ASSERT_TRUE(host_->Preferences().Remove(host_->Key(), &error)) << error;
        std::filesystem::remove(testsupport::LinkStoreFile(testsupport::UserRoamingFolder()));
    }
    void Linked() { Link(kLinkId, static_cast<Int64>(std::time(nullptr))); }
};

}  // namespace

TEST_F(AllocationFailureTest, Export) {
    const std::int64_t requests = Sweep(Step{[this] { return Export(); }, 32531}, [this] { Linked(); },
                                        {kExportError, kCaptureBufferError});
    EXPECT_GT(requests, 0);
}

// The live page was opened long ago: the success dialog offers "Open live", which the user takes. What
// fails in the dialog's button is the general report; the dialog closes all the same.
TEST_F(AllocationFailureTest, ExportThenOpenLive) {
    const std::int64_t requests =
        Sweep(Step{[this] { return Export(); }, 32532}, [this] { Link(kLinkId, 0); },
              {kExportError, kGeneralError, kCaptureBufferError});
    EXPECT_GT(requests, 0);
}

TEST_F(AllocationFailureTest, ExportThatLinksTheAccount) {
    const std::int64_t requests =
        Sweep(Step{[this] { return Export(); }, 32520}, [this] { Unlinked(); }, {kExportError});
    EXPECT_GT(requests, 0);
}

// Open the palette, open the live page from its second button, ask whether it is visible, close it.
TEST_F(AllocationFailureTest, Palette) {
    const Step step{[this] {
                        GSErrCode answer = host_->RunMenuCommandByText("Open toolbar");
                        std::string error;
                        host_->ClickPalette(2, &error);  // no palette when its allocation failed
                        GSErrCode visible = NoError;
                        host_->AskPaletteVisible(&visible);
                        const GSErrCode closed = host_->SendPaletteMessage(1);
                        return answer != NoError ? answer : visible != NoError ? visible : closed;
                    },
                    0};
    const std::int64_t requests = Sweep(step, [this] { Linked(); }, {kGeneralError});
    EXPECT_GT(requests, 0);
}

// Unlinking holds nothing of the module's own (the record and the dialog live in the host): the sweep
// may be empty, and then only the normal run is checked.
TEST_F(AllocationFailureTest, Unlink) {
    Sweep(Step{[this] { return host_->RunMenuCommandByText("Unlink account"); }, 32534}, [this] { Linked(); },
          {kGeneralError});
}
