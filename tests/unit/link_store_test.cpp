// The user's own store of the link identifier: protected for the user in the application-data folder's
// KAVELO folder, replaced in one step, and never taken from the host's preferences record, which travels
// with every project the user saves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "AddOnMain.hpp"
#include "BrowserPages.hpp"
#include "DGControl.hpp"
#include "ExportCommand.hpp"
#include "FakeHost.hpp"
#include "File.hpp"
#include "IOControl.hpp"
#include "LinkFlow.hpp"
#include "LinkStore.hpp"
#include "LinkStoreFile.hpp"
#include "Location.hpp"
#include "PlatformControl.hpp"
#include "Preferences.hpp"

using DG::Control::Action;
using testsupport::FakeHost;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

const std::string kColleaguesId = "0f8fad5b-d9cb-469f-a165-70867728950e";
const std::string kUnreadable =
    "The link to your KAVELO account stored for this user cannot be read. Please link again: APIERR_GENERAL";

bool Exists(const std::string& path) {
    return std::filesystem::exists(std::filesystem::u8path(path));
}

// A record as it comes with someone else's project: their identifier and live-page time.
testsupport::StoredPreferences ColleaguesRecord() {
    std::vector<unsigned char> bytes(48, 0);
    std::memcpy(bytes.data(), kColleaguesId.c_str(), kColleaguesId.size());
    const Int64 time = NowInSeconds();
    std::memcpy(bytes.data() + 40, &time, sizeof time);
    return {1, bytes};
}

std::string Stored() {
    std::string id;
    return LinkStore::Read(&id) ? id : std::string();
}

// Every text the add-on handed the host: debug lines, reports, the stored record and launched URLs.
std::string EverythingShown(const FakeHost& host) {
    std::string all;
    for (const std::string& line : host.debugLines) all += line;
    for (const std::string& report : host.reports) all += report + "\n";
    if (host.preferences)
        all.append(host.preferences->bytes.begin(), host.preferences->bytes.end());
    return all;
}

class LinkStoreTest : public ::testing::Test {
protected:
    std::string Link() {
        DG::Control::ScriptUserActions({Action::Click(1, 32520)});
        LinkAccount();
        return Stored();
    }

    FakeHost host;
    testsupport::ModuleResources resources;
};

}  // namespace

TEST_F(LinkStoreTest, LinkReadAndUnlinkRoundTripInTheUsersFolderOnly) {
    EXPECT_FALSE(IsAccountLinked());
    const std::string id = Link();
    ASSERT_EQ(id.size(), 36u);
    EXPECT_TRUE(IsAccountLinked());
    EXPECT_EQ(host.LaunchedUrls(), std::vector<std::string>{std::string(WebAppOrigin) + "/login?eid=" + id});
    const std::string file = ReadFile(host.LinkStorePath());
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(file.find(id), std::string::npos) << "the file holds the identifier protected, not as text";
    EXPECT_EQ(file.find(id.substr(0, 8)), std::string::npos);
    EXPECT_FALSE(Exists(host.LinkStorePath() + ".new")) << "the new file replaced the old one";
    ASSERT_TRUE(host.preferences.has_value()) << "the login page stamped the live-page time";
    EXPECT_EQ(host.preferences->bytes.size(), 48u);
    EXPECT_EQ(
        std::vector<unsigned char>(host.preferences->bytes.begin(), host.preferences->bytes.begin() + 40),
        std::vector<unsigned char>(40, 0))
        << "the record's identifier field is written empty";

    const std::string second = Link();
    EXPECT_EQ(second.size(), 36u);
    EXPECT_NE(second, id) << "linking again replaces the identifier";

    EXPECT_EQ(UnlinkAccount(), NoError);
    EXPECT_FALSE(Exists(host.LinkStoreFolder())) << "the emptied KAVELO folder goes with the file";
    EXPECT_FALSE(IsAccountLinked());
    EXPECT_EQ(UnlinkAccount(), NoError) << "nothing stored is no failure";
    EXPECT_TRUE(host.reports.empty());
}

TEST_F(LinkStoreTest, UnlinkLeavesWhatElseTheKaveloFolderHolds) {
    Link();
    WriteFile(host.LinkStoreFolder() + "/notes.txt", "the user's");
    EXPECT_EQ(UnlinkAccount(), NoError);
    EXPECT_FALSE(Exists(host.LinkStorePath()));
    EXPECT_EQ(ReadFile(host.LinkStoreFolder() + "/notes.txt"), "the user's");
}

TEST_F(LinkStoreTest, ARecordFromSomeoneElsesProjectIsNeverUsed) {
    host.preferences = ColleaguesRecord();
    EXPECT_EQ(Preferences::GetPreferences().userUniqueID[0], '\0');
    EXPECT_FALSE(IsAccountLinked());

    // The export asks to link; Cancel: nothing captured, nothing sent.
    DG::Control::ScriptUserActions({Action::Click(2, 32520)});
    ExportFromCurrentView();
    ASSERT_EQ(DG::Control::GetShownDialogs().size(), 1u);
    EXPECT_EQ(DG::Control::GetShownDialogs()[0].resId, 32520);
    EXPECT_EQ(host.saveRequests, 0);

    // The first store writes the record back without it; the live-page time stays.
    EXPECT_EQ(TouchLiveTabTimestamp(), NoError);
    EXPECT_EQ(EverythingShown(host).find(kColleaguesId), std::string::npos);
    EXPECT_EQ(EverythingShown(host).find(kColleaguesId.substr(0, 5)), std::string::npos);
    EXPECT_TRUE(host.reports.empty());
}

TEST_F(LinkStoreTest, TracesShowAtMostFourCharactersOfTheIdentifier) {
    const std::string id = Link();
    IsAccountLinked();
    UnlinkAccount();
    EXPECT_EQ(EverythingShown(host).find(id.substr(0, 5)), std::string::npos);
    const std::string shown = id.substr(0, 4) + "\xE2\x80\xA6";
    EXPECT_NE(
        std::find(host.debugLines.begin(), host.debugLines.end(), "Dialog true and id: " + shown + "\n"),
        host.debugLines.end());
    EXPECT_NE(std::find(host.debugLines.begin(), host.debugLines.end(), "LinkStore::Read: " + shown + "\n"),
              host.debugLines.end());
    EXPECT_EQ(LinkStore::TraceText(""), "none");
}

TEST_F(LinkStoreTest, ADamagedStoreIsNotLinkedWithOneReport) {
    const std::string id = Link();
    const std::string good = ReadFile(host.LinkStorePath());
    // A changed byte of what authenticates the data: the protection's last bytes (the stand-in's tag, the
    // signature of Windows' data protection, which leaves some header fields unchecked).
    std::string flipped = good;
    flipped.back() = static_cast<char>(flipped.back() ^ 0x01);
    const std::vector<std::string> damaged = {flipped, good.substr(0, good.size() - 1), "", id,
                                              std::string(70000, 'x')};
    for (const std::string& bytes : damaged) {
        WriteFile(host.LinkStorePath(), bytes);
        host.reports.clear();
        EXPECT_FALSE(IsAccountLinked()) << bytes.size() << " bytes";
        EXPECT_EQ(host.reports, std::vector<std::string>{kUnreadable}) << bytes.size() << " bytes";
    }
    // Linking again mends it.
    host.reports.clear();
    const std::string again = Link();
    EXPECT_EQ(again.size(), 36u);
    EXPECT_TRUE(host.reports.empty());
}

TEST_F(LinkStoreTest, AStoreProtectedForAnotherUserIsNotLinkedWithOneReport) {
    if (!Platform::Control::SetUserProfile(host.userProfile + "-other"))
        GTEST_SKIP() << "Windows keeps each user's secret: another user is another prefix (hostsim_wine)";
    const std::string othersId = Link();
    ASSERT_EQ(othersId.size(), 36u);
    // The other user's store, copied into this user's roaming folder.
    const std::string othersStore = testsupport::LinkStoreFile(testsupport::UserRoamingFolder());
    Platform::Control::SetUserProfile(host.userProfile);
    std::filesystem::create_directories(std::filesystem::u8path(host.LinkStoreFolder()));
    WriteFile(host.LinkStorePath(), ReadFile(othersStore));
    host.reports.clear();
    EXPECT_FALSE(IsAccountLinked());
    EXPECT_EQ(host.reports, std::vector<std::string>{kUnreadable});

    // Asked to link, the user gets an identifier of their own in place of the other's file.
    host.reports.clear();
    const std::string own = Link();
    EXPECT_EQ(own.size(), 36u);
    EXPECT_NE(own, othersId);
    EXPECT_TRUE(host.reports.empty());
}

TEST_F(LinkStoreTest, AFailedWriteKeepsThePreviousLinkAndOpensNoPage) {
    const std::string id = Link();
    host.launches.clear();
    IO::Control::FailNextWrite(IO::WriteError);
    DG::Control::ScriptUserActions({Action::Click(1, 32520)});
    LinkAccount();
    EXPECT_EQ(host.reports, std::vector<std::string>{"Error: Unknown Error"});
    EXPECT_TRUE(host.launches.empty()) << "no login page for an identifier that is not kept";
    EXPECT_EQ(Stored(), id);
    EXPECT_FALSE(Exists(host.LinkStorePath() + ".new")) << "the half-written file is gone";

    char out[37] = {};
    IO::Control::FailNextWrite(IO::WriteError);
    EXPECT_EQ(CreateUserUniqueID(out), IO::WriteError);
    EXPECT_EQ(out[0], '\0');
    EXPECT_EQ(Stored(), id);
}

// The store lies in the user's roaming folder, which the host neither names nor cleans: a host that names
// no cache folder (asked only for a store of the last build) links, reads and unlinks all the same.
TEST_F(LinkStoreTest, AHostThatNamesNoCacheFolderStillLinks) {
    host.FailSlot(kEnvironmentSlot, static_cast<GSErrCode>(0x81060387));
    EXPECT_FALSE(IsAccountLinked());
    const std::string id = Link();
    EXPECT_EQ(id.size(), 36u);
    EXPECT_TRUE(IsAccountLinked());
    EXPECT_EQ(UnlinkAccount(), NoError);
    EXPECT_FALSE(IsAccountLinked());
    EXPECT_TRUE(host.reports.empty());
}

// Whether a file exists is the connection's outcome (IO::File::GetStatus), the one answer the kit
// documents; the stand-in's Open of a file that never connected says something else, so an add-on that
// asked Open would alert "cannot be read" here. The user who has not linked yet sees the link dialog only.
TEST_F(LinkStoreTest, AUserNotYetLinkedIsAskedToLinkWithNoAlert) {
    IO::File missing(IO::Location(host.LinkStorePath().c_str()), IO::File::Fail);
    EXPECT_EQ(missing.GetStatus(), IO::File::FileNotFound);
    EXPECT_NE(missing.Open(IO::File::ReadMode), IO::File::FileNotFound);

    DG::Control::ScriptUserActions({Action::Click(2, 32520)});
    ExportFromCurrentView();
    ASSERT_EQ(DG::Control::GetShownDialogs().size(), 1u);
    EXPECT_EQ(DG::Control::GetShownDialogs()[0].resId, 32520);
    EXPECT_TRUE(host.reports.empty());
    EXPECT_EQ(host.Beeps(), 0);
    EXPECT_EQ(host.saveRequests, 0);
}

// A user who linked with the last build has the store in the host's cache folder: the first read moves it
// into the roaming folder and removes it there, and the user stays linked with the same identifier.
TEST_F(LinkStoreTest, AStoreWhereTheLastBuildKeptItIsMovedToTheRoamingFolder) {
    ASSERT_TRUE(testsupport::WriteLinkStore(host.cacheFolder, kColleaguesId));
    EXPECT_EQ(Stored(), kColleaguesId);
    EXPECT_FALSE(Exists(host.EarlierLinkStoreFolder())) << "the old file and its emptied folder are gone";
    EXPECT_EQ(testsupport::ReadLinkStore(host.roamingFolder), kColleaguesId);
    EXPECT_NE(std::find(host.debugLines.begin(), host.debugLines.end(),
                        "LinkStore::Read: moved from the host's cache folder\n"),
              host.debugLines.end());
    EXPECT_EQ(Stored(), kColleaguesId) << "read from its new place";
    EXPECT_TRUE(host.reports.empty());
}

// The host's cache folder is the user's to clean or move: the link does not live there.
TEST_F(LinkStoreTest, CleaningTheHostsCacheFolderKeepsTheLink) {
    const std::string id = Link();
    ASSERT_EQ(id.size(), 36u);
    EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::u8path(host.cacheFolder)));
    testsupport::RemoveTree(host.cacheFolder);
    std::filesystem::create_directory(std::filesystem::u8path(host.cacheFolder));
    EXPECT_EQ(Stored(), id);
    EXPECT_TRUE(host.reports.empty());
}

// A store the last build left beside a newer one would come back at the next read: unlink removes both.
TEST_F(LinkStoreTest, UnlinkAlsoRemovesAStoreLeftInTheCacheFolder) {
    const std::string id = Link();
    ASSERT_TRUE(testsupport::WriteLinkStore(host.cacheFolder, kColleaguesId));
    EXPECT_EQ(Stored(), id) << "the roaming folder's store comes first";
    EXPECT_EQ(UnlinkAccount(), NoError);
    EXPECT_FALSE(Exists(host.LinkStoreFolder()));
    EXPECT_FALSE(Exists(host.EarlierLinkStoreFolder()));
    EXPECT_FALSE(IsAccountLinked());
    EXPECT_TRUE(host.reports.empty());
}

// A damaged store of the last build is reported as any damaged store, and left for the user's next link
// to supersede.
TEST_F(LinkStoreTest, ADamagedStoreInTheCacheFolderIsOneReport) {
    std::filesystem::create_directories(std::filesystem::u8path(host.EarlierLinkStoreFolder()));
    WriteFile(host.EarlierLinkStorePath(), "not protected");
    EXPECT_FALSE(IsAccountLinked());
    EXPECT_EQ(host.reports, std::vector<std::string>{kUnreadable});
    host.reports.clear();
    const std::string id = Link();
    EXPECT_EQ(id.size(), 36u);
    EXPECT_EQ(Stored(), id);
    EXPECT_TRUE(host.reports.empty());
}
