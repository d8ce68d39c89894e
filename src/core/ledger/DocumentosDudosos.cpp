#include "ledger/DocumentosDudosos.h"

namespace envio {
namespace {

std::string conRespuesta(const std::string& texto, const std::string& respuesta) {
    return respuesta.empty() ? texto + ", sin respuesta del servidor"
                             : texto + "; el servidor respondió: " + respuesta;
}

std::string segunRegistro(const RegistroEnvios::Intento& i) {
    const std::string cuando = horaLegible(i.hora) + " a " + i.destinatario;
    if (i.resultado == RegistroEnvios::Resultado::Aceptado) {
        return "enviado el " + cuando + ", pero sin marcar como enviado";
    }
    return conRespuesta("envío interrumpido el " + cuando, i.respuesta);
}

std::string segunReserva(const Reservas::Reserva& r) {
    return conRespuesta("envío interrumpido de " + describirTitular(r) + " a " + r.destinatario,
                        r.respuesta);
}

} // namespace

DocumentosDudosos::DocumentosDudosos(RegistroEnvios& registro, const Reservas& reservas) {
    for (const auto& reserva : reservas.todas()) {
        if (reserva.dudosa) {
            porClave_[reserva.clave] = segunReserva(reserva);
        } else if (!reserva.enviada) {
            enCurso_.insert(reserva.clave);
        }
    }
    // An attempt without an answer yet whose run still holds the claim is a send at work right
    // now (another run of this machine), not a doubt: that run will settle it.
    for (const auto& intento : registro.dudosos()) {
        if (enCurso_.count(Reservas::claveDe(intento.documento)) == 0) {
            porDocumento_[intento.documento] = segunRegistro(intento);
        }
    }
}

bool DocumentosDudosos::enCurso(const std::string& documento) const {
    return !enCurso_.empty() && enCurso_.count(Reservas::claveDe(documento)) != 0;
}

std::optional<std::string> DocumentosDudosos::motivo(const std::string& documento) const {
    if (const auto it = porDocumento_.find(documento); it != porDocumento_.end()) {
        return it->second;
    }
    if (porClave_.empty()) {
        return std::nullopt;
    }
    if (const auto it = porClave_.find(Reservas::claveDe(documento)); it != porClave_.end()) {
        return it->second;
    }
    return std::nullopt;
}

} // namespace envio
