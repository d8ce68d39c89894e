#include "mail/ErroresEjecucion.h"

#include "database/ErrorBaseDatos.h"
#include "platform/MailTransport.h"
#include "ui/Dialogos.h"

#include <ctime>

namespace envio {

Interrupcion interrupcionDe(const std::exception& error) {
    if (const auto* componente = dynamic_cast<const ErrorComponenteCorreo*>(&error)) {
        return {componente->numero(), error.what()};
    }
    if (dynamic_cast<const ErrorBaseDatos*>(&error) != nullptr) {
        return {kErrorBaseDatos, error.what()};
    }
    return {kErrorArchivo, error.what()};
}

void mostrarInterrupcion(Dialogos& dialogos, const Interrupcion& interrupcion) {
    if (interrupcion.numero != kErrorSilencioso) {
        dialogos.mostrar({std::to_string(interrupcion.numero) + " " + interrupcion.descripcion,
                          "Aviso", Icono::Informacion, Botones::Aceptar});
    }
}

std::string horaUtc() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

} // namespace envio
