// GSUtils: the system beep.
#pragma once

// Sounds the system's alert. The stand-in counts the beeps and writes a bell to the host's terminal.
void GSSysBeep();
