// Formatting of the module's report texts: a printf-style GS::UniString format and the caller's arguments.
#pragma once

#include <cstdarg>
#include <string>

#include "UniString.hpp"

namespace hostsim {

// Converts `format` to UTF-8 and formats it with a copy of *args (so *args stays usable by the caller).
// Returns false with *error saying why when format or args is null or the format cannot be applied.
bool FormatReport(const GS::UniString* format, va_list* args, std::string* text, std::string* error);

}  // namespace hostsim
