// The connection's transport over WinHTTP in its asynchronous mode (see host/Internal/HTTPTransport.hpp).
// WinHTTP frames the messages itself: it writes the request line, Host and Content-Length, skips interim
// answers and decodes the answer's framing. Every wait is the transport's own: it starts one WinHTTP call on
// one of the process's call threads and waits on the event the status callback sets, for at most the time-out
// and never past the answer's bounds. A wait that runs out abandons the request: its handle is closed, and
// what WinHTTP still reports for it goes nowhere.
//
// What differs from the other transport, as the connection's callers see it:
// - WinHTTP makes the TCP connection (through the proxy the connection's choice gives) and the verified
//   TLS handshake when the first request goes out, so a refused connection, a refused tunnel or a
//   certificate that does not verify is thrown by Send or BeginSend, before any byte of the request
//   reaches the server.
// - A streamed body needs the request's Content-Length: WinHTTP's chunked mode would have the caller write
//   the framing, and nothing needs it.
// - The head goes out at BeginSend. The counts hold the request's fields and body (WinHTTP does not say
//   what its request line, Host and Content-Length took) and the answer's head and decoded body.
// - A write returns once WinHTTP has sent it; only the flush after the whole body waits for the link. What
//   is in flight comes from the TCP statistics WinHTTP gives from Windows 10 on; Wine's WinHTTP gives none,
//   and there the connection's rule for a system that does not say applies (ClientConnection.cpp).
// - A server that answers early and closes while the body is being written: WinHTTP reports the write as
//   reset, and the answer is read all the same.
#include <windows.h>
// After windows.h.
#include <winerror.h>
#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ConnectionRules.hpp"
#include "Counters.hpp"
#include "HTTPException.hpp"
#include "HTTPTransport.hpp"
#include "MessageAccess.hpp"
#include "WindowsText.hpp"

namespace HTTP::Detail {

namespace {

using Kind = Exception::Kind;

constexpr DWORD kWriteChunk = 64 * 1024;

// Header bytes as WinHTTP hands them over: one UTF-16 unit per received byte.
std::string Bytes(const std::wstring& text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (wchar_t unit : text) bytes.push_back(static_cast<char>(unit < 0x100 ? unit : '?'));
    return bytes;
}

std::wstring Units(const std::string& bytes) {
    std::wstring text;
    text.reserve(bytes.size());
    for (char byte : bytes) text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(byte)));
    return text;
}

// What a WinHTTP failure says: its kind (none for those that only say the connection broke, which take
// the phase's) and its text.
struct Failure {
    DWORD error;
    std::optional<Kind> kind;
    const char* text;
};
const Failure kFailures[] = {
    {ERROR_WINHTTP_TIMEOUT, Kind::Timeout, "WinHTTP time-out (12002)"},
    // What Wine's WinHTTP reports when a socket wait runs out.
    {WSAETIMEDOUT, Kind::Timeout, "time-out of a socket wait (10060)"},
    {ERROR_WINHTTP_NAME_NOT_RESOLVED, Kind::Resolve, "the name does not resolve (12007)"},
    {ERROR_WINHTTP_CANNOT_CONNECT, Kind::Connect, "cannot connect (12029)"},
    {ERROR_WINHTTP_CONNECTION_ERROR, std::nullopt, "the connection broke (12030)"},
    {ERROR_WINHTTP_SECURE_FAILURE, Kind::Tls, "the certificate did not verify (12175)"},
    {ERROR_WINHTTP_SECURE_CHANNEL_ERROR, Kind::Tls, nullptr},
    {ERROR_WINHTTP_SECURE_INVALID_CERT, Kind::Tls, nullptr},
    {ERROR_WINHTTP_SECURE_INVALID_CA, Kind::Tls, nullptr},
    {ERROR_WINHTTP_SECURE_CERT_CN_INVALID, Kind::Tls, nullptr},
    {ERROR_WINHTTP_SECURE_CERT_DATE_INVALID, Kind::Tls, nullptr},
    {ERROR_WINHTTP_SECURE_CERT_REVOKED, Kind::Tls, nullptr},
    {ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE, Kind::Tls, nullptr},
    {ERROR_WINHTTP_SECURE_CERT_REV_FAILED, Kind::Tls, nullptr},
    {ERROR_WINHTTP_INVALID_SERVER_RESPONSE, Kind::Protocol, "the server's answer is not valid HTTP (12152)"},
    {ERROR_WINHTTP_HEADER_SIZE_OVERFLOW, Kind::Protocol, nullptr},
    {ERROR_WINHTTP_INVALID_HEADER, Kind::Protocol, nullptr},
};

const Failure* Find(DWORD error) {
    for (const Failure& failure : kFailures) {
        if (failure.error == error)
            return &failure;
    }
    return nullptr;
}

std::string WinHttpError(DWORD error) {
    const Failure* found = Find(error);
    return found && found->text ? found->text : "WinHTTP error " + std::to_string(error);
}

// Whether a failed write met a server that closed or reset the connection (and may have answered).
bool EndedByPeer(DWORD error) {
    return error == WSAECONNRESET || error == WSAECONNABORTED || error == ERROR_WINHTTP_CONNECTION_ERROR;
}

// The kind of a WinHTTP failure; `phase` for those that only say the connection broke.
Kind KindOf(DWORD error, Kind phase) {
    const Failure* found = Find(error);
    return found && found->kind ? *found->kind : phase;
}

// What WinHTTP reported for the call in progress. The status callback (or the thread that started the
// call, when the call itself failed) writes it, then sets `done`; the connection reads it after its wait on
// `done`. The connection, the thread of a call in progress and the request handle's callbacks (until
// WinHTTP reports the handle closing) each hold it.
struct Outcome {
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE sent = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // the request went out whole
    SteadyClock::time_point sentAt;                             // when, set before `sent`
    DWORD status = 0;  // the WINHTTP_CALLBACK_STATUS_ of the completion
    DWORD error = 0;   // for WINHTTP_CALLBACK_STATUS_REQUEST_ERROR
    DWORD bytes = 0;   // written, read or available
    // What a read writes into, and what a write is read from: one piece of either at a time.
    std::vector<char> buffer = std::vector<char>(kWriteChunk);
    ~Outcome() {
        CloseHandle(done);
        CloseHandle(sent);
    }
};
using SharedOutcome = std::shared_ptr<Outcome>;

void Complete(Outcome& outcome, DWORD status, DWORD error, DWORD bytes) {
    outcome.error = error;
    outcome.bytes = bytes;
    outcome.status = status;
    SetEvent(outcome.done);
}

// The context of a request handle is a SharedOutcome of its own, released when the handle closes.
void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD length) {
    SharedOutcome* holder = reinterpret_cast<SharedOutcome*>(context);
    if (holder == nullptr)
        return;
    Outcome& outcome = **holder;
    switch (status) {
        case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
        case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
            Complete(outcome, status, 0, 0);
            return;
        case WINHTTP_CALLBACK_STATUS_WRITE_COMPLETE:
        case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
            Complete(outcome, status, 0, *static_cast<const DWORD*>(info));
            return;
        case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
            Complete(outcome, status, 0, length);
            return;
        case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
            Complete(outcome, status, static_cast<const WINHTTP_ASYNC_RESULT*>(info)->dwError, 0);
            return;
        case WINHTTP_CALLBACK_STATUS_REQUEST_SENT:
            outcome.sentAt = SteadyClock::now();
            SetEvent(outcome.sent);
            return;
        case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
            delete holder;  // no callback of this handle follows
            return;
        default:
            return;
    }
}

// Threads that run WinHTTP calls for every connection of the process, not on the waiting thread, because
// some WinHTTPs (Wine's) do the work inside the call when data is on its way: so a call that blocks cannot
// stretch a wait. A thread is made only when none is free (one whose call blocks is busy until the call
// returns) and then kept: under Wine, a thread that had made WinHTTP calls exiting while a new one starts
// could leave the new one waiting for seconds, so none ever exits. The set is never destroyed, so that
// ending the process does not wait on its threads.
class CallThreads {
public:
    static void Post(std::function<void()> call) {
        static CallThreads* const threads = new CallThreads;
        threads->Add(std::move(call));
    }

private:
    void Add(std::function<void()> call) {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(std::move(call));
        if (free_ > 0) {
            --free_;  // that thread takes a call
            wake_.notify_one();
            return;
        }
        std::thread([this] { Serve(); }).detach();
    }

    void Serve() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return !calls_.empty(); });
            std::function<void()> call = std::move(calls_.front());
            calls_.pop_front();
            lock.unlock();
            call();
            call = nullptr;  // what the call held goes now, not when the next one comes
            lock.lock();
            ++free_;
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> calls_;
    std::size_t free_ = 0;
};

// The TCP statistics of a request's connection (TCP_INFO_v0), which WinHTTP gives from Windows 10 on and
// this toolchain declares only for builds that require it.
struct TcpStatistics {
    int state;
    ULONG mss;
    ULONG64 connectionTimeMs;
    BOOLEAN timestampsEnabled;
    ULONG rttUs;
    ULONG minRttUs;
    ULONG bytesInFlight;
    ULONG cwnd;
    ULONG sndWnd;
    ULONG rcvWnd;
    ULONG rcvBuf;
    ULONG64 bytesOut;
    ULONG64 bytesIn;
    ULONG bytesReordered;
    ULONG bytesRetrans;
    ULONG fastRetrans;
    ULONG dupAcksIn;
    ULONG timeoutEpisodes;
    UCHAR synRetrans;
};
static_assert(sizeof(TcpStatistics) == 88, "the layout of TCP_INFO_v0");
constexpr DWORD kConnectionStatistics = 141;  // WINHTTP_OPTION_CONNECTION_STATS_V0

// False where WinHTTP does not give the statistics (before Windows 10, and Wine's).
bool QueryStatistics(HINTERNET request, TcpStatistics* statistics) {
    DWORD size = sizeof *statistics;
    return WinHttpQueryOption(request, kConnectionStatistics, statistics, &size) &&
           size >= sizeof *statistics;
}

// What TLS adds to each record of at most 16 KiB: at least TLS 1.3's header, content type and tag. Counting
// the least keeps an estimate of bytes still queued from ever exceeding what is queued.
constexpr UInt64 kRecordBytes = 16 * 1024;
constexpr UInt64 kLeastRecordOverhead = 5 + 1 + 16;

constexpr DWORD kNotifications = WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES |
                                 WINHTTP_CALLBACK_FLAG_SEND_REQUEST;

// A wait of at most the time from now to `until`, in ms.
DWORD MsUntil(SteadyClock::time_point until) {
    const SteadyClock::time_point now = SteadyClock::now();
    if (now >= until)
        return 0;
    return static_cast<DWORD>(std::min<long long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count(), INFINITE - 1));
}

class WindowsTransport final : public Transport {
public:
    explicit WindowsTransport(Link& link) : link_(link), host_(Platform::Widen(link.host)) {}
    ~WindowsTransport() override { Release(); }

    void Connect(const std::optional<ProxyServer>& proxy) override;

    void CheckStreamable(const Framing& framing) const override {
        Require(framing.kind == Framing::Kind::Length && framing.length <= 0xFFFFFFFFull, "BeginSend",
                "a streamed body needs the request's Content-Length (up to 4 GiB) on this system");
    }

    // Opens the request and sends its head.
    void Open(const Client::Request& request, const Framing& framing) override;

    bool Write(const char* data, std::size_t size) override;

    // WinHTTP holds nothing back.
    bool Flush(bool) override { return !peerEnded_; }

    // Bytes of the request not yet acknowledged by the server: those sent and not acknowledged, and those
    // handed to the system and not yet sent (WinHTTP completes a write once the system has taken it).
    long long Unacknowledged() override {
        TcpStatistics now{};
        if (!QueryStatistics(request_, &now))
            return -1;
        const UInt64 handed = link_.sent - sentBeforeBody_;
        const UInt64 onWire = now.bytesOut - beforeBody_.bytesOut;
        const UInt64 tls = handed + (handed + kRecordBytes - 1) / kRecordBytes * kLeastRecordOverhead;
        return static_cast<long long>(now.bytesInFlight) +
               static_cast<long long>(tls > onWire ? tls - onWire : 0);
    }

    bool PacesWrites() const override { return false; }

    // WinHTTP tells of a connection's end only through a call's completion.
    bool EndsWithin(int ms) override {
        Sleep(static_cast<DWORD>(ms));
        return false;
    }

    std::optional<SteadyClock::time_point> RequestSentAt() override {
        if (outcome_ == nullptr || WaitForSingleObject(outcome_->sent, 0) != WAIT_OBJECT_0)
            return std::nullopt;
        return outcome_->sentAt;
    }

    // Starts reading the answer's head, and waits for it until `until`.
    void AwaitAnswer(SteadyClock::time_point until,
                     std::optional<SteadyClock::time_point> headBound) override {
        if (!receiving_)
            StartReceive(headBound);
        WaitForSingleObject(outcome_->done, MsUntil(until));
    }

    void ReceiveHead(Client::Response& response, bool bodiless, const AnswerBound& bound) override;
    std::size_t Read(char* destination, std::size_t count, const AnswerBound& bound) override;

    // A request handle closed before its body is read to the end takes its connection down with it.
    bool FinishReceive() override {
        const bool reusable = bodyDone_;
        CloseRequest();
        return reusable;
    }

    void Drop() override { CloseRequest(); }
    // Closing the handles closes the socket; nothing the system still holds is sent on.
    void Abort() override { Release(); }
    // WinHTTP ends TLS sessions itself; an orderly close and a forced one both release every handle.
    void Close(bool) override { Release(); }

private:
    // The longest the next wait may take: the time-out, and no later than `deadline`.
    DWORD Limit(std::optional<SteadyClock::time_point> deadline) const {
        if (link_.timeout == 0)
            return INFINITE;
        return deadline ? std::min<DWORD>(link_.timeout, MsUntil(*deadline)) : link_.timeout;
    }

    void ApplyTimeouts() {
        const UInt32 timeout = link_.timeout;
        const int each = timeout == 0 ? -1 : static_cast<int>(std::min<UInt32>(timeout, 0x7FFFFFFF));
        WinHttpSetTimeouts(request_, each, each, each, each);
        DWORD response = timeout == 0 ? INFINITE : timeout;
        WinHttpSetOption(request_, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &response, sizeof response);
    }

    // Starts `call` (a WinHTTP call on the request that returns FALSE when it cannot start) on a thread of
    // its own and waits for its completion within `limit` ms; with `replyBound`, also no longer than one
    // time-out after WinHTTP reports the request sent, as some WinHTTPs (Wine's) read the answer's head
    // before they report a body-less request complete. Returns the completion; throws `phase` (or the kind
    // WinHTTP's error names) on failure, Timeout when the wait runs out; with `peerEnded`, sets it instead
    // for a server that ended the connection.
    template <class Call>
    DWORD Run(Call call, DWORD limit, Kind phase, const std::string& what, bool replyBound = false,
              bool* peerEnded = nullptr) {
        Start(call);
        return Await(limit, phase, what, replyBound, peerEnded);
    }

    // Starts `call` on a thread of its own; its completion is awaited with Await.
    template <class Call>
    void Start(Call call) {
        ResetEvent(outcome_->done);
        ResetEvent(outcome_->sent);
        outcome_->status = outcome_->error = outcome_->bytes = 0;
        CallThreads::Post([call, kept = outcome_]() {
            if (!call())
                Complete(*kept, WINHTTP_CALLBACK_STATUS_REQUEST_ERROR, GetLastError(), 0);
        });
    }

    // Waits for the completion of the call started last, as Run says.
    DWORD Await(DWORD limit, Kind phase, const std::string& what, bool replyBound = false,
                bool* peerEnded = nullptr) {
        const SteadyClock::time_point started = SteadyClock::now();
        const HANDLE events[] = {outcome_->done, outcome_->sent};
        DWORD woke = WaitForMultipleObjects(replyBound ? 2 : 1, events, FALSE, limit);
        if (woke == WAIT_OBJECT_0 + 1) {
            std::optional<SteadyClock::time_point> end;
            if (limit != INFINITE)
                end = started + std::chrono::milliseconds(limit);
            const SteadyClock::time_point reply = outcome_->sentAt + std::chrono::milliseconds(link_.timeout);
            if (link_.timeout != 0 && (!end || reply < *end))
                end = reply;
            woke = WaitForSingleObject(outcome_->done, end ? MsUntil(*end) : INFINITE);
        }
        if (woke != WAIT_OBJECT_0)
            Fail(Kind::Timeout, what + ": no answer within " + std::to_string(limit) + " ms");
        if (outcome_->status == WINHTTP_CALLBACK_STATUS_REQUEST_ERROR && peerEnded != nullptr &&
            EndedByPeer(outcome_->error)) {
            *peerEnded = true;
            return outcome_->status;
        }
        if (outcome_->status == WINHTTP_CALLBACK_STATUS_REQUEST_ERROR)
            Fail(KindOf(outcome_->error, phase), what + ": " + WinHttpError(outcome_->error));
        return outcome_->status;
    }

    // Opens the request with its fields, and returns them.
    std::string OpenRequest(const Client::Request& request);
    // Starts reading the answer's head, WinHTTP's own waits lasting until the head's latest bound where that
    // is longer than the time-out.
    void StartReceive(std::optional<SteadyClock::time_point> headBound);
    std::string QueryText(DWORD what);
    void CloseRequest();
    void Release();

    Link& link_;
    std::wstring host_;
    bool counted_ = false;  // the connection and its handshake are counted once
    HINTERNET session_ = nullptr;
    HINTERNET connection_ = nullptr;
    HINTERNET request_ = nullptr;
    SharedOutcome outcome_;  // of `request_`
    // The connection's statistics and the HTTP bytes counted when the request's head had gone: what was
    // handed over since then and not yet sent counts as not arrived.
    TcpStatistics beforeBody_{};
    UInt64 sentBeforeBody_ = 0;
    // The server closed or reset the connection while the request was being written.
    bool peerEnded_ = false;
    // A flush after the whole body started the wait for the answer's head (ReceiveHead awaits it).
    bool receiving_ = false;
    bool bodyDone_ = false;
};

void WindowsTransport::Connect(const std::optional<ProxyServer>& proxy) {
    // The proxy is the one chosen for this host, bypass already applied; no user agent is named.
    const std::wstring proxyName = proxy ? Platform::Widen(AuthorityOf(*proxy)) : L"";
    session_ = WinHttpOpen(nullptr, proxy ? WINHTTP_ACCESS_TYPE_NAMED_PROXY : WINHTTP_ACCESS_TYPE_NO_PROXY,
                           proxy ? proxyName.c_str() : WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS,
                           WINHTTP_FLAG_ASYNC);
    if (session_ == nullptr)
        Fail(Kind::Connect, "cannot open a WinHTTP session: " + WinHttpError(GetLastError()));
    DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
    if (!WinHttpSetOption(session_, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) {
        protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;  // systems that do not know TLS 1.3
        WinHttpSetOption(session_, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
    }
    connection_ = WinHttpConnect(session_, host_.c_str(), link_.port, 0);
    if (connection_ == nullptr)
        Fail(Kind::Connect,
             "cannot open a connection to " + link_.host + ": " + WinHttpError(GetLastError()));
}

std::string WindowsTransport::OpenRequest(const Client::Request& message) {
    const MessageHeader::Method::Id method = message.GetMethod();
    const std::wstring target = Platform::Widen(MessageAccess::Target(message));
    const wchar_t* version =
        message.GetVersion() == MessageHeader::HTTPVersion::Version11 ? L"HTTP/1.1" : L"HTTP/1.0";
    request_ =
        WinHttpOpenRequest(connection_, Platform::Widen(MethodName(method)).c_str(), target.c_str(), version,
                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE);
    if (request_ == nullptr)
        Fail(Kind::Send, "cannot open a request to " + link_.host + ": " + WinHttpError(GetLastError()));
    outcome_ = std::make_shared<Outcome>();
    // The request's callbacks hold the outcome through the context until the handle closes.
    if (WinHttpSetStatusCallback(request_, OnStatus, kNotifications, 0) == WINHTTP_INVALID_STATUS_CALLBACK)
        Fail(Kind::Send, "cannot watch the request to " + link_.host + ": " + WinHttpError(GetLastError()));
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(new SharedOutcome(outcome_));
    if (!WinHttpSetOption(request_, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context)) {
        delete reinterpret_cast<SharedOutcome*>(context);
        Fail(Kind::Send, "cannot watch the request to " + link_.host + ": " + WinHttpError(GetLastError()));
    }
    // Redirects are answers like any other; cookies are not the connection's business.
    DWORD disabled = WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES;
    WinHttpSetOption(request_, WINHTTP_OPTION_DISABLE_FEATURE, &disabled, sizeof disabled);
    ApplyTimeouts();

    // WinHTTP writes the length the request announces (a streamed body's declared one) after Host itself.
    const std::string fields = MessageAccess::FieldLines(message);
    if (!fields.empty() && !WinHttpAddRequestHeaders(request_, Units(fields).c_str(), static_cast<DWORD>(-1L),
                                                     WINHTTP_ADDREQ_FLAG_ADD))
        Fail(Kind::Send, "cannot add the header fields of the request: " + WinHttpError(GetLastError()));
    return fields;
}

void WindowsTransport::Open(const Client::Request& message, const Framing& framing) {
    peerEnded_ = false;
    receiving_ = false;
    const std::string fields = OpenRequest(message);
    const DWORD total = framing.kind == Framing::Kind::Length ? static_cast<DWORD>(framing.length) : 0;
    // Connecting (to the proxy and through it), the TLS handshake and the head: each of those a wait of
    // at most the time-out inside WinHTTP.
    HINTERNET handle = request_;
    Run(
        [handle, total] {
            return WinHttpSendRequest(handle, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                                      total, 0);
        },
        link_.timeout == 0 ? INFINITE : 3 * link_.timeout, Kind::Send, "sending the request to " + link_.host,
        /*replyBound=*/total == 0);
    if (!counted_) {
        CountConnection();
        CountHandshake();
        counted_ = true;
    }
    CountBytesSent(fields.size());
    link_.sent += fields.size();
    QueryStatistics(request_, &beforeBody_);
    sentBeforeBody_ = link_.sent;
}

bool WindowsTransport::Write(const char* data, std::size_t length) {
    const std::string to = "sending the request to " + link_.host;
    HINTERNET handle = request_;
    for (std::size_t written = 0; written < length && !peerEnded_;) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(kWriteChunk, length - written));
        // WinHTTP may still read the piece after a wait for it ran out and the caller's buffer is gone: it
        // writes from the outcome's buffer, which lives until WinHTTP closes the request handle.
        std::memcpy(outcome_->buffer.data(), data + written, piece);
        const char* from = outcome_->buffer.data();
        Run([handle, from, piece] { return WinHttpWriteData(handle, from, piece, nullptr); },
            Limit(std::nullopt), Kind::Send, to, false, &peerEnded_);
        if (peerEnded_)
            break;  // the rest of the request is dropped; the answer is read from what the server sent
        if (outcome_->bytes == 0)
            Fail(Kind::Send, to + ": the connection took no more bytes");
        written += outcome_->bytes;
        link_.sent += outcome_->bytes;
        CountBytesSent(outcome_->bytes);
    }
    return !peerEnded_;
}

void WindowsTransport::StartReceive(std::optional<SteadyClock::time_point> headBound) {
    if (headBound) {
        DWORD limit = std::max<DWORD>(MsUntil(*headBound), link_.timeout);
        WinHttpSetOption(request_, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &limit, sizeof limit);
        WinHttpSetOption(request_, WINHTTP_OPTION_RECEIVE_TIMEOUT, &limit, sizeof limit);
    }
    HINTERNET handle = request_;
    Start([handle] { return WinHttpReceiveResponse(handle, nullptr); });
    receiving_ = true;
}

std::string WindowsTransport::QueryText(DWORD what) {
    DWORD bytes = 0;
    WinHttpQueryHeaders(request_, what, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &bytes,
                        WINHTTP_NO_HEADER_INDEX);
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (!WinHttpQueryHeaders(request_, what, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &bytes,
                             WINHTTP_NO_HEADER_INDEX))
        return std::string();
    text.resize(bytes / sizeof(wchar_t));
    return Bytes(text);
}

// Interim answers are WinHTTP's to skip.
void WindowsTransport::ReceiveHead(Client::Response& response, bool bodiless, const AnswerBound& bound) {
    bodyDone_ = bodiless;
    const std::string from = "reading the response header from " + link_.host;
    // The arrival may lie ahead (an estimate of what the system still sends): the head has until its bound,
    // also where that is longer than the time-out. A flush may have started the wait already.
    if (!receiving_)
        StartReceive(bound.until);
    Await(bound.until ? MsUntil(*bound.until) : INFINITE, Kind::Receive, from);
    receiving_ = false;
    ApplyTimeouts();

    DWORD status = 0;
    DWORD size = sizeof status;
    if (!WinHttpQueryHeaders(request_, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        Fail(Kind::Protocol, from + ": no status code");
    MessageAccess::Reset(response, status, QueryText(WINHTTP_QUERY_STATUS_TEXT));
    const std::string raw = QueryText(WINHTTP_QUERY_RAW_HEADERS_CRLF);
    link_.received += raw.size();
    // The status line, then one field per line, then an empty line.
    std::size_t at = raw.find("\r\n");
    while (at != std::string::npos) {
        const std::size_t start = at + 2;
        at = raw.find("\r\n", start);
        const std::string line = raw.substr(start, at == std::string::npos ? std::string::npos : at - start);
        const std::size_t colon = line.find(':');
        if (line.empty() || colon == std::string::npos)
            continue;
        const std::size_t value = line.find_first_not_of(" \t", colon + 1);
        std::string text = value == std::string::npos ? std::string() : line.substr(value);
        text.erase(text.find_last_not_of(" \t") + 1);
        MessageAccess::AddReceived(MessageAccess::ReceivedFields(response), line.substr(0, colon), text);
    }
}

// Only what has arrived is read, so that no read waits for more than one piece of the body. The buffer is
// the outcome's, which a read abandoned on a time-out keeps alive while it may still write.
std::size_t WindowsTransport::Read(char* destination, std::size_t count, const AnswerBound& bound) {
    if (bodyDone_)
        return 0;
    HINTERNET handle = request_;
    const std::string from = "reading the response body from " + link_.host;
    Run([handle] { return WinHttpQueryDataAvailable(handle, nullptr); }, Limit(bound.until), Kind::Receive,
        from);
    const DWORD available =
        static_cast<DWORD>(std::min<std::size_t>({outcome_->bytes, outcome_->buffer.size(), count}));
    if (available == 0) {
        bodyDone_ = true;
        return 0;
    }
    char* into = outcome_->buffer.data();
    Run([handle, into, available] { return WinHttpReadData(handle, into, available, nullptr); },
        Limit(bound.until), Kind::Receive, from);
    const DWORD arrived = static_cast<DWORD>(std::min<std::size_t>(outcome_->bytes, count));
    if (arrived == 0) {
        bodyDone_ = true;
        return 0;
    }
    std::memcpy(destination, outcome_->buffer.data(), arrived);
    link_.received += arrived;
    return arrived;
}

void WindowsTransport::CloseRequest() {
    if (request_ == nullptr)
        return;
    // A call still in progress keeps the handle alive inside WinHTTP until it returns; its late reports go to
    // an outcome no one reads any more.
    WinHttpCloseHandle(request_);
    request_ = nullptr;
    outcome_.reset();
}

void WindowsTransport::Release() {
    CloseRequest();
    if (connection_ != nullptr)
        WinHttpCloseHandle(connection_);
    if (session_ != nullptr)
        WinHttpCloseHandle(session_);
    connection_ = nullptr;
    session_ = nullptr;
}

}  // namespace

std::unique_ptr<Transport> MakeTransport(Link& link) {
    return std::make_unique<WindowsTransport>(link);
}

}  // namespace HTTP::Detail
