// The failures an entry point reports when its work throws.
#include "EntryGuard.hpp"

#include "ACAPinc.h"
#include "ErrorReporting.hpp"

const EntryFailure GeneralFailure{"Error", APIERR_GENERAL};
const EntryFailure ExportFailure{"Error on exporting image to KAVELO. Please try again", ExportErrorCode};

void ReportEntryFailure(const EntryFailure& failure) noexcept {
    try {
        ReportError(failure.text, failure.code);
    } catch (...) {
        // Nothing is left to tell the user with; the host must still not see the exception.
    }
}
