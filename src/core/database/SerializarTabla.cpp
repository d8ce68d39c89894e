#include "database/SerializarTabla.h"

#include "database/ErrorBaseDatos.h"

#include <cstdint>
#include <cstring>

namespace envio {
namespace {

void putCount(std::string& out, std::size_t n) {
    const auto value = static_cast<std::uint64_t>(n);
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void putText(std::string& out, std::string_view text) {
    putCount(out, text.size());
    out += text;
}

class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}

    std::size_t count() {
        std::uint64_t value = 0;
        need(sizeof value);
        std::memcpy(&value, bytes_.data(), sizeof value);
        bytes_.remove_prefix(sizeof value);
        if (value > bytes_.size() + 1'000'000'000ULL) {
            broken();
        }
        return static_cast<std::size_t>(value);
    }
    std::string text() {
        const std::size_t n = count();
        need(n);
        std::string out(bytes_.substr(0, n));
        bytes_.remove_prefix(n);
        return out;
    }
    char byte() {
        need(1);
        const char c = bytes_.front();
        bytes_.remove_prefix(1);
        return c;
    }
    [[nodiscard]] bool done() const { return bytes_.empty(); }

private:
    void need(std::size_t n) const {
        if (bytes_.size() < n) {
            broken();
        }
    }
    [[noreturn]] static void broken() {
        throw ErrorBaseDatos("La lectura de la base de datos devolvió datos incompletos");
    }
    std::string_view bytes_;
};

} // namespace

std::string serializarTabla(const TablaLeida& tabla) {
    std::string serializada;
    putText(serializada, tabla.nombre);
    putCount(serializada, tabla.columnas.size());
    for (const auto& c : tabla.columnas) {
        putText(serializada, c);
    }
    putCount(serializada, tabla.filas.size());
    for (const auto& fila : tabla.filas) {
        for (const auto& v : fila) {
            serializada += static_cast<char>(v.tipo());
            if (!v.esNulo()) {
                putText(serializada, v.comoTexto());
            }
        }
    }
    return serializada;
}

TablaLeida deserializarTabla(std::string_view bytes) {
    Reader lector(bytes);
    TablaLeida tabla;
    tabla.nombre = lector.text();
    const std::size_t columnas = lector.count();
    for (std::size_t c = 0; c < columnas; ++c) {
        tabla.columnas.push_back(lector.text());
    }
    const std::size_t filas = lector.count();
    for (std::size_t r = 0; r < filas; ++r) {
        std::vector<Valor> fila;
        fila.reserve(columnas);
        for (std::size_t c = 0; c < columnas; ++c) {
            switch (static_cast<Valor::Tipo>(lector.byte())) {
            case Valor::Tipo::Nulo:
                fila.push_back(Valor::nulo());
                break;
            case Valor::Tipo::Texto:
                fila.push_back(Valor::texto(lector.text()));
                break;
            case Valor::Tipo::Numero:
                fila.push_back(Valor::numero(lector.text()));
                break;
            default:
                throw ErrorBaseDatos("La lectura de la base de datos devolvió datos incompletos");
            }
        }
        tabla.filas.push_back(std::move(fila));
    }
    if (!lector.done()) {
        throw ErrorBaseDatos("La lectura de la base de datos devolvió datos incompletos");
    }
    return tabla;
}

} // namespace envio
