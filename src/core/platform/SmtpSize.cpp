#include "platform/SmtpSize.h"

#include <cctype>
#include <curl/curl.h>
#include <memory>

namespace envio {
namespace {

int collectReplies(CURL*, curl_infotype type, char* data, size_t size, void* out) {
    if (type == CURLINFO_HEADER_IN) {
        static_cast<std::string*>(out)->append(data, size);
    }
    return 0;
}

std::size_t discard(char*, std::size_t size, std::size_t count, void*) {
    return size * count;
}

} // namespace

std::optional<std::uintmax_t> sizeFromEhlo(const std::string& ehloReply) {
    std::size_t start = 0;
    while (start < ehloReply.size()) {
        auto end = ehloReply.find('\n', start);
        if (end == std::string::npos) {
            end = ehloReply.size();
        }
        std::string line = ehloReply.substr(start, end - start);
        start = end + 1;
        // "250-SIZE 10240000" or "250 SIZE 10240000"
        if (line.size() < 9 || line.compare(0, 3, "250") != 0) {
            continue;
        }
        std::string keyword = line.substr(4, 4);
        for (auto& c : keyword) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        if (keyword != "SIZE" || (line.size() > 8 && line[8] != ' ')) {
            continue;
        }
        std::uintmax_t value = 0;
        bool digits = false;
        for (std::size_t i = 9;
             i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])); ++i) {
            value = value * 10 + static_cast<std::uintmax_t>(line[i] - '0');
            digits = true;
        }
        return digits && value > 0 ? std::optional(value) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::uintmax_t> askSmtpSize(const SmtpSizeQuery& query) {
    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> handle(curl_easy_init(),
                                                                     curl_easy_cleanup);
    if (!handle || query.host.empty() || query.port <= 0 || query.port > 65535) {
        return std::nullopt;
    }
    CURL* h = handle.get();
    const std::string url = std::string(query.implicitTls ? "smtps://" : "smtp://") + query.host +
                            ":" + std::to_string(query.port);
    std::string replies;
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, static_cast<long>(query.timeout.count()));
    curl_easy_setopt(h, CURLOPT_TIMEOUT, static_cast<long>(query.timeout.count()) * 2);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    if (query.caFile) {
        curl_easy_setopt(h, CURLOPT_CAINFO, query.caFile->c_str());
    }
    // No credentials and no mail: EHLO, the harmless NOOP, QUIT. A server that wants STARTTLS
    // first still lists its extensions in the first EHLO reply.
    curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, "NOOP");
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, discard);
    curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, collectReplies);
    curl_easy_setopt(h, CURLOPT_DEBUGDATA, &replies);
    curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
    curl_easy_perform(h); // the replies up to a failure still tell the size
    return sizeFromEhlo(replies);
}

} // namespace envio
