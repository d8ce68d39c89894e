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
constexpr std::size_t kTamanoTrozo = 200;

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

// Clearing the old chunks stops at the first empty one, so chunks left behind a gap by some
// earlier writer survive it; a new body that reaches the gap would have them joined on. The
// chunks right after the new body's last one are emptied until the first empty one.
bool vaciarDesde(const std::filesystem::path& krn, std::size_t desde) {
    for (std::size_t n = desde;; ++n) {
        const std::string clave = kPrefijo + std::to_string(n);
        if (LeerIni(krn, kSeccion, clave, "").empty()) {
            return true;
        }
        if (!EscribirIni(krn, kSeccion, clave, "")) {
            return false;
        }
    }
}

bool esBlanco(char c) {
    return c == ' ' || c == '\t';
}

// A settings value comes back without blanks at its ends and without one pair of enclosing
// quotes, here as with the suite's own reader; a chunk that has them would lose characters.
bool sobreviveLectura(std::string_view trozo) {
    if (trozo.empty() || esBlanco(trozo.front()) || esBlanco(trozo.back())) {
        return false;
    }
    return !(trozo.size() >= 2 && (trozo.front() == '"' || trozo.front() == '\'') &&
             trozo.back() == trozo.front());
}

} // namespace

std::vector<std::string> cortarEnTrozos(std::string_view codificado) {
    // Where each UTF-8 character starts: the chunks count characters, one byte each on disk.
    std::vector<std::size_t> inicios;
    for (std::size_t i = 0; i < codificado.size(); ++i) {
        if ((static_cast<unsigned char>(codificado[i]) & 0xC0) != 0x80) {
            inicios.push_back(i);
        }
    }
    inicios.push_back(codificado.size());
    const std::size_t total = inicios.size() - 1;
    const auto trozo = [&](std::size_t desde, std::size_t hasta) {
        return codificado.substr(inicios[desde], inicios[hasta] - inicios[desde]);
    };

    std::vector<std::string> trozos;
    std::size_t i = 0;
    while (i < total) {
        const std::size_t resto = total - i;
        std::size_t largo = std::min(resto, kTamanoTrozo);
        if (resto > kTamanoTrozo || !sobreviveLectura(trozo(i, total))) {
            // Chunks may be shorter than 200: every reader just joins them. The cut goes where
            // neither this chunk nor the next begins or ends with what reading would drop.
            for (std::size_t l = std::min(resto - 1, kTamanoTrozo); l >= 1; --l) {
                if (sobreviveLectura(trozo(i, i + l)) && !esBlanco(codificado[inicios[i + l]])) {
                    largo = l;
                    break;
                }
            }
        }
        trozos.emplace_back(trozo(i, i + largo));
        i += largo;
    }
    return trozos;
}

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

bool PantallaMensaje::GuardaDatos() {
    const std::vector<std::string> trozos = cortarEnTrozos(codificarSaltos(mensaje_));
    bool ok = EscribirIni(krn_, kSeccion, "Asunto", asunto_) && vaciarDesde(krn_, 0);
    for (std::size_t n = 0; ok && n < trozos.size(); ++n) {
        ok = EscribirIni(krn_, kSeccion, kPrefijo + std::to_string(n), trozos[n]);
    }
    ok = ok && vaciarDesde(krn_, trozos.size());
    ok = ok && EscribirIni(krn_, kSeccion, "ConfirmacionLeido", confirmacion_ ? "1" : "0");
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
