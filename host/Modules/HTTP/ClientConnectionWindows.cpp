// HTTP::Client::ClientConnection over WinHTTP in its asynchronous mode. Every wait is the connection's own:
// it starts one WinHTTP call and waits on the event the status callback sets, for at most the time-out
// and never past the answer's deadlines. Each call runs on a thread of the process's call threads, not
// on the waiting one, because some WinHTTPs (Wine's) do the work inside the call when data is on its way;
// so a call that blocks cannot stretch a wait either. A wait that runs out abandons the request: its
// handle is closed, and what WinHTTP still reports for it goes nowhere.
//
// WinHTTP makes the TCP connection (through the proxy the connection's choice gives) and the verified TLS
// handshake when the first request goes out, so on Windows a refused connection or a certificate that
// does not verify is thrown by Send, before any byte of the request reaches the server.
#include <windows.h>
// After windows.h.
#include <winerror.h>
#include <winhttp.h>

#include <algorithm>
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
#include "HTTP/Client/ClientConnection.hpp"
#include "HTTPException.hpp"
#include "MessageAccess.hpp"
#include "WindowsText.hpp"

namespace HTTP {

namespace {

using Kind = Exception::Kind;

constexpr DWORD kWriteChunk = 64 * 1024;
// The longest a Flush after the whole body waits for it to reach the server, so that its caller can ask
// for a Cancel in between.
constexpr ULONGLONG kPaceSlice = 1000;
// The answer's status line and fields must arrive within one time-out after the request arrived, the
// whole answer within this many.
constexpr ULONGLONG kWholeAnswerTimeouts = 4;

using Detail::Fail;
using State = Detail::ConnectionState;

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

std::string WinHttpError(DWORD error) {
    switch (error) {
        case ERROR_WINHTTP_TIMEOUT:
            return "WinHTTP time-out (12002)";
        case WSAETIMEDOUT:
            return "time-out of a socket wait (10060)";
        case ERROR_WINHTTP_NAME_NOT_RESOLVED:
            return "the name does not resolve (12007)";
        case ERROR_WINHTTP_CANNOT_CONNECT:
            return "cannot connect (12029)";
        case ERROR_WINHTTP_CONNECTION_ERROR:
            return "the connection broke (12030)";
        case ERROR_WINHTTP_SECURE_FAILURE:
            return "the certificate did not verify (12175)";
        case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
            return "the server's answer is not valid HTTP (12152)";
        default:
            return "WinHTTP error " + std::to_string(error);
    }
}

// Whether a failed write met a server that closed or reset the connection (and may have answered).
bool PeerEnded(DWORD error) {
    return error == WSAECONNRESET || error == WSAECONNABORTED || error == ERROR_WINHTTP_CONNECTION_ERROR;
}

// The kind of a WinHTTP failure; `phase` for those that only say the connection broke.
Kind KindOf(DWORD error, Kind phase) {
    switch (error) {
        case ERROR_WINHTTP_TIMEOUT:
        case WSAETIMEDOUT:  // what Wine's WinHTTP reports when a socket wait runs out
            return Kind::Timeout;
        case ERROR_WINHTTP_NAME_NOT_RESOLVED:
            return Kind::Resolve;
        case ERROR_WINHTTP_CANNOT_CONNECT:
            return Kind::Connect;
        case ERROR_WINHTTP_SECURE_FAILURE:
        case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        case ERROR_WINHTTP_SECURE_INVALID_CERT:
        case ERROR_WINHTTP_SECURE_INVALID_CA:
        case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
        case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
        case ERROR_WINHTTP_SECURE_CERT_REVOKED:
        case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
        case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
            return Kind::Tls;
        case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
        case ERROR_WINHTTP_HEADER_SIZE_OVERFLOW:
        case ERROR_WINHTTP_INVALID_HEADER:
            return Kind::Protocol;
        default:
            return phase;
    }
}

// What WinHTTP reported for the call in progress. The status callback (or the thread that started the
// call, when the call itself failed) writes it, then sets `done`; the connection reads it after its wait on
// `done`. The connection, the thread of a call in progress and the request handle's callbacks (until
// WinHTTP reports the handle closing) each hold it.
struct Outcome {
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE sent = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // the request went out whole
    ULONGLONG sentAt = 0;                                       // when, set before `sent`
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
            Complete(outcome, status, 0, *static_cast<const DWORD*>(info));
            return;
        case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
            Complete(outcome, status, 0, length);
            return;
        case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
            Complete(outcome, status, 0, *static_cast<const DWORD*>(info));
            return;
        case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
            Complete(outcome, status, static_cast<const WINHTTP_ASYNC_RESULT*>(info)->dwError, 0);
            return;
        case WINHTTP_CALLBACK_STATUS_REQUEST_SENT:
            outcome.sentAt = GetTickCount64();
            SetEvent(outcome.sent);
            return;
        case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
            delete holder;  // no callback of this handle follows
            return;
        default:
            return;
    }
}

// Threads that run WinHTTP calls for every connection of the process. A thread is made only when none is
// free (one whose call blocks is busy until the call returns) and then kept: under Wine, a thread that
// had made WinHTTP calls exiting while a new one starts could leave the new one waiting for seconds, so
// none ever exits. The set is never destroyed, so that ending the process does not wait on its threads.
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

// The TCP statistics of a request's connection; false where WinHTTP does not give them (before Windows 10,
// and Wine's).
bool QueryStatistics(HINTERNET request, TcpStatistics* statistics) {
    DWORD size = sizeof *statistics;
    return WinHttpQueryOption(request, kConnectionStatistics, statistics, &size) &&
           size >= sizeof *statistics;
}

// What TLS adds to each record of at most 16 KiB: at least TLS 1.3's header, content type and tag. Counting
// the least keeps an estimate of bytes still queued from ever exceeding what is queued.
constexpr UInt64 kRecordBytes = 16 * 1024;
constexpr UInt64 kLeastRecordOverhead = 5 + 1 + 16;

// Bytes of a request not yet acknowledged by the server: those sent and not acknowledged, and those
// handed to the system and not yet sent (WinHTTP completes a write once the system has taken it). `handed`
// are the request's HTTP bytes handed over since `before` was taken. -1 where WinHTTP does not say.
long long Unacknowledged(HINTERNET request, const TcpStatistics& before, UInt64 handed) {
    TcpStatistics now{};
    if (!QueryStatistics(request, &now))
        return -1;
    const UInt64 onWire = now.bytesOut - before.bytesOut;
    const UInt64 tls = handed + (handed + kRecordBytes - 1) / kRecordBytes * kLeastRecordOverhead;
    return static_cast<long long>(now.bytesInFlight) +
           static_cast<long long>(tls > onWire ? tls - onWire : 0);
}

constexpr DWORD kNotifications = WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES |
                                 WINHTTP_CALLBACK_FLAG_SEND_REQUEST;

}  // namespace

namespace Client {

struct ClientConnection::Impl {
    Detail::ConnectionPolicy policy;
    // The connection's statistics and the HTTP bytes counted when the request's head had gone: what was
    // handed over since then and not yet sent counts as not arrived.
    TcpStatistics beforeBody{};
    UInt64 sentBeforeBody = 0;
    // The body went through BeginSend (the caller's pieces), not Send.
    bool bodyStreamed = false;
    // The server closed or reset the connection while the request was being written: the rest of the
    // request is dropped, and the answer it may have sent before is read as the answer.
    bool peerEnded = false;
    // When the last write of a streamed body completed (0: not yet), and, where the statistics are had,
    // when a Flush last saw fewer of its bytes unacknowledged, and how many.
    ULONGLONG bodyWrittenAt = 0;
    ULONGLONG bodyProgressAt = 0;
    long long bodyLeft = -1;
    // A Flush after the whole body started the wait for the answer's head (BeginReceive awaits it).
    bool receiving = false;
    std::wstring host;
    std::string hostText;
    INTERNET_PORT port = 0;
    UInt32 timeout = Detail::DefaultTimeout;
    State state = State::Fresh;
    bool counted = false;  // the connection and its handshake are counted once

    HINTERNET session = nullptr;
    HINTERNET connection = nullptr;
    HINTERNET request = nullptr;
    SharedOutcome outcome;  // of `request`

    ULONGLONG sentAt = 0;     // when the last request was sent completely
    ULONGLONG arrivedAt = 0;  // when it counts as arrived; the answer's bounds count from here
    bool bodyDone = false;
    UInt64 bodyRead = 0;
    std::unique_ptr<Encoding::BodyIBinaryChannel> body;
    std::unique_ptr<Encoding::BodyOBinaryChannel> requestBody;
    Detail::StreamedBody streamed;
    MessageHeader::Method::Id method = MessageHeader::Method::Get;  // of the request being sent
    UInt64 sentCount = 0;
    UInt64 receivedCount = 0;

    ~Impl() { Release(); }

    [[noreturn]] void Broke(Kind kind, const std::string& message) {
        state = State::Broken;
        CloseRequest();
        Fail(kind, message);
    }

    // The longest the next wait may take: the time-out, and no later than `deadline` (0: none).
    DWORD Limit(ULONGLONG deadline) const {
        if (timeout == 0)
            return INFINITE;
        DWORD limit = timeout;
        if (deadline != 0) {
            const ULONGLONG now = GetTickCount64();
            limit = now >= deadline ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(limit, deadline - now));
        }
        return limit;
    }

    void ApplyTimeouts() {
        const int each = timeout == 0 ? -1 : static_cast<int>(std::min<UInt32>(timeout, 0x7FFFFFFF));
        WinHttpSetTimeouts(request, each, each, each, each);
        DWORD response = timeout == 0 ? INFINITE : timeout;
        WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &response, sizeof response);
    }

    // Starts `call` (a WinHTTP call on `request` that returns FALSE when it cannot start) on a thread of its
    // own and waits for its completion within `limit` ms; with `replyBound`, also no longer than one time-out
    // after WinHTTP reports the request sent, as some WinHTTPs (Wine's) read the answer's head before they
    // report a body-less request complete. Returns the completion; throws `phase` (or the kind WinHTTP's
    // error names) on failure, Timeout when the wait runs out.
    template <class Call>
    DWORD Run(Call call, DWORD limit, Kind phase, const std::string& what, bool replyBound = false,
              bool* peerEnded = nullptr) {
        Start(call);
        return Await(limit, phase, what, replyBound, peerEnded);
    }

    // Starts `call` on a thread of its own; its completion is awaited with Await.
    template <class Call>
    void Start(Call call) {
        ResetEvent(outcome->done);
        ResetEvent(outcome->sent);
        outcome->status = outcome->error = outcome->bytes = 0;
        CallThreads::Post([call, kept = outcome]() {
            if (!call())
                Complete(*kept, WINHTTP_CALLBACK_STATUS_REQUEST_ERROR, GetLastError(), 0);
        });
    }

    // Waits for the completion of the call started last, as Run says.
    DWORD Await(DWORD limit, Kind phase, const std::string& what, bool replyBound = false,
                bool* peerEnded = nullptr) {
        const ULONGLONG started = GetTickCount64();
        const HANDLE events[] = {outcome->done, outcome->sent};
        DWORD woke = WaitForMultipleObjects(replyBound ? 2 : 1, events, FALSE, limit);
        if (woke == WAIT_OBJECT_0 + 1) {
            const ULONGLONG end = std::min<ULONGLONG>(limit == INFINITE ? ~0ull : started + limit,
                                                      timeout == 0 ? ~0ull : outcome->sentAt + timeout);
            const ULONGLONG now = GetTickCount64();
            woke = WaitForSingleObject(outcome->done, end == ~0ull ? INFINITE
                                                      : now >= end ? 0
                                                                   : DWORD(end - now));
        }
        if (woke != WAIT_OBJECT_0)
            Broke(Kind::Timeout, what + ": no answer within " + std::to_string(limit) + " ms");
        if (outcome->status == WINHTTP_CALLBACK_STATUS_REQUEST_ERROR && peerEnded != nullptr &&
            PeerEnded(outcome->error)) {
            *peerEnded = true;
            return outcome->status;
        }
        if (outcome->status == WINHTTP_CALLBACK_STATUS_REQUEST_ERROR)
            Broke(KindOf(outcome->error, phase), what + ": " + WinHttpError(outcome->error));
        return outcome->status;
    }

    void OpenRequest(const Request& request, std::string* head);
    // Opens the request and sends its head, announcing `total` body bytes.
    void StartRequest(const Request& request, DWORD total);
    void WriteAll(const char* data, USize length);
    // Where the statistics cannot be had: how long after the last write the system may still be sending
    // the request.
    ULONGLONG DrainAllowance() const;
    // The wait of a Flush once the whole body was written; see FlushBody.
    void AwaitTheBody();
    // The request's bytes the server has not acknowledged; -1 where the system does not say.
    long long Unacknowledged() const {
        return HTTP::Unacknowledged(request, beforeBody, sentCount - sentBeforeBody);
    }
    std::string NotTaken(long long left) const {
        return "the last " + std::to_string(left) + " bytes of the request to " + hostText +
               " were not taken for " + std::to_string(timeout) + " ms";
    }
    void AwaitAcknowledged(ULONGLONG end);
    void AwaitHead(ULONGLONG end);
    // Starts reading the answer's head, WinHTTP's own waits bounded by the head's latest bound.
    void StartReceive();
    // Lets WinHTTP's own waits for the answer last `limit` ms, where the connection's waits may be longer
    // than the time-out.
    void AllowReceiveWaits(DWORD limit) {
        WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &limit, sizeof limit);
        WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_TIMEOUT, &limit, sizeof limit);
    }
    void Sent();
    ULONGLONG AwaitArrival();
    void CloseRequest();
    void Release();
};

void ClientConnection::Impl::OpenRequest(const Request& message, std::string* head) {
    const MessageHeader::Method::Id method = message.GetMethod();
    const std::wstring target = Platform::Widen(Detail::MessageAccess::Target(message));
    const wchar_t* version =
        message.GetVersion() == MessageHeader::HTTPVersion::Version11 ? L"HTTP/1.1" : L"HTTP/1.0";
    request =
        WinHttpOpenRequest(connection, Platform::Widen(Detail::MethodName(method)).c_str(), target.c_str(),
                           version, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE);
    if (request == nullptr)
        Broke(Kind::Send, "cannot open a request to " + hostText + ": " + WinHttpError(GetLastError()));
    outcome = std::make_shared<Outcome>();
    // The request's callbacks hold the outcome through the context until the handle closes.
    if (WinHttpSetStatusCallback(request, OnStatus, kNotifications, 0) == WINHTTP_INVALID_STATUS_CALLBACK)
        Broke(Kind::Send, "cannot watch the request to " + hostText + ": " + WinHttpError(GetLastError()));
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(new SharedOutcome(outcome));
    if (!WinHttpSetOption(request, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context)) {
        delete reinterpret_cast<SharedOutcome*>(context);
        Broke(Kind::Send, "cannot watch the request to " + hostText + ": " + WinHttpError(GetLastError()));
    }
    // Redirects are answers like any other; cookies are not the connection's business.
    DWORD disabled = WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES;
    WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &disabled, sizeof disabled);
    ApplyTimeouts();

    // WinHTTP writes the length the request announces (a streamed body's declared one) after Host itself.
    std::string fields;
    for (const auto& field : Detail::MessageAccess::Fields(message.GetRequestHeaderFieldCollection())) {
        if (_stricmp(field.first.c_str(), "Content-Length") != 0)
            fields.append(field.first).append(": ").append(field.second).append("\r\n");
    }
    if (!fields.empty() && !WinHttpAddRequestHeaders(request, Units(fields).c_str(), static_cast<DWORD>(-1L),
                                                     WINHTTP_ADDREQ_FLAG_ADD))
        Broke(Kind::Send, "cannot add the header fields of the request: " + WinHttpError(GetLastError()));
    *head = fields;
}

void ClientConnection::Impl::StartRequest(const Request& message, DWORD total) {
    peerEnded = false;
    receiving = false;
    bodyWrittenAt = bodyProgressAt = 0;
    bodyLeft = -1;
    std::string fields;
    OpenRequest(message, &fields);
    // Connecting (to the proxy and through it), the TLS handshake and the head: each of those a wait of
    // at most the time-out inside WinHTTP.
    HINTERNET handle = request;
    Run(
        [handle, total] {
            return WinHttpSendRequest(handle, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                                      total, 0);
        },
        timeout == 0 ? INFINITE : 3 * timeout, Kind::Send, "sending the request to " + hostText,
        /*replyBound=*/total == 0);
    if (!counted) {
        Detail::CountConnection();
        Detail::CountHandshake();
        counted = true;
    }
    // WinHTTP writes the request line, Host and Content-Length itself and does not say how many bytes they
    // took: the counts hold the fields given here and the body.
    Detail::CountBytesSent(fields.size());
    sentCount += fields.size();
    QueryStatistics(request, &beforeBody);
    sentBeforeBody = sentCount;
    method = message.GetMethod();
    state = State::Sending;
}

void ClientConnection::Impl::WriteAll(const char* data, USize length) {
    const std::string to = "sending the request to " + hostText;
    HINTERNET handle = request;
    for (DWORD written = 0; written < length && !peerEnded;) {
        const DWORD piece = std::min<DWORD>(kWriteChunk, length - written);
        // WinHTTP may still read the piece after a wait for it ran out and the caller's buffer is gone: it
        // writes from the outcome's buffer, which lives until WinHTTP closes the request handle.
        std::memcpy(outcome->buffer.data(), data + written, piece);
        const char* from = outcome->buffer.data();
        Run([handle, from, piece] { return WinHttpWriteData(handle, from, piece, nullptr); }, Limit(0),
            Kind::Send, to, false, &peerEnded);
        if (peerEnded)
            return;  // the rest of the request is dropped; BeginReceive reads what the server answered
        if (outcome->bytes == 0)
            Broke(Kind::Send, to + ": the connection took no more bytes");
        written += outcome->bytes;
        sentCount += outcome->bytes;
        Detail::CountBytesSent(outcome->bytes);
    }
}

// A streamed body's writes complete once the system has taken them, and the system may hold seconds of a
// slow link's bytes; without its statistics nothing tells when they have gone. An estimate from the rate
// the last pieces were taken at fell short on a shaped link under Wine, and the answer's head then timed
// out while the body was still on its way; so such a body counts as arriving up to the answer's whole bound
// after the last write, and a server that stays silent is found then.
ULONGLONG ClientConnection::Impl::DrainAllowance() const {
    if (!bodyStreamed || streamed.written == 0 || timeout == 0)
        return 0;
    return 4ull * timeout;
}

// Once the whole streamed body was written, the system may still hold most of it: a Flush then waits, at
// most kPaceSlice, while the system says bytes of it are unacknowledged; where it does not say, for the
// answer's head, until the body counts as arrived (DrainAllowance). So its caller, flushing until a Flush
// returns at once, can act between flushes, and the answer's wait that follows holds it one time-out at
// most. A body the server stopped taking for the time-out is a Timeout.
void ClientConnection::Impl::AwaitTheBody() {
    if (!bodyStreamed || peerEnded || bodyWrittenAt == 0 || state != State::Sending)
        return;
    const ULONGLONG end = GetTickCount64() + kPaceSlice;
    TcpStatistics statistics{};
    if (QueryStatistics(request, &statistics)) {
        AwaitAcknowledged(end);
        return;
    }
    AwaitHead(std::min(end, bodyWrittenAt + DrainAllowance()));
}

void ClientConnection::Impl::AwaitAcknowledged(ULONGLONG end) {
    for (;;) {
        const long long left = Unacknowledged();
        const ULONGLONG now = GetTickCount64();
        if (left <= 0)
            return;  // all acknowledged, or the system does not say
        if (bodyLeft < 0 || left < bodyLeft) {
            bodyLeft = left;
            bodyProgressAt = now;
        }
        if (timeout != 0 && now - bodyProgressAt >= timeout)
            Broke(Kind::Timeout, NotTaken(left));
        if (now >= end)
            return;
        Sleep(static_cast<DWORD>(std::min<ULONGLONG>(50, end - now)));
    }
}

void ClientConnection::Impl::AwaitHead(ULONGLONG end) {
    if (!receiving)
        StartReceive();
    const ULONGLONG now = GetTickCount64();
    if (now < end)
        WaitForSingleObject(outcome->done, static_cast<DWORD>(end - now));
}

void ClientConnection::Impl::StartReceive() {
    if (timeout != 0) {
        // The head may come up to one time-out after the body counts as arrived.
        const ULONGLONG bound = bodyWrittenAt + DrainAllowance() + timeout;
        const ULONGLONG now = GetTickCount64();
        AllowReceiveWaits(static_cast<DWORD>(std::max<ULONGLONG>(bound > now ? bound - now : 0, timeout)));
    }
    HINTERNET handle = request;
    Start([handle] { return WinHttpReceiveResponse(handle, nullptr); });
    receiving = true;
}

void ClientConnection::Impl::Sent() {
    Detail::CountRequest();
    const bool bodyless = streamed.written == 0;
    sentAt = bodyless && WaitForSingleObject(outcome->sent, 0) == WAIT_OBJECT_0 ? outcome->sentAt
             : bodyWrittenAt != 0                                               ? bodyWrittenAt
                                                                                : GetTickCount64();
    bodyDone = method == MessageHeader::Method::Head;
    bodyRead = 0;
    state = State::Sent;
}

// Where the system tells how much of the request the server has not acknowledged, the wait goes on while
// that goes down (see Detail::AwaitWhileLeaving); elsewhere the request counts as arrived when it was sent,
// and a streamed body as arriving after what the system may still hold of it has gone (DrainAllowance).
ULONGLONG ClientConnection::Impl::AwaitArrival() {
    const ULONGLONG start = GetTickCount64();
    if (peerEnded)
        return start;  // nothing more of the request goes: the answer is there or never comes
    TcpStatistics statistics{};
    if (!QueryStatistics(request, &statistics))
        return sentAt + DrainAllowance();
    std::optional<UInt64> arrived;
    try {
        arrived = Detail::AwaitWhileLeaving(
            timeout, [this] { return Unacknowledged(); },
            [](int wait) {
                Sleep(static_cast<DWORD>(wait));
                return false;
            },
            [this](long long left) { return NotTaken(left); });
    } catch (const Exception&) {
        state = State::Broken;
        CloseRequest();
        throw;
    }
    // Nothing unacknowledged at the call: it arrived when sent, or when the flushes saw the last of it go.
    return arrived ? start + *arrived : std::max(sentAt, bodyProgressAt);
}

void ClientConnection::Impl::CloseRequest() {
    if (request == nullptr)
        return;
    // A call still in progress keeps the handle alive inside WinHTTP until it returns; its late reports go to
    // an outcome no one reads any more.
    WinHttpCloseHandle(request);
    request = nullptr;
    outcome.reset();
}

void ClientConnection::Impl::Release() {
    CloseRequest();
    if (connection != nullptr)
        WinHttpCloseHandle(connection);
    if (session != nullptr)
        WinHttpCloseHandle(session);
    connection = nullptr;
    session = nullptr;
}

ClientConnection::ClientConnection(const IO::URI::URI& uri) : impl_(nullptr) {
    if (!uri.IsValid() || uri.GetScheme() != GS::UniString("https"))
        Fail(Kind::Usage, "HTTP::Client::ClientConnection: the URI is not a valid https URI");
    auto impl = std::make_unique<Impl>();
    const auto host = uri.GetHost().ToCStr(0, MaxUSize, CC_UTF8);
    impl->hostText.assign(host.Get(), host.GetLength());
    impl->host = Platform::Widen(impl->hostText);
    impl->port = uri.GetPort();
    impl->body.reset(new Encoding::BodyIBinaryChannel(*this));
    impl->requestBody.reset(new Encoding::BodyOBinaryChannel(*this));
    impl_ = impl.release();
}

ClientConnection::~ClientConnection() {
    delete impl_;
}

void ClientConnection::SetTimeout(UInt32 milliseconds) {
    impl_->timeout = milliseconds;
}

UInt32 ClientConnection::GetTimeout() const {
    return impl_->timeout;
}

Detail::ConnectionPolicy& ClientConnection::Policy() const {
    return impl_->policy;
}

void ClientConnection::Connect() {
    Detail::Require(impl_->state == State::Fresh, "Connect", "the connection was connected before");
    std::optional<Detail::ProxyServer> proxy;
    try {
        proxy = Detail::ChooseProxy(impl_->policy.proxy, impl_->hostText, impl_->port);
    } catch (const Exception&) {
        impl_->state = State::Broken;
        throw;
    }
    // The proxy is the one chosen for this host, bypass already applied; no user agent is named.
    const std::wstring proxyName = proxy ? Platform::Widen(Detail::AuthorityOf(*proxy)) : L"";
    impl_->session = WinHttpOpen(
        nullptr, proxy ? WINHTTP_ACCESS_TYPE_NAMED_PROXY : WINHTTP_ACCESS_TYPE_NO_PROXY,
        proxy ? proxyName.c_str() : WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
    if (impl_->session == nullptr)
        impl_->Broke(Kind::Connect, "cannot open a WinHTTP session: " + WinHttpError(GetLastError()));
    DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
    if (!WinHttpSetOption(impl_->session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) {
        protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;  // systems that do not know TLS 1.3
        WinHttpSetOption(impl_->session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
    }
    impl_->connection = WinHttpConnect(impl_->session, impl_->host.c_str(), impl_->port, 0);
    if (impl_->connection == nullptr)
        impl_->Broke(Kind::Connect,
                     "cannot open a connection to " + impl_->hostText + ": " + WinHttpError(GetLastError()));
    impl_->state = State::Ready;
}

void ClientConnection::FinishSend() {
    Impl& c = *impl_;
    if (c.state != State::Sending) {
        Detail::CheckFinishSend(c.state);
        return;
    }
    c.streamed.CheckEnd(c.state);
    c.streamed.ended = true;
    c.Sent();
}

void ClientConnection::Send(const Request& request, const char* body, USize length) {
    Detail::CheckSend(impl_->state, request, body, length);
    Impl& c = *impl_;
    c.streamed = Detail::StreamedBody{length, 0, false};
    c.bodyStreamed = false;
    c.StartRequest(request, length > 0 || Detail::CarriesBody(request.GetMethod()) ? length : 0);
    c.WriteAll(body, length);
    c.streamed.written = length;
    c.Sent();
}

// WinHTTP sends the head at once. A body without a declared length would need WinHTTP's chunked mode, in
// which the caller writes the chunk framing itself; nothing needs it, so this client asks for the length.
Encoding::BodyOBinaryChannel& ClientConnection::BeginSend(Request& request) {
    Impl& c = *impl_;
    const std::optional<UInt64> declared = Detail::CheckBeginSend(c.state, request);
    Detail::Require(declared.has_value() && *declared <= 0xFFFFFFFFull, "BeginSend",
                    "a streamed body needs the request's Content-Length (up to 4 GiB) on this system");
    c.streamed = Detail::StreamedBody{declared, 0, false};
    c.bodyStreamed = true;
    c.StartRequest(request, static_cast<DWORD>(*declared));
    return *c.requestBody;
}

void ClientConnection::WriteBody(const char* source, USize count) {
    Impl& c = *impl_;
    c.streamed.CheckWrite(c.state, source, count);
    c.WriteAll(source, count);
    c.streamed.written += count;
    if (c.streamed.declared && c.streamed.written == *c.streamed.declared)
        c.bodyWrittenAt = GetTickCount64();
}

// WinHTTP holds nothing back, and a write returns once the system took it; once the whole body was
// written, the flush waits a while for it to reach the server (Impl::AwaitTheBody).
void ClientConnection::FlushBody() {
    Impl& c = *impl_;
    c.streamed.CheckWrite(c.state, nullptr, 0);
    c.AwaitTheBody();
}

void ClientConnection::Abort() {
    // Closing the handles closes the socket; nothing the system still holds is sent on.
    impl_->Release();
    impl_->state = State::Closed;
}

UInt64 ClientConnection::GetSentDataCount() const {
    return impl_->sentCount;
}

UInt64 ClientConnection::GetReceivedDataCount() const {
    return impl_->receivedCount;
}

Encoding::BodyIBinaryChannel& ClientConnection::BeginReceive(Response& response) {
    Detail::Require(impl_->state == State::Sent, "BeginReceive", "no request was sent");
    Impl& c = *impl_;
    // Interim answers are WinHTTP's to skip; the wait for the final one ends one time-out after the request
    // arrived.
    const std::string from = "reading the response header from " + c.hostText;
    c.arrivedAt = c.AwaitArrival();
    HINTERNET handle = c.request;
    // The arrival may lie ahead (an estimate of what the system still sends): the head has one time-out
    // after it.
    const ULONGLONG now = GetTickCount64();
    const ULONGLONG headBound = c.arrivedAt + c.timeout;
    const DWORD headLimit = c.timeout == 0    ? INFINITE
                            : headBound > now ? static_cast<DWORD>(headBound - now)
                                              : 0;
    if (c.receiving) {
        c.Await(headLimit, Kind::Receive, from);  // started by a flush, its waits allowed then
    } else {
        if (headLimit != INFINITE && headLimit > c.timeout)
            c.AllowReceiveWaits(headLimit);  // WinHTTP's own waits for the head would end first
        c.Run([handle] { return WinHttpReceiveResponse(handle, nullptr); }, headLimit, Kind::Receive, from);
    }
    c.receiving = false;
    c.ApplyTimeouts();

    DWORD status = 0;
    DWORD size = sizeof status;
    if (!WinHttpQueryHeaders(c.request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        c.Broke(Kind::Protocol, from + ": no status code");
    auto query = [&](DWORD what) {
        DWORD bytes = 0;
        WinHttpQueryHeaders(c.request, what, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &bytes,
                            WINHTTP_NO_HEADER_INDEX);
        std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
        bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        if (!WinHttpQueryHeaders(c.request, what, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &bytes,
                                 WINHTTP_NO_HEADER_INDEX))
            return std::string();
        text.resize(bytes / sizeof(wchar_t));
        return Bytes(text);
    };
    Detail::MessageAccess::Reset(response, status, query(WINHTTP_QUERY_STATUS_TEXT));
    const std::string raw = query(WINHTTP_QUERY_RAW_HEADERS_CRLF);
    c.receivedCount += raw.size();
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
        Detail::MessageAccess::AddReceived(Detail::MessageAccess::ReceivedFields(response),
                                           line.substr(0, colon), text);
        if (_stricmp(line.substr(0, colon).c_str(), "Content-Length") == 0 &&
            std::strtoull(text.c_str(), nullptr, 10) > Detail::MaxBodySize)
            c.Broke(Kind::BodyTooLarge,
                    "the response body is larger than " + std::to_string(Detail::MaxBodySize) + " bytes");
    }
    c.state = State::Receiving;
    return *c.body;
}

void ClientConnection::FinishReceive() {
    Detail::Require(impl_->state == State::Receiving, "FinishReceive", "no response is being received");
    const bool reusable = impl_->bodyDone;
    // A request handle closed before its body is read to the end takes its connection down with it.
    impl_->CloseRequest();
    impl_->state = reusable ? State::Ready : State::Spent;
}

USize ClientConnection::ReadBody(char* destination, USize count) {
    Detail::Require(impl_->state == State::Receiving, "body channel Read", "no response is being received");
    Impl& c = *impl_;
    if (count == 0 || c.bodyDone)
        return 0;
    const ULONGLONG deadline = c.timeout == 0 ? 0 : c.arrivedAt + kWholeAnswerTimeouts * c.timeout;
    // Only what has arrived is read, so that no read waits for more than one piece of the body. The
    // buffer is the outcome's, which a read abandoned on a time-out keeps alive while it may still write.
    HINTERNET handle = c.request;
    const std::string from = "reading the response body from " + c.hostText;
    c.Run([handle] { return WinHttpQueryDataAvailable(handle, nullptr); }, c.Limit(deadline), Kind::Receive,
          from);
    const DWORD available =
        std::min<DWORD>({c.outcome->bytes, static_cast<DWORD>(c.outcome->buffer.size()), count});
    if (available == 0) {
        c.bodyDone = true;
        return 0;
    }
    char* into = c.outcome->buffer.data();
    c.Run([handle, into, available] { return WinHttpReadData(handle, into, available, nullptr); },
          c.Limit(deadline), Kind::Receive, from);
    const DWORD arrived = std::min<DWORD>(c.outcome->bytes, count);
    if (arrived == 0) {
        c.bodyDone = true;
        return 0;
    }
    std::memcpy(destination, c.outcome->buffer.data(), arrived);
    c.bodyRead += arrived;
    c.receivedCount += arrived;
    if (c.bodyRead > Detail::MaxBodySize)
        c.Broke(Kind::BodyTooLarge,
                "the response body is larger than " + std::to_string(Detail::MaxBodySize) + " bytes");
    return arrived;
}

void ClientConnection::Close(bool) {
    // WinHTTP ends TLS sessions itself; an orderly close and a forced one both release every handle.
    impl_->Release();
    impl_->state = State::Closed;
}

}  // namespace Client

}  // namespace HTTP
