// hostsim's arguments on Windows: the UTF-16 command line, split by CommandLineToArgvW, as UTF-8.
#include <windows.h>

#include <shellapi.h>

#include <stdexcept>

#include "ProgramArguments.hpp"
#include "WindowsText.hpp"

namespace hostsim {

std::vector<std::string> ProgramArguments(int /*argc*/, char** /*argv*/) {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr)
        throw std::runtime_error("cannot split the command line: " + Platform::ErrorText(GetLastError()));
    std::vector<std::string> result;
    for (int i = 1; i < count; ++i) result.push_back(Platform::Narrow(arguments[i]));
    LocalFree(arguments);
    return result;
}

}  // namespace hostsim
