// vsnprintf over a va_list handed through the host table by address.
#include "ReportFormat.hpp"

#include <cstdio>

#include "Text.hpp"

namespace hostsim {

bool FormatReport(const GS::UniString* format, va_list* args, std::string* text, std::string* error) {
    if (format == nullptr || args == nullptr) {
        *error = format == nullptr ? "no format text" : "no argument list";
        return false;
    }
    const std::string narrow = ToUtf8(*format);
    va_list measure;
    va_copy(measure, *args);
    const int length = std::vsnprintf(nullptr, 0, narrow.c_str(), measure);
    va_end(measure);
    if (length < 0) {
        *error = "the format \"" + narrow + "\" cannot be applied";
        return false;
    }
    std::string formatted(static_cast<std::size_t>(length), '\0');
    va_list apply;
    va_copy(apply, *args);
    std::vsnprintf(formatted.data(), formatted.size() + 1, narrow.c_str(), apply);
    va_end(apply);
    *text = std::move(formatted);
    return true;
}

}  // namespace hostsim
