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
    EXPECT_EQ(LivePageUrl(GS::UniString("x&y #z")), live + "&imageId=x&y #z") << "appended unescaped";
    OpenLivePage();
    EXPECT_EQ(host.LaunchedUrls(), std::vector<std::string>{live});
}

TEST(BrowserPages, NonAsciiReachesTheShellAsTheSameCharacters) {
    FakeHost host;
    const GS::UniString id(u"bild-\u00E4\u20AC\U0001F600");
    OpenInBrowser(LivePageUrl(id));
    ASSERT_EQ(host.launches.size(), 1u);
    const std::u16string expected =
        GS::UniString(std::string(WebAppOrigin).c_str()).ToUStr() +
        std::u16string(u"/?uploadRealtime=true&imageId=bild-\u00E4\u20AC\U0001F600");
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
