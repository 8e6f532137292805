// A TLS sink for the upload benchmark: a child process on 127.0.0.1 that reads each request whole, as fast
// as it arrives, answers 201 {"id":"sink"} at once and keeps nothing, so that timing a client against it
// measures the client and the link, not a server's work on the body. The answer's body may run on past the
// id's line, to measure what a client spends on a large answer.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "Certificates.hpp"

namespace bench {

class TlsSink {
public:
    TlsSink() = default;
    TlsSink(const TlsSink&) = delete;
    TlsSink& operator=(const TlsSink&) = delete;
    // Ends the child (it stops when its control pipe closes) and waits for it.
    ~TlsSink();

    // Forks the sink serving `certificate`; its answers' bodies are the id's line and `padding` more bytes.
    // Call it before the process starts any thread. Returns false with `error` set when the child could not
    // be started or did not report its port.
    bool Start(const webapp::ServerCertificate& certificate, std::string* error, std::size_t padding = 0);
    std::uint16_t Port() const { return port_; }

private:
    pid_t pid_ = 0;
    int control_ = -1;
    std::uint16_t port_ = 0;
};

}  // namespace bench
