// kavelo-webapp: runs the web application stand-in until SIGINT or SIGTERM (or the end of stdin on request).
#include <pthread.h>
#include <unistd.h>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#include <thread>

#include "ConnectProxy.hpp"
#include "Server.hpp"

namespace {

constexpr const char* kUsage =
    "usage: kavelo-webapp --data-dir DIR [--port N] [--host-name NAME] [--max-body-bytes N]\n"
    "                     [--until-stdin-closes] [--connect-proxy]\n"
    "Serves HTTPS on 127.0.0.1 with a certificate for NAME (default app.kavelo.io) issued by a\n"
    "certificate authority written to DIR/ca.pem; stored images go to DIR/images.\n"
    "--connect-proxy also answers CONNECT NAME:443 on another loopback port with a tunnel to the server,\n"
    "for clients that reach a host name only through a proxy (WinHTTP under Wine).\n";

struct Arguments {
    webapp::ServerOptions options;
    bool untilStdinCloses = false;
    bool connectProxy = false;
};

[[noreturn]] void Fail(const std::string& message) {
    std::cerr << "kavelo-webapp: " << message << "\n" << kUsage;
    std::exit(2);
}

unsigned long Number(const std::string& option, const std::string& text, unsigned long max) {
    std::size_t used = 0;
    unsigned long value = 0;
    try {
        value = std::stoul(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || text.empty() || value > max) {
        Fail(option + " needs a number up to " + std::to_string(max) + ", not \"" + text + "\"");
    }
    return value;
}

Arguments Parse(int argc, char** argv) {
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            std::cout << kUsage;
            std::exit(0);
        }
        if (option == "--until-stdin-closes") {
            arguments.untilStdinCloses = true;
            continue;
        }
        if (option == "--connect-proxy") {
            arguments.connectProxy = true;
            continue;
        }
        if (i + 1 >= argc) {
            Fail("unknown option or missing value: " + option);
        }
        const std::string value = argv[++i];
        if (option == "--port") {
            arguments.options.port = static_cast<std::uint16_t>(Number(option, value, 65535));
        } else if (option == "--data-dir") {
            arguments.options.dataDir = value;
        } else if (option == "--host-name") {
            arguments.options.hostName = value;
        } else if (option == "--max-body-bytes") {
            arguments.options.maxBodyBytes = Number(option, value, 1UL << 31);
        } else {
            Fail("unknown option: " + option);
        }
    }
    if (arguments.options.dataDir.empty()) {
        Fail("--data-dir is required");
    }
    return arguments;
}

}  // namespace

int main(int argc, char** argv) {
    const Arguments arguments = Parse(argc, argv);

    // Block the stop signals in every thread (the server's io thread inherits the mask) and wait for them
    // here.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    webapp::Server server(arguments.options);
    webapp::ConnectProxy proxy;
    try {
        server.Start();
        if (arguments.connectProxy) {
            proxy.Route(server.HostName(), 443, server.Port());
            proxy.Start();
        }
    } catch (const std::exception& error) {
        std::cerr << "kavelo-webapp: " << error.what() << std::endl;
        return 1;
    }
    std::cout << "listening on 127.0.0.1:" << server.Port() << std::endl;
    std::cout << "host name: " << server.HostName() << std::endl;
    std::cout << "ca: " << server.CaCertPath() << std::endl;
    std::cout << "images: " << server.ImagesDir() << std::endl;
    if (arguments.connectProxy)
        std::cout << "proxy: 127.0.0.1:" << proxy.Port() << std::endl;

    if (arguments.untilStdinCloses) {
        // Left running at exit: it only waits on stdin and turns its end into a stop signal.
        std::thread([] {
            char scratch[256];
            while (read(STDIN_FILENO, scratch, sizeof(scratch)) > 0) {
            }
            kill(getpid(), SIGTERM);
        }).detach();
    }
    int received = 0;
    sigwait(&stopSignals, &received);
    proxy.Stop();
    server.Stop();
    std::cout << "stopped" << std::endl;
    return 0;
}
