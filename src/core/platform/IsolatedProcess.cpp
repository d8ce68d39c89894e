#include "platform/IsolatedProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace envio {
namespace {

// The child's answer starts with one byte: 'O' for the result, 'E' for an error text.
constexpr char kOk = 'O';
constexpr char kError = 'E';

void writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

[[noreturn]] void runChild(int fd, const std::function<std::string()>& job) {
    // libmdb reports every oddity of a damaged file on stderr; the parent reports the failure.
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) {
        ::dup2(null, STDERR_FILENO);
    }
    writeAll(fd, isolatedAnswer(job));
    ::_exit(0); // no destructors or exit handlers of the parent's state run twice
}

std::string collect(int fd, pid_t child, std::chrono::milliseconds silence, std::size_t limit,
                    std::string& failure) {
    std::string bytes;
    char buffer[65536];
    while (true) {
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(silence.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready == 0) {
            failure = "no responde";
            ::kill(child, SIGKILL);
            return bytes;
        }
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return bytes;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (bytes.size() > limit) {
            failure = "devuelve más datos de los que puede contener";
            ::kill(child, SIGKILL);
            return bytes;
        }
    }
}

std::string answerOf(int readFd, pid_t child, std::chrono::milliseconds silence,
                     std::size_t limit) {
    std::string failure;
    std::string bytes = collect(readFd, child, silence, limit, failure);
    ::close(readFd);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!failure.empty()) {
        throw IsolationFailure(failure);
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || bytes.empty()) {
        throw IsolationFailure("terminó de forma anormal");
    }
    if (bytes.front() == kError) {
        throw JobError(bytes.substr(1));
    }
    return bytes.substr(1);
}

} // namespace

std::string isolatedAnswer(const std::function<std::string()>& job) {
    try {
        return kOk + job();
    } catch (const std::exception& e) {
        return kError + std::string(e.what());
    } catch (...) {
        return kError + std::string("error desconocido");
    }
}

std::string runProgram(const std::filesystem::path& program,
                       const std::vector<std::string>& arguments,
                       std::chrono::milliseconds maxSilence, std::size_t maxBytes) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        throw StartFailure(std::string("no se pudo crear el proceso de lectura: ") +
                           std::strerror(errno));
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> texts{program.string()};
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(texts.size() + 1);
    for (auto& t : texts) {
        argv.push_back(t.data());
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    const int rc = ::posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        throw StartFailure(std::string("no se pudo crear el proceso de lectura: ") +
                           std::strerror(rc));
    }
    return answerOf(fds[0], child, maxSilence, maxBytes);
}

std::string runIsolated(const std::function<std::string()>& job,
                        std::chrono::milliseconds maxSilence, std::size_t maxBytes) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        throw StartFailure(std::string("no se pudo crear el proceso de lectura: ") +
                           std::strerror(errno));
    }
    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        throw StartFailure(std::string("no se pudo crear el proceso de lectura: ") +
                           std::strerror(error));
    }
    if (child == 0) {
        ::close(fds[0]);
        runChild(fds[1], job);
    }
    ::close(fds[1]);
    return answerOf(fds[0], child, maxSilence, maxBytes);
}

} // namespace envio
