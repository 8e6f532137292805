// Basic settings of the host's IO library.
#pragma once

namespace IO {

// How a file opening treats the system's refusal of access: as allowed (the opening goes on as far as it
// can), as an error, or as an error only in the user's private locations. The stand-in opens with the
// system's answer in every case.
enum AccessDeniedTreatment {
    AccessDeniedIsAllowed = 0,
    AccessDeniedIsError = 1,
    AccessDeniedIsErrorInPrivateLocations = 2,
};

}  // namespace IO
