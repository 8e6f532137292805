// Control of the JSON library stand-in for the simulated host and tests: injected conversion faults. Each
// switch acts once.
#pragma once

#include "Definitions.hpp"

namespace JSON::Control {

// The next JSON::CreateFromObjectState call fails with `code` and leaves its text empty.
void FailNextCreate(GSErrCode code);
// Clears every pending fault.
void ClearFaults();

}  // namespace JSON::Control
