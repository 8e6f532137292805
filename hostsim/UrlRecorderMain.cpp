// kavelo-url-recorder: the https handler of hostsim's Windows machines (Wine prefixes). The system shell
// starts it with the URL a program opened; it keeps the URL, UTF-16 exactly as it arrived, in the launch
// record that hostsim named in KAVELO_URL_RECORD, and opens nothing.
//   kavelo-url-recorder URL            keeps URL (started by the shell)
//   kavelo-url-recorder --register     makes this program the machine's https handler
//   kavelo-url-recorder --unregister   removes that registration again
// Exit status 0 on success, 1 when the record or the registry cannot be written, 2 for misuse.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

#include "LaunchRecord.hpp"
#include "WindowsText.hpp"

namespace {

constexpr wchar_t kClassKey[] = L"Software\\Classes\\https";

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

// The machine-wide class: Wine's shell reads protocol handlers from HKLM only.
int Register() {
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (length == 0 || length == MAX_PATH) {
        std::fputs("kavelo-url-recorder: cannot tell its own path\n", stderr);
        return 1;
    }
    const std::wstring command = L"\"" + std::wstring(self, length) + L"\" \"%1\"";
    const std::wstring key = kClassKey;
    LSTATUS status =
        SetText(HKEY_LOCAL_MACHINE, key, nullptr, L"URL:HyperText Transfer Protocol with Privacy");
    if (status == ERROR_SUCCESS)
        status = SetText(HKEY_LOCAL_MACHINE, key, L"URL Protocol", L"");
    if (status == ERROR_SUCCESS)
        status = SetText(HKEY_LOCAL_MACHINE, key + L"\\shell\\open\\command", nullptr, command);
    if (status != ERROR_SUCCESS) {
        std::fprintf(stderr, "kavelo-url-recorder: cannot write HKLM\\%s: %s\n",
                     Platform::Narrow(key).c_str(),
                     Platform::ErrorText(static_cast<unsigned long>(status)).c_str());
        return 1;
    }
    std::printf("kavelo-url-recorder: https URLs open with %s\n", Platform::Narrow(command).c_str());
    return 0;
}

int Unregister() {
    const LSTATUS status = RegDeleteTreeW(HKEY_LOCAL_MACHINE, kClassKey);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        std::fprintf(stderr, "kavelo-url-recorder: cannot remove the https handler: %s\n",
                     Platform::ErrorText(static_cast<unsigned long>(status)).c_str());
        return 1;
    }
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
