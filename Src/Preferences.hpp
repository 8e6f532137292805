// The add-on's only persistent state: the 48-byte preferences record the host keeps for it. Nothing is
// cached; every operation reads the record from the host and writes the whole record back.
#pragma once

#include <cstddef>

#include "Definitions.hpp"

struct KaveloPrefs {
    char userUniqueID[37];           // link identifier, NUL-terminated; empty when not linked
    unsigned char unused[3];         // belong to no field; written back as read
    Int64 timestampLastRealtimeTab;  // seconds since 1970 of the last browser launch; 0 = never
};
static_assert(sizeof(KaveloPrefs) == 48 && offsetof(KaveloPrefs, timestampLastRealtimeTab) == 40,
              "stored record layout");

constexpr Int32 PreferencesVersion = 1;
constexpr Int64 LiveTabLifetimeSeconds = 3600;

namespace Preferences {
// The stored record, or the empty record (48 zero bytes) when nothing, version 0 or another size is
// stored. A failed read is reported and yields what the host left in the buffer.
KaveloPrefs GetPreferences();
// Stores `prefs` as version 1; returns the host's code, NoError when stored. Reports nothing.
GSErrCode SetPreferences(KaveloPrefs prefs);
}  // namespace Preferences

// Deletes the stored record; returns the host's code (traced, not reported), NoError when deleted.
GSErrCode UnlinkAccount();
bool IsAccountLinked();
// True when the live page was last opened more than LiveTabLifetimeSeconds ago, or never.
bool IsLiveTabStale();
// The staleness rule on its own: `now` strictly later than `stored` + LiveTabLifetimeSeconds.
bool IsTimestampStale(Int64 stored, Int64 now);
// Stores now as the live-page time, keeping the rest of the record; returns the store's code.
GSErrCode TouchLiveTabTimestamp();
// Makes and stores a new link identifier and copies its 37 bytes (36 characters and NUL) into `out`.
// Returns NoError only when the identifier is stored; otherwise the store's code, or APIERR_GENERAL when
// the system's random source failed (nothing stored). `out` is untouched on failure. Reports nothing.
GSErrCode CreateUserUniqueID(char (&out)[37]);

// The system clock in whole seconds since 1970-01-01 00:00 UTC.
Int64 NowInSeconds();
