#include "ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace envio::test {
namespace {

using Clock = std::chrono::steady_clock;

std::string systemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// A descriptor for the child's stream `target`: the file at `path`, or else ours (the input:
// /dev/null, so that no child waits on the test's terminal).
int streamFor(const std::filesystem::path& path, int target) {
    int fd = -1;
    if (!path.empty()) {
        const int flags = target == STDIN_FILENO ? O_RDONLY : O_WRONLY | O_CREAT | O_APPEND;
        fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    } else if (target == STDIN_FILENO) {
        fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    } else {
        fd = ::fcntl(target, F_DUPFD_CLOEXEC, 0);
    }
    if (fd < 0) {
        throw std::runtime_error(systemError("cannot open " + path.string()));
    }
    return fd;
}

std::vector<std::string> mergedEnvironment(const std::vector<std::string>& overrides) {
    std::vector<std::string> out;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('=') + 1);
        bool replaced = false;
        for (const auto& o : overrides) {
            replaced = replaced || o.starts_with(name);
        }
        if (!replaced) {
            out.push_back(text);
        }
    }
    out.insert(out.end(), overrides.begin(), overrides.end());
    return out;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> out;
    for (auto& t : texts) {
        out.push_back(t.data());
    }
    out.push_back(nullptr);
    return out;
}

int shellStatus(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

// Between fork and exec only async-signal-safe calls: everything was prepared beforehand.
[[noreturn]] void becomeChild(const ProcessOptions& options, pid_t parent, const int fds[3],
                              char* const argv[], char* const envp[]) {
    if (options.ownProcessGroup) {
        ::setpgid(0, 0);
    }
    if (options.stopWithTest) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) {
            ::_exit(127);
        }
    }
    for (int target = 0; target < 3; ++target) {
        if (::dup2(fds[target], target) < 0) {
            ::_exit(127);
        }
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (const int s : {SIGTERM, SIGINT, SIGPIPE, SIGCHLD}) {
        ::signal(s, SIG_DFL);
    }
    ::execve(argv[0], argv, envp);
    ::_exit(127);
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& arguments, const ProcessOptions& options)
    : ownGroup_(options.ownProcessGroup) {
    std::vector<std::string> argumentTexts = arguments;
    std::vector<std::string> environmentTexts = mergedEnvironment(options.environment);
    const auto argv = pointers(argumentTexts);
    const auto envp = pointers(environmentTexts);
    const bool sharedOutput =
        !options.standardOutput.empty() && options.standardError == options.standardOutput;
    const int output = streamFor(options.standardOutput, STDOUT_FILENO);
    const int fds[3] = {streamFor(options.standardInput, STDIN_FILENO), output,
                        sharedOutput ? ::fcntl(output, F_DUPFD_CLOEXEC, 0)
                                     : streamFor(options.standardError, STDERR_FILENO)};
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
        becomeChild(options, parent, fds, argv.data(), envp.data());
    }
    const int forkError = errno;
    for (const int fd : fds) {
        ::close(fd);
    }
    if (pid_ < 0) {
        errno = forkError;
        throw std::runtime_error(systemError("cannot start " + arguments.front()));
    }
    // The child's own setpgid may come later than our first signal: set it from here too.
    if (ownGroup_) {
        ::setpgid(pid_, pid_);
    }
}

ChildProcess::~ChildProcess() {
    if (running()) {
        signal(SIGKILL);
        wait();
    }
}

bool ChildProcess::running() {
    if (status_ >= 0) {
        return false;
    }
    int status = 0;
    const pid_t result = ::waitpid(pid_, &status, WNOHANG);
    if (result == pid_) {
        status_ = shellStatus(status);
    }
    return status_ < 0;
}

int ChildProcess::wait() {
    while (status_ < 0) {
        int status = 0;
        const pid_t result = ::waitpid(pid_, &status, 0);
        if (result == pid_) {
            status_ = shellStatus(status);
        } else if (result < 0 && errno != EINTR) {
            throw std::runtime_error(systemError("waitpid"));
        }
    }
    return status_;
}

void ChildProcess::signal(int number) {
    if (status_ < 0) {
        ::kill(ownGroup_ ? -pid_ : pid_, number);
    }
}

int ChildProcess::stop(std::chrono::milliseconds grace) {
    signal(SIGTERM);
    const auto deadline = Clock::now() + grace;
    while (running() && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (running()) {
        signal(SIGKILL);
    }
    const int status = wait();
    // A group's other members got the same signals; the group leader's end is what we wait for.
    if (ownGroup_) {
        ::kill(-pid_, SIGKILL);
    }
    return status;
}

int runProgram(const std::vector<std::string>& arguments, const ProcessOptions& options) {
    ChildProcess child(arguments, options);
    return child.wait();
}

} // namespace envio::test
