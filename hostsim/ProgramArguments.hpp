// hostsim's command-line arguments as UTF-8 text, whatever the system hands a program.
#pragma once

#include <string>
#include <vector>

namespace hostsim {

// The arguments after the program's name. On POSIX systems argv as it is (UTF-8 there); on Windows the
// UTF-16 command line, split as the system's own programs split it and encoded as UTF-8: argv there is
// in the ANSI code page and has lost every character beyond it.
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace hostsim
