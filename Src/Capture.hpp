// The picture an export sends: the host saves the active view as a JPEG in its temporary folder, the module
// reads it back, deletes it and makes it a Base64 data URL.
#pragma once

#include <string>

#include "ErrorReporting.hpp"

// Moves "data:image/jpeg;base64," + the Base64 text of the capture file into `out` (passed in empty).
// The file is saved under a name of this export's own ("KaveloArchiCapture-" and a random identifier), so
// that two exports never read each other's, and it is deleted once read, on every way out, failures and
// exceptions included: no picture of the user's model stays on disk. Returns NoFailure with the whole
// picture in `out`; else, with `out` left as given, the failure for the caller to report: the step that
// failed and its code (the host named no temporary folder or did not save the view, the file's length or
// bytes could not be read, no buffer could be had). The export must then stop. Reports nothing.
Failure CaptureViewAsDataUrl(std::string& out);
