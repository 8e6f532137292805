// Text of the style sheet and of the live page's script.
#include "Assets.hpp"

#include <cstring>

namespace webapp {
namespace {

constexpr const char* kStyle =
    R"(body { font-family: "DejaVu Sans", sans-serif; margin: 0; background: #f4f4f1; color: #222; }
main { max-width: 64em; margin: 0 auto; padding: 1.5em 2em; }
h1 { font-size: 1.6em; margin: 0.2em 0 0.8em; }
code { background: #e6e6e1; padding: 0.15em 0.4em; border-radius: 3px; word-break: break-all; }
.identifier { font-size: 1.15em; }
button { font-size: 1.1em; padding: 0.5em 1.6em; background: #1f5fa8; color: #fff; border: 0; border-radius: 4px;
         cursor: pointer; }
button:hover { background: #174a85; }
.note { color: #555; }
.confirmed { background: #e3f4e1; border: 2px solid #3c8d35; border-radius: 6px; padding: 0.8em 1em; }
.confirmed::before { content: "\2713\00a0"; color: #3c8d35; font-weight: bold; }
#wanted { background: #fff4e0; border-left: 4px solid #d07a00; padding: 0.5em 0.8em; }
#images { display: flex; flex-wrap: wrap; gap: 1em; }
figure { margin: 0; padding: 0.5em; background: #fff; border: 3px solid #ddd; border-radius: 4px; }
figure.highlight { border-color: #d07a00; box-shadow: 0 0 0 3px #f5c27a; }
figure img { max-width: 20em; max-height: 15em; display: block; }
figcaption { font-size: 0.85em; margin-top: 0.4em; word-break: break-all; }
figure.highlight figcaption::before { content: "\2605\00a0"; color: #d07a00; }
)";

// Asks for the list of stored images every second and puts each one it has not shown yet first,
// without reloading the page. The image the page was opened for (data-image-id) is marked.
constexpr const char* kLiveScript = R"('use strict';
(function () {
  const page = document.getElementById('live');
  const list = document.getElementById('images');
  const empty = document.getElementById('empty');
  const wantedState = document.getElementById('wanted-state');
  const wantedId = page.getAttribute('data-image-id') || '';
  const shown = new Set(Array.from(list.children, figure => figure.getAttribute('data-image-id')));

  function figureOf(image) {
    const figure = document.createElement('figure');
    figure.id = 'image-' + image.id;
    figure.setAttribute('data-image-id', image.id);
    const img = document.createElement('img');
    img.src = image.url;
    img.alt = 'Export ' + image.id;
    const caption = document.createElement('figcaption');
    caption.textContent = image.name + ' \u00b7 ' + image.id;
    figure.appendChild(img);
    figure.appendChild(caption);
    return figure;
  }

  function add(image) {
    if (shown.has(image.id)) return;
    shown.add(image.id);
    const figure = figureOf(image);
    list.insertBefore(figure, list.firstChild);
    if (empty) empty.hidden = true;
    if (wantedId !== '' && image.id === wantedId) {
      figure.className = 'highlight';
      if (wantedState) wantedState.textContent = 'marked below';
      figure.scrollIntoView();
    }
  }

  async function poll() {
    try {
      const answer = await fetch('/live/images', { cache: 'no-store' });
      if (answer.ok) (await answer.json()).images.forEach(add);
    } catch (e) {
      // The next round asks again.
    }
    setTimeout(poll, 1000);
  }

  const marked = list.querySelector('figure.highlight');
  if (marked) marked.scrollIntoView();
  setTimeout(poll, 1000);
})();
)";

}  // namespace

const char* const kPagePolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; connect-src 'self'; "
    "form-action 'self'; base-uri 'none'; frame-ancestors 'none'";

std::optional<Asset> FindAsset(const std::string& path) {
    if (path == "/static/kavelo.css") {
        return Asset{"text/css; charset=utf-8", kStyle};
    }
    if (path == "/static/live.js") {
        return Asset{"text/javascript; charset=utf-8", kLiveScript};
    }
    return std::nullopt;
}

}  // namespace webapp
