// What reached the server: every request as received, and how TLS handshakes ended.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "HttpMessage.hpp"

namespace webapp {

struct RecordedRequest {
    std::string requestLine;  // "POST /api/v1/images HTTP/1.1"
    HeaderFields headers;     // in the order received, names as spelled by the client, values without padding
    std::string body;         // decoded from chunks if chunked; empty when refused for its size (413)
    std::chrono::steady_clock::time_point receivedAt;  // when it was read whole (set by the log)
};

struct ConnectionCounts {
    std::size_t accepted = 0;             // TCP connections accepted
    std::size_t handshakesCompleted = 0;  // TLS handshakes that succeeded
    std::size_t handshakesFailed = 0;     // connections closed or refused before the handshake completed
    std::uint64_t requestBytes = 0;       // bytes of requests read (heads and bodies), complete or not
};

// Safe to use from several threads.
class RequestLog {
public:
    void Record(RecordedRequest request);
    std::vector<RecordedRequest> Requests() const;
    void Clear();

    void CountAccepted();
    void CountHandshake(bool completed);
    void CountRequestBytes(std::size_t bytes);
    ConnectionCounts Connections() const;

private:
    mutable std::mutex mutex_;
    std::vector<RecordedRequest> requests_;
    ConnectionCounts counts_;
};

}  // namespace webapp
