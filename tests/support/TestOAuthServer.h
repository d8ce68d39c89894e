#pragma once

#include "ChildProcess.h"
#include "TemporaryFolder.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace envio::test {

struct OAuthServerOptions {
    std::string clientId = "cliente-de-prueba";
    std::string clientSecret; // empty: none required
    std::string account = "oficina@example.com";
    int tokenLifetimeSeconds = 3600;
    int deviceIntervalSeconds = 5;
};

// The local OAuth2 authorization server (tools/oauthserver/test_oauth_server.py) in a child
// process on 127.0.0.1. Throws std::runtime_error with its output when it does not start.
class TestOAuthServer {
public:
    explicit TestOAuthServer(const OAuthServerOptions& options = {});
    ~TestOAuthServer();
    TestOAuthServer(const TestOAuthServer&) = delete;
    TestOAuthServer& operator=(const TestOAuthServer&) = delete;

    [[nodiscard]] std::string url(const std::string& path) const;
    // The file of valid access tokens, for TestMailServer's oauthTokens.
    [[nodiscard]] std::filesystem::path tokensFile() const { return folder_ / "tokens.json"; }

    // The person at the device page approves (or refuses) this code.
    void answerDeviceCode(const std::string& userCode, bool approve = true) const;
    // Every refresh token stops working / every access token stops working.
    void revokeRefreshTokens() const;
    void expireAccessTokens() const;
    // How many grants of this type ("authorization_code", "refresh_token", "device_code",
    // "device_polls", "refused") the server has served.
    [[nodiscard]] int count(const std::string& grant) const;

    // A GET as a browser does it, following redirects; the final status, 0 when none came.
    static long browse(const std::string& url);

private:
    TemporaryFolder folder_;
    std::unique_ptr<ChildProcess> process_;
    std::uint16_t port_ = 0;
};

} // namespace envio::test
