// The real-browser scenario fixture.
#include "BrowserFixture.hpp"

#include <filesystem>

namespace browser {

namespace {

const hostsim::ChromiumOptions kDefaults;

// Fetches arguments[0] (with the fetch options arguments[1]) and parses the text as XML; the parser's
// complaint, or "".
constexpr const char* kXmlProblems = R"(
const done = arguments[arguments.length - 1];
fetch(arguments[0], Object.assign({cache: 'no-store'}, arguments[1]))
  .then(answer => answer.text())
  .then(text => {
    const parsed = new DOMParser().parseFromString(text, 'application/xhtml+xml');
    const error = parsed.getElementsByTagName('parsererror')[0];
    done(error ? error.textContent : '');
  })
  .catch(e => done('fetch failed: ' + e));
)";

}  // namespace

void BrowserFixture::SetUp() {
    for (const std::string& program : {kDefaults.program, kDefaults.driver}) {
        if (!std::filesystem::exists(program))
            GTEST_SKIP() << program << " is not installed, so the real-browser tests cannot run; "
                         << "scripts/install-deps.sh installs chromium and chromium-driver";
    }
    ExportFixture::SetUp();
}

void BrowserFixture::ChooseHostOptions(hostsim::Options* options) {
    options->browser = hostsim::BrowserMode::Chromium;
    options->chromium.routes = {{server_->HostName(), 443, "127.0.0.1", server_->Port()}};
    options->chromium.trustPems = {server_->CaCertPem()};
}

const hostsim::Launch& BrowserFixture::LaunchAt(std::size_t index) {
    const auto& launches = host_->Launches();
    if (index >= launches.size())
        throw std::runtime_error("no launch " + std::to_string(index) + " among " +
                                 std::to_string(launches.size()));
    return launches[index];
}

hostsim::Chromium& BrowserFixture::Browser() {
    hostsim::Chromium* browser = host_->Browser().RealBrowser();
    if (browser != nullptr)
        return *browser;
    std::string outcomes;
    for (const hostsim::Launch& launch : host_->Launches())
        outcomes += "; " + launch.url + ": " + launch.outcome;
    throw std::runtime_error("the browser is not running" +
                             (outcomes.empty() ? "; nothing launched" : outcomes));
}

nlohmann::json BrowserFixture::InTab(const hostsim::Launch& launch, const std::string& script) {
    Browser().ShowTab(launch.tab);
    return Browser().Driver().Execute(script);
}

nlohmann::json BrowserFixture::InTabAsync(const hostsim::Launch& launch, const std::string& script) {
    Browser().ShowTab(launch.tab);
    return Browser().Driver().ExecuteAsync(script);
}

bool BrowserFixture::WaitInTab(const hostsim::Launch& launch, const std::string& condition) {
    Browser().ShowTab(launch.tab);
    return Browser().WaitUntil(condition, std::chrono::seconds(20));
}

std::string BrowserFixture::XmlProblemsOf(const hostsim::Launch& launch, const std::string& url,
                                          const nlohmann::json& options) {
    Browser().ShowTab(launch.tab);
    return Browser()
        .Driver()
        .ExecuteAsync(kXmlProblems, nlohmann::json::array({url, options}))
        .get<std::string>();
}

}  // namespace browser
