// The system's proxy setting outside Windows: the environment, as curl and most programs read it.
#include <cstdlib>

#include "ProxyChoice.hpp"

namespace HTTP::Detail {

namespace {

// The first of the variables that is set, even when set empty (an empty one means no proxy).
std::string FirstSet(const char* lower, const char* upper) {
    if (const char* value = std::getenv(lower))
        return value;
    if (const char* value = std::getenv(upper))
        return value;
    return std::string();
}

}  // namespace

ProxySetting SystemProxySetting() {
    return ProxySetting{FirstSet("https_proxy", "HTTPS_PROXY"), FirstSet("no_proxy", "NO_PROXY")};
}

}  // namespace HTTP::Detail
