// The add-on's link store as a test sets it up or looks into it: the identifier, protected for the
// current user with CryptProtectData (the system's on Windows, the host library's elsewhere), in
// KAVELO/AccountLink.dat of an application-data folder (the user's roaming one, or where the last build kept
// it, the host's cache folder).
#pragma once

#include <string>

namespace testsupport {

// The current user's roaming application-data folder (UTF-8), as SHGetKnownFolderPath names it: the
// system's own on Windows, "AppData/Roaming" under the profile folder the host library was given elsewhere.
// Throws when there is none.
std::string UserRoamingFolder();
// The store's file in `applicationDataFolder` (UTF-8).
std::string LinkStoreFile(const std::string& applicationDataFolder);
// Stores `id` for the current user as the add-on does. False when it could not be protected or written.
bool WriteLinkStore(const std::string& applicationDataFolder, const std::string& id);
// The identifier stored there for the current user, or "" when none is stored or it does not open.
std::string ReadLinkStore(const std::string& applicationDataFolder);

}  // namespace testsupport
