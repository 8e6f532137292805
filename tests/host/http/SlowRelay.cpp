// The slow relay: an accepting thread, and per connection one thread taking the client's bytes slowly and
// one passing the server's back.
#include "SlowRelay.hpp"

#include <boost/asio/connect.hpp>
#include <boost/asio/write.hpp>

namespace httptest {

namespace net = boost::asio;
using tcp = net::ip::tcp;

struct SlowRelay::Pair {
    explicit Pair(net::io_context& io) : client(io), server(io) {}
    tcp::socket client;
    tcp::socket server;
};

SlowRelay::SlowRelay(std::uint16_t upstreamPort, std::size_t bytes, std::chrono::milliseconds every,
                     int receiveBuffer)
    : upstreamPort_(upstreamPort), bytes_(bytes), every_(every), acceptor_(io_) {
    const tcp::endpoint local(net::ip::make_address("127.0.0.1"), 0);
    acceptor_.open(local.protocol());
    // Accepted sockets take the listening one's buffer size: the client's bytes wait on its side.
    acceptor_.set_option(net::socket_base::receive_buffer_size(receiveBuffer));
    acceptor_.bind(local);
    acceptor_.listen();
    port_ = acceptor_.local_endpoint().port();
    acceptor_thread_ = std::thread([this] { Accept(); });
}

SlowRelay::~SlowRelay() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        boost::system::error_code ignored;
        for (const auto& pair : pairs_) {
            pair->client.shutdown(tcp::socket::shutdown_both, ignored);
            pair->server.shutdown(tcp::socket::shutdown_both, ignored);
        }
    }
    stopped_.notify_all();
    boost::system::error_code ignored;
    net::io_context wake;
    tcp::socket knock(wake);
    knock.connect(tcp::endpoint(net::ip::make_address("127.0.0.1"), port_), ignored);
    acceptor_thread_.join();
    for (std::thread& thread : threads_) thread.join();
}

void SlowRelay::Accept() {
    for (;;) {
        auto pair = std::make_shared<Pair>(io_);
        boost::system::error_code error;
        acceptor_.accept(pair->client, error);
        std::lock_guard<std::mutex> lock(mutex_);
        if (stop_)
            return;
        if (error)
            continue;
        pair->server.connect(tcp::endpoint(net::ip::make_address("127.0.0.1"), upstreamPort_), error);
        if (error)
            continue;
        pairs_.push_back(pair);
        threads_.emplace_back([this, pair] { Upstream(pair); });
        threads_.emplace_back([this, pair] { Downstream(pair); });
    }
}

bool SlowRelay::Pause(std::chrono::milliseconds delay) {
    std::unique_lock<std::mutex> lock(mutex_);
    return !stopped_.wait_for(lock, delay, [this] { return stop_; });
}

void SlowRelay::Upstream(std::shared_ptr<Pair> pair) {
    std::vector<char> piece(bytes_);
    boost::system::error_code error;
    for (;;) {
        const std::size_t got = pair->client.read_some(net::buffer(piece), error);
        if (got > 0)
            net::write(pair->server, net::buffer(piece.data(), got), error);
        if (error || !Pause(every_))
            break;
    }
    boost::system::error_code ignored;
    pair->server.shutdown(tcp::socket::shutdown_send, ignored);
}

void SlowRelay::Downstream(std::shared_ptr<Pair> pair) {
    char piece[16 * 1024];
    boost::system::error_code error;
    for (;;) {
        const std::size_t got = pair->server.read_some(net::buffer(piece), error);
        if (got > 0)
            net::write(pair->client, net::buffer(piece, got), error);
        if (error)
            break;
    }
    boost::system::error_code ignored;
    pair->client.shutdown(tcp::socket::shutdown_send, ignored);
}

}  // namespace httptest
