#include "catalogue/AccionesDocumento.h"

#include "catalogue/MoverDocumento.h"
#include "database/Texto.h"
#include "host/AbrirDocumento.h"

#include <cctype>
#include <stdexcept>

namespace envio {
namespace {

constexpr std::string_view kAviso = "Aviso";

std::string lowerCase(std::string text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 'A' && c <= 'Z') {
            text[i] = static_cast<char>(c + 32);
        } else if (c == 0xC3 && i + 1 < text.size()) {
            const auto next = static_cast<unsigned char>(text[i + 1]);
            if (next >= 0x80 && next <= 0x9E && next != 0x97) {
                text[i + 1] = static_cast<char>(next + 0x20); // À..Þ to à..þ
            }
            ++i;
        }
    }
    return text;
}

std::size_t characters(const std::string& text) {
    std::size_t n = 0;
    for (const char c : text) {
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return n;
}

void avisar(Dialogos& dialogos, std::string texto) {
    dialogos.mostrar({std::move(texto), std::string(kAviso), Icono::Exclamacion, Botones::Aceptar});
}

} // namespace

bool CompruebaDireccionEMail(std::string& direccion) {
    direccion = sinBlancos(lowerCase(direccion));
    const std::string& d = direccion;
    const auto arroba = d.find('@');
    return !(characters(d) < 6 || d.find(' ') != std::string::npos || arroba == std::string::npos ||
             d.find('.') == std::string::npos || d.find("@.") != std::string::npos ||
             d.find(".@") != std::string::npos || d.find('@', arroba + 1) != std::string::npos ||
             d.front() == '@' || d.back() == '@' || d.back() == '.');
}

bool EliminarDocumentos(const ListaVista& lista, Dialogos& dialogos) {
    if (lista.vacia()) {
        return true;
    }
    const Respuesta respuesta =
        dialogos.mostrar({"¿Desea eliminar los elementos marcados con el check?",
                          std::string(kAviso), Icono::Informacion, Botones::SiNo});
    if (respuesta != Respuesta::Si) {
        return false;
    }
    std::string fallos;
    for (const auto& fila : lista.filas()) {
        if (!fila.marcada) {
            continue;
        }
        std::error_code error;
        if (!std::filesystem::remove(fila.etiqueta, error)) {
            fallos += "\n" + fila.etiqueta + (error ? ": " + error.message() : ": ya no existe");
        }
    }
    if (!fallos.empty()) {
        avisar(dialogos, "No se pudieron eliminar estos documentos:" + fallos);
    }
    return true;
}

void VerDocumento(const ListaVista& lista, Shell& shell, const std::filesystem::path& carpeta,
                  Dialogos& dialogos) {
    if (lista.vacia() || !lista.actual()) {
        return;
    }
    const std::string& documento = lista.fila(*lista.actual()).etiqueta;
    if (!AbrirDocumento(shell, documento, "", carpeta)) {
        dialogos.mostrar({"No se pudo abrir el documento " + documento +
                              ". Compruebe que el archivo existe y que hay un programa para ver "
                              "archivos PDF.",
                          std::string(kAviso), Icono::Exclamacion, Botones::Aceptar});
    }
}

void MarcarDocumento(ListaVista& lista, std::string_view strMarca, Dialogos& dialogos) {
    if (lista.vacia() || !lista.actual()) {
        return;
    }
    const bool enviado = strMarca == "ENVIADO";
    if (!enviado && strMarca != "PENDIENTE") {
        return;
    }
    FilaLista& fila = lista.fila(*lista.actual());
    const std::filesystem::path destino =
        sinUltimosCaracteres(fila.etiqueta, 5) + (enviado ? "_E.pdf" : "_P.pdf");
    try {
        const auto final = moverDocumento(fila.etiqueta, destino);
        if (final != destino) {
            avisar(dialogos, "Ya existía un documento llamado " + destino.filename().string() +
                                 "; éste se ha guardado como " + final.filename().string());
        }
        fila.etiqueta = final.string();
        fila.icono = enviado ? kIconoEnviado : kIconoPendiente;
    } catch (const std::runtime_error& e) {
        avisar(dialogos, std::string("No se pudo marcar el documento: ") + e.what());
    }
}

} // namespace envio
