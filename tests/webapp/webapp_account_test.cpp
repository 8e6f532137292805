// Linking an account through the login page, as a browser does it.
#include <gtest/gtest.h>

#include "WebappTestSupport.hpp"

namespace webapp::test {
namespace {

constexpr const char* kNewId = "3c9d7e2f-1a4b-4c5d-8e6f-7a8b9c0d1e2f";

using AccountLink = WebappTest;

TEST_F(AccountLink, LoginPageShowsTheIdentifierAndAConfirmButton) {
    const HttpResult page = Exchange(RequestText("GET", std::string("/login?eid=") + kNewId));

    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.Header("Content-Type"), "text/html; charset=utf-8");
    EXPECT_NE(page.body.find(kNewId), std::string::npos);
    EXPECT_NE(page.body.find("<form method=\"post\" action=\"/login\">"), std::string::npos);
    EXPECT_NE(page.body.find(">Confirm</button>"), std::string::npos);
    EXPECT_FALSE(server_.IsLinked(kNewId));
}

TEST_F(AccountLink, ConfirmingLinksTheAccountSoItsKeyIsAccepted) {
    const HttpResult linked =
        Exchange(RequestText("POST", "/login", {{"Content-Type", "application/x-www-form-urlencoded"}},
                             std::string("eid=") + kNewId));

    EXPECT_EQ(linked.status, 200);
    EXPECT_NE(linked.body.find("Account linked"), std::string::npos);
    EXPECT_TRUE(server_.IsLinked(kNewId));
    EXPECT_EQ(Upload(UploadBody(MakeJpeg()), kNewId).status, 201);
}

TEST_F(AccountLink, MalformedIdentifiersAreRefused) {
    EXPECT_EQ(Exchange(RequestText("GET", "/login?eid=not-an-id")).status, 400);
    EXPECT_EQ(Exchange(RequestText("GET", "/login")).status, 400);
    const std::string upperCase = "3C9D7E2F-1A4B-4C5D-8E6F-7A8B9C0D1E2F";
    EXPECT_EQ(Exchange(RequestText("POST", "/login", {}, "eid=" + upperCase)).status, 400);
    EXPECT_FALSE(server_.IsLinked(upperCase));
    EXPECT_THROW(server_.LinkAccount("short"), std::invalid_argument);
}

TEST_F(AccountLink, LoginPageOfALinkedAccountSaysSo) {
    const HttpResult page = Exchange(RequestText("GET", std::string("/login?eid=") + kLinkedId));

    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("already linked"), std::string::npos);
}

}  // namespace
}  // namespace webapp::test
