// The platform-independent rules of a client connection.
#include "ConnectionRules.hpp"

#include <algorithm>
#include <chrono>
#include <climits>
#include <initializer_list>

#include "UniString.hpp"

namespace HTTP::Detail {

void Fail(Exception::Kind kind, const std::string& message) {
    throw Exception(kind, message.c_str());
}

std::string Utf8(const GS::UniString& text) {
    const auto bytes = text.ToCStr(0, MaxUSize, CC_UTF8);
    return std::string(bytes.Get(), bytes.GetLength());
}

void Require(bool allowed, const char* call, const char* why) {
    if (!allowed)
        Fail(Exception::Kind::Usage, std::string("HTTP::Client::ClientConnection::") + call + ": " + why);
}

void CheckFinishSend(ConnectionState state) {
    Require(state == ConnectionState::Ready || state == ConnectionState::Sending ||
                state == ConnectionState::Sent,
            "FinishSend", "the connection is not sending a request");
}

namespace {

void CheckReady(ConnectionState state, const char* call) {
    Require(state == ConnectionState::Ready, call,
            state == ConnectionState::Spent ? "the connection cannot carry another request"
                                            : "the connection is not ready for a request");
}

void CheckOwnFields(const Client::Request& request, const char* call,
                    std::initializer_list<const char*> own) {
    for (const char* name : own) {
        Require(!request.GetRequestHeaderFieldCollection().Contains(GS::UniString(name)), call,
                "the request names a header field the connection writes itself");
    }
}

}  // namespace

void CheckSend(ConnectionState state, const Client::Request& request, const char* body, USize length) {
    CheckReady(state, "Send");
    Require(body != nullptr || length == 0, "Send", "no body bytes for a non-zero length");
    CheckOwnFields(request, "Send", {"Host", "Content-Length", "Transfer-Encoding"});
}

std::optional<UInt64> CheckBeginSend(ConnectionState state, const Client::Request& request) {
    CheckReady(state, "BeginSend");
    CheckOwnFields(request, "BeginSend", {"Host", "Transfer-Encoding"});
    GS::UniString value;
    if (!request.GetRequestHeaderFieldCollection().Get(GS::UniString("Content-Length"), value)) {
        Require(request.GetVersion() == MessageHeader::HTTPVersion::Version11, "BeginSend",
                "an HTTP/1.0 request needs a Content-Length for a streamed body");
        return std::nullopt;
    }
    const std::string digits = Utf8(value);
    const bool decimal =
        !digits.empty() && digits.size() <= 19 && digits.find_first_not_of("0123456789") == std::string::npos;
    Require(decimal, "BeginSend", "the request's Content-Length is not a decimal length");
    return std::stoull(digits);
}

void StreamedBody::CheckWrite(ConnectionState state, const char* source, USize count) const {
    Require(state == ConnectionState::Sending && !ended, "body channel Write",
            "no request body is being sent");
    Require(source != nullptr || count == 0, "body channel Write", "no bytes for a non-zero count");
    Require(!declared || count <= *declared - written, "body channel Write",
            "more bytes than the request's Content-Length");
}

void StreamedBody::CheckEnd(ConnectionState state) const {
    Require(state == ConnectionState::Sending, "FinishSend", "no request body is being sent");
    Require(!declared || written == *declared, "FinishSend",
            "fewer bytes than the request's Content-Length were written");
}

std::optional<UInt64> AwaitWhileLeaving(UInt32 timeout, const std::function<long long()>& unacknowledged,
                                        const std::function<bool(int)>& wait,
                                        const std::function<std::string(long long)>& stalled,
                                        long long settled) {
    using Clock = std::chrono::steady_clock;
    // The counts come 2 ms apart at first, then ever further up to 100 ms: a short request is acknowledged
    // within a round trip, and its answer is read without a wait of its own.
    constexpr UInt64 kCountEvery = 100;
    UInt64 every = 2;
    const long long floor = std::max(settled, 0LL);
    long long left = unacknowledged();
    if (left <= floor)
        return std::nullopt;
    const Clock::time_point start = Clock::now();
    const auto since = [](Clock::time_point then) {
        return static_cast<UInt64>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - then).count());
    };
    Clock::time_point progress = start;  // the last write, just before the call
    for (;;) {
        const UInt64 still = since(progress);
        if (timeout != 0 && still >= timeout)
            Fail(Exception::Kind::Timeout, stalled(left));
        const bool over =
            wait(static_cast<int>(timeout == 0 ? every : std::min<UInt64>(every, timeout - still)));
        every = std::min(2 * every, kCountEvery);
        const long long now = unacknowledged();
        if (over || now <= floor)
            return since(start);
        if (now < left)
            progress = Clock::now();
        left = now;
    }
}

void LowSpeedLimit::Start(UInt64 now) {
    start_ = now;
    samples_.clear();
}

bool LowSpeedLimit::TooSlow(UInt64 now, UInt64 taken) {
    if (samples_.empty() || now - samples_.back().first >= window_ / 10)
        samples_.emplace_back(now, taken);
    // Keep the newest sample at least a window old, and none older.
    while (samples_.size() > 1 && now - samples_[1].first >= window_) samples_.erase(samples_.begin());
    if (now - start_ < window_ || now - samples_.front().first < window_)
        return false;
    const UInt64 span = now - samples_.front().first;
    return (taken - samples_.front().second) * 1000 < bytesPerSecond_ * span;
}

void InFlightRule::Start(UInt64 now) {
    start_ = now;
    samples_.assign(1, {now, 0});
}

long long InFlightRule::Cap(UInt64 now, UInt64 taken, UInt64 roundTrip) {
    constexpr UInt64 kSecond = 1000000;
    constexpr UInt64 kRoundTrips = 4;
    constexpr UInt64 kShortest = 1000;
    // The first burst (see the header): the rate counts from the last count before its end.
    const UInt64 settle = std::max(kShortest, std::min(kSecond, kRoundTrips * roundTrip));
    if (now - start_ < settle) {
        samples_.assign(1, {now, taken});
        return floor_;
    }
    samples_.emplace_back(now, taken);
    while (samples_.size() > 2 && now - samples_[1].first >= kSecond) samples_.erase(samples_.begin());
    if (now - samples_.front().first < settle)
        return floor_;
    const UInt64 span = now - samples_.front().first;
    const UInt64 perSecond = (taken - samples_.front().second) * kSecond / span;
    // A loopback's round trips are some tens of µs: the floor stays the least for its first second, so that
    // a server slow to start reading does not make every write of a fast body wait.
    const bool shortTrips = kRoundTrips * roundTrip < kShortest;
    const long long least = shortTrips && now - start_ < kSecond ? floor_ : least_;
    return std::max(least, static_cast<long long>(std::min<UInt64>(perSecond, LLONG_MAX)));
}

const char* MethodName(MessageHeader::Method::Id method) {
    static const char* const kNames[] = {"OPTIONS", "GET",   "HEAD",    "POST", "PUT",
                                         "DELETE",  "TRACE", "CONNECT", "PATCH"};
    return kNames[method];
}

bool CarriesBody(MessageHeader::Method::Id method) {
    return method == MessageHeader::Method::Post || method == MessageHeader::Method::Put ||
           method == MessageHeader::Method::Patch;
}

}  // namespace HTTP::Detail
