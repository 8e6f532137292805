// Error names and the report the user sees.
#include <gtest/gtest.h>

#include "ACAP_STATControl.hpp"
#include "ErrorReporting.hpp"
#include "FakeHost.hpp"

using testsupport::FakeHost;

TEST(ErrorName, NamesEveryRunFromItsFirstToItsLastCode) {
    struct Case {
        UInt32 code;
        const char* name;
    };
    const Case cases[] = {
        {0x81060001, "APIERR_GENERAL"},
        {0x81060003, "APIERR_CANCEL"},
        {0x81060065, "APIERR_BADID"},
        {0x81060072, "APIERR_IRREGULARPOLY"},
        {0x810600C9, "APIERR_NO3D"},
        {0x810600D3, "APIERR_NOTEAMWORKPROJECT"},
        {0x810600DC, "APIERR_NOUSERDATA"},
        {0x810600E4, "APIERR_NAMEALREADYUSED"},
        {0x8106012D, "APIERR_ATTREXIST"},
        {0x81060135, "APIERR_BADCLASSIFICATION"},
        {0x81060191, "APIERR_MODULNOTINSTALLED"},
        {0x81060195, "APIERR_NOMODULEDATA"},
        {0x810601F5, "APIERR_PAROVERLAP"},
        {0x810601F8, "APIERR_PARIMPLICIT"},
        {0x810601FE, "APIERR_RUNOVERLAP"},
        {0x81060202, "APIERR_RUNPROTECTED"},
        {0x81060208, "APIERR_EOLOVERLAP"},
        {0x81060212, "APIERR_TABOVERLAP"},
        {0x81060385, "APIERR_NOTINIT"},
        {0x81060387, "APIERR_NOTSUPPORTED"},
        {0x8106038D, "APIERR_NEEDSUNDOSCOPE"},
        {0x810603E9, "APIERR_MISSINGCODE"},
        {0x810603EA, "APIERR_MISSINGDEF"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(ErrorName(static_cast<GSErrCode>(c.code)), c.name) << std::hex << c.code;
}

TEST(ErrorName, EverythingElseIsUnknown) {
    for (UInt32 code :
         {0x81060000u, 0x81060004u, 0x81060064u, 0x81060073u, 0x810600D4u, 0x810600E5u, 0x81060136u,
          0x81060196u, 0x810601F9u, 0x81060203u, 0x81060209u, 0x81060213u, 0x81060384u, 0x8106038Eu,
          0x810603EBu, 0u, static_cast<UInt32>(-36), static_cast<UInt32>(-7005)})
        EXPECT_STREQ(ErrorName(static_cast<GSErrCode>(code)), "Unknown Error") << std::hex << code;
}

TEST(ReportError, ShowsTextColonNameThenBeeps) {
    FakeHost host;
    ReportError("Error in APIDo_SaveID (JPEG)", static_cast<GSErrCode>(0x81060387));
    ReportError("Error read", -36);
    ReportError("100% done", ExportErrorCode);
    ASSERT_EQ(host.reports.size(), 3u);
    EXPECT_EQ(host.reports[0], "Error in APIDo_SaveID (JPEG): APIERR_NOTSUPPORTED");
    EXPECT_EQ(host.reports[1], "Error read: Unknown Error");
    EXPECT_EQ(host.reports[2], "100% done: Unknown Error");
    EXPECT_TRUE(host.reportAlerts[0]);
    EXPECT_EQ(host.Beeps(), 3);
}

TEST(ReportError, BeepsEvenWithoutReportOutput) {
    FakeHost host;
    host.EmptySlot(kWriteReportSlot);
    ReportError("Error", APIERR_GENERAL);
    EXPECT_TRUE(host.reports.empty());
    EXPECT_EQ(host.Beeps(), 1);
}

TEST(ReportNote, ShowsTheTextAsItIsInTheReportWindowWithoutABeep) {
    FakeHost host;
    ReportNote("Export to KAVELO canceled.");
    ReportNote("100% %s");
    ASSERT_EQ(host.reports.size(), 2u);
    EXPECT_EQ(host.reports[0], "Export to KAVELO canceled.");
    EXPECT_EQ(host.reports[1], "100% %s");
    EXPECT_FALSE(host.reportAlerts[0]);
    EXPECT_EQ(host.Beeps(), 0);
}

// What a step returns is shown once by its command: nothing for NoError, a Cancel as a plain line, any
// other code as an error with its beep.
TEST(ReportFailure, ShowsNothingACancelAsANoteAndElseAnError) {
    FakeHost host;
    ReportFailure(NoFailure);
    EXPECT_TRUE(host.reports.empty());
    ReportFailure({"Export to KAVELO canceled.", APIERR_CANCEL});
    ReportFailure({"Error read", APIERR_MEMFULL});
    ASSERT_EQ(host.reports.size(), 2u);
    EXPECT_EQ(host.reports[0], "Export to KAVELO canceled.");
    EXPECT_FALSE(host.reportAlerts[0]);
    EXPECT_EQ(host.reports[1], "Error read: APIERR_MEMFULL");
    EXPECT_TRUE(host.reportAlerts[1]);
    EXPECT_EQ(host.Beeps(), 1);
}
