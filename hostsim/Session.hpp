// Runs hostsim commands against a Host and tells what happened, for scripts and for a person at the
// terminal.
#pragma once

#include <iosfwd>
#include <vector>

#include "Host.hpp"
#include "Script.hpp"

namespace hostsim {

class Session {
public:
    // `out` receives the account; the Host's own log should go to the same stream.
    Session(Host& host, std::ostream& out);

    // Runs one command, then what the host does when idle. Returns false, after saying why, when the
    // command could not be carried out, an expectation did not hold, or the module let an exception out.
    bool Run(const Command& command);
    // Runs every command, going on after a failure. Returns whether all succeeded.
    bool RunAll(const std::vector<Command>& commands);
    // A prompt on `in` until "quit" or the end of input: menu numbers, commands, and "p1", "p2", "pc" for
    // the palette window. Dialogs are answered by whoever the Host's dialog user is (see
    // Host::UseTerminalUser).
    void Interactive(std::istream& in);
    // Says which queued dialog answers were never used, and which fault commands never fired.
    void Finish();

    int Failures() const { return failures_; }
    void ListMenus();

private:
    bool Execute(const Command& command);
    bool Expect(bool holds, const std::string& what);
    void ShowNewDialogs();

    Host& host_;
    std::ostream& out_;
    int failures_ = 0;
    std::size_t dialogsSeen_ = 0;
    std::size_t problemsSeen_ = 0;
    std::size_t paletteProblemsSeen_ = 0;
};

}  // namespace hostsim
