// The live page in the real browser, opened by the "Open live" button of the success dialog: the image
// it names is shown and marked, and an image id that needs escaping arrives as the server sent it.
#include <gtest/gtest.h>

#include "BrowserFixture.hpp"
#include "DGControl.hpp"

namespace browser {
namespace {

using DG::Control::Action;

constexpr const char* kMarkedIds =
    "return Array.from(document.querySelectorAll('#images figure.highlight'), f => "
    "f.getAttribute('data-image-id'));";

using BrowserLivePage = BrowserFixture;

TEST_F(BrowserLivePage, OpenLiveMarksTheExportedImageAndLaterOnesComeFirstUnmarked) {
    Link(integration::kLinkId);  // the live page was never opened: the dialog offers "Open live"
    host_->QueueDialogAnswers({Action::Click(1, 32532)});
    ASSERT_EQ(Export(), NoError);
    ASSERT_EQ(server_->Images().size(), 1u);
    const std::string first = server_->Images()[0].id;
    LetTheBrowserWork();
    const hostsim::Launch& live = LaunchAt(0);
    ASSERT_EQ(live.url, "https://app.kavelo.io/?uploadRealtime=true&imageId=" + first);

    EXPECT_EQ(InTab(live, kMarkedIds), nlohmann::json::array({first})) << live.outcome;
    EXPECT_EQ(InTab(live, "return document.getElementById('wanted-id').textContent;"), first);
    EXPECT_EQ(InTab(live, "return document.getElementById('wanted-state').textContent;"), "marked below");

    // "Open live" stamped the live-page time, so the next export gets the plain dialog.
    host_->QueueDialogAnswers({Action::Click(1, 32531)});
    ASSERT_EQ(Export(), NoError);
    ASSERT_EQ(server_->Images().size(), 2u);
    const std::string second = server_->Images()[1].id;
    ASSERT_TRUE(WaitInTab(live, "return document.querySelectorAll('#images figure').length === 2;"));
    EXPECT_EQ(InTab(live, kShownIds), nlohmann::json::array({second, first}));
    EXPECT_EQ(InTab(live, kMarkedIds), nlohmann::json::array({first}));
}

TEST_F(BrowserLivePage, AnImageIdThatNeedsEscapingReachesThePageAsTheServerSentIt) {
    // Markup, quotes, a query's own characters and text beyond ASCII; no '&', '#', '%' or '+', which the
    // add-on leaves as they are and which would then end or change the query.
    const std::string id =
        "<img src=x onerror=\"document.title='taken'\"> 'A' \xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80 /?=x";
    Link(integration::kLinkId);
    server_->ScriptResponse(
        webapp::ScriptedResponse{
            201, nlohmann::json{{"id", id}}.dump() + "\n", {{"Content-Type", "application/json"}}},
        webapp::FaultScope{1, "/api/v1/images"});
    host_->QueueDialogAnswers({Action::Click(1, 32532)});
    ASSERT_EQ(Export(), NoError);
    ASSERT_EQ(host_->Launches().size(), 1u);
    LetTheBrowserWork();
    const hostsim::Launch& live = LaunchAt(0);

    EXPECT_EQ(InTab(live, "return new URLSearchParams(location.search).get('imageId');"), id) << live.outcome;
    EXPECT_EQ(InTab(live, "return document.getElementById('wanted-id').textContent;"), id);
    EXPECT_EQ(InTab(live, "return document.getElementById('live').getAttribute('data-image-id');"), id);
    EXPECT_EQ(InTab(live, "return document.getElementById('wanted-state').textContent;"),
              "not here yet; it is marked when it arrives");
    EXPECT_EQ(InTab(live, "return document.images.length;"), 0) << "no markup of the id became an element";
    EXPECT_EQ(InTab(live, "return document.title;"), "KAVELO live");
    EXPECT_EQ(XmlProblemsOf(live, live.url), "");
}

}  // namespace
}  // namespace browser
