// The preferences record: read, write, delete, and the questions the other commands ask of it.
#include "Preferences.hpp"

#include <chrono>
#include <cstring>
#include <string>

#include "ACAPinc.h"
#include "ErrorReporting.hpp"
#include "GSDebug.hpp"
#include "LinkIdentifier.hpp"
#include "LinkStore.hpp"

namespace {

// Only whether the record held an identifier: one from elsewhere is still someone's key.
void TraceRecord(const KaveloPrefs& prefs) {
    DBPrintf("prefs.userUniqueID %s\n", prefs.userUniqueID[0] != '\0' ? "not used (one was stored)" : "none");
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
    DBPrintf("Preferences::GetPreferences()\n");
    TraceRecord(prefs);
    // An identifier in the record may have come with someone else's project: it is never used.
    std::memset(prefs.userUniqueID, 0, sizeof prefs.userUniqueID);
    return prefs;
}

GSErrCode SetPreferences(KaveloPrefs prefs) {
    DBPrintf("Preferences::SetPreferences(KaveloPrefs prefs)\n");
    std::memset(prefs.userUniqueID, 0, sizeof prefs.userUniqueID);
    TraceRecord(prefs);
    return ACAPI_SetPreferences(PreferencesVersion, static_cast<GSSize>(sizeof prefs), &prefs);
}

}  // namespace Preferences

GSErrCode UnlinkAccount() {
    if (const GSErrCode removed = LinkStore::Remove(); removed != NoError) {
        DBPrintf("Failed to remove the link. Error code: %d\n", static_cast<int>(removed));
        return removed;
    }
    // The link is gone with the store. Clearing the record is only tidying (it holds no identifier), and the
    // kit documents the call for saving alone: a refusal is traced, never the unlink's failure.
    const GSErrCode result = ACAPI_SetPreferences(0, 0, nullptr);
    if (result == NoError)
        DBPrintf("Preferences deleted successfully.\n");
    else
        DBPrintf("Failed to delete preferences. Error code: %d\n", static_cast<int>(result));
    return NoError;
}

bool IsAccountLinked() {
    std::string id;
    return LinkStore::Read(&id);
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
    const std::string id = GenerateUuidV4();
    if (id.empty())
        return APIERR_GENERAL;
    if (const GSErrCode err = LinkStore::Write(id); err != NoError)
        return err;
    std::memcpy(out, id.c_str(), sizeof out);
    return NoError;
}
