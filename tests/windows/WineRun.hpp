// For the native drivers of the Windows tests: runs one Windows program of the cross build under Wine,
// in the build's throwaway prefix, and hands back what it printed. The Windows build's ctest names the
// programs, the Wine runner and the prefix in environment variables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ConnectProxy.hpp"
#include "WebappTestSupport.hpp"

namespace webapp::test {

struct WineRun {
    std::string command;  // the shell command that ran, for failure messages
    int status = -1;      // as std::system returned it
    std::string output;   // standard output and error together, line ends as the program wrote them
};

// The value of environment variable `name`; throws std::runtime_error when it is not set.
std::string Environment(const char* name);

// Runs the program named by environment variable `program` with `arguments` under Wine. With a
// `proxyPort`, WinHTTP's fallback proxy (http_proxy) is http://127.0.0.1:proxyPort; with 0, none. The
// output goes through `outputPath`, a file: Wine's helper processes may inherit the program's descriptors
// and outlive it, and a pipe would then never end. Standard input is the file `inputPath`, or nothing.
WineRun RunUnderWine(const char* program, const std::vector<std::string>& arguments, std::uint16_t proxyPort,
                     const std::string& outputPath, const std::string& inputPath = std::string());

// The same in the Wine prefix `prefix` (made on first use) as the user named `user`, with no proxy: another
// user of another machine, as far as what Wine's data protection binds to.
WineRun RunUnderWineAs(const char* program, const std::vector<std::string>& arguments,
                       const std::string& prefix, const std::string& user, const std::string& outputPath);

// Runs Wine's own reg.exe with `arguments` (query, add, delete) on the prefix's registry.
WineRun RunRegistryTool(const std::vector<std::string>& arguments, const std::string& outputPath);

// The number of certificates in the current user's Root store of the prefix (where the programs' trust
// anchors go), as the registry holds them.
std::size_t RootCertificates(const std::string& outputPath);

// The web application stand-in with a CONNECT proxy in front (app.kavelo.io:443 tunnelled to it) and its
// certificate authority in caPath_, for Windows programs that reach it through WinHTTP. Each test must
// leave the prefix's Root store as it found it: the authorities its programs trusted are gone again.
class ProxiedWebappTest : public WebappTest {
protected:
    void SetUp() override;
    void TearDown() override;

    ConnectProxy proxy_;
    std::string caPath_;
    std::size_t rootsBefore_ = 0;
};

}  // namespace webapp::test
