#include "platform/ConnectivityProbe.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cstdlib>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sstream>

namespace envio {
namespace {

constexpr unsigned long kRouteUp = 0x0001;     // RTF_UP
constexpr unsigned long kRouteReject = 0x0200; // RTF_REJECT: "unreachable", not a way out

std::string toLower(std::string_view text) {
    std::string s(text);
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool isUsableRoute(unsigned long flags) {
    return (flags & kRouteUp) != 0 && (flags & kRouteReject) == 0;
}

} // namespace

bool isLocalServer(std::string_view server) {
    std::string name = toLower(server);
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') {
        name = name.substr(1, name.size() - 2);
    }
    if (!name.empty() && name.back() == '.') {
        name.pop_back();
    }
    if (name == "localhost" || name.ends_with(".localhost")) {
        return true;
    }
    in_addr v4{};
    if (::inet_pton(AF_INET, name.c_str(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24) == 127;
    }
    in6_addr v6{};
    if (::inet_pton(AF_INET6, name.c_str(), &v6) == 1) {
        if (IN6_IS_ADDR_LOOPBACK(&v6)) {
            return true;
        }
        return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
    }
    return false;
}

std::set<std::string> interfacesWithDefaultRoute(std::string_view ipv4Routes,
                                                 std::string_view ipv6Routes) {
    std::set<std::string> interfaces;
    std::istringstream v4{std::string(ipv4Routes)};
    std::string line;
    std::getline(v4, line); // column titles
    while (std::getline(v4, line)) {
        std::istringstream fields(line);
        std::string iface, destination, gateway, flags;
        if (fields >> iface >> destination >> gateway >> flags && destination == "00000000" &&
            isUsableRoute(std::strtoul(flags.c_str(), nullptr, 16)) && iface != "lo") {
            interfaces.insert(iface);
        }
    }
    std::istringstream v6{std::string(ipv6Routes)};
    while (std::getline(v6, line)) {
        std::istringstream fields(line);
        std::string destination, prefix, source, sourcePrefix, nextHop, metric, refs, use, flags,
            iface;
        if (fields >> destination >> prefix >> source >> sourcePrefix >> nextHop >> metric >>
                refs >> use >> flags >> iface &&
            destination == std::string(32, '0') && prefix == "00" &&
            isUsableRoute(std::strtoul(flags.c_str(), nullptr, 16)) && iface != "lo") {
            interfaces.insert(iface);
        }
    }
    return interfaces;
}

bool LinuxConnectivityProbe::hasConnection(std::string_view server) {
    if (isLocalServer(server)) {
        return true;
    }
    const auto routed =
        interfacesWithDefaultRoute(fs::readFile("/proc/net/route").value_or(""),
                                   fs::readFile("/proc/net/ipv6_route").value_or(""));
    if (routed.empty()) {
        return false;
    }
    ifaddrs* addresses = nullptr;
    if (::getifaddrs(&addresses) != 0) {
        return false;
    }
    bool connected = false;
    for (const ifaddrs* i = addresses; i != nullptr && !connected; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || (i->ifa_flags & IFF_UP) == 0 ||
            (i->ifa_flags & IFF_LOOPBACK) != 0 || !routed.contains(i->ifa_name)) {
            continue;
        }
        const int family = i->ifa_addr->sa_family;
        if (family == AF_INET) {
            connected = true;
        } else if (family == AF_INET6) {
            // A link-local address alone reaches no server beyond the cable.
            const auto* a = reinterpret_cast<const sockaddr_in6*>(i->ifa_addr);
            connected = !IN6_IS_ADDR_LINKLOCAL(&a->sin6_addr);
        }
    }
    ::freeifaddrs(addresses);
    return connected;
}

} // namespace envio
