// The system's part of a browser launch: the handler registered for the URL's scheme receives the URL and
// keeps it as a launch record. On Windows that is the system shell and the program registered for the
// scheme (kavelo-url-recorder in hostsim's Wine prefixes); elsewhere hostsim's launcher is the handler.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "PlatformControl.hpp"

namespace hostsim {

// Hands `request` to the system's handler of its URL, which keeps what it received in `record` (a file
// that must not exist yet, in an existing folder). Returns the URL as the handler received it; nullopt
// with *why saying what failed when nothing was handed over or the handler kept no record.
std::optional<std::u16string> HandToSystemHandler(const Platform::Control::ShellRequest& request,
                                                  const std::filesystem::path& record, std::string* why);

}  // namespace hostsim
