// The add-on's first use with its pages in a real headless Chromium: the account is linked by the login
// page's own button, and the live page shows the export as it arrives.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "BrowserFixture.hpp"
#include "Certificates.hpp"
#include "ConnectProxy.hpp"
#include "DGControl.hpp"
#include "browser/WebDriver.hpp"

namespace browser {
namespace {

using DG::Control::Action;

// Size, id and bytes (Base64) of the first image on the live page, as the browser has them.
constexpr const char* kFirstImage = R"(
const done = arguments[arguments.length - 1];
const img = document.querySelector('#images figure img');
fetch(img.currentSrc)
  .then(answer => answer.arrayBuffer())
  .then(buffer => {
    const bytes = new Uint8Array(buffer);
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000)
      text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    done({width: img.naturalWidth, height: img.naturalHeight,
          id: img.closest('figure').getAttribute('data-image-id'), jpeg: btoa(text)});
  })
  .catch(e => done({error: String(e)}));
)";

// Every process whose command line names `folder`.
int ProcessesNaming(const std::string& folder) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream in(entry.path() / "cmdline", std::ios::binary);
        const std::string line((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        count += line.find(folder) != std::string::npos ? 1 : 0;
    }
    return count;
}

using BrowserFirstUse = BrowserFixture;

TEST_F(BrowserFirstUse, TheAccountIsLinkedByThePagesButtonAndTheLivePageShowsTheExportAsItArrives) {
    host_->QueueDialogAnswers({Action::Click(1, 32520)});
    ASSERT_EQ(Export(), NoError);
    const std::string eid = hostsim::LoginIdOf(LaunchAt(0).url);
    ASSERT_EQ(eid.size(), 36u);
    EXPECT_FALSE(server_->IsLinked(eid));
    server_->ClearRequests();

    LetTheBrowserWork();
    const hostsim::Launch& login = LaunchAt(0);
    ASSERT_TRUE(server_->IsLinked(eid)) << login.outcome;
    // The one request that linked it is the browser's submission of the login page's form.
    std::vector<webapp::RecordedRequest> posts;
    for (const auto& request : server_->Requests())
        if (request.requestLine.rfind("POST /login ", 0) == 0)
            posts.push_back(request);
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].body, "eid=" + eid);
    const auto header = [&](const std::string& name) {
        for (const auto& [field, value] : posts[0].headers)
            if (field == name)
                return value;
        return std::string();
    };
    EXPECT_NE(header("User-Agent").find("HeadlessChrome"), std::string::npos) << header("User-Agent");
    EXPECT_EQ(header("Origin"), "https://app.kavelo.io");
    EXPECT_EQ(header("Referer"), LaunchAt(0).url);
    // What the person sees after the click.
    EXPECT_EQ(InTab(login, "return document.getElementById('linked').textContent;"),
              "The add-on identifier " + eid + " is now linked to your KAVELO account.");
    // Every page of the link parses as XML too: the login page (now saying it is linked), the answer to
    // a confirmation, and the refusal of a link that is not valid.
    EXPECT_EQ(XmlProblemsOf(login, login.url), "");
    EXPECT_EQ(XmlProblemsOf(login, "/login",
                            {{"method", "POST"},
                             {"headers", {{"Content-Type", "application/x-www-form-urlencoded"}}},
                             {"body", "eid=" + eid}}),
              "");
    EXPECT_EQ(XmlProblemsOf(login, "/login?eid=not-an-identifier"), "");

    // The live page is open before the export, as a person keeps it.
    ASSERT_EQ(host_->RunMenuCommandByText("Open live connection"), NoError);
    LetTheBrowserWork();
    const hostsim::Launch& live = LaunchAt(1);
    EXPECT_EQ(
        InTab(live, "window.openedOnce = true; return document.querySelectorAll('#images figure').length;"),
        0);
    EXPECT_TRUE(InTab(live, "return !document.getElementById('empty').hidden;").get<bool>());
    EXPECT_EQ(XmlProblemsOf(live, live.url), "");

    host_->QueueDialogAnswers({Action::Click(1, 32531)});
    ASSERT_EQ(Export(), NoError);
    ASSERT_EQ(server_->Images().size(), 1u);
    const webapp::StoredImage stored = server_->Images()[0];
    ASSERT_TRUE(WaitInTab(live,
                          "const img = document.querySelector('#images figure img');"
                          "return img !== null && img.complete && img.naturalWidth > 0;"))
        << "the export never appeared on the live page";
    EXPECT_EQ(InTab(live, "return window.openedOnce === true;"), true) << "the page was reloaded";
    EXPECT_TRUE(InTab(live, "return document.getElementById('empty').hidden;").get<bool>());
    const nlohmann::json shown = InTabAsync(live, kFirstImage);
    ASSERT_FALSE(shown.contains("error")) << shown.dump();
    EXPECT_EQ(shown["id"], stored.id);
    EXPECT_EQ(shown["width"], host_->SavedViews().back().width);
    EXPECT_EQ(shown["height"], host_->SavedViews().back().height);
    EXPECT_EQ(shown["width"], 320);
    EXPECT_EQ(shown["height"], 200);
    const std::string jpeg = hostsim::DecodeBase64(shown["jpeg"].get<std::string>());
    std::ifstream file(stored.path, std::ios::binary);
    const std::string storedBytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(jpeg, storedBytes);
    EXPECT_EQ(jpeg, CaptureFileBytes());

    // A later export goes first.
    host_->QueueDialogAnswers({Action::Click(1, 32531)});
    ASSERT_EQ(Export(), NoError);
    ASSERT_EQ(server_->Images().size(), 2u);
    const std::string newest = server_->Images()[1].id;
    ASSERT_TRUE(WaitInTab(live, "return document.querySelectorAll('#images figure').length === 2;"));
    EXPECT_EQ(InTab(live, kShownIds), nlohmann::json::array({newest, stored.id}));
    EXPECT_EQ(InTab(live, "return window.openedOnce === true;"), true);
    EXPECT_EQ(host_->Launches().size(), 2u);
}

TEST_F(BrowserFirstUse, TheBrowserEndsWithTheHostAndLeavesNothingBehind) {
    ASSERT_EQ(host_->RunMenuCommandByText("Open live connection"), NoError);
    LetTheBrowserWork();
    const std::string profile = Browser().ProfileFolder();
    ASSERT_TRUE(std::filesystem::exists(profile));
    EXPECT_GT(ProcessesNaming(profile), 0);

    host_.reset();

    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(profile).parent_path()));
    EXPECT_EQ(ProcessesNaming(profile), 0);
}

// A "browser" that exits as soon as it starts, as Chromium now and then does on a busy machine: hostsim
// starts it once more, then says why both starts failed.
class BrowserThatExitsAtItsStart : public BrowserFixture {
protected:
    void ChooseHostOptions(hostsim::Options* options) override {
        BrowserFixture::ChooseHostOptions(options);
        options->chromium.program = "/bin/false";
    }
};

TEST_F(BrowserThatExitsAtItsStart, IsStartedTwiceAndTheAccountSaysWhy) {
    ASSERT_EQ(host_->RunMenuCommandByText("Open live connection"), NoError);
    LetTheBrowserWork();

    const std::string& outcome = LaunchAt(0).outcome;
    EXPECT_EQ(
        outcome.rfind("started the browser again after: WebDriver POST /session: session not created", 0), 0u)
        << outcome;
    EXPECT_NE(outcome.find("; browser failed: WebDriver POST /session: session not created"),
              std::string::npos)
        << outcome;
    EXPECT_EQ(host_->Browser().RealBrowser(), nullptr);
}

// hostsim trusts an authority other than the one that issued the web application's certificate.
class BrowserUntrustedServer : public BrowserFixture {
protected:
    void ChooseHostOptions(hostsim::Options* options) override {
        BrowserFixture::ChooseHostOptions(options);
        options->chromium.trustPems = {webapp::MakeAuthority("Another authority").certPem};
    }
};

TEST_F(BrowserUntrustedServer, IsNeverOpened) {
    ASSERT_EQ(host_->RunMenuCommandByText("Open live connection"), NoError);
    LetTheBrowserWork();

    const std::string& outcome = LaunchAt(0).outcome;
    EXPECT_EQ(outcome.rfind("browser failed: TLS with app.kavelo.io at 127.0.0.1:", 0), 0u) << outcome;
    EXPECT_NE(outcome.find("unable to get local issuer certificate"), std::string::npos) << outcome;
    EXPECT_EQ(host_->Browser().RealBrowser(), nullptr);
    for (const auto& request : server_->Requests())
        ADD_FAILURE() << "reached the server: " << request.requestLine;
}

// A proxy named in the environment, as on a machine behind a company proxy, would take the browser's
// traffic around its routes: the browser goes direct, and the proxy (which could reach the server too)
// is never asked.
class BrowserWithAProxyInTheEnvironment : public BrowserFixture {
protected:
    void SetUp() override {
        BrowserFixture::SetUp();
        if (IsSkipped())
            return;
        proxy_.Route(server_->HostName(), 443, server_->Port());
        proxy_.Start();
        const std::string address = "http://127.0.0.1:" + std::to_string(proxy_.Port());
        for (const char* name : kProxyVariables) setenv(name, address.c_str(), 1);
        setenv("no_proxy", "", 1);
    }
    void TearDown() override {
        for (const char* name : kProxyVariables) unsetenv(name);
        unsetenv("no_proxy");
        BrowserFixture::TearDown();
    }

    static constexpr const char* kProxyVariables[] = {"http_proxy", "https_proxy", "all_proxy",
                                                      "HTTPS_PROXY"};
    webapp::ConnectProxy proxy_;
};

TEST_F(BrowserWithAProxyInTheEnvironment, IsNotTheBrowsersWayToThePages) {
    ASSERT_EQ(host_->RunMenuCommandByText("Open live connection"), NoError);
    LetTheBrowserWork();
    const hostsim::Launch& live = LaunchAt(0);
    EXPECT_TRUE(WaitInTab(live, "return document.getElementById('empty') !== null;")) << live.outcome;
    EXPECT_TRUE(proxy_.Requests().empty()) << "asked for " << proxy_.Requests()[0];
}

}  // namespace
}  // namespace browser
