#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace envio::test {

// What the server does with one message, that is one MAIL FROM. A script is a list of these,
// used one per message in the order messages arrive (whatever the connection); every message
// after the last one is accepted. Build them with the functions below.
struct ScriptedMessage {
    enum class Action { Accept, Refuse, Stall, Drop };
    // Where the action happens. BeforeDot: after the server's 354, once the first bytes of the
    // data have come; the server then reads no more, so a client with more to send than the
    // socket buffers hold (a few MB on loopback) never gets the final dot out, while a small
    // message may well have left entirely. AfterDot: once the whole message is in.
    enum class Point { MailFrom, RcptTo, BeforeDot, AfterDot };

    Action action = Action::Accept;
    Point point = Point::AfterDot;
    std::string reply; // a refusal's whole reply line, "452 4.3.1 Insufficient storage"

    static ScriptedMessage accept();
    // Answers MAIL FROM, every RCPT TO or the message data (AfterDot) with `code` and `text`.
    // A 421 also closes the connection. Nothing is saved. Throws std::invalid_argument for a
    // code that is not a 4xx or 5xx refusal, or BeforeDot.
    static ScriptedMessage refuse(Point at, int code, const std::string& text);
    // Never replies again. AfterDot the message is saved first, unacknowledged.
    static ScriptedMessage stall(Point at);
    // Cuts the connection without a reply. AfterDot the message is saved first, unacknowledged.
    static ScriptedMessage drop(Point at);
};

struct MailServerOptions {
    // A STARTTLS port (STARTTLS required) and an implicit-TLS port with a certificate made for
    // localhost and 127.0.0.1, instead of a plain port.
    bool tls = false;
    // When `user` is not empty AUTH (PLAIN or LOGIN) is required; a wrong password gets 535.
    std::string user;
    std::string password;
    // With `tls`: the server's certificate is signed by a test authority made at start (and
    // cannot sign anything itself); certificate() is then that authority's certificate.
    bool ownAuthority = false;
    // With `tls`: a self-signed certificate that fails the client's check, "expired" (valid only
    // in January 2020) or "wrong-name" (made for otro.invalid); empty for a sound one.
    std::string certificateProblem;
    // With `user`: every AUTH gets this reply, as from a provider that turned password sign-in
    // off ("535 5.7.139 Authentication unsuccessful, basic authentication is disabled").
    std::string authRefusal;
    // Instead of `user`: AUTH XOAUTH2 is required, with a bearer token listed in this file, the
    // tokens file of a TestOAuthServer.
    std::filesystem::path oauthTokens;
    // A Python regular expression (re.search); matching recipients get 550.
    std::string rejectRecipients;
    // What to do with the first messages; see ScriptedMessage.
    std::vector<ScriptedMessage> script;
    // An extra port that accepts TCP connections and never sends the greeting.
    bool noGreetingPort = false;
    // Where the server's folder of received messages is made; empty: the temporary folder.
    std::filesystem::path parentFolder;
};

struct ReceivedMessage {
    std::string raw; // the message as the server received it, CRLF lines, dots unstuffed
    std::string sender;
    std::vector<std::string> recipients;
    int connection = 0; // the server numbers its accepted connections from 1
    bool tls = false;
    std::string authUser; // empty when the client did not authenticate
    // False when the server saved it and then, as scripted, stalled or dropped the connection
    // instead of answering: the client cannot know that it arrived.
    bool acknowledged = true;
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
    // The server's process, for a benchmark that keeps it on a processor of its own.
    int pid() const { return pid_; }

    // Every message saved so far, in the order the server received them, including those saved
    // before a scripted stall or drop.
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
