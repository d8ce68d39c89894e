#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace envio {

// Runs `job` in a child process and returns the bytes it produced. Used for work that a
// library may get wrong on bad input (a crash, an endless loop): the child dies, the program
// carries on. The child is killed when it stays silent for `maxSilence` or produces more
// than `maxBytes`. Throws IsolationFailure (with the reason, in the user's words) when the child
// crashes or is killed, and JobError with the text of what `job` threw.
class IsolationFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The child could not even be started (no pipe, no process, the program gone): nothing was read,
// and the file is not to blame.
class StartFailure : public IsolationFailure {
public:
    using IsolationFailure::IsolationFailure;
};

class JobError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string runIsolated(const std::function<std::string()>& job,
                        std::chrono::milliseconds maxSilence, std::size_t maxBytes);

// The same for a separate program, started afresh: nothing of this process's state (locks that
// other threads held at the moment of a fork) goes with it. The program answers on its standard
// output with `isolatedAnswer`'s bytes.
std::string runProgram(const std::filesystem::path& program,
                       const std::vector<std::string>& arguments,
                       std::chrono::milliseconds maxSilence, std::size_t maxBytes);

// What a child or a separate program writes back: the result of `job`, or the text of what
// it threw.
std::string isolatedAnswer(const std::function<std::string()>& job);

} // namespace envio
