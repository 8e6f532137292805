// The guarded request record and connection counters.
#include "RequestLog.hpp"

namespace webapp {

void RequestLog::Record(RecordedRequest request) {
    request.receivedAt = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(std::move(request));
}

std::vector<RecordedRequest> RequestLog::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void RequestLog::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
}

void RequestLog::CountAccepted() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_.accepted;
}

void RequestLog::CountHandshake(bool completed) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (completed) {
        ++counts_.handshakesCompleted;
    } else {
        ++counts_.handshakesFailed;
    }
}

void RequestLog::CountRequestBytes(std::size_t bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    counts_.requestBytes += bytes;
}

ConnectionCounts RequestLog::Connections() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return counts_;
}

}  // namespace webapp
