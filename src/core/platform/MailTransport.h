#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace envio {

// Error numbers of the mail component, as the owners' message boxes show them in their title.
namespace correo {
// The two failures that the windows explain with their own words.
inline constexpr long FalloConexion = -2147220973; // 0x80040213: the server could not be reached
inline constexpr long NoAceptado = -2147220975;    // 0x80040211: credentials refused
// The rest carry their own description.
inline constexpr long RemitenteRechazado = -2147220928;    // 0x80040240
inline constexpr long DestinatarioRechazado = -2147220927; // 0x80040241
inline constexpr long MensajeRechazado = -2147220926;      // 0x80040242
inline constexpr long ConexionPerdida = -2147220925;       // 0x80040243
inline constexpr long SinRespuesta = -2147220924;          // 0x80040244
inline constexpr long DireccionNoValida = -2147220923;     // 0x80040245
inline constexpr long AdjuntoIlegible = -2147220922;       // 0x80040246
inline constexpr long ErrorEnvio = -2147220921;            // 0x80040247: anything else
} // namespace correo

// How to reach the server: the eight configuration items of a message. The last three are only
// given when the message authenticates; without them the component uses neither TLS nor
// credentials.
struct ConfiguracionSmtp {
    std::string servidor;
    int metodoEnvio = 2; // through an SMTP server over the network; the only method there is
    double puerto = 0; // as the owner held it; anything but a whole number 1..65535 cannot connect
    bool autenticar = false;
    std::chrono::seconds tiempoConexion{10};
    std::optional<std::string> usuario;
    std::optional<std::string> password;
    std::optional<bool> ssl;
    // An OAuth2 access token: with it the component signs in as `usuario` with XOAUTH2 instead
    // of the password.
    std::optional<std::string> tokenAcceso;
};

// A message ready for the wire: the owner has encoded every header line already (none holds a
// CR or LF except the folding it wrote itself) and turned the body into CRLF lines.
struct MensajeSmtp {
    std::string remitente;                  // bare address for MAIL FROM
    std::vector<std::string> destinatarios; // bare addresses for RCPT TO
    std::vector<std::string> cabeceras;     // "Name: value" lines of the message itself
    std::string cuerpo;                     // UTF-8 text
    struct Adjunto {
        std::filesystem::path ruta;         // for the texts that name it
        std::vector<std::string> cabeceras; // Content-Type and Content-Disposition of the part
        // The file's bytes in base64, CRLF lines of 76: the owner reads the file, so that
        // nothing is read from disk while the message is on the wire.
        std::string base64;
    };
    std::optional<Adjunto> adjunto;
    // Called on the sending thread, at most once, the moment every byte of the message is with
    // the connection and only the server's answer is left to come: an owner with other work can
    // do it then without holding up the conversation. Never called when the data did not all go.
    std::function<void()> alEntregarDatos;
};

struct ResultadoEnvio {
    bool enviado = false;
    long numero = 0;         // 0 when sent, else one of correo::*
    std::string descripcion; // the component's own words, in Spanish
    std::string respuesta;   // the server's last reply line, when there was one
    // False only when the server certainly did not take the message; a failure after the data
    // went out (no reply, connection lost) leaves it open, and the caller must not resend blindly.
    bool puedeHaberseEntregado = false;
    // The server said "not now" (421, 450, 451, 452, 454) or the connection was lost before the
    // message data went out: the same message may be tried again later, on a new connection.
    // Never set when the server may hold the message.
    bool transitorio = false;
    // The description names the problem and its remedy (a certificate, TLS, a provider that
    // refuses password sign-in): the owner shows it instead of its own general text.
    bool explicado = false;
};

// A failure before anything is sent (the message cannot be put together, the attachment cannot
// be read). It leaves `Enviar` as an error of the call, not as an event.
class ErrorComponenteCorreo : public std::runtime_error {
public:
    ErrorComponenteCorreo(long numero, const std::string& descripcion)
        : std::runtime_error(descripcion), numero_(numero) {}
    [[nodiscard]] long numero() const { return numero_; }

private:
    long numero_;
};

// The SMTP mail component. One instance serves a whole run: it keeps the connection open
// between messages. Not for use by two threads at once.
class MailTransport {
public:
    virtual ~MailTransport() = default;
    // Throws ErrorComponenteCorreo when the message cannot be prepared; once the send step
    // starts every outcome comes back in the result.
    virtual ResultadoEnvio enviar(const ConfiguracionSmtp& configuracion,
                                  const MensajeSmtp& mensaje) = 0;
};

} // namespace envio
