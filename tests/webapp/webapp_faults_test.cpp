// The fault switches, seen from a client: scripted answers and framings, stalls, interim, dripped, dropped
// and flooded answers.
#include <gtest/gtest.h>

#include <boost/beast/core/error.hpp>
#include <boost/beast/http/error.hpp>

#include "WebappTestSupport.hpp"

namespace webapp::test {
namespace {

using namespace std::chrono_literals;
using Faults = WebappTest;

std::string UploadRequest(const HeaderFields& extra = {}) {
    HeaderFields fields = {{"X-Api-Key", kLinkedId}};
    fields.insert(fields.end(), extra.begin(), extra.end());
    return RequestText("POST", "/api/v1/images", fields, UploadBody(MakeJpeg()));
}

// The head of a raw response (up to the blank line) and the bytes after it.
std::pair<std::string, std::string> SplitHead(const std::string& raw) {
    const std::size_t end = raw.find("\r\n\r\n");
    if (end == std::string::npos) {
        return {raw, ""};
    }
    return {raw.substr(0, end + 2), raw.substr(end + 4)};
}

TEST_F(Faults, ScriptedAnswerReplacesTheUploadWhichIsNotStored) {
    server_.ScriptResponse(200, "{\"id\":\"scripted\"}\nsecond line");

    const HttpResult answer = Exchange(UploadRequest());

    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, "{\"id\":\"scripted\"}\nsecond line");
    EXPECT_TRUE(server_.Images().empty());
    EXPECT_EQ(server_.Requests().size(), 1u) << "the request is still recorded";
}

TEST_F(Faults, ScriptedAnswersApplyOnceEachInOrder) {
    server_.ScriptResponse(500, "server error");
    server_.ScriptResponse(204, "");
    server_.ScriptResponse(302, "", {{"Location", "https://elsewhere.example/"}});

    const HttpResult first = Exchange(UploadRequest());
    const HttpResult second = Exchange(UploadRequest());
    const HttpResult third = Exchange(UploadRequest());
    const HttpResult fourth = Exchange(UploadRequest());

    EXPECT_EQ(first.status, 500);
    EXPECT_EQ(first.body, "server error");
    EXPECT_EQ(second.status, 204);
    EXPECT_TRUE(second.body.empty());
    EXPECT_FALSE(second.Header("Content-Length"));
    EXPECT_EQ(third.status, 302);
    EXPECT_EQ(third.Header("Location"), "https://elsewhere.example/");
    EXPECT_EQ(third.Header("Content-Length"), "0");
    EXPECT_EQ(fourth.status, 201);
}

TEST_F(Faults, ScopeLimitsASwitchToOnePathAndACount) {
    server_.ScriptResponse(ScriptedResponse{413, "too big", {}, BodyFraming::ContentLength},
                           FaultScope{2, "/api/v1/images"});

    EXPECT_EQ(Exchange(RequestText("GET", "/live/images")).status, 200);
    EXPECT_EQ(Exchange(UploadRequest()).status, 413);
    EXPECT_EQ(Exchange(UploadRequest()).status, 413);
    EXPECT_EQ(Exchange(UploadRequest()).status, 201);
}

TEST_F(Faults, ChunkedAnswerIsSentInChunksAndReadsWhole) {
    const std::string body = "{\"id\":\"abc\"}\n{\"status\":\"stored\"}";
    server_.ScriptResponse(201, body, {{"Content-Type", "application/json"}}, BodyFraming::Chunked);
    server_.ScriptResponse(201, body, {}, BodyFraming::Chunked);

    const HttpResult parsed = Exchange(UploadRequest());
    auto client = Connect();
    ASSERT_FALSE(client->Write(UploadRequest({{"Connection", "close"}})));
    boost::system::error_code ec;
    const auto [head, rest] = SplitHead(client->ReadToEnd(ec));

    EXPECT_EQ(parsed.status, 201);
    EXPECT_EQ(parsed.body, body);
    EXPECT_NE(head.find("\r\nTransfer-Encoding: chunked\r\n"), std::string::npos);
    EXPECT_EQ(head.find("Content-Length"), std::string::npos);
    // 32 bytes in chunks of 11, 11 and 10, then the last chunk.
    EXPECT_EQ(rest, "b\r\n{\"id\":\"abc\"\r\nb\r\n}\n{\"status\"\r\na\r\n:\"stored\"}\r\n0\r\n\r\n");
}

TEST_F(Faults, CloseDelimitedAnswerEndsWhenTheServerCloses) {
    const std::string body = "{\"id\":\"abc\"}\nend";
    server_.ScriptResponse(201, body, {}, BodyFraming::CloseDelimited);
    server_.ScriptResponse(201, body, {}, BodyFraming::CloseDelimited);

    const HttpResult parsed = Exchange(UploadRequest());
    auto client = Connect();
    ASSERT_FALSE(client->Write(UploadRequest()));
    boost::system::error_code ec;
    const auto [head, rest] = SplitHead(client->ReadToEnd(ec));

    EXPECT_EQ(parsed.status, 201);
    EXPECT_EQ(parsed.body, body);
    EXPECT_EQ(head.find("Content-Length"), std::string::npos);
    EXPECT_NE(head.find("\r\nConnection: close\r\n"), std::string::npos);
    EXPECT_EQ(rest, body);
    EXPECT_EQ(ec, boost::asio::error::eof) << "the server ends TLS properly: " << ec.message();
}

TEST_F(Faults, StallDelaysTheAnswerButStillHandlesTheRequest) {
    server_.StallNext(50ms);

    EXPECT_EQ(Exchange(UploadRequest()).status, 201);
    EXPECT_EQ(server_.Images().size(), 1u);
}

TEST_F(Faults, StalledAnswerOutlastsAClientTimeoutAndStopEndsIt) {
    server_.StallNext(10min);
    TlsClient client(server_.Port(), server_.CaCertPem(), server_.HostName(), 300ms);
    ASSERT_FALSE(client.Connect());
    ASSERT_FALSE(client.Write(UploadRequest()));

    HttpResult answer;
    EXPECT_EQ(client.Read(answer), boost::beast::error::timeout);
    EXPECT_EQ(server_.Requests().size(), 1u) << "the request was read before the stall";

    server_.Stop();  // must not wait for the stall
    EXPECT_FALSE(server_.Running());
}

TEST_F(Faults, InterimAnswersComeBeforeTheRealOne) {
    server_.SendInterimAnswersNext(10ms, 2);
    auto client = Connect();
    ASSERT_FALSE(client->Write(UploadRequest({{"Connection", "close"}})));
    boost::system::error_code ec;
    const std::string raw = client->ReadToEnd(ec);

    const std::string interim = "HTTP/1.1 102 Processing\r\n\r\n";
    ASSERT_EQ(raw.substr(0, 2 * interim.size()), interim + interim);
    EXPECT_EQ(raw.substr(2 * interim.size(), 21), "HTTP/1.1 201 Created\r");
    EXPECT_EQ(server_.Images().size(), 1u);
}

TEST_F(Faults, ADrippedAnswerArrivesWholeButSlowly) {
    server_.ScriptResponse(201, "{\"id\":\"drip\"}");
    server_.DripNext(20ms);
    const auto start = std::chrono::steady_clock::now();
    auto client = Connect();
    ASSERT_FALSE(client->Write(UploadRequest({{"Connection", "close"}})));
    boost::system::error_code ec;
    const auto [head, rest] = SplitHead(client->ReadToEnd(ec));

    EXPECT_EQ(head.substr(0, 22), "HTTP/1.1 201 Created\r\n");
    EXPECT_EQ(rest, "{\"id\":\"drip\"}");
    EXPECT_GE(std::chrono::steady_clock::now() - start, 13 * 20ms) << "one byte an interval after the head";
}

// A paced answer arrives whole, and the connection then carries the next request.
TEST_F(Faults, PacedAnswerComesInPiecesAndWhole) {
    const std::string body(3000, 'p');
    server_.ScriptResponse(200, body);
    server_.PaceNext({40ms, 6});
    auto client = Connect();
    ASSERT_FALSE(client->Write(RequestText("GET", "/anything")));
    HttpResult answer;
    ASSERT_FALSE(client->Read(answer));
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, body);
    EXPECT_EQ(client->Exchange(RequestText("GET", "/nowhere")).status, 404);

    EXPECT_THROW(server_.PaceNext({1s, 1}), std::invalid_argument);
    EXPECT_THROW(server_.PaceNext({-1ms, 3}), std::invalid_argument);
}

TEST_F(Faults, DroppedAnswerAnnouncesMoreThanItSendsThenCloses) {
    server_.DropNextMidBody();
    server_.DropNextMidBody();

    HttpResult parsed;
    auto parsingClient = Connect();
    ASSERT_FALSE(parsingClient->Write(UploadRequest()));
    const boost::system::error_code parseError = parsingClient->Read(parsed);
    auto rawClient = Connect();
    ASSERT_FALSE(rawClient->Write(UploadRequest()));
    boost::system::error_code ec;
    const auto [head, rest] = SplitHead(rawClient->ReadToEnd(ec));

    EXPECT_TRUE(parseError);
    EXPECT_EQ(parsed.status, 201);
    EXPECT_TRUE(ec);
    const std::size_t lengthAt = head.find("Content-Length: ");
    ASSERT_NE(lengthAt, std::string::npos);
    const std::size_t announced = std::stoul(head.substr(lengthAt + 16));
    EXPECT_GT(announced, rest.size());
    EXPECT_GT(rest.size(), 0u);
    EXPECT_EQ(server_.Images().size(), 2u) << "the uploads were handled before the answers were cut";
}

// The head is a real chunked answer's; what follows never ends its line, and stops at the flood's size.
TEST_F(Faults, FloodedAnswersNeverEndTheirFramingAndStopAtTheirSize) {
    server_.FloodNext({FloodAnswer::Where::ChunkExtension, 100000});
    server_.FloodNext({FloodAnswer::Where::Trailer, 70000});

    std::vector<std::string> rests;
    for (int i = 0; i < 2; ++i) {
        auto client = Connect();
        ASSERT_FALSE(client->Write(UploadRequest()));
        boost::system::error_code ec;
        const auto [head, rest] = SplitHead(client->ReadToEnd(ec));
        EXPECT_EQ(head.substr(0, 22), "HTTP/1.1 201 Created\r\n");
        EXPECT_NE(head.find("\r\nTransfer-Encoding: chunked\r\n"), std::string::npos);
        rests.push_back(rest);
    }

    EXPECT_EQ(rests[0], "1;" + std::string(100000, 'a'));
    EXPECT_EQ(rests[1], "1\r\n.\r\n0\r\nX-Trailer: " + std::string(70000, 'a'));
    EXPECT_EQ(server_.FloodedBytes(), 170000u);
    EXPECT_EQ(server_.Images().size(), 2u) << "the uploads were handled before the answers";
    EXPECT_THROW(server_.FloodNext({FloodAnswer::Where::Trailer, 0}), std::invalid_argument);
}

TEST_F(Faults, ClearFaultsRestoresNormalAnswers) {
    server_.ScriptResponse(500, "");
    server_.DropNextMidBody();
    server_.ClearFaults();

    EXPECT_EQ(Exchange(UploadRequest()).status, 201);
}

TEST_F(Faults, ImpossibleScriptsAreRefused) {
    EXPECT_THROW(server_.ScriptResponse(204, "a body"), std::invalid_argument);
    EXPECT_THROW(server_.ScriptResponse(200, "", {{"Content-Length", "5"}}), std::invalid_argument);
    EXPECT_THROW(server_.ScriptResponse(42, ""), std::invalid_argument);
    EXPECT_THROW(server_.StallNext(1s, FaultScope{0, ""}), std::invalid_argument);
    EXPECT_THROW(server_.SendInterimAnswersNext(0ms, 3), std::invalid_argument);
    EXPECT_THROW(server_.SendInterimAnswersNext(1s, 0), std::invalid_argument);
    EXPECT_THROW(server_.DripNext(-1ms), std::invalid_argument);
}

}  // namespace
}  // namespace webapp::test
