#include "platform/MotorJet.h"

#include "database/SerializarTabla.h"
#include "platform/LectorJet.h"
#include "platform/ProcesoAislado.h"

namespace envio {
namespace {

// A healthy read sends its rows well within this; libmdb stuck in a loop sends nothing.
constexpr std::chrono::seconds kSilencioMaximo{30};

} // namespace

MotorJet::MotorJet(const std::filesystem::path& archivo) : archivo_(archivo) {
    const TablaLeida lista = leerAislado([&] {
        TablaLeida t{"tablas", {"nombre"}, {}};
        for (auto& nombre : LectorJet(archivo_).tablas()) {
            t.filas.push_back({Valor::texto(std::move(nombre))});
        }
        return t;
    });
    for (const auto& fila : lista.filas) {
        tablas_.push_back(fila.at(0).comoTexto());
    }
}

TablaLeida MotorJet::leerAislado(const std::function<TablaLeida()>& lectura) const {
    std::error_code error;
    const auto size = std::filesystem::file_size(archivo_, error);
    const std::size_t limit = 64 * (error ? 0 : size) + (64U << 20U);
    try {
        return deserializarTabla(
            ejecutarAislado([&] { return serializarTabla(lectura()); }, kSilencioMaximo, limit));
    } catch (const ErrorDelTrabajo& e) {
        throw ErrorBaseDatos(e.what());
    } catch (const FalloAislado& e) {
        throw ErrorBaseDatos("No se pudo leer la base de datos " + archivo_.string() +
                             ": el archivo está dañado (la lectura " + e.what() + ")");
    }
}

std::vector<std::string> MotorJet::tablas() { return tablas_; }

TablaLeida MotorJet::leerTabla(std::string_view tabla, const std::vector<std::string>& campos) {
    return leerAislado([&] { return LectorJet(archivo_).leerTabla(tabla, campos); });
}

void MotorJet::soloLectura() const {
    throw ErrorBaseDatos("La base de datos " + archivo_.string() +
                         " es de Access y el programa sólo la lee");
}

void MotorJet::borrarTodo(std::string_view) { soloLectura(); }

void MotorJet::agregarRegistro(std::string_view, const std::vector<std::pair<std::string, Valor>>&) {
    soloLectura();
}

void MotorJet::crearTabla(const DefinicionTabla&) { soloLectura(); }

} // namespace envio
