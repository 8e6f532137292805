// Certificate making with OpenSSL's own API: keys, X.509 fields and extensions, PEM text in and out.
#include "Certificates.hpp"

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <stdexcept>

namespace webapp {
namespace {

constexpr long kOneHour = 60L * 60L;
constexpr long kValidity = 7L * 24L * kOneHour;

template <typename T, void (*Free)(T*)>
struct Deleter {
    void operator()(T* p) const { Free(p); }
};

using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using CertPtr = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using BioPtr = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;
using BigNumPtr = std::unique_ptr<BIGNUM, Deleter<BIGNUM, BN_free>>;
using ExtensionPtr = std::unique_ptr<X509_EXTENSION, Deleter<X509_EXTENSION, X509_EXTENSION_free>>;
using NameListPtr = std::unique_ptr<GENERAL_NAMES, Deleter<GENERAL_NAMES, GENERAL_NAMES_free>>;
using NamePtr = std::unique_ptr<GENERAL_NAME, Deleter<GENERAL_NAME, GENERAL_NAME_free>>;

// Throws with the text of OpenSSL's oldest queued error, so the first cause is the one reported.
[[noreturn]] void ThrowOpenSsl(const std::string& what) {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    std::string message = "certificate: " + what + " failed";
    if (code != 0) {
        char text[256];
        ERR_error_string_n(code, text, sizeof(text));
        message += ": ";
        message += text;
    }
    throw std::runtime_error(message);
}

void Check(int result, const std::string& what) {
    if (result <= 0) {
        ThrowOpenSsl(what);
    }
}

KeyPtr MakeKey() {
    KeyPtr key(EVP_EC_gen("P-256"));
    if (!key) {
        ThrowOpenSsl("EC P-256 key generation");
    }
    return key;
}

void SetRandomSerial(X509* cert) {
    BigNumPtr serial(BN_new());
    if (!serial) {
        ThrowOpenSsl("serial allocation");
    }
    // 63 random bits with the top bit clear keep the serial positive and at most 8 bytes.
    Check(BN_rand(serial.get(), 63, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY), "serial generation");
    if (BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(cert)) == nullptr) {
        ThrowOpenSsl("serial encoding");
    }
}

void SetCommonName(X509_NAME* name, const std::string& commonName) {
    const auto* text = reinterpret_cast<const unsigned char*>(commonName.c_str());
    Check(X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, text, -1, -1, 0), "common name");
}

// A certificate with version 3, a random serial, the validity window, the subject and the public key.
CertPtr MakeCertificate(const std::string& commonName, EVP_PKEY* subjectKey) {
    CertPtr cert(X509_new());
    if (!cert) {
        ThrowOpenSsl("certificate allocation");
    }
    Check(X509_set_version(cert.get(), 2), "certificate version");
    SetRandomSerial(cert.get());
    if (X509_gmtime_adj(X509_getm_notBefore(cert.get()), -kOneHour) == nullptr ||
        X509_gmtime_adj(X509_getm_notAfter(cert.get()), kValidity - kOneHour) == nullptr) {
        ThrowOpenSsl("validity period");
    }
    SetCommonName(X509_get_subject_name(cert.get()), commonName);
    Check(X509_set_pubkey(cert.get(), subjectKey), "public key");
    return cert;
}

void AddExtension(X509* cert, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
    ExtensionPtr extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
    if (!extension) {
        ThrowOpenSsl(std::string("extension ") + OBJ_nid2sn(nid));
    }
    Check(X509_add_ext(cert, extension.get(), -1), std::string("adding extension ") + OBJ_nid2sn(nid));
}

// Whether both halves of the certificate's ECDSA signature take all 32 bytes of the curve's size.
bool HasFullLengthSignature(const X509* cert) {
    const ASN1_BIT_STRING* signature = nullptr;
    X509_get0_signature(&signature, nullptr, cert);
    const unsigned char* der = signature->data;
    ECDSA_SIG* decoded = d2i_ECDSA_SIG(nullptr, &der, signature->length);
    if (decoded == nullptr)
        ThrowOpenSsl("reading the certificate's signature");
    const BIGNUM* r = nullptr;
    const BIGNUM* s = nullptr;
    ECDSA_SIG_get0(decoded, &r, &s);
    const bool full = BN_num_bytes(r) == 32 && BN_num_bytes(s) == 32;
    ECDSA_SIG_free(decoded);
    return full;
}

// Signs with SHA-256, again until neither half of the signature is shorter than the curve's 32 bytes:
// Wine's certificate checks (crypt32) reject such signatures, about one in a hundred, as invalid.
void Sign(X509* cert, EVP_PKEY* key, const std::string& what) {
    for (int attempt = 0; attempt < 64; ++attempt) {
        Check(X509_sign(cert, key, EVP_sha256()), what);
        if (HasFullLengthSignature(cert))
            return;
    }
    throw std::runtime_error("certificate: " + what + " gave no full-length signature in 64 attempts");
}

NamePtr MakeAlternativeName(const std::string& name) {
    if (ASN1_OCTET_STRING* ip = a2i_IPADDRESS(name.c_str())) {
        NamePtr entry(GENERAL_NAME_new());
        if (!entry) {
            ASN1_OCTET_STRING_free(ip);
            ThrowOpenSsl("alternative name allocation");
        }
        GENERAL_NAME_set0_value(entry.get(), GEN_IPADD, ip);
        return entry;
    }
    ERR_clear_error();  // not an IP literal: a DNS name
    ASN1_IA5STRING* dns = ASN1_IA5STRING_new();
    if (dns == nullptr || ASN1_STRING_set(dns, name.data(), static_cast<int>(name.size())) <= 0) {
        ASN1_IA5STRING_free(dns);
        ThrowOpenSsl("DNS name " + name);
    }
    NamePtr entry(GENERAL_NAME_new());
    if (!entry) {
        ASN1_IA5STRING_free(dns);
        ThrowOpenSsl("alternative name allocation");
    }
    GENERAL_NAME_set0_value(entry.get(), GEN_DNS, dns);
    return entry;
}

void AddAlternativeNames(X509* cert, const std::vector<std::string>& names) {
    NameListPtr list(sk_GENERAL_NAME_new_null());
    if (!list) {
        ThrowOpenSsl("alternative name list");
    }
    for (const std::string& name : names) {
        NamePtr entry = MakeAlternativeName(name);
        if (sk_GENERAL_NAME_push(list.get(), entry.get()) <= 0) {
            ThrowOpenSsl("alternative name list");
        }
        entry.release();  // owned by the list now
    }
    Check(X509_add1_ext_i2d(cert, NID_subject_alt_name, list.get(), 0, X509V3_ADD_DEFAULT),
          "subject alternative names");
}

std::string ToPem(X509* cert) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio) {
        ThrowOpenSsl("memory BIO");
    }
    Check(PEM_write_bio_X509(bio.get(), cert), "certificate PEM writing");
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(size));
}

std::string ToPem(EVP_PKEY* key) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio) {
        ThrowOpenSsl("memory BIO");
    }
    Check(PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr), "key PEM writing");
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(size));
}

BioPtr ReadOnlyBio(const std::string& text) {
    BioPtr bio(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
    if (!bio) {
        ThrowOpenSsl("memory BIO");
    }
    return bio;
}

CertPtr CertificateFromPem(const std::string& pem) {
    BioPtr bio = ReadOnlyBio(pem);
    CertPtr cert(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
    if (!cert) {
        ThrowOpenSsl("reading the authority's certificate PEM");
    }
    return cert;
}

KeyPtr KeyFromPem(const std::string& pem) {
    BioPtr bio = ReadOnlyBio(pem);
    KeyPtr key(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
    if (!key) {
        ThrowOpenSsl("reading the authority's key PEM");
    }
    return key;
}

}  // namespace

CertificateAuthority MakeAuthority(const std::string& commonName) {
    KeyPtr key = MakeKey();
    CertPtr cert = MakeCertificate(commonName, key.get());
    Check(X509_set_issuer_name(cert.get(), X509_get_subject_name(cert.get())), "issuer name");
    AddExtension(cert.get(), cert.get(), NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(cert.get(), cert.get(), NID_key_usage, "critical,keyCertSign,cRLSign");
    AddExtension(cert.get(), cert.get(), NID_subject_key_identifier, "hash");
    AddExtension(cert.get(), cert.get(), NID_authority_key_identifier, "keyid:always");
    Sign(cert.get(), key.get(), "authority signing");
    return CertificateAuthority{ToPem(cert.get()), ToPem(key.get())};
}

ServerCertificate IssueServerCertificate(const CertificateAuthority& ca,
                                         const std::vector<std::string>& dnsNames) {
    if (dnsNames.empty()) {
        throw std::invalid_argument("certificate: a server certificate needs at least one name");
    }
    for (const std::string& name : dnsNames) {
        if (name.empty()) {
            throw std::invalid_argument("certificate: a server certificate name is empty");
        }
    }
    CertPtr caCert = CertificateFromPem(ca.certPem);
    KeyPtr caKey = KeyFromPem(ca.keyPem);

    KeyPtr key = MakeKey();
    CertPtr cert = MakeCertificate(dnsNames.front(), key.get());
    Check(X509_set_issuer_name(cert.get(), X509_get_subject_name(caCert.get())), "issuer name");
    AddExtension(cert.get(), caCert.get(), NID_basic_constraints, "critical,CA:FALSE");
    AddExtension(cert.get(), caCert.get(), NID_key_usage, "critical,digitalSignature");
    AddExtension(cert.get(), caCert.get(), NID_ext_key_usage, "serverAuth");
    AddExtension(cert.get(), caCert.get(), NID_subject_key_identifier, "hash");
    AddExtension(cert.get(), caCert.get(), NID_authority_key_identifier, "keyid:always");
    AddAlternativeNames(cert.get(), dnsNames);
    Sign(cert.get(), caKey.get(), "server certificate signing");
    return ServerCertificate{ToPem(cert.get()), ToPem(key.get())};
}

}  // namespace webapp
