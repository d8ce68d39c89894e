#pragma once

#include "ledger/Reservas.h"
#include "mail/EntornoEnvio.h"

#include <filesystem>
#include <optional>
#include <string>

namespace envio {

// What one attempt mails: a document (attached, then renamed to its sent name) or a notice.
struct Envio {
    std::string documento; // as the ledger names it: the file's path, or the notice's label
    std::string clave;     // the claim's key: the same thing on every machine
    std::optional<std::filesystem::path> archivo; // the document; none for a notice
    std::string para;
    std::string asunto;
    std::string mensaje;
    bool confirmacion = false;
    // Not empty: what goes out is a copy of the document that opens only with this password
    // (the employee's NIF); the file itself never changes.
    std::string contrasena;
};

struct DesenlaceEnvio {
    enum class Estado {
        Enviado,       // the server took it (the document may still lack its sent name)
        NoEnviado,     // the server refused it, or it never left
        Incierto,      // no answer after the message went out: it may be with its recipient
        Ocupado,       // another run holds it right now
        Dudoso,        // a run left it possibly sent; nobody confirmed a resend
        YaNoPendiente, // the file is gone from its pending name: another run marked it
    };
    Estado estado = Estado::NoEnviado;
    std::optional<Reservas::Reserva> otra; // Ocupado, Dudoso: the claim in the way
    std::filesystem::path ruta;            // Enviado: where the document is now
    std::string errorMarcado;              // Enviado without its sent name: why
};

// The one way every run mails anything. Each step is durable before the next one starts:
//
//   claim  →  ledger "enviando"  →  send  →  ledger: accepted / refused / uncertain
//          →  (documents) rename to the sent name  →  ledger: renamed  →  claim released
//
// A claim that another run holds stops the attempt before anything else. A refusal releases
// the claim; an uncertain answer, or an accepted document that could not be renamed, leaves
// the claim behind marked "possibly sent", so no run on any machine mails it again unasked.
// Boxes the component raises (its Error event) go through the run's dialogs; everything else
// comes back in the result for the run to show in its own words.
class IntentoEnvio {
public:
    IntentoEnvio(EntornoEnvio& entorno, std::string ejecucion);

    // `reenvioConfirmado`: a person said to send it again, so a claim left "possibly sent" is
    // taken over. Throws what the ledger or the mail component throws (the run's error exit).
    DesenlaceEnvio intentar(const Envio& envio, bool reenvioConfirmado);

private:
    long long anotar(const Envio& envio, const std::string& sha256,
                     const std::string& sha256Adjunto);
    DesenlaceEnvio enviarConClaim(const Envio& envio, bool reenvioConfirmado);
    DesenlaceEnvio trasRespuesta(const Envio& envio, long long intento,
                                 RegistroEnvios::Resultado resultado);
    void marcar(const Envio& envio, long long intento, DesenlaceEnvio& desenlace);

    EntornoEnvio& e_;
    std::string ejecucion_;
    bool puedeHaberSalido_ = false; // the current attempt reached the send step
};

} // namespace envio
