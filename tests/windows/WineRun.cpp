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

WineRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                   std::uint16_t proxyPort, const std::string& outputPath, const std::string& inputPath,
                   const std::string& prefix = Environment("KAVELO_WINEPREFIX"),
                   const std::string& user = std::string()) {
    WineRun run;
    run.command = proxyPort != 0
                      ? "http_proxy=" + Quote("http://127.0.0.1:" + std::to_string(proxyPort)) + " "
                      : std::string("http_proxy= ");
    // Wine names the user, and binds what it protects for the user, after USER.
    if (!user.empty())
        run.command += "USER=" + Quote(user) + " LOGNAME=" + Quote(user) + " ";
    run.command += Quote(Environment("KAVELO_WINE_RUN")) + " " + Quote(prefix) +
                   (inputPath.empty() ? "" : " --keep-stdin") + " " + Quote(program);
    for (const std::string& argument : arguments) run.command += " " + Quote(argument);
    run.command += " >" + Quote(outputPath) + " 2>&1";
    run.command += " <" + Quote(inputPath.empty() ? "/dev/null" : inputPath);
    run.status = std::system(run.command.c_str());
    std::ifstream in(outputPath, std::ios::binary);
    run.output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return run;
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
    return RunProgram(Environment(program), arguments, proxyPort, outputPath, inputPath);
}

WineRun RunUnderWineAs(const char* program, const std::vector<std::string>& arguments,
                       const std::string& prefix, const std::string& user, const std::string& outputPath) {
    return RunProgram(Environment(program), arguments, 0, outputPath, std::string(), prefix, user);
}

WineRun RunRegistryTool(const std::vector<std::string>& arguments, const std::string& outputPath) {
    return RunProgram("reg", arguments, 0, outputPath, std::string());
}

std::size_t RootCertificates(const std::string& outputPath) {
    const std::string key = "HKEY_CURRENT_USER\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates";
    const WineRun run = RunRegistryTool({"query", key}, outputPath);
    std::size_t count = 0;
    // One line per certificate: the key's name, a backslash and the certificate's hash. No key, none.
    for (std::size_t at = run.output.find(key + "\\"); at != std::string::npos;
         at = run.output.find(key + "\\", at + key.size()))
        ++count;
    return count;
}

void ProxiedWebappTest::SetUp() {
    WebappTest::SetUp();
    proxy_.Route("app.kavelo.io", 443, server_.Port());
    proxy_.Start();
    caPath_ = dataDir_.Path() + "/trusted-ca.pem";
    std::ofstream(caPath_) << server_.CaCertPem();
    rootsBefore_ = RootCertificates(dataDir_.Path() + "/roots-before");
}

void ProxiedWebappTest::TearDown() {
    EXPECT_EQ(RootCertificates(dataDir_.Path() + "/roots-after"), rootsBefore_)
        << "the test's programs left trust anchors in the prefix's Root store";
    WebappTest::TearDown();
}

}  // namespace webapp::test
