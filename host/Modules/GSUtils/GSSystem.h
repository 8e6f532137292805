// GSUtils' system calls: the system beep.
#pragma once

// Sounds the system's alert. The stand-in counts the beeps and tells the listener the host has chosen.
void GSSysBeep();
