#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace envio::test {

// What the server does once a client has sent a message's data.
enum class DataFailure {
    None,           // 250, the message is saved
    Reject,         // 554, nothing saved
    DropMidData,    // closes the connection while the data arrives, no reply, nothing saved
    StallAfterData, // saves the message and never replies
};

struct MailServerOptions {
    // A STARTTLS port (STARTTLS required) and an implicit-TLS port with a certificate made for
    // localhost and 127.0.0.1, instead of a plain port.
    bool tls = false;
    // When `user` is not empty AUTH (PLAIN or LOGIN) is required; a wrong password gets 535.
    std::string user;
    std::string password;
    // A Python regular expression (re.search); matching recipients get 550.
    std::string rejectRecipients;
    DataFailure dataFailure = DataFailure::None;
    // An extra port that accepts TCP connections and never sends the greeting.
    bool noGreetingPort = false;
    std::chrono::milliseconds startTimeout{20000};
};

struct ReceivedMessage {
    std::string raw; // the message as the server received it, CRLF lines, dots unstuffed
    std::string sender;
    std::vector<std::string> recipients;
    int connection = 0; // the server numbers its accepted connections from 1
    bool tls = false;
    std::string authUser; // empty when the client did not authenticate
};

// The local test mail server (tools/mailserver/test_mail_server.py) in a child process, on
// 127.0.0.1 with ports chosen by the system, writing into a temporary folder that goes away with
// this object. The constructor returns once the server listens; it throws std::runtime_error
// with the server's own output when the server does not start.
class TestMailServer {
public:
    explicit TestMailServer(const MailServerOptions& options = {});
    ~TestMailServer();

    TestMailServer(const TestMailServer&) = delete;
    TestMailServer& operator=(const TestMailServer&) = delete;

    // 0 for a port the options did not ask for.
    std::uint16_t plainPort() const { return plainPort_; }
    std::uint16_t startTlsPort() const { return startTlsPort_; }
    std::uint16_t smtpsPort() const { return smtpsPort_; }
    std::uint16_t noGreetingPort() const { return noGreetingPort_; }

    // The certificate to trust (CURLOPT_CAINFO); empty without TLS.
    const std::filesystem::path& certificate() const { return certificate_; }
    const std::filesystem::path& directory() const { return directory_; }

    // Every message saved so far, in the order the server received them.
    std::vector<ReceivedMessage> messages() const;
    // Whether at least `count` messages were saved before `timeout` ran out.
    bool waitForMessages(std::size_t count, std::chrono::milliseconds timeout) const;
    // TCP connections accepted so far on all ports, including those that failed TLS.
    std::size_t connectionCount() const;

private:
    void start(const MailServerOptions& options);
    void spawn(const std::vector<std::string>& arguments);
    std::string readReadyLine(std::chrono::milliseconds timeout);
    void parseReadyLine(const std::string& line);
    std::string failure(const std::string& what);
    void stop() noexcept;
    void shutdown() noexcept;
    std::size_t messageCount() const;

    std::filesystem::path directory_;
    std::filesystem::path certificate_;
    int pid_ = -1;
    int stdinFd_ = -1;  // ours to hold open: when this process dies the server sees EOF and stops
    int stdoutFd_ = -1; // the READY line comes through it
    std::uint16_t plainPort_ = 0;
    std::uint16_t startTlsPort_ = 0;
    std::uint16_t smtpsPort_ = 0;
    std::uint16_t noGreetingPort_ = 0;
};

} // namespace envio::test
