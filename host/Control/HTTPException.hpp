// The exception the HTTP client stand-in throws for every failure of a connection or a message.
#pragma once

#include <stdexcept>

namespace HTTP {

class Exception : public std::runtime_error {
public:
    enum class Kind : int {
        Usage,         // a call the object's state or arguments do not allow
        Resolve,       // the host name has no address
        Connect,       // no TCP connection to any address
        Tls,           // handshake failed, or the certificate chain or host name did not verify
        Timeout,       // a wait took longer than the connection's time-out
        Send,          // writing the request failed
        Receive,       // the connection broke or closed before the response was complete
        Protocol,      // the response is not well-formed HTTP
        BodyTooLarge,  // the response body is larger than the client accepts
    };

    Exception(Kind kind, const char* message);
    Exception(const Exception& other) noexcept;
    Exception& operator=(const Exception& other) noexcept;
    ~Exception() override;

    Kind GetKind() const noexcept { return kind_; }

private:
    Kind kind_;
};

}  // namespace HTTP
