#pragma once

// What the whole-process benchmarks share: their `--nombre=valor` options and the bare libcurl
// loop's reading of a pre-built message from memory.
#include <algorithm>
#include <cstring>
#include <string>

namespace bench {

// The value of `argumento` when it is `prefijo` followed by it ("--kb=" in "--kb=100"), else
// nothing.
inline const char* valorDeOpcion(const std::string& argumento, const char* prefijo) {
    return argumento.starts_with(prefijo) ? argumento.c_str() + std::strlen(prefijo) : nullptr;
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
