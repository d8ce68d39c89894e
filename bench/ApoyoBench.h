#pragma once

// What the whole-process benchmarks share: their `--nombre=valor` options, their reading of the
// process's memory, and the bare libcurl loop's reading of a pre-built message from memory.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sched.h>
#include <stdexcept>
#include <string>
#include <sys/types.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace bench {

// The value of `argumento` when it is `prefijo` followed by it ("--kb=" in "--kb=100"), else
// nothing.
inline const char* valorDeOpcion(const std::string& argumento, const char* prefijo) {
    return argumento.starts_with(prefijo) ? argumento.c_str() + std::strlen(prefijo) : nullptr;
}

// Hands each `--nombre=valor` argument's value to the action of its prefix; any other argument
// is an error.
using AccionOpcion = std::function<void(const char* valor)>;
inline void leerOpciones(int argc, char** argv,
                         const std::vector<std::pair<const char*, AccionOpcion>>& opciones) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto opcion = std::find_if(opciones.begin(), opciones.end(), [&arg](const auto& o) {
            return valorDeOpcion(arg, o.first) != nullptr;
        });
        if (opcion == opciones.end()) {
            throw std::runtime_error("unknown argument " + arg);
        }
        opcion->second(valorDeOpcion(arg, opcion->first));
    }
}

// A line of /proc/self/status in KB: "VmHWM:" (the peak resident memory) or "VmRSS:" (now).
inline long memoriaKb(const std::string& campo) {
    std::ifstream status("/proc/self/status");
    std::string linea;
    while (std::getline(status, linea)) {
        if (linea.starts_with(campo)) {
            return std::stol(linea.substr(campo.size()));
        }
    }
    return -1;
}

// Feeds a pre-built message to libcurl (CURLOPT_READFUNCTION with a Lectura as its data).
struct Lectura {
    const std::string* bytes = nullptr;
    std::size_t hecho = 0;
};

inline std::size_t leer(char* destino, std::size_t tamano, std::size_t n, void* datos) {
    auto& l = *static_cast<Lectura*>(datos);
    const std::size_t trozo = std::min(tamano * n, l.bytes->size() - l.hecho);
    std::memcpy(destino, l.bytes->data() + l.hecho, trozo);
    l.hecho += trozo;
    return trozo;
}

// Every thread of `proceso` on the processors of `cpus` only.
inline void fijarProcesadores(pid_t proceso, const cpu_set_t& cpus) {
    std::error_code error;
    const auto hilos = std::filesystem::path("/proc") / std::to_string(proceso) / "task";
    for (const auto& hilo : std::filesystem::directory_iterator(hilos, error)) {
        ::sched_setaffinity(std::stoi(hilo.path().filename().string()), sizeof cpus, &cpus);
    }
}

// The local test mail server stands for another machine: on a machine of two processors it would
// otherwise share them with the program measured, and the scheduler moving one onto the other's
// processor shows in the figures as the program being slow. The server gets the first processor
// to itself and this process (every thread it has now and every one it starts later) the rest.
// False when there is only one processor, and nothing is moved.
inline bool apartarServidor(pid_t servidor) {
    cpu_set_t todas;
    CPU_ZERO(&todas);
    if (::sched_getaffinity(0, sizeof todas, &todas) != 0 || CPU_COUNT(&todas) < 2) {
        return false;
    }
    int primera = 0;
    while (!CPU_ISSET(primera, &todas)) {
        ++primera;
    }
    cpu_set_t suya;
    CPU_ZERO(&suya);
    CPU_SET(primera, &suya);
    cpu_set_t resto = todas;
    CPU_CLR(primera, &resto);
    fijarProcesadores(servidor, suya);
    fijarProcesadores(::getpid(), resto);
    return true;
}

} // namespace bench
