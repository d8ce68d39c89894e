#include "screens/PantallaMensaje.h"

#include "settings/ConfiguracionCorreo.h"
#include "settings/ConvertirCaracter.h"
#include "settings/IniFile.h"
#include "settings/MensajeEnTrozos.h"
#include "settings/NumeroInicial.h"

namespace envio {
namespace {

constexpr const char* kSeccion = "DocumentoPORemail";
constexpr const char* kPrefijo = "Mensaje";

std::string conSaltos(std::string_view texto, std::string_view salto) {
    std::string out;
    out.reserve(texto.size() + texto.size() / 16);
    for (std::size_t i = 0; i < texto.size(); ++i) {
        if (texto[i] == '\r') {
            out += salto;
            if (i + 1 < texto.size() && texto[i + 1] == '\n') {
                ++i;
            }
        } else if (texto[i] == '\n') {
            out += salto;
        } else {
            out += texto[i];
        }
    }
    return out;
}

} // namespace

std::string saltosWindows(std::string_view texto) {
    return conSaltos(texto, "\r\n");
}

std::string saltosLf(std::string_view texto) {
    return conSaltos(texto, "\n");
}

PantallaMensaje::PantallaMensaje(std::filesystem::path krn, Dialogos& dialogos,
                                 RecargarCorreo recargar)
    : krn_(std::move(krn)), dialogos_(dialogos), recargar_(std::move(recargar)) {}

void PantallaMensaje::cargar() {
    asunto_ = LeerIni(krn_, kSeccion, "Asunto", "");
    mensaje_ = leerMensajeEnTrozos(krn_, kSeccion, kPrefijo);
    // Any number but 0 asks for the receipt, as the sending run reads it.
    confirmacion_ = NumeroInicial(LeerIni(krn_, kSeccion, "ConfirmacionLeido", "0")) != 0.0;
    const ConfiguracionCorreo correo = CargarConfiguracion(krn_);
    protegerConNif_ = correo.protegerConNif;
    lineaProteccion_ = correo.lineaProteccion;
    tamanoMaximoKb_ = correo.tamanoMaximoKb;
    guardarHabilitado_ = false;
}

std::string PantallaMensaje::mensajeParaEditar() const {
    return saltosLf(mensaje_);
}

void PantallaMensaje::cambiarAsunto(std::string texto) {
    asunto_ = std::move(texto);
    guardarHabilitado_ = true;
}

void PantallaMensaje::cambiarMensaje(std::string_view texto) {
    mensaje_ = saltosWindows(texto);
    guardarHabilitado_ = true;
}

void PantallaMensaje::marcarConfirmacion(bool marcada) {
    confirmacion_ = marcada;
    guardarHabilitado_ = true;
}

void PantallaMensaje::marcarProteccion(bool marcada) {
    protegerConNif_ = marcada;
    guardarHabilitado_ = true;
}

void PantallaMensaje::cambiarLineaProteccion(std::string texto) {
    lineaProteccion_ = std::move(texto);
    guardarHabilitado_ = true;
}

void PantallaMensaje::cambiarTamanoMaximo(std::uintmax_t kb) {
    tamanoMaximoKb_ = kb;
    guardarHabilitado_ = true;
}

// The suite's settings file gains a key of ours only when it says something the default does
// not: a site that never uses protection keeps the file it had.
bool PantallaMensaje::escribirSiHaceFalta(std::string_view clave, const std::string& valor,
                                          std::string_view porDefecto) {
    constexpr std::string_view kAusente = "\x01";
    if (valor == porDefecto && LeerIni(krn_, kSeccion, clave, kAusente) == kAusente) {
        return true;
    }
    return EscribirIni(krn_, kSeccion, clave, valor);
}

bool PantallaMensaje::GuardaDatos() {
    // The file would keep "?" in their place, and every invoice would go out with it.
    const std::string fuera = letrasQueNoCaben(krn_, asunto_ + mensaje_ + lineaProteccion_);
    if (!fuera.empty()) {
        dialogos_.mostrar({"El asunto o el mensaje contiene caracteres que no se pueden guardar "
                           "en la configuración: " +
                               fuera + ". Cámbielos antes de guardar.",
                           "Aviso", Icono::Exclamacion, Botones::Aceptar});
        return false;
    }
    bool ok = EscribirIni(krn_, kSeccion, "Asunto", asunto_) &&
              escribirMensajeEnTrozos(krn_, kSeccion, kPrefijo, mensaje_);
    ok = ok && EscribirIni(krn_, kSeccion, "ConfirmacionLeido", confirmacion_ ? "1" : "0");
    ok = ok && escribirSiHaceFalta("ProtegerConNIF", protegerConNif_ ? "1" : "0", "0");
    ok = ok && escribirSiHaceFalta("LineaProteccion", lineaProteccion_, kLineaProteccionPorDefecto);
    ok = ok && escribirSiHaceFalta("TamanoMaximoKB", std::to_string(tamanoMaximoKb_), "0");
    if (!ok) {
        dialogos_.mostrar({"No se pudo guardar el mensaje en " + krn_.string() +
                               ". Compruebe que el archivo no es de solo lectura.",
                           "Aviso", Icono::Critico, Botones::Aceptar});
        return false;
    }
    if (recargar_) {
        recargar_(CargarConfiguracion(krn_));
    }
    return true;
}

bool PantallaMensaje::pulsarGuardar() {
    if (!GuardaDatos()) {
        return false;
    }
    guardarHabilitado_ = false;
    return true;
}

bool PantallaMensaje::cerrar() {
    if (!guardarHabilitado_) {
        return true;
    }
    const Respuesta r =
        dialogos_.mostrar({kTextoGuardarCambios, "Aviso", Icono::Pregunta, Botones::SiNo});
    if (r == Respuesta::Si) {
        return pulsarGuardar();
    }
    return true;
}

} // namespace envio
