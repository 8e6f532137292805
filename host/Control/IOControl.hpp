// Control of the IO stand-in for the simulated host and tests: injected file faults. Each switch acts once.
#pragma once

#include "Definitions.hpp"

namespace IO::Control {

// The next IO::File::GetDataLength fails with `code`.
void FailNextGetDataLength(GSErrCode code);
// The next IO::File::ReadBin delivers `missing` bytes fewer than asked (at least none) and reports success.
void ShortenNextRead(UInt32 missing);
// Clears every pending fault.
void ClearFaults();

}  // namespace IO::Control
