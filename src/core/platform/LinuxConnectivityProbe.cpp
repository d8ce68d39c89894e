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

constexpr unsigned long RutaActiva = 0x0001;  // RTF_UP
constexpr unsigned long RutaRechazo = 0x0200; // RTF_REJECT: "unreachable", not a way out

std::string enMinusculas(std::string_view texto) {
    std::string s(texto);
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool rutaUtil(unsigned long banderas) {
    return (banderas & RutaActiva) != 0 && (banderas & RutaRechazo) == 0;
}

} // namespace

bool esServidorLocal(std::string_view servidor) {
    std::string nombre = enMinusculas(servidor);
    if (nombre.size() >= 2 && nombre.front() == '[' && nombre.back() == ']') {
        nombre = nombre.substr(1, nombre.size() - 2);
    }
    if (!nombre.empty() && nombre.back() == '.') {
        nombre.pop_back();
    }
    if (nombre == "localhost" || nombre.ends_with(".localhost")) {
        return true;
    }
    in_addr v4{};
    if (::inet_pton(AF_INET, nombre.c_str(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24) == 127;
    }
    in6_addr v6{};
    if (::inet_pton(AF_INET6, nombre.c_str(), &v6) == 1) {
        if (IN6_IS_ADDR_LOOPBACK(&v6)) {
            return true;
        }
        return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
    }
    return false;
}

std::set<std::string> interfacesConRutaPorDefecto(std::string_view rutasIpv4,
                                                  std::string_view rutasIpv6) {
    std::set<std::string> interfaces;
    std::istringstream v4{std::string(rutasIpv4)};
    std::string linea;
    std::getline(v4, linea); // column titles
    while (std::getline(v4, linea)) {
        std::istringstream campos(linea);
        std::string iface, destino, pasarela, banderas;
        if (campos >> iface >> destino >> pasarela >> banderas && destino == "00000000" &&
            rutaUtil(std::strtoul(banderas.c_str(), nullptr, 16)) && iface != "lo") {
            interfaces.insert(iface);
        }
    }
    std::istringstream v6{std::string(rutasIpv6)};
    while (std::getline(v6, linea)) {
        std::istringstream campos(linea);
        std::string destino, prefijo, origen, prefijoOrigen, siguiente, metrica, refs, uso,
            banderas, iface;
        if (campos >> destino >> prefijo >> origen >> prefijoOrigen >> siguiente >> metrica >>
                refs >> uso >> banderas >> iface &&
            destino == std::string(32, '0') && prefijo == "00" &&
            rutaUtil(std::strtoul(banderas.c_str(), nullptr, 16)) && iface != "lo") {
            interfaces.insert(iface);
        }
    }
    return interfaces;
}

bool LinuxConnectivityProbe::hayConexion(std::string_view servidor) {
    if (esServidorLocal(servidor)) {
        return true;
    }
    const auto conRuta =
        interfacesConRutaPorDefecto(fs::readFile("/proc/net/route").value_or(""),
                                    fs::readFile("/proc/net/ipv6_route").value_or(""));
    if (conRuta.empty()) {
        return false;
    }
    ifaddrs* lista = nullptr;
    if (::getifaddrs(&lista) != 0) {
        return false;
    }
    bool conectado = false;
    for (const ifaddrs* i = lista; i != nullptr && !conectado; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || (i->ifa_flags & IFF_UP) == 0 ||
            (i->ifa_flags & IFF_LOOPBACK) != 0 || !conRuta.contains(i->ifa_name)) {
            continue;
        }
        const int familia = i->ifa_addr->sa_family;
        if (familia == AF_INET) {
            conectado = true;
        } else if (familia == AF_INET6) {
            // A link-local address alone reaches no server beyond the cable.
            const auto* a = reinterpret_cast<const sockaddr_in6*>(i->ifa_addr);
            conectado = !IN6_IS_ADDR_LINKLOCAL(&a->sin6_addr);
        }
    }
    ::freeifaddrs(lista);
    return conectado;
}

} // namespace envio
