// ErrorName's table of host error names, ReportError, ReportNote and ReportFailure.
#include "ErrorReporting.hpp"

#include "ACAPinc.h"
#include "GSSystem.h"

namespace {

// A run of consecutive codes, named in order from `first`.
struct NameRun {
    UInt32 first;
    const char* const* names;
    UInt32 count;
};

const char* const kGeneral[] = {"APIERR_GENERAL", "APIERR_MEMFULL", "APIERR_CANCEL"};
const char* const kBad[] = {"APIERR_BADID",          "APIERR_BADINDEX",     "APIERR_BADNAME",
                            "APIERR_BADPARS",        "APIERR_BADPOLY",      "APIERR_BADDATABASE",
                            "APIERR_BADWINDOW",      "APIERR_BADKEYCODE",   "APIERR_BADPLATFORMSIGN",
                            "APIERR_BADPLANE",       "APIERR_BADUSERID",    "APIERR_BADVALUE",
                            "APIERR_BADELEMENTTYPE", "APIERR_IRREGULARPOLY"};
const char* const kNo[] = {"APIERR_NO3D",
                           "APIERR_NOMORE",
                           "APIERR_NOPLAN",
                           "APIERR_NOLIB",
                           "APIERR_NOLIBSECT",
                           "APIERR_NOSEL",
                           "APIERR_NOTEDITABLE",
                           "APIERR_NOTSUBTYPEOF",
                           "APIERR_NOTEQUALMAIN",
                           "APIERR_NOTEQUALREVISION",
                           "APIERR_NOTEAMWORKPROJECT"};
const char* const kUser[] = {"APIERR_NOUSERDATA",   "APIERR_MOREUSER",       "APIERR_LINKEXIST",
                             "APIERR_LINKNOTEXIST", "APIERR_WINDEXIST",      "APIERR_WINDNOTEXIST",
                             "APIERR_UNDOEMPTY",    "APIERR_REFERENCEEXIST", "APIERR_NAMEALREADYUSED"};
const char* const kAttr[] = {"APIERR_ATTREXIST",     "APIERR_DELETED",     "APIERR_LOCKEDLAY",
                             "APIERR_HIDDENLAY",     "APIERR_INVALFLOOR",  "APIERR_NOTMINE",
                             "APIERR_NOACCESSRIGHT", "APIERR_BADPROPERTY", "APIERR_BADCLASSIFICATION"};
const char* const kModul[] = {"APIERR_MODULNOTINSTALLED", "APIERR_MODULCMDMINE",
                              "APIERR_MODULCMDNOTSUPPORTED", "APIERR_MODULCMDVERSNOTSUPPORTED",
                              "APIERR_NOMODULEDATA"};
const char* const kPar[] = {"APIERR_PAROVERLAP", "APIERR_PARMISSING", "APIERR_PAROVERFLOW",
                            "APIERR_PARIMPLICIT"};
const char* const kRun[] = {"APIERR_RUNOVERLAP", "APIERR_RUNMISSING", "APIERR_RUNOVERFLOW",
                            "APIERR_RUNIMPLICIT", "APIERR_RUNPROTECTED"};
const char* const kEol[] = {"APIERR_EOLOVERLAP"};
const char* const kTab[] = {"APIERR_TABOVERLAP"};
const char* const kInit[] = {"APIERR_NOTINIT",       "APIERR_NESTING",       "APIERR_NOTSUPPORTED",
                             "APIERR_REFUSEDCMD",    "APIERR_REFUSEDPAR",    "APIERR_READONLY",
                             "APIERR_SERVICEFAILED", "APIERR_COMMANDFAILED", "APIERR_NEEDSUNDOSCOPE"};
const char* const kMissing[] = {"APIERR_MISSINGCODE", "APIERR_MISSINGDEF"};

template <UInt32 N>
constexpr NameRun Run(APIErrCodes first, const char* const (&names)[N]) {
    return NameRun{static_cast<UInt32>(first), names, N};
}

const NameRun kRuns[] = {
    Run(APIERR_GENERAL, kGeneral), Run(APIERR_BADID, kBad),      Run(APIERR_NO3D, kNo),
    Run(APIERR_NOUSERDATA, kUser), Run(APIERR_ATTREXIST, kAttr), Run(APIERR_MODULNOTINSTALLED, kModul),
    Run(APIERR_PAROVERLAP, kPar),  Run(APIERR_RUNOVERLAP, kRun), Run(APIERR_EOLOVERLAP, kEol),
    Run(APIERR_TABOVERLAP, kTab),  Run(APIERR_NOTINIT, kInit),   Run(APIERR_MISSINGCODE, kMissing),
};

}  // namespace

const char* ErrorName(GSErrCode code) {
    const UInt32 value = static_cast<UInt32>(code);
    for (const NameRun& run : kRuns) {
        if (value >= run.first && value - run.first < run.count)
            return run.names[value - run.first];
    }
    return "Unknown Error";
}

void ReportError(const char* text, GSErrCode code) {
    const char* name = ErrorName(code);
    {
        // The caller's text goes in as an argument, never as the format, so a "%" in it shows as it is.
        const GS::UniString format("%s: %s", CC_Default);
        ACAPI_WriteReport(format, true, text, name);
    }
    GSSysBeep();
}

void ReportNote(const char* text) {
    const GS::UniString format("%s", CC_Default);
    ACAPI_WriteReport(format, false, text);
}

void ReportFailure(const Failure& failure) {
    if (failure.code == NoError)
        return;
    if (failure.code == APIERR_CANCEL) {
        ReportNote(failure.text);
        return;
    }
    ReportError(failure.text, failure.code);
}
