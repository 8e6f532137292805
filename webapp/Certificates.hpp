// Throwaway certificate authority and server certificates for the web application stand-in and its clients.
#pragma once

#include <string>
#include <vector>

namespace webapp {

// A self-signed authority: its certificate and private key, both PEM text.
struct CertificateAuthority {
    std::string certPem;
    std::string keyPem;
};

// A leaf certificate for a TLS server and its private key, both PEM text.
struct ServerCertificate {
    std::string certPem;
    std::string keyPem;
};

// Makes a new authority (EC P-256 key, SHA-256 signature) named commonName, valid from one hour ago
// for seven days, allowed to sign certificates. Throws std::runtime_error when OpenSSL fails.
CertificateAuthority MakeAuthority(const std::string& commonName);

// Issues a server certificate signed by ca for the given names (at least one). Each name goes into the
// subject alternative names: as an IP address when it is an IPv4 or IPv6 literal, as a DNS name
// otherwise; the first one is also the subject's common name. Extended key usage: serverAuth. Valid
// from one hour ago for seven days. Throws std::invalid_argument for an empty list or an empty name,
// std::runtime_error when the authority's PEM text cannot be read or OpenSSL fails.
ServerCertificate IssueServerCertificate(const CertificateAuthority& ca,
                                         const std::vector<std::string>& dnsNames);

}  // namespace webapp
