// TerminalKeyWaiting on POSIX: a zero-time poll of the standard input.
#include <poll.h>
#include <unistd.h>

#include <iostream>
#include <string>

#include "TerminalKey.hpp"

namespace hostsim {

bool TerminalKeyWaiting() {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (std::cin.rdbuf()->in_avail() <= 0 && (poll(&input, 1, 0) != 1 || (input.revents & POLLIN) == 0))
        return false;
    std::string line;
    std::getline(std::cin, line);
    return true;
}

}  // namespace hostsim
