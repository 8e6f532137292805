// Drawing one dialog or palette layout as an SVG picture, the way the host would lay it out.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "RSLayouts.hpp"

namespace Preview {

// The PNG of icon `id` at the "&96" scale, or an empty vector when there is none.
using IconSource = std::function<std::vector<unsigned char>(int id)>;

// Draws `layout` with its help anchors (which become tooltips). Appends one line to *warnings for
// every text that does not fit its item's rectangle or icon that is missing.
std::string DrawLayout(const RS::DialogLayout& layout, const RS::HelpAnchors& anchors,
                       const IconSource& icons, std::vector<std::string>* warnings);

// Estimated width in pixels of `text` in the preview's dialog font.
double TextWidth(const std::string& text);

// `text` broken into lines of at most `width` pixels, at blanks where possible.
std::vector<std::string> WrapText(const std::string& text, double width);

}  // namespace Preview
