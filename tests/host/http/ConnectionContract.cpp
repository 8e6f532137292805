// The connection's contract cases: verified TLS, what goes on the wire for a whole and a streamed body,
// answers given before the body is through, Abort, redirects, refused and untrusted connections, the
// answer's time bounds and the body cap.
#include "ConnectionContract.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>

#include <boost/asio/ip/tcp.hpp>

#include "HttpMessage.hpp"

namespace httptest {

using webapp::RecordedRequest;
using webapp::test::kLinkedId;
using webapp::test::MakeJpeg;
using webapp::test::UploadBody;

void ConnectionContract::SetUp() {
    WebappTest::SetUp();
    driver_ = MakeConnectionDriver(server_, dataDir_.Path());
}

void ConnectionContract::TearDown() {
    driver_.reset();
    WebappTest::TearDown();
}

std::uint16_t UnusedLoopbackPort() {
    boost::asio::io_context io;
    boost::asio::ip::tcp::acceptor probe(io, {boost::asio::ip::make_address("127.0.0.1"), 0});
    return probe.local_endpoint().port();
}

ExchangeOutcome ConnectionContract::Make(const ClientExchange& exchange) {
    const std::vector<ExchangeOutcome> outcomes = Make(std::vector<ClientExchange>{exchange});
    return outcomes.empty() ? ExchangeOutcome{} : outcomes[0];
}

std::vector<ExchangeOutcome> ConnectionContract::Make(const std::vector<ClientExchange>& exchanges) {
    std::vector<ExchangeOutcome> outcomes = driver_->Make(exchanges);
    EXPECT_EQ(outcomes.size(), exchanges.size()) << "an exchange told nothing";
    return outcomes;
}

namespace {

const std::string kImages = "https://app.kavelo.io/api/v1/images";
const std::string kLogin = "https://app.kavelo.io/login?eid=x";

ClientExchange UploadExchange(const std::string& body) {
    ClientExchange exchange;
    exchange.url = kImages;
    exchange.post = true;
    exchange.headers = {{"X-Api-Key", kLinkedId}};
    exchange.body = body;
    return exchange;
}

ClientExchange Get(const std::string& url, unsigned timeout = 8000) {
    ClientExchange exchange;
    exchange.url = url;
    exchange.timeout = timeout;
    return exchange;
}

std::string Field(const RecordedRequest& request, const std::string& name) {
    for (const auto& [fieldName, value] : request.headers)
        if (webapp::EqualsIgnoringCase(fieldName, name))
            return value;
    return "(none)";
}

}  // namespace

TEST_F(ConnectionContract, UploadsOverVerifiedTlsAndGets201WithTheId) {
    const std::string jpeg = MakeJpeg();
    const std::string body = UploadBody(jpeg);
    const ExchangeOutcome result = Make(UploadExchange(body));
    ASSERT_EQ(result.status, 201u) << result.output << "\n"
                                   << (server_.Requests().empty() ? "" : server_.Requests()[0].requestLine);
    ASSERT_EQ(server_.Images().size(), 1u);
    EXPECT_EQ(result.body.rfind("{\"id\":\"" + server_.Images()[0].id + "\"}\n", 0), 0u) << result.output;
    std::ifstream stored(server_.Images()[0].path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(stored), std::istreambuf_iterator<char>()), jpeg);

    const std::vector<RecordedRequest> requests = server_.Requests();
    ASSERT_EQ(requests.size(), 1u);
    // Wine's WinHTTP writes the target in absolute form into the tunnel; Windows' and Beast in origin form.
    EXPECT_TRUE(requests[0].requestLine == "POST /api/v1/images HTTP/1.1" ||
                requests[0].requestLine == "POST https://app.kavelo.io:443/api/v1/images HTTP/1.1")
        << requests[0].requestLine;
    EXPECT_EQ(requests[0].body, body);
    EXPECT_EQ(Field(requests[0], "X-Api-Key"), kLinkedId);
    EXPECT_EQ(Field(requests[0], "Host"), "app.kavelo.io");
    EXPECT_EQ(Field(requests[0], "Content-Length"), std::to_string(body.size()));
}

// The same request, once through Send and once streamed in pieces with its declared length.
TEST_F(ConnectionContract, AStreamedBodyWithItsLengthGoesOutAsSendSendsIt) {
    const std::string body = UploadBody(MakeJpeg(64, 48));
    ClientExchange streamed = UploadExchange(body);
    streamed.stream = 1000;
    const std::vector<ExchangeOutcome> results = Make({UploadExchange(body), streamed});
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].status, 201u) << results[0].output;
    EXPECT_EQ(results[1].status, 201u) << results[1].output;

    const std::vector<RecordedRequest> requests = server_.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].requestLine, requests[0].requestLine);
    EXPECT_EQ(requests[1].headers, requests[0].headers);
    EXPECT_EQ(requests[1].body, body);
}

// A server that answers before it has read the body (a 413 or a 401) and closes: the answer reaches the
// caller, whether the body went whole or in pieces; the rest of the body is dropped.
TEST_F(ConnectionContract, AnAnswerGivenBeforeTheBodyIsThroughIsRead) {
    const std::string bodyFile = dataDir_.Path() + "/early-body";
    std::ofstream(bodyFile, std::ios::binary) << std::string(4 * 1024 * 1024, 'x');
    std::vector<ClientExchange> exchanges;
    std::vector<unsigned> statuses;
    for (const unsigned status : {413u, 401u}) {
        for (const std::size_t piece : {std::size_t(0), std::size_t(16384)}) {
            server_.AnswerEarlyNext(static_cast<int>(status));
            ClientExchange exchange = UploadExchange("");
            exchange.headers.clear();
            exchange.bodyFile = bodyFile;
            exchange.stream = piece;
            exchanges.push_back(exchange);
            statuses.push_back(status);
        }
    }
    const std::vector<ExchangeOutcome> results = Make(exchanges);
    for (std::size_t i = 0; i < results.size(); ++i) {
        EXPECT_TRUE(results[i].exception.empty()) << exchanges[i].stream << "\n" << results[i].output;
        EXPECT_EQ(results[i].status, statuses[i]) << exchanges[i].stream << "\n" << results[i].output;
        EXPECT_NE(results[i].body.find("answered before the body"), std::string::npos) << results[i].output;
    }
}

TEST_F(ConnectionContract, AnAbortedUploadNeverReachesTheServerWhole) {
    ClientExchange exchange = UploadExchange(std::string(20000, 'x'));
    exchange.headers.clear();
    exchange.stream = 4000;
    exchange.abortAfter = 8000;
    const ExchangeOutcome result = Make(exchange);
    EXPECT_NE(result.output.find("aborted 8000 sent "), std::string::npos) << result.output;
    EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(ConnectionContract, ARedirectIsAnAnswerLikeAnyOther) {
    server_.ScriptResponse(302, "", {{"Location", "https://app.kavelo.io/elsewhere"}});
    const ExchangeOutcome result = Make(Get(kLogin));
    EXPECT_EQ(result.status, 302u) << result.output;
    EXPECT_EQ(server_.Requests().size(), 1u) << "the Location is not followed";
}

TEST_F(ConnectionContract, ARefusedConnectionIsAConnectFailure) {
    ClientExchange exchange = Get("https://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/");
    exchange.direct = true;
    EXPECT_EQ(Make(exchange).exception, "Connect");
}

TEST_F(ConnectionContract, AnUntrustedCertificateFailsBeforeAnyRequestReachesTheServer) {
    ClientExchange exchange = Get(kLogin);
    exchange.trust = false;
    const ExchangeOutcome result = Make(exchange);
    EXPECT_EQ(result.exception, "Tls") << result.output;
    EXPECT_TRUE(server_.Requests().empty());
    EXPECT_GE(server_.Connections().accepted, 1u)
        << "the client did reach the server, and stopped at its certificate";
}

TEST_F(ConnectionContract, AStalledAnswerTimesOut) {
    server_.StallNext(std::chrono::seconds(20));
    const ExchangeOutcome result = Make(Get(kLogin, driver_->TimeOut()));
    EXPECT_EQ(result.exception, "Timeout") << result.output;
    EXPECT_EQ(server_.Requests().size(), 1u) << "the request itself went out";
}

// The server answers in pieces, each well within the time-out of one wait (T, the driver's time-out): 3/5
// of it apart. Each piece arrives in time, so only the bounds of the whole answer can end these exchanges.
class AnswerBounds : public ConnectionContract {
protected:
    ClientExchange Paced(unsigned pieces) {
        server_.PaceNext({std::chrono::milliseconds(driver_->TimeOut() * 3 / 5), pieces});
        return Get(kLogin, driver_->TimeOut());
    }
};

TEST_F(AnswerBounds, AHeaderStillIncompleteOneTimeOutAfterTheSendIsATimeout) {
    server_.ScriptResponse(204, "");  // a head alone, in 4 pieces over 1.8 T
    EXPECT_EQ(Make(Paced(4)).exception, "Timeout");
}

TEST_F(AnswerBounds, AnAnswerStillIncompleteFourTimeOutsAfterTheSendIsATimeout) {
    server_.ScriptResponse(200, std::string(4000, 'a'));  // in 9 pieces over 4.8 T
    EXPECT_EQ(Make(Paced(9)).exception, "Timeout");
}

TEST_F(AnswerBounds, ASlowAnswerWithinTheBoundsArrivesWhole) {
    const std::string body(4000, 'a');
    server_.ScriptResponse(200, body);  // in 4 pieces over 1.8 T, the head in the first
    const ExchangeOutcome result = Make(Paced(4));
    EXPECT_EQ(result.status, 200u) << result.output.substr(0, 300);
    EXPECT_EQ(result.body, body);
}

TEST_F(ConnectionContract, ABodyOverTheCapIsRefused) {
    server_.ScriptResponse(200, std::string(33 * 1024 * 1024, 'x'));
    const ExchangeOutcome result = Make(Get(kLogin));
    EXPECT_EQ(result.exception, "BodyTooLarge") << result.output.substr(0, 300);
}

}  // namespace httptest
