// The network half of an export: one HTTPS request to the image endpoint and what the answer shows.
#pragma once

#include <string>

// Posts `dataUrl` with `linkId` (NUL-terminated, borrowed) as "X-Api-Key" and acts on the status: 201
// shows a success dialog, 401 the failure dialog and the link flow, 413 and every other outcome one
// report; an exchange that ends because the link is too slow (see UploadPace), whether the add-on broke it
// off or a call of the connection failed, has the report that says so, and a Cancel a plain line (also
// when a call failed after it), unless the server's answer came and says the image was created. A body that
// cannot be made (the JSON conversion fails) throws before any connection: nothing is sent. Throws what else
// the exchange throws (the export's guard reports it); `dataUrl` is released on every path.
void UploadImage(std::string dataUrl, const char* linkId);
