// HTML text of the pages, built by concatenation with every inserted value escaped.
#include "Pages.hpp"

#include <nlohmann/json.hpp>

namespace webapp {
namespace {

constexpr const char* kStyle = R"(<style>
body { font-family: sans-serif; margin: 2em; background: #f6f6f4; color: #222; }
main { max-width: 60em; }
code { background: #e8e8e4; padding: 0.1em 0.3em; }
button { font-size: 1.1em; padding: 0.4em 1.4em; }
#images { display: flex; flex-wrap: wrap; gap: 1em; }
figure { margin: 0; padding: 0.5em; background: #fff; border: 2px solid #ddd; }
figure.highlight { border-color: #d07a00; }
figure img { max-width: 18em; max-height: 14em; display: block; }
figcaption { font-size: 0.85em; margin-top: 0.3em; }
</style>)";

std::string Document(const std::string& title, const std::string& body) {
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
           HtmlEscape(title) + "</title>\n" + kStyle + "\n</head>\n<body>\n<main>\n" + body +
           "</main>\n</body>\n</html>\n";
}

std::string Figure(const StoredImage& image, const std::string& highlightId) {
    const std::string id = HtmlEscape(image.id);
    const std::string marked = image.id == highlightId ? " class=\"highlight\"" : "";
    return "<figure id=\"image-" + id + "\"" + marked + "><img src=\"/images/" + id + ".jpg\" alt=\"" + id +
           "\"><figcaption>" + id + " &middot; " + HtmlEscape(image.name) + "</figcaption></figure>\n";
}

// A JSON string literal that is safe inside a <script> element.
std::string ScriptString(const std::string& text) {
    std::string literal = nlohmann::json(text).dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
    std::string safe;
    for (const char c : literal) {
        if (c == '<') {
            safe += "\\u003c";
        } else {
            safe += c;
        }
    }
    return safe;
}

constexpr const char* kLiveScript = R"(
const list = document.getElementById('images');
const empty = document.getElementById('empty');
function addImage(image) {
  if (document.getElementById('image-' + image.id)) return;
  const figure = document.createElement('figure');
  figure.id = 'image-' + image.id;
  if (image.id === highlightId) figure.className = 'highlight';
  const img = document.createElement('img');
  img.src = image.url;
  img.alt = image.id;
  const caption = document.createElement('figcaption');
  caption.textContent = image.id + ' \u00b7 ' + image.name;
  figure.appendChild(img);
  figure.appendChild(caption);
  list.insertBefore(figure, list.firstChild);
  if (empty) empty.hidden = true;
  if (image.id === highlightId) figure.scrollIntoView();
}
async function poll() {
  try {
    const answer = await fetch('/live/images', { cache: 'no-store' });
    if (answer.ok) (await answer.json()).images.forEach(addImage);
  } catch (e) {}
  setTimeout(poll, 2000);
}
setTimeout(poll, 2000);
const marked = document.querySelector('figure.highlight');
if (marked) marked.scrollIntoView();
)";

}  // namespace

std::string HtmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
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
    const std::string state = alreadyLinked ? "<p>This add-on is already linked to your account.</p>\n" : "";
    return Document("KAVELO login",
                    "<h1>Link Archicad to your KAVELO account</h1>\n"
                    "<p>Add-on identifier: <code id=\"eid\">" +
                        id + "</code></p>\n" + state +
                        "<form method=\"post\" action=\"/login\">\n"
                        "<input type=\"hidden\" name=\"eid\" value=\"" +
                        id +
                        "\">\n"
                        "<button type=\"submit\">Confirm</button>\n"
                        "</form>\n");
}

std::string LinkedPage(const std::string& linkId) {
    return Document("KAVELO account linked",
                    "<h1>Account linked</h1>\n<p>The add-on <code id=\"eid\">" + HtmlEscape(linkId) +
                        "</code> is linked to your KAVELO account. You can export views "
                        "from Archicad now.</p>\n"
                        "<p><a href=\"/?uploadRealtime=true\">Open the live page</a></p>\n");
}

std::string LivePage(const std::vector<StoredImage>& images, const std::string& highlightId) {
    std::string figures;
    for (auto image = images.rbegin(); image != images.rend(); ++image) {
        figures += Figure(*image, highlightId);
    }
    const std::string emptyNote = images.empty()
                                      ? "<p id=\"empty\">No images yet. Export a view from Archicad.</p>\n"
                                      : "<p id=\"empty\" hidden>No images yet.</p>\n";
    return Document("KAVELO live", "<h1>KAVELO live</h1>\n" + emptyNote + "<div id=\"images\">\n" + figures +
                                       "</div>\n<script>\nconst highlightId = " + ScriptString(highlightId) +
                                       ";" + kLiveScript + "</script>\n");
}

std::string MessagePage(const std::string& title, const std::string& text) {
    return Document(title, "<h1>" + HtmlEscape(title) + "</h1>\n<p>" + HtmlEscape(text) + "</p>\n");
}

}  // namespace webapp
