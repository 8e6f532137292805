// An export scenario whose launched pages open in hostsim's real headless Chromium. Skipped, saying why,
// on a machine without chromium and chromedriver (scripts/install-deps.sh installs both).
#pragma once

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>

#include "ExportFixture.hpp"

namespace browser {

// The ids of the images on the live page, in the order shown.
constexpr const char* kShownIds =
    "return Array.from(document.querySelectorAll('#images figure'), f => f.getAttribute('data-image-id'));";

class BrowserFixture : public integration::ExportFixture {
protected:
    void SetUp() override;
    void ChooseHostOptions(hostsim::Options* options) override;

    // Runs what hostsim does when idle: the browser opens what was launched since.
    void LetTheBrowserWork() { host_->Idle(); }
    // The launch `index` (in order), failing the test when there is none.
    const hostsim::Launch& LaunchAt(std::size_t index);
    // Runs a script body in the tab of `launch`; what it returns.
    nlohmann::json InTab(const hostsim::Launch& launch, const std::string& script);
    // The same for a script that reports through its last argument.
    nlohmann::json InTabAsync(const hostsim::Launch& launch, const std::string& script);
    // Polls `condition` in the tab of `launch` until it holds, for at most 20 s.
    bool WaitInTab(const hostsim::Launch& launch, const std::string& condition);
    // The problems an XML parser finds in the page at `url`, fetched from the tab of `launch` with the
    // fetch options `options` (empty: none).
    std::string XmlProblemsOf(const hostsim::Launch& launch, const std::string& url,
                              const nlohmann::json& options = nlohmann::json::object());
    hostsim::Chromium& Browser();
};

}  // namespace browser
