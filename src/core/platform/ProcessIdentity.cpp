#include "platform/ProcessIdentity.h"

#include <climits>
#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <string>
#include <unistd.h>

namespace envio {
namespace {

// ENVIO_EQUIPO names the machine where its host name does not tell it apart: machines cloned
// from one image, or two mounts of one share that stand for two machines in the tests.
std::string hostName() {
    if (const char* name = std::getenv("ENVIO_EQUIPO"); name != nullptr && *name != '\0') {
        return name;
    }
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
        return "localhost";
    }
    return name;
}

std::string userName() {
    if (const passwd* entry = ::getpwuid(::geteuid()); entry != nullptr) {
        return entry->pw_name;
    }
    return std::to_string(::geteuid());
}

// Field 22 of /proc/PID/stat; the command name before it may hold blanks and parentheses, so
// the fields are counted from the last ')'.
std::uint64_t startTicksOf(long pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) {
        return 0;
    }
    const auto close = line.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    std::istringstream fields(line.substr(close + 1));
    std::string field;
    for (int n = 3; n <= 22 && fields >> field; ++n) {
        if (n == 22) {
            return std::stoull(field);
        }
    }
    return 0;
}

} // namespace

ProcessIdentity currentProcess() {
    const long pid = ::getpid();
    return {hostName(), userName(), pid, startTicksOf(pid)};
}

bool isRunningHere(const ProcessIdentity& process) {
    if (process.host != hostName() || process.pid <= 0) {
        return false;
    }
    const std::uint64_t ticks = startTicksOf(process.pid);
    return ticks != 0 && ticks == process.startTicks;
}

} // namespace envio
