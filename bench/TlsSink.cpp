// The sink's child process: blocking OpenSSL on one connection at a time, requests read into one reused
// buffer; framing is Content-Length only, which is what the clients under test send.
#include "TlsSink.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace bench {
namespace {

// 201 with the id on the first line of the body, followed by `padding` bytes.
std::string Answer(std::size_t padding) {
    std::string body = "{\"id\":\"sink\"}";
    if (padding > 0)
        body += "\n" + std::string(padding - 1, 'x');
    return "HTTP/1.1 201 Created\r\nContent-Type: application/json\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

SSL_CTX* ServerContext(const webapp::ServerCertificate& certificate) {
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    BIO* certBio = BIO_new_mem_buf(certificate.certPem.data(), static_cast<int>(certificate.certPem.size()));
    BIO* keyBio = BIO_new_mem_buf(certificate.keyPem.data(), static_cast<int>(certificate.keyPem.size()));
    X509* cert = PEM_read_bio_X509(certBio, nullptr, nullptr, nullptr);
    EVP_PKEY* key = PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, nullptr);
    const bool ready = context != nullptr && cert != nullptr && key != nullptr &&
                       SSL_CTX_use_certificate(context, cert) == 1 &&
                       SSL_CTX_use_PrivateKey(context, key) == 1;
    X509_free(cert);
    EVP_PKEY_free(key);
    BIO_free(certBio);
    BIO_free(keyBio);
    if (!ready) {
        SSL_CTX_free(context);
        return nullptr;
    }
    // Records are read as many as the socket holds, not one header and one body read each.
    SSL_CTX_set_read_ahead(context, 1);
    SSL_CTX_set_default_read_buffer_len(context, 256 * 1024);
    return context;
}

// The value of Content-Length in a request head, 0 when it has none.
std::size_t ContentLength(const char* head, std::size_t size) {
    static const char kName[] = "\r\ncontent-length:";
    const std::size_t nameLength = sizeof kName - 1;
    for (std::size_t at = 0; at + nameLength <= size; ++at) {
        if (strncasecmp(head + at, kName, nameLength) == 0)
            return std::strtoull(head + at + nameLength, nullptr, 10);
    }
    return 0;
}

// Reads requests and answers each until the client closes or fails.
void Serve(SSL* ssl, const std::string& answer) {
    std::vector<char> buffer(256 * 1024);
    std::size_t held = 0;  // bytes of the current request's head kept in the buffer
    for (;;) {
        const int got = SSL_read(ssl, buffer.data() + held, static_cast<int>(buffer.size() - held));
        if (got <= 0)
            return;
        held += static_cast<std::size_t>(got);
        const char* end = static_cast<const char*>(memmem(buffer.data(), held, "\r\n\r\n", 4));
        if (end == nullptr) {
            if (held == buffer.size())
                return;  // a head this large is not a request we serve
            continue;
        }
        const std::size_t headSize = static_cast<std::size_t>(end - buffer.data()) + 4;
        std::size_t missing = ContentLength(buffer.data(), headSize);
        const std::size_t arrived = held - headSize;
        missing = missing > arrived ? missing - arrived : 0;
        while (missing > 0) {
            const int read = SSL_read(ssl, buffer.data(), static_cast<int>(std::min(missing, buffer.size())));
            if (read <= 0)
                return;
            missing -= static_cast<std::size_t>(read);
        }
        held = 0;
        if (SSL_write(ssl, answer.data(), static_cast<int>(answer.size())) <= 0)
            return;
    }
}

[[noreturn]] void RunChild(const webapp::ServerCertificate& certificate, std::size_t padding, int control,
                           int report) {
    SSL_CTX* context = ServerContext(certificate);
    const std::string answer = Answer(padding);
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (context == nullptr || listener < 0 ||
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 16) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        _exit(1);
    const std::uint16_t port = ntohs(address.sin_port);
    if (::write(report, &port, sizeof port) != sizeof port)
        _exit(1);
    ::close(report);

    for (;;) {
        pollfd waits[2] = {{listener, POLLIN, 0}, {control, POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0 || waits[1].revents != 0)
            _exit(0);  // the parent closed the control pipe (or went away)
        const int client = ::accept(listener, nullptr, nullptr);
        if (client < 0)
            continue;
        const int on = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        SSL* ssl = SSL_new(context);
        SSL_set_fd(ssl, client);
        if (SSL_accept(ssl) == 1) {
            Serve(ssl, answer);
            SSL_shutdown(ssl);
        }
        SSL_free(ssl);
        ::close(client);
    }
}

}  // namespace

TlsSink::~TlsSink() {
    if (control_ >= 0)
        ::close(control_);
    if (pid_ > 0)
        ::waitpid(pid_, nullptr, 0);
}

bool TlsSink::Start(const webapp::ServerCertificate& certificate, std::string* error, std::size_t padding) {
    int control[2], report[2];
    if (::pipe(control) != 0 || ::pipe(report) != 0) {
        *error = "cannot make the sink's pipes";
        return false;
    }
    pid_ = ::fork();
    if (pid_ < 0) {
        *error = "cannot fork the sink";
        return false;
    }
    if (pid_ == 0) {
        ::close(control[1]);
        ::close(report[0]);
        RunChild(certificate, padding, control[0], report[1]);
    }
    ::close(control[0]);
    ::close(report[1]);
    control_ = control[1];
    const bool reported = ::read(report[0], &port_, sizeof port_) == sizeof port_;
    ::close(report[0]);
    if (!reported)
        *error = "the sink did not start";
    return reported;
}

}  // namespace bench
