// kavelo-url-recorder: the https handler of hostsim's Windows machines (Wine prefixes). The system shell
// starts it with the URL a program opened; it keeps the URL, UTF-16 exactly as it arrived, in the launch
// record that hostsim named in KAVELO_URL_RECORD, and opens nothing.
//   kavelo-url-recorder URL            keeps URL (started by the shell)
//   kavelo-url-recorder --register     makes this program the machine's https handler (in a Wine prefix
//                                      only), keeping the handler found before any copy of the recorder
//   kavelo-url-recorder --unregister   puts that handler back (or none, if there was none)
// Exit status 0 on success, 1 when the record or the registry cannot be written, 2 for misuse.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

#include "HttpsHandler.hpp"
#include "LaunchRecord.hpp"
#include "WindowsText.hpp"

namespace {

// All under HKLM: Wine's shell reads protocol handlers from there only.
constexpr wchar_t kClassKey[] = L"Software\\Classes\\https";
// The https class that --register replaced, whole, for --unregister to put back; the two keys above it
// are this program's own and go with it.
constexpr wchar_t kReplacedKey[] = L"Software\\KAVELO\\kavelo-url-recorder\\Replaced https class";
constexpr const wchar_t* kOwnKeys[] = {L"Software\\KAVELO\\kavelo-url-recorder", L"Software\\KAVELO"};

int Usage() {
    std::fputs(
        "usage: kavelo-url-recorder URL | --register | --unregister\n"
        "The system shell starts it with a URL; hostsim names the record to keep it in "
        "(KAVELO_URL_RECORD).\n",
        stderr);
    return 2;
}

LSTATUS SetText(HKEY root, const std::wstring& subkey, const wchar_t* name, const std::wstring& value) {
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return RegSetKeyValueW(root, subkey.c_str(), name, REG_SZ, value.c_str(), bytes);
}

int Failed(const char* what, LSTATUS status) {
    std::fprintf(stderr, "kavelo-url-recorder: %s: %s\n", what,
                 Platform::ErrorText(static_cast<unsigned long>(status)).c_str());
    return 1;
}

bool KeyExists(const wchar_t* key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

LSTATUS DeleteTree(const wchar_t* key) {
    const LSTATUS status = RegDeleteTreeW(HKEY_LOCAL_MACHINE, key);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

// Copies HKLM\`from`, its values and subkeys, into HKLM\`to` (made when missing).
LSTATUS CopyTree(const wchar_t* from, const wchar_t* to) {
    HKEY source = nullptr;
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, from, 0, KEY_READ, &source);
    if (status != ERROR_SUCCESS)
        return status;
    HKEY target = nullptr;
    status =
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, to, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target, nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegCopyTreeW(source, nullptr, target);
        RegCloseKey(target);
    }
    RegCloseKey(source);
    return status;
}

// Deletes HKLM\`key` when it holds neither values nor subkeys.
void DeleteIfEmpty(const wchar_t* key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return;
    DWORD subkeys = 0;
    DWORD values = 0;
    const LSTATUS status = RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                            &values, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(opened);
    if (status == ERROR_SUCCESS && subkeys == 0 && values == 0)
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, key);
}

bool RegisteredIsThisProgram() {
    return hostsim::SamePath(hostsim::ProgramOf(hostsim::RegisteredCommand(HKEY_LOCAL_MACHINE, kClassKey)),
                             hostsim::RecorderBesideThisProgram());
}

// Whether the registered https handler is a copy of the recorder, wherever it lies.
bool RegisteredIsARecorder() {
    const std::wstring program =
        hostsim::ProgramOf(hostsim::RegisteredCommand(HKEY_LOCAL_MACHINE, kClassKey));
    const std::size_t slash = program.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? program : program.substr(slash + 1);
    return hostsim::SamePath(name, L"kavelo-url-recorder.exe");
}

// Wine's ntdll names its version; Windows' has no such export.
bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

int Register() {
    // On a real Windows this would replace the machine's https handler for every user.
    if (!UnderWine()) {
        std::fputs("kavelo-url-recorder: --register works only in a Wine prefix\n", stderr);
        return 1;
    }
    const std::wstring self = hostsim::RecorderBesideThisProgram();
    if (self.empty()) {
        std::fputs("kavelo-url-recorder: cannot tell its own path\n", stderr);
        return 1;
    }
    // The class to put back is the one found before any recorder came: a class kept already stays, and a
    // recorder (this copy or another) is never kept as the original.
    if (!RegisteredIsThisProgram()) {
        LSTATUS status = ERROR_SUCCESS;
        if (!KeyExists(kReplacedKey) && !RegisteredIsARecorder() && KeyExists(kClassKey))
            status = CopyTree(kClassKey, kReplacedKey);
        if (status == ERROR_SUCCESS)
            status = DeleteTree(kClassKey);
        if (status != ERROR_SUCCESS)
            return Failed("cannot keep the https handler it replaces", status);
    }
    const std::wstring command = L"\"" + self + L"\" \"%1\"";
    const std::wstring key = kClassKey;
    LSTATUS status =
        SetText(HKEY_LOCAL_MACHINE, key, nullptr, L"URL:HyperText Transfer Protocol with Privacy");
    if (status == ERROR_SUCCESS)
        status = SetText(HKEY_LOCAL_MACHINE, key, L"URL Protocol", L"");
    if (status == ERROR_SUCCESS)
        status = SetText(HKEY_LOCAL_MACHINE, key + L"\\shell\\open\\command", nullptr, command);
    if (status != ERROR_SUCCESS)
        return Failed("cannot write HKLM\\Software\\Classes\\https", status);
    std::printf("kavelo-url-recorder: https URLs open with %s\n", Platform::Narrow(command).c_str());
    return 0;
}

int Unregister() {
    if (!RegisteredIsThisProgram()) {
        std::puts(
            "kavelo-url-recorder: https URLs do not open with this program; the handler stays as it is");
        return 0;
    }
    LSTATUS status = DeleteTree(kClassKey);
    if (status == ERROR_SUCCESS && KeyExists(kReplacedKey))
        status = CopyTree(kReplacedKey, kClassKey);
    if (status == ERROR_SUCCESS)
        status = DeleteTree(kReplacedKey);
    if (status != ERROR_SUCCESS)
        return Failed("cannot put the previous https handler back", status);
    for (const wchar_t* key : kOwnKeys) DeleteIfEmpty(key);
    const std::wstring restored = hostsim::RegisteredCommand(HKEY_LOCAL_MACHINE, kClassKey);
    if (restored.empty())
        std::puts("kavelo-url-recorder: no program opens https URLs now");
    else
        std::printf("kavelo-url-recorder: https URLs open with %s again\n",
                    Platform::Narrow(restored).c_str());
    return 0;
}

int Record(const std::wstring& url) {
    wchar_t record[MAX_PATH];
    const DWORD length =
        GetEnvironmentVariableW(Platform::Widen(hostsim::kLaunchRecordVariable).c_str(), record, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        std::fprintf(stderr,
                     "kavelo-url-recorder: %s does not name a record (this program keeps the URLs hostsim's "
                     "module launches; it was started by something else)\n",
                     hostsim::kLaunchRecordVariable);
        return 2;
    }
    std::string error;
    if (!hostsim::WriteLaunchRecord(std::wstring(record, length), std::u16string(url.begin(), url.end()),
                                    &error)) {
        std::fprintf(stderr, "kavelo-url-recorder: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main() {
    // The command line as the shell wrote it, split as the shell's own programs split it.
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr || count != 2)
        return Usage();
    const std::wstring argument = arguments[1];
    LocalFree(arguments);
    if (argument == L"--register")
        return Register();
    if (argument == L"--unregister")
        return Unregister();
    if (argument.rfind(L"--", 0) == 0)
        return Usage();
    return Record(argument);
}
