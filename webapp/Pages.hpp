// The web application's HTML pages: login, linked, live page and plain messages. Self-contained: no
// external scripts, styles, fonts or images other than the stored images of this server.
#pragma once

#include <string>
#include <vector>

#include "ImageStore.hpp"

namespace webapp {

// The login page for a link identifier: shows the identifier and a "Confirm" button that posts
// eid=<id> to /login.
std::string LoginPage(const std::string& linkId, bool alreadyLinked);

// The answer to a confirmed login: the account is linked.
std::string LinkedPage(const std::string& linkId);

// The live page: the images given, newest first, the one named highlightId marked; a script polls
// /live/images every 2 seconds and adds images that arrived since.
std::string LivePage(const std::vector<StoredImage>& images, const std::string& highlightId);

// A page with a title and one line of text, for refusals and errors.
std::string MessagePage(const std::string& title, const std::string& text);

// Escapes text for HTML element content and quoted attribute values.
std::string HtmlEscape(const std::string& text);

}  // namespace webapp
