// The web application stand-in as an in-process HTTPS server on 127.0.0.1, with controls for tests.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Accounts.hpp"
#include "Certificates.hpp"
#include "Faults.hpp"
#include "HttpMessage.hpp"
#include "ImageStore.hpp"
#include "RequestLog.hpp"

namespace webapp {

class Router;

struct ServerOptions {
    std::string hostName = "app.kavelo.io";
    // Names the server certificate is issued for; empty means {hostName}.
    std::vector<std::string> certificateNames;
    // Where ca.pem and the images/ folder are written; created when missing. Required.
    std::string dataDir;
    // 0 picks a free port.
    std::uint16_t port = 0;
    // Request bodies above this are refused with 413 without being kept.
    std::size_t maxBodyBytes = 20 * 1024 * 1024;
};

// A scripted answer: status, body, extra header fields and framing, sent instead of handling the request.
struct ScriptedResponse {
    int status = 200;
    std::string body;
    HeaderFields headers;
    BodyFraming framing = BodyFraming::ContentLength;
};

// Serves HTTPS (TLS 1.2 and later) on 127.0.0.1 with a certificate for the host name, issued by a certificate
// authority it makes on the first Start and keeps for its lifetime. Start, Stop and the accessors of the
// listening state are for one controlling thread; the account, image, record and fault functions may be
// called from any thread while the server runs.
class Server {
public:
    explicit Server(ServerOptions options);
    ~Server();  // stops
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Makes the authority (first time), writes <dataDir>/ca.pem, listens and starts the io thread. Throws
    // std::runtime_error saying what failed (folder, certificates, TLS setup, port), std::logic_error when
    // already running.
    void Start();
    // Closes the listener and every connection, cancelling stalls, and joins the io thread. Does nothing when
    // not running. Accounts, images and records are kept; Start may be called again.
    void Stop();
    bool Running() const { return running_; }

    std::uint16_t Port() const { return port_; }  // the listening port; 0 before the first Start
    const std::string& HostName() const { return options_.hostName; }
    std::string CaCertPem() const;   // empty before the first Start
    std::string CaCertPath() const;  // <dataDir>/ca.pem
    std::string ImagesDir() const;   // <dataDir>/images

    // Accounts. LinkAccount throws std::invalid_argument for a text that is not a link identifier.
    void LinkAccount(const std::string& linkId);
    bool IsLinked(const std::string& linkId) const;

    // Every image stored so far, in arrival order.
    std::vector<StoredImage> Images() const;

    // Every request read completely (and the head of each refused as too large), in arrival order.
    std::vector<RecordedRequest> Requests() const;
    void ClearRequests();
    ConnectionCounts Connections() const;

    // Fault switches. Each applies to the next request matching scope (by default the next request of any
    // path). A scripted answer replaces the handling of the request: an upload answered by script is not
    // stored. A stall delays the answer after the request was read; a drop sends the head with the whole
    // body's Content-Length, half of the body, and closes the connection (the request is handled first).
    // Interim answers ("102 Processing", `every` apart) come after a stall and before the real answer; a
    // drip sends the real answer's head at once and then its body one byte every interval. Stall, interim
    // answers, drip and drop combine with each other and with a script (a drop takes precedence over a
    // drip). Misuse throws std::invalid_argument (see Faults).
    void ScriptResponse(int status, std::string body, HeaderFields headers = {},
                        BodyFraming framing = BodyFraming::ContentLength);
    void ScriptResponse(ScriptedResponse response, FaultScope scope);
    void StallNext(std::chrono::milliseconds delay, FaultScope scope = {});
    void SendInterimAnswersNext(std::chrono::milliseconds every, std::size_t count, FaultScope scope = {});
    void DripNext(std::chrono::milliseconds every, FaultScope scope = {});
    void DropNextMidBody(FaultScope scope = {});
    // The next request gets `status` as soon as its head is read and the connection closes (see Faults).
    void AnswerEarlyNext(int status, FaultScope scope = {});
    // The answer goes out in pieces with a pause between them (see Pacing); combines with the others.
    void PaceNext(Pacing pacing, FaultScope scope = {});
    // The answer's head (chunked), then a framing that never ends (see FloodAnswer), after the request was
    // handled; takes precedence over drip, pace and drop. FloodedBytes counts the filler written so far.
    void FloodNext(FloodAnswer flood, FaultScope scope = {});
    std::uint64_t FloodedBytes() const;
    void ClearFaults();

private:
    void StartListening();
    void Accept();
    void RunIo();
    void ResetNetwork();

    ServerOptions options_;
    Accounts accounts_;
    RequestLog log_;
    Faults faults_;
    std::unique_ptr<CertificateAuthority> authority_;
    std::unique_ptr<ServerCertificate> certificate_;
    std::unique_ptr<ImageStore> images_;
    std::unique_ptr<Router> router_;

    // The io context, its listener and what its sessions share; lives from Start to Stop.
    struct Network;
    std::unique_ptr<Network> network_;
    std::thread ioThread_;
    bool running_ = false;
    std::uint16_t port_ = 0;
};

}  // namespace webapp
