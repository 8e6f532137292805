// The benchmarks' input: the same pseudo-random bytes in every build and every run.
#pragma once

#include <random>
#include <string>

inline std::string RandomBytes(std::size_t n) {
    std::mt19937 engine(42);
    std::string bytes(n, '\0');
    for (char& c : bytes) c = static_cast<char>(engine());
    return bytes;
}
