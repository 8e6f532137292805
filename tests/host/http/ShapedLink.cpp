// The namespace through unshare(2) and setns(2) on the calling thread; ip and tc run as child processes,
// which start in the thread's namespace.
#include "ShapedLink.hpp"

#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace httptest {

namespace {

// The program's full path in PATH or the system folders root's PATH holds; empty when there is none.
std::string FindProgram(const std::string& name) {
    std::string folders = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    folders += ":/usr/sbin:/sbin";
    std::size_t at = 0;
    while (at <= folders.size()) {
        const std::size_t end = std::min(folders.find(':', at), folders.size());
        const std::string path = folders.substr(at, end - at) + "/" + name;
        if (end > at && ::access(path.c_str(), X_OK) == 0)
            return path;
        at = end + 1;
    }
    return "";
}

void Run(std::vector<std::string> arguments) {
    const std::string command = [&] {
        std::string text;
        for (const std::string& argument : arguments) text += (text.empty() ? "" : " ") + argument;
        return text;
    }();
    arguments[0] = FindProgram(arguments[0]);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (::posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("shaped link: cannot start " + command);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("shaped link: " + command + " failed");
}

}  // namespace

std::string ShapedLink::Missing() {
    std::string missing;
    const auto note = [&](const char* what) { missing += (missing.empty() ? "" : ", ") + std::string(what); };
    if (::geteuid() != 0)
        note("root");
    if (FindProgram("ip").empty())
        note("ip (iproute2)");
    if (FindProgram("tc").empty())
        note("tc (iproute2)");
    return missing;
}

ShapedLink::ShapedLink(const LinkShape& shape) {
    home_ = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    if (home_ < 0)
        throw std::runtime_error(std::string("shaped link: cannot open this thread's namespace: ") +
                                 std::strerror(errno));
    if (::unshare(CLONE_NEWNET) != 0) {
        const int error = errno;
        ::close(home_);
        throw std::runtime_error(std::string("shaped link: cannot make a network namespace: ") +
                                 std::strerror(error));
    }
    // The bucket holds at least a few full packets and 10 ms of the rate, so that it never drops a packet
    // for its size alone.
    const std::uint64_t burst = std::max<std::uint64_t>(16 * 1024, shape.bitsPerSecond / 8 / 100);
    try {
        Run({"ip", "link", "set", "lo", "mtu", "1500", "up"});
        Run({"tc", "qdisc", "add", "dev", "lo", "root", "tbf", "rate",
             std::to_string(shape.bitsPerSecond) + "bit", "burst", std::to_string(burst), "latency",
             std::to_string(shape.queue.count()) + "ms"});
    } catch (...) {
        ::setns(home_, CLONE_NEWNET);
        ::close(home_);
        throw;
    }
}

ShapedLink::~ShapedLink() {
    ::setns(home_, CLONE_NEWNET);
    ::close(home_);
}

}  // namespace httptest
