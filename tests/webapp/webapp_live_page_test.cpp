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
    EXPECT_NE(page.body.find("<figure id=\"image-" + images[1].id + "\" class=\"highlight\""),
              std::string::npos);
    EXPECT_EQ(page.body.find("<figure id=\"image-" + images[0].id + "\" class=\"highlight\""),
              std::string::npos);
    EXPECT_LT(page.body.find("id=\"image-" + images[1].id), page.body.find("id=\"image-" + images[0].id))
        << "newest first";
    EXPECT_NE(page.body.find("<code id=\"wanted-id\">" + images[1].id +
                             "</code>: <span id=\"wanted-state\">marked below"),
              std::string::npos);
}

TEST_F(LivePageTest, PagesLoadOnlyFromThisOriginAndForbidTheRest) {
    Upload(UploadBody(MakeJpeg()));
    for (const std::string& target :
         {std::string("/?uploadRealtime=true"), "/login?eid=" + std::string(kLinkedId)}) {
        const HttpResult page = Exchange(RequestText("GET", target));

        EXPECT_EQ(page.status, 200) << target;
        EXPECT_EQ(
            page.Header("Content-Security-Policy"),
            "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; connect-src 'self'; "
            "form-action 'self'; base-uri 'none'; frame-ancestors 'none'")
            << target;
        std::size_t references = 0;
        for (const char* attributeText : {" src=\"", " href=\"", " action=\""}) {
            const std::string attribute = attributeText;
            for (auto at = page.body.find(attribute); at != std::string::npos;
                 at = page.body.find(attribute, at + 1)) {
                const std::string value = page.body.substr(at + attribute.size(), 2);
                EXPECT_TRUE(value[0] == '/' && value[1] != '/') << target << ": " << page.body.substr(at, 40);
                ++references;
            }
        }
        EXPECT_GE(references, 1u) << target;
    }
    const HttpResult script = Exchange(RequestText("GET", "/static/live.js"));
    EXPECT_EQ(script.status, 200);
    EXPECT_EQ(script.Header("Content-Type"), "text/javascript; charset=utf-8");
    EXPECT_NE(script.body.find("fetch('/live/images'"), std::string::npos);
    EXPECT_EQ(Exchange(RequestText("GET", "/static/kavelo.css")).Header("Content-Type"),
              "text/css; charset=utf-8");
    EXPECT_EQ(Exchange(RequestText("GET", "/static/other.js")).status, 404);
}

TEST_F(LivePageTest, ImageIdIsShownEscapedAndBytesAPageCannotHoldAreReplaced) {
    const HttpResult page =
        Exchange(RequestText("GET", "/?uploadRealtime=true&imageId=%3C/script%3E%22%27%20%C3%A9%FF%01x"));

    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.body.find("</script>\""), std::string::npos);
    EXPECT_NE(
        page.body.find(
            "<code id=\"wanted-id\">&lt;/script&gt;&quot;&#39; \xC3\xA9\xEF\xBF\xBD\xEF\xBF\xBDx</code>"),
        std::string::npos);
    EXPECT_NE(
        page.body.find("data-image-id=\"&lt;/script&gt;&quot;&#39; \xC3\xA9\xEF\xBF\xBD\xEF\xBF\xBDx\""),
        std::string::npos);
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
