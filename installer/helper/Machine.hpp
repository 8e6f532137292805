// What the installer must know of the machine before it writes anything.
#pragma once

namespace SetupHelper {

// Whether this process runs with the Administrators group enabled in its token (elevated, where UAC is on).
bool RunsAsAdministrator();

// Whether a process named Archicad.exe (in any case) runs on this machine.
bool ArchicadRuns();

}  // namespace SetupHelper
