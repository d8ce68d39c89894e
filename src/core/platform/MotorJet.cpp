#include "platform/MotorJet.h"

#include "database/SerializarTabla.h"
#include "platform/ExecutableFolder.h"
#include "platform/IsolatedProcess.h"
#include "platform/LectorJet.h"

#include <cstdlib>
#include <mutex>
#include <unistd.h>

namespace envio {
namespace {

// A healthy read sends its rows well within this; libmdb stuck in a loop sends nothing.
constexpr std::chrono::seconds kSilencioMaximo{30};

TablaLeida leer(const std::vector<std::string>& argumentos) {
    const std::filesystem::path archivo = argumentos.at(0);
    if (argumentos.size() == 1) {
        TablaLeida t{"tablas", {"nombre"}, {}};
        for (auto& nombre : LectorJet(archivo).tablas()) {
            t.filas.push_back({Valor::texto(std::move(nombre))});
        }
        return t;
    }
    return LectorJet(archivo).leerTabla(argumentos[1], {argumentos.begin() + 2, argumentos.end()});
}

} // namespace

std::string responderLecturaJet(const std::vector<std::string>& argumentos) {
    return isolatedAnswer([&] {
        if (argumentos.empty()) {
            throw ErrorBaseDatos("Uso: envio-lector-jet ARCHIVO [TABLA [CAMPO...]]");
        }
        return serializarTabla(leer(argumentos));
    });
}

std::optional<std::filesystem::path> ubicarLectorJet() {
    std::vector<std::filesystem::path> candidates;
    if (const char* env = std::getenv("ENVIO_LECTOR_JET"); env != nullptr && *env != '\0') {
        candidates.emplace_back(env);
    }
    candidates.push_back(executableFolder() / "envio-lector-jet");
    candidates.push_back(executableFolder() / "../libexec/envio-documentos/envio-lector-jet");
    candidates.emplace_back(ENVIO_LIBEXECDIR "/envio-lector-jet");
    candidates.emplace_back(ENVIO_BUILD_LECTOR_JET);
    for (const auto& candidate : candidates) {
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

MotorJet::MotorJet(const std::filesystem::path& archivo) : archivo_(archivo) {
    for (const auto& fila : leerAislado({archivo_.string()}).filas) {
        tablas_.push_back(fila.at(0).comoTexto());
    }
}

TablaLeida MotorJet::leerAislado(const std::vector<std::string>& argumentos) const {
    std::error_code error;
    const auto size = std::filesystem::file_size(archivo_, error);
    const std::size_t limit = 64 * (error ? 0 : size) + (64U << 20U);
    static const std::optional<std::filesystem::path> lector = ubicarLectorJet();
    try {
        if (lector) {
            return deserializarTabla(runProgram(*lector, argumentos, kSilencioMaximo, limit));
        }
        // A fork copies only the calling thread: two at once from a threaded program could hand
        // each child a lock that the other thread held. One at a time.
        static std::mutex unaALaVez;
        const std::lock_guard turno(unaALaVez);
        return deserializarTabla(
            runIsolated([&] { return serializarTabla(leer(argumentos)); }, kSilencioMaximo, limit));
    } catch (const JobError& e) {
        throw ErrorBaseDatos(e.what());
    } catch (const StartFailure& e) {
        throw ErrorBaseDatos("No se pudo leer la base de datos " + archivo_.string() + ": " +
                             e.what());
    } catch (const IsolationFailure& e) {
        throw ErrorBaseDatos("No se pudo leer la base de datos " + archivo_.string() +
                             ": el archivo está dañado (la lectura " + e.what() + ")");
    }
}

std::vector<std::string> MotorJet::tablas() {
    return tablas_;
}

TablaLeida MotorJet::leerTabla(std::string_view tabla, const std::vector<std::string>& campos) {
    std::vector<std::string> argumentos{archivo_.string(), std::string(tabla)};
    argumentos.insert(argumentos.end(), campos.begin(), campos.end());
    return leerAislado(argumentos);
}

void MotorJet::soloLectura() const {
    throw ErrorBaseDatos("La base de datos " + archivo_.string() +
                         " es de Access y el programa sólo la lee");
}

void MotorJet::borrarTodo(std::string_view) {
    soloLectura();
}

void MotorJet::agregarRegistro(std::string_view,
                               const std::vector<std::pair<std::string, Valor>>&) {
    soloLectura();
}

void MotorJet::crearTabla(const DefinicionTabla&) {
    soloLectura();
}

} // namespace envio
