// hostsim's real browser on Windows: there is none (hostsim drives Debian's Chromium only), and the
// program refuses --browser chromium before a Host exists. These definitions keep the launcher's shape
// the same on both systems; a visit reports that no browser ran.
#include "ChromiumUser.hpp"

namespace hostsim {

Chromium::~Chromium() = default;

void StopBrowsersOnSignals() {}

ChromiumUser::ChromiumUser(ChromiumOptions options, std::string screenshotDir)
    : options_(std::move(options)), screenshotDir_(std::move(screenshotDir)) {}

ChromiumUser::~ChromiumUser() = default;

Visit ChromiumUser::Open(const std::string&, int) {
    Visit visit;
    visit.outcome = "not opened: the Windows build of hostsim has no Chromium";
    return visit;
}

void ChromiumUser::Stop() {}

}  // namespace hostsim
