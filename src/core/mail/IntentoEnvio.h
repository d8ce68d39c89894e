#pragma once

#include "ledger/Reservas.h"
#include "mail/EntornoEnvio.h"
#include "mail/LimitesEnvio.h"
#include "mail/LineaEnvio.h"
#include "mail/clsCDOmail.h"
#include "platform/Reloj.h"
#include "ui/Dialogos.h"

#include <array>
#include <chrono>
#include <deque>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
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
        Cancelado,     // Esc before it went out (its pace, a retry, its turn): not sent
    };
    Estado estado = Estado::NoEnviado;
    std::optional<Reservas::Reserva> otra;          // Ocupado, Dudoso: the claim in the way
    std::filesystem::path ruta;                     // Enviado: where the document is now
    std::string errorMarcado;                       // Enviado without its sent name: why
    std::chrono::system_clock::time_point reanudar; // Tope: when one more message may go
    std::optional<CuadroMensaje> aviso; // NoEnviado: the box that says why, when there is one
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
// A document run overlaps its attempts (`encadenar`): its messages go out one after another on a
// thread of their own (LineaEnvio), the next one the moment the server has answered the one
// before, while the run settles that answer and gets the one after ready, once the message on
// the wire has all its data out and only its answer is left to come. The order of each
// document's own steps is the one above. A prepared attempt that never goes out (Esc, a failure
// elsewhere in the run) is undone: its "enviando" record leaves the ledger and its claim is
// released. A run killed meanwhile leaves it, like any attempt past its record, possibly sent:
// for a person to decide, never mailed again unasked.
//
// A message the server certainly did not take and said "not now" to (421, 450, 451, 452, 454),
// or whose connection went before the data, is offered again after a pause, a bounded number of
// times, with the claim held, before any other message goes: each try is an attempt of its own
// in the ledger. Nothing that may have reached the server is ever offered again. Before each
// message the account's daily cap and pace are checked, from every machine's ledger; waits go
// through the run's clock and show in the progress text. While they may hold a message back,
// attempts do not overlap.
class IntentoEnvio {
public:
    // The pauses before the second, third and fourth try of a message.
    static constexpr std::array<std::chrono::seconds, 3> kEsperasReintento{
        std::chrono::seconds(10), std::chrono::seconds(30), std::chrono::seconds(90)};

    IntentoEnvio(EntornoEnvio& entorno, std::string ejecucion);
    // The run is over: a message still waiting is undone, one on the wire is waited for (its
    // answer, unsettled, leaves it possibly sent), and the last ledger writes go to disk.
    ~IntentoEnvio();
    IntentoEnvio(const IntentoEnvio&) = delete;
    IntentoEnvio& operator=(const IntentoEnvio&) = delete;

    // All the steps of one attempt in a row, on this thread. `reenvioConfirmado`: a person said
    // to send it again, so a claim left "possibly sent" is taken over. Throws what the ledger or
    // the mail component throws (the run's error exit).
    DesenlaceEnvio intentar(const Envio& envio, bool reenvioConfirmado);

    // What a run does with the outcome of a message it had handed to the line: `etiqueta` says
    // which.
    using Concluida = std::function<void(std::size_t etiqueta, const DesenlaceEnvio&)>;

    // The same steps overlapped with the attempts before: `envio` is prepared and handed to the
    // line; outcomes of earlier ones are handed to `concluida` as they are settled, in order.
    // Nothing when the message is in the line; else why it does not go, after every earlier
    // outcome.
    std::optional<DesenlaceEnvio> encadenar(std::size_t etiqueta, const Envio& envio,
                                            bool reenvioConfirmado, const Concluida& concluida);
    // Waits for every message in the line and settles it.
    void terminar(const Concluida& concluida);

private:
    // One try on the wire: its ledger attempt, what the component said, and the box it raised,
    // held back until the try is known to be the last.
    struct Vez {
        long long intento = 0;
        bool enviado = false;
        clsCDOmail::Constancia constancia;
        std::optional<CuadroMensaje> aviso;
        std::exception_ptr error; // the component could not put the message together
    };

    // The file attached and its hash: the document, or its protected copy.
    struct Adjunto {
        std::filesystem::path ruta;
        std::string sha256;
    };

    struct Preparado;
    struct EnLinea;

    // Nothing when the attempt is prepared (`preparado_`); else why it does not go, its claim not
    // held.
    std::optional<DesenlaceEnvio> preparar(const Envio& envio, bool reenvioConfirmado);
    std::optional<DesenlaceEnvio> prepararConClaim(const Envio& envio, bool reenvioConfirmado);
    long long anotar(const Envio& envio, std::uintmax_t tamano, const std::string& sha256,
                     const std::string& sha256Adjunto);
    std::unique_ptr<clsCDOmail> componer(const Envio& envio, const Adjunto& adjunto);
    static Vez enviar(clsCDOmail& oMail, long long intento);
    void descartar(Preparado& p) noexcept;

    void esperarHueco(const Concluida& concluida);
    void asentarHechas(const Concluida& concluida);
    void retirarEsperando(const Concluida& concluida);

    static bool esDefinitiva(const Vez& vez, std::size_t reintento);
    DesenlaceEnvio responder(const Preparado& p, Vez vez);
    void contar(const Vez& vez);
    DesenlaceEnvio cerrar(const Envio& envio, const Vez& vez);
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
    RelojDelSistema relojDelSistema_;
    std::optional<LimitesEnvio> limites_; // read from the ledgers at the first message
    std::unique_ptr<Preparado> preparado_;
    // Handed to the line and not settled yet, in order: at most one on the wire (or answered)
    // and one waiting.
    std::deque<std::unique_ptr<EnLinea>> enLinea_;
    std::size_t asentadas_ = 0;         // of the line's tasks
    std::unique_ptr<LineaEnvio> linea_; // started at the first overlapped attempt
};

} // namespace envio
