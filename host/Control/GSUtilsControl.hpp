// Control of the GSUtils stand-in for the simulated host and tests.
#pragma once

#include <functional>

namespace GSUtils::Control {

// Number of GSSysBeep calls since the start or the last reset.
int BeepCount();
void ResetBeepCount();
// Called on each beep instead of the default (which writes nothing: the host decides how a beep shows).
void SetBeepListener(std::function<void()> listener);

}  // namespace GSUtils::Control
