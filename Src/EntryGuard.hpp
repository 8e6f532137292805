// The edge between the host and the add-on. The host calls the add-on across a C boundary and runs its own
// C++ runtime, so no exception may leave a function the host calls: each such function runs its work
// through Guarded, which turns whatever is thrown into one report and an answer for the host.
#pragma once

#include "ErrorReporting.hpp"

// What a caught exception becomes, reported as "<text>: <name of code>". "Error" with APIERR_GENERAL: any
// entry point but the export.
extern const Failure GeneralFailure;
// The export's "any other way" failure, with the module's export code.
extern const Failure ExportFailure;

// ReportFailure that never throws (a report that fails itself is dropped).
void ReportEntryFailure(const Failure& failure) noexcept;

// Returns what `body` returns. When `body` throws, everything it built is destroyed on the way out, the
// failure is reported once, and `onFailure` is returned.
template <class Result, class Body>
Result Guarded(const Failure& failure, Result onFailure, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        ReportEntryFailure(failure);
        return onFailure;
    }
}

// The same for work without a result.
template <class Body>
void Guarded(const Failure& failure, Body&& body) noexcept {
    Guarded(failure, true, [&body] {
        body();
        return true;
    });
}
