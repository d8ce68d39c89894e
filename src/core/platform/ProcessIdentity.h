#pragma once

#include <cstdint>
#include <string>

namespace envio {

// Who a process is, in a form another process can check later: a process number alone is
// reused, so its start time goes with it. Another machine can only read it, never check it.
struct ProcessIdentity {
    std::string host; // ENVIO_EQUIPO when set, else the host name
    std::string user;
    long pid = 0;
    std::uint64_t startTicks = 0; // since boot, as /proc/PID/stat gives it
};

ProcessIdentity currentProcess();

// True when `process` ran on this machine and is still running. A process of another machine
// is never known to be gone.
bool isRunningHere(const ProcessIdentity& process);

} // namespace envio
