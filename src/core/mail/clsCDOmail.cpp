#include "mail/clsCDOmail.h"

#include "mail/MensajeCorreo.h"
#include "platform/Base64.h"
#include "platform/FileSystem.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>

namespace envio {
namespace {

// The words the error box shows: the component's own for what it could explain (a certificate,
// TLS, a provider's sign-in rule: the general guess would mislead), else the two general texts
// for the two failures that have one.
std::string textoDelError(const ResultadoEnvio& resultado) {
    if (!resultado.explicado && resultado.numero == correo::FalloConexion) {
        return TextoFalloConexion;
    }
    if (!resultado.explicado && resultado.numero == correo::NoAceptado) {
        return TextoNoAceptado;
    }
    return resultado.descripcion;
}

std::string_view sinBlancos(std::string_view s) {
    const auto inicio = s.find_first_not_of(" \t");
    if (inicio == std::string_view::npos) {
        return {};
    }
    return s.substr(inicio, s.find_last_not_of(" \t") - inicio + 1);
}

std::optional<double> enteroEnBase(std::string_view cifras, int base) {
    long long valor = 0;
    const auto [fin, error] =
        std::from_chars(cifras.data(), cifras.data() + cifras.size(), valor, base);
    if (cifras.empty() || error != std::errc() || fin != cifras.data() + cifras.size()) {
        return std::nullopt;
    }
    return static_cast<double>(valor);
}

// A hidden file or a folder is not a document the user meant to send.
bool esArchivoVisible(const std::filesystem::path& ruta) {
    std::error_code error;
    const auto estado = std::filesystem::status(ruta, error);
    return !error && std::filesystem::is_regular_file(estado) &&
           !ruta.filename().string().starts_with(".");
}

std::string dominioDe(const std::string& direccion) {
    return direccion.substr(direccion.rfind('@') + 1);
}

ResultadoEnvio direccionNoValida(const char* quien, const std::string& valor) {
    ResultadoEnvio r;
    r.numero = correo::DireccionNoValida;
    if (sinBlancos(valor).empty()) {
        r.descripcion = std::string("No se ha indicado la dirección del ") + quien;
        return r;
    }
    std::string visible = valor;
    for (char& ch : visible) {
        if (static_cast<unsigned char>(ch) < 0x20) {
            ch = ' ';
        }
    }
    r.descripcion = std::string("La dirección del ") + quien + " no es válida: " + visible;
    return r;
}

// The port as a number, whatever form its owner gave it in; nothing when unset or unreadable.
std::optional<double> leerPuerto(const ValorPuerto& puerto) {
    return std::visit(
        [](const auto& valor) -> std::optional<double> {
            using T = std::decay_t<decltype(valor)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return std::nullopt;
            } else if constexpr (std::is_same_v<T, std::string>) {
                return leerNumero(valor);
            } else {
                return static_cast<double>(valor);
            }
        },
        puerto);
}

} // namespace

std::optional<double> leerNumero(std::string_view texto) {
    texto = sinBlancos(texto);
    if (texto.size() > 2 && texto[0] == '&') {
        const char base = static_cast<char>(texto[1] | 0x20);
        if (base == 'h') {
            return enteroEnBase(texto.substr(2), 16);
        }
        if (base == 'o') {
            return enteroEnBase(texto.substr(2), 8);
        }
        return std::nullopt;
    }
    std::string normal(texto);
    for (char& ch : normal) {
        if (ch == ',') {
            ch = '.';
        } else if (ch == 'd' || ch == 'D') {
            ch = 'e';
        }
    }
    const char* inicio = normal.data();
    if (!normal.empty() && normal[0] == '+') {
        ++inicio; // from_chars takes only a minus
    }
    double valor = 0;
    const char* fin = normal.data() + normal.size();
    const auto [resto, error] = std::from_chars(inicio, fin, valor, std::chars_format::general);
    if (inicio == fin || error != std::errc() || resto != fin || *inicio == '+' ||
        normal.find_first_of("nNiI") != std::string::npos) {
        return std::nullopt;
    }
    return valor;
}

clsCDOmail::clsCDOmail(MailTransport& componente, ConnectivityProbe& sonda)
    : componente_(componente), sonda_(sonda) {}

void clsCDOmail::avisarError(const std::string& descripcion, long numero) const {
    if (Error) {
        Error(descripcion, numero);
    }
}

bool clsCDOmail::Enviar() {
    constancia_ = {};
    const auto configuracion = comprobarAntesDeEnviar();
    if (!configuracion) {
        return false;
    }
    const ResultadoEnvio resultado = entregar(*configuracion);
    constancia_.respuesta = resultado.respuesta;
    constancia_.puedeHaberseEntregado = resultado.puedeHaberseEntregado;
    constancia_.transitorio = resultado.transitorio;
    return avisarResultado(resultado);
}

std::optional<ConfiguracionSmtp> clsCDOmail::comprobarAntesDeEnviar() const {
    if (!sonda_.hasConnection(servidor)) {
        avisarError(TextoSinConexion, 0);
        return std::nullopt;
    }
    const std::optional<double> numeroPuerto = leerPuerto(puerto);
    if (!numeroPuerto) {
        avisarError(TextoSinPuerto, 0);
        return std::nullopt;
    }
    if (!Adjunto.empty() && !esArchivoVisible(Adjunto)) {
        avisarError(TextoSinArchivo + Adjunto, 0);
        return std::nullopt;
    }
    return configuracionSmtp(*numeroPuerto);
}

ConfiguracionSmtp clsCDOmail::configuracionSmtp(double numeroPuerto) const {
    ConfiguracionSmtp configuracion;
    configuracion.servidor = servidor;
    configuracion.puerto = numeroPuerto;
    configuracion.autenticar = UseAuntentificacion;
    configuracion.tiempoConexion = std::chrono::seconds(10);
    if (UseAuntentificacion) {
        configuracion.usuario = Usuario;
        configuracion.password = PassWord;
        configuracion.ssl = ssl;
    }
    return configuracion;
}

// Addresses that cannot be sent to fail like any refusal of the send step: they reach the owner
// as an event and never the wire.
ResultadoEnvio clsCDOmail::entregar(const ConfiguracionSmtp& configuracion) {
    const auto remitentes = leerDirecciones(de);
    const auto destinatarios = leerDirecciones(para);
    if (!remitentes || remitentes->size() != 1) {
        return direccionNoValida("remitente", de);
    }
    if (!destinatarios) {
        return direccionNoValida("destinatario", para);
    }
    return componente_.enviar(configuracion, componerMensaje(remitentes->front(), *destinatarios));
}

MensajeSmtp clsCDOmail::componerMensaje(const Buzon& remitente,
                                        const std::vector<Buzon>& destinatarios) {
    MensajeSmtp mensaje;
    mensaje.remitente = remitente.direccion;
    std::string lista;
    for (const Buzon& d : destinatarios) {
        mensaje.destinatarios.push_back(d.direccion);
        lista += (lista.empty() ? "" : ",\r\n ") + escribirBuzon(d);
    }
    constancia_.messageId = crearMessageId(dominioDe(remitente.direccion));
    mensaje.cabeceras = {
        "Date: " + fechaCorreoAhora(),
        "From: " + escribirBuzon(remitente),
        "To: " + lista,
        "Subject: " + codificarTextoCabecera(Asunto),
        "Message-ID: " + constancia_.messageId,
    };
    if (Confirmacion) {
        mensaje.cabeceras.push_back("Disposition-Notification-To: " + escribirBuzon(remitente));
    }
    mensaje.cuerpo = lineasCrLf(Mensaje);
    if (!Adjunto.empty()) {
        mensaje.adjunto =
            MensajeSmtp::Adjunto{Adjunto, cabecerasAdjunto(Adjunto), adjuntoCodificado()};
    }
    mensaje.alEntregarDatos = DatosEntregados;
    return mensaje;
}

void clsCDOmail::AdjuntarContenido(std::string_view contenido) {
    base64Leido_ = base64Mime(contenido);
    adjuntoLeido_ = Adjunto;
}

std::string clsCDOmail::adjuntoCodificado() {
    if (!adjuntoLeido_.empty() && adjuntoLeido_ == Adjunto) {
        adjuntoLeido_.clear();
        return std::move(base64Leido_);
    }
    errno = 0;
    const auto contenido = fs::readFile(Adjunto);
    if (!contenido) {
        const int causa = errno;
        throw ErrorComponenteCorreo(
            correo::AdjuntoIlegible,
            "No se puede leer el archivo adjunto " + Adjunto +
                (causa != 0 ? ": " + std::string(std::strerror(causa)) : std::string()));
    }
    return base64Mime(*contenido);
}

bool clsCDOmail::avisarResultado(const ResultadoEnvio& resultado) const {
    if (resultado.enviado) {
        if (EnvioCompleto) {
            EnvioCompleto();
        }
        return true;
    }
    avisarError(textoDelError(resultado), resultado.numero);
    return false;
}

void usarConfiguracion(clsCDOmail& oMail, const ConfiguracionCorreo& c) {
    oMail.servidor = c.servidor;
    oMail.puerto = static_cast<long long>(c.puerto);
    oMail.UseAuntentificacion = true;
    oMail.ssl = c.ssl;
    oMail.Usuario = c.usuario;
    oMail.PassWord = c.password;
    oMail.de = c.cuenta;
}

} // namespace envio
