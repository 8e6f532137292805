// The system's random source through getrandom.
#include <sys/random.h>

#include <cerrno>

#include "SystemRandom.hpp"

bool FillRandom(unsigned char* bytes, std::size_t count) {
    std::size_t filled = 0;
    while (filled < count) {
        const ssize_t got = getrandom(bytes + filled, count - filled, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        filled += static_cast<std::size_t>(got);
    }
    return true;
}
