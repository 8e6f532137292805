// UploadImage: the HTTPS exchange with the image endpoint and what its answer shows. PostImageShowingProgress
// runs the exchange under the host's process window; PostImage inside it connects, sends the body (SendBody)
// and receives the answer (ReceiveAnswer); ShowAnswer then shows what the status says. The body goes in
// pieces paced by the add-on's own bounds (UploadPace.hpp) over the connection's pacing. The whole exchange,
// dialogs and link flow included, runs inside the export's guard (ExportFromCurrentView).
#include "Upload.hpp"

#include <algorithm>
#include <new>
#include <optional>

#include "ACAPinc.h"
#include "Array.hpp"
#include "BrowserPages.hpp"
#include "Dialogs.hpp"
#include "EntryGuard.hpp"
#include "GSDebug.hpp"
#include "HTTP/Client/ClientConnection.hpp"
#include "HTTP/Client/Request.hpp"
#include "HTTP/Client/Response.hpp"
#include "HTTP/Encoding/BodyIBinaryChannel.hpp"
#include "HTTP/Encoding/BodyOBinaryChannel.hpp"
#include "LinkFlow.hpp"
#include "ObjectState.hpp"
#include "ObjectStateJSONConversion.hpp"
#include "Preferences.hpp"
#include "ResourceIds.hpp"
#include "URI.hpp"
#include "UploadPace.hpp"
#include "UploadProgress.hpp"

namespace {

constexpr const char* kImagesPath = "/api/v1/images";
constexpr UInt32 kTimeoutMilliseconds = 8000;
constexpr UInt32 kCreated = 201;
constexpr UInt32 kUnauthorized = 401;
constexpr UInt32 kPayloadTooLarge = 413;
// The most of an answer's body the add-on reads: the image id comes on the first line of a short JSON
// text, and what a server sends beyond this is left unread, so an answer costs no more memory than this.
constexpr USize kAnswerBytes = 64 * 1024;
constexpr const char* kTooSlowText = "The connection to KAVELO is too slow. Please try again later";

// Where an exchange stands after a step. Every step returns Sent to let the exchange go on (what it was to
// send has gone to the connection), or what ended the exchange: Answered once the answer has come, Canceled
// or TooSlow short of an answer.
enum class Outcome { Sent, Answered, Canceled, TooSlow };

// The server's answer: its status, and the lines of up to kAnswerBytes of its body.
struct Answer {
    UInt32 status = 0;
    GS::Array<GS::UniString> lines;
};

GS::UniString ImageIdFromFirstLine(const GS::Array<GS::UniString>& lines) {
    GS::UniString imageId;
    // A body with no line at all gives an empty id, like a first line that is not JSON.
    if (lines.IsEmpty())
        return imageId;
    GS::ObjectState answer;
    JSON::ConvertToObjectState(lines[0], answer);
    answer.Get("id", imageId);
    return imageId;
}

void ShowUploaded(const GS::UniString& imageId) {
    DBPrintf("ImageID %s\n", imageId.ToCStr(0, MaxUSize, CC_UTF8).Get());
    if (IsLiveTabStale()) {
        DialogRealtime(imageId).Invoke();
        return;
    }
    Dialog(KAVELO_DLG_EXPORTED).Invoke();
}

// Shows what the answer's status says: 201 the uploaded dialog, 401 the needs-link dialog and the link flow.
// Returns 413 and every other status as the failure for the export to report.
Failure ShowAnswer(const Answer& answer) {
    switch (answer.status) {
        case kCreated:
            ShowUploaded(ImageIdFromFirstLine(answer.lines));
            return NoFailure;
        case kUnauthorized:
            Dialog(KAVELO_DLG_EXPORT_NEEDS_LINK).Invoke();
            LinkAccount();
            return NoFailure;
        case kPayloadTooLarge:
            return {"The image sent to KAVELO is too big. Try reducing the window size of Archicad.",
                    ExportErrorCode};
        default:
            return ExportFailure;
    }
}

// Flushes until the link has caught up (UploadPace::CaughtUp), asking for the user's Cancel and the
// exchange's bound after each Flush. The pace then judges its lowest rate afresh if the link was awaited.
Outcome AwaitTheLink(HTTP::Encoding::BodyOBinaryChannel& channel, UploadProgress& progress,
                     UploadPace& pace) {
    for (bool waited = false;; waited = true) {
        const UploadPace::Clock::time_point start = UploadPace::Clock::now();
        channel.Flush();
        if (progress.IsCanceled())
            return Outcome::Canceled;
        // The pace cannot count what the link takes here: the connection holds it to its lowest rate.
        if (pace.OutOfTime())
            return Outcome::TooSlow;
        if (!UploadPace::CaughtUp(UploadPace::Clock::now() - start))
            continue;
        if (waited)
            pace.Waited();
        return Outcome::Sent;
    }
}

// Writes the body in the pace's pieces, showing each on the bar and asking for a Cancel and the pace's
// bounds after each: a Cancel or a link too slow breaks the exchange off at once, and nothing more is sent.
// After a write that was held, and after the last, the link is awaited before more goes, so that the
// answer's wait does not begin with seconds of body still to carry.
Outcome WriteBody(HTTP::Encoding::BodyOBinaryChannel& channel, const char* body, USize length,
                  UploadProgress& progress, UploadPace& pace) {
    for (USize sent = 0; sent < length;) {
        const USize piece = std::min(length - sent, pace.NextPiece());
        const UploadPace::Clock::time_point start = UploadPace::Clock::now();
        channel.Write(body + sent, piece);
        sent += piece;
        pace.Wrote(sent);
        if (progress.AdvanceTo(sent))
            return Outcome::Canceled;
        if (pace.TooSlow())
            return Outcome::TooSlow;
        if (UploadPace::CaughtUp(UploadPace::Clock::now() - start) && sent < length)
            continue;
        if (const Outcome awaited = AwaitTheLink(channel, progress, pace); awaited != Outcome::Sent)
            return awaited;
    }
    return Outcome::Sent;
}

// The body and its end. A call that fails after the user pressed Cancel ends the exchange as canceled, any
// other failure of a write, a flush or the body's end (but memory running out) as too slow.
Outcome SendBody(HTTP::Client::ClientConnection& connection, HTTP::Client::Request& request, const char* body,
                 USize length, UploadProgress& progress, UploadPace& pace) {
    // On some systems the connection is made here: its failures are not the link's slowness.
    HTTP::Encoding::BodyOBinaryChannel& channel = connection.BeginSend(request);
    try {
        if (const Outcome written = WriteBody(channel, body, length, progress, pace);
            written != Outcome::Sent)
            return written;
        connection.FinishSend();
    } catch (const std::bad_alloc&) {
        throw;
    } catch (...) {
        // What the connection throws here is its bounds on a body that goes: its lowest rate, or nothing
        // taken for the time-out (a server that closes early has its answer read instead).
        return progress.IsCanceled() ? Outcome::Canceled : Outcome::TooSlow;
    }
    return progress.IsCanceled() ? Outcome::Canceled : Outcome::Sent;
}

// The answer's body, up to kAnswerBytes of it, as UTF-8 text.
GS::UniString ReadAnswerBody(HTTP::Encoding::BodyIBinaryChannel& body) {
    std::string text;
    char piece[4096];
    while (text.size() < kAnswerBytes) {
        const USize wanted =
            static_cast<USize>(std::min<std::size_t>(sizeof piece, kAnswerBytes - text.size()));
        const USize read = body.Read(piece, wanted);
        if (read == 0)
            break;
        text.append(piece, read);
    }
    return GS::UniString(text.c_str(), CC_UTF8);
}

// The answer into *answer, traced, then the connection and the process window closed, before anything is
// shown: Answered. A Cancel pressed while the answer was awaited ends the exchange as canceled, unless the
// server says it created the image (the user is then told so). `pace` is reset once the answer's head came.
Outcome ReceiveAnswer(HTTP::Client::ClientConnection& connection, UploadProgress& progress,
                      std::optional<UploadPace>& pace, Answer* answer) {
    HTTP::Client::Response response;
    HTTP::Encoding::BodyIBinaryChannel& bodyChannel = connection.BeginReceive(response);
    pace.reset();
    answer->status = response.GetStatusCode();
    if (answer->status != kCreated && progress.IsCanceled()) {
        connection.Abort();
        return Outcome::Canceled;
    }
    DBPrintf("HTTP %u\n", static_cast<unsigned>(answer->status));
    DBPrintf("Received data: \n");

    const GS::UniString text = ReadAnswerBody(bodyChannel);
    text.Split("\n", GS::UniString::KeepEmptyParts, &answer->lines);
    for (const GS::UniString& line : answer->lines) DBPrintf("%s\n", line.ToCStr(0, MaxUSize, CC_UTF8).Get());

    connection.FinishReceive();
    connection.Close(false);
    progress.Close();
    return Outcome::Answered;
}

// The request's body as JSON text in *json: "image", "name", "source". Returns the conversion's code: a body
// that could not be made is never sent, since an empty one would still carry the key.
GSErrCode RequestBody(const std::string& dataUrl, GS::UniString* json) {
    GS::ObjectState body;
    body.Add("image", dataUrl.c_str());
    body.Add("name", "Archicad export");
    body.Add("source", "archicad");
    return JSON::CreateFromObjectState(body, *json, false);
}

// Connects, sends the body and receives the answer into *answer; a Cancel or a link too slow ends the
// exchange first, and the connection is aborted. Never returns Sent. `pace` is set from the body's start
// until the answer's head has come.
Outcome PostImage(const GS::UniString& json, const char* linkId, UploadProgress& progress,
                  std::optional<UploadPace>& pace, Answer* answer) {
    IO::URI::URI uri(WebAppOrigin);
    // Through the system's proxy: many offices reach the internet only by one, and the URL alone does
    // not say that it takes it.
    HTTP::Client::ClientConnection connection(uri, true);
    connection.SetTimeout(kTimeoutMilliseconds);
    // The key goes to the origin only: a redirect is an answer like any other, and the request's body is
    // never sent again, so no copy of it is kept.
    connection.SetFollowRedirect(false);
    connection.SetBodyBufferSize(0);
    connection.Connect();
    DBPrintf("Connected to %s\n", uri.GetPath().ToCStr(0, MaxUSize, CC_UTF8).Get());
    if (progress.IsCanceled()) {
        connection.Abort();
        return Outcome::Canceled;
    }

    HTTP::Client::Request request(HTTP::MessageHeader::Method::Post, kImagesPath,
                                  HTTP::MessageHeader::HTTPVersion::Version11);
    request.GetRequestHeaderFieldCollection().Add("X-Api-Key", GS::UniString(linkId, CC_UTF8));
    // Every character of the body is ASCII, so its length in characters is its length in bytes.
    const USize length = json.GetLength();
    progress.StartUpload(length);

    const auto bytes = json.ToCStr(0, MaxUSize, CC_UTF8);
    // The body goes with its length, as one piece would, not in chunks.
    request.GetRequestHeaderFieldCollection().Add("Content-Length",
                                                  GS::UniString(std::to_string(length).c_str(), CC_UTF8));
    pace.emplace(length);
    if (const Outcome sent = SendBody(connection, request, bytes.Get(), length, progress, *pace);
        sent != Outcome::Sent) {
        connection.Abort();
        return sent;
    }
    return ReceiveAnswer(connection, progress, pace, answer);
}

// PostImage under its process window, which opens before the connection is made, so that a slow connect
// shows and can be canceled. A call of the exchange that fails after the user pressed Cancel ends it as
// canceled, never as a failure; the body's own calls tell the link's slowness (SendBody). A failure while
// the answer is awaited, when the body has gone, is the server's (no answer within the time-out: the
// export's failure), unless the exchange has outlasted its bound. Anything else goes on up to the export's
// guard.
Outcome PostImageShowingProgress(const GS::UniString& json, const char* linkId, Answer* answer) {
    UploadProgress progress;
    std::optional<UploadPace> pace;
    try {
        return PostImage(json, linkId, progress, pace, answer);
    } catch (...) {
        if (progress.IsCanceled())
            return Outcome::Canceled;
        if (pace && pace->OutOfTime())
            return Outcome::TooSlow;
        throw;
    }
}

}  // namespace

Failure UploadImage(std::string dataUrl, const char* linkId) {
    // The body is made before anything is opened or sent, and the data URL given up once it is made.
    GS::UniString json;
    if (const GSErrCode err = RequestBody(dataUrl, &json); err != NoError) {
        DBPrintf("The request's body could not be made (%d)\n", static_cast<int>(err));
        return ExportFailure;
    }
    std::string().swap(dataUrl);
    Answer answer;
    const Outcome outcome = PostImageShowingProgress(json, linkId, &answer);
    // A canceled upload is no failure: nothing is retried, and the user is only told it stopped.
    if (outcome == Outcome::Canceled)
        return {"Export to KAVELO canceled.", APIERR_CANCEL};
    if (outcome == Outcome::TooSlow)
        return {kTooSlowText, ExportErrorCode};
    return ShowAnswer(answer);
}
