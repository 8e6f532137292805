// The counters of what the HTTP client sent, which HTTP::Control reports. Internal to the host library.
#pragma once

#include <cstdint>
#include <string>

namespace HTTP::Detail {

void CountConnection();
void CountHandshake();
void NoteCipher(const std::string& cipher);
void CountBytesSent(std::uint64_t bytes);
void CountRequest();

}  // namespace HTTP::Detail
