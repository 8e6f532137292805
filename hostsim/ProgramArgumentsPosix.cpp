// hostsim's arguments on POSIX systems: the bytes of argv.
#include "ProgramArguments.hpp"

namespace hostsim {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

}  // namespace hostsim
