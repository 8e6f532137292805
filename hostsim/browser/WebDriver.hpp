// A small WebDriver client: the commands hostsim's real browser needs, sent as HTTP/1.1 + JSON to a driver
// (chromedriver) listening on loopback.
#pragma once

#include <chrono>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

namespace hostsim {

// A failed WebDriver command: the connection failed, the driver answered with an error, or the answer was
// not what the protocol promises. what() names the command and the driver's error.
class WebDriverError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class WebDriver {
public:
    // Commands go to 127.0.0.1:port; each exchange must end within `timeout`.
    WebDriver(std::uint16_t port, std::chrono::milliseconds timeout);

    // GET /status: whether the driver says it is ready. False (not an error) when nothing answers yet.
    bool Ready();

    // Opens a session with the given capabilities ("alwaysMatch"); closes it with EndSession.
    void StartSession(const nlohmann::json& capabilities);
    void EndSession();
    bool HasSession() const { return !session_.empty(); }
    // Asks the driver to clean up and exit (GET /shutdown). Never throws: it may close before it answers.
    void ShutDownDriver();

    std::string CurrentWindow();
    // A new tab; returns its handle. The current window does not change.
    std::string NewTab();
    void SwitchToWindow(const std::string& handle);
    // Navigates the current window and waits for the page to load (the session's page-load strategy).
    void NavigateTo(const std::string& url);
    // The first element matching an XPath expression in the current window; throws when there is none.
    std::string FindElementByXPath(const std::string& xpath);
    // Clicks the element as a pointer would (scrolled into view, hit-tested) and waits for a navigation it
    // starts.
    void Click(const std::string& element);
    // Runs `script` as a function body in the current window with `args`; returns what it returns.
    nlohmann::json Execute(const std::string& script, const nlohmann::json& args = nlohmann::json::array());
    // The same for a script that ends by calling its last argument with the result (the session's
    // script time-out bounds the wait).
    nlohmann::json ExecuteAsync(const std::string& script,
                                const nlohmann::json& args = nlohmann::json::array());
    // The current window's viewport as PNG bytes.
    std::string Screenshot();

private:
    // Sends one command and returns the answer's "value"; throws WebDriverError for any failure.
    nlohmann::json Command(const char* method, const std::string& path,
                           const nlohmann::json& body = nlohmann::json::object());
    std::string SessionPath(const std::string& rest) const;

    std::uint16_t port_;
    std::chrono::milliseconds timeout_;
    std::string session_;
};

// Decodes standard Base64 (with padding); throws WebDriverError for text that is not Base64.
std::string DecodeBase64(const std::string& text);

}  // namespace hostsim
