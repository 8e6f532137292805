// ErrorName's table of host error names and ReportError.
#include "ErrorReporting.hpp"

#include "GSUtils.hpp"
#include "HostServices.hpp"

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
constexpr NameRun Run(UInt32 first, const char* const (&names)[N]) {
    return NameRun{first, names, N};
}

const NameRun kRuns[] = {
    Run(0x81060001, kGeneral), Run(0x81060065, kBad),   Run(0x810600C9, kNo),   Run(0x810600DC, kUser),
    Run(0x8106012D, kAttr),    Run(0x81060191, kModul), Run(0x810601F5, kPar),  Run(0x810601FE, kRun),
    Run(0x81060208, kEol),     Run(0x81060212, kTab),   Run(0x81060385, kInit), Run(0x810603E9, kMissing),
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
        HostWriteReport(format, true, text, name);
    }
    GSSysBeep();
}
