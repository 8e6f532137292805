// The Beast/OpenSSL connection's own cases, against a local TLS server that answers byte for byte as told:
// what goes on the wire, verification, routing, time-outs, broken connections and the body framings. The
// contract both platforms' connections keep is ConnectionContract.cpp, run here too (in-process).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Certificates.hpp"
#include "ConnectionContract.hpp"
#include "HTTP/Client/ClientConnection.hpp"
#include "HTTP/Client/Request.hpp"
#include "HTTP/Client/Response.hpp"
#include "HTTP/Encoding/BodyIBinaryChannel.hpp"
#include "HTTPControl.hpp"
#include "HTTPException.hpp"
#include "IBinaryChannelUtilities.hpp"
#include "IOBinProtocolXs.hpp"
#include "Server.hpp"
#include "TlsTestServer.hpp"
#include "URI.hpp"

namespace {

using httptest::Behaviour;
using httptest::TlsTestServer;

const char* const kOrigin = "https://app.kavelo.io";
const char* const kLinkId = "0f8fad5b-d9cb-469f-a165-70867728950e";

const webapp::CertificateAuthority& Authority() {
    static const webapp::CertificateAuthority ca = webapp::MakeAuthority("KAVELO test authority");
    return ca;
}

std::string Narrow(const GS::UniString& text) {
    return text.ToCStr(0, MaxUSize, CC_UTF8).Get();
}

std::string Respond(const std::string& status, const std::string& body) {
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

struct Outcome {
    UInt32 status = 0;
    GS::UniString text;
};

// The answer as the add-on reads it, and the close.
Outcome ReceiveLikeTheAddOn(HTTP::Client::ClientConnection& connection) {
    HTTP::Client::Response response;
    HTTP::Encoding::BodyIBinaryChannel& channel = connection.BeginReceive(response);
    GS::IChannelX input(channel, GS::GetNetworkByteOrderIProtocolX());
    Outcome outcome;
    outcome.status = response.GetStatusCode();
    outcome.text = GS::IBinaryChannelUtilities::ReadUniStringAsUTF8(
        input, GS::IBinaryChannelUtilities::NotTerminated, false, false);
    connection.FinishReceive();
    connection.Close(false);
    return outcome;
}

// The exchange the add-on makes, call for call.
Outcome PostLikeTheAddOn(const std::string& body, UInt32 timeout = 8000) {
    IO::URI::URI uri(kOrigin);
    HTTP::Client::ClientConnection connection(uri);
    connection.SetTimeout(timeout);
    connection.Connect();
    HTTP::Client::Request request(HTTP::MessageHeader::Method::Post, "/api/v1/images",
                                  HTTP::MessageHeader::HTTPVersion::Version11);
    request.GetRequestHeaderFieldCollection().Add(GS::UniString("X-Api-Key"),
                                                  GS::UniString(kLinkId, CC_Default));
    connection.FinishSend();
    connection.Send(request, body.data(), static_cast<USize>(body.size()));
    HTTP::Client::Response response;
    HTTP::Encoding::BodyIBinaryChannel& channel = connection.BeginReceive(response);
    GS::IChannelX input(channel, GS::GetNetworkByteOrderIProtocolX());
    Outcome outcome;
    outcome.status = response.GetStatusCode();
    outcome.text =
        GS::IBinaryChannelUtilities::ReadUniStringAsUTF8(input, GS::IBinaryChannelUtilities::NotTerminated);
    connection.FinishReceive();
    connection.Close(false);
    return outcome;
    return ReceiveLikeTheAddOn(connection);
}

HTTP::Exception::Kind FailureOf(const std::string& body, UInt32 timeout = 8000) {
    try {
        PostLikeTheAddOn(body, timeout);
    } catch (const HTTP::Exception& failure) {
        return failure.GetKind();
    }
    ADD_FAILURE() << "the exchange did not fail";
    return HTTP::Exception::Kind::Usage;
}

class ConnectionTest : public ::testing::Test {
protected:
    explicit ConnectionTest(const std::string& certifiedName = "app.kavelo.io")
        : server_(webapp::IssueServerCertificate(Authority(), {certifiedName})) {
        HTTP::Control::ClearRoutes();
        HTTP::Control::ClearTrustAnchors();
        HTTP::Control::ResetStats();
        HTTP::Control::AddTrustAnchorPem(Authority().certPem);
        HTTP::Control::RouteHost("app.kavelo.io", 443, "127.0.0.1", server_.Port());
    }
    ~ConnectionTest() override {
        HTTP::Control::ClearRoutes();
        HTTP::Control::ClearTrustAnchors();
    }

    void Answer(const std::string& response, Behaviour::After after = Behaviour::After::CloseNotify,
                std::size_t sendBytes = std::string::npos) {
        Behaviour behaviour;
        behaviour.response = response;
        behaviour.after = after;
        behaviour.sendBytes = sendBytes;
        server_.SetBehaviour(behaviour);
    }

    TlsTestServer server_;
};

TEST_F(ConnectionTest, SendsTheRequestLineFieldsHostLengthAndExactBody) {
    Answer(Respond("201 Created", "{\"id\":\"abc\"}\nsecond line"));
    const std::string body = "{\"image\":\"data:image/jpeg;base64,/9j/\",\"name\":\"Archicad export\"}";

    const Outcome outcome = PostLikeTheAddOn(body);

    EXPECT_EQ(201u, outcome.status);
    EXPECT_EQ("{\"id\":\"abc\"}\nsecond line", Narrow(outcome.text));
    ASSERT_EQ(1u, server_.Requests().size());
    EXPECT_EQ(
        "POST /api/v1/images HTTP/1.1\r\n"
        "X-Api-Key: 0f8fad5b-d9cb-469f-a165-70867728950e\r\n"
        "Host: app.kavelo.io\r\n"
        "Content-Length: " +
            std::to_string(body.size()) + "\r\n\r\n" + body,
        server_.Requests()[0]);
    const HTTP::Control::Stats stats = HTTP::Control::GetStats();
    EXPECT_EQ(1u, stats.connectionsOpened);
    EXPECT_EQ(1u, stats.requestsSent);
    EXPECT_EQ(server_.Requests()[0].size(), stats.bytesSent);
}

// A connected connection and a POST to the images path that declares `length` body bytes.
struct StreamedPost {
    HTTP::Client::ClientConnection connection{IO::URI::URI(kOrigin)};
    HTTP::Client::Request request{HTTP::MessageHeader::Method::Post, "/api/v1/images",
                                  HTTP::MessageHeader::HTTPVersion::Version11};

    explicit StreamedPost(std::size_t length, UInt32 timeout = 8000) {
        connection.SetTimeout(timeout);
        connection.Connect();
        request.GetRequestHeaderFieldCollection().Add(GS::UniString("Content-Length"),
                                                      GS::UniString(std::to_string(length).c_str()));
    }
};

// The export's upload, streamed in pieces with its length declared, the way a caller showing progress
// sends it; `pieces` are the sizes of the writes after the first, which takes the rest.
Outcome StreamLikeTheAddOn(const std::string& body, const std::vector<std::size_t>& pieces,
                           UInt32 timeout = 8000) {
    StreamedPost post(body.size(), timeout);
    HTTP::Client::ClientConnection& connection = post.connection;
    post.request.GetRequestHeaderFieldCollection().Add(GS::UniString("X-Api-Key"),
                                                       GS::UniString(kLinkId, CC_Default));
    HTTP::Encoding::BodyOBinaryChannel& out = connection.BeginSend(post.request);
    std::size_t at = 0;
    for (std::size_t piece : pieces) {
        out.Write(body.data() + at, static_cast<USize>(piece));
        at += piece;
    }
    out.Write(body.data() + at, static_cast<USize>(body.size() - at));
    connection.FinishSend();
    return ReceiveLikeTheAddOn(connection);
}

TEST_F(ConnectionTest, AStreamedBodyWithItsLengthPutsTheBytesOfSendOnTheWire) {
    Answer(Respond("201 Created", "{\"id\":\"abc\"}"));
    std::string body(300 * 1024 + 5, 'B');
    for (std::size_t i = 0; i < body.size(); i += 997) body[i] = static_cast<char>('a' + i % 26);

    EXPECT_EQ(201u, PostLikeTheAddOn(body).status);
    EXPECT_EQ(201u, StreamLikeTheAddOn(body, {0, 1, 10, 20000, 64 * 1024, 3}).status);

    ASSERT_EQ(2u, server_.Requests().size());
    EXPECT_EQ(server_.Requests()[0].substr(0, 200), server_.Requests()[1].substr(0, 200));
    EXPECT_TRUE(server_.Requests()[0] == server_.Requests()[1]) << "head and body byte for byte";
}

// The connection's own counts beside what the server received and sent.
TEST_F(ConnectionTest, CountsTheBytesSentAndReceived) {
    const std::string answer = Respond("201 Created", "{\"id\":\"abc\"}");
    Answer(answer);
    const std::string body(50000, 'c');
    StreamedPost post(body.size());
    HTTP::Client::ClientConnection& connection = post.connection;
    HTTP::Encoding::BodyOBinaryChannel& out = connection.BeginSend(post.request);
    out.Write(body.data(), 20000);
    const UInt64 partway = connection.GetSentDataCount();
    out.Write(body.data() + 20000, 30000);
    out.Close();
    connection.FinishSend();
    HTTP::Client::Response response;
    GS::IChannelX input(connection.BeginReceive(response), GS::GetNetworkByteOrderIProtocolX());
    GS::IBinaryChannelUtilities::ReadUniStringAsUTF8(input, GS::IBinaryChannelUtilities::NotTerminated, false,
                                                     false);
    connection.FinishReceive();

    ASSERT_EQ(1u, server_.Requests().size());
    const std::size_t head = server_.Requests()[0].size() - body.size();
    EXPECT_EQ(head + 20000, partway);
    EXPECT_EQ(server_.Requests()[0].size(), connection.GetSentDataCount());
    EXPECT_EQ(answer.size(), connection.GetReceivedDataCount());
    connection.Close(false);
}

TEST_F(ConnectionTest, AStreamedBodyHoldsToItsDeclaredLength) {
    Answer(Respond("201 Created", "done"));
    StreamedPost post(10);
    HTTP::Client::ClientConnection& connection = post.connection;
    HTTP::Encoding::BodyOBinaryChannel& out = connection.BeginSend(post.request);
    out.Write("01234", 5);
    EXPECT_THROW(out.Write("56789X", 6), HTTP::Exception) << "one byte past the length";
    EXPECT_THROW(connection.FinishSend(), HTTP::Exception) << "five bytes short";
    EXPECT_THROW(connection.BeginReceive(*std::make_unique<HTTP::Client::Response>()), HTTP::Exception);
    out.Write("56789", 5);
    connection.FinishSend();
    EXPECT_THROW(out.Write("!", 1), HTTP::Exception) << "the body has ended";
    HTTP::Client::Response response;
    connection.BeginReceive(response);
    EXPECT_EQ(201u, response.GetStatusCode());
    connection.FinishReceive();
    connection.Close(false);

    ASSERT_EQ(1u, server_.Requests().size());
    EXPECT_EQ("POST /api/v1/images HTTP/1.1\r\nHost: app.kavelo.io\r\nContent-Length: 10\r\n\r\n0123456789",
              server_.Requests()[0]);
}

TEST(StreamedRequestUsage, RefusesFieldsTheConnectionWritesAndLengthsThatAreNotNumbers) {
    HTTP::Client::ClientConnection connection{IO::URI::URI(kOrigin)};
    const auto refused = [&](const char* name, const char* value,
                             HTTP::MessageHeader::HTTPVersion::Id version) {
        HTTP::Client::Request request(HTTP::MessageHeader::Method::Post, "/", version);
        if (name != nullptr)
            request.GetRequestHeaderFieldCollection().Add(GS::UniString(name), GS::UniString(value));
        try {
            connection.BeginSend(request);
        } catch (const HTTP::Exception& failure) {
            return failure.GetKind() == HTTP::Exception::Kind::Usage;
        }
        return false;
    };
    const auto v11 = HTTP::MessageHeader::HTTPVersion::Version11;
    EXPECT_TRUE(refused("Content-Length", "1", v11)) << "not connected";
    EXPECT_TRUE(refused("Host", "elsewhere", v11));
    EXPECT_TRUE(refused("Transfer-Encoding", "chunked", v11));
    EXPECT_TRUE(refused("Content-Length", "12a", v11));
    EXPECT_TRUE(refused("Content-Length", "-1", v11));
    EXPECT_TRUE(refused(nullptr, nullptr, HTTP::MessageHeader::HTTPVersion::Version10));
}

TEST_F(ConnectionTest, AnAbortedUploadSendsNothingMoreAndEndsTheConnection) {
    Answer(Respond("201 Created", "never read"));
    const std::string body(4 * 1024 * 1024, 'x');
    StreamedPost post(body.size());
    HTTP::Client::ClientConnection& connection = post.connection;
    HTTP::Encoding::BodyOBinaryChannel& out = connection.BeginSend(post.request);
    out.Write(body.data(), 1024 * 1024);
    const UInt64 sent = connection.GetSentDataCount();

    connection.Abort();
    EXPECT_THROW(out.Write(body.data(), 1), HTTP::Exception);
    EXPECT_THROW(connection.FinishSend(), HTTP::Exception);
    connection.Close(false);
    EXPECT_EQ(sent, connection.GetSentDataCount());

    // The server, serving one connection at a time, answers the next one only after the first ended
    // without the rest of its request.
    EXPECT_EQ(201u, PostLikeTheAddOn("{}").status);
    ASSERT_EQ(1u, server_.Requests().size());
    EXPECT_LE(server_.ReceivedBytes().size() - server_.Requests()[0].size(), sent);
}

// An upload timed from the client's side: its status, or the kind of its failure, and when its last byte
// was handed to the system.
struct TimedUpload {
    UInt32 status = 0;
    std::optional<HTTP::Exception::Kind> failure;
    std::string message;
    std::chrono::steady_clock::time_point lastWrite;
    std::chrono::steady_clock::time_point end;
};

TimedUpload UploadTimed(const std::string& body, UInt32 timeout) {
    TimedUpload upload;
    try {
        HTTP::Client::ClientConnection connection{IO::URI::URI(kOrigin)};
        connection.SetTimeout(timeout);
        connection.Connect();
        HTTP::Client::Request request(HTTP::MessageHeader::Method::Post, "/api/v1/images",
                                      HTTP::MessageHeader::HTTPVersion::Version11);
        connection.Send(request, body.data(), static_cast<USize>(body.size()));
        upload.lastWrite = std::chrono::steady_clock::now();
        HTTP::Client::Response response;
        connection.BeginReceive(response);
        upload.status = response.GetStatusCode();
        connection.FinishReceive();
        connection.Close(false);
    } catch (const HTTP::Exception& failure) {
        upload.failure = failure.GetKind();
        upload.message = failure.what();
    }
    upload.end = std::chrono::steady_clock::now();
    return upload;
}

// The server takes the request slowly, so that much of it is still in the client's socket when the client
// has written it all: the wait for the answer's head counts from the request's arrival.
TEST_F(ConnectionTest, AnUploadStillOnItsWayAfterItsLastWriteIsAnswered) {
    Behaviour behaviour;
    behaviour.response = Respond("201 Created", "{}");
    behaviour.readSize = 16 * 1024;
    behaviour.readEvery = std::chrono::milliseconds(10);
    server_.SetBehaviour(behaviour);

    const TimedUpload upload = UploadTimed(std::string(3 * 1024 * 1024, 'u'), 300);

    EXPECT_FALSE(upload.failure.has_value()) << upload.message;
    EXPECT_EQ(201u, upload.status);
    EXPECT_GT(server_.LastByteAt() - upload.lastWrite, std::chrono::milliseconds(300))
        << "the request arrived whole within one time-out of its last write: nothing was tested";
}

TEST_F(ConnectionTest, AnUploadThatStopsOnItsWayTimesOutOneTimeOutAfterItsLastProgress) {
    Behaviour behaviour;
    behaviour.response = Respond("201 Created", "{}");
    behaviour.readSize = 16 * 1024;
    behaviour.readEvery = std::chrono::milliseconds(10);
    behaviour.readLimit = 1024 * 1024;
    server_.SetBehaviour(behaviour);

    const TimedUpload upload = UploadTimed(std::string(3 * 1024 * 1024, 'u'), 300);

    EXPECT_EQ(HTTP::Exception::Kind::Timeout, upload.failure);
    EXPECT_LT(upload.end - server_.LastByteAt(), std::chrono::milliseconds(300 + 500));
}

TEST_F(ConnectionTest, SendsALargeBodyIntact) {
    Answer(Respond("201 Created", "{}"));
    std::string body(5 * 1024 * 1024 + 17, 'A');
    for (std::size_t i = 0; i < body.size(); i += 4099) body[i] = static_cast<char>('a' + i % 26);

    EXPECT_EQ(201u, PostLikeTheAddOn(body).status);
    ASSERT_EQ(1u, server_.Requests().size());
    const std::string request = server_.Requests()[0];
    EXPECT_EQ(body, request.substr(request.size() - body.size()));
}

TEST_F(ConnectionTest, ARedirectIsAStatusNotAFollowedLink) {
    Answer("HTTP/1.1 302 Found\r\nLocation: https://elsewhere.example/\r\nContent-Length: 0\r\n\r\n");
    {
        // The policy calls: following is refused, not ignored; the body buffer's size is kept.
        HTTP::Client::ClientConnection connection{IO::URI::URI(kOrigin)};
        EXPECT_FALSE(connection.GetFollowRedirect());
        connection.SetFollowRedirect(false);
        EXPECT_THROW(connection.SetFollowRedirect(true), HTTP::Exception);
        EXPECT_FALSE(connection.GetFollowRedirect());
        connection.SetBodyBufferSize(4096);
        EXPECT_EQ(4096u, connection.GetBodyBufferSize());
    }

    EXPECT_EQ(302u, PostLikeTheAddOn("{}").status);
    EXPECT_EQ(1u, HTTP::Control::GetStats().connectionsOpened);
}

TEST_F(ConnectionTest, ReadsChunkedBodies) {
    Answer(
        "HTTP/1.1 201 Created\r\nTransfer-Encoding: chunked\r\n\r\n"
        "5\r\n{\"id\"\r\n7\r\n:\"x1\"}\n\r\n3\r\nend\r\n0\r\n\r\n");

    EXPECT_EQ("{\"id\":\"x1\"}\nend", Narrow(PostLikeTheAddOn("{}").text));
}

TEST_F(ConnectionTest, ReadsBodiesThatEndWithTheConnection) {
    Answer("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nuntil the end");

    const Outcome outcome = PostLikeTheAddOn("{}");
    EXPECT_EQ(200u, outcome.status);
    EXPECT_EQ("until the end", Narrow(outcome.text));
}

TEST_F(ConnectionTest, AConnectionTheServerClosedCarriesNoSecondRequest) {
    Answer("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\ndone");
    HTTP::Client::ClientConnection connection{IO::URI::URI(kOrigin)};
    connection.SetTimeout(8000);
    connection.Connect();
    HTTP::Client::Request request(HTTP::MessageHeader::Method::Get, "/live",
                                  HTTP::MessageHeader::HTTPVersion::Version11);
    connection.Send(request, nullptr, 0);
    connection.FinishSend();
    HTTP::Client::Response response;
    GS::IChannelX channel(connection.BeginReceive(response), GS::GetNetworkByteOrderIProtocolX());
    EXPECT_EQ("done", Narrow(GS::IBinaryChannelUtilities::ReadUniStringAsUTF8(
                          channel, GS::IBinaryChannelUtilities::NotTerminated)));
    connection.FinishReceive();

    EXPECT_THROW(connection.Send(request, nullptr, 0), HTTP::Exception);
    connection.Close(false);
    ASSERT_EQ(1u, server_.Requests().size());
    EXPECT_EQ("GET /live HTTP/1.1\r\nHost: app.kavelo.io\r\n\r\n", server_.Requests()[0]);
}

TEST_F(ConnectionTest, InvalidUtf8InTheBodyBecomesReplacementCharacters) {
    Answer(Respond("201 Created", std::string("ok \xFF\xC3(", 6)));

    const GS::UniString text = PostLikeTheAddOn("{}").text;
    ASSERT_EQ(6u, text.GetLength());
    EXPECT_EQ(u'k', text.GetChar(1));
    EXPECT_EQ(char16_t(0xFFFD), text.GetChar(3));
    EXPECT_EQ(char16_t(0xFFFD), text.GetChar(4));
    EXPECT_EQ(u'(', text.GetChar(5));
}

TEST_F(ConnectionTest, ABodyOverTheCapIsRefused) {
    Answer("HTTP/1.1 201 Created\r\nContent-Length: 40000000\r\n\r\n");
    EXPECT_EQ(HTTP::Exception::Kind::BodyTooLarge, FailureOf("{}"));

    const std::string chunk(1024 * 1024, 'z');
    std::string chunked = "HTTP/1.1 201 Created\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (int i = 0; i < 33; ++i) chunked += "100000\r\n" + chunk + "\r\n";
    Answer(chunked + "0\r\n\r\n");
    EXPECT_EQ(HTTP::Exception::Kind::BodyTooLarge, FailureOf("{}"));
}

TEST_F(ConnectionTest, AConnectionDroppedMidBodyThrows) {
    const std::string response = Respond("201 Created", std::string(1000, 'b'));
    Answer(response, Behaviour::After::Drop, response.size() - 400);

    EXPECT_EQ(HTTP::Exception::Kind::Receive, FailureOf("{}"));
}

TEST_F(ConnectionTest, ABodyThatStallsHalfwayTimesOut) {
    const std::string response = Respond("201 Created", std::string(1000, 'b'));
    Answer(response, Behaviour::After::Stall, response.size() - 400);

    EXPECT_EQ(HTTP::Exception::Kind::Timeout, FailureOf("{}", 300));
}

TEST_F(ConnectionTest, InterimAnswersThatArriveInTimeAreFollowedByTheRealOne) {
    Answer("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\n\r\n" + Respond("201 Created", "done"));

    const Outcome outcome = PostLikeTheAddOn("{}");
    EXPECT_EQ(201u, outcome.status);
    EXPECT_EQ("done", Narrow(outcome.text));
}

// Each piece below arrives well within the time-out of a single wait, so only the bounds of the whole
// answer, counted from the request, can end these exchanges.
TEST_F(ConnectionTest, InterimAnswersDoNotExtendTheWaitForTheRealOne) {
    const std::string interim = "HTTP/1.1 102 Processing\r\n\r\n";
    std::string response;
    for (int i = 0; i < 20; ++i) response += interim;
    Behaviour behaviour;
    behaviour.response = response + Respond("201 Created", "too late");
    behaviour.trickleFrom = 0;
    behaviour.trickleSize = interim.size();
    behaviour.trickleEvery = std::chrono::milliseconds(100);
    server_.SetBehaviour(behaviour);

    EXPECT_EQ(HTTP::Exception::Kind::Timeout, FailureOf("{}", 300));
}

TEST_F(ConnectionTest, AServerThatStopsReadingTimesTheRequestOut) {
    Behaviour behaviour;
    behaviour.stallReading = true;
    server_.SetBehaviour(behaviour);

    const std::string body(32 * 1024 * 1024, 'w');
    IO::URI::URI uri(kOrigin);
    HTTP::Client::ClientConnection connection(uri);
    connection.SetTimeout(300);
    connection.Connect();
    HTTP::Client::Request request(HTTP::MessageHeader::Method::Post, "/api/v1/images",
                                  HTTP::MessageHeader::HTTPVersion::Version11);
    try {
        connection.Send(request, body.data(), static_cast<USize>(body.size()));
        ADD_FAILURE() << "32 MiB fit into the socket buffers of a server that reads nothing";
    } catch (const HTTP::Exception& failure) {
        EXPECT_EQ(HTTP::Exception::Kind::Timeout, failure.GetKind());
    }
    // After a failure the connection only accepts Abort and Close.
    EXPECT_THROW(connection.Send(request, body.data(), 1), HTTP::Exception);
    EXPECT_THROW(connection.FinishSend(), HTTP::Exception);
    connection.Close(false);
}

TEST_F(ConnectionTest, AStalledHandshakeTimesOut) {
    Behaviour behaviour;
    behaviour.stallHandshake = true;
    server_.SetBehaviour(behaviour);

    EXPECT_EQ(HTTP::Exception::Kind::Timeout, FailureOf("{}", 300));
    EXPECT_EQ(0u, HTTP::Control::GetStats().bytesSent);
}

TEST_F(ConnectionTest, NobodyListeningFailsToConnect) {
    HTTP::Control::RouteHost("app.kavelo.io", 443, "127.0.0.1", httptest::UnusedLoopbackPort());

    EXPECT_EQ(HTTP::Exception::Kind::Connect, FailureOf("{}"));
}

TEST_F(ConnectionTest, AnUntrustedAuthorityFailsBeforeAnyRequestByte) {
    HTTP::Control::ClearTrustAnchors();

    EXPECT_EQ(HTTP::Exception::Kind::Tls, FailureOf("{\"image\":\"secret\"}"));
    EXPECT_EQ("", server_.ReceivedBytes());
    EXPECT_EQ(0, server_.Handshakes());
    EXPECT_EQ(0u, HTTP::Control::GetStats().bytesSent);
}

// Against the web application stand-in, whose floods send as much as the client takes.
class FloodTest : public ::testing::Test {
protected:
    FloodTest() : server_(Options()) {
        server_.Start();
        server_.LinkAccount(kLinkId);
        HTTP::Control::ClearRoutes();
        HTTP::Control::ClearTrustAnchors();
        HTTP::Control::AddTrustAnchorPem(server_.CaCertPem());
        HTTP::Control::RouteHost("app.kavelo.io", 443, "127.0.0.1", server_.Port());
    }
    ~FloodTest() override {
        server_.Stop();
        HTTP::Control::ClearRoutes();
        HTTP::Control::ClearTrustAnchors();
        std::filesystem::remove_all(dataDir_);
    }

    webapp::ServerOptions Options() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kavelo-flood-XXXXXX").string();
        dataDir_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
        webapp::ServerOptions options;
        options.dataDir = dataDir_;
        return options;
    }

    // Far more than any socket buffers hold, so that a client reading it all would be seen.
    static constexpr std::size_t kFlood = 64 * 1024 * 1024;
    static constexpr std::uint64_t kSentBeforeFailure = 16 * 1024 * 1024;
    std::string dataDir_;
    webapp::Server server_;
};

TEST_F(FloodTest, AnEndlessChunkExtensionIsAMalformedAnswerReadOnlyToTheBufferLimit) {
    server_.FloodNext({webapp::FloodAnswer::Where::ChunkExtension, kFlood});

    EXPECT_EQ(HTTP::Exception::Kind::Protocol, FailureOf("{}"));
    EXPECT_LT(server_.FloodedBytes(), kSentBeforeFailure) << "the client read on past its buffer";
}

TEST_F(FloodTest, AnEndlessTrailerIsAMalformedAnswerReadOnlyToTheBufferLimit) {
    server_.FloodNext({webapp::FloodAnswer::Where::Trailer, kFlood});

    EXPECT_EQ(HTTP::Exception::Kind::Protocol, FailureOf("{}"));
    EXPECT_LT(server_.FloodedBytes(), kSentBeforeFailure) << "the client read on past its buffer";
}

TEST_F(FloodTest, AStreamedBodyWithoutALengthGoesInChunksOnePerWrite) {
    const std::string body = "{\"image\":\"data:image/jpeg;base64,\",\"name\":\"n\",\"source\":\"s\"}";
    HTTP::Client::ClientConnection connection{IO::URI::URI(kOrigin)};
    connection.SetTimeout(8000);
    connection.Connect();
    HTTP::Client::Request request(HTTP::MessageHeader::Method::Post, "/api/v1/images",
                                  HTTP::MessageHeader::HTTPVersion::Version11);
    request.GetRequestHeaderFieldCollection().Add(GS::UniString("X-Api-Key"), GS::UniString(kLinkId));
    HTTP::Encoding::BodyOBinaryChannel& out = connection.BeginSend(request);
    out.Write(body.data(), 10);
    out.Write(body.data(), 0);
    out.Flush();
    out.Write(body.data() + 10, static_cast<USize>(body.size() - 10));
    connection.FinishSend();
    HTTP::Client::Response response;
    connection.BeginReceive(response);
    connection.FinishReceive();
    connection.Close(false);

    const std::vector<webapp::RecordedRequest> requests = server_.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(body, requests[0].body);
    EXPECT_EQ((webapp::HeaderFields{
                  {"X-Api-Key", kLinkId}, {"Host", "app.kavelo.io"}, {"Transfer-Encoding", "chunked"}}),
              requests[0].headers);
    const std::string rest = body.substr(10);
    char restSize[16];
    std::snprintf(restSize, sizeof restSize, "%zx", rest.size());
    const std::string wire = "POST /api/v1/images HTTP/1.1\r\nX-Api-Key: " + std::string(kLinkId) +
                             "\r\nHost: app.kavelo.io\r\nTransfer-Encoding: chunked\r\n\r\n"
                             "a\r\n" +
                             body.substr(0, 10) + "\r\n" + restSize + "\r\n" + rest + "\r\n0\r\n\r\n";
    EXPECT_EQ(wire.size(), connection.GetSentDataCount())
        << "a chunk per non-empty write, then the last chunk";
}

// A server that answers at the head and closes while the body is still being written: the writes after
// the reset go nowhere without a failure, and the answer it gave is read (a 413 or 401 the user must see).
TEST_F(FloodTest, AnAnswerGivenBeforeTheBodyIsReadAfterTheServerResets) {
    for (const int status : {413, 401}) {
        server_.AnswerEarlyNext(status);
        const std::string piece(16 * 1024, 'x');
        const std::size_t pieces = 1024;  // 16 MiB: far more than the socket buffers take before the reset
        HTTP::Client::ClientConnection connection{IO::URI::URI(kOrigin)};
        connection.SetTimeout(8000);
        connection.Connect();
        HTTP::Client::Request request(HTTP::MessageHeader::Method::Post, "/api/v1/images",
                                      HTTP::MessageHeader::HTTPVersion::Version11);
        request.GetRequestHeaderFieldCollection().Add(
            GS::UniString("Content-Length"), GS::UniString(std::to_string(piece.size() * pieces).c_str()));
        HTTP::Encoding::BodyOBinaryChannel& out = connection.BeginSend(request);
        for (std::size_t i = 0; i < pieces; ++i) out.Write(piece.data(), static_cast<USize>(piece.size()));
        connection.FinishSend();
        HTTP::Client::Response response;
        connection.BeginReceive(response);
        EXPECT_EQ(static_cast<UInt32>(status), response.GetStatusCode());
        connection.Close(true);
        EXPECT_LT(server_.Connections().requestBytes, piece.size() * pieces) << "the server read it all";
    }
}

class WrongNameTest : public ConnectionTest {
protected:
    WrongNameTest() : ConnectionTest("elsewhere.example") {}
};

TEST_F(WrongNameTest, ACertificateForAnotherNameFailsBeforeAnyRequestByte) {
    Answer(Respond("201 Created", "{}"));

    EXPECT_EQ(HTTP::Exception::Kind::Tls, FailureOf("{\"image\":\"secret\"}"));
    EXPECT_EQ("", server_.ReceivedBytes());
    EXPECT_EQ(0u, HTTP::Control::GetStats().bytesSent);
}

class RoutedAddressCertificateTest : public ConnectionTest {
protected:
    RoutedAddressCertificateTest() : ConnectionTest("127.0.0.1") {}
};

TEST_F(RoutedAddressCertificateTest, VerificationNamesTheOriginNotTheRoutedAddress) {
    Answer(Respond("201 Created", "{}"));

    EXPECT_EQ(HTTP::Exception::Kind::Tls, FailureOf("{}"));
    EXPECT_EQ("", server_.ReceivedBytes());
}

TEST(ConnectionUsage, RefusesWhatTheStateDoesNotAllow) {
    EXPECT_THROW(HTTP::Client::ClientConnection{IO::URI::URI("http://app.kavelo.io")}, HTTP::Exception);
    EXPECT_THROW(HTTP::Client::ClientConnection{IO::URI::URI("not a uri")}, HTTP::Exception);

    HTTP::Client::ClientConnection connection{IO::URI::URI(kOrigin)};
    HTTP::Client::Request request(HTTP::MessageHeader::Method::Get, "/",
                                  HTTP::MessageHeader::HTTPVersion::Version11);
    EXPECT_THROW(connection.Send(request, nullptr, 0), HTTP::Exception);
    HTTP::Client::Response response;
    EXPECT_THROW(connection.BeginReceive(response), HTTP::Exception);
    connection.Close(false);
}

TEST(RequestFields, RefuseValuesThatWouldForgeHeaderLines) {
    HTTP::Client::Request request(HTTP::MessageHeader::Method::Post, "/api/v1/images",
                                  HTTP::MessageHeader::HTTPVersion::Version11);
    auto& fields = request.GetRequestHeaderFieldCollection();
    EXPECT_THROW(fields.Add(GS::UniString("X-Api-Key"), GS::UniString("a\r\nHost: evil")), HTTP::Exception);
    EXPECT_THROW(fields.Add(GS::UniString("Bad Name"), GS::UniString("v")), HTTP::Exception);
    EXPECT_THROW(HTTP::Client::Request(HTTP::MessageHeader::Method::Get, "/a b",
                                       HTTP::MessageHeader::HTTPVersion::Version11),
                 HTTP::Exception);
    EXPECT_EQ(0u, fields.GetCount());
}

}  // namespace
