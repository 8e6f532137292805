// The host's store of add-on preferences: per add-on, the version, size and bytes exactly as the add-on
// handed them over, kept as files in hostsim's data directory so that they survive a restart.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Definitions.hpp"

namespace hostsim {

// Identifies an add-on across runs: its "MDID" resource (developer id, add-on id).
struct AddOnKey {
    UInt32 developerId = 0;
    UInt32 addOnId = 0;
    // "<developer>-<add-on>" in eight-digit upper-case hex, as the store names the add-on's file.
    std::string ToString() const;
};

struct StoredPreferences {
    Int32 version = 0;
    std::vector<unsigned char> bytes;
};

class PreferencesStore {
public:
    // Keeps its files in `folder` (created on the first write).
    explicit PreferencesStore(std::string folder);

    // The record stored for `key`, or nothing when none is stored. A damaged file reads as nothing and
    // sets *error when error is given.
    std::optional<StoredPreferences> Load(const AddOnKey& key, std::string* error = nullptr) const;
    // Replaces the record of `key`. Returns false with *error saying why when the file cannot be written.
    bool Save(const AddOnKey& key, const StoredPreferences& record, std::string* error);
    // Deletes the record of `key`; deleting nothing succeeds.
    bool Remove(const AddOnKey& key, std::string* error);

    const std::string& Folder() const { return folder_; }
    std::string FileOf(const AddOnKey& key) const;

private:
    std::string folder_;
};

}  // namespace hostsim
