#include "platform/HttpClient.h"

#include <curl/curl.h>
#include <memory>
#include <mutex>

namespace envio {
namespace {

size_t appendBody(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

std::string percentEncode(std::string_view text) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += hex[u >> 4];
            out += hex[u & 0xF];
        }
    }
    return out;
}

std::string percentDecode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
                   hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string formEncode(const FormFields& fields) {
    std::string out;
    for (const auto& [name, value] : fields) {
        if (!out.empty()) {
            out += '&';
        }
        out += percentEncode(name) + '=' + percentEncode(value);
    }
    return out;
}

FormFields parseQuery(std::string_view query) {
    FormFields fields;
    while (!query.empty()) {
        const auto end = query.find('&');
        const std::string_view pair = query.substr(0, end);
        const auto equals = pair.find('=');
        if (!pair.empty()) {
            fields.emplace_back(percentDecode(pair.substr(0, equals)),
                                equals == std::string_view::npos
                                    ? std::string()
                                    : percentDecode(pair.substr(equals + 1)));
        }
        query = end == std::string_view::npos ? std::string_view() : query.substr(end + 1);
    }
    return fields;
}

CurlHttpClient::CurlHttpClient(std::optional<std::filesystem::path> caFile,
                               std::chrono::seconds timeout)
    : caFile_(std::move(caFile)), timeout_(timeout) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpResponse CurlHttpClient::postForm(const std::string& url, const FormFields& fields) {
    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> handle(curl_easy_init(),
                                                                     curl_easy_cleanup);
    if (!handle) {
        throw HttpError("no se pudo crear la conexión HTTP");
    }
    CURL* h = handle.get();
    const std::string body = formEncode(fields);
    const std::string ca = caFile_ ? caFile_->string() : std::string();
    HttpResponse response;
    char error[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    // Only HTTPS reaches a provider; plain HTTP is for the local test server on loopback.
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "https,http");
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_TIMEOUT, static_cast<long>(timeout_.count()));
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, appendBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &response.body);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!ca.empty()) {
        curl_easy_setopt(h, CURLOPT_CAINFO, ca.c_str());
    }
    const CURLcode rc = curl_easy_perform(h);
    if (rc != CURLE_OK) {
        throw HttpError(std::string(curl_easy_strerror(rc)) +
                        (error[0] != '\0' ? " (" + std::string(error) + ")" : std::string()));
    }
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &response.status);
    return response;
}

} // namespace envio
