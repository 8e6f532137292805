// On Windows a launch goes through the system shell: ShellExecuteW looks up the program registered for the
// URL's scheme and starts it with the URL. kavelo-url-recorder, registered so in hostsim's Wine prefixes,
// keeps the URL where KAVELO_URL_RECORD says. hostsim hands URLs to no other handler: under Wine that would
// be the desktop's real browser.
#include "SystemShell.hpp"

#include <windows.h>

#include <shellapi.h>

#include <chrono>
#include <thread>

#include "HttpsHandler.hpp"
#include "LaunchRecord.hpp"
#include "WindowsText.hpp"

namespace hostsim {

namespace {

// Wine may take seconds to start a program on a busy machine; the recorder itself needs milliseconds.
constexpr auto kRecordWait = std::chrono::seconds(20);

// The scheme of `url` ("https"), or empty when it does not start with one.
std::wstring SchemeOf(const std::u16string& url) {
    const std::size_t colon = url.find(u':');
    if (colon == 0 || colon == std::u16string::npos)
        return std::wstring();
    for (std::size_t i = 0; i < colon; ++i) {
        const char16_t c = url[i];
        const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
        const bool other = (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
        if (!letter && !(i > 0 && other))
            return std::wstring();
    }
    return std::wstring(url.begin(), url.begin() + static_cast<std::ptrdiff_t>(colon));
}

LPCWSTR OrNull(const std::u16string& text) {
    return text.empty() ? nullptr : reinterpret_cast<LPCWSTR>(text.c_str());
}

bool RecorderIsHandler(const std::u16string& url, std::string* why) {
    const std::wstring scheme = SchemeOf(url);
    if (scheme.empty()) {
        *why = "not handed to the system shell: the URL has no scheme";
        return false;
    }
    // The recorder built with this hostsim, by its full path: another program of the same name is not it.
    const std::wstring recorder = RecorderBesideThisProgram();
    const std::wstring command = RegisteredCommand(HKEY_CLASSES_ROOT, scheme);
    if (SamePath(ProgramOf(command), recorder))
        return true;
    const std::string name = Platform::Narrow(scheme);
    *why =
        "not handed to the system shell: " +
        (command.empty() ? "no program is registered for " + name + " URLs"
                         : "the program registered for " + name + " URLs is " + Platform::Narrow(command)) +
        ", not " + Platform::Narrow(recorder) + " (\"kavelo-url-recorder.exe --register\" registers it)";
    return false;
}

// The record once the handler has kept it. Under Wine a renamed file can be seen for a moment before it
// can be opened, so a failed read is tried again until the time is up.
std::optional<std::u16string> AwaitRecord(const std::filesystem::path& record, std::string* why) {
    const auto deadline = std::chrono::steady_clock::now() + kRecordWait;
    std::error_code failure;
    for (;;) {
        if (std::filesystem::exists(record, failure)) {
            if (auto url = ReadLaunchRecord(record, why))
                return url;
        } else {
            *why = "the system shell started the handler, but it kept no record";
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            *why += " (waited " + std::to_string(kRecordWait.count()) + " s)";
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace

std::optional<std::u16string> HandToSystemHandler(const Platform::Control::ShellRequest& request,
                                                  const std::filesystem::path& record, std::string* why) {
    if (!RecorderIsHandler(request.file, why))
        return std::nullopt;
    // The shell starts the handler with this process's environment, so the variable reaches it.
    const std::wstring variable = Platform::Widen(kLaunchRecordVariable);
    SetEnvironmentVariableW(variable.c_str(), record.c_str());
    const auto answer = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, OrNull(request.operation), OrNull(request.file), OrNull(request.parameters),
                      OrNull(request.directory), request.showCommand));
    SetEnvironmentVariableW(variable.c_str(), nullptr);
    if (answer <= 32) {
        *why = "the system shell did not open it: ShellExecuteW answered " + std::to_string(answer);
        return std::nullopt;
    }
    return AwaitRecord(record, why);
}

}  // namespace hostsim
