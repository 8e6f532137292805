// The plain-data exchanges and their outcomes: the probe's command line both ways, and its output read.
#include "ClientExchange.hpp"

#include <stdexcept>

namespace httptest {

std::vector<std::string> ProbeArguments(const std::vector<ClientExchange>& exchanges,
                                        const std::string& caPath) {
    std::vector<std::string> all;
    for (const ClientExchange& exchange : exchanges) {
        if (!all.empty())
            all.push_back("--then");
        all.insert(all.end(), {"--url", exchange.url, "--method", exchange.post ? "POST" : "GET", "--timeout",
                               std::to_string(exchange.timeout), "--proxy", exchange.proxy});
        for (const auto& [name, value] : exchange.headers)
            all.insert(all.end(), {"--header", name + ": " + value});
        if (!exchange.bodyFile.empty())
            all.insert(all.end(), {"--body-file", exchange.bodyFile});
        else if (!exchange.body.empty())
            all.insert(all.end(), {"--body", exchange.body});
        if (exchange.trust)
            all.insert(all.end(), {"--trust", caPath});
        if (exchange.stream != 0)
            all.insert(all.end(), {"--stream", std::to_string(exchange.stream)});
        if (exchange.abortAfter != std::string::npos)
            all.insert(all.end(), {"--abort-after", std::to_string(exchange.abortAfter)});
        if (exchange.flush)
            all.insert(all.end(), {"--flush", "yes"});
    }
    return all;
}

namespace {

std::size_t Number(const std::string& text) {
    std::size_t used = 0;
    const unsigned long long value = std::stoull(text, &used);
    if (used != text.size())
        throw std::invalid_argument("not a number: " + text);
    return static_cast<std::size_t>(value);
}

void Apply(const std::string& option, const std::string& value, ClientExchange* exchange,
           std::string* caPath) {
    if (option == "--url") {
        exchange->url = value;
    } else if (option == "--method") {
        exchange->post = value == "POST";
    } else if (option == "--header") {
        const std::size_t colon = value.find(": ");
        if (colon == std::string::npos)
            throw std::invalid_argument("a header is \"Name: value\"");
        exchange->headers.emplace_back(value.substr(0, colon), value.substr(colon + 2));
    } else if (option == "--body") {
        exchange->body = value;
    } else if (option == "--body-file") {
        exchange->bodyFile = value;
    } else if (option == "--timeout") {
        exchange->timeout = static_cast<unsigned>(Number(value));
    } else if (option == "--trust") {
        *caPath = value;
    } else if (option == "--stream") {
        exchange->stream = Number(value);
    } else if (option == "--abort-after") {
        exchange->abortAfter = Number(value);
    } else if (option == "--flush") {
        exchange->flush = value == "yes";
    } else if (option == "--proxy") {
        exchange->proxy = value;
    } else {
        throw std::invalid_argument("unknown option " + option);
    }
}

}  // namespace

std::vector<ClientExchange> ParseProbeArguments(const std::vector<std::string>& arguments,
                                                std::vector<std::string>* caPaths) {
    std::vector<ClientExchange> exchanges(1);
    caPaths->assign(1, std::string());
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--then") {
            exchanges.emplace_back();
            caPaths->emplace_back();
            continue;
        }
        if (i + 1 == arguments.size())
            throw std::invalid_argument(arguments[i] + " needs a value");
        Apply(arguments[i], arguments[i + 1], &exchanges.back(), &caPaths->back());
        ++i;
    }
    for (ClientExchange& exchange : exchanges) {
        if (exchange.url.empty())
            throw std::invalid_argument("--url is required");
        exchange.trust = false;  // the caller adds the authorities it was given
    }
    return exchanges;
}

std::string FrameOutput(const std::string& output) {
    return "exchange " + std::to_string(output.size()) + "\n" + output;
}

std::vector<ExchangeOutcome> ParseOutcomes(const std::string& framed) {
    std::vector<ExchangeOutcome> outcomes;
    const std::string mark = "exchange ";
    // Wine may print its own lines before the program's first.
    for (std::size_t at = framed.find(mark); at != std::string::npos;) {
        const std::size_t end = framed.find('\n', at);
        if (end == std::string::npos)
            break;
        const std::size_t size = std::stoul(framed.substr(at + mark.size(), end - at - mark.size()));
        outcomes.push_back(ParseOutcome(framed.substr(end + 1, size)));
        at = framed.find(mark, end + 1 + size);
    }
    return outcomes;
}

ExchangeOutcome ParseOutcome(const std::string& output) {
    ExchangeOutcome result;
    result.output = output;
    const std::size_t exception = output.rfind("exception ", 0) == 0 ? 0 : output.find("\nexception ");
    if (exception != std::string::npos) {
        const std::size_t kind = output.find(' ', exception) + 1;
        result.exception = output.substr(kind, output.find(' ', kind) - kind);
    }
    std::size_t at = 0;
    while (at < output.size()) {
        const std::size_t end = output.find('\n', at);
        const std::string line = output.substr(at, end - at);
        at = end == std::string::npos ? output.size() : end + 1;
        if (line.rfind("status ", 0) == 0)
            result.status = static_cast<unsigned>(std::stoul(line.substr(7)));
        if (line.rfind("body ", 0) == 0) {
            result.body = output.substr(at, std::stoul(line.substr(5)));
            break;
        }
    }
    return result;
}

}  // namespace httptest
