// Browser pages: the URLs handed to the shell and the live-page time stamped after each launch.
#include <gtest/gtest.h>

#include "BrowserPages.hpp"
#include "FakeHost.hpp"
#include "Preferences.hpp"

using testsupport::FakeHost;

TEST(BrowserPages, LoginPageCarriesTheIdentifierAndStampsTheTime) {
    FakeHost host;
    OpenLoginPage("0f8fad5b-d9cb-469f-a165-70867728950e");
    EXPECT_EQ(host.LaunchedUrls(),
              std::vector<std::string>{std::string(WebAppOrigin) +
                                       "/login?eid=0f8fad5b-d9cb-469f-a165-70867728950e"});
    ASSERT_TRUE(host.preferences.has_value());
    EXPECT_FALSE(IsLiveTabStale());
    EXPECT_FALSE(IsAccountLinked()) << "opening a page links nothing";
}

TEST(BrowserPages, LivePageAndItsImageForms) {
    FakeHost host;
    const std::string live = std::string(WebAppOrigin) + "/?uploadRealtime=true";
    EXPECT_EQ(LivePageUrl(GS::UniString()), live);
    EXPECT_EQ(LivePageUrl(GS::UniString("a1b2")), live + "&imageId=a1b2");
    OpenLivePage();
    EXPECT_EQ(host.LaunchedUrls(), std::vector<std::string>{live});
}

// The id comes from the server: whatever it holds, the URL handed to the shell stays one printable
// ASCII word with no quote or backslash, and a browser's own parsing of it yields the same query.
TEST(BrowserPages, ImageIdIsEscapedOnlyWhereABrowserWouldEscapeIt) {
    const std::string live = std::string(WebAppOrigin) + "/?uploadRealtime=true&imageId=";
    const struct {
        GS::UniString id;
        std::string appended;
    } cases[] = {
        {GS::UniString("x&y#z%41"), "x&y#z%41"},
        {GS::UniString("two words"), "two%20words"},
        {GS::UniString("a\"b'c<d>e"), "a%22b%27c%3Cd%3Ee"},
        {GS::UniString("line\r\nnext\t\x7F"), "line%0D%0Anext%09%7F"},
        {GS::UniString(u"bild-\u00E4\u20AC\U0001F600"), "bild-%C3%A4%E2%82%AC%F0%9F%98%80"},
        {GS::UniString(std::u16string_view(u"nul\0after", 9)), "nul%00after"},
        {GS::UniString("!$()*+,-./:;=?@[]_~"), "!$()*+,-./:;=?@[]_~"},
        {GS::UniString("a\\b^c`d{e|f}g"), "a%5Cb%5Ec%60d%7Be%7Cf%7Dg"},
        {GS::UniString("ends-in\\"), "ends-in%5C"},
    };
    for (const auto& c : cases) EXPECT_EQ(LivePageUrl(c.id), live + c.appended);
}

TEST(BrowserPages, TheShellReceivesTheEscapedUrlAsUtf16) {
    FakeHost host;
    OpenInBrowser(LivePageUrl(GS::UniString(u"bild \u00E4\"")));
    ASSERT_EQ(host.launches.size(), 1u);
    const std::string origin(WebAppOrigin);
    const std::u16string expected =
        std::u16string(origin.begin(), origin.end()) + u"/?uploadRealtime=true&imageId=bild%20%C3%A4%22";
    EXPECT_EQ(host.launches[0], expected);
}

TEST(BrowserPages, AFailedLaunchStillCountsAsOpened) {
    FakeHost host;
    host.launchSucceeds = false;
    OpenLivePage();
    EXPECT_EQ(host.launches.size(), 1u);
    EXPECT_FALSE(IsLiveTabStale());
    EXPECT_TRUE(host.reports.empty());
}
