// Routes and trust anchors of the POSIX HTTP client, guarded by one mutex.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <stdexcept>
#include <utility>
#include <vector>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include "ControlState.hpp"
#include "HTTPControl.hpp"
#include "HTTPException.hpp"

namespace HTTP {

namespace {

namespace ssl = boost::asio::ssl;

struct State {
    std::mutex mutex;
    std::map<std::pair<std::string, std::uint16_t>, Detail::Route> routes;
    std::vector<std::string> anchors;
    std::shared_ptr<ssl::context> context;
};

State& Shared() {
    static State state;
    return state;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

int CountCertificates(const std::string& pem) {
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    if (bio == nullptr)
        throw std::bad_alloc();
    int count = 0;
    while (X509* cert = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr)) {
        X509_free(cert);
        ++count;
    }
    BIO_free(bio);
    ERR_clear_error();
    return count;
}

// Whether `dir` holds certificates under OpenSSL's subject-hash names ("1a2b3c4d.0").
bool IsHashedDirectory(const char* dir) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() >= 10 && name[8] == '.' && name.find_first_not_of("0123456789abcdef") == 8)
            return true;
    }
    return false;
}

// The system store. Its hashed directory is read lazily, only for the issuers a chain names, while the
// bundle file is parsed whole (some 30 ms); the file serves where there is no such directory, or where
// the environment points OpenSSL elsewhere.
void LoadSystemStore(ssl::context& context) {
    const char* dir = X509_get_default_cert_dir();
    const bool redirected = std::getenv(X509_get_default_cert_dir_env()) != nullptr ||
                            std::getenv(X509_get_default_cert_file_env()) != nullptr;
    boost::system::error_code error;
    if (!redirected && IsHashedDirectory(dir))
        context.add_verify_path(dir, error);
    else
        context.set_default_verify_paths(error);
    if (error)
        throw Exception(Exception::Kind::Tls,
                        ("cannot load the system trust store: " + error.message()).c_str());
}

std::shared_ptr<ssl::context> MakeContext(const std::vector<std::string>& anchors) {
    auto context = std::make_shared<ssl::context>(ssl::context::tls_client);
    LoadSystemStore(*context);
    boost::system::error_code error;
    for (const std::string& pem : anchors) {
        context->add_certificate_authority(boost::asio::buffer(pem), error);
        if (error)
            throw Exception(Exception::Kind::Tls, ("cannot add a trust anchor: " + error.message()).c_str());
    }
    context->set_verify_mode(ssl::verify_peer);
    SSL_CTX_set_min_proto_version(context->native_handle(), TLS1_2_VERSION);
    return context;
}

}  // namespace

namespace Control {

void RouteHost(const std::string& host, std::uint16_t port, const std::string& toAddress,
               std::uint16_t toPort) {
    if (host.empty() || toAddress.empty() || port == 0 || toPort == 0)
        throw std::invalid_argument("HTTP::Control::RouteHost: empty host or address, or port 0");
    std::lock_guard<std::mutex> lock(Shared().mutex);
    Shared().routes[{Lower(host), port}] = Detail::Route{toAddress, toPort};
}

void ClearRoutes() {
    std::lock_guard<std::mutex> lock(Shared().mutex);
    Shared().routes.clear();
}

void AddTrustAnchorPem(const std::string& pem) {
    if (CountCertificates(pem) == 0)
        throw std::invalid_argument("HTTP::Control::AddTrustAnchorPem: no PEM certificate in the text");
    std::lock_guard<std::mutex> lock(Shared().mutex);
    Shared().anchors.push_back(pem);
    Shared().context.reset();
}

void ClearTrustAnchors() {
    std::lock_guard<std::mutex> lock(Shared().mutex);
    Shared().anchors.clear();
    Shared().context.reset();
}

}  // namespace Control

namespace Detail {

std::optional<Route> FindRoute(const std::string& host, std::uint16_t port) {
    std::lock_guard<std::mutex> lock(Shared().mutex);
    const auto found = Shared().routes.find({Lower(host), port});
    if (found == Shared().routes.end())
        return std::nullopt;
    return found->second;
}

std::shared_ptr<ssl::context> ClientTlsContext() {
    std::lock_guard<std::mutex> lock(Shared().mutex);
    if (!Shared().context)
        Shared().context = MakeContext(Shared().anchors);
    return Shared().context;
}

}  // namespace Detail

}  // namespace HTTP
