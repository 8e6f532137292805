// The picture an export sends: the host saves the active view as a JPEG, the module reads it back and
// makes it a Base64 data URL.
#pragma once

#include <string>

// Moves "data:image/jpeg;base64," + the Base64 text of the capture file into `out` (passed in empty).
// Failures are reported to the user. Returns false when the host did not save the view: nothing is read
// then and the export must stop. Otherwise true, also when the file could not be read (`out` then stays
// as given). The capture file stays in the host's folder.
bool CaptureViewAsDataUrl(std::string& out);
