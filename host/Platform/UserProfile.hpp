// The current user's profile folder as the host set it (Platform::Control::SetUserProfile), for the host
// library's own Windows calls where there is no Windows API: the data protection's secret and the user's
// known folders live under it. Internal to the host library.
#pragma once

#include <string>

namespace Platform::Detail {

// The folder set, or "" when none is.
std::string UserProfile();

}  // namespace Platform::Detail
