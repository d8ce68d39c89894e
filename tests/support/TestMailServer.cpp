#include "TestMailServer.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <nlohmann/json.hpp>
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
constexpr auto startTimeout = milliseconds(20000);

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

std::string scriptJson(const std::vector<ScriptedMessage>& steps) {
    nlohmann::json script = nlohmann::json::array();
    for (const ScriptedMessage& step : steps) {
        nlohmann::json entry = {{"action", actionName(step.action)}};
        if (step.action != ScriptedMessage::Action::Accept) {
            entry["at"] = pointName(step.point);
        }
        if (step.action == ScriptedMessage::Action::Refuse) {
            entry["reply"] = step.reply;
        }
        script.push_back(std::move(entry));
    }
    return script.dump() + "\n";
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

std::uint16_t parsePort(std::string_view text) {
    const int port = std::atoi(std::string(text).c_str());
    if (port < 0 || port > 65535) {
        throw std::runtime_error("the test mail server reported port " + std::string(text));
    }
    return static_cast<std::uint16_t>(port);
}

ReceivedMessage readMessage(const std::filesystem::path& record) {
    const auto fields = nlohmann::json::parse(readFile(record));
    ReceivedMessage message;
    message.raw = readFile(std::filesystem::path(record).replace_extension(".eml"));
    message.sender = fields.at("sender").get<std::string>();
    message.recipients = fields.at("recipients").get<std::vector<std::string>>();
    message.connection = fields.at("connection").get<int>();
    message.tls = fields.at("tls").get<bool>();
    // null when the client did not authenticate
    const auto& user = fields.at("auth_user");
    message.authUser = user.is_null() ? std::string() : user.get<std::string>();
    message.acknowledged = fields.at("acknowledged").get<bool>();
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
    parseReadyLine(readReadyLine(startTimeout));
    if (options.tls) {
        certificate_ = directory_ / (options.ownAuthority ? "authority.pem" : "cert.pem");
    }
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
