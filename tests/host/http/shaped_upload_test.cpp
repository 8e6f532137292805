// An export-sized upload over a slow link with a long queue: the request is still on its way long after
// the client has handed its last byte to the system, and it is answered all the same. Needs root and
// iproute2; skipped, saying what is missing, elsewhere.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "HTTP/Client/ClientConnection.hpp"
#include "HTTPControl.hpp"
#include "HTTPException.hpp"
#include "Server.hpp"
#include "ShapedLink.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The size of a 4K view's upload body.
constexpr std::size_t kBodySize = 2450 * 1000;
constexpr UInt32 kTimeout = 2000;

class ShapedUpload : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string missing = httptest::ShapedLink::Missing();
        if (!missing.empty())
            GTEST_SKIP() << "a shaped link needs " << missing;
        std::string pattern = (std::filesystem::temp_directory_path() / "kavelo-shaped-XXXXXX").string();
        ASSERT_NE(nullptr, ::mkdtemp(pattern.data()));
        dataDir_ = pattern;
    }
    void TearDown() override {
        if (!dataDir_.empty())
            std::filesystem::remove_all(dataDir_);
        HTTP::Control::ClearRoutes();
        HTTP::Control::ClearTrustAnchors();
    }

    std::string dataDir_;
};

// 2 Mbit/s with a queue of a second: the body takes about ten seconds, and the system's socket buffers
// hold more of it than the link carries in one time-out.
TEST_F(ShapedUpload, AnUploadStillOnItsWayLongAfterItsLastWriteIsAnswered) {
    httptest::ShapedLink link({2000000, milliseconds(1000)});
    webapp::ServerOptions options;
    options.dataDir = dataDir_;
    webapp::Server server(options);
    server.Start();
    server.ScriptResponse(201, "{\"id\":\"shaped\"}");
    HTTP::Control::AddTrustAnchorPem(server.CaCertPem());
    HTTP::Control::RouteHost("app.kavelo.io", 443, "127.0.0.1", server.Port());

    const std::string body(kBodySize, 'u');
    HTTP::Client::ClientConnection connection{IO::URI::URI("https://app.kavelo.io")};
    connection.SetTimeout(kTimeout);
    connection.Connect();
    HTTP::Client::Request request(HTTP::MessageHeader::Method::Post, "/api/v1/images",
                                  HTTP::MessageHeader::HTTPVersion::Version11);
    connection.Send(request, body.data(), static_cast<USize>(body.size()));
    const Clock::time_point lastWrite = Clock::now();
    HTTP::Client::Response response;
    connection.BeginReceive(response);
    connection.FinishReceive();
    connection.Close(false);

    EXPECT_EQ(201u, response.GetStatusCode());
    ASSERT_EQ(1u, server.Requests().size());
    EXPECT_EQ(body.size(), server.Requests()[0].body.size());
    const auto drained = server.Requests()[0].receivedAt - lastWrite;
    EXPECT_GT(drained, milliseconds(kTimeout)) << "the request arrived within one time-out of its last write";
    std::printf("last write to the server's last byte: %lld ms\n",
                static_cast<long long>(std::chrono::duration_cast<milliseconds>(drained).count()));
    server.Stop();
}

}  // namespace
