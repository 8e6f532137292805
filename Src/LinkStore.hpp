// The link identifier's own store: one file of the user's, protected with the system's data protection
// for the current user, in a KAVELO folder of the user's application-data folder. Never in the host's
// preferences, which the host also writes into every project the user saves.
#pragma once

#include <string>

#include "Definitions.hpp"

namespace LinkStore {

// True with the stored identifier in *id when one is stored for this user. Nothing stored: false,
// silently. A file that cannot be read, is damaged, or was protected for another user or on another
// computer: false, after one report; the add-on then counts as not linked and asks to link again.
bool Read(std::string* id);
// Stores `id` in place of any earlier one: the protected bytes go to a new file, which then replaces the
// old one in one step, so a failure at any point keeps the earlier link whole. Returns NoError, or the
// failure's code. Reports nothing.
GSErrCode Write(const std::string& id);
// Removes the stored identifier, and the KAVELO folder when nothing else is left in it. Nothing stored is
// no failure. Returns NoError, or the failure's code with the identifier still stored. Reports nothing.
GSErrCode Remove();

// What a trace may show of an identifier: "none" for the empty text, else at most its first four
// characters followed by "…".
std::string TraceText(const std::string& id);

}  // namespace LinkStore
