// A slow and steady link on loopback: a TCP relay in front of a server that takes what a client sends
// through a small receive buffer, a few KB at a time with a pause between, and passes the server's bytes
// back at once. What the client sees is a server that reads slowly but never stops.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

namespace httptest {

class SlowRelay {
public:
    // Relays connections on a loopback port of its own to 127.0.0.1:`upstreamPort`, taking at most `bytes`
    // from the client every `every` through a receive buffer of `receiveBuffer` bytes (as asked of the
    // system).
    SlowRelay(std::uint16_t upstreamPort, std::size_t bytes, std::chrono::milliseconds every,
              int receiveBuffer = 8 * 1024);
    SlowRelay(const SlowRelay&) = delete;
    SlowRelay& operator=(const SlowRelay&) = delete;
    // Ends every relayed connection and stops listening.
    ~SlowRelay();

    std::uint16_t Port() const { return port_; }

private:
    struct Pair;
    void Accept();
    void Upstream(std::shared_ptr<Pair> pair);
    void Downstream(std::shared_ptr<Pair> pair);
    // Waits `delay`; false when the relay stopped meanwhile.
    bool Pause(std::chrono::milliseconds delay);

    std::uint16_t upstreamPort_;
    std::size_t bytes_;
    std::chrono::milliseconds every_;
    boost::asio::io_context io_;
    boost::asio::ip::tcp::acceptor acceptor_;
    std::uint16_t port_ = 0;
    std::mutex mutex_;
    std::condition_variable stopped_;
    bool stop_ = false;
    std::vector<std::shared_ptr<Pair>> pairs_;
    std::vector<std::thread> threads_;
    std::thread acceptor_thread_;
};

}  // namespace httptest
