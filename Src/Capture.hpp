// The picture an export sends: the host saves the active view as a JPEG, the module reads it back and
// makes it a Base64 data URL.
#pragma once

#include <string>

#include "Location.hpp"

// The user's application-data folder, as the host names it (its special folder for the add-on's files):
// where the view is captured and the link identifier kept. Returns the host's code.
GSErrCode GetApplicationDataFolder(IO::Location* folder);

// Moves "data:image/jpeg;base64," + the Base64 text of the capture file into `out` (passed in empty).
// Returns true with the whole picture in `out`; false after any failure (the host did not save the view,
// the file's length or bytes could not be read, no buffer could be had), which is reported once, with
// `out` left as given: the export must then stop. The capture file stays in the host's folder.
bool CaptureViewAsDataUrl(std::string& out);
