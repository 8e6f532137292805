// kavelo-preview: draws every dialog and palette layout in a built module file as an SVG picture.
//
//   kavelo-preview MODULE_FILE OUTPUT_DIR
//
// Writes OUTPUT_DIR/<id>.svg per layout and prints one warning line per text that does not fit its
// item. Exit status 0 on success (warnings included), 1 when the module's resources cannot be read.
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "ResourceImage.hpp"
#include "ResourceImageFormat.hpp"
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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: kavelo-preview MODULE_FILE OUTPUT_DIR\n";
        return 2;
    }
    RS::Image::Bytes bytes;
    RS::Image::ResourceImage image;
    std::string error;
    if (!RS::Image::ReadImageFile(argv[1], &bytes, &error) ||
        !RS::Image::ResourceImage::Parse(std::move(bytes), &image, &error)) {
        std::cerr << "kavelo-preview: " << error << "\n";
        return 1;
    }
    std::vector<std::string> warnings;
    int drawn = 0;
    for (const RS::Image::Entry& entry : image.Entries()) {
        if (entry.type != "GSDG" || entry.named)
            continue;
        if (!DrawOne(image, entry, argv[2], &warnings))
            return 1;
        ++drawn;
    }
    for (const std::string& warning : warnings) std::cout << "kavelo-preview: warning: " << warning << "\n";
    std::cout << "kavelo-preview: " << drawn << " layouts drawn to " << argv[2] << "\n";
    return 0;
}
