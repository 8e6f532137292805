// The link identifier's own store: one file of the user's, protected with the system's data protection
// for the current user, in a KAVELO folder of the user's roaming application-data folder. Never in the
// host's preferences, which the host also writes into every project the user saves, nor in the host's
// cache folder, which users clean and move (where the last build kept it: such a store is moved).
#pragma once

#include <string>

#include "Definitions.hpp"

namespace LinkStore {

// True with the stored identifier in *id when one is stored for this user. A store found only where the
// last build kept it (KAVELO in the host's cache folder) is moved to the roaming folder first, and removed
// there. Nothing stored: false, silently. A file that cannot be read, is damaged, or was protected for
// another user or on another computer: false, after one report; the add-on then counts as not linked and asks
// to link again.
bool Read(std::string* id);
// Stores `id` in place of any earlier one: the protected bytes go to a new file, which then replaces the
// old one in one step, so a failure at any point keeps the earlier link whole. Returns NoError, or the
// failure's code. Reports nothing.
GSErrCode Write(const std::string& id);
// Removes the stored identifier, in the roaming folder and where the last build kept it, and each KAVELO
// folder when nothing else is left in it. Nothing stored is no failure. Returns NoError, or the failure's
// code with the identifier still stored. Reports nothing.
GSErrCode Remove();

// What a trace may show of an identifier: "none" for the empty text, else at most its first four
// characters followed by "…".
std::string TraceText(const std::string& id);

}  // namespace LinkStore
