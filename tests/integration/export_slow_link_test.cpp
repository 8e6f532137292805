// Exports to a server on loopback that takes the request slowly through a small receive buffer, a few KB
// every few seconds (a link that is slow and steady, never silent), and Cancels pressed at any moment: the
// user is told that the link is too slow or that the export was canceled, never that it failed, and a
// Cancel is acted on within seconds.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "Certificates.hpp"
#include "DGControl.hpp"
#include "ExportFixture.hpp"
#include "HTTPControl.hpp"
#include "SlowRelay.hpp"
#include "TlsTestServer.hpp"

using DG::Control::Action;
using integration::kExportError;
using integration::kLinkId;
using std::chrono::milliseconds;
using std::chrono::seconds;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kTooSlow =
    "The connection to KAVELO is too slow. Please try again later: Unknown Error";
constexpr const char* kCanceled = "Export to KAVELO canceled.";
constexpr GSResID kSuccessOpenLive = 32532;

const webapp::CertificateAuthority& Authority() {
    static const webapp::CertificateAuthority ca = webapp::MakeAuthority("KAVELO slow link authority");
    return ca;
}

double Seconds(Clock::duration span) {
    return std::chrono::duration<double>(span).count();
}

// The origin routed through a slow relay to a TLS server of its own, which answers 201 once it has the
// request.
class SlowLinkExport : public integration::ExportFixture {
protected:
    SlowLinkExport() : slow_(webapp::IssueServerCertificate(Authority(), {"app.kavelo.io"})) {}

    void SetUp() override {
        ExportFixture::SetUp();
        HTTP::Control::AddTrustAnchorPem(Authority().certPem);
        httptest::Behaviour behaviour;
        behaviour.response = "HTTP/1.1 201 Created\r\nContent-Length: 12\r\n\r\n{\"id\":\"abc\"}";
        slow_.SetBehaviour(behaviour);
    }
    void TearDown() override {
        ExportFixture::TearDown();
        relay_.reset();
    }
    void ChooseHostOptions(hostsim::Options* options) override {
        options->windowWidth = width_;
        options->windowHeight = height_;
    }
    // The link takes `bytes` every `every` through a receive buffer of `buffer` bytes.
    void TakeSlowly(std::size_t bytes, milliseconds every, int buffer) {
        relay_ = std::make_unique<httptest::SlowRelay>(slow_.Port(), bytes, every, buffer);
        HTTP::Control::RouteHost("app.kavelo.io", 443, "127.0.0.1", relay_->Port());
    }
    // Runs the export; how long it took.
    double TimedExport() {
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(Export(), NoError);
        return Seconds(Clock::now() - start);
    }
    // A link that takes 2.3 KB every 3.2 s (the system's own steps with a buffer this small) ends with the
    // too-slow report once the connection's lowest rate gives up, 30 s into the body, and nothing else.
    void ExpectTooSlowAtAFewKBEveryFewSeconds() {
        Link(kLinkId);
        TakeSlowly(1500, milliseconds(1600), 2304);
        const double took = TimedExport();
        EXPECT_EQ(ReportTexts(), std::vector<std::string>{kTooSlow});
        EXPECT_TRUE(Dialogs().empty());
        EXPECT_EQ(host_->Beeps(), 1);
        EXPECT_GT(took, 29.0) << "not before the lowest rate had 30 s to judge";
        EXPECT_LT(took, 45.0);
        EXPECT_TRUE(slow_.Requests().empty()) << "the body never arrived whole";
    }
    // How long after the person pressed Cancel the export ended.
    double EndedAfterThePress(Clock::time_point ended) {
        const auto pressed = host_->Progress().CancelPressedAt();
        EXPECT_TRUE(pressed.has_value());
        return pressed ? Seconds(ended - *pressed) : 0;
    }

    int width_ = 320;
    int height_ = 200;
    httptest::TlsTestServer slow_;
    std::unique_ptr<httptest::SlowRelay> relay_;
};

// A view large enough that the body is still being written a minute in.
class LargeViewSlowLinkExport : public SlowLinkExport {
protected:
    LargeViewSlowLinkExport() {
        width_ = 1920;
        height_ = 1080;
    }
};

}  // namespace

// The system takes a small view's body at once, and the link carries it at about 0.7 KB/s, until the
// connection's lowest rate gives up after the last write, while the add-on waits for the body to arrive.
TEST_F(SlowLinkExport, ALinkTooSlowAfterTheLastWriteIsToldAsTooSlow) {
    ExpectTooSlowAtAFewKBEveryFewSeconds();
}

// A large view: the lowest rate gives up while the body is being written.
TEST_F(LargeViewSlowLinkExport, ALinkTooSlowInsideAWriteIsToldAsTooSlow) {
    ExpectTooSlowAtAFewKBEveryFewSeconds();
}

// Cancels 3 s and 8 s into a body that goes at about 1.6 KB/s: each is acted on within about 2 s, and the
// user is only told that the export was canceled.
TEST_F(LargeViewSlowLinkExport, ACancelWhileTheBodyGoesIsActedOnWithinSeconds) {
    Link(kLinkId);
    TakeSlowly(1500, milliseconds(700), 2304);
    for (const int after : {3, 8}) {
        host_->Progress().CancelAfter(after);
        EXPECT_EQ(Export(), NoError);
        const double late = EndedAfterThePress(Clock::now());
        EXPECT_LT(late, 4.0) << "Cancel at " << after << " s";
        RecordProperty("ended_after_cancel_at_" + std::to_string(after) + "_s_ms",
                       static_cast<int>(late * 1000));
        EXPECT_EQ(ReportTexts(), std::vector<std::string>{kCanceled}) << "Cancel at " << after << " s";
        EXPECT_TRUE(Dialogs().empty());
        EXPECT_EQ(host_->Beeps(), 0) << "a Cancel is no failure";
        EXPECT_TRUE(slow_.Requests().empty());
        host_->ClearRecords();
    }
}

// The web application stand-in takes the body at once and answers 5 s later; the person presses Cancel 3 s
// in, while the answer is awaited. A created image exists and is shown as such; any other answer, or none
// within the time-out, ends as canceled without a failure report.
TEST_F(SlowLinkExport, ACancelWhileTheAnswerIsAwaitedEndsByTheAnswer) {
    Link(kLinkId);
    HTTP::Control::RouteHost("app.kavelo.io", 443, "127.0.0.1", server_->Port());

    server_->StallNext(seconds(5));
    host_->Progress().CancelAfter(3);
    host_->QueueDialogAnswers({Action::Click(2, kSuccessOpenLive)});
    EXPECT_EQ(Export(), NoError);
    EXPECT_TRUE(ReportTexts().empty());
    ASSERT_EQ(Dialogs().size(), 1u);
    EXPECT_EQ(Dialogs()[0].resId, kSuccessOpenLive) << "the image was created after the Cancel";
    EXPECT_EQ(server_->Images().size(), 1u);

    for (const int stall : {5, 20}) {
        DG::Control::ClearShownDialogs();
        host_->ClearRecords();
        server_->ScriptResponse(500, "busy");
        server_->StallNext(seconds(stall));
        host_->Progress().CancelAfter(3);
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(Export(), NoError);
        EXPECT_LT(Seconds(Clock::now() - start), 12.0) << "the answer's head is awaited one time-out";
        EXPECT_EQ(ReportTexts(), std::vector<std::string>{kCanceled}) << "stall " << stall;
        EXPECT_NE(ReportTexts(), std::vector<std::string>{kExportError});
        EXPECT_TRUE(Dialogs().empty());
    }
}
