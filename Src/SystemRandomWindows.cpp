// The system's random source through BCryptGenRandom (bcrypt.h needs windows.h before it).
#include <windows.h>
// After windows.h.
#include <bcrypt.h>

#include "SystemRandom.hpp"

bool FillRandom(unsigned char* bytes, std::size_t count) {
    return BCryptGenRandom(nullptr, bytes, static_cast<ULONG>(count), BCRYPT_USE_SYSTEM_PREFERRED_RNG) == 0;
}
