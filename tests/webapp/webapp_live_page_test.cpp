// The live page and the list it polls, and what is not served at all.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "WebappTestSupport.hpp"

namespace webapp::test {
namespace {

using LivePageTest = WebappTest;

TEST_F(LivePageTest, ShowsStoredImagesAndHighlightsTheOneNamed) {
    Upload(UploadBody(MakeJpeg()));
    Upload(UploadBody(MakeJpeg(8, 8)));
    const auto images = server_.Images();
    ASSERT_EQ(images.size(), 2u);

    const HttpResult page = Exchange(RequestText("GET", "/?uploadRealtime=true&imageId=" + images[1].id));

    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.Header("Content-Type"), "text/html; charset=utf-8");
    EXPECT_NE(page.body.find("<img src=\"/images/" + images[0].id + ".jpg\""), std::string::npos);
    EXPECT_NE(page.body.find("<figure id=\"image-" + images[1].id + "\" class=\"highlight\">"),
              std::string::npos);
    EXPECT_EQ(page.body.find("<figure id=\"image-" + images[0].id + "\" class=\"highlight\">"),
              std::string::npos);
}

TEST_F(LivePageTest, PlainLivePageLoadsNothingFromElsewhere) {
    const HttpResult page = Exchange(RequestText("GET", "/?uploadRealtime=true"));

    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.body.find("http://"), std::string::npos);
    EXPECT_EQ(page.body.find("https://"), std::string::npos);
    EXPECT_EQ(page.body.find("<link"), std::string::npos);
    EXPECT_EQ(page.body.find("<script src"), std::string::npos);
    EXPECT_NE(page.body.find("fetch('/live/images'"), std::string::npos);
}

TEST_F(LivePageTest, ImageIdWithMarkupIsEscaped) {
    const HttpResult page = Exchange(RequestText("GET", "/?uploadRealtime=true&imageId=%3C/script%3E%22"));

    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.body.find("</script>\""), std::string::npos);
}

TEST_F(LivePageTest, PolledListPicksUpNewImages) {
    const auto before = nlohmann::json::parse(Exchange(RequestText("GET", "/live/images")).body);
    Upload(UploadBody(MakeJpeg()));
    const auto after = nlohmann::json::parse(Exchange(RequestText("GET", "/live/images")).body);

    EXPECT_TRUE(before["images"].empty());
    ASSERT_EQ(after["images"].size(), 1u);
    EXPECT_EQ(after["images"][0]["id"], server_.Images().at(0).id);
    EXPECT_EQ(after["images"][0]["url"], "/images/" + server_.Images().at(0).id + ".jpg");
}

TEST_F(LivePageTest, EverythingElseIsNotFound) {
    EXPECT_EQ(Exchange(RequestText("GET", "/")).status, 404);
    EXPECT_EQ(Exchange(RequestText("GET", "/api/v2/images")).status, 404);
    EXPECT_EQ(Exchange(RequestText("GET", "/images/../ca.pem")).status, 404);
    EXPECT_EQ(Exchange(RequestText("DELETE", "/api/v1/images")).status, 405);
}

TEST_F(LivePageTest, OneConnectionServesSeveralRequests) {
    auto client = Connect();
    EXPECT_EQ(client->Exchange(RequestText("GET", "/?uploadRealtime=true")).status, 200);
    EXPECT_EQ(client->Exchange(RequestText("GET", "/live/images")).status, 200);
    EXPECT_EQ(server_.Connections().handshakesCompleted, 1u);
}

}  // namespace
}  // namespace webapp::test
