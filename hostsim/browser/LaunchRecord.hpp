// Launch records: what the system's handler of a launched URL received, kept as a file of its own. On
// Windows the handler is kavelo-url-recorder, started by the system shell, and hostsim reads its record
// back; elsewhere hostsim's launcher is the handler and keeps the record itself.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace hostsim {

// The environment variable that names, for the handler the shell starts next, the file to keep the URL in.
inline constexpr char kLaunchRecordVariable[] = "KAVELO_URL_RECORD";

// The record of the `number`th launch of a run (from 1) in `folder`: "01.utf16le", "02.utf16le", ...
std::filesystem::path LaunchRecordPath(const std::filesystem::path& folder, std::size_t number);

// Keeps `url` in `record` as its UTF-16LE code units (no byte-order mark, no terminator). The bytes go to a
// file beside it that is then renamed, so a reader finds either no record or all of it. Returns false with
// *error saying why when the file cannot be written.
bool WriteLaunchRecord(const std::filesystem::path& record, const std::u16string& url, std::string* error);

// The URL kept in `record`; nullopt with *error saying why when the file cannot be read or holds an odd
// number of bytes.
std::optional<std::u16string> ReadLaunchRecord(const std::filesystem::path& record, std::string* error);

}  // namespace hostsim
