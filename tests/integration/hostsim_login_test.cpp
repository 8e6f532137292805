// hostsim's browser confirming the web application's login, then an export reaching the web application:
// the module, hostsim and the webapp stand-in in one process, over TLS on loopback.
#include <gtest/gtest.h>

#include "DGControl.hpp"
#include "HTTPControl.hpp"
#include "HostsimTestSupport.hpp"
#include "Jpeg.hpp"
#include "Server.hpp"
#include "Text.hpp"
#include "Win32Interface.hpp"
// After Win32Interface.hpp, which leaves it out.
#include <shellapi.h>

namespace hostsim {
namespace {

using namespace testing;

class LoginTest : public ::testing::Test {
protected:
    void SetUp() override {
        DG::Control::ResetForTesting();
        webapp::ServerOptions serverOptions;
        serverOptions.hostName = KAVELO_WEBAPP_HOST;
        serverOptions.dataDir = dir_ / "webapp";
        server_ = std::make_unique<webapp::Server>(serverOptions);
        server_->Start();
        HTTP::Control::RouteHost(KAVELO_WEBAPP_HOST, 443, "127.0.0.1", server_->Port());
        HTTP::Control::AddTrustAnchorPem(server_->CaCertPem());

        Options options = QuietOptions(dir_ / "host");
        options.browser = BrowserMode::ConfirmLogin;
        host_ = std::make_unique<Host>(options);
        std::string error;
        ASSERT_TRUE(host_->Load(KAVELO_MODULE_PATH, &error)) << error;
        ASSERT_EQ(host_->Start(), NoError);
    }
    void TearDown() override {
        host_.reset();
        server_.reset();
        HTTP::Control::ClearRoutes();
        HTTP::Control::ClearTrustAnchors();
        DG::Control::ResetForTesting();
    }

    TempDir dir_;
    std::unique_ptr<webapp::Server> server_;
    std::unique_ptr<Host> host_;
};

TEST_F(LoginTest, ThePersonInTheBrowserLinksTheIdentifierAndTheNextExportArrives) {
    host_->QueueDialogAnswers({DG::Control::Action::Click(1, 32520)});
    ASSERT_EQ(host_->RunMenuCommandByText("Export from current view"), NoError);
    ASSERT_EQ(host_->Launches().size(), 1u);
    const std::string eid = LoginIdOf(host_->Launches()[0].url);
    ASSERT_EQ(eid.size(), 36u);
    EXPECT_FALSE(server_->IsLinked(eid)) << "nobody has confirmed yet";

    host_->Idle();
    EXPECT_TRUE(server_->IsLinked(eid)) << host_->Launches()[0].outcome;
    EXPECT_EQ(host_->Launches()[0].outcome.rfind("login confirmed: POST /login", 0), 0u)
        << host_->Launches()[0].outcome;

    host_->QueueDialogAnswers({DG::Control::Action::Click(1)});
    ASSERT_EQ(host_->RunMenuCommandByText("Export from current view"), NoError);
    EXPECT_TRUE(host_->Reports().empty()) << host_->Reports().front().text;
    const auto images = server_->Images();
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].accountId, eid);
    RgbImage image;
    std::string error;
    ASSERT_TRUE(ReadJpegFile(images[0].path, &image, &error)) << error;
    EXPECT_EQ(image.width, 640);
    EXPECT_EQ(image.height, 400);
}

TEST_F(LoginTest, AFailedConfirmationIsTold) {
    const std::u16string url =
        ToUtf16(std::string("https://") + KAVELO_WEBAPP_HOST + "/login?eid=not-an-identifier");
    ShellExecuteW(nullptr, u"open", url.c_str(), nullptr, nullptr, 1);
    host_->Idle();
    ASSERT_EQ(host_->Launches().size(), 1u);
    EXPECT_EQ(host_->Launches()[0].outcome,
              "login not confirmed: GET /login?eid=not-an-identifier answered 400");
}

}  // namespace
}  // namespace hostsim
