#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace envio {

struct HttpResponse {
    long status = 0;
    std::string body;
};

// The request never got an answer: no connection, TLS refused, timed out.
class HttpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using FormFields = std::vector<std::pair<std::string, std::string>>;

// The few HTTP requests that signing in to a mail provider needs. Tests use the real one
// against a local server, or a fake.
class HttpClient {
public:
    virtual ~HttpClient() = default;
    // POSTs `fields` as application/x-www-form-urlencoded and returns whatever status came back;
    // throws HttpError when no answer came.
    virtual HttpResponse postForm(const std::string& url, const FormFields& fields) = 0;
};

// libcurl, verifying the server's certificate against the system's store or `caFile`.
class CurlHttpClient final : public HttpClient {
public:
    explicit CurlHttpClient(std::optional<std::filesystem::path> caFile = std::nullopt,
                            std::chrono::seconds timeout = std::chrono::seconds(30));
    HttpResponse postForm(const std::string& url, const FormFields& fields) override;

private:
    std::optional<std::filesystem::path> caFile_;
    std::chrono::seconds timeout_;
};

// RFC 3986 percent-encoding of everything but the unreserved characters.
std::string percentEncode(std::string_view text);
std::string percentDecode(std::string_view text);
std::string formEncode(const FormFields& fields);
// "a=1&b=2" into its fields, decoded ('+' is a blank).
FormFields parseQuery(std::string_view query);

} // namespace envio
