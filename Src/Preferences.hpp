// The 48-byte preferences record the host keeps for the add-on, which the host also saves into every
// project the user saves, and the questions about the link. Nothing is cached; every operation reads the
// record from the host and writes the whole record back. The link identifier is the user's own and lives
// in LinkStore, never here: the record's identifier field is always written empty, and one found in a
// record read (from an earlier build, or from someone else's project) is never used.
#pragma once

#include <cstddef>

#include "Definitions.hpp"

struct KaveloPrefs {
    char userUniqueID[37];           // always empty: the identifier lives in LinkStore
    unsigned char unused[3];         // belong to no field; written back as read
    Int64 timestampLastRealtimeTab;  // seconds since 1970 of the last browser launch; 0 = never
};
static_assert(sizeof(KaveloPrefs) == 48 && offsetof(KaveloPrefs, timestampLastRealtimeTab) == 40,
              "stored record layout");

constexpr Int32 PreferencesVersion = 1;
constexpr Int64 LiveTabLifetimeSeconds = 3600;

namespace Preferences {
// The stored record, or the empty record (48 zero bytes) when nothing, version 0 or another size is
// stored. A failed read is reported and yields what the host left in the buffer. The identifier field
// comes back empty, whatever the record held.
KaveloPrefs GetPreferences();
// Stores `prefs` as version 1, its identifier field empty; returns the host's code, NoError when stored.
// Reports nothing.
GSErrCode SetPreferences(KaveloPrefs prefs);
}  // namespace Preferences

// Removes the stored link identifier, then asks the host to delete the stored record. The store's removal
// decides: its failure's code (traced, not reported), or NoError once the identifier is gone, whatever the
// host answers to the record's deletion (a refusal is traced).
GSErrCode UnlinkAccount();
// Whether the user's store holds an identifier (an unreadable store is reported once and counts as not).
bool IsAccountLinked();
// True when the live page was last opened more than LiveTabLifetimeSeconds ago, or never.
bool IsLiveTabStale();
// The staleness rule on its own: `now` strictly later than `stored` + LiveTabLifetimeSeconds.
bool IsTimestampStale(Int64 stored, Int64 now);
// Stores now as the live-page time, keeping the rest of the record; returns the store's code.
GSErrCode TouchLiveTabTimestamp();
// Makes a new link identifier, stores it in the user's store in place of any earlier one and copies its 37
// bytes (36 characters and NUL) into `out`. Returns NoError only when the identifier is stored; otherwise
// the store's code (the earlier identifier kept), or APIERR_GENERAL when the system's random source failed
// (nothing stored). `out` is untouched on failure. Reports nothing.
GSErrCode CreateUserUniqueID(char (&out)[37]);

// The system clock in whole seconds since 1970-01-01 00:00 UTC.
Int64 NowInSeconds();
