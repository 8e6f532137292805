// The system's cryptographic random source, the one thing the link identifier needs from the platform.
#pragma once

#include <cstddef>

// Fills `count` bytes at `bytes` with random bytes. Returns false when the system cannot give them.
bool FillRandom(unsigned char* bytes, std::size_t count);
