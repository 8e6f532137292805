// Control of the RS stand-in for the simulated host and tests: opening resources without loading a
// module, counting open handles, a fault switch for the module's resource opening, and where the
// diagnostic lines go. The add-on never uses this.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "RS.hpp"

namespace RS::Control {

// Opens the resources in the file at `path` (UTF-8): an ELF module file (its resource section is read), on
// Windows also a Windows module file (its resources, through the resource API), or a raw resource image;
// returns a handle for the RS readers. On failure returns InvalidResModule and writes one diagnostic line
// naming the file and the problem. Close the handle with RSRemoveModuleImageCache.
GSResModule OpenResourceFile(const std::string& path);

// The same for resource image bytes held in memory, for tests that damage an image on purpose.
GSResModule OpenResourceImage(const std::vector<unsigned char>& image);

// Number of handles open now.
int OpenHandleCount();

// Makes the next RSInitModuleImageCache fail (return InvalidResModule) without looking at the module.
void FailNextModuleOpen();

// The path of the file behind an open handle; empty for an unknown handle or an image from memory.
std::string GetResourceFilePath(GSResModule resModule);

// Receives each diagnostic line (without the newline). An empty function restores the default, stderr.
using DiagnosticSink = std::function<void(const std::string& line)>;
void SetDiagnosticSink(DiagnosticSink sink);

}  // namespace RS::Control
