// Control of the browser launcher that ShellExecuteW calls reach: the host library's own ShellExecuteW
// where there is no Windows API, the simulated host's redirection of a module's import on Windows. And,
// where there is no Windows API, a fault switch for the host library's own BCryptGenRandom and the user
// whose secret the host library's own CryptProtectData uses.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace Platform::Control {

struct ShellRequest {
    std::u16string operation;  // as the caller passed it, e.g. u"open"
    std::u16string file;       // the URL, UTF-16 exactly as passed
    int showCommand = 0;
    std::u16string parameters;  // empty when the caller passed none
    std::u16string directory;   // empty when the caller passed none
};

// Receives every ShellExecuteW call. Returns true when the launch was started. Without a launcher,
// ShellExecuteW fails with SE_ERR_NOASSOC (31) and writes why to standard error.
using Launcher = std::function<bool(const ShellRequest& request)>;
void SetLauncher(Launcher launcher);
// Hands `request` to the launcher and answers as ShellExecuteW does: 42 when the launch was started,
// 31 (SE_ERR_NOASSOC) when it was not or no launcher is set (then saying so on standard error).
std::intptr_t Launch(const ShellRequest& request);
// The same for a ShellExecuteW call's own arguments (UTF-16; null for a text not passed).
std::intptr_t Launch(const char16_t* operation, const char16_t* file, const char16_t* parameters,
                     const char16_t* directory, int showCommand);

// Makes the next `count` BCryptGenRandom calls fail (STATUS_UNSUCCESSFUL, no bytes); 0 ends the fault.
// Only where the host library provides the call (not on Windows, where the system's own serves).
void FailRandom(int count);

// The file system's calls on names that the host library provides where there is no Windows API.
enum class FileCall { CreateDirectory, MoveFile, DeleteFile, RemoveDirectory };
// Makes the next `count` calls of `call` fail with ERROR_ACCESS_DENIED, doing nothing; 0 ends the fault.
// Only where the host library provides the calls (not on Windows).
void FailFileCall(FileCall call, int count = 1);

// Makes the next `count` SHGetKnownFolderPath calls fail (E_FAIL, no path); 0 ends the fault. Only where the
// host library provides the call (not on Windows).
void FailKnownFolder(int count);

// The current user's profile folder, where the host library's own CryptProtectData keeps the user's secret
// (made at the first protection, in "Protect/" there) and under which SHGetKnownFolderPath finds the user's
// roaming application-data folder ("AppData/Roaming"): data protected under one folder does not open under
// another, as data protected for one user does not open for another. Until a folder is set, protecting and
// unprotecting fail and say so on standard error. Returns true; false on Windows, where the system keeps
// each user's secrets and nothing is set.
bool SetUserProfile(const std::string& folder);

}  // namespace Platform::Control
