#pragma once

#include "platform/ConnectivityProbe.h"
#include "platform/MailTransport.h"
#include "settings/ConfiguracionCorreo.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace envio {

struct Buzon;

// The port as its owner set it: unset, a number or a text; it is only read in `Enviar`.
using ValorPuerto = std::variant<std::monostate, long long, double, std::string>;

// One mail message: settings, addresses, subject, plain-text body, at most one attachment and
// a read-receipt request. `Enviar` reports its outcome twice, by its result and by exactly one
// of the two events, raised before it returns.
class clsCDOmail {
public:
    // The component and the probe outlive the object; a run passes the same component to every
    // message so that they share one connection.
    clsCDOmail(MailTransport& componente, ConnectivityProbe& sonda);

    bool Confirmacion = false;
    std::string servidor;
    std::string para;
    std::string de;
    std::string Asunto;
    std::string Mensaje;
    std::string Adjunto;
    ValorPuerto puerto;
    std::string Usuario;
    std::string PassWord;
    bool UseAuntentificacion = false;
    bool ssl = false;

    std::function<void(const std::string& Descripcion, long Numero)> Error;
    std::function<void()> EnvioCompleto;
    // Raised on the sending thread the moment the whole message is with the connection, before
    // the server's answer (and never when the data did not all go). Not an outcome: the events
    // above still follow.
    std::function<void()> DatosEntregados;

    // True when the server took the message. A failure of the mail component before the send
    // step is thrown as ErrorComponenteCorreo and raises no event.
    bool Enviar();

    // The attachment's bytes, read by the owner ahead of `Enviar`, which then reads nothing from
    // disk: a run gets the next message ready while the one before is on the wire. Without them
    // `Enviar` reads the file, and tells its failure.
    void AdjuntarContenido(std::string_view contenido);

    // What the last `Enviar` left for the sending record: the Message-ID of the message handed
    // to the component (empty when a check stopped it before), the server's last reply, and
    // whether the server may hold the message even though the send failed.
    struct Constancia {
        std::string messageId;
        std::string respuesta;
        bool puedeHaberseEntregado = false;
        // The server said "not now", or the connection went before the data: a later try of
        // the same message is safe.
        bool transitorio = false;
    };
    [[nodiscard]] const Constancia& UltimoEnvio() const { return constancia_; }

private:
    // The steps of `Enviar`: the checks that stop a message before the component (each raises
    // its event), the settings the component connects with, the message and its hand-over, and
    // the event that tells the outcome.
    [[nodiscard]] std::optional<ConfiguracionSmtp> comprobarAntesDeEnviar() const;
    [[nodiscard]] ConfiguracionSmtp configuracionSmtp(double numeroPuerto) const;
    ResultadoEnvio entregar(const ConfiguracionSmtp& configuracion);
    MensajeSmtp componerMensaje(const Buzon& remitente, const std::vector<Buzon>& destinatarios);
    bool avisarResultado(const ResultadoEnvio& resultado) const;
    void avisarError(const std::string& descripcion, long numero) const;

    // The attachment as the message carries it: the one given ahead for the file named now
    // (handed over, not copied: one message carries it), else read here. Throws
    // ErrorComponenteCorreo when the file cannot be read.
    [[nodiscard]] std::string adjuntoCodificado();

    MailTransport& componente_;
    ConnectivityProbe& sonda_;
    Constancia constancia_;
    // What AdjuntarContenido gave, encoded, and for which file.
    std::string adjuntoLeido_;
    std::string base64Leido_;
};

// The server, port, security and account of the mail settings, authentication on: how both
// sending runs set up each message.
void usarConfiguracion(clsCDOmail& oMail, const ConfiguracionCorreo& c);

inline constexpr const char* TextoSinConexion =
    "No se puede enviar el correo. Verificar la conexión a internet si está disponible";
inline constexpr const char* TextoSinPuerto = "No se ha indicado el puerto del servidor";
inline constexpr const char* TextoSinArchivo =
    "No se ha encontrado el archivo en la siguiente ruta: ";
inline constexpr const char* TextoFalloConexion =
    "Posible error : nombre del Servidor incorrecto o número de puerto incorrecto";
inline constexpr const char* TextoNoAceptado =
    "Posible error : Nombre de usuario o password incorrecto";

// The number a port text reads as, with the leniency the settings screens always allowed
// (blanks around it, a sign, a decimal comma or point, an exponent, &H and &O notation).
std::optional<double> leerNumero(std::string_view texto);

} // namespace envio
