// The HTTP client's counters behind HTTP::Control::GetStats, the same on every platform.
#include "Counters.hpp"

#include <mutex>

#include "HTTPControl.hpp"

namespace HTTP {

namespace {

std::mutex statsMutex;
Control::Stats stats;

}  // namespace

namespace Control {

Stats GetStats() {
    std::lock_guard<std::mutex> lock(statsMutex);
    return stats;
}

void ResetStats() {
    std::lock_guard<std::mutex> lock(statsMutex);
    stats = Stats();
}

}  // namespace Control

namespace Detail {

void CountConnection() {
    std::lock_guard<std::mutex> lock(statsMutex);
    ++stats.connectionsOpened;
}

void CountHandshake() {
    std::lock_guard<std::mutex> lock(statsMutex);
    ++stats.handshakesCompleted;
}

void NoteCipher(const std::string& cipher) {
    std::lock_guard<std::mutex> lock(statsMutex);
    stats.lastCipher = cipher;
}

void CountBytesSent(std::uint64_t bytes) {
    std::lock_guard<std::mutex> lock(statsMutex);
    stats.bytesSent += bytes;
}

void CountRequest() {
    std::lock_guard<std::mutex> lock(statsMutex);
    ++stats.requestsSent;
}

}  // namespace Detail

}  // namespace HTTP
