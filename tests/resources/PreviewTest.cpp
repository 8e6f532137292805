// The dialog previews drawn from the built module and from the GRC sources: one picture per layout, every
// item's text in it, and no text cut off by its rectangle.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "ExpectedResources.hpp"
#include "ResourceFiles.hpp"

namespace {

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '"' ? std::string("&quot;") : std::string(1, c);
    return out;
}

// Runs the previewer with `arguments` before the output folder; checks one picture per layout with every
// title and button text in it and no warning.
void ExpectEveryLayoutDrawn(const std::string& arguments) {
    const std::string dir = ::testing::TempDir() + "preview_" + std::to_string(getpid());
    mkdir(dir.c_str(), 0755);
    const std::string output = dir + "/stdout.txt";
    const std::string command =
        std::string(KAVELO_PREVIEW) + " " + arguments + " " + dir + " >" + output + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << ResourceFiles::ReadText(output);
    const std::string report = ResourceFiles::ReadText(output);
    EXPECT_EQ(report.find("warning"), std::string::npos) << report;
    EXPECT_NE(report.find("6 layouts drawn"), std::string::npos) << report;

    for (const Expected::Layout& layout : Expected::Layouts()) {
        SCOPED_TRACE(layout.id);
        const std::string svg = ResourceFiles::ReadText(dir + "/" + std::to_string(layout.id) + ".svg");
        ASSERT_FALSE(svg.empty());
        EXPECT_NE(svg.find(">" + layout.title + "<"), std::string::npos);
        for (const Expected::Item& item : layout.items) {
            if (item.type == 1 && item.style == 7) {
                EXPECT_NE(svg.find(">" + Escaped(item.text) + "<"), std::string::npos) << item.text;
            }
            if (item.style == 2) {
                EXPECT_NE(svg.find("href=\"data:image/png;base64,iVBORw0KGgo"), std::string::npos);
            }
        }
    }
    std::filesystem::remove_all(dir);
}

TEST(Preview, DrawsEveryLayoutOfTheModuleWithoutCutOffText) {
    ExpectEveryLayoutDrawn(ResourceFiles::ModuleFile());
}

TEST(Preview, DrawsEveryLayoutFromTheGrcSources) {
    const std::string ids = KAVELO_RESOURCE_IDS;
    const std::string resources = ids.substr(0, ids.rfind('/'));
    ExpectEveryLayoutDrawn(std::string("-I ") + KAVELO_RESOURCE_DOMAIN_DIR + " -p " + resources +
                           "/RFIX/Images " + resources + "/RINT/KAVELO.grc " + resources +
                           "/RFIX/KAVELOFix.grc");
}

}  // namespace
