// What the installer records of a module file and how it recognises the add-on in another file.
#pragma once

#include <windows.h>

#include <string>

namespace SetupHelper {

// The SHA-256 of the file's bytes in lower-case hex; empty when it cannot be read.
std::wstring Sha256Hex(const std::wstring& path);

// The same of a file open for reading, read from its start.
std::wstring Sha256Hex(HANDLE file);

// The add-on identifier resource ('MDID' 32500) of a module file in lower-case hex, read as a resource of
// the file (no code of it runs); empty when the file carries none or is no module.
std::wstring AddOnIdHex(const std::wstring& path);

}  // namespace SetupHelper
