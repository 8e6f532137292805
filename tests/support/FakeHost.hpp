// An in-memory host for unit tests: fills the module's function table (at the slots ACAP_STATControl.hpp
// names) with functions that record what the module asked and answer from state a test sets, and captures
// reports, beeps, debug lines and launches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ACAP_STATControl.hpp"
#include "Definitions.hpp"
#include "UniString.hpp"

namespace testsupport {

// The host's environment record as the environment-check entry fills it: the add-on's name and
// description at byte offsets 48 and 64, the rest the host's own.
struct EnvironmentRecord {
    unsigned char opaque[48];
    GS::UniString name;
    GS::UniString description;
    unsigned char rest[8];
};

struct StoredPreferences {
    Int32 version = 0;
    std::vector<unsigned char> bytes;
};

// One call of the process window through the Interface slot: its selector ('IPWD', 'SPRP', ...), the
// text it passed (title or phase) and the number (phases, maximum, value) where it passed one.
struct ProcessWindowCall {
    UInt32 selector;
    std::string text;
    std::optional<Int32> number;
};

struct SlotCall {
    std::size_t slot;
    void* context;
};

class FakeHost {
public:
    // Installs the host into the module's table (every slot this host serves) and sets the context.
    // Only one FakeHost may exist at a time.
    FakeHost();
    ~FakeHost();
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    static FakeHost& Current();

    // Faults: the slot answers `code` without doing its work, for the next `count` calls (-1: always).
    void FailSlot(std::size_t slot, GSErrCode code, int count = -1);
    // Empties a slot of the module's table.
    void EmptySlot(std::size_t slot);

    // Preferences as the host keeps them; nullopt = nothing stored.
    std::optional<StoredPreferences> preferences;

    // The bytes the next 'SAVE' request writes; nullopt = the request fails with saveFailure (or
    // APIERR_GENERAL) and writes nothing.
    std::optional<std::string> viewJpeg = std::string("\xFF\xD8 fake jpeg \xFF\xD9", 15);
    std::string cacheFolder;      // the folder 'GSPF' code 4 answers: the host's cache folder
    std::string temporaryFolder;  // the folder 'GSPF' code 7 answers: the host's temporary folder
    // The files in the temporary folder (UTF-8 names), where the view is captured.
    std::vector<std::string> TemporaryFiles() const;
    // The user's profile folder, where the data protection keeps the user's secret (outside Windows);
    // another user is another folder (Platform::Control::SetUserProfile).
    std::string userProfile;
    // The user's roaming application-data folder, as SHGetKnownFolderPath names it: under userProfile
    // outside Windows; the prefix user's own under Wine, whose KAVELO folder the host empties when it
    // comes and goes.
    std::string roamingFolder;
    // The user's link store: the KAVELO folder in the roaming folder, and its file.
    std::string LinkStoreFolder() const { return roamingFolder + "/KAVELO"; }
    std::string LinkStorePath() const { return LinkStoreFolder() + "/AccountLink.dat"; }
    // Where the last build kept it: the KAVELO folder in the host's cache folder, and its file.
    std::string EarlierLinkStoreFolder() const { return cacheFolder + "/KAVELO"; }
    std::string EarlierLinkStorePath() const { return EarlierLinkStoreFolder() + "/AccountLink.dat"; }

    std::vector<std::string> reports;  // formatted report texts
    std::vector<bool> reportAlerts;
    std::vector<std::string> debugLines;   // as DBPrintf wrote them
    std::vector<std::u16string> launches;  // URLs handed to ShellExecuteW
    bool launchSucceeds = true;
    std::vector<SlotCall> calls;  // every served slot call, in order
    std::vector<std::vector<unsigned char>> menuRecords;
    std::vector<std::pair<Int32, APIMenuCommandProc*>> menuHandlers;  // as the host keeps them
    std::vector<std::vector<unsigned char>> windowRecords;
    std::vector<Int32> unregisteredWindows;
    std::vector<ProcessWindowCall> processWindowCalls;
    bool processCanceled = false;  // what 'CANC' answers: APIERR_CANCEL when set
    int saveRequests = 0;
    std::vector<std::string> savePaths;  // where each 'SAVE' request that reached the file asked to write

    int Beeps() const;
    std::size_t CallsTo(std::size_t slot) const;
    // The launches as UTF-8 text.
    std::vector<std::string> LaunchedUrls() const;

    // Used by the slot functions.
    bool TakeFault(std::size_t slot, GSErrCode* code);
    void Record(std::size_t slot, void* context) { calls.push_back({slot, context}); }

    static void* const kContext;

private:
    std::map<std::size_t, std::pair<GSErrCode, int>> faults_;
    std::string tempRoot_;
    int beepsAtStart_ = 0;
};

// Opens the built module's resources for the module code under test (ResModule) while it lives.
class ModuleResources {
public:
    ModuleResources();
    ~ModuleResources();
    ModuleResources(const ModuleResources&) = delete;
    ModuleResources& operator=(const ModuleResources&) = delete;
};

// Removes every file and folder below `path` and `path` itself.
void RemoveTree(const std::string& path);
// A new empty folder under the system's temporary folder.
std::string MakeTempFolder(const char* prefix);
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

}  // namespace testsupport
