// The web application's HTML pages: login, linked, live page and plain messages. Written so that they
// parse both as HTML and as XML; every text shown is escaped; they load only this origin's own style
// sheet, script and stored images.
#pragma once

#include <string>
#include <vector>

#include "ImageStore.hpp"

namespace webapp {

// The login page for a link identifier: names the identifier and has a "Confirm" button that posts
// eid=<id> to /login.
std::string LoginPage(const std::string& linkId, bool alreadyLinked);

// The answer to a confirmed login: the account is linked, said so plainly.
std::string LinkedPage(const std::string& linkId);

// The live page: the images given (in arrival order) shown newest first, the one named highlightId
// marked, and that id named at the top when there is one; its script adds images that arrive later.
std::string LivePage(const std::vector<StoredImage>& images, const std::string& highlightId);

// A page with a title and one line of text, for refusals and errors.
std::string MessagePage(const std::string& title, const std::string& text);

// Escapes text for HTML element content and quoted attribute values. Bytes that are not UTF-8, and
// control characters a page may not hold, become U+FFFD.
std::string HtmlEscape(const std::string& text);

}  // namespace webapp
