// Base64Encode throughput beside OpenSSL's EVP_EncodeBlock and memcpy of the same input, with the ratios.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "Base64.hpp"
#include "RandomInput.hpp"

namespace {

const std::string& Input(std::size_t n) {
    static std::map<std::size_t, std::string> inputs;
    auto it = inputs.find(n);
    if (it == inputs.end())
        it = inputs.emplace(n, RandomBytes(n)).first;
    return it->second;
}

void BM_Base64Encode(benchmark::State& state) {
    const std::string& input = Input(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::string out = Base64Encode(input, false);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_EVP_EncodeBlock(benchmark::State& state) {
    const std::string& input = Input(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        // Same work as the module's encoder: a fresh output buffer per encoding.
        std::string out(4 * ((input.size() + 2) / 3) + 1, '\0');
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                        reinterpret_cast<const unsigned char*>(input.data()), static_cast<int>(input.size()));
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_Memcpy(benchmark::State& state) {
    const std::string& input = Input(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::string out(input.size(), '\0');
        std::memcpy(out.data(), input.data(), input.size());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// Prints the usual table, then each encoder's time relative to EVP_EncodeBlock and memcpy.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) times_[run.benchmark_name()] = run.GetAdjustedCPUTime();
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const char* size : {"1048576", "16777216"}) {
            const double ours = times_[std::string("BM_Base64Encode/") + size];
            const double evp = times_[std::string("BM_EVP_EncodeBlock/") + size];
            const double copy = times_[std::string("BM_Memcpy/") + size];
            if (ours <= 0 || evp <= 0 || copy <= 0)
                continue;
            std::printf(
                "%8s bytes: Base64Encode takes %.2fx the CPU time of EVP_EncodeBlock, %.2fx that of memcpy\n",
                size, ours / evp, ours / copy);
        }
    }

private:
    std::map<std::string, double> times_;
};

}  // namespace

BENCHMARK(BM_Base64Encode)->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EVP_EncodeBlock)->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memcpy)->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
