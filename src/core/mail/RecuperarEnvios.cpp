#include "mail/RecuperarEnvios.h"

#include "catalogue/Catalogo.h"
#include "catalogue/MoverDocumento.h"
#include "mail/MandarCorreos.h"
#include "platform/Sha256.h"

namespace envio {

namespace {

// Another run of this machine may be between the server's answer and the rename right now: its
// claim says so, and the document is that run's to mark.
bool enCurso(const RegistroEnvios::Intento& intento, const Reservas& reservas) {
    const auto reserva = reservas.leer(Reservas::claveDe(intento.documento));
    return reserva && !reserva->dudosa && !reserva->enviada;
}

// A run stopped between the rename and the ledger's record of it: the document is under its sent
// name (or one with a number, when that was taken), with the contents that went out.
std::optional<std::filesystem::path> yaMarcado(const RegistroEnvios::Intento& intento) {
    for (const auto& candidato : nombresOcupados(rutaEnviada(intento.documento))) {
        if (sha256OfFile(candidato) == intento.sha256) {
            return candidato;
        }
    }
    return std::nullopt;
}

} // namespace

void recuperarEnviosInterrumpidos(RegistroEnvios& registro, Reservas& reservas,
                                  Dialogos& dialogos) {
    reservas.limpiarEnviadas();
    std::string marcados;
    std::string fallos;
    for (const auto& intento : registro.sinRenombrar()) {
        if (intento.resultado != RegistroEnvios::Resultado::Aceptado ||
            enCurso(intento, reservas)) {
            continue;
        }
        const std::filesystem::path documento = intento.documento;
        const auto contenido = sha256OfFile(documento);
        if (!contenido) {
            // Gone from its pending name, not just unreadable for a moment: only the ledger lacks
            // the sent name, and nothing is for the user to hear about.
            std::error_code error;
            const bool ido = !std::filesystem::exists(documento, error) && !error;
            if (const auto marcado = ido ? yaMarcado(intento) : std::nullopt) {
                registro.renombradoAlIniciar(intento.id, *marcado);
                reservas.marcarEnviada(Reservas::claveDe(documento));
            }
            continue;
        }
        if (*contenido != intento.sha256) {
            continue;
        }
        if (estaEnviado(documento.filename().string())) {
            // A document mailed again already had its sent name: only the ledger lacked it.
            registro.renombradoAlIniciar(intento.id, documento);
            reservas.marcarEnviada(Reservas::claveDe(documento));
            continue;
        }
        try {
            const auto final = moverDocumento(documento, rutaEnviada(intento.documento));
            registro.renombradoAlIniciar(intento.id, final);
            // The claim said "possibly sent" to every machine; the sent name says it now.
            reservas.marcarEnviada(Reservas::claveDe(documento));
            marcados += "\n" + final.filename().string() + " (" + intento.destinatario + ")";
        } catch (const std::runtime_error& error) {
            fallos += "\n" + documento.filename().string() + ": " + error.what();
        }
    }
    if (!marcados.empty()) {
        dialogos.mostrar({"Estos documentos se enviaron, pero el programa se cerró antes de "
                          "marcarlos. Se han marcado ahora como enviados:" +
                              marcados,
                          "Aviso", Icono::Informacion, Botones::Aceptar});
    }
    if (!fallos.empty()) {
        dialogos.mostrar({"Estos documentos se enviaron, pero no se pudieron marcar como "
                          "enviados:" +
                              fallos,
                          "Aviso", Icono::Exclamacion, Botones::Aceptar});
    }
}

} // namespace envio
