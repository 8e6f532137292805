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

// What a step below the entry points returns rather than report: its caller, the command that shows the
// result, reports it once (ReportFailure), as it would report a bare code. `text` is static text shown
// before the code's name. NoError is no failure; APIERR_CANCEL is the user's Cancel, no failure either.
struct Failure {
    const char* text;
    GSErrCode code;
};

inline constexpr Failure NoFailure{"", NoError};

// Nothing for NoError; `failure.text` alone as a note for APIERR_CANCEL; else ReportError(text, code).
void ReportFailure(const Failure& failure);
