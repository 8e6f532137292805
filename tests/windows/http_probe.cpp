// One HTTPS exchange through the host library's HTTP client, the way the module makes one, for the
// driver of the Windows client's tests: http_probe --url URL [--method GET|POST] [--header "Name: value"]...
// [--body TEXT | --body-file PATH] [--timeout MS] [--trust PEM-FILE] [--stream PIECE] [--abort-after N]
// --stream sends the body through BeginSend with its Content-Length, PIECE bytes a write; --abort-after
// (with --stream) aborts once N bytes of the body were written and prints "aborted N" and the sent count;
// --flush yes (with --stream) flushes after the last write until a flush returns within 250 ms, printing
// "flush MS" for each. --proxy system (the default) makes the connection with the system's proxy, none with
// the URL alone, HOST:PORT with that proxy (its bypass list empty).
// Prints "status N", "reason R" and "body N" followed by the N body bytes;
// or, when the client throws, "exception KIND message". The exit status is 0 either way; 2 for misuse.
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "HTTP/Client/ClientConnection.hpp"
#include "HTTP/Client/Request.hpp"
#include "HTTP/Client/Response.hpp"
#include "HTTP/Encoding/BodyIBinaryChannel.hpp"
#include "HTTPControl.hpp"
#include "HTTPException.hpp"
#include "IBinaryChannelUtilities.hpp"
#include "IOBinProtocolXs.hpp"
#include "URI.hpp"

namespace {

const char* KindName(HTTP::Exception::Kind kind) {
    static const char* const kNames[] = {"Usage", "Resolve", "Connect",  "Tls",         "Timeout",
                                         "Send",  "Receive", "Protocol", "BodyTooLarge"};
    return kNames[static_cast<int>(kind)];
}

struct Arguments {
    std::string url;
    HTTP::MessageHeader::Method::Id method = HTTP::MessageHeader::Method::Get;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    UInt32 timeout = 8000;
    std::string trust;
    std::size_t stream = 0;  // bytes a write; 0: the body goes through Send
    std::size_t abortAfter = std::string::npos;
    bool flush = false;
    std::string proxy = "system";
};

[[noreturn]] void Usage(const std::string& why) {
    std::fprintf(stderr, "http_probe: %s\n", why.c_str());
    std::exit(2);
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        Usage("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Arguments Parse(int argc, char** argv) {
    Arguments arguments;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const std::string value = argv[i + 1];
        if (option == "--url") {
            arguments.url = value;
        } else if (option == "--method") {
            arguments.method =
                value == "POST" ? HTTP::MessageHeader::Method::Post : HTTP::MessageHeader::Method::Get;
        } else if (option == "--header") {
            const std::size_t colon = value.find(": ");
            if (colon == std::string::npos)
                Usage("a header is \"Name: value\"");
            arguments.headers.emplace_back(value.substr(0, colon), value.substr(colon + 2));
        } else if (option == "--body") {
            arguments.body = value;
        } else if (option == "--body-file") {
            arguments.body = ReadText(value);
        } else if (option == "--timeout") {
            arguments.timeout = static_cast<UInt32>(std::strtoul(value.c_str(), nullptr, 10));
        } else if (option == "--trust") {
            arguments.trust = value;
        } else if (option == "--stream") {
            arguments.stream = std::strtoul(value.c_str(), nullptr, 10);
        } else if (option == "--abort-after") {
            arguments.abortAfter = std::strtoul(value.c_str(), nullptr, 10);
        } else if (option == "--flush") {
            arguments.flush = value == "yes";
        } else if (option == "--proxy") {
            arguments.proxy = value;
        } else {
            Usage("unknown option " + option);
        }
    }
    if (arguments.url.empty())
        Usage("--url is required");
    return arguments;
}

// Writes the body in pieces; false when it aborted.
bool Stream(const Arguments& arguments, HTTP::Client::ClientConnection& connection,
            HTTP::Client::Request& request) {
    const std::string& body = arguments.body;
    request.GetRequestHeaderFieldCollection().Add(GS::UniString("Content-Length"),
                                                  GS::UniString(std::to_string(body.size()).c_str()));
    HTTP::Encoding::BodyOBinaryChannel& out = connection.BeginSend(request);
    for (std::size_t at = 0; at < body.size(); at += arguments.stream) {
        if (at >= arguments.abortAfter) {
            connection.Abort();
            std::printf("aborted %zu sent %llu\n", at,
                        static_cast<unsigned long long>(connection.GetSentDataCount()));
            return false;
        }
        out.Write(body.data() + at, static_cast<USize>(std::min(arguments.stream, body.size() - at)));
    }
    for (long long took = 250; arguments.flush && took >= 250;) {
        const auto start = std::chrono::steady_clock::now();
        out.Flush();
        took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                   .count();
        std::printf("flush %lld\n", took);
    }
    connection.FinishSend();
    return true;
}

void Exchange(const Arguments& arguments) {
    IO::URI::URI uri(arguments.url.c_str());
    std::unique_ptr<HTTP::Client::ClientConnection> made;
    if (arguments.proxy == "none")
        made = std::make_unique<HTTP::Client::ClientConnection>(uri);
    else if (arguments.proxy == "system")
        made = std::make_unique<HTTP::Client::ClientConnection>(uri, true);
    else
        made = std::make_unique<HTTP::Client::ClientConnection>(
            uri, GS::UniString(arguments.proxy.c_str(), CC_UTF8), UShort(0), GS::UniString(""));
    HTTP::Client::ClientConnection& connection = *made;
    connection.SetTimeout(arguments.timeout);
    connection.Connect();
    const std::string path = uri.GetPath().ToCStr(0, MaxUSize, CC_UTF8).Get();
    const std::string query = uri.GetQuery().ToCStr(0, MaxUSize, CC_UTF8).Get();
    HTTP::Client::Request request(arguments.method,
                                  GS::UniString((path + (query.empty() ? "" : "?" + query)).c_str(), CC_UTF8),
                                  HTTP::MessageHeader::HTTPVersion::Version11);
    for (const auto& header : arguments.headers)
        request.GetRequestHeaderFieldCollection().Add(GS::UniString(header.first.c_str(), CC_UTF8),
                                                      GS::UniString(header.second.c_str(), CC_UTF8));
    if (arguments.stream == 0) {
        connection.Send(request, arguments.body.data(), static_cast<USize>(arguments.body.size()));
    } else if (!Stream(arguments, connection, request)) {
        return;
    }
    HTTP::Client::Response response;
    HTTP::Encoding::BodyIBinaryChannel& channel = connection.BeginReceive(response);
    std::printf("status %u\n", static_cast<unsigned>(response.GetStatusCode()));
    std::printf("reason %s\n", response.GetReasonPhrase().ToCStr(0, MaxUSize, CC_UTF8).Get());
    std::string body;
    char buffer[4096];
    for (USize got; (got = channel.Read(buffer, sizeof buffer)) > 0;) body.append(buffer, got);
    connection.FinishReceive();
    connection.Close(false);
    std::printf("body %u\n", static_cast<unsigned>(body.size()));
    std::fwrite(body.data(), 1, body.size(), stdout);
}

}  // namespace

int main(int argc, char** argv) {
    // The body goes out byte for byte: no CR before each LF.
    _setmode(_fileno(stdout), _O_BINARY);
    const Arguments arguments = Parse(argc, argv);
    if (!arguments.trust.empty())
        HTTP::Control::AddTrustAnchorPem(ReadText(arguments.trust));
    try {
        Exchange(arguments);
    } catch (const HTTP::Exception& error) {
        std::printf("exception %s %s\n", KindName(error.GetKind()), error.what());
    }
    HTTP::Control::ClearTrustAnchors();
    std::fflush(stdout);
    return 0;
}
