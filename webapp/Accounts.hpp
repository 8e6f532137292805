// The web application's accounts, keyed by the link identifier that the add-on sends as its API key.
#pragma once

#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace webapp {

// True when id has the text form of a link identifier: 36 characters, lower-case hexadecimal digits with
// hyphens at offsets 8, 13, 18 and 23.
bool IsLinkIdentifier(std::string_view id);

// The set of linked accounts. Safe to use from several threads.
class Accounts {
public:
    // Links the account; linking it again changes nothing. Throws std::invalid_argument when id is not a
    // link identifier.
    void Link(const std::string& id);
    bool IsLinked(const std::string& id) const;
    std::vector<std::string> Linked() const;

private:
    mutable std::mutex mutex_;
    std::set<std::string> linked_;
};

}  // namespace webapp
