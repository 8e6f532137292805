// The edge between the host and the add-on. The host calls the add-on across a C boundary and runs its own
// C++ runtime, so no exception may leave a function the host calls: each such function runs its work
// through Guarded, which turns whatever is thrown into one report and an answer for the host.
#pragma once

#include "ErrorReporting.hpp"

// What a caught exception becomes: the report the user sees ("<text>: <name of code>").
using EntryFailure = Failure;

// "Error" with APIERR_GENERAL: any entry point but the export.
extern const EntryFailure GeneralFailure;
// The export's "any other way" failure, with the module's export code.
extern const EntryFailure ExportFailure;

// Shows `failure` to the user; never throws (a report that fails itself is dropped).
void ReportEntryFailure(const EntryFailure& failure) noexcept;

// Returns what `body` returns. When `body` throws, everything it built is destroyed on the way out, the
// failure is reported once, and `onFailure` is returned.
template <class Result, class Body>
Result Guarded(const EntryFailure& failure, Result onFailure, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        ReportEntryFailure(failure);
        return onFailure;
    }
}

// The same for work without a result.
template <class Body>
void Guarded(const EntryFailure& failure, Body&& body) noexcept {
    Guarded(failure, true, [&body] {
        body();
        return true;
    });
}
