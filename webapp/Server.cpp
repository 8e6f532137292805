// Server start and stop, the listener, and the forwarding of test controls to the parts that hold the state.
#include "Server.hpp"

#include <openssl/ssl.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <system_error>

#include "Router.hpp"
#include "Session.hpp"

namespace webapp {

namespace net = boost::asio;
using tcp = net::ip::tcp;

// Members are destroyed in reverse order: the acceptor, then the io context with the sessions its pending
// handlers hold, then what the sessions shared.
struct Server::Network {
    Network(std::unique_ptr<net::ssl::context> tlsContext, const Router& router, RequestLog& log,
            Faults& faults, std::size_t maxBodyBytes)
        : tls(std::move(tlsContext)), sessions{*tls, router, log, faults, maxBodyBytes} {}

    std::unique_ptr<net::ssl::context> tls;
    SessionContext sessions;
    net::io_context io{1};
    tcp::acceptor acceptor{io};
};

namespace {

void WriteTextFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) {
        throw std::runtime_error("webapp: cannot write " + path.string());
    }
}

std::unique_ptr<net::ssl::context> MakeTlsContext(const ServerCertificate& certificate) {
    try {
        auto tls = std::make_unique<net::ssl::context>(net::ssl::context::tls_server);
        tls->set_options(net::ssl::context::default_workarounds | net::ssl::context::no_sslv2 |
                         net::ssl::context::no_sslv3 | net::ssl::context::no_tlsv1 |
                         net::ssl::context::no_tlsv1_1 | net::ssl::context::single_dh_use);
        if (SSL_CTX_set_min_proto_version(tls->native_handle(), TLS1_2_VERSION) != 1) {
            throw std::runtime_error("cannot require TLS 1.2");
        }
        tls->use_certificate_chain(net::buffer(certificate.certPem));
        tls->use_private_key(net::buffer(certificate.keyPem), net::ssl::context::pem);
        return tls;
    } catch (const std::exception& error) {
        throw std::runtime_error(std::string("webapp: TLS setup failed: ") + error.what());
    }
}

}  // namespace

Server::Server(ServerOptions options) : options_(std::move(options)) {}

Server::~Server() {
    Stop();
}

void Server::Start() {
    if (running_) {
        throw std::logic_error("webapp: the server is already running");
    }
    if (options_.dataDir.empty()) {
        throw std::runtime_error("webapp: ServerOptions.dataDir is empty");
    }
    std::error_code error;
    std::filesystem::create_directories(options_.dataDir, error);
    if (error) {
        throw std::runtime_error("webapp: cannot create the data folder " + options_.dataDir + ": " +
                                 error.message());
    }
    if (!authority_) {
        const std::vector<std::string> names = options_.certificateNames.empty()
                                                   ? std::vector<std::string>{options_.hostName}
                                                   : options_.certificateNames;
        authority_ = std::make_unique<CertificateAuthority>(MakeAuthority("KAVELO webapp test authority"));
        certificate_ = std::make_unique<ServerCertificate>(IssueServerCertificate(*authority_, names));
    }
    WriteTextFile(CaCertPath(), authority_->certPem);
    if (!images_) {
        images_ = std::make_unique<ImageStore>(ImagesDir());
        router_ = std::make_unique<Router>(accounts_, *images_);
    }
    try {
        StartListening();
    } catch (...) {
        ResetNetwork();
        throw;
    }
    running_ = true;
}

void Server::StartListening() {
    network_ = std::make_unique<Network>(MakeTlsContext(*certificate_), *router_, log_, faults_,
                                         options_.maxBodyBytes);
    const tcp::endpoint endpoint(net::ip::make_address_v4("127.0.0.1"), options_.port);
    boost::system::error_code ec;
    tcp::acceptor& acceptor = network_->acceptor;
    acceptor.open(endpoint.protocol(), ec);
    if (!ec) {
        acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
    }
    if (!ec) {
        acceptor.bind(endpoint, ec);
    }
    if (!ec) {
        acceptor.listen(net::socket_base::max_listen_connections, ec);
    }
    if (ec) {
        throw std::runtime_error("webapp: cannot listen on 127.0.0.1:" + std::to_string(options_.port) +
                                 ": " + ec.message());
    }
    port_ = acceptor.local_endpoint().port();
    Accept();
    ioThread_ = std::thread([this] { RunIo(); });
}

void Server::Accept() {
    network_->acceptor.async_accept([this](boost::system::error_code ec, tcp::socket socket) {
        if (ec == net::error::operation_aborted || !network_->acceptor.is_open()) {
            return;
        }
        if (!ec) {
            log_.CountAccepted();
            std::make_shared<Session>(std::move(socket), network_->sessions)->Start();
        }
        Accept();
    });
}

void Server::RunIo() {
    // A handler that throws must not end the server: report it and go on.
    for (;;) {
        try {
            network_->io.run();
            return;
        } catch (const std::exception& error) {
            std::cerr << "webapp: error in a connection: " << error.what() << std::endl;
        }
    }
}

void Server::Stop() {
    if (!running_) {
        return;
    }
    ResetNetwork();
    running_ = false;
}

void Server::ResetNetwork() {
    if (ioThread_.joinable()) {
        network_->io.stop();
        ioThread_.join();
    }
    network_.reset();  // the pending handlers go with the io context, and with them the sessions
}

std::string Server::CaCertPem() const {
    return authority_ ? authority_->certPem : std::string();
}

std::string Server::CaCertPath() const {
    return (std::filesystem::path(options_.dataDir) / "ca.pem").string();
}

std::string Server::ImagesDir() const {
    return (std::filesystem::path(options_.dataDir) / "images").string();
}

void Server::LinkAccount(const std::string& linkId) {
    accounts_.Link(linkId);
}

bool Server::IsLinked(const std::string& linkId) const {
    return accounts_.IsLinked(linkId);
}

std::vector<StoredImage> Server::Images() const {
    return images_ ? images_->All() : std::vector<StoredImage>{};
}

std::vector<RecordedRequest> Server::Requests() const {
    return log_.Requests();
}

void Server::ClearRequests() {
    log_.Clear();
}

ConnectionCounts Server::Connections() const {
    return log_.Connections();
}

void Server::ScriptResponse(int status, std::string body, HeaderFields headers, BodyFraming framing) {
    ScriptResponse(ScriptedResponse{status, std::move(body), std::move(headers), framing}, FaultScope{});
}

void Server::ScriptResponse(ScriptedResponse response, FaultScope scope) {
    faults_.Script(
        Response{response.status, std::move(response.headers), std::move(response.body), response.framing},
        std::move(scope));
}

void Server::StallNext(std::chrono::milliseconds delay, FaultScope scope) {
    faults_.Stall(delay, std::move(scope));
}

void Server::SendInterimAnswersNext(std::chrono::milliseconds every, std::size_t count, FaultScope scope) {
    faults_.Interim(InterimAnswers{every, count}, std::move(scope));
}

void Server::DripNext(std::chrono::milliseconds every, FaultScope scope) {
    faults_.Drip(every, std::move(scope));
}

void Server::PaceNext(Pacing pacing, FaultScope scope) {
    faults_.Pace(pacing, std::move(scope));
}

void Server::FloodNext(FloodAnswer flood, FaultScope scope) {
    faults_.Flood(flood, std::move(scope));
}

std::uint64_t Server::FloodedBytes() const {
    return faults_.FloodedBytes();
}

void Server::AnswerEarlyNext(int status, FaultScope scope) {
    faults_.AnswerEarly(status, std::move(scope));
}

void Server::DropNextMidBody(FaultScope scope) {
    faults_.DropMidBody(std::move(scope));
}

void Server::ClearFaults() {
    faults_.Clear();
}

}  // namespace webapp
