// hostsim: loads an add-on module from its file and drives it from a script, a command list or a person
// at the terminal, printing an account of what happened.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "HTTPControl.hpp"
#include "Host.hpp"
#include "PlatformControl.hpp"
#include "ProgramArguments.hpp"
#include "Script.hpp"
#include "Session.hpp"
#include "Text.hpp"

namespace {

constexpr const char* kUsage =
    "usage: hostsim --module PATH --data-dir DIR [--user-profile DIR] [--window WxH] [--view FILE]\n"
    "               [--script FILE | --commands \"menu:Export from current view; answer:1; ...\"]\n"
    "               [--interactive] [--route HOST:PORT=ADDR:PORT]... [--trust CA.pem]...\n"
    "               [--browser confirm-login|chromium|xdg-open|none|COMMAND] [--screenshots DIR]\n"
    "               [--hide-debug] [--no-release] [--empty-slot OFFSET]...\n";

using Route = hostsim::BrowserRoute;

struct Arguments {
    hostsim::Options options;
    std::string module;
    std::string script;
    std::string commands;
    bool interactive = false;
    bool release = true;
    std::vector<Route> routes;
    std::vector<std::string> trust;
    std::vector<std::size_t> emptySlots;
};

bool SplitHostPort(const std::string& text, std::string* host, std::uint16_t* port) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0)
        return false;
    std::string name = text.substr(0, colon);
    if (name.size() > 2 && name.front() == '[' && name.back() == ']')
        name = name.substr(1, name.size() - 2);
    char* end = nullptr;
    const long value = std::strtol(text.c_str() + colon + 1, &end, 10);
    if (*end != '\0' || value <= 0 || value > 65535)
        return false;
    *host = name;
    *port = static_cast<std::uint16_t>(value);
    return true;
}

bool ParseArguments(const std::vector<std::string>& argv, Arguments* args, std::string* error) {
    const std::size_t argc = argv.size();
    for (std::size_t i = 0; i < argc; ++i) {
        const std::string& flag = argv[i];
        const auto value = [&](std::string* into) {
            if (i + 1 >= argc) {
                *error = flag + " needs a value";
                return false;
            }
            *into = argv[++i];
            return true;
        };
        std::string text;
        if (flag == "--module") {
            if (!value(&args->module))
                return false;
        } else if (flag == "--data-dir") {
            if (!value(&args->options.dataDir))
                return false;
        } else if (flag == "--user-profile") {
            if (!value(&args->options.userProfile))
                return false;
            // Only where the host library keeps the user's secret itself.
            if (!Platform::Control::SetUserProfile(args->options.userProfile)) {
                *error =
                    "--user-profile is not available on Windows (the system keeps each user's secrets: "
                    "another user is another Wine prefix and user name)";
                return false;
            }
        } else if (flag == "--window") {
            if (!value(&text))
                return false;
            int w = 0, h = 0;
            char extra = 0;
            if (std::sscanf(text.c_str(), "%dx%d%c", &w, &h, &extra) != 2 || w <= 0 || h <= 0 || w > 16384 ||
                h > 16384) {
                *error = "--window needs WIDTHxHEIGHT, e.g. 1280x720";
                return false;
            }
            args->options.windowWidth = w;
            args->options.windowHeight = h;
        } else if (flag == "--view") {
            if (!value(&args->options.viewFile))
                return false;
        } else if (flag == "--script") {
            if (!value(&args->script))
                return false;
        } else if (flag == "--commands") {
            if (!value(&args->commands))
                return false;
        } else if (flag == "--interactive") {
            args->interactive = true;
        } else if (flag == "--hide-debug") {
            args->options.logDebugLines = false;
        } else if (flag == "--no-release") {
            args->release = false;
        } else if (flag == "--route") {
            if (!value(&text))
                return false;
            Route route;
            const auto equals = text.find('=');
            if (equals == std::string::npos ||
                !SplitHostPort(text.substr(0, equals), &route.host, &route.port) ||
                !SplitHostPort(text.substr(equals + 1), &route.toAddress, &route.toPort)) {
                *error = "--route needs HOST:PORT=ADDR:PORT, e.g. app.kavelo.io:443=127.0.0.1:8443";
                return false;
            }
            args->routes.push_back(route);
        } else if (flag == "--trust") {
            if (!value(&text))
                return false;
            args->trust.push_back(text);
        } else if (flag == "--browser") {
            if (!value(&text))
                return false;
            args->options.browser = hostsim::ParseBrowserMode(text, &args->options.browserCommand);
            if (!hostsim::BrowserModeAvailable(args->options.browser, error))
                return false;
        } else if (flag == "--screenshots") {
            if (!value(&args->options.screenshotDir))
                return false;
        } else if (flag == "--empty-slot") {
            if (!value(&text))
                return false;
            char* end = nullptr;
            const unsigned long offset = std::strtoul(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || offset % 8 != 0 || offset >= 5144) {
                *error = "--empty-slot needs a slot's byte offset in the table, e.g. 632";
                return false;
            }
            args->emptySlots.push_back(offset);
        } else if (flag == "--help" || flag == "-h") {
            std::cout << kUsage;
            std::exit(0);
        } else {
            *error = "unknown option " + flag;
            return false;
        }
    }
    if (args->module.empty() || args->options.dataDir.empty()) {
        *error = "--module and --data-dir are required";
        return false;
    }
    if (!args->script.empty() && !args->commands.empty()) {
        *error = "give either --script or --commands";
        return false;
    }
    // The folders the host hands the module are whole paths in the system's own syntax, as the real
    // host's are (under Wine a Linux path becomes Z:\...).
    std::error_code failure;
    std::filesystem::path dataDir =
        std::filesystem::absolute(hostsim::PathOf(args->options.dataDir), failure);
    if (failure) {
        *error = "--data-dir " + args->options.dataDir + ": " + failure.message();
        return false;
    }
    args->options.dataDir = hostsim::Utf8Of(dataDir.make_preferred());
    return true;
}

bool ReadText(const std::string& path, std::string* text) {
    std::ifstream in(hostsim::PathOf(path), std::ios::binary);
    if (!in)
        return false;
    std::ostringstream contents;
    contents << in.rdbuf();
    *text = contents.str();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Arguments args;
    std::string error;
    if (!ParseArguments(hostsim::ProgramArguments(argc, argv), &args, &error)) {
        std::cerr << "hostsim: " << error << "\n" << kUsage;
        return 2;
    }
    std::vector<hostsim::Command> commands;
    if (!args.script.empty()) {
        std::string text;
        if (!ReadText(args.script, &text)) {
            std::cerr << "hostsim: cannot read " << args.script << "\n";
            return 2;
        }
        if (!hostsim::ParseScript(text, &commands, &error)) {
            std::cerr << "hostsim: " << args.script << ": " << error << "\n";
            return 2;
        }
    } else if (!args.commands.empty() && !hostsim::ParseCommandList(args.commands, &commands, &error)) {
        std::cerr << "hostsim: --commands: " << error << "\n";
        return 2;
    }
    for (const Route& route : args.routes) {
        // Windows' HTTP stack cannot route a name elsewhere; its way there is a proxy.
        try {
            HTTP::Control::RouteHost(route.host, route.port, route.toAddress, route.toPort);
        } catch (const std::exception& e) {
            std::cerr << "hostsim: --route is not available here: " << e.what() << "\n";
            return 2;
        }
        args.options.chromium.routes.push_back(route);
    }
    // On Windows the anchors live in the user's certificate store, beyond this process: out again at the end.
    struct AnchorsCleared {
        ~AnchorsCleared() { HTTP::Control::ClearTrustAnchors(); }
    } anchorsCleared;
    for (const std::string& file : args.trust) {
        std::string pem;
        if (!ReadText(file, &pem)) {
            std::cerr << "hostsim: cannot read " << file << "\n";
            return 2;
        }
        args.options.chromium.trustPems.push_back(pem);
        try {
            HTTP::Control::AddTrustAnchorPem(pem);
        } catch (const std::exception& e) {
            std::cerr << "hostsim: " << file << ": " << e.what() << "\n";
            return 2;
        }
    }

    args.options.log = &std::cout;
    hostsim::StopBrowsersOnSignals();
    hostsim::Host host(args.options);
    if (!host.Load(args.module, &error)) {
        std::cerr << "hostsim: " << error << "\n";
        return 1;
    }
    // A host without these services: the module gets a table whose slots there are empty.
    for (std::size_t offset : args.emptySlots) {
        host.ClearSlot(offset);
        std::cout << "host: slot at byte offset " << offset << " left empty\n";
    }
    const GSErrCode started = host.Start();
    if (started != NoError)
        std::cout << "host: the add-on did not start cleanly (" << started << "); going on\n";
    std::cout << "menus:\n";
    hostsim::Session session(host, std::cout);
    session.ListMenus();

    // Script commands first, answered by the scripted user; an interactive session may follow them.
    session.RunAll(commands);
    session.Finish();
    if (args.interactive) {
        host.UseTerminalUser(std::cin, std::cout);
        session.Interactive(std::cin);
        host.UseQueuedAnswers();
    }

    host.Unload(args.release);
    host.Browser().StopBrowser();
    host.Browser().WaitForChildren();
    const auto before = host.MemoryBeforeLoad();
    const auto after = host.MemoryAtUnload();
    const std::int64_t leaked = (after ? after->liveBlocks : 0) - (before ? before->liveBlocks : 0);
    std::cout << "summary: " << host.Reports().size() << " report(s), " << host.Beeps() << " beep(s), "
              << host.Launches().size() << " browser launch(es), " << host.SavedViews().size()
              << " view(s) saved, " << session.Failures()
              << " failed command(s); module memory balance: " << leaked << " live block(s)\n";
    if (leaked != 0)
        std::cout << "error: the module left " << leaked << " block(s) of the memory manager behind\n";
    const auto unhanded = std::count_if(host.Launches().begin(), host.Launches().end(),
                                        [](const hostsim::Launch& launch) { return launch.record.empty(); });
    if (unhanded != 0)
        std::cout << "error: " << unhanded << " browser launch(es) did not reach the system's handler\n";
    return session.Failures() == 0 && leaked == 0 && unhanded == 0 ? 0 : 1;
}
