// Handlers for each route; every answer carries its content type, framing is added on the wire.
#include "Router.hpp"

#include <exception>
#include <nlohmann/json.hpp>
#include <variant>

#include "Assets.hpp"
#include "ImageUpload.hpp"
#include "Pages.hpp"

namespace webapp {
namespace {

constexpr const char* kImagesPath = "/api/v1/images";
constexpr const char* kImageFolder = "/images/";
constexpr const char* kJpegSuffix = ".jpg";

Response Html(int status, std::string page) {
    return Response{status,
                    {{"Content-Type", "text/html; charset=utf-8"},
                     {"Cache-Control", "no-store"},
                     {"Content-Security-Policy", kPagePolicy}},
                    std::move(page)};
}

Response Json(int status, const nlohmann::json& value) {
    return Response{status,
                    {{"Content-Type", "application/json"}, {"Cache-Control", "no-store"}},
                    value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)};
}

Response JsonError(int status, const std::string& message) {
    return Json(status, nlohmann::json{{"error", message}});
}

Response NotFound() {
    return Response{404, {{"Content-Type", "text/plain; charset=utf-8"}}, "Not found\n"};
}

Response MethodNotAllowed(const char* allowed) {
    return Response{
        405, {{"Content-Type", "text/plain; charset=utf-8"}, {"Allow", allowed}}, "Method not allowed\n"};
}

nlohmann::json ImageEntry(const StoredImage& image) {
    return nlohmann::json{{"id", image.id},
                          {"url", kImageFolder + image.id + kJpegSuffix},
                          {"bytes", image.bytes},
                          {"name", image.name},
                          {"source", image.source}};
}

nlohmann::json ImageList(const std::vector<StoredImage>& images) {
    nlohmann::json list = nlohmann::json::array();
    for (const StoredImage& image : images) {
        list.push_back(ImageEntry(image));
    }
    return nlohmann::json{{"images", list}};
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

Router::Router(Accounts& accounts, ImageStore& images) : accounts_(accounts), images_(images) {}

Response Router::Handle(const Request& request) const {
    const std::string path = request.Path();
    const bool get = request.method == "GET";
    const bool post = request.method == "POST";
    if (path == "/login") {
        return get ? LoginPage(request) : post ? ConfirmLogin(request) : MethodNotAllowed("GET, POST");
    }
    if (path == kImagesPath) {
        return post ? Upload(request) : get ? ListOwnImages(request) : MethodNotAllowed("GET, POST");
    }
    if (StartsWith(path, kImageFolder) && EndsWith(path, kJpegSuffix)) {
        return get ? ServeImage(path) : MethodNotAllowed("GET");
    }
    if (path == "/" && request.Query().count("uploadRealtime") != 0) {
        return get ? LivePage(request) : MethodNotAllowed("GET");
    }
    if (path == "/live/images") {
        return get ? ListAllImages() : MethodNotAllowed("GET");
    }
    if (const std::optional<Asset> asset = FindAsset(path)) {
        return get ? Response{200,
                              {{"Content-Type", asset->contentType}, {"Cache-Control", "no-cache"}},
                              asset->text}
                   : MethodNotAllowed("GET");
    }
    return NotFound();
}

Response Router::LoginPage(const Request& request) const {
    const auto query = request.Query();
    const auto eid = query.find("eid");
    if (eid == query.end() || !IsLinkIdentifier(eid->second)) {
        return Html(400, MessagePage("KAVELO login", "This login link is not valid."));
    }
    return Html(200, webapp::LoginPage(eid->second, accounts_.IsLinked(eid->second)));
}

Response Router::ConfirmLogin(const Request& request) const {
    const auto form = ParseFormEncoded(request.body);
    const auto eid = form.find("eid");
    if (eid == form.end() || !IsLinkIdentifier(eid->second)) {
        return Html(400, MessagePage("KAVELO login", "This login link is not valid."));
    }
    accounts_.Link(eid->second);
    return Html(200, LinkedPage(eid->second));
}

Response Router::Upload(const Request& request) const {
    const std::optional<std::string> key = request.Header("X-Api-Key");
    if (!key) {
        return JsonError(401, "missing X-Api-Key header");
    }
    if (!accounts_.IsLinked(*key)) {
        return JsonError(401, "unknown API key");
    }
    std::variant<ImageUpload, UploadRefusal> upload = ReadImageUpload(request.body);
    if (const auto* refusal = std::get_if<UploadRefusal>(&upload)) {
        return JsonError(refusal->status, refusal->message);
    }
    const ImageUpload& image = std::get<ImageUpload>(upload);
    StoredImage stored;
    try {
        stored = images_.Store(image.jpeg, *key, image.name, image.source);
    } catch (const std::exception& error) {
        return JsonError(500, error.what());
    }
    // The client reads the id from the first line only; the second line is there so it sees several.
    const std::string body = nlohmann::json{{"id", stored.id}}.dump() + "\n" +
                             nlohmann::json{{"status", "stored"}, {"bytes", stored.bytes}}.dump();
    return Response{
        201,
        {{"Content-Type", "application/json"}, {"Location", kImageFolder + stored.id + kJpegSuffix}},
        body};
}

Response Router::ListOwnImages(const Request& request) const {
    const std::optional<std::string> key = request.Header("X-Api-Key");
    if (!key) {
        return JsonError(401, "missing X-Api-Key header");
    }
    if (!accounts_.IsLinked(*key)) {
        return JsonError(401, "unknown API key");
    }
    return Json(200, ImageList(images_.OfAccount(*key)));
}

Response Router::ServeImage(const std::string& path) const {
    const std::string file = path.substr(std::string(kImageFolder).size());
    const std::string id = file.substr(0, file.size() - std::string(kJpegSuffix).size());
    if (!IsImageId(id)) {
        return NotFound();
    }
    std::optional<std::string> bytes = images_.Read(id);
    if (!bytes) {
        return NotFound();
    }
    return Response{200, {{"Content-Type", "image/jpeg"}}, std::move(*bytes)};
}

Response Router::LivePage(const Request& request) const {
    const auto query = request.Query();
    if (query.at("uploadRealtime") != "true") {
        return NotFound();
    }
    const auto imageId = query.find("imageId");
    const std::string highlight = imageId == query.end() ? "" : imageId->second;
    return Html(200, webapp::LivePage(images_.All(), highlight));
}

Response Router::ListAllImages() const {
    return Json(200, ImageList(images_.All()));
}

}  // namespace webapp
