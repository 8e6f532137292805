// Without a Windows shell the host library's ShellExecuteW reaches hostsim's launcher directly, so the
// launcher is the URL's handler and keeps the record itself.
#include "SystemShell.hpp"

#include "LaunchRecord.hpp"

namespace hostsim {

std::optional<std::u16string> HandToSystemHandler(const Platform::Control::ShellRequest& request,
                                                  const std::filesystem::path& record, std::string* why) {
    if (!WriteLaunchRecord(record, request.file, why))
        return std::nullopt;
    return request.file;
}

}  // namespace hostsim
