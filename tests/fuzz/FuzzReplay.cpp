// Runs a fuzz target without libFuzzer: over each seed file named on the command line, then over
// deterministic mutations of it (bit flips, byte changes, truncations, duplications), so that every
// build's test run exercises the byte readers on damaged input.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "FuzzTarget.hpp"

namespace {

constexpr int kMutationsPerSeed = 3000;

std::vector<std::uint8_t> Mutate(const std::vector<std::uint8_t>& seed, std::mt19937& engine) {
    std::vector<std::uint8_t> input = seed;
    const int edits = 1 + static_cast<int>(engine() % 4);
    for (int e = 0; e < edits; ++e) {
        const unsigned choice = engine() % 5;
        const std::size_t at = input.empty() ? 0 : engine() % input.size();
        if (choice == 0 && !input.empty())
            input[at] ^= static_cast<std::uint8_t>(1u << (engine() % 8));
        else if (choice == 1 && !input.empty())
            input[at] = static_cast<std::uint8_t>(engine());
        else if (choice == 2)
            input.resize(at);
        else if (choice == 3 && !input.empty())
            input.insert(input.begin() + static_cast<long>(at), input.begin(),
                         input.begin() + static_cast<long>(std::min<std::size_t>(input.size() - at, 64)));
        else
            input.insert(input.begin() + static_cast<long>(at), static_cast<std::uint8_t>(engine()));
    }
    return input;
}

}  // namespace

int main(int argc, char** argv) {
    std::mt19937 engine(20261207);
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        std::ifstream file(argv[i], std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "cannot read seed %s\n", argv[i]);
            return 2;
        }
        const std::vector<std::uint8_t> seed((std::istreambuf_iterator<char>(file)),
                                             std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(seed.data(), seed.size());
        ++inputs;
        for (int m = 0; m < kMutationsPerSeed; ++m) {
            const std::vector<std::uint8_t> input = Mutate(seed, engine);
            LLVMFuzzerTestOneInput(input.data(), input.size());
            ++inputs;
        }
    }
    std::printf("%d inputs, 0 failed\n", inputs);
    return 0;
}
