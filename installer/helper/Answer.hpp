// The answer file through which the helper hands text back to the installer: UTF-16LE without a byte-order
// mark, one line per item, as NSIS's FileReadUTF16LE reads it.
#pragma once

#include <string>
#include <vector>

namespace SetupHelper {

// Writes the lines to the file at path, replacing it. False when the file cannot be written.
bool WriteAnswer(const std::wstring& path, const std::vector<std::wstring>& lines);

}  // namespace SetupHelper
