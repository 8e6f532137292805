// The picture an export sends: the host saves the active view as a JPEG, the module reads it back and
// makes it a Base64 data URL.
#pragma once

#include <string>

// Moves "data:image/jpeg;base64," + the Base64 text of the capture file into `out` (passed in empty).
// Failures are reported to the user and never stop the call; when the file cannot be read, `out` stays
// as given. The capture file stays in the host's folder.
void CaptureViewAsDataUrl(std::string& out);
