// The preferences record as the host stores it (its identifier field always empty: the identifier is the
// user's own, in LinkStore), the live-page time, and the link identifier's form.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>

#include "FakeHost.hpp"
#include "IOControl.hpp"
#include "LinkIdentifier.hpp"
#include "LinkStore.hpp"
#include "Location.hpp"
#include "Preferences.hpp"

using testsupport::FakeHost;
using testsupport::StoredPreferences;

namespace {

StoredPreferences Record(const char* id, Int64 timestamp, Int32 version = 1) {
    std::vector<unsigned char> bytes(48, 0);
    std::memcpy(bytes.data(), id, std::strlen(id));
    std::memcpy(bytes.data() + 40, &timestamp, 8);
    return {version, bytes};
}

Int64 StoredTimestamp(const FakeHost& host) {
    Int64 value;
    std::memcpy(&value, host.preferences->bytes.data() + 40, 8);
    return value;
}

std::string StoredId(const FakeHost& host) {
    return std::string(reinterpret_cast<const char*>(host.preferences->bytes.data()));
}

bool IsUuidV4Text(const std::string& id) {
    if (id.size() != 36)
        return false;
    for (std::size_t i = 0; i < id.size(); ++i) {
        const char c = id[i];
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != '-')
                return false;
        } else if (!(std::isdigit(static_cast<unsigned char>(c)) || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return id[14] == '4' && std::strchr("89ab", id[19]) != nullptr;
}

const char* kId = "0f8fad5b-d9cb-469f-a165-70867728950e";

}  // namespace

TEST(Preferences, NothingStoredReadsAsTheEmptyRecordWithoutAReport) {
    FakeHost host;
    const KaveloPrefs prefs = Preferences::GetPreferences();
    const KaveloPrefs empty{};
    EXPECT_EQ(std::memcmp(&prefs, &empty, sizeof prefs), 0);
    EXPECT_TRUE(host.reports.empty());
    EXPECT_EQ(host.CallsTo(kGetPreferencesSlot), 1u);
    EXPECT_EQ(host.debugLines,
              (std::vector<std::string>{"Preferences::GetPreferences()\n", "prefs.userUniqueID none\n",
                                        "prefs.timestampLastRealtimeTab 0\n"}));
    EXPECT_FALSE(IsAccountLinked());
    EXPECT_TRUE(IsLiveTabStale());
}

TEST(Preferences, WrongSizeOrVersionZeroReadsAsEmpty) {
    FakeHost host;
    StoredPreferences shortRecord = Record(kId, 5);
    shortRecord.bytes.resize(40);
    for (const StoredPreferences& stored : {shortRecord, Record(kId, 5, 0)}) {
        host.preferences = stored;
        EXPECT_EQ(Preferences::GetPreferences().timestampLastRealtimeTab, 0);
    }
    EXPECT_TRUE(host.reports.empty());
}

TEST(Preferences, OtherVersionsAreReadAndWrittenBackAsVersionOneWithoutTheirIdentifier) {
    FakeHost host;
    host.preferences = Record(kId, -12);
    host.preferences->version = 2;
    host.preferences->bytes[37] = 0xAB;
    host.preferences->bytes[39] = 0xCD;
    host.debugLines.clear();
    EXPECT_EQ(Preferences::GetPreferences().userUniqueID[0], '\0') << "a stored identifier is never used";
    EXPECT_EQ(host.debugLines[1], "prefs.userUniqueID not used (one was stored)\n");
    EXPECT_EQ(host.debugLines[2], "prefs.timestampLastRealtimeTab -12\n");
    EXPECT_FALSE(IsAccountLinked());
    TouchLiveTabTimestamp();
    EXPECT_EQ(host.preferences->version, 1);
    ASSERT_EQ(host.preferences->bytes.size(), 48u);
    EXPECT_EQ(StoredId(host), "") << "the first store after an update writes the field empty";
    EXPECT_EQ(host.preferences->bytes[37], 0xAB) << "bytes 37 to 39 survive a read-modify-write";
    EXPECT_EQ(host.preferences->bytes[39], 0xCD);
    EXPECT_NEAR(static_cast<double>(StoredTimestamp(host)), static_cast<double>(NowInSeconds()), 2.0);
}

TEST(Preferences, FailedFirstReadIsReportedOnceAndNotRepeated) {
    FakeHost host;
    host.preferences = Record(kId, 0);
    host.FailSlot(kGetPreferencesSlot, static_cast<GSErrCode>(0x81060001), 1);
    EXPECT_EQ(Preferences::GetPreferences().timestampLastRealtimeTab, 0);
    EXPECT_EQ(host.CallsTo(kGetPreferencesSlot), 1u);
    EXPECT_EQ(host.reports, std::vector<std::string>{"Error: APIERR_GENERAL"});
}

TEST(Preferences, FailedStoreIsReturnedNotReportedAndNoIdentifierHandedBack) {
    FakeHost host;
    IO::Control::FailNextWrite(IO::WriteError);
    char id[37] = {};
    EXPECT_EQ(CreateUserUniqueID(id), IO::WriteError);
    EXPECT_EQ(id[0], '\0') << "an identifier that is not kept is not handed back";
    EXPECT_TRUE(host.reports.empty()) << "the command reports, once";
    EXPECT_FALSE(IsAccountLinked());
    EXPECT_FALSE(host.preferences.has_value());
}

TEST(Preferences, StoredIdWithoutNulIsNeverHandedOut) {
    FakeHost host;
    host.preferences = Record("", 0);
    std::fill(host.preferences->bytes.begin(), host.preferences->bytes.begin() + 40, 'x');
    const KaveloPrefs prefs = Preferences::GetPreferences();
    EXPECT_EQ(prefs.userUniqueID[0], '\0');
    EXPECT_EQ(prefs.unused[0], 'x') << "the bytes of no field are kept";
}

TEST(Preferences, StalenessBoundaries) {
    const Int64 now = 1'800'000'000;
    EXPECT_FALSE(IsTimestampStale(now - 3600, now));
    EXPECT_TRUE(IsTimestampStale(now - 3601, now));
    EXPECT_TRUE(IsTimestampStale(0, now));
    EXPECT_FALSE(IsTimestampStale(now + 100, now));
    EXPECT_FALSE(IsTimestampStale(INT64_MAX, now));
    EXPECT_TRUE(IsTimestampStale(INT64_MIN, now));
}

TEST(Preferences, TouchWithNothingStoredMakesAStoredUnlinkedRecord) {
    FakeHost host;
    TouchLiveTabTimestamp();
    ASSERT_TRUE(host.preferences.has_value());
    EXPECT_EQ(host.preferences->version, 1);
    EXPECT_EQ(host.preferences->bytes.size(), 48u);
    EXPECT_EQ(StoredId(host), "");
    EXPECT_FALSE(IsAccountLinked());
    EXPECT_FALSE(IsLiveTabStale());
}

TEST(Preferences, CreateUserUniqueIdStoresInTheUsersStoreAndLeavesTheRecord) {
    FakeHost host;
    host.preferences = Record(kId, 1234);
    host.preferences->bytes[38] = 0x77;
    const StoredPreferences before = *host.preferences;
    char out[37];
    std::memset(out, 'z', sizeof out);
    EXPECT_EQ(CreateUserUniqueID(out), NoError);
    EXPECT_EQ(out[36], '\0');
    EXPECT_TRUE(IsUuidV4Text(out));
    std::string stored;
    EXPECT_TRUE(LinkStore::Read(&stored));
    EXPECT_EQ(stored, out);
    EXPECT_EQ(host.preferences->bytes, before.bytes);
    EXPECT_EQ(host.CallsTo(kSetPreferencesSlot), 0u);
}

TEST(Preferences, UnlinkDeletesTheRecordAndTracesTheOutcome) {
    FakeHost host;
    host.preferences = Record(kId, NowInSeconds());
    EXPECT_EQ(UnlinkAccount(), NoError);
    EXPECT_FALSE(host.preferences.has_value());
    EXPECT_EQ(host.debugLines.back(), "Preferences deleted successfully.\n");
    EXPECT_FALSE(IsAccountLinked());
    EXPECT_TRUE(IsLiveTabStale());

    // The store's removal decides; a refused deletion of the record is traced, not the unlink's failure.
    host.FailSlot(kSetPreferencesSlot, static_cast<GSErrCode>(0x81060387));
    EXPECT_EQ(UnlinkAccount(), NoError);
    EXPECT_EQ(host.debugLines.back(), "Failed to delete preferences. Error code: -2130312313\n");
    EXPECT_TRUE(host.reports.empty());
}

TEST(LinkIdentifier, EveryIdentifierHasTheVersion4FormAndIsNew) {
    std::set<std::string> seen;
    for (int i = 0; i < 5000; ++i) {
        const std::string id = GenerateUuidV4();
        ASSERT_TRUE(IsUuidV4Text(id)) << id;
        ASSERT_TRUE(IsLinkIdentifierText(id)) << id;
        ASSERT_TRUE(seen.insert(id).second) << "repeated identifier " << id;
    }
    std::set<char> variants;
    for (const std::string& id : seen) variants.insert(id[19]);
    EXPECT_EQ(variants, (std::set<char>{'8', '9', 'a', 'b'}));
    for (const char* other : {"0F8FAD5B-D9CB-469F-A165-70867728950E", "0f8fad5b-d9cb-369f-a165-70867728950e",
                              "0f8fad5b-d9cb-469f-c165-70867728950e", "0f8fad5b-d9cb-469f-a165-70867728950",
                              "0f8fad5bxd9cb-469f-a165-70867728950e", ""})
        EXPECT_FALSE(IsLinkIdentifierText(other)) << other;
}
