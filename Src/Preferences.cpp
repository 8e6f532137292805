// The preferences record: read, write, delete, and the questions the other commands ask of it.
#include "Preferences.hpp"

#include <chrono>
#include <cstring>
#include <string>

#include "ACAPinc.h"
#include "ErrorReporting.hpp"
#include "GSDebug.hpp"
#include "LinkIdentifier.hpp"

namespace {

void TraceRecord(const KaveloPrefs& prefs) {
    DBPrintf("prefs.userUniqueID %s\n", prefs.userUniqueID);
    DBPrintf("prefs.timestampLastRealtimeTab %s\n", std::to_string(prefs.timestampLastRealtimeTab).c_str());
}

}  // namespace

Int64 NowInSeconds() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

namespace Preferences {

KaveloPrefs GetPreferences() {
    KaveloPrefs prefs{};
    Int32 version = 0;
    GSSize size = 0;
    GSErrCode result = ACAPI_GetPreferences(&version, &size, nullptr);
    if (result == NoError && version != 0 && size == static_cast<GSSize>(sizeof(KaveloPrefs)))
        result = ACAPI_GetPreferences(&version, &size, &prefs);
    if (result != NoError)
        ReportError("Error", result);
    // The module always stores a NUL within the field; bound data from elsewhere to 36 characters so
    // that nothing reads past the field.
    prefs.userUniqueID[sizeof prefs.userUniqueID - 1] = '\0';
    DBPrintf("Preferences::GetPreferences()\n");
    TraceRecord(prefs);
    return prefs;
}

GSErrCode SetPreferences(KaveloPrefs prefs) {
    DBPrintf("Preferences::SetPreferences(KaveloPrefs prefs)\n");
    TraceRecord(prefs);
    return ACAPI_SetPreferences(PreferencesVersion, static_cast<GSSize>(sizeof prefs), &prefs);
}

}  // namespace Preferences

GSErrCode UnlinkAccount() {
    const GSErrCode result = ACAPI_SetPreferences(0, 0, nullptr);
    if (result == NoError) {
        DBPrintf("Preferences deleted successfully.\n");
        return NoError;
    }
    DBPrintf("Failed to delete preferences. Error code: %d\n", static_cast<int>(result));
    return result;
}

bool IsAccountLinked() {
    return Preferences::GetPreferences().userUniqueID[0] != '\0';
}

bool IsTimestampStale(Int64 stored, Int64 now) {
    // Compared as now - stored so that no stored value, however large, can overflow.
    return now > stored && static_cast<UInt64>(now) - static_cast<UInt64>(stored) > LiveTabLifetimeSeconds;
}

bool IsLiveTabStale() {
    const KaveloPrefs prefs = Preferences::GetPreferences();
    return IsTimestampStale(prefs.timestampLastRealtimeTab, NowInSeconds());
}

GSErrCode TouchLiveTabTimestamp() {
    KaveloPrefs prefs = Preferences::GetPreferences();
    prefs.timestampLastRealtimeTab = NowInSeconds();
    return Preferences::SetPreferences(prefs);
}

GSErrCode CreateUserUniqueID(char (&out)[37]) {
    KaveloPrefs prefs = Preferences::GetPreferences();
    DBPrintf("ACAPI_SetPreferences\n");
    const std::string id = GenerateUuidV4();
    if (id.empty())
        return APIERR_GENERAL;
    std::strncpy(prefs.userUniqueID, id.c_str(), sizeof prefs.userUniqueID - 1);
    prefs.userUniqueID[sizeof prefs.userUniqueID - 1] = '\0';
    if (const GSErrCode err = Preferences::SetPreferences(prefs); err != NoError)
        return err;
    std::memcpy(out, prefs.userUniqueID, sizeof out);
    return NoError;
}
