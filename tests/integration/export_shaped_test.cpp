// A 4K export over a slow uplink (a network namespace whose loopback is shaped by a token bucket with a
// queue of a second): the upload takes far longer than one time-out and still ends in the success dialog,
// its writes (and so the bar) keeping pace with the link; a Cancel at half stops it. Needs root and
// iproute2's ip and tc; skipped, saying which is missing, elsewhere.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "DGControl.hpp"
#include "ExportFixture.hpp"
#include "ShapedLink.hpp"

using DG::Control::Action;
using integration::kLinkId;

namespace {

constexpr GSResID kSuccessOpenLive = 32532;

class ShapedExport : public integration::ExportFixture {
protected:
    void SetUp() override {
        const std::string missing = httptest::ShapedLink::Missing();
        if (!missing.empty())
            GTEST_SKIP() << "a shaped link needs " << missing;
        // The link first: the web application's thread and the module's connection are then inside it.
        link_ = std::make_unique<httptest::ShapedLink>(
            httptest::LinkShape{512000, std::chrono::milliseconds(1000)});
        ExportFixture::SetUp();
    }
    void TearDown() override {
        ExportFixture::TearDown();
        link_.reset();
    }
    void ChooseHostOptions(hostsim::Options* options) override {
        options->windowWidth = 3840;
        options->windowHeight = 2160;
    }

    std::unique_ptr<httptest::ShapedLink> link_;
};

double Seconds(std::chrono::steady_clock::duration span) {
    return std::chrono::duration<double>(span).count();
}

}  // namespace

TEST_F(ShapedExport, ASlowUploadSucceedsWithItsWritesKeepingPaceWithTheLink) {
    Link(kLinkId);
    host_->QueueDialogAnswers({Action::Click(2, kSuccessOpenLive)});
    ASSERT_EQ(Export(), NoError);

    EXPECT_TRUE(ReportTexts().empty());
    ASSERT_EQ(Dialogs().size(), 1u);
    EXPECT_EQ(Dialogs()[0].resId, kSuccessOpenLive);
    const auto requests = server_->Requests();
    ASSERT_EQ(requests.size(), 1u);
    ASSERT_TRUE(host_->Progress().LastValueAt().has_value());
    const double drain = Seconds(requests[0].receivedAt - *host_->Progress().LastValueAt());
    RecordProperty("drain_after_last_write_ms", static_cast<int>(drain * 1000));
    // The system's buffers alone would take the whole body within seconds and leave the bar at its end
    // for the twenty the link still needs.
    EXPECT_LT(drain, 3.0) << "the last write returned long before the link had carried the body";
}

TEST_F(ShapedExport, ACancelAtHalfStopsTheSlowUpload) {
    Link(kLinkId);
    host_->Progress().CancelAt(50);
    ASSERT_EQ(Export(), NoError);
    const auto returned = std::chrono::steady_clock::now();

    ASSERT_TRUE(host_->Progress().CancelReportedAt().has_value());
    EXPECT_LT(returned - *host_->Progress().CancelReportedAt(), std::chrono::seconds(1));
    EXPECT_TRUE(Dialogs().empty());
    EXPECT_EQ(ReportTexts(), std::vector<std::string>{"Export to KAVELO canceled."});
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(server_->Requests().empty());
    const std::uint64_t received = server_->Connections().requestBytes;
    EXPECT_GT(received, 0u);
    EXPECT_LT(received, (CaptureFileBytes().size() + 2) / 3 * 4)
        << "fewer bytes than the body reached the server";
}

// The person presses Cancel a few seconds in, whatever the bar shows: the add-on learns of it within a
// second, as it asks after every piece and the pieces follow the link.
TEST_F(ShapedExport, ACancelAfterSomeSecondsIsActedOnWithinASecond) {
    Link(kLinkId);
    host_->Progress().CancelAfter(3);
    ASSERT_EQ(Export(), NoError);

    ASSERT_TRUE(host_->Progress().CancelPressedAt().has_value());
    ASSERT_TRUE(host_->Progress().CancelReportedAt().has_value());
    EXPECT_LT(*host_->Progress().CancelReportedAt() - *host_->Progress().CancelPressedAt(),
              std::chrono::seconds(1));
    EXPECT_TRUE(Dialogs().empty());
    EXPECT_EQ(ReportTexts(), std::vector<std::string>{"Export to KAVELO canceled."});
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(server_->Requests().empty());
}
