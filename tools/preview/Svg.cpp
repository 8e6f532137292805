// SVG drawing of dialog layouts. Text widths are estimated with Arial's advance widths, which the
// usual dialog fonts come close to; the picture clips every item to its rectangle, as the host does.
#include "Svg.hpp"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace Preview {

namespace {

constexpr double kFontSize = 11.0;
constexpr double kLineHeight = 13.0;
constexpr int kFrame = 1;        // border width of the window
constexpr int kModalTitle = 26;  // title bar heights
constexpr int kPaletteTitle = 14;
constexpr int kMargin = 16;   // space around the window in the picture
constexpr int kCaption = 22;  // space for the caption under the window
constexpr char kFontFamily[] =
    "Tahoma, 'Segoe UI', Arial, 'Liberation Sans', 'DejaVu Sans Condensed', sans-serif";

// Arial advance widths of ASCII 32..126 in 1/1000 em.
constexpr short kAdvance[95] = {
    278, 278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333,  278, 278, 556, 556, 556,
    556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556, 1015, 667, 667, 722, 722, 667,
    611, 778, 722, 278, 500, 667, 556, 833, 722, 778, 667, 778, 722, 667,  611, 722, 667, 944, 667,
    667, 611, 278, 278, 278, 469, 556, 333, 556, 556, 500, 556, 556, 278,  556, 556, 222, 222, 500,
    222, 833, 556, 556, 556, 556, 333, 500, 278, 556, 500, 722, 500, 500,  500, 334, 260, 334, 584};

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string Base64(const std::vector<unsigned char>& bytes) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
        out += {alphabet[v >> 18], alphabet[v >> 12 & 63], alphabet[v >> 6 & 63], alphabet[v & 63]};
    }
    if (i + 1 == bytes.size()) {
        const unsigned v = bytes[i] << 16;
        out += {alphabet[v >> 18], alphabet[v >> 12 & 63], '=', '='};
    } else if (i + 2 == bytes.size()) {
        const unsigned v = bytes[i] << 16 | bytes[i + 1] << 8;
        out += {alphabet[v >> 18], alphabet[v >> 12 & 63], alphabet[v >> 6 & 63], '='};
    }
    return out;
}

std::string Number(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", v);
    return buffer;
}

std::string ItemLabel(const RS::DialogLayout& layout, const RS::DialogItem& item) {
    return std::to_string(layout.id) + " item " + std::to_string(item.number);
}

std::string AnchorOf(const RS::HelpAnchors& anchors, unsigned short item) {
    for (const RS::HelpAnchorEntry& entry : anchors.entries) {
        if (entry.item == item)
            return entry.anchor;
    }
    return "";
}

class Drawing {
public:
    Drawing(const RS::DialogLayout& layout, const RS::HelpAnchors& anchors, const IconSource& icons,
            std::vector<std::string>* warnings)
        : layout_(layout), anchors_(anchors), icons_(icons), warnings_(warnings) {}

    std::string Run() {
        const bool palette = layout_.kind == 16;
        const int titleHeight = palette ? kPaletteTitle : kModalTitle;
        const int windowWidth = layout_.rect.width + 2 * kFrame;
        const int windowHeight = layout_.rect.height + titleHeight + 2 * kFrame;
        // The caption (10 px text) sets the width of a picture of a small window such as the palette.
        const int captionWidth = static_cast<int>(TextWidth(Caption()) * 10.0 / kFontSize) + 1;
        const int width = std::max(windowWidth, captionWidth) + 2 * kMargin;
        const int height = windowHeight + 2 * kMargin + kCaption;
        originX_ = kMargin + kFrame;
        originY_ = kMargin + kFrame + titleHeight;

        out_ << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
             << "\" viewBox=\"0 0 " << width << " " << height << "\" font-family=\"" << kFontFamily
             << "\" font-size=\"" << kFontSize << "\">\n";
        out_ << "<rect width=\"100%\" height=\"100%\" fill=\"#E9EDF2\"/>\n";
        out_ << "<rect x=\"" << kMargin << "\" y=\"" << kMargin << "\" width=\"" << windowWidth
             << "\" height=\"" << windowHeight
             << "\" fill=\"#F0F0F0\" stroke=\"#6B7280\" stroke-width=\"1\"/>\n";
        out_ << "<rect x=\"" << kMargin + 0.5 << "\" y=\"" << kMargin + 0.5 << "\" width=\""
             << windowWidth - 1 << "\" height=\"" << titleHeight << "\" fill=\"#FFFFFF\"/>\n";
        out_ << "<text x=\"" << kMargin + 8 << "\" y=\"" << kMargin + titleHeight / 2.0 + (palette ? 3.5 : 4)
             << "\" font-size=\"" << (palette ? 9 : 12) << "\">" << Escape(layout_.title) << "</text>\n";
        if (!palette) {
            const double cx = kMargin + windowWidth - 18.0, cy = kMargin + titleHeight / 2.0;
            out_ << "<path d=\"M" << cx - 4 << " " << cy - 4 << "L" << cx + 4 << " " << cy + 4 << "M"
                 << cx + 4 << " " << cy - 4 << "L" << cx - 4 << " " << cy + 4
                 << "\" stroke=\"#333\" stroke-width=\"1\"/>\n";
        }
        for (const RS::DialogItem& item : layout_.items) Item(item);
        out_ << "<text x=\"" << kMargin << "\" y=\"" << height - 8 << "\" font-size=\"10\" fill=\"#555\">"
             << Escape(Caption()) << "</text>\n";
        out_ << "</svg>\n";
        return out_.str();
    }

private:
    std::string Caption() const {
        return "GSDG " + std::to_string(layout_.id) + ", kind " + std::to_string(layout_.kind) + "/" +
               std::to_string(layout_.secondField) + ", window at " + std::to_string(layout_.rect.x) + "," +
               std::to_string(layout_.rect.y) + ", " + std::to_string(layout_.rect.width) + " x " +
               std::to_string(layout_.rect.height) + ", help anchor " + anchors_.dialogAnchor;
    }

    void Item(const RS::DialogItem& item) {
        const double x = originX_ + item.rect.x, y = originY_ + item.rect.y;
        const double w = item.rect.width, h = item.rect.height;
        const std::string clip = "clip" + std::to_string(item.number);
        out_ << "<g>\n<title>"
             << Escape("item " + std::to_string(item.number) + ", anchor " +
                       (AnchorOf(anchors_, item.number).empty() ? "(none)" : AnchorOf(anchors_, item.number)))
             << "</title>\n";
        out_ << "<clipPath id=\"" << clip << "\"><rect x=\"" << x << "\" y=\"" << y << "\" width=\"" << w
             << "\" height=\"" << h << "\"/></clipPath>\n";
        switch (item.type) {
            case RS::ItemType::Separator:
                out_ << "<rect x=\"" << x << "\" y=\"" << y << "\" width=\"" << w << "\" height=\"" << h / 2
                     << "\" fill=\"#A0A0A0\"/><rect x=\"" << x << "\" y=\"" << y + h / 2 << "\" width=\"" << w
                     << "\" height=\"" << h / 2 << "\" fill=\"#FFFFFF\"/>\n";
                break;
            case RS::ItemType::Button:
                Button(item, x, y, w, h, clip);
                break;
            case RS::ItemType::LeftText:
                Text(item, x, y, w, h, clip);
                break;
        }
        out_ << "</g>\n";
    }

    void Button(const RS::DialogItem& item, double x, double y, double w, double h, const std::string& clip) {
        const bool primary = item.number == 1 && layout_.kind != 16;
        out_ << "<rect x=\"" << x + 0.5 << "\" y=\"" << y + 0.5 << "\" width=\"" << w - 1 << "\" height=\""
             << h - 1 << "\" rx=\"3\" fill=\"#FDFDFD\" stroke=\"" << (primary ? "#0067C0" : "#A8A8A8")
             << "\"/>\n";
        if (item.iconId != 0) {
            const std::vector<unsigned char> png = icons_(item.iconId);
            if (png.empty()) {
                warnings_->push_back(ItemLabel(layout_, item) + ": icon " + std::to_string(item.iconId) +
                                     " is not in the module");
                return;
            }
            out_ << "<image x=\"" << x + (w - 22) / 2 << "\" y=\"" << y + (h - 22) / 2
                 << "\" width=\"22\" height=\"22\" href=\"data:image/png;base64," << Base64(png) << "\"/>\n";
            return;
        }
        if (TextWidth(item.text) > w - 6)
            warnings_->push_back(ItemLabel(layout_, item) + ": button text \"" + item.text + "\" is " +
                                 Number(TextWidth(item.text)) + " px wide, the button " + Number(w) + " px");
        out_ << "<text x=\"" << x + w / 2 << "\" y=\"" << y + h / 2 + kFontSize * 0.35
             << "\" text-anchor=\"middle\" clip-path=\"url(#" << clip << ")\">" << Escape(item.text)
             << "</text>\n";
    }

    void Text(const RS::DialogItem& item, double x, double y, double w, double h, const std::string& clip) {
        const std::vector<std::string> lines = WrapText(item.text, w);
        const double needed = kFontSize + (lines.size() - 1) * kLineHeight;
        if (needed > h + 1)
            warnings_->push_back(ItemLabel(layout_, item) + ": text needs " + std::to_string(lines.size()) +
                                 " lines (" + Number(needed) + " px) but the item is " + Number(h) +
                                 " px high, so it is cut off after \"" + LastVisible(lines, h) + "\"");
        out_ << "<rect x=\"" << x << "\" y=\"" << y << "\" width=\"" << w << "\" height=\"" << h
             << "\" fill=\"none\" stroke=\"#C9D3E0\" stroke-dasharray=\"2 2\"/>\n";
        out_ << "<text clip-path=\"url(#" << clip << ")\">";
        for (std::size_t i = 0; i < lines.size(); ++i)
            out_ << "<tspan x=\"" << x << "\" y=\"" << y + kFontSize - 1 + i * kLineHeight << "\">"
                 << Escape(lines[i]) << "</tspan>";
        out_ << "</text>\n";
    }

    static std::string LastVisible(const std::vector<std::string>& lines, double h) {
        std::size_t visible = 0;
        while (visible < lines.size() && kFontSize + visible * kLineHeight <= h + 1) ++visible;
        return visible == 0 ? "" : lines[visible - 1];
    }

    const RS::DialogLayout& layout_;
    const RS::HelpAnchors& anchors_;
    const IconSource& icons_;
    std::vector<std::string>* warnings_;
    std::ostringstream out_;
    double originX_ = 0, originY_ = 0;
};

}  // namespace

double TextWidth(const std::string& text) {
    double units = 0;
    for (char c : text) {
        const int index = static_cast<unsigned char>(c) - 32;
        units += index >= 0 && index < 95 ? kAdvance[index] : 556;
    }
    return units * kFontSize / 1000.0;
}

std::vector<std::string> WrapText(const std::string& text, double width) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        const std::string candidate = line.empty() ? word : line + " " + word;
        if (!line.empty() && TextWidth(candidate) > width) {
            lines.push_back(line);
            line = word;
        } else {
            line = candidate;
        }
    }
    if (!line.empty() || lines.empty())
        lines.push_back(line);
    return lines;
}

std::string DrawLayout(const RS::DialogLayout& layout, const RS::HelpAnchors& anchors,
                       const IconSource& icons, std::vector<std::string>* warnings) {
    return Drawing(layout, anchors, icons, warnings).Run();
}

}  // namespace Preview
