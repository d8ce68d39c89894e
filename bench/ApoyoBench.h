#pragma once

// What the whole-process benchmarks share: their `--nombre=valor` options, their reading of the
// process's memory, and the bare libcurl loop's reading of a pre-built message from memory.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
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

} // namespace bench
