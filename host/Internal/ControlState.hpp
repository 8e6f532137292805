// The state HTTP::Control sets and the connections of the POSIX client read: routes and the TLS context
// with its trust anchors; and the counters. Internal to the host library.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <boost/asio/ssl/context.hpp>

#include "Counters.hpp"

namespace HTTP::Detail {

struct Route {
    std::string address;
    std::uint16_t port = 0;
};

std::optional<Route> FindRoute(const std::string& host, std::uint16_t port);

// The client context: peer verification on, TLS 1.2 at least, the system's trust store and every anchor
// added so far. Made once and made again after the anchors change; shared by the connections using it.
std::shared_ptr<boost::asio::ssl::context> ClientTlsContext();

}  // namespace HTTP::Detail
