// kavelo-preview: draws every dialog and palette layout of a built module file, or of GRC sources, as an
// SVG picture.
//
//   kavelo-preview MODULE_FILE OUTPUT_DIR
//   kavelo-preview [-I DIR]... [-D NAME[=VALUE]]... [-p IMAGE_DIR]... SOURCE.grc|SOURCE.rc2... OUTPUT_DIR
//
// Writes OUTPUT_DIR/<id>.svg per layout and prints one warning line per text that does not fit its
// item. Exit status 0 on success (warnings included), 1 when the module's resources cannot be read or a
// source has a mistake (reported as the resource compiler reports it).
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "Compiler.hpp"
#include "Output.hpp"
#include "ResourceImage.hpp"
#include "ResourceImageFormat.hpp"
#include "Sources.hpp"
#include "Svg.hpp"

namespace {

bool WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

std::vector<unsigned char> IconPng(const RS::Image::ResourceImage& image, int id) {
    const RS::Image::Entry* group =
        image.FindNamed(RS::ImageFormat::kTypeGroupIcon, "I" + std::to_string(id) + "&96");
    std::vector<RS::Image::GroupEntry> entries;
    if (group == nullptr || !RS::Image::ParseIconGroup(image.Data(*group), group->size, &entries, nullptr) ||
        entries.empty())
        return {};
    const RS::Image::Entry* icon = image.Find(RS::ImageFormat::kTypeIcon, entries.front().iconId);
    return icon == nullptr ? std::vector<unsigned char>() : image.Copy(*icon);
}

bool DrawOne(const RS::Image::ResourceImage& image, const RS::Image::Entry& entry, const std::string& outDir,
             std::vector<std::string>* warnings) {
    RS::DialogLayout layout;
    std::string error;
    if (!RS::Image::ParseDialogLayout(image.Data(entry), entry.size, &layout, &error)) {
        std::cerr << "kavelo-preview: dialog layout " << entry.id << ": " << error << "\n";
        return false;
    }
    layout.id = static_cast<GSResID>(entry.id);
    RS::HelpAnchors anchors;
    const RS::Image::Entry* help = image.Find("DLGH", entry.id);
    if (help != nullptr && !RS::Image::ParseHelpAnchors(image.Data(*help), help->size, &anchors, &error)) {
        std::cerr << "kavelo-preview: help anchors " << entry.id << ": " << error << "\n";
        return false;
    }
    const std::string svg = Preview::DrawLayout(
        layout, anchors, [&](int id) { return IconPng(image, id); }, warnings);
    const std::string path = outDir + "/" + std::to_string(entry.id) + ".svg";
    if (!WriteText(path, svg)) {
        std::cerr << "kavelo-preview: cannot write '" << path << "'\n";
        return false;
    }
    return true;
}

bool IsSource(const std::string& path) {
    for (const char* extension : {".grc", ".rc2"}) {
        const std::string end = extension;
        if (path.size() > end.size() && path.compare(path.size() - end.size(), end.size(), end) == 0)
            return true;
    }
    return false;
}

// The resource image of the module file, or compiled from the sources as the build would.
bool LoadImage(const Rescomp::SourceOptions& options, const std::string& moduleFile,
               RS::Image::ResourceImage* image) {
    RS::Image::Bytes bytes;
    std::string error;
    try {
        if (moduleFile.empty())
            bytes = Rescomp::BuildImage(Rescomp::Compile(Rescomp::ReadSources(options)).image);
        else
            RS::Image::ReadImageFile(moduleFile, &bytes, &error);
    } catch (const std::exception& problem) {
        error = problem.what();
    }
    if (error.empty() && RS::Image::ResourceImage::Parse(std::move(bytes), image, &error))
        return true;
    std::cerr << "kavelo-preview: " << error << "\n";
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    Rescomp::SourceOptions options;
    std::vector<std::string> paths;
    std::string problem;
    for (int i = 1; i < argc && problem.empty(); ++i) {
        if (!Rescomp::ParseSourceOption(argc, argv, &i, &options, &problem))
            paths.push_back(argv[i]);
    }
    const bool fromSources = paths.size() >= 2 && IsSource(paths.front());
    if (!problem.empty() || (paths.size() != 2 && !fromSources)) {
        std::cerr << (problem.empty() ? "" : "kavelo-preview: " + problem + "\n")
                  << "usage: kavelo-preview MODULE_FILE OUTPUT_DIR\n"
                     "       kavelo-preview [-I DIR]... [-D NAME[=VALUE]]... [-p IMAGE_DIR]... "
                     "SOURCE.grc|SOURCE.rc2... "
                     "OUTPUT_DIR\n";
        return 2;
    }
    const std::string outDir = paths.back();
    paths.pop_back();
    if (fromSources)
        options.sources = paths;
    RS::Image::ResourceImage image;
    if (!LoadImage(options, fromSources ? "" : paths.front(), &image))
        return 1;
    std::vector<std::string> warnings;
    int drawn = 0;
    for (const RS::Image::Entry& entry : image.Entries()) {
        if (entry.type != "GSDG" || entry.named)
            continue;
        if (!DrawOne(image, entry, outDir, &warnings))
            return 1;
        ++drawn;
    }
    for (const std::string& warning : warnings) std::cout << "kavelo-preview: warning: " << warning << "\n";
    std::cout << "kavelo-preview: " << drawn << " layouts drawn to " << outDir << "\n";
    return 0;
}
