#pragma once

#include "ledger/Reservas.h"
#include "mail/EntornoEnvio.h"
#include "mail/LimitesEnvio.h"
#include "mail/clsCDOmail.h"
#include "platform/Reloj.h"
#include "ui/Dialogos.h"

#include <array>
#include <chrono>
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
    std::string nombreListado; // the recipient as the list shows it, for the history
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
        Tope,          // the account's daily cap is used up: not tried; `reanudar` says when
        Cancelado,     // Esc while waiting for the account's pace or a retry: not sent
    };
    Estado estado = Estado::NoEnviado;
    std::optional<Reservas::Reserva> otra;          // Ocupado, Dudoso: the claim in the way
    std::filesystem::path ruta;                     // Enviado: where the document is now
    std::string errorMarcado;                       // Enviado without its sent name: why
    std::chrono::system_clock::time_point reanudar; // Tope: when one more message may go
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
//
// A message the server certainly did not take and said "not now" to (421, 450, 451, 452, 454),
// or whose connection went before the data, is offered again after a pause, a bounded number of
// times, with the claim held: each try is an attempt of its own in the ledger. Nothing that may
// have reached the server is ever offered again. Before each message the account's daily cap
// and pace are checked, from every machine's ledger; waits go through the run's clock and show
// in the progress text.
class IntentoEnvio {
public:
    // The pauses before the second, third and fourth try of a message.
    static constexpr std::array<std::chrono::seconds, 3> kEsperasReintento{
        std::chrono::seconds(10), std::chrono::seconds(30), std::chrono::seconds(90)};

    IntentoEnvio(EntornoEnvio& entorno, std::string ejecucion);
    // The run is over: its last ledger writes go to disk (RegistroEnvios::indexarPendientes).
    ~IntentoEnvio();
    IntentoEnvio(const IntentoEnvio&) = delete;
    IntentoEnvio& operator=(const IntentoEnvio&) = delete;

    // `reenvioConfirmado`: a person said to send it again, so a claim left "possibly sent" is
    // taken over. Throws what the ledger or the mail component throws (the run's error exit).
    DesenlaceEnvio intentar(const Envio& envio, bool reenvioConfirmado);

private:
    // One try on the wire: its ledger attempt, what the component said, and the box it raised,
    // held back until the try is known to be the last.
    struct Vez {
        long long intento = 0;
        bool enviado = false;
        clsCDOmail::Constancia constancia;
        std::optional<CuadroMensaje> aviso;
    };

    // The file attached and its hash: the document, or its protected copy.
    struct Adjunto {
        std::filesystem::path ruta;
        std::string sha256;
    };

    long long anotar(const Envio& envio, const std::string& sha256,
                     const std::string& sha256Adjunto);
    DesenlaceEnvio enviarConClaim(const Envio& envio, bool reenvioConfirmado);
    Vez enviarUnaVez(const Envio& envio, const std::string& sha256, const Adjunto& adjunto);
    DesenlaceEnvio asentar(const Envio& envio, const Vez& vez);
    DesenlaceEnvio trasRespuesta(const Envio& envio, long long intento,
                                 RegistroEnvios::Resultado resultado);
    void marcar(const Envio& envio, long long intento, DesenlaceEnvio& desenlace);

    std::optional<DesenlaceEnvio> esperarTurno();
    bool esperar(std::chrono::seconds espera, const std::string& motivo);
    LimitesEnvio& limites();
    [[nodiscard]] const Reloj& reloj() const;

    EntornoEnvio& e_;
    std::string ejecucion_;
    bool puedeHaberSalido_ = false; // the current attempt reached the send step
    RelojDelSistema relojDelSistema_;
    std::optional<LimitesEnvio> limites_; // read from the ledgers at the first message
};

} // namespace envio
