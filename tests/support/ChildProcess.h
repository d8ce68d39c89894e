#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace envio::test {

struct ProcessOptions {
    // Empty: /dev/null for the input, the test's own streams for the outputs.
    std::filesystem::path standardInput;
    std::filesystem::path standardOutput;
    std::filesystem::path standardError; // the same path as standardOutput appends both to it
    // "NAME=value" entries that replace or add to this process's environment.
    std::vector<std::string> environment;
    // A server that forks its own helpers is stopped as a whole through its process group.
    bool ownProcessGroup = false;
    // The child gets SIGTERM when the test process dies, so that a crashed test does not leave
    // a server or a mount behind.
    bool stopWithTest = false;
};

// A program started with fork and exec, killed and reaped when this object goes away.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& arguments, const ProcessOptions& options = {});
    ~ChildProcess();

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    [[nodiscard]] pid_t pid() const { return pid_; }
    // Reaps the child when it has ended; never blocks.
    bool running();
    // The exit status, or 128 + the signal that ended it (as a shell reports it); 127 when the
    // program could not be started.
    int wait();
    void signal(int number);
    // SIGTERM, then SIGKILL when it has not ended within `grace`; returns the status.
    int stop(std::chrono::milliseconds grace);

private:
    pid_t pid_ = -1;
    bool ownGroup_ = false;
    int status_ = -1;
};

// Runs a program to its end and returns its status as ChildProcess::wait does.
int runProgram(const std::vector<std::string>& arguments, const ProcessOptions& options = {});

} // namespace envio::test
