// The network half of an export: one HTTPS request to the image endpoint and what the answer shows.
#pragma once

#include <string>

// Posts `dataUrl` with `linkId` (NUL-terminated, borrowed) as "X-Api-Key" and acts on the status: 201
// shows a success dialog, 401 the failure dialog and the link flow, 413 and every other outcome one
// report; a body that goes too slowly (see UploadPace) is broken off with the report that says so, and
// a Cancel with a plain line. Throws what the exchange throws (the export's guard reports it); `dataUrl` is
// released on every path.
void UploadImage(std::string dataUrl, const char* linkId);
