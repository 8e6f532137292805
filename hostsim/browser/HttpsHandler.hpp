// The https handler of hostsim's Windows machines: which program the registry names for a URL scheme, and
// where kavelo-url-recorder is. hostsim checks the one against the other before it hands a URL to the
// shell; kavelo-url-recorder --register and --unregister change the registration. Windows builds only.
#pragma once

#include <windows.h>

#include <string>

namespace hostsim {

inline constexpr wchar_t kRecorderProgram[] = L"kavelo-url-recorder.exe";

// The command under `root`\`classKey`\shell\open\command, or empty when there is none.
std::wstring RegisteredCommand(HKEY root, const std::wstring& classKey);

// The program a command line starts: its first argument, without the quotes around it.
std::wstring ProgramOf(const std::wstring& command);

// The full path of kavelo-url-recorder.exe in the running program's folder (the recorder's own path when
// the recorder runs; it is built beside hostsim.exe).
std::wstring RecorderBesideThisProgram();

// Whether `a` and `b` name the same file: both made full paths, then compared without regard to case, as
// Windows compares file names. Empty names nothing.
bool SamePath(const std::wstring& a, const std::wstring& b);

}  // namespace hostsim
