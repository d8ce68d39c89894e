#pragma once

#include <set>
#include <string>
#include <string_view>

namespace envio {

// Whether the machine can reach a mail server at all, asked before every message so that a
// disconnected laptop gets a clear answer at once instead of a ten-second wait per document.
class ConnectivityProbe {
public:
    virtual ~ConnectivityProbe() = default;
    virtual bool hasConnection(std::string_view server) = 0;
};

// Linux: a server on this machine needs no network; otherwise an interface other than loopback
// must be up, hold an address and carry a default route. A local network without Internet
// still counts as connected: nothing tells the two apart reliably.
class LinuxConnectivityProbe final : public ConnectivityProbe {
public:
    bool hasConnection(std::string_view server) override;
};

// "localhost", its subdomains and the loopback addresses of IPv4 and IPv6, without asking DNS.
bool isLocalServer(std::string_view server);

// The interfaces that carry a usable default route, from the text of /proc/net/route and
// /proc/net/ipv6_route.
std::set<std::string> interfacesWithDefaultRoute(std::string_view ipv4Routes,
                                                 std::string_view ipv6Routes);

} // namespace envio
