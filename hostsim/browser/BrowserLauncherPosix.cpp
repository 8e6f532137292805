// Starting and collecting the browser programs of hostsim on POSIX systems: posix_spawnp, waitpid.
#include "BrowserLauncher.hpp"

#include <spawn.h>
#include <sys/wait.h>

#include <cstring>

extern char** environ;

namespace hostsim {

bool BrowserModeAvailable(BrowserMode, std::string*) {
    return true;
}

bool BrowserLauncher::Spawn(const std::vector<std::string>& argv, std::string* outcome) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int result = posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ);
    if (result != 0) {
        *outcome = "cannot start " + argv[0] + ": " + std::strerror(result);
        return false;
    }
    children_.push_back(pid);
    *outcome = "handed to " + argv[0] + " (process " + std::to_string(pid) + ")";
    return true;
}

void BrowserLauncher::Reap(bool wait) {
    std::vector<pid_t> running;
    for (pid_t pid : children_) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, wait ? 0 : WNOHANG);
        if (done == 0)
            running.push_back(pid);
    }
    children_ = std::move(running);
}

}  // namespace hostsim
