// Running a Windows program under Wine from a native test driver.
#include "WineRun.hpp"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace webapp::test {

namespace {

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0')
        throw std::runtime_error(std::string(name) + " is not set; the Windows build's ctest sets it");
    return value;
}

WineRun RunUnderWine(const char* program, const std::vector<std::string>& arguments, std::uint16_t proxyPort,
                     const std::string& outputPath, const std::string& inputPath) {
    WineRun run;
    run.command = proxyPort != 0
                      ? "http_proxy=" + Quote("http://127.0.0.1:" + std::to_string(proxyPort)) + " "
                      : std::string("http_proxy= ");
    run.command += Quote(Environment("KAVELO_WINE_RUN")) + " " + Quote(Environment("KAVELO_WINEPREFIX")) +
                   (inputPath.empty() ? "" : " --keep-stdin") + " " + Quote(Environment(program));
    for (const std::string& argument : arguments) run.command += " " + Quote(argument);
    run.command += " >" + Quote(outputPath) + " 2>&1";
    run.command += " <" + Quote(inputPath.empty() ? "/dev/null" : inputPath);
    run.status = std::system(run.command.c_str());
    std::ifstream in(outputPath, std::ios::binary);
    run.output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return run;
}

void ProxiedWebappTest::SetUp() {
    WebappTest::SetUp();
    proxy_.Route("app.kavelo.io", 443, server_.Port());
    proxy_.Start();
    caPath_ = dataDir_.Path() + "/trusted-ca.pem";
    std::ofstream(caPath_) << server_.CaCertPem();
}

}  // namespace webapp::test
