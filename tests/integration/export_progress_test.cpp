// The export's upload under the host's process window, through hostsim and the loaded module to the web
// application stand-in: the bar over the body's bytes, the window closed before the dialog, the user's
// Cancel, and a host without a process window.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <thread>

#include "DGControl.hpp"
#include "ExportFixture.hpp"

using DG::Control::Action;
using integration::kLinkId;

namespace {

constexpr GSResID kSuccessOpenLive = 32532;

class ExportProgress : public integration::ExportFixture {
protected:
    // A view large enough that its body goes in a good number of pieces.
    void ChooseHostOptions(hostsim::Options* options) override {
        options->windowWidth = 1280;
        options->windowHeight = 720;
        options->log = &account_;
    }
    bool Shows(const std::string& line) const { return account_.str().find(line) != std::string::npos; }
    std::size_t Base64Length() { return (CaptureFileBytes().size() + 2) / 3 * 4; }
    // The tenths of the way at which the account showed the bar, in order.
    std::vector<int> TenthsShown() const {
        std::vector<int> tenths;
        std::istringstream lines(account_.str());
        const std::string prefix = "process window: ";
        for (std::string line; std::getline(lines, line);) {
            int percent = 0;
            char sign = 0;
            if (line.rfind(prefix, 0) == 0 &&
                std::sscanf(line.c_str() + prefix.size(), "%d%c", &percent, &sign) == 2 && sign == '%')
                tenths.push_back(percent / 10);
        }
        return tenths;
    }

    std::ostringstream account_;
};

}  // namespace

TEST_F(ExportProgress, TheBarRunsOverTheBodyAndTheWindowClosesBeforeTheDialog) {
    Link(kLinkId);
    host_->QueueDialogAnswers({Action::Click(2, kSuccessOpenLive)});
    ASSERT_EQ(Export(), NoError);

    const auto requests = server_->Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(
        Shows("process window: opened \"Export to KAVELO\", 2 phase(s)\n"
              "process window: phase 1 of 2 \"Connecting to KAVELO\", bar 0 to 0\n"));
    EXPECT_TRUE(Shows("process window: phase 2 of 2 \"Uploading the view\", bar 0 to " +
                      std::to_string(requests[0].body.size()) + "\n"));
    EXPECT_EQ(TenthsShown(), std::vector<int>({0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10})) << account_.str();
    EXPECT_TRUE(Shows("process window: closed at 100%"));
    EXPECT_EQ(host_->Progress().Opened(), 1);
    EXPECT_EQ(host_->Progress().Closed(), 1);
    EXPECT_TRUE(host_->DialogProblems().empty()) << "no dialog while the window is open";
    ASSERT_EQ(Dialogs().size(), 1u);
    EXPECT_EQ(Dialogs()[0].resId, kSuccessOpenLive);
}

TEST_F(ExportProgress, ACancelAtHalfStopsTheUploadWithOneReportLineAndNoDialog) {
    Link(kLinkId);
    const auto preferences = host_->StoredPreferencesOfAddOn();
    host_->Progress().CancelAt(50);
    ASSERT_EQ(Export(), NoError);
    const auto returned = std::chrono::steady_clock::now();

    ASSERT_TRUE(host_->Progress().CancelReportedAt().has_value());
    EXPECT_LT(returned - *host_->Progress().CancelReportedAt(), std::chrono::seconds(1))
        << "the export ends at once after the host reports the cancel";
    EXPECT_TRUE(Shows("process window: the person presses Cancel at 5"));
    EXPECT_EQ(host_->Progress().Closed(), 1);
    EXPECT_TRUE(Dialogs().empty());
    EXPECT_TRUE(host_->DialogProblems().empty());
    ASSERT_EQ(ReportTexts(), std::vector<std::string>{"Export to KAVELO canceled."});
    EXPECT_FALSE(host_->Reports()[0].alert) << "a line in the Report window, not an alert";
    EXPECT_EQ(host_->Beeps(), 0);
    EXPECT_EQ(host_->StoredPreferencesOfAddOn()->bytes, preferences->bytes) << "link and live-page time kept";

    // The connection ended part-way through the body (on loopback the server may not even have read what
    // arrived before the connection was dropped), and nothing was sent again.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LT(server_->Connections().requestBytes, Base64Length())
        << "fewer bytes than the body reached the server";
    EXPECT_TRUE(server_->Requests().empty());
    EXPECT_TRUE(server_->Images().empty());
    EXPECT_EQ(server_->Connections().accepted, 1u);
}

// The window is open while the connection is made: a Cancel then sends nothing of the request.
TEST_F(ExportProgress, ACancelWhileConnectingSendsNothing) {
    Link(kLinkId);
    host_->Progress().CancelAt(0);
    ASSERT_EQ(Export(), NoError);
    EXPECT_TRUE(Shows("process window: phase 1 of 2 \"Connecting to KAVELO\""));
    EXPECT_FALSE(Shows("Uploading the view"));
    EXPECT_EQ(host_->Progress().Closed(), 1);
    EXPECT_EQ(ReportTexts(), std::vector<std::string>{"Export to KAVELO canceled."});
    EXPECT_TRUE(Dialogs().empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(server_->Connections().requestBytes, 0u);
    EXPECT_TRUE(server_->Requests().empty());
}

TEST_F(ExportProgress, AHostWithoutAProcessWindowExportsAsBefore) {
    host_->ClearSlot(kInterfaceSlot);
    ASSERT_EQ(host_->ExchangeTables(), NoError);
    Link(kLinkId);
    host_->Progress().CancelAt(0);
    host_->QueueDialogAnswers({Action::Click(2, kSuccessOpenLive)});
    ASSERT_EQ(Export(), NoError);

    EXPECT_FALSE(Shows("process window:"));
    ASSERT_EQ(server_->Requests().size(), 1u);
    EXPECT_EQ(server_->Images().size(), 1u);
    ASSERT_EQ(Dialogs().size(), 1u);
    EXPECT_EQ(Dialogs()[0].resId, kSuccessOpenLive);
    EXPECT_TRUE(ReportTexts().empty());
}
