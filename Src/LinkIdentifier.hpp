// The link identifier: a random version-4 UUID in lower-case text form, the account's bearer credential.
#pragma once

#include <string>

// Returns a new identifier of exactly 36 characters ("xxxxxxxx-xxxx-4xxx-[89ab]xxx-xxxxxxxxxxxx"), its
// 122 random bits drawn from the operating system's cryptographic source. Returns the empty text only if
// that source cannot be read at all.
std::string GenerateUuidV4();
// Whether `text` has exactly that form, lower case.
bool IsLinkIdentifierText(const std::string& text);
