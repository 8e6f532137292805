// The failures an entry point reports when its work throws.
#include "EntryGuard.hpp"

#include "ACAPinc.h"
#include "ErrorReporting.hpp"

const Failure GeneralFailure{"Error", APIERR_GENERAL};
const Failure ExportFailure{"Error on exporting image to KAVELO. Please try again", ExportErrorCode};

void ReportEntryFailure(const Failure& failure) noexcept {
    try {
        ReportFailure(failure);
    } catch (...) {
        // Nothing is left to tell the user with; the host must still not see the exception.
    }
}
