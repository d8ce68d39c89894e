#include "TestOAuthServer.h"

#include <chrono>
#include <curl/curl.h>
#include <regex>
#include <stdexcept>
#include <thread>

#ifndef ENVIO_OAUTHSERVER_SCRIPT
#error "ENVIO_OAUTHSERVER_SCRIPT must be the absolute path of test_oauth_server.py, as a string"
#endif

namespace envio::test {
namespace {

size_t keep(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

// One request; the body of the answer, which must be 200.
std::string request(const std::string& url, bool post) {
    CURL* h = curl_easy_init();
    std::string body;
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_TIMEOUT, 20L);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, keep);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
    if (post) {
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, "");
    }
    const CURLcode rc = curl_easy_perform(h);
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(h);
    if (rc != CURLE_OK || status != 200) {
        throw std::runtime_error("the test OAuth server did not answer " + url + ": " +
                                 curl_easy_strerror(rc) + ", HTTP " + std::to_string(status));
    }
    return body;
}

} // namespace

TestOAuthServer::TestOAuthServer(const OAuthServerOptions& options) {
    std::vector<std::string> arguments{
        "/usr/bin/python3",
        ENVIO_OAUTHSERVER_SCRIPT,
        "--tokens=" + tokensFile().string(),
        "--client-id=" + options.clientId,
        "--account=" + options.account,
        "--token-lifetime=" + std::to_string(options.tokenLifetimeSeconds),
        "--interval=" + std::to_string(options.deviceIntervalSeconds)};
    if (!options.clientSecret.empty()) {
        arguments.push_back("--client-secret=" + options.clientSecret);
    }
    ProcessOptions process;
    process.standardOutput = folder_ / "ready";
    process.standardError = folder_ / "log";
    // A crashed test must not leave the server behind.
    process.stopWithTest = true;
    process_ = std::make_unique<ChildProcess>(arguments, process);
    const std::regex ready(R"(READY port=(\d+))");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        std::smatch match;
        const std::string text = TemporaryFolder::readPath(folder_ / "ready");
        if (std::regex_search(text, match, ready)) {
            port_ = static_cast<std::uint16_t>(std::stoi(match[1]));
            return;
        }
        if (!process_->running()) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    throw std::runtime_error("the test OAuth server did not start: " +
                             TemporaryFolder::readPath(folder_ / "log"));
}

TestOAuthServer::~TestOAuthServer() {
    process_->stop(std::chrono::seconds(5));
}

std::string TestOAuthServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void TestOAuthServer::answerDeviceCode(const std::string& userCode, bool approve) const {
    request(url("/device?user_code=" + userCode + (approve ? "" : "&deny=1")), false);
}

void TestOAuthServer::revokeRefreshTokens() const {
    request(url("/admin/revoke"), true);
}

void TestOAuthServer::expireAccessTokens() const {
    request(url("/admin/expire"), true);
}

int TestOAuthServer::count(const std::string& grant) const {
    const std::string body = request(url("/admin/stats"), false);
    const std::regex field("\"" + grant + "\": (\\d+)");
    std::smatch match;
    return std::regex_search(body, match, field) ? std::stoi(match[1]) : -1;
}

long TestOAuthServer::browse(const std::string& url) {
    CURL* h = curl_easy_init();
    std::string body;
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_TIMEOUT, 20L);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, keep);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
    long status = 0;
    if (curl_easy_perform(h) == CURLE_OK) {
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    }
    curl_easy_cleanup(h);
    return status;
}

} // namespace envio::test
