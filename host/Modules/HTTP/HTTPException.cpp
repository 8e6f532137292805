// HTTP::Exception: defined here so that copies and destruction always run in the host library.
#include "HTTPException.hpp"

namespace HTTP {

Exception::Exception(Kind kind, const char* message) : std::runtime_error(message), kind_(kind) {}
Exception::Exception(const Exception& other) noexcept = default;
Exception& Exception::operator=(const Exception& other) noexcept = default;
Exception::~Exception() = default;

}  // namespace HTTP
