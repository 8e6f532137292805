// Control of the IO stand-in for the simulated host and tests: injected file faults. Each switch acts once.
#pragma once

#include "Definitions.hpp"

namespace IO::Control {

// The IO::File::GetDataLength call after the next `skip` ones fails with `code`.
void FailNextGetDataLength(GSErrCode code, int skip = 0);
// The next IO::File::ReadBin delivers `missing` bytes fewer than asked (at least none) and reports success.
void ShortenNextRead(UInt32 missing);
// The next IO::File::WriteBin fails with `code` and writes nothing.
void FailNextWrite(GSErrCode code);
// Clears every pending fault.
void ClearFaults();

}  // namespace IO::Control
