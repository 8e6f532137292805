// The kavelo-webapp program: what it prints at start, and that it stops when its input ends.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "WebappTestSupport.hpp"

namespace webapp::test {
namespace {

struct ProgramRun {
    int exitCode = -1;
    std::string output;
};

// Runs the program with arguments and an empty stdin, and collects stdout and stderr.
ProgramRun RunProgram(const std::string& arguments) {
    const std::string command =
        std::string("'") + KAVELO_WEBAPP_PROGRAM + "' " + arguments + " </dev/null 2>&1";
    ProgramRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[512];
    while (std::fgets(buffer, sizeof(buffer), pipe) != nullptr) {
        run.output += buffer;
    }
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(WebappProgram, PrintsWhereItListensAndStopsWhenStdinCloses) {
    TempDir dir;

    const ProgramRun run = RunProgram("--data-dir '" + dir.Path() + "' --until-stdin-closes");

    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.rfind("listening on 127.0.0.1:", 0), 0u) << run.output;
    EXPECT_NE(run.output.find("\nca: " + dir.Path() + "/ca.pem\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("\nimages: " + dir.Path() + "/images\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("\nstopped\n"), std::string::npos) << run.output;
    EXPECT_TRUE(std::filesystem::exists(dir.Path() + "/ca.pem"));
}

TEST(WebappProgram, RefusesToRunWithoutADataFolder) {
    const ProgramRun run = RunProgram("--port 0");

    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.output.find("--data-dir is required"), std::string::npos) << run.output;
}

}  // namespace
}  // namespace webapp::test
