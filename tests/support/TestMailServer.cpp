#include "TestMailServer.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

#ifndef ENVIO_MAILSERVER_SCRIPT
#error "ENVIO_MAILSERVER_SCRIPT must be the absolute path of test_mail_server.py, as a string"
#endif

extern char** environ;

namespace envio::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// aiosmtpd comes from Debian's package, so only Debian's interpreter has it, whatever python3
// comes first on PATH.
constexpr const char* python = "/usr/bin/python3";
// The server stops at once on SIGTERM; this only bounds a server that is wedged.
constexpr auto stopGracePeriod = std::chrono::seconds(5);
constexpr auto pollInterval = milliseconds(10);

std::string systemError(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

void check(int error, const char* what) {
    if (error != 0) {
        throw std::runtime_error(systemError(what, error));
    }
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor& operator=(Descriptor&&) = delete;

    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

struct Pipe {
    Descriptor read;
    Descriptor write;
};

Pipe makePipe() {
    int fds[2] = {-1, -1};
    // Close-on-exec, so that no other child of this process inherits an end and keeps the
    // server's stdin open after we are gone.
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        throw std::runtime_error(systemError("cannot create a pipe", errno));
    }
    return {Descriptor(fds[0]), Descriptor(fds[1])};
}

class SpawnSetup {
public:
    SpawnSetup() {
        check(::posix_spawn_file_actions_init(&actions), "posix_spawn_file_actions_init");
        if (const int error = ::posix_spawnattr_init(&attributes); error != 0) {
            ::posix_spawn_file_actions_destroy(&actions);
            check(error, "posix_spawnattr_init");
        }
    }
    ~SpawnSetup() {
        ::posix_spawnattr_destroy(&attributes);
        ::posix_spawn_file_actions_destroy(&actions);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    // A test process may block or ignore signals for its own reasons; the server must still
    // stop on SIGTERM.
    void resetSignals() {
        sigset_t none;
        sigemptyset(&none);
        sigset_t stopping;
        sigemptyset(&stopping);
        sigaddset(&stopping, SIGTERM);
        sigaddset(&stopping, SIGINT);
        check(::posix_spawnattr_setsigmask(&attributes, &none), "posix_spawnattr_setsigmask");
        check(::posix_spawnattr_setsigdefault(&attributes, &stopping),
              "posix_spawnattr_setsigdefault");
        check(
            ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF),
            "posix_spawnattr_setflags");
    }

    posix_spawn_file_actions_t actions{};
    posix_spawnattr_t attributes{};
};

const char* actionName(ScriptedMessage::Action action) {
    switch (action) {
    case ScriptedMessage::Action::Accept:
        return "accept";
    case ScriptedMessage::Action::Refuse:
        return "refuse";
    case ScriptedMessage::Action::Stall:
        return "stall";
    case ScriptedMessage::Action::Drop:
        return "drop";
    }
    return "accept";
}

const char* pointName(ScriptedMessage::Point point) {
    switch (point) {
    case ScriptedMessage::Point::MailFrom:
        return "mail";
    case ScriptedMessage::Point::RcptTo:
        return "rcpt";
    case ScriptedMessage::Point::BeforeDot:
        return "before-dot";
    case ScriptedMessage::Point::AfterDot:
        return "after-dot";
    }
    return "after-dot";
}

std::string jsonString(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            quoted += escaped;
        } else {
            quoted += c;
        }
    }
    return quoted + '"';
}

std::string scriptJson(const std::vector<ScriptedMessage>& steps) {
    std::string json = "[";
    for (const ScriptedMessage& step : steps) {
        json += json.size() > 1 ? ",\n" : "\n";
        json += std::string(R"({"action": ")") + actionName(step.action) + '"';
        if (step.action != ScriptedMessage::Action::Accept) {
            json += std::string(R"(, "at": ")") + pointName(step.point) + '"';
        }
        if (step.action == ScriptedMessage::Action::Refuse) {
            json += ", \"reply\": " + jsonString(step.reply);
        }
        json += '}';
    }
    return json + "\n]\n";
}

std::filesystem::path scriptPath(const std::filesystem::path& directory) {
    return directory / "script.json";
}

// Written beside and renamed into place: the server takes the file (reads and removes it) when
// the next message starts, and must never find half of one.
void writeScript(const std::filesystem::path& directory,
                 const std::vector<ScriptedMessage>& steps) {
    const auto temporary = directory / ".script.json.tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << scriptJson(steps);
        if (!out.flush()) {
            throw std::runtime_error("cannot write the test mail server's script");
        }
    }
    std::filesystem::rename(temporary, scriptPath(directory));
}

std::vector<std::string> serverArguments(const std::filesystem::path& directory,
                                         const MailServerOptions& options) {
    std::vector<std::string> arguments{python,
                                       ENVIO_MAILSERVER_SCRIPT,
                                       "--outdir",
                                       directory.string(),
                                       "--stop-on-stdin-eof",
                                       "--script",
                                       scriptPath(directory).string()};
    if (options.tls) {
        arguments.emplace_back("--tls");
    }
    if (options.tls && options.ownAuthority) {
        arguments.emplace_back("--authority");
    }
    // The --name=value form, so that a value starting with '-' is not taken for an option.
    if (!options.user.empty()) {
        arguments.push_back("--user=" + options.user);
        arguments.push_back("--password=" + options.password);
    }
    if (options.tls && !options.certificateProblem.empty()) {
        arguments.push_back("--certificate-problem=" + options.certificateProblem);
    }
    if (!options.authRefusal.empty()) {
        arguments.push_back("--auth-refusal=" + options.authRefusal);
    }
    if (!options.oauthTokens.empty()) {
        arguments.push_back("--oauth-tokens=" + options.oauthTokens.string());
    }
    if (!options.rejectRecipients.empty()) {
        arguments.push_back("--reject-rcpt=" + options.rejectRecipients);
    }
    if (options.noGreetingPort) {
        arguments.emplace_back("--no-greeting");
    }
    return arguments;
}

std::filesystem::path makeScratchDirectory(const std::filesystem::path& parent) {
    std::string pattern =
        ((parent.empty() ? std::filesystem::temp_directory_path() : parent) / "envio-mail-XXXXXX")
            .string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error(systemError("cannot create the test mail server's folder", errno));
    }
    return pattern;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void closeDescriptor(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

bool reapWithin(pid_t pid, Clock::duration grace) {
    const auto deadline = Clock::now() + grace;
    for (;;) {
        const pid_t result = ::waitpid(pid, nullptr, WNOHANG);
        // ECHILD: already reaped elsewhere (SIGCHLD ignored), so nothing is left to wait for.
        if (result == pid || (result < 0 && errno == ECHILD)) {
            return true;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(pollInterval);
    }
}

void reap(pid_t pid) {
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

bool isOneOf(char c, std::string_view set) {
    return set.find(c) != std::string_view::npos;
}

std::uint16_t parsePort(std::string_view text) {
    const int port = std::atoi(std::string(text).c_str());
    if (port < 0 || port > 65535) {
        throw std::runtime_error("the test mail server reported port " + std::string(text));
    }
    return static_cast<std::uint16_t>(port);
}

// The server's .json records are one flat object whose values are strings, numbers, booleans,
// null or arrays of those. Each value is kept as its text: an array as its elements, a scalar
// as one element, null as none.
using JsonFields = std::map<std::string, std::vector<std::string>, std::less<>>;

class FlatJsonReader {
public:
    explicit FlatJsonReader(std::string_view text) : text_(text) {}

    JsonFields readObject() {
        JsonFields fields;
        expect('{');
        if (!consume('}')) {
            do {
                skipSpace();
                std::string key = readString();
                expect(':');
                fields[key] = readValue();
            } while (consume(','));
            expect('}');
        }
        return fields;
    }

private:
    std::vector<std::string> readValue() {
        std::vector<std::string> values;
        if (!consume('[')) {
            appendScalar(values);
            return values;
        }
        if (!consume(']')) {
            do {
                appendScalar(values);
            } while (consume(','));
            expect(']');
        }
        return values;
    }

    void appendScalar(std::vector<std::string>& values) {
        skipSpace();
        if (pos_ < text_.size() && text_[pos_] == '"') {
            values.push_back(readString());
            return;
        }
        const std::size_t start = pos_;
        while (pos_ < text_.size() && isOneOf(text_[pos_], "0123456789+-.eEtrufalsn")) {
            ++pos_;
        }
        const std::string_view word = text_.substr(start, pos_ - start);
        if (word.empty()) {
            fail("a value");
        }
        if (word != "null") {
            values.emplace_back(word);
        }
    }

    std::string readString() {
        expect('"');
        std::string text;
        for (char c = next(); c != '"'; c = next()) {
            if (c != '\\') {
                text += c;
                continue;
            }
            c = next();
            switch (c) {
            case 'b':
                text += '\b';
                break;
            case 'f':
                text += '\f';
                break;
            case 'n':
                text += '\n';
                break;
            case 'r':
                text += '\r';
                break;
            case 't':
                text += '\t';
                break;
            case 'u':
                appendUtf8(text, readCodePoint());
                break;
            default: // '"', '\\' and '/' stand for themselves
                text += c;
            }
        }
        return text;
    }

    char32_t readCodePoint() {
        const char32_t first = readHex4();
        const bool highSurrogate = first >= 0xD800 && first <= 0xDBFF;
        if (!highSurrogate || text_.substr(pos_, 2) != "\\u") {
            return first;
        }
        pos_ += 2;
        const char32_t second = readHex4();
        return 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
    }

    char32_t readHex4() {
        char32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(next())));
            const std::size_t digit = std::string_view("0123456789abcdef").find(c);
            if (digit == std::string_view::npos) {
                fail("a hexadecimal digit");
            }
            value = value * 16 + static_cast<char32_t>(digit);
        }
        return value;
    }

    static void appendUtf8(std::string& text, char32_t c) {
        const auto byte = [](char32_t bits) { return static_cast<char>(bits); };
        if (c < 0x80) {
            text += byte(c);
        } else if (c < 0x800) {
            text += byte(0xC0 | (c >> 6));
            text += byte(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            text += byte(0xE0 | (c >> 12));
            text += byte(0x80 | ((c >> 6) & 0x3F));
            text += byte(0x80 | (c & 0x3F));
        } else {
            text += byte(0xF0 | (c >> 18));
            text += byte(0x80 | ((c >> 12) & 0x3F));
            text += byte(0x80 | ((c >> 6) & 0x3F));
            text += byte(0x80 | (c & 0x3F));
        }
    }

    void skipSpace() {
        while (pos_ < text_.size() && isOneOf(text_[pos_], " \t\r\n")) {
            ++pos_;
        }
    }

    bool consume(char c) {
        skipSpace();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    void expect(char c) {
        if (!consume(c)) {
            fail(std::string("'") + c + "'");
        }
    }

    char next() {
        if (pos_ >= text_.size()) {
            fail("more text");
        }
        return text_[pos_++];
    }

    [[noreturn]] void fail(const std::string& expected) const {
        throw std::runtime_error("malformed message record from the test mail server: expected " +
                                 expected + " at offset " + std::to_string(pos_));
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

std::string scalar(const JsonFields& fields, std::string_view key) {
    const auto found = fields.find(key);
    return found == fields.end() || found->second.empty() ? std::string() : found->second.front();
}

std::vector<std::string> list(const JsonFields& fields, std::string_view key) {
    const auto found = fields.find(key);
    return found == fields.end() ? std::vector<std::string>() : found->second;
}

ReceivedMessage readMessage(const std::filesystem::path& record) {
    const JsonFields fields = FlatJsonReader(readFile(record)).readObject();
    ReceivedMessage message;
    message.raw = readFile(std::filesystem::path(record).replace_extension(".eml"));
    message.sender = scalar(fields, "sender");
    message.recipients = list(fields, "recipients");
    message.connection = std::atoi(scalar(fields, "connection").c_str());
    message.tls = scalar(fields, "tls") == "true";
    message.authUser = scalar(fields, "auth_user");
    message.acknowledged = scalar(fields, "acknowledged") != "false";
    return message;
}

// The number of a complete message's record ("0001.json"); the server writes the .json after
// the .eml and renames both into place, so its presence means both are whole.
std::optional<unsigned long> recordNumber(const std::filesystem::path& path) {
    const std::string stem = path.stem().string();
    const bool digits = !stem.empty() && std::all_of(stem.begin(), stem.end(),
                                                     [](char c) { return c >= '0' && c <= '9'; });
    if (!digits || path.extension() != ".json") {
        return std::nullopt;
    }
    return std::stoul(stem);
}

std::vector<std::filesystem::path> messageRecords(const std::filesystem::path& directory) {
    std::vector<std::pair<unsigned long, std::filesystem::path>> numbered;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        if (const auto number = recordNumber(entry.path())) {
            numbered.emplace_back(*number, entry.path());
        }
    }
    std::sort(numbered.begin(), numbered.end());
    std::vector<std::filesystem::path> records;
    records.reserve(numbered.size());
    for (auto& [number, path] : numbered) {
        records.push_back(std::move(path));
    }
    return records;
}

} // namespace

ScriptedMessage ScriptedMessage::accept() {
    return {};
}

ScriptedMessage ScriptedMessage::refuse(Point at, int code, const std::string& text) {
    if (code < 400 || code > 599 || at == Point::BeforeDot) {
        throw std::invalid_argument("the test mail server cannot refuse with " +
                                    std::to_string(code) + " at " + pointName(at));
    }
    return {Action::Refuse, at, std::to_string(code) + (text.empty() ? "" : " " + text)};
}

ScriptedMessage ScriptedMessage::stall(Point at) {
    if (at != Point::BeforeDot && at != Point::AfterDot) {
        throw std::invalid_argument(std::string("the test mail server stalls only around the "
                                                "final dot, not at ") +
                                    pointName(at));
    }
    return {Action::Stall, at, {}};
}

ScriptedMessage ScriptedMessage::drop(Point at) {
    ScriptedMessage step = stall(at);
    step.action = Action::Drop;
    return step;
}

TestMailServer::TestMailServer(const MailServerOptions& options)
    : directory_(makeScratchDirectory(options.parentFolder)) {
    try {
        start(options);
    } catch (...) {
        shutdown();
        throw;
    }
}

TestMailServer::~TestMailServer() {
    shutdown();
}

void TestMailServer::start(const MailServerOptions& options) {
    writeScript(directory_, options.script);
    spawn(serverArguments(directory_, options));
    parseReadyLine(readReadyLine(options.startTimeout));
    if (options.tls) {
        certificate_ = directory_ / (options.ownAuthority ? "authority.pem" : "cert.pem");
    }
}

void TestMailServer::setScript(const std::vector<ScriptedMessage>& steps) {
    writeScript(directory_, steps);
}

void TestMailServer::spawn(const std::vector<std::string>& arguments) {
    Pipe input = makePipe();
    Pipe output = makePipe();
    // The server's stderr goes to a file rather than a pipe: nobody has to drain it, and it is
    // there to quote when the server fails.
    const std::string log = (directory_ / "server.log").string();

    SpawnSetup setup;
    setup.resetSignals();
    check(::posix_spawn_file_actions_adddup2(&setup.actions, input.read.get(), STDIN_FILENO),
          "posix_spawn_file_actions_adddup2");
    check(::posix_spawn_file_actions_adddup2(&setup.actions, output.write.get(), STDOUT_FILENO),
          "posix_spawn_file_actions_adddup2");
    check(::posix_spawn_file_actions_addopen(&setup.actions, STDERR_FILENO, log.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644),
          "posix_spawn_file_actions_addopen");

    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    pid_t pid = -1;
    check(::posix_spawn(&pid, python, &setup.actions, &setup.attributes, argv.data(), environ),
          "cannot start /usr/bin/python3 for the test mail server");
    pid_ = pid;
    stdinFd_ = input.write.release();
    stdoutFd_ = output.read.release();
}

std::string TestMailServer::readReadyLine(milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    std::string received;
    while (received.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            throw std::runtime_error(
                failure("was not ready after " + std::to_string(timeout.count()) + " ms"));
        }
        pollfd ready{stdoutFd_, POLLIN, 0};
        const int polled = ::poll(&ready, 1, static_cast<int>(left.count()));
        if (polled < 0 && errno != EINTR) {
            throw std::runtime_error(failure(systemError("could not be watched", errno)));
        }
        if (polled <= 0) {
            continue; // interrupted, or out of time: the deadline check above decides
        }
        char buffer[256];
        const ssize_t count = ::read(stdoutFd_, buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw std::runtime_error(failure(systemError("could not be read", errno)));
        }
        if (count == 0) {
            throw std::runtime_error(failure("stopped before it was ready"));
        }
        received.append(buffer, static_cast<std::size_t>(count));
    }
    return received.substr(0, received.find('\n'));
}

void TestMailServer::parseReadyLine(const std::string& line) {
    std::istringstream words(line);
    std::string word;
    if (!(words >> word) || word != "READY") {
        throw std::runtime_error(failure("printed '" + line + "' instead of READY"));
    }
    while (words >> word) {
        const std::size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
        const std::uint16_t port =
            equals == std::string::npos ? 0 : parsePort(std::string_view(word).substr(equals + 1));
        if (name == "plain") {
            plainPort_ = port;
        } else if (name == "starttls") {
            startTlsPort_ = port;
        } else if (name == "smtps") {
            smtpsPort_ = port;
        } else if (name == "nogreet") {
            noGreetingPort_ = port;
        }
    }
}

// Stops the server first, so that everything it had to say is in its log.
std::string TestMailServer::failure(const std::string& what) {
    stop();
    return "the test mail server " + what + "; its output:\n" + readFile(directory_ / "server.log");
}

void TestMailServer::stop() noexcept {
    if (pid_ < 0) {
        return;
    }
    ::kill(pid_, SIGTERM);
    if (!reapWithin(pid_, stopGracePeriod)) {
        ::kill(pid_, SIGKILL);
        reap(pid_);
    }
    pid_ = -1;
}

void TestMailServer::shutdown() noexcept {
    stop();
    closeDescriptor(stdinFd_);
    closeDescriptor(stdoutFd_);
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
}

std::vector<ReceivedMessage> TestMailServer::messages() const {
    std::vector<ReceivedMessage> received;
    for (const auto& record : messageRecords(directory_)) {
        received.push_back(readMessage(record));
    }
    return received;
}

std::size_t TestMailServer::messageCount() const {
    const auto entries = std::filesystem::directory_iterator(directory_);
    return static_cast<std::size_t>(
        std::count_if(begin(entries), end(entries),
                      [](const auto& entry) { return recordNumber(entry.path()).has_value(); }));
}

bool TestMailServer::waitForMessages(std::size_t count, milliseconds timeout) const {
    const auto deadline = Clock::now() + timeout;
    while (messageCount() < count) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(pollInterval);
    }
    return true;
}

std::size_t TestMailServer::connectionCount() const {
    const std::string log = readFile(directory_ / "connections.log");
    return static_cast<std::size_t>(std::count(log.begin(), log.end(), '\n'));
}

} // namespace envio::test
