// The web application's origin, the pages the add-on opens in the default browser, and the one way it
// launches a URL. Every launch counts as opening the live page.
#pragma once

#include <string>

#include "UniString.hpp"

// Set at build time from the project's one origin setting; https, no trailing slash.
extern const char* const WebAppOrigin;

// Hands `url` (UTF-8) to the default browser as UTF-16 and returns at once; failures are not detected.
void OpenInBrowser(const std::string& url);
// Opens WebAppOrigin + "/login?eid=" + id (up to its NUL), then stamps the live-page time; returns the
// stamp's code (the caller reports it).
GSErrCode OpenLoginPage(const char* id);
// Opens the live page, then stamps the live-page time; returns the stamp's code (the caller reports it).
GSErrCode OpenLivePage();
// The live page, pointing at `imageId` when it is not empty. The id's UTF-8 bytes are appended as they
// are, except blanks, control bytes, quotes, '<', '>' and bytes from 0x7F up, which are written as %XX:
// the result is printable ASCII with no quote, and the page receives the id a browser would send.
std::string LivePageUrl(const GS::UniString& imageId);
