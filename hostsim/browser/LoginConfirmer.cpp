// A minimal browser: one GET, one form submission, over the host's HTTP client.
#include "LoginConfirmer.hpp"

#include <cctype>
#include <cstdio>

#include "HTTP/Client/ClientConnection.hpp"
#include "HTTP/Client/Request.hpp"
#include "HTTP/Client/Response.hpp"
#include "HTTP/Encoding/BodyIBinaryChannel.hpp"
#include "HTTPException.hpp"
#include "Text.hpp"
#include "URI.hpp"

namespace hostsim {

namespace {

constexpr UInt32 kTimeoutMs = 8000;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string DecodeEntities(const std::string& text) {
    static const std::pair<const char*, char> kEntities[] = {
        {"&amp;", '&'}, {"&quot;", '"'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&#39;", '\''}, {"&#x27;", '\''}};
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        bool replaced = false;
        for (const auto& [entity, character] : kEntities) {
            const std::string name(entity);
            if (text.compare(i, name.size(), name) == 0) {
                out.push_back(character);
                i += name.size();
                replaced = true;
                break;
            }
        }
        if (!replaced)
            out.push_back(text[i++]);
    }
    return out;
}

// The value of attribute `name` in the tag text `tag` (between '<' and '>'), quoted with " or '.
std::string Attribute(const std::string& tag, const std::string& name) {
    const std::string lower = Lower(tag);
    for (std::size_t at = lower.find(name + "="); at != std::string::npos;
         at = lower.find(name + "=", at + 1)) {
        if (at > 0 && !std::isspace(static_cast<unsigned char>(lower[at - 1])))
            continue;
        std::size_t start = at + name.size() + 1;
        if (start >= tag.size())
            return std::string();
        const char quote = tag[start];
        if (quote == '"' || quote == '\'') {
            const auto end = tag.find(quote, start + 1);
            return DecodeEntities(
                tag.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1));
        }
        const auto end = tag.find_first_of(" \t\r\n/", start);
        return DecodeEntities(tag.substr(start, end == std::string::npos ? std::string::npos : end - start));
    }
    return std::string();
}

std::string PercentEncode(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out.push_back(static_cast<char>(c));
        } else if (c == ' ') {
            out.push_back('+');
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            out += escaped;
        }
    }
    return out;
}

struct Exchange {
    UInt32 status = 0;
    std::string body;
};

// One request on its own connection. Returns false with *error saying why when the exchange fails.
bool Fetch(const std::string& origin, HTTP::MessageHeader::Method::Id method, const std::string& target,
           const std::string& body, Exchange* exchange, std::string* error) {
    try {
        const IO::URI::URI uri(origin.c_str());
        // A person's browser takes the system's proxy.
        HTTP::Client::ClientConnection connection(uri, true);
        connection.SetTimeout(kTimeoutMs);
        connection.Connect();
        HTTP::Client::Request request(method, GS::UniString(target.c_str(), CC_UTF8),
                                      HTTP::MessageHeader::HTTPVersion::Version11);
        request.GetRequestHeaderFieldCollection().Add("Accept", "text/html");
        if (method == HTTP::MessageHeader::Method::Post)
            request.GetRequestHeaderFieldCollection().Add("Content-Type",
                                                          "application/x-www-form-urlencoded");
        connection.Send(request, body.data(), static_cast<USize>(body.size()));
        HTTP::Client::Response response;
        HTTP::Encoding::BodyIBinaryChannel& channel = connection.BeginReceive(response);
        char buffer[16384];
        for (USize read = channel.Read(buffer, sizeof buffer); read > 0;
             read = channel.Read(buffer, sizeof buffer))
            exchange->body.append(buffer, read);
        connection.FinishReceive();
        connection.Close(false);
        exchange->status = response.GetStatusCode();
        return true;
    } catch (const std::exception& e) {
        *error = e.what();
        return false;
    }
}

}  // namespace

bool FindFirstForm(const std::string& html, HtmlForm* form) {
    const std::string lower = Lower(html);
    const auto formStart = lower.find("<form");
    if (formStart == std::string::npos)
        return false;
    const auto formTagEnd = lower.find('>', formStart);
    const auto formEnd = lower.find("</form", formStart);
    if (formTagEnd == std::string::npos)
        return false;
    const std::string formTag = html.substr(formStart + 1, formTagEnd - formStart - 1);
    HtmlForm parsed;
    parsed.method = Lower(Attribute(formTag, "method"));
    if (parsed.method.empty())
        parsed.method = "get";
    parsed.action = Attribute(formTag, "action");
    const auto limit = formEnd == std::string::npos ? lower.size() : formEnd;
    for (auto at = lower.find("<input", formTagEnd); at != std::string::npos && at < limit;
         at = lower.find("<input", at + 1)) {
        const auto end = lower.find('>', at);
        if (end == std::string::npos)
            break;
        const std::string tag = html.substr(at + 1, end - at - 1);
        const std::string name = Attribute(tag, "name");
        if (!name.empty())
            parsed.fields.emplace_back(name, Attribute(tag, "value"));
    }
    *form = std::move(parsed);
    return true;
}

std::string EncodeForm(const std::vector<std::pair<std::string, std::string>>& fields) {
    std::string text;
    for (const auto& [name, value] : fields) {
        if (!text.empty())
            text.push_back('&');
        text += PercentEncode(name) + "=" + PercentEncode(value);
    }
    return text;
}

LoginConfirmer MakeHttpsLoginConfirmer() {
    return [](const std::string& url, std::string* outcome) {
        const IO::URI::URI uri(url.c_str());
        if (!uri.IsValid() || ToUtf8(uri.GetScheme()) != "https") {
            *outcome = "not an https URL: " + url;
            return false;
        }
        const std::string origin = "https://" + ToUtf8(uri.GetHost()) + ":" + std::to_string(uri.GetPort());
        std::string target = ToUtf8(uri.GetPath());
        if (target.empty())
            target = "/";
        if (!uri.GetQuery().IsEmpty())
            target += "?" + ToUtf8(uri.GetQuery());

        Exchange page;
        std::string error;
        if (!Fetch(origin, HTTP::MessageHeader::Method::Get, target, std::string(), &page, &error)) {
            *outcome = "GET " + target + " failed: " + error;
            return false;
        }
        if (page.status != 200) {
            *outcome = "GET " + target + " answered " + std::to_string(page.status);
            return false;
        }
        HtmlForm form;
        if (!FindFirstForm(page.body, &form) || form.method != "post" || form.action.empty() ||
            form.action.front() != '/') {
            *outcome = "the login page has no form to submit";
            return false;
        }
        Exchange confirmation;
        if (!Fetch(origin, HTTP::MessageHeader::Method::Post, form.action, EncodeForm(form.fields),
                   &confirmation, &error)) {
            *outcome = "POST " + form.action + " failed: " + error;
            return false;
        }
        *outcome = "POST " + form.action + " (" + EncodeForm(form.fields) + ") answered " +
                   std::to_string(confirmation.status);
        return confirmation.status == 200;
    };
}

}  // namespace hostsim
