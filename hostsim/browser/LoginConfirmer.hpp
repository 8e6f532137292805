// The person in hostsim's browser who confirms the web application's login page: fetches the page over
// HTTPS with the host's HTTP client and submits its form, as a click on its button would.
#pragma once

#include <string>
#include <vector>

#include "BrowserLauncher.hpp"

namespace hostsim {

// A form of an HTML page: its method, its action and the name/value pairs of its inputs.
struct HtmlForm {
    std::string method;  // lower case, "get" when the page names none
    std::string action;
    std::vector<std::pair<std::string, std::string>> fields;
};
// The first form of `html`; false when the page has none.
bool FindFirstForm(const std::string& html, HtmlForm* form);
// application/x-www-form-urlencoded text of the fields.
std::string EncodeForm(const std::vector<std::pair<std::string, std::string>>& fields);

// GETs the login page at `url`, then submits its first form to the form's action on the same origin.
// Connections go through HTTP::Client, so the routes and trust anchors set through HTTP::Control apply.
LoginConfirmer MakeHttpsLoginConfirmer();

}  // namespace hostsim
