// The image endpoint: what is stored, what is answered, and what is refused.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <thread>

#include "ImageUpload.hpp"
#include "WebappTestSupport.hpp"

namespace webapp::test {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

std::string JsonBody(const std::string& image, const char* name = "Archicad export",
                     const char* source = "archicad") {
    nlohmann::json body;
    body["image"] = image;
    if (name != nullptr) {
        body["name"] = name;
    }
    if (source != nullptr) {
        body["source"] = source;
    }
    return body.dump();
}

using ImageUploadTest = WebappTest;

TEST_F(ImageUploadTest, LinkedKeyStoresTheExactJpegAndAnswers201WithTheIdOnTheFirstLine) {
    const std::string jpeg = MakeJpeg(40, 30);

    const HttpResult answer = Upload(UploadBody(jpeg));

    ASSERT_EQ(answer.status, 201);
    EXPECT_EQ(answer.Header("Content-Type"), "application/json");
    const std::vector<StoredImage> images = server_.Images();
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(FirstLine(answer.body), "{\"id\":\"" + images[0].id + "\"}");
    EXPECT_NE(answer.body.find('\n'), std::string::npos) << "the answer has more than one line";
    EXPECT_EQ(ReadFile(images[0].path), jpeg);
    EXPECT_EQ(images[0].path, server_.ImagesDir() + "/" + images[0].id + ".jpg");
    EXPECT_EQ(images[0].bytes, jpeg.size());
    EXPECT_EQ(images[0].accountId, kLinkedId);
    EXPECT_EQ(images[0].name, "Archicad export");
    EXPECT_EQ(images[0].source, "archicad");
}

TEST_F(ImageUploadTest, MembersAreReadByNameInAnyOrder) {
    const std::string jpeg = MakeJpeg();
    const std::string body = "{\"source\":\"archicad\",\"image\":\"data:image/jpeg;base64," + Base64(jpeg) +
                             "\",\"name\":\"Archicad export\"}";

    EXPECT_EQ(Upload(body).status, 201);
}

TEST_F(ImageUploadTest, StoredImageIsServedAndListedForItsAccount) {
    const std::string jpeg = MakeJpeg();
    Upload(UploadBody(jpeg));
    const std::string id = server_.Images().at(0).id;

    const HttpResult image = Exchange(RequestText("GET", "/images/" + id + ".jpg"));
    EXPECT_EQ(image.status, 200);
    EXPECT_EQ(image.Header("Content-Type"), "image/jpeg");
    EXPECT_EQ(image.body, jpeg);

    const HttpResult list = Exchange(RequestText("GET", "/api/v1/images", {{"X-Api-Key", kLinkedId}}));
    ASSERT_EQ(list.status, 200);
    const auto listed = nlohmann::json::parse(list.body);
    ASSERT_EQ(listed["images"].size(), 1u);
    EXPECT_EQ(listed["images"][0]["id"], id);
    EXPECT_EQ(listed["images"][0]["bytes"], jpeg.size());

    EXPECT_EQ(Exchange(RequestText("GET", "/images/000000000000.jpg")).status, 404);
}

TEST_F(ImageUploadTest, UnknownOrMissingKeyIs401WithAJsonErrorAndStoresNothing) {
    const HttpResult unknown = Upload(UploadBody(MakeJpeg()), "11111111-2222-4333-8444-555555555555");
    const HttpResult missing = Exchange(RequestText("POST", "/api/v1/images", {}, UploadBody(MakeJpeg())));

    EXPECT_EQ(unknown.status, 401);
    EXPECT_EQ(missing.status, 401);
    EXPECT_TRUE(nlohmann::json::parse(unknown.body).contains("error"));
    EXPECT_TRUE(nlohmann::json::parse(missing.body).contains("error"));
    EXPECT_TRUE(server_.Images().empty());
}

TEST_F(ImageUploadTest, BodiesThatAreNotAJpegUploadAreRefused) {
    const std::string jpeg = MakeJpeg();
    const std::string dataUrl = "data:image/jpeg;base64," + Base64(jpeg);

    EXPECT_EQ(Upload("not json").status, 400);
    EXPECT_EQ(Upload("[1,2]").status, 400);
    EXPECT_EQ(Upload(JsonBody(dataUrl, nullptr)).status, 400);
    EXPECT_EQ(Upload(JsonBody(dataUrl, "Archicad export", nullptr)).status, 400);
    EXPECT_EQ(Upload(JsonBody("")).status, 400);
    EXPECT_EQ(Upload(JsonBody("data:image/png;base64," + Base64(jpeg))).status, 400);
    EXPECT_EQ(Upload(JsonBody("data:image/jpeg;base64,@@@@")).status, 400);
    EXPECT_EQ(Upload(JsonBody("data:image/jpeg;base64," + Base64("plain text, no image"))).status, 422);
    EXPECT_EQ(Upload(JsonBody("data:image/jpeg;base64," + Base64(jpeg.substr(0, jpeg.size() / 2)))).status,
              422);
    EXPECT_TRUE(server_.Images().empty());
}

class SmallLimitUpload : public WebappTest {
protected:
    static constexpr std::size_t kLimit = 64 * 1024;
    static ServerOptions Options() {
        ServerOptions options;
        options.maxBodyBytes = kLimit;
        return options;
    }
    SmallLimitUpload() : WebappTest(Options()) {}
};

TEST_F(SmallLimitUpload, BodyAboveTheLimitIs413AndItsHeadIsRecordedWithoutTheBody) {
    const std::string atLimit(kLimit, 'x');
    const std::string aboveLimit(kLimit + 1, 'x');

    EXPECT_EQ(Upload(atLimit).status, 400) << "a body of exactly the limit is read and judged";
    server_.ClearRequests();
    const HttpResult refused = Upload(aboveLimit);

    EXPECT_EQ(refused.status, 413);
    EXPECT_TRUE(nlohmann::json::parse(refused.body).contains("error"));
    const auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].requestLine, "POST /api/v1/images HTTP/1.1");
    EXPECT_TRUE(requests[0].body.empty());
    EXPECT_TRUE(server_.Images().empty());
    // The refused body is read all the same (so that the client hears the answer): its bytes count.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_GE(server_.Connections().requestBytes, atLimit.size() + aboveLimit.size());
}

TEST_F(ImageUploadTest, UploadAboveTheDefaultLimitOf20MiBIs413) {
    const std::string jpeg = MakeJpeg();
    // A valid upload padded past 20 MiB with JSON white space: only the size is wrong with it.
    const std::string body = UploadBody(jpeg) + std::string(20 * 1024 * 1024, ' ');

    EXPECT_EQ(Upload(body).status, 413);
    EXPECT_EQ(Upload(UploadBody(jpeg)).status, 201) << "the server still serves after a refused body";
}

TEST(ImageUploadDecoding, Base64IsStrictRfc4648) {
    EXPECT_EQ(DecodeBase64("TWFu"), "Man");
    EXPECT_EQ(DecodeBase64("TWE="), "Ma");
    EXPECT_EQ(DecodeBase64("TQ=="), "M");
    EXPECT_EQ(DecodeBase64(""), "");
    EXPECT_FALSE(DecodeBase64("TWE"));
    EXPECT_FALSE(DecodeBase64("TW=u"));
    EXPECT_FALSE(DecodeBase64("TWF u"));
    EXPECT_FALSE(DecodeBase64("TR=="));  // bits beyond the last byte set
    EXPECT_FALSE(DecodeBase64("TWFu-_=="));
}

}  // namespace
}  // namespace webapp::test
