// On Windows the system keeps each user's data-protection secrets: there is no profile folder to set.
#include "PlatformControl.hpp"

namespace Platform::Control {

bool SetUserProfile(const std::string& /*folder*/) {
    return false;
}

}  // namespace Platform::Control
