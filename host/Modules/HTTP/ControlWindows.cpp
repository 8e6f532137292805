// HTTP::Control on Windows. Trust anchors go into the current user's Root certificate store, the one
// WinHTTP verifies against (in CI the store of a throwaway Wine prefix), and come out again when
// cleared. Routing a host name elsewhere is not something WinHTTP can do while keeping the name for TLS:
// on Windows the way there is a proxy, WinHTTP's system setting, as behind a company proxy.
#include <windows.h>
// After windows.h.
#include <wincrypt.h>

#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "HTTPControl.hpp"
#include "WindowsText.hpp"

namespace HTTP::Control {

namespace {

std::mutex anchorsMutex;
// The encoded certificates this process added, to take out again.
std::vector<std::vector<BYTE>>& AddedAnchors() {
    static std::vector<std::vector<BYTE>> added;
    return added;
}

// The DER bytes of every PEM certificate block in `pem`.
std::vector<std::vector<BYTE>> DecodePem(const std::string& pem) {
    static const std::string kBegin = "-----BEGIN CERTIFICATE-----";
    static const std::string kEnd = "-----END CERTIFICATE-----";
    std::vector<std::vector<BYTE>> certificates;
    for (std::size_t at = pem.find(kBegin); at != std::string::npos; at = pem.find(kBegin, at)) {
        const std::size_t end = pem.find(kEnd, at);
        if (end == std::string::npos)
            break;
        const std::string block = pem.substr(at, end + kEnd.size() - at);
        DWORD size = 0;
        if (CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER,
                                 nullptr, &size, nullptr, nullptr)) {
            std::vector<BYTE> der(size);
            if (CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()),
                                     CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr)) {
                der.resize(size);
                certificates.push_back(std::move(der));
            }
        }
        at = end + kEnd.size();
    }
    return certificates;
}

HCERTSTORE OpenRootStore() {
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    if (store == nullptr)
        throw std::runtime_error("HTTP::Control: cannot open the Root certificate store: " +
                                 Platform::ErrorText(GetLastError()));
    return store;
}

}  // namespace

void RouteHost(const std::string& host, std::uint16_t, const std::string&, std::uint16_t) {
    throw std::logic_error("HTTP::Control::RouteHost(" + host +
                           "): WinHTTP cannot send a host name to another address; set a proxy instead "
                           "(WinHTTP's proxy setting of the system)");
}

void ClearRoutes() {}

void AddTrustAnchorPem(const std::string& pem) {
    const std::vector<std::vector<BYTE>> certificates = DecodePem(pem);
    if (certificates.empty())
        throw std::invalid_argument("HTTP::Control::AddTrustAnchorPem: no PEM certificate in the text");
    std::lock_guard<std::mutex> lock(anchorsMutex);
    HCERTSTORE store = OpenRootStore();
    for (const std::vector<BYTE>& der : certificates) {
        if (!CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(),
                                              static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                              nullptr)) {
            const DWORD error = GetLastError();
            CertCloseStore(store, 0);
            throw std::runtime_error(
                "HTTP::Control::AddTrustAnchorPem: the Root store refused a certificate: " +
                Platform::ErrorText(error));
        }
        AddedAnchors().push_back(der);
    }
    CertCloseStore(store, 0);
}

void ClearTrustAnchors() {
    std::lock_guard<std::mutex> lock(anchorsMutex);
    if (AddedAnchors().empty())
        return;
    HCERTSTORE store = OpenRootStore();
    for (const std::vector<BYTE>& der : AddedAnchors()) {
        PCCERT_CONTEXT added =
            CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
        if (added == nullptr)
            continue;
        PCCERT_CONTEXT stored =
            CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, added, nullptr);
        if (stored != nullptr)
            CertDeleteCertificateFromStore(stored);  // frees `stored`
        CertFreeCertificateContext(added);
    }
    AddedAnchors().clear();
    // A deletion is only queued in the registry store inside the system store; Wine's system store does not
    // write it when closed (an addition it writes at once), so without a commit the anchors stay.
    CertControlStore(store, 0, CERT_STORE_CTRL_COMMIT, nullptr);
    CertCloseStore(store, 0);
}

}  // namespace HTTP::Control
