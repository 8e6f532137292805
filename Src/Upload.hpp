// The network half of an export: one HTTPS request to the image endpoint and what the answer shows.
#pragma once

#include <string>

#include "ErrorReporting.hpp"

// Posts `dataUrl` with `linkId` (NUL-terminated, borrowed) as "X-Api-Key" and shows what the answer says:
// 201 a success dialog, 401 the failure dialog and the link flow; both return NoFailure. Returns for the
// export to report: 413 and every other status as a failure; an exchange that ends because the link is too
// slow (see UploadPace), whether the add-on broke it off or a call of the connection failed, as the failure
// that says so; a Cancel as APIERR_CANCEL with its plain line (also when a call failed after it), unless the
// server's answer came and says the image was created. A body that cannot be made (the JSON conversion
// fails) is the export's failure before any connection: nothing is sent. Throws what else the exchange
// throws (the export's guard reports it); `dataUrl` is released on every path.
Failure UploadImage(std::string dataUrl, const char* linkId);
