// The one way a failure reaches the user: the caller's text and the error's host name, then a beep; and
// a plain line in the host's Report window for what is no failure.
#pragma once

#include "Definitions.hpp"

// The module's own error codes; neither has a host name.
constexpr GSErrCode ExportErrorCode = -7005;
constexpr GSErrCode CaptureReadErrorCode = -36;

// The host name of `code` ("APIERR_..."), or "Unknown Error" for every code without one. Static text;
// never fails, never allocates.
const char* ErrorName(GSErrCode code);

// Has the host show "<text>: <name of code>" and sounds the system beep, also when the host offers no
// report output. `text` is shown as it is, "%" included.
void ReportError(const char* text, GSErrCode code);

// Has the host show `text` as it is, "%" included, in its Report window: no alert, no beep.
void ReportNote(const char* text);
