// Base64Encode's time on fixed pseudo-random input, measured with the steady clock alone so that the
// native and the Windows build (under Wine) time exactly the same work: base64_timing [REPETITIONS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Base64.hpp"
#include "RandomInput.hpp"

namespace {

// The median of `repetitions` runs of `work` over `input`, in microseconds.
template <class Work>
double MedianMicroseconds(const std::string& input, int repetitions, Work work) {
    std::vector<double> times;
    std::size_t check = 0;
    for (int i = 0; i < repetitions; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const std::string out = work(input);
        const auto stop = std::chrono::steady_clock::now();
        check += out.size();
        times.push_back(std::chrono::duration<double, std::micro>(stop - start).count());
    }
    if (check == 0)
        std::abort();
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::string Encode(const std::string& input) {
    return Base64Encode(input, false);
}

// What a fresh output buffer of the encoding's size costs alone: allocating it and writing every byte.
std::string FreshBuffer(const std::string& input) {
    std::string out(4 * ((input.size() + 2) / 3), '\0');
    std::memcpy(out.data(), input.data(), input.size());
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 31;
    for (const std::size_t size : {std::size_t(1) << 20, std::size_t(16) << 20}) {
        const std::string input = RandomBytes(size);
        MedianMicroseconds(input, 2, Encode);  // warm the allocator and the caches
        const double us = MedianMicroseconds(input, repetitions, Encode);
        const double buffer = MedianMicroseconds(input, repetitions, FreshBuffer);
        std::printf(
            "Base64Encode %zu bytes: median %.0f us (%.2f GB/s) over %d runs; a fresh output buffer alone "
            "%.0f us\n",
            size, us, static_cast<double>(size) / us / 1000.0, repetitions, buffer);
    }
    return 0;
}
