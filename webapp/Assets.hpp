// The web application's own style sheet and live-page script, served from this origin only, so that
// its pages need nothing from elsewhere and can forbid everything else.
#pragma once

#include <optional>
#include <string>

namespace webapp {

struct Asset {
    const char* contentType;
    const char* text;
};

// The asset served at `path` (e.g. "/static/kavelo.css"), or nullopt when there is none.
std::optional<Asset> FindAsset(const std::string& path);

// The Content-Security-Policy of every page: scripts, styles, images and requests from this origin only.
extern const char* const kPagePolicy;

}  // namespace webapp
