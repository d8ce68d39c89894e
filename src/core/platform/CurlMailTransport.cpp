#include "platform/CurlMailTransport.h"

#include "platform/QuotedPrintable.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <curl/curl.h>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace envio {
namespace {

void iniciarCurl() {
    static std::once_flag una;
    std::call_once(una, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Lista {
    curl_slist* p = nullptr;
    Lista() = default;
    Lista(const Lista&) = delete;
    Lista& operator=(const Lista&) = delete;
    ~Lista() { curl_slist_free_all(p); }
    void agregar(const std::string& linea) {
        curl_slist* nueva = curl_slist_append(p, linea.c_str());
        if (nueva == nullptr) {
            throw ErrorComponenteCorreo(correo::ErrorEnvio, "No hay memoria para el mensaje");
        }
        p = nueva;
    }
};

struct Mime {
    curl_mime* p = nullptr;
    Mime(const Mime&) = delete;
    Mime& operator=(const Mime&) = delete;
    explicit Mime(CURL* handle) : p(curl_mime_init(handle)) {}
    ~Mime() { curl_mime_free(p); }
};

// What the conversation showed of itself, for telling apart where a transfer failed.
struct Conversacion {
    std::string ultimaOrden;     // the last command, without arguments for AUTH
    std::string ultimaRespuesta; // the last reply line
    bool datosEnviados = false;  // the server said 354: from here it may take the message
    bool despidiendose = false;  // after a failure curl says QUIT; its "221 Bye" explains nothing
};

int anotarConversacion(CURL*, curl_infotype tipo, char* datos, size_t largo, void* destino) {
    if (tipo != CURLINFO_HEADER_IN && tipo != CURLINFO_HEADER_OUT) {
        return 0;
    }
    auto& c = *static_cast<Conversacion*>(destino);
    std::string_view linea(datos, largo);
    while (!linea.empty() && (linea.back() == '\n' || linea.back() == '\r')) {
        linea.remove_suffix(1);
    }
    if (c.despidiendose) {
        return 0;
    }
    if (tipo == CURLINFO_HEADER_OUT && linea.starts_with("QUIT")) {
        c.despidiendose = true;
        return 0;
    }
    if (tipo == CURLINFO_HEADER_IN) {
        c.ultimaRespuesta = linea;
        if (linea.starts_with("354")) {
            c.datosEnviados = true;
        }
        return 0;
    }
    // AUTH and its continuations carry the credentials: only the fact that we sent them counts.
    if (linea.size() >= 4 && std::string_view("AUTH") == linea.substr(0, 4)) {
        c.ultimaOrden = "AUTH";
    } else if (c.ultimaOrden != "AUTH" || linea.starts_with("MAIL") || linea.starts_with("RSET") ||
               linea.starts_with("EHLO")) {
        c.ultimaOrden = linea;
    }
    return 0;
}

std::optional<int> puertoValido(double puerto) {
    if (!std::isfinite(puerto) || puerto != std::floor(puerto) || puerto < 1 || puerto > 65535) {
        return std::nullopt;
    }
    return static_cast<int>(puerto);
}

// A server name fit for a URL: a host name or an IPv4 or IPv6 address, nothing else.
std::optional<std::string> servidorParaUrl(std::string_view servidor) {
    // Blanks around the name are a typing slip in the settings screen, not part of it.
    const auto inicio = servidor.find_first_not_of(" \t");
    servidor = inicio == std::string_view::npos
                   ? std::string_view()
                   : servidor.substr(inicio, servidor.find_last_not_of(" \t") - inicio + 1);
    if (servidor.empty()) {
        return std::nullopt;
    }
    if (servidor.front() == '[' && servidor.back() == ']') {
        servidor = servidor.substr(1, servidor.size() - 2);
    }
    bool dosPuntos = false;
    for (const char ch : servidor) {
        const auto u = static_cast<unsigned char>(ch);
        if (u <= 0x20 || u == 0x7F ||
            std::string_view("/\\@?#[]%\"<>`{}|^").find(ch) != std::string_view::npos) {
            return std::nullopt;
        }
        dosPuntos = dosPuntos || ch == ':';
    }
    return dosPuntos ? "[" + std::string(servidor) + "]" : std::string(servidor);
}

// The EHLO greeting names this machine where its name is a plain host name; curl's default
// "localhost" makes some servers suspicious.
std::string nombreEquipo() {
    char nombre[256] = {};
    if (::gethostname(nombre, sizeof nombre - 1) != 0) {
        return {};
    }
    const std::string_view n(nombre);
    for (const char ch : n) {
        if (!(std::isalnum(static_cast<unsigned char>(ch)) || ch == '-' || ch == '.')) {
            return {};
        }
    }
    return std::string(n);
}

// Where and how to connect, decided from the settings before any byte goes out. Also where the
// message was going, for texts that tell the user what to change.
struct Conexion {
    std::string servidor; // as it stands in the URL: an IPv6 address in brackets
    int puerto = 0;
    bool tls = false;
    bool tlsImplicito = false; // TLS from the first byte; else STARTTLS when `tls`
    std::string archivoCA;     // empty: the system's store
    std::string url;
    std::chrono::seconds esperaConexion{0};
    std::chrono::seconds esperaRespuesta{0};
    enum class Acceso { Anonimo, Contrasena, XOAuth2 } acceso = Acceso::Anonimo;
    std::string usuario;
    std::string secreto; // the password or the bearer token, as `acceso` says
    // What a kept connection must have been opened for to carry this message.
    std::string clave;
};

// The key of a kept connection: server, port, TLS, authority and account. A renewed token for
// the same account may go on using the connection signed in with the old one; a password is
// part of the key, so a changed one signs in again.
std::string claveDeConexion(const Conexion& c) {
    std::string clave = c.servidor + '\n' + std::to_string(c.puerto) + '\n' + (c.tls ? "1" : "0") +
                        '\n' + c.archivoCA + '\n';
    switch (c.acceso) {
    case Conexion::Acceso::Anonimo:
        break;
    case Conexion::Acceso::Contrasena:
        clave += c.usuario + '\n' + "PLAIN\n" + c.secreto;
        break;
    case Conexion::Acceso::XOAuth2:
        clave += c.usuario + '\n' + "XOAUTH2";
        break;
    }
    return clave;
}

// Nothing when the server's name or the port cannot make a URL.
std::optional<Conexion> elegirConexion(const ConfiguracionSmtp& cfg, const OpcionesCurl& opciones,
                                       const std::string& equipo) {
    const auto puerto = puertoValido(cfg.puerto);
    const auto servidor = servidorParaUrl(cfg.servidor);
    if (!puerto || !servidor) {
        return std::nullopt;
    }
    Conexion c;
    c.servidor = *servidor;
    c.puerto = *puerto;
    c.tls = cfg.autenticar && cfg.ssl.value_or(false);
    c.tlsImplicito = c.tls && c.puerto == opciones.puertoTlsImplicito;
    c.archivoCA = opciones.archivoCA ? opciones.archivoCA->string() : std::string();
    c.url = std::string(c.tlsImplicito ? "smtps://" : "smtp://") + c.servidor + ":" +
            std::to_string(c.puerto);
    if (!equipo.empty()) {
        c.url += "/" + equipo;
    }
    c.esperaConexion = cfg.tiempoConexion;
    c.esperaRespuesta = opciones.esperaRespuesta;
    if (cfg.autenticar && cfg.usuario) {
        c.usuario = *cfg.usuario;
        c.acceso = cfg.tokenAcceso ? Conexion::Acceso::XOAuth2 : Conexion::Acceso::Contrasena;
        c.secreto = cfg.tokenAcceso ? *cfg.tokenAcceso : cfg.password.value_or("");
    }
    c.clave = claveDeConexion(c);
    return c;
}

std::string direccionEntre(std::string_view orden) {
    const auto abre = orden.find('<');
    const auto cierra = orden.rfind('>');
    if (abre == std::string_view::npos || cierra == std::string_view::npos || cierra < abre) {
        return std::string(orden);
    }
    return std::string(orden.substr(abre + 1, cierra - abre - 1));
}

bool esFalloDeConexion(CURLcode rc) {
    switch (rc) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT:
        return true;
    default:
        return false;
    }
}

ResultadoEnvio fallo(long numero, std::string descripcion, const Conversacion& c,
                     bool puedeHaberseEntregado = false) {
    ResultadoEnvio r;
    r.numero = numero;
    r.descripcion = std::move(descripcion);
    r.respuesta = c.ultimaRespuesta;
    r.puedeHaberseEntregado = puedeHaberseEntregado;
    return r;
}

struct Intento {
    CURLcode rc = CURLE_OK;
    long respuesta = 0;
    long conexionesNuevas = 0;
    long verificacion = 0; // the certificate check's verdict (an X509_V_ERR_* number)
    Conversacion conversacion;
    std::string errorCurl;
};

// The server's words where it gave any, else curl's: the error buffer is empty for some codes.
std::string detalle(const Intento& i) {
    if (!i.conversacion.ultimaRespuesta.empty() && i.respuesta >= 400) {
        return i.conversacion.ultimaRespuesta;
    }
    std::string texto = curl_easy_strerror(i.rc);
    if (!i.errorCurl.empty()) {
        texto += " (" + i.errorCurl + ")";
    }
    return texto;
}

// The server's "not now": RFC 5321 4xx replies that say the message was not taken and may be
// offered again later.
bool esRespuestaTransitoria(long respuesta) {
    return respuesta == 421 || respuesta == 450 || respuesta == 451 || respuesta == 452 ||
           respuesta == 454;
}

// A connection the server dropped, or stopped answering on, before the message data: nothing
// of this message can be with it.
bool esConexionPerdidaAntesDeLosDatos(const Intento& i) {
    // curl also reports a plain refusal as a send error (55 with the 5xx): only a failure
    // without one is a lost connection.
    return !i.conversacion.datosEnviados && i.respuesta < 400 &&
           (i.rc == CURLE_SEND_ERROR || i.rc == CURLE_RECV_ERROR || i.rc == CURLE_GOT_NOTHING);
}

// A provider that turned password sign-in off for SMTP: Microsoft 365 answers 5.7.139 or 5.7.30,
// Google 5.7.9 ("application-specific password required") or 5.7.8 with a pointer to
// its help; a plain 5.7.8 is just a wrong password.
bool rechazaContrasena(const std::string& respuesta) {
    auto contiene = [&respuesta](std::string_view texto) {
        return respuesta.find(texto) != std::string::npos;
    };
    return contiene("5.7.139") || contiene("5.7.30") || contiene("5.7.9 ") ||
           (contiene("5.7.8") && (contiene("BadCredentials") || contiene("support.google.com") ||
                                  contiene("OAuth") || contiene("oauth")));
}

ResultadoEnvio explicado(long numero, std::string descripcion, const Conversacion& c) {
    ResultadoEnvio r = fallo(numero, std::move(descripcion), c);
    r.explicado = true;
    return r;
}

// OpenSSL's verdicts on a certificate (X509_V_ERR_*), by number: the core does not include
// OpenSSL's headers for two constants.
constexpr long kCertificadoAunNoValido = 9;
constexpr long kCertificadoCaducado = 10;

// TLS problems, each with its own remedy; nothing when the failure was not about TLS.
std::optional<ResultadoEnvio> falloTls(const Intento& i, const Conexion& d) {
    const Conversacion& c = i.conversacion;
    const std::string donde = "servidor «" + d.servidor + "», puerto " + std::to_string(d.puerto);
    switch (i.rc) {
    case CURLE_PEER_FAILED_VERIFICATION:
        if (i.errorCurl.find("target host name") != std::string::npos) {
            // curl checks the name itself and says so only in its words.
            return explicado(correo::FalloConexion,
                             "El certificado del " + donde + " no es para el nombre «" +
                                 d.servidor +
                                 "». Escriba en Servidor el nombre exacto que da su proveedor "
                                 "de correo (el que figura en el certificado), no otro nombre "
                                 "ni una dirección IP.",
                             c);
        }
        if (i.verificacion == kCertificadoCaducado || i.verificacion == kCertificadoAunNoValido) {
            return explicado(correo::FalloConexion,
                             "El certificado del " + donde +
                                 " ha caducado o aún no es válido. El administrador del servidor "
                                 "debe renovarlo; compruebe también que la fecha y la hora de "
                                 "este equipo son correctas.",
                             c);
        }
        return explicado(
            correo::FalloConexion,
            "El certificado del " + donde +
                " no es de confianza: no lo firma ninguna autoridad que este equipo conozca (" +
                detalle(i) +
                "). Si el servidor usa un certificado de una autoridad propia de la empresa, "
                "indique el archivo de esa autoridad en la clave ArchivoCA de la sección "
                "[servidor] de KRN.INI.",
            c);
    case CURLE_USE_SSL_FAILED:
        return explicado(correo::FalloConexion,
                         "El servidor «" + d.servidor + "» no ofrece STARTTLS en el puerto " +
                             std::to_string(d.puerto) +
                             ": la conexión no se puede cifrar y la contraseña no se ha enviado. "
                             "Use el puerto de correo cifrado de su proveedor (normalmente 587 "
                             "con STARTTLS o 465 con SSL), o desmarque SSL si el servidor no "
                             "admite cifrado.",
                         c);
    case CURLE_SSL_CONNECT_ERROR:
        return explicado(correo::FalloConexion,
                         "No se pudo establecer la conexión cifrada (TLS) con el " + donde + " (" +
                             detalle(i) +
                             "). Compruebe el puerto: el 465 usa SSL desde el principio y el "
                             "587 usa STARTTLS; si el puerto es el correcto, el servidor usa una "
                             "versión de TLS que este equipo no admite.",
                         c);
    case CURLE_SSL_CACERT_BADFILE:
        return explicado(correo::FalloConexion,
                         "No se puede leer el archivo de la autoridad de certificación " +
                             d.archivoCA +
                             " que indica la clave ArchivoCA de la sección [servidor] de "
                             "KRN.INI. Corrija la ruta o deje la clave vacía.",
                         c);
    default:
        return std::nullopt;
    }
}

ResultadoEnvio clasificarRespuesta(const Intento& i, const MensajeSmtp& mensaje,
                                   std::chrono::seconds espera) {
    const Conversacion& c = i.conversacion;
    if (i.rc == CURLE_OK) {
        ResultadoEnvio r;
        r.enviado = true;
        r.respuesta = c.ultimaRespuesta;
        r.puedeHaberseEntregado = true;
        return r;
    }
    const std::string& orden = c.ultimaOrden;
    if (i.respuesta == 421) {
        // The server is closing (RFC 5321, 3.8), whatever the command: neither the account nor
        // an address is to blame, and it did not take the message.
        return fallo(
            correo::ErrorEnvio,
            "El servidor cerró la conexión porque no puede atender ahora: " + c.ultimaRespuesta, c);
    }
    if (i.rc == CURLE_LOGIN_DENIED || i.respuesta == 530 ||
        (orden == "AUTH" && i.respuesta >= 400 && !esRespuestaTransitoria(i.respuesta))) {
        if (rechazaContrasena(c.ultimaRespuesta)) {
            return explicado(correo::NoAceptado,
                             "El proveedor de correo no admite iniciar sesión con usuario y "
                             "contraseña en esta cuenta (" +
                                 c.ultimaRespuesta +
                                 "). La cuenta necesita el inicio de sesión OAuth2: en "
                                 "Configuración de servidor elija la autenticación «Microsoft "
                                 "365» o «Google» e inicie sesión con la cuenta.",
                             c);
        }
        return fallo(correo::NoAceptado,
                     "El servidor no aceptó el usuario o la contraseña: " + detalle(i), c);
    }
    if (c.datosEnviados) {
        if (i.respuesta >= 400 && i.respuesta != 354) {
            return fallo(correo::MensajeRechazado,
                         "El servidor no aceptó el mensaje: " + detalle(i), c);
        }
        if (i.rc == CURLE_OPERATION_TIMEDOUT) {
            return fallo(correo::SinRespuesta,
                         "El servidor no respondió en " + std::to_string(espera.count()) +
                             " segundos después de recibir el mensaje; no se sabe si lo aceptó",
                         c, true);
        }
        if (i.rc == CURLE_SEND_ERROR) {
            // curl writes the final dot only after the whole message and reports a failure to
            // write any of it as a send error; once the dot is out, only reading can fail. So
            // the server never had the end of this message and cannot have taken it.
            return fallo(correo::ConexionPerdida,
                         "Se perdió la conexión con el servidor mientras se enviaba el mensaje, "
                         "antes de terminar de enviarlo; el mensaje no se ha enviado (" +
                             detalle(i) + ")",
                         c);
        }
        if (i.rc == CURLE_READ_ERROR || i.rc == CURLE_ABORTED_BY_CALLBACK) {
            return fallo(correo::AdjuntoIlegible,
                         "No se pudo leer el archivo adjunto " +
                             (mensaje.adjunto ? mensaje.adjunto->ruta.string() : std::string()) +
                             " mientras se enviaba; el mensaje no se ha enviado",
                         c);
        }
        return fallo(correo::ConexionPerdida,
                     "Se perdió la conexión con el servidor mientras se enviaba el mensaje y el "
                     "servidor no confirmó que lo recibiera (" +
                         detalle(i) + ")",
                     c, true);
    }
    if (i.respuesta >= 400) {
        if (orden.starts_with("RCPT")) {
            return fallo(correo::DestinatarioRechazado,
                         "El servidor rechazó la dirección del destinatario " +
                             direccionEntre(orden) + ": " + c.ultimaRespuesta,
                         c);
        }
        // The message's size goes with MAIL (RFC 1870): a server refuses a message too big for
        // it (552), or one it has no room for now (452), right there. The sender is not to blame.
        if (orden.starts_with("MAIL") && (i.respuesta == 552 || i.respuesta == 452)) {
            return fallo(correo::MensajeRechazado,
                         "El servidor no aceptó el mensaje: " + c.ultimaRespuesta, c);
        }
        if (orden.starts_with("MAIL")) {
            return fallo(correo::RemitenteRechazado,
                         "El servidor rechazó la dirección del remitente " + direccionEntre(orden) +
                             ": " + c.ultimaRespuesta,
                         c);
        }
        if (orden.starts_with("DATA")) {
            return fallo(correo::MensajeRechazado,
                         "El servidor no aceptó el mensaje: " + c.ultimaRespuesta, c);
        }
        return fallo(correo::ErrorEnvio, "El servidor rechazó la conexión: " + c.ultimaRespuesta,
                     c);
    }
    if (esFalloDeConexion(i.rc) ||
        ((i.rc == CURLE_SEND_ERROR || i.rc == CURLE_RECV_ERROR) && i.respuesta == 0)) {
        return fallo(correo::FalloConexion, "No se pudo conectar con el servidor: " + detalle(i),
                     c);
    }
    if (i.rc == CURLE_READ_ERROR) {
        return fallo(correo::AdjuntoIlegible,
                     "No se pudo leer el archivo adjunto " +
                         (mensaje.adjunto ? mensaje.adjunto->ruta.string() : std::string()),
                     c);
    }
    return fallo(correo::ErrorEnvio, "Error al enviar el correo: " + detalle(i), c);
}

ResultadoEnvio clasificar(const Intento& i, const MensajeSmtp& mensaje, const Conexion& conexion) {
    if (auto tls = falloTls(i, conexion)) {
        return *tls;
    }
    ResultadoEnvio r = clasificarRespuesta(i, mensaje, conexion.esperaRespuesta);
    r.transitorio = !r.enviado && !r.puedeHaberseEntregado &&
                    (esRespuestaTransitoria(i.respuesta) || esConexionPerdidaAntesDeLosDatos(i));
    return r;
}

// A connection kept from an earlier message that the server had closed in the meantime: the
// first command found it dead, so the server never saw this message.
bool conexionGuardadaCerrada(const Intento& i) {
    return (i.rc == CURLE_SEND_ERROR || i.rc == CURLE_RECV_ERROR) && i.respuesta == 0 &&
           i.conexionesNuevas == 0 && !i.conversacion.datosEnviados;
}

// A part's own header lines, written as given: curl adds none of its own beside them.
bool ponerCabeceras(curl_mimepart* parte, const std::vector<std::string>& lineas) {
    Lista cabeceras;
    for (const auto& linea : lineas) {
        cabeceras.agregar(linea);
    }
    if (curl_mime_headers(parte, cabeceras.p, 1) != CURLE_OK) {
        return false;
    }
    cabeceras.p = nullptr; // the part owns them now
    return true;
}

// Encoded here, not by curl: every part of known size gives the message a known size.
void agregarTexto(curl_mime* mime, const std::string& cuerpo) {
    const std::string codificado = quotedPrintable(cuerpo);
    curl_mimepart* texto = curl_mime_addpart(mime);
    if (texto == nullptr ||
        curl_mime_data(texto, codificado.data(), codificado.size()) != CURLE_OK ||
        !ponerCabeceras(texto, {"Content-Type: text/plain; charset=UTF-8",
                                "Content-Transfer-Encoding: quoted-printable"})) {
        throw ErrorComponenteCorreo(correo::ErrorEnvio, "No se pudo preparar el texto del mensaje");
    }
}

// The attachment's text as curl reads it: straight from the message, which outlives the send,
// rather than from a copy of it.
struct LecturaAdjunto {
    const std::string* texto = nullptr;
    std::size_t hecho = 0;
};

std::size_t leerAdjunto(char* destino, std::size_t tamano, std::size_t n, void* datos) {
    auto& l = *static_cast<LecturaAdjunto*>(datos);
    const std::size_t trozo = std::min(tamano * n, l.texto->size() - l.hecho);
    std::copy_n(l.texto->data() + l.hecho, trozo, destino);
    l.hecho += trozo;
    return trozo;
}

// curl goes back to the start when it sends the message again on a new connection.
int buscarEnAdjunto(void* datos, curl_off_t desde, int origen) {
    auto& l = *static_cast<LecturaAdjunto*>(datos);
    if (origen != SEEK_SET || desde < 0 || static_cast<std::size_t>(desde) > l.texto->size()) {
        return CURL_SEEKFUNC_CANTSEEK;
    }
    l.hecho = static_cast<std::size_t>(desde);
    return CURL_SEEKFUNC_OK;
}

// The attachment goes in already encoded. curl's own base64 encoder hands the socket about 350
// bytes at a time, so a 100 KB document left in some 400 writes (and as many TLS records); a part
// of plain data is handed over as fast as the socket takes it, read from the message itself (one
// copy of it fewer per message than curl_mime_data makes).
void agregarAdjunto(curl_mime* mime, const MensajeSmtp::Adjunto& adjunto, LecturaAdjunto* lectura) {
    *lectura = {&adjunto.base64, 0};
    std::vector<std::string> cabeceras = adjunto.cabeceras;
    cabeceras.emplace_back("Content-Transfer-Encoding: base64");
    curl_mimepart* parte = curl_mime_addpart(mime);
    if (parte == nullptr ||
        curl_mime_data_cb(parte, static_cast<curl_off_t>(adjunto.base64.size()), leerAdjunto,
                          buscarEnAdjunto, nullptr, lectura) != CURLE_OK ||
        !ponerCabeceras(parte, cabeceras)) {
        throw ErrorComponenteCorreo(correo::ErrorEnvio, "No se pudo preparar el archivo adjunto " +
                                                            adjunto.ruta.string());
    }
}

// Tells the owner once that curl has handed the connection the whole message: the upload counter
// has reached the size of the MIME body (curl works it out before sending) and only the end of
// the data and the server's answer are left.
struct AvisoDatos {
    const std::function<void()>* aviso = nullptr;
    bool dado = false;
};

int avisarDatosEntregados(void* datos, curl_off_t, curl_off_t, curl_off_t total,
                          curl_off_t enviados) {
    auto& a = *static_cast<AvisoDatos*>(datos);
    if (!a.dado && total > 0 && enviados >= total) {
        a.dado = true;
        try {
            (*a.aviso)();
        } catch (...) {
            // The owner's bookkeeping is no reason to abandon a message on the wire.
        }
    }
    return 0;
}

// The message as curl sends it: the MIME body (the text and the attachment), the message's
// header lines and the envelope. The handle points at all of it while it sends, so it lives
// as long as the send. Building it may fail without touching the network: those failures
// belong to the caller, not to the send step, and are thrown.
class PartesMensaje {
public:
    PartesMensaje(CURL* curl, const MensajeSmtp& mensaje)
        : mime_(curl), remitente_("<" + mensaje.remitente + ">") {
        if (mime_.p == nullptr) {
            throw ErrorComponenteCorreo(correo::ErrorEnvio, "No hay memoria para el mensaje");
        }
        agregarTexto(mime_.p, mensaje.cuerpo);
        if (mensaje.adjunto) {
            agregarAdjunto(mime_.p, *mensaje.adjunto, &lectura_);
        }
        for (const auto& linea : mensaje.cabeceras) {
            cabeceras_.agregar(linea);
        }
        for (const auto& d : mensaje.destinatarios) {
            destinatarios_.agregar("<" + d + ">");
        }
        if (mensaje.alEntregarDatos) {
            aviso_.aviso = &mensaje.alEntregarDatos;
        }
    }

    [[nodiscard]] curl_mime* mime() const { return mime_.p; }
    [[nodiscard]] curl_slist* cabeceras() const { return cabeceras_.p; }
    [[nodiscard]] curl_slist* destinatarios() const { return destinatarios_.p; }
    [[nodiscard]] const std::string& remitente() const { return remitente_; }
    // What curl's progress calls go to; null when the owner wants no notice.
    [[nodiscard]] AvisoDatos* aviso() { return aviso_.aviso != nullptr ? &aviso_ : nullptr; }

private:
    AvisoDatos aviso_;
    LecturaAdjunto lectura_;
    Mime mime_;
    Lista cabeceras_;
    Lista destinatarios_;
    std::string remitente_;
};

// Every option of one attempt, from a handle just reset. The buffer and the conversation
// receive what curl reports while it sends.
void configurarManejador(CURL* curl, const Conexion& conexion, PartesMensaje& partes,
                         char* textoError, Conversacion& conversacion) {
    bool ok = true;
    auto poner = [&ok](CURLcode rc) { ok = ok && rc == CURLE_OK; };
    const long espera = static_cast<long>(conexion.esperaRespuesta.count());
    poner(curl_easy_setopt(curl, CURLOPT_URL, conexion.url.c_str()));
    poner(curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "smtp,smtps"));
    poner(curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L));
    poner(curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT,
                           static_cast<long>(conexion.esperaConexion.count())));
    poner(curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, espera));
    // A server that stops reading in the middle of the data is as silent as one that never
    // answers: the same wait bounds it.
    poner(curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L));
    poner(curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, espera));
    // Implicit TLS on its own port, STARTTLS everywhere else; never a quiet fall-back to clear
    // text, which would hand the password to anyone listening.
    poner(curl_easy_setopt(curl, CURLOPT_USE_SSL,
                           conexion.tls && !conexion.tlsImplicito
                               ? static_cast<long>(CURLUSESSL_ALL)
                               : static_cast<long>(CURLUSESSL_NONE)));
    poner(curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L));
    poner(curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L));
    if (!conexion.archivoCA.empty()) {
        poner(curl_easy_setopt(curl, CURLOPT_CAINFO, conexion.archivoCA.c_str()));
    }
    switch (conexion.acceso) {
    case Conexion::Acceso::Anonimo:
        break;
    case Conexion::Acceso::Contrasena:
        poner(curl_easy_setopt(curl, CURLOPT_USERNAME, conexion.usuario.c_str()));
        poner(curl_easy_setopt(curl, CURLOPT_PASSWORD, conexion.secreto.c_str()));
        break;
    case Conexion::Acceso::XOAuth2:
        poner(curl_easy_setopt(curl, CURLOPT_USERNAME, conexion.usuario.c_str()));
        poner(curl_easy_setopt(curl, CURLOPT_XOAUTH2_BEARER, conexion.secreto.c_str()));
        // Only XOAUTH2: with a bearer token curl could otherwise pick another mechanism.
        poner(curl_easy_setopt(curl, CURLOPT_LOGIN_OPTIONS, "AUTH=XOAUTH2"));
        break;
    }
    poner(curl_easy_setopt(curl, CURLOPT_MAIL_FROM, partes.remitente().c_str()));
    poner(curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, partes.destinatarios()));
    poner(curl_easy_setopt(curl, CURLOPT_HTTPHEADER, partes.cabeceras()));
    poner(curl_easy_setopt(curl, CURLOPT_MIMEPOST, partes.mime()));
    poner(curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, textoError));
    poner(curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, anotarConversacion));
    poner(curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &conversacion));
    poner(curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L));
    if (AvisoDatos* aviso = partes.aviso()) {
        poner(curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, avisarDatosEntregados));
        poner(curl_easy_setopt(curl, CURLOPT_XFERINFODATA, aviso));
        poner(curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L));
    }
    if (!ok) {
        throw ErrorComponenteCorreo(correo::ErrorEnvio,
                                    "La biblioteca de correo no acepta la configuración");
    }
}

// The message parts, the buffer and the conversation die with the send: the handle, kept for
// the next message, must not point at them.
void soltarPartes(CURL* curl) {
    curl_easy_setopt(curl, CURLOPT_MIMEPOST, nullptr);
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, nullptr);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, nullptr);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, nullptr);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 0L);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 1L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, nullptr);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, nullptr);
}

// One attempt, and one more on a fresh connection when the kept one turned out to be closed by
// the server: the only failure that certainly left nothing with it.
Intento enviarConReintento(CURL* curl, const Conexion& conexion, PartesMensaje& partes) {
    char textoError[CURL_ERROR_SIZE];
    Intento intento;
    for (int vez = 0; vez < 2; ++vez) {
        intento = Intento{};
        configurarManejador(curl, conexion, partes, textoError, intento.conversacion);
        if (vez > 0) {
            curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
        }
        textoError[0] = '\0';
        intento.rc = curl_easy_perform(curl);
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &intento.respuesta);
        curl_easy_getinfo(curl, CURLINFO_NUM_CONNECTS, &intento.conexionesNuevas);
        curl_easy_getinfo(curl, CURLINFO_SSL_VERIFYRESULT, &intento.verificacion);
        intento.errorCurl = textoError;
        if (!conexionGuardadaCerrada(intento)) {
            break;
        }
    }
    soltarPartes(curl);
    return intento;
}

ResultadoEnvio falloSinConexion(long numero, std::string descripcion) {
    return fallo(numero, std::move(descripcion), Conversacion{});
}

} // namespace

struct CurlMailTransport::Estado {
    OpcionesCurl opciones;
    CURL* curl = nullptr;
    std::string conexionActual; // what the kept connection was opened for
    // The last message failed: the conversation may stand anywhere (a reply still owed after a
    // timeout could answer the next command), so its connection is not used again.
    bool conexionDudosa = false;
    std::string equipo = nombreEquipo();

    ~Estado() { cerrar(); }

    void cerrar() {
        if (curl != nullptr) {
            curl_easy_cleanup(curl);
            curl = nullptr;
        }
    }

    // The handle for this connection. A different server or account closes the old connection
    // first: curl could otherwise reuse a connection in clear for a message that asks for TLS.
    // So does a failed message, whose connection curl may still keep.
    CURL* manejador(const std::string& clave) {
        if (curl != nullptr && (clave != conexionActual || conexionDudosa)) {
            cerrar();
        }
        conexionDudosa = false;
        if (curl == nullptr) {
            curl = curl_easy_init();
            if (curl == nullptr) {
                throw ErrorComponenteCorreo(correo::ErrorEnvio,
                                            "No se pudo crear el componente de correo");
            }
            conexionActual = clave;
        }
        curl_easy_reset(curl);
        return curl;
    }
};

CurlMailTransport::CurlMailTransport(OpcionesCurl opciones) : estado_(std::make_unique<Estado>()) {
    iniciarCurl();
    estado_->opciones = std::move(opciones);
}

CurlMailTransport::~CurlMailTransport() = default;

ResultadoEnvio CurlMailTransport::enviar(const ConfiguracionSmtp& cfg, const MensajeSmtp& mensaje) {
    if (cfg.metodoEnvio != 2) {
        return falloSinConexion(correo::ErrorEnvio,
                                "El componente de correo solo envía a través de un servidor SMTP");
    }
    const auto conexion = elegirConexion(cfg, estado_->opciones, estado_->equipo);
    if (!conexion) {
        return falloSinConexion(correo::FalloConexion,
                                "El nombre del servidor o el número de puerto no son válidos");
    }
    CURL* curl = estado_->manejador(conexion->clave);
    PartesMensaje partes(curl, mensaje);
    const Intento intento = enviarConReintento(curl, *conexion, partes);
    estado_->conexionDudosa = intento.rc != CURLE_OK;
    return clasificar(intento, mensaje, *conexion);
}

} // namespace envio
