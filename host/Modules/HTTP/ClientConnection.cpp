// HTTP::Client::ClientConnection on every platform: the calls, the states they go through and their
// checks, the policy, the counts, the body cap, the answer's bounds and the pacing of a streamed body; and
// the body channels, views of their connection. The platform's Detail::Transport
// (host/Internal/HTTPTransport.hpp) moves the bytes.
//
// Pacing (the one place this rule is written; the rest points here). The system would take megabytes of
// a streamed body at once, and the caller's writes, its progress and its Cancel would run many seconds
// ahead of a slow link. So a body channel Write returns once no more than about a second's worth of the
// body is in flight (written, not yet acknowledged by the server), or once it has waited about a second
// (kPaceSlice), whichever comes first; Flush waits the same way without writing, and after the whole
// body until none is in flight. A second's worth follows the rate the server acknowledges the body at
// (Detail::InFlightRule), so that a fast link with a long round trip is not held to a small window. No call
// then holds its caller for more than about a second, and a caller that flushes until a Flush returns at
// once has its count of bytes written follow the link: after its last Write and Flush the server has the
// whole body. Where the system does not say what is in flight, or its writes never waited for the link
// (Detail::Transport::PacesWrites), writes and the flushes before the body's end do not wait; where it does
// not say, a Flush after the whole body waits, a second at most, for the answer's head until the body
// counts as arrived (Drained).
#include "HTTP/Client/ClientConnection.hpp"
#include "HTTP/Encoding/BodyIBinaryChannel.hpp"
#include "HTTP/Encoding/BodyOBinaryChannel.hpp"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "ConnectionRules.hpp"
#include "Counters.hpp"
#include "HTTPException.hpp"
#include "HTTPTransport.hpp"

namespace HTTP::Detail {

namespace {

// The answer's status line and fields must arrive within one time-out after the request arrived, the
// whole answer within this many.
constexpr UInt32 kAnswerTimeouts = 4;
// The longest a write or a flush of a streamed body waits for the link.
constexpr std::chrono::milliseconds kPaceSlice{1000};
// The bytes of a streamed body that may be in flight before its rate is known, and the least after.
constexpr long long kInFlightFloor = 64 * 1024;
constexpr long long kInFlightLeast = 4 * 1024;

UInt64 Microseconds() {
    return static_cast<UInt64>(
        std::chrono::duration_cast<std::chrono::microseconds>(SteadyClock::now().time_since_epoch()).count());
}

std::string BodyTooLarge() {
    return "the response body is larger than " + std::to_string(MaxBodySize) + " bytes";
}

}  // namespace

void Link::CheckSpeed(long long left) {
    if (timeout == 0 || left < 0 || !lowSpeed.TooSlow(Microseconds() / 1000, sent - left))
        return;
    Fail(Exception::Kind::Timeout, "the server took less than " +
                                       std::to_string(LowSpeedLimit::DefaultBytesPerSecond) +
                                       " bytes a second of the request to " + host + " over " +
                                       std::to_string(LowSpeedLimit::DefaultWindow) + " ms");
}

std::string Link::WriteStalled() const {
    return "writing the request to " + host + " made no progress for " + std::to_string(timeout) + " ms";
}

}  // namespace HTTP::Detail

namespace HTTP::Client {

using Kind = Exception::Kind;
using State = Detail::ConnectionState;
using Detail::Framing;
using Detail::SteadyClock;
using std::chrono::milliseconds;

struct ClientConnection::Impl {
    Detail::ConnectionPolicy policy;
    Detail::Link link;
    std::unique_ptr<Detail::Transport> transport;
    State state = State::Fresh;
    MessageHeader::Method::Id method = MessageHeader::Method::Get;  // of the request last begun
    std::unique_ptr<Encoding::BodyIBinaryChannel> body;
    std::unique_ptr<Encoding::BodyOBinaryChannel> requestBody;

    // The request's body, and whether it goes through BeginSend (the caller's pieces) rather than Send.
    Detail::StreamedBody streamed;
    bool bodyStreamed = false;
    // The server closed or reset the connection while the request was being written: the rest of the
    // request is dropped, and the answer it may have sent before is read as the answer.
    bool peerEnded = false;
    // The bytes sent before the streamed body's first ones, and the rule the rate its bytes are
    // acknowledged at sets for how many may be in flight.
    UInt64 sentBeforeStream = 0;
    Detail::InFlightRule inFlight{Detail::kInFlightFloor, Detail::kInFlightLeast};
    // The most of the streamed body the server had acknowledged, and since when: the pacing's waits, a
    // slice at a time, find a stall across them.
    UInt64 pacedTaken = 0;
    SteadyClock::time_point pacedTakenAt;
    // When the write that completed a declared streamed body returned.
    std::optional<SteadyClock::time_point> bodyWrittenAt;
    // When the last request was sent; the bound of the answer's part being read, from its arrival.
    SteadyClock::time_point sentAt;
    Detail::AnswerBound bound;
    UInt64 bodyRead = 0;

    [[noreturn]] void Broke(Kind kind, const std::string& message) {
        state = State::Broken;
        transport->Drop();
        Detail::Fail(kind, message);
    }

    // Runs `step`; a failure in it breaks the connection.
    template <class Step>
    auto Guarded(Step step) -> decltype(step()) {
        try {
            return step();
        } catch (const Exception&) {
            state = State::Broken;
            transport->Drop();
            throw;
        }
    }

    std::optional<SteadyClock::time_point> Bound(UInt32 timeouts) const {
        if (link.timeout == 0)
            return std::nullopt;
        return bound.arrived + milliseconds(UInt64(link.timeout) * timeouts);
    }

    // Where the system does not say what is in flight: when a streamed body counts as arrived. The system
    // may hold seconds of a slow link's bytes and nothing says when they have gone; an estimate from the
    // rate the last pieces were taken at fell short on a shaped link under Wine, and the answer's head then
    // timed out while the body was still on its way. So such a body counts as arriving up to the answer's
    // whole bound after its last write, and a server that stays silent is found then.
    SteadyClock::time_point Drained(SteadyClock::time_point from) const {
        if (!bodyStreamed || streamed.written == 0 || link.timeout == 0)
            return from;
        return from + milliseconds(UInt64(Detail::kAnswerTimeouts) * link.timeout);
    }

    void Begin(MessageHeader::Method::Id of, const Detail::StreamedBody& what, bool streaming) {
        method = of;
        streamed = what;
        bodyStreamed = streaming;
        peerEnded = false;
        bodyWrittenAt.reset();
        link.lowSpeed.Start(Detail::Microseconds() / 1000);
    }
    // A write or flush that finds the connection ended by the server sends nothing more.
    void Write(const char* data, std::size_t size) {
        peerEnded = peerEnded || !Guarded([&] { return transport->Write(data, size); });
    }
    void Flush(bool last) {
        peerEnded = peerEnded || !Guarded([&] { return transport->Flush(last); });
    }
    void Sent();
    void Pace(bool all);
    SteadyClock::time_point AwaitArrival();
};

void ClientConnection::Impl::Sent() {
    Detail::CountRequest();
    const std::optional<SteadyClock::time_point> reported =
        streamed.written == 0 ? transport->RequestSentAt() : std::nullopt;
    sentAt = reported ? *reported : SteadyClock::now();
    bodyRead = 0;
    state = State::Sent;
}

// Waits, kPaceSlice at most, while more of the streamed body is in flight than the link carries in about a
// second; with `all` (a flush after the whole body), while any is. See the rule atop this file.
void ClientConnection::Impl::Pace(bool all) {
    if (peerEnded || (!all && !transport->PacesWrites()))
        return;
    const SteadyClock::time_point sliceEnd = SteadyClock::now() + Detail::kPaceSlice;
    // The counts come 2 ms apart at first, then ever further up to 50 ms.
    int every = 2;
    for (;;) {
        const long long left = transport->Unacknowledged();
        if (left < 0) {
            // The system does not say: its own buffer is the only bound of a write.
            if (!all || !bodyWrittenAt)
                return;
            const SteadyClock::time_point arrival = Drained(*bodyWrittenAt);
            std::optional<SteadyClock::time_point> headBound;
            if (link.timeout != 0)
                headBound = arrival + milliseconds(link.timeout);
            Guarded([&] { transport->AwaitAnswer(std::min(sliceEnd, arrival), headBound); });
            return;
        }
        const UInt64 written = link.sent - sentBeforeStream;  // HTTP bytes; TLS adds a fraction of a percent
        const UInt64 acknowledged = written > static_cast<UInt64>(left) ? written - left : 0;
        const SteadyClock::time_point now = SteadyClock::now();
        if (acknowledged > pacedTaken) {
            pacedTaken = acknowledged;
            pacedTakenAt = now;
        }
        const long long cap = inFlight.Cap(Detail::Microseconds(), acknowledged, transport->RoundTrip());
        if (left <= (all ? 0 : cap))
            return;
        Guarded([&] { link.CheckSpeed(left); });
        if (link.timeout != 0 && now - pacedTakenAt >= milliseconds(link.timeout))
            Broke(Kind::Timeout, link.WriteStalled());
        if (now >= sliceEnd)
            return;
        const auto rest = std::chrono::duration_cast<milliseconds>(sliceEnd - now).count();
        // A server that ended the connection: the next write or the answer finds out.
        if (transport->EndsWithin(static_cast<int>(std::min<long long>(every, rest))))
            return;
        every = std::min(2 * every, 50);
    }
}

// A request arrives when the server has acknowledged its last byte: the system takes it into its buffers
// long before a slow link has carried it. The wait goes on while that count goes down (see
// Detail::AwaitWhileLeaving); only the end of the connection cuts it short, as bytes to read say nothing
// of it (a TLS 1.3 server's session tickets may come at any time), and a server that answers before it has
// read the whole request still takes the rest, or ends the connection.
SteadyClock::time_point ClientConnection::Impl::AwaitArrival() {
    const SteadyClock::time_point start = SteadyClock::now();
    if (peerEnded)
        return start;  // nothing more of the request goes: the answer is there or never comes
    if (transport->AnswerWaiting())
        return sentAt;
    if (transport->Unacknowledged() < 0)
        return bodyWrittenAt ? Drained(*bodyWrittenAt) : sentAt;
    const auto waitAtSpeed = [this](int ms) {
        link.CheckSpeed(transport->Unacknowledged());
        return transport->EndsWithin(ms);
    };
    const std::optional<UInt64> arrived = Guarded([&] {
        return Detail::AwaitWhileLeaving(
            link.timeout, [this] { return transport->Unacknowledged(); }, waitAtSpeed,
            [this](long long left) {
                return "the last " + std::to_string(left) + " bytes of the request to " + link.host +
                       " were not taken for " + std::to_string(link.timeout) + " ms";
            });
    });
    return arrived ? start + milliseconds(*arrived) : sentAt;
}

ClientConnection::ClientConnection(const IO::URI::URI& uri) : impl_(nullptr) {
    if (!uri.IsValid() || uri.GetScheme() != GS::UniString("https"))
        Detail::Fail(Kind::Usage, "HTTP::Client::ClientConnection: the URI is not a valid https URI");
    auto impl = std::make_unique<Impl>();
    impl->link.host = Detail::Utf8(uri.GetHost());
    impl->link.port = uri.GetPort();
    impl->transport = Detail::MakeTransport(impl->link);
    impl->body.reset(new Encoding::BodyIBinaryChannel(*this));
    impl->requestBody.reset(new Encoding::BodyOBinaryChannel(*this));
    impl_ = impl.release();
}

ClientConnection::~ClientConnection() {
    delete impl_;
}

void ClientConnection::SetTimeout(UInt32 milliseconds) {
    impl_->link.timeout = milliseconds;
}

UInt32 ClientConnection::GetTimeout() const {
    return impl_->link.timeout;
}

Detail::ConnectionPolicy& ClientConnection::Policy() const {
    return impl_->policy;
}

void ClientConnection::SetFollowRedirect(bool followRedirect) {
    Detail::Require(!followRedirect, "SetFollowRedirect", "the stand-in follows no redirect");
    impl_->policy.followRedirect = followRedirect;
}

bool ClientConnection::GetFollowRedirect() {
    return impl_->policy.followRedirect;
}

void ClientConnection::SetBodyBufferSize(GS::USize maxBodyBufferSize) {
    impl_->policy.bodyBufferSize = maxBodyBufferSize;
}

GS::USize ClientConnection::GetBodyBufferSize() const {
    return impl_->policy.bodyBufferSize;
}

void ClientConnection::Connect() {
    Impl& c = *impl_;
    Detail::Require(c.state == State::Fresh, "Connect", "the connection was connected before");
    c.Guarded([&] { c.transport->Connect(Detail::ChooseProxy(c.policy.proxy, c.link.host, c.link.port)); });
    c.state = State::Ready;
}

void ClientConnection::FinishSend() {
    Impl& c = *impl_;
    if (c.state != State::Sending) {
        Detail::CheckFinishSend(c.state);
        return;
    }
    c.streamed.CheckEnd(c.state);
    c.streamed.ended = true;
    c.Flush(/*last=*/true);
    c.Sent();
}

void ClientConnection::Send(const Request& request, const char* body, USize length) {
    Impl& c = *impl_;
    Detail::CheckSend(c.state, request, body, length);
    const bool lengthField = length > 0 || Detail::CarriesBody(request.GetMethod());
    c.Begin(request.GetMethod(), Detail::StreamedBody{length, 0, false}, false);
    c.Guarded([&] {
        c.transport->Open(request, lengthField ? Framing{Framing::Kind::Length, length} : Framing{});
    });
    if (length > 0)
        c.Write(body, length);
    c.streamed.written = length;
    c.Flush(/*last=*/true);
    c.Sent();
}

Encoding::BodyOBinaryChannel& ClientConnection::BeginSend(Request& request) {
    Impl& c = *impl_;
    const std::optional<UInt64> declared = Detail::CheckBeginSend(c.state, request);
    const Framing framing =
        declared ? Framing{Framing::Kind::Length, *declared} : Framing{Framing::Kind::Chunked};
    c.transport->CheckStreamable(framing);
    c.Begin(request.GetMethod(), Detail::StreamedBody{declared, 0, false}, true);
    c.Guarded([&] { c.transport->Open(request, framing); });
    c.state = State::Sending;
    return *c.requestBody;
}

void ClientConnection::WriteBody(const char* source, USize count) {
    Impl& c = *impl_;
    c.streamed.CheckWrite(c.state, source, count);
    if (count > 0) {
        if (c.streamed.written == 0) {
            c.inFlight.Start(Detail::Microseconds());
            c.sentBeforeStream = c.link.sent;
            c.pacedTaken = 0;
            c.pacedTakenAt = SteadyClock::now();
        }
        c.Write(source, count);
        c.streamed.written += count;
    }
    if (c.streamed.declared && c.streamed.written == *c.streamed.declared)
        c.bodyWrittenAt = SteadyClock::now();
    if (count > 0)
        c.Pace(/*all=*/false);
}

void ClientConnection::FlushBody() {
    Impl& c = *impl_;
    c.streamed.CheckWrite(c.state, nullptr, 0);
    c.Flush(/*last=*/false);
    // Once the whole body is written, all of it must have gone: the answer's wait then holds its caller for
    // the head alone. Before, a second's worth keeps the link busy.
    if (c.streamed.written > 0)
        c.Pace(/*all=*/c.streamed.declared && c.streamed.written == *c.streamed.declared);
}

void ClientConnection::Abort() {
    impl_->transport->Abort();
    impl_->state = State::Closed;
}

UInt64 ClientConnection::GetSentDataCount() const {
    return impl_->link.sent;
}

UInt64 ClientConnection::GetReceivedDataCount() const {
    return impl_->link.received;
}

Encoding::BodyIBinaryChannel& ClientConnection::BeginReceive(Response& response) {
    Impl& c = *impl_;
    Detail::Require(c.state == State::Sent, "BeginReceive", "no request was sent");
    c.bound.arrived = c.AwaitArrival();
    // Interim 1xx answers do not extend the time the real one's head has, so a server cannot hold the
    // caller with them.
    c.bound.until = c.Bound(1);
    c.Guarded([&] { c.transport->ReceiveHead(response, c.method == MessageHeader::Method::Head, c.bound); });
    GS::UniString length;
    if (response.GetResponseHeaderFieldCollection().Get(GS::UniString("Content-Length"), length) &&
        std::strtoull(Detail::Utf8(length).c_str(), nullptr, 10) > Detail::MaxBodySize)
        c.Broke(Kind::BodyTooLarge, Detail::BodyTooLarge());
    c.bound.until = c.Bound(Detail::kAnswerTimeouts);
    c.state = State::Receiving;
    return *c.body;
}

void ClientConnection::FinishReceive() {
    Impl& c = *impl_;
    Detail::Require(c.state == State::Receiving, "FinishReceive", "no response is being received");
    c.state = c.transport->FinishReceive() ? State::Ready : State::Spent;
}

USize ClientConnection::ReadBody(char* destination, USize count) {
    Impl& c = *impl_;
    Detail::Require(c.state == State::Receiving, "body channel Read", "no response is being received");
    if (count == 0)
        return 0;
    const std::size_t arrived = c.Guarded([&] { return c.transport->Read(destination, count, c.bound); });
    c.bodyRead += arrived;
    if (c.bodyRead > Detail::MaxBodySize)
        c.Broke(Kind::BodyTooLarge, Detail::BodyTooLarge());
    return static_cast<USize>(arrived);
}

void ClientConnection::Close(bool force) {
    Impl& c = *impl_;
    if (c.state != State::Closed)
        c.transport->Close(!force && c.state != State::Broken);
    c.state = State::Closed;
}

}  // namespace HTTP::Client

namespace HTTP::Encoding {

BodyIBinaryChannel::BodyIBinaryChannel(Client::ClientConnection& connection) : connection_(connection) {}
BodyIBinaryChannel::~BodyIBinaryChannel() = default;
USize BodyIBinaryChannel::Read(char* destination, USize count) {
    return connection_.ReadBody(destination, count);
}

BodyOBinaryChannel::BodyOBinaryChannel(Client::ClientConnection& connection) : connection_(connection) {}
BodyOBinaryChannel::~BodyOBinaryChannel() = default;
void BodyOBinaryChannel::Write(const char* source, USize nOfCharToWrite) {
    connection_.WriteBody(source, nOfCharToWrite);
}
void BodyOBinaryChannel::Flush() {
    connection_.FlushBody();
}
void BodyOBinaryChannel::Close() {
    connection_.FinishSend();
}

}  // namespace HTTP::Encoding
