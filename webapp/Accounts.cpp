// Account linking: the identifier check and the guarded set of linked identifiers.
#include "Accounts.hpp"

#include <stdexcept>

namespace webapp {

bool IsLinkIdentifier(std::string_view id) {
    if (id.size() != 36) {
        return false;
    }
    for (std::size_t i = 0; i < id.size(); ++i) {
        const char c = id[i];
        const bool hyphenPlace = i == 8 || i == 13 || i == 18 || i == 23;
        if (hyphenPlace) {
            if (c != '-') {
                return false;
            }
            continue;
        }
        const bool hexDigit = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
        if (!hexDigit) {
            return false;
        }
    }
    return true;
}

void Accounts::Link(const std::string& id) {
    if (!IsLinkIdentifier(id)) {
        throw std::invalid_argument("webapp: \"" + id + "\" is not a link identifier");
    }
    std::lock_guard<std::mutex> lock(mutex_);
    linked_.insert(id);
}

bool Accounts::IsLinked(const std::string& id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return linked_.count(id) != 0;
}

std::vector<std::string> Accounts::Linked() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::vector<std::string>(linked_.begin(), linked_.end());
}

}  // namespace webapp
