// Whether the person at hostsim's terminal pressed a key while the add-on works (the process window's
// way to cancel), without waiting for one.
#pragma once

namespace hostsim {

// True when a line (Enter) is waiting on the standard input; the line is taken. Never waits.
bool TerminalKeyWaiting();

}  // namespace hostsim
