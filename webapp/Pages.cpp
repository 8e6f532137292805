// HTML text of the pages, built by concatenation with every inserted value escaped.
#include "Pages.hpp"

#include <cstdint>

namespace webapp {
namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";

std::string Document(const std::string& title, const std::string& body,
                     const std::string& mainAttributes = "", const std::string& script = "") {
    return "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n"
           "<meta charset=\"utf-8\"/>\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"/>\n<title>" +
           HtmlEscape(title) +
           "</title>\n<link rel=\"stylesheet\" href=\"/static/kavelo.css\"/>\n</head>\n<body>\n<main" +
           mainAttributes + ">\n" + body + "</main>\n" +
           (script.empty() ? "" : "<script src=\"" + script + "\"></script>\n") + "</body>\n</html>\n";
}

std::string Figure(const StoredImage& image, const std::string& highlightId) {
    const std::string id = HtmlEscape(image.id);
    const std::string marked = image.id == highlightId ? " class=\"highlight\"" : "";
    return "<figure id=\"image-" + id + "\"" + marked + " data-image-id=\"" + id + "\"><img src=\"/images/" +
           id + ".jpg\" alt=\"Export " + id + "\"/><figcaption>" + HtmlEscape(image.name) + " &#183; " + id +
           "</figcaption></figure>\n";
}

// The length of the UTF-8 sequence at text[at] when it is well formed and allowed in a page, else 0.
std::size_t AllowedSequence(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        const bool control = (lead < 0x20 && lead != '\t' && lead != '\n' && lead != '\r') || lead == 0x7F;
        return control ? 0 : 1;
    }
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool valid = code >= smallest[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
    const bool control = code >= 0x80 && code <= 0x9F;
    const bool noncharacter = (code >= 0xFDD0 && code <= 0xFDEF) || (code & 0xFFFE) == 0xFFFE;
    return valid && !control && !noncharacter ? length : 0;
}

}  // namespace

std::string HtmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = AllowedSequence(text, at);
        if (length == 0) {
            out += kReplacement;
            ++at;
            continue;
        }
        if (length > 1) {
            out.append(text, at, length);
            at += length;
            continue;
        }
        switch (const char c = text[at++]) {
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
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string LoginPage(const std::string& linkId, bool alreadyLinked) {
    const std::string id = HtmlEscape(linkId);
    const std::string state =
        alreadyLinked ? "<p class=\"note\">This add-on is already linked to your account.</p>\n" : "";
    return Document("Link Archicad to KAVELO",
                    "<h1>Link Archicad to your KAVELO account</h1>\n"
                    "<p>Archicad asks to link this add-on identifier to your account:</p>\n"
                    "<p class=\"identifier\"><code id=\"eid\">" +
                        id + "</code></p>\n" + state +
                        "<form method=\"post\" action=\"/login\">\n"
                        "<input type=\"hidden\" name=\"eid\" value=\"" +
                        id +
                        "\"/>\n"
                        "<button type=\"submit\">Confirm</button>\n"
                        "</form>\n"
                        "<p class=\"note\">Confirm only if you started the link from Archicad.</p>\n");
}

std::string LinkedPage(const std::string& linkId) {
    return Document(
        "KAVELO account linked",
        "<h1>Account linked</h1>\n<p class=\"confirmed\" id=\"linked\">The add-on identifier <code "
        "id=\"eid\">" +
            HtmlEscape(linkId) +
            "</code> is now linked to your KAVELO account.</p>\n"
            "<p>You can close this tab and export views from Archicad.</p>\n"
            "<p><a href=\"/?uploadRealtime=true\">Open the live page</a></p>\n");
}

std::string LivePage(const std::vector<StoredImage>& images, const std::string& highlightId) {
    std::string figures;
    bool highlightShown = false;
    for (auto image = images.rbegin(); image != images.rend(); ++image) {
        figures += Figure(*image, highlightId);
        highlightShown = highlightShown || image->id == highlightId;
    }
    std::string wanted;
    if (!highlightId.empty()) {
        wanted = "<p id=\"wanted\">Image <code id=\"wanted-id\">" + HtmlEscape(highlightId) +
                 "</code>: <span id=\"wanted-state\">" +
                 (highlightShown ? "marked below" : "not here yet; it is marked when it arrives") +
                 "</span></p>\n";
    }
    const std::string emptyNote = std::string("<p id=\"empty\"") +
                                  (images.empty() ? "" : " hidden=\"hidden\"") +
                                  ">No images yet. Export a view from Archicad.</p>\n";
    return Document("KAVELO live",
                    "<h1>KAVELO live</h1>\n" + wanted +
                        "<p class=\"note\">Exported views appear here as they arrive, newest first.</p>\n" +
                        emptyNote + "<div id=\"images\">\n" + figures + "</div>\n",
                    " id=\"live\" data-image-id=\"" + HtmlEscape(highlightId) + "\"", "/static/live.js");
}

std::string MessagePage(const std::string& title, const std::string& text) {
    return Document(title, "<h1>" + HtmlEscape(title) + "</h1>\n<p>" + HtmlEscape(text) + "</p>\n");
}

}  // namespace webapp
