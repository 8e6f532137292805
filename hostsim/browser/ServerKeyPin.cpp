// One TLS handshake with verification, then the hash of the verified leaf's public key.
#include "ServerKeyPin.hpp"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/sha.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/ssl/stream.hpp>
#include <memory>
#include <stdexcept>

namespace hostsim {

namespace {

namespace net = boost::asio;
namespace ssl = boost::asio::ssl;

void AddAnchors(ssl::context& context, const std::vector<std::string>& pems) {
    X509_STORE* store = SSL_CTX_get_cert_store(context.native_handle());
    for (const std::string& pem : pems) {
        std::unique_ptr<BIO, decltype(&BIO_free)> bio(
            BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), &BIO_free);
        int added = 0;
        while (X509* certificate = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)) {
            X509_STORE_add_cert(store, certificate);
            X509_free(certificate);
            ++added;
        }
        if (added == 0)
            throw std::runtime_error("a trust anchor text holds no certificate");
    }
}

std::string KeyPin(X509* certificate) {
    unsigned char* der = nullptr;
    const int length = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(certificate), &der);
    if (length <= 0)
        throw std::runtime_error("cannot encode the server's public key");
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(der, static_cast<std::size_t>(length), digest);
    OPENSSL_free(der);
    unsigned char text[4 * ((SHA256_DIGEST_LENGTH + 2) / 3) + 1];
    EVP_EncodeBlock(text, digest, SHA256_DIGEST_LENGTH);
    return reinterpret_cast<const char*>(text);
}

}  // namespace

std::string VerifiedServerKeyPin(const std::string& host, const std::string& address, std::uint16_t port,
                                 const std::vector<std::string>& trustPems,
                                 std::chrono::milliseconds timeout) {
    const std::string where = host + " at " + address + ":" + std::to_string(port);
    ssl::context context(ssl::context::tls_client);
    context.set_default_verify_paths();
    AddAnchors(context, trustPems);
    context.set_verify_mode(ssl::verify_peer);

    net::io_context io;
    ssl::stream<net::ip::tcp::socket> stream(io, context);
    SSL_set_tlsext_host_name(stream.native_handle(), host.c_str());
    X509_VERIFY_PARAM* verify = SSL_get0_param(stream.native_handle());
    X509_VERIFY_PARAM_set_hostflags(verify, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    if (X509_VERIFY_PARAM_set1_host(verify, host.c_str(), host.size()) != 1)
        throw std::runtime_error("cannot verify the name " + host);

    boost::system::error_code failure = net::error::timed_out;
    net::ip::tcp::resolver resolver(io);
    const auto endpoints = resolver.resolve(address, std::to_string(port));
    stream.lowest_layer().async_connect(*endpoints.begin(), [&](boost::system::error_code ec) {
        if (ec) {
            failure = ec;
            return;
        }
        stream.async_handshake(ssl::stream_base::client, [&](boost::system::error_code ec) { failure = ec; });
    });
    io.run_for(timeout);
    if (failure) {
        const long verified = SSL_get_verify_result(stream.native_handle());
        throw std::runtime_error(
            "TLS with " + where + " failed: " +
            (verified != X509_V_OK ? X509_verify_cert_error_string(verified) : failure.message()));
    }
    std::unique_ptr<X509, decltype(&X509_free)> leaf(SSL_get1_peer_certificate(stream.native_handle()),
                                                     &X509_free);
    if (!leaf)
        throw std::runtime_error(where + " presented no certificate");
    const std::string pin = KeyPin(leaf.get());
    boost::system::error_code ignored;
    stream.lowest_layer().close(ignored);
    return pin;
}

}  // namespace hostsim
