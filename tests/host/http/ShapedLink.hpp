// A slow link on one machine: a network namespace of its own whose loopback is shaped by a token bucket
// (iproute2's `tc ... tbf`), for running a server and a client over a link like a home uplink. One queue
// serves both directions, so the server's acknowledgements and answers wait in it too.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace httptest {

struct LinkShape {
    std::uint64_t bitsPerSecond = 1000000;
    // The longest a packet may wait in the queue before it is dropped.
    std::chrono::milliseconds queue{1000};
};

// Moves the calling thread into a fresh network namespace with the loopback up (MTU 1500) and shaped;
// threads and processes the thread starts from then on are inside too. The destructor returns the thread
// to the namespace it came from; the shaped one goes when nothing in it is left.
class ShapedLink {
public:
    // What this machine lacks for a shaped link ("root", "ip", "tc" of iproute2), or empty.
    static std::string Missing();

    // Throws std::runtime_error saying which step failed.
    explicit ShapedLink(const LinkShape& shape);
    ShapedLink(const ShapedLink&) = delete;
    ShapedLink& operator=(const ShapedLink&) = delete;
    ~ShapedLink();

private:
    int home_ = -1;
};

}  // namespace httptest
