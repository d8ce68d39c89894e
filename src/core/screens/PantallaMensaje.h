#pragma once

#include "screens/PantallaServidor.h"
#include "ui/Dialogos.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace envio {

// The message template window without its widgets: the subject, the body and the read-receipt
// choice of the document messages, kept in section DocumentoPORemail of KRN.INI.
class PantallaMensaje {
public:
    static constexpr int kGuardar = 0;
    static constexpr int kSalir = 1;
    // The subject is one settings line, and a line reads back at most 256 characters.
    static constexpr int kLongitudMaximaAsunto = 256;

    PantallaMensaje(std::filesystem::path krn, Dialogos& dialogos, RecargarCorreo recargar = {});

    // Reads the three settings; afterwards nothing counts as changed.
    void cargar();

    [[nodiscard]] const std::string& asunto() const { return asunto_; }
    // The body as it is stored, with Windows line breaks.
    [[nodiscard]] const std::string& mensaje() const { return mensaje_; }
    // The body for an editor that breaks lines with a line feed alone.
    [[nodiscard]] std::string mensajeParaEditar() const;
    [[nodiscard]] bool confirmacion() const { return confirmacion_; }
    // Payroll: documents go out protected with the employee's NIF, with a line after the body
    // that tells how to open them; and the largest document to mail, in KB (0: no limit).
    [[nodiscard]] bool protegerConNif() const { return protegerConNif_; }
    [[nodiscard]] const std::string& lineaProteccion() const { return lineaProteccion_; }
    [[nodiscard]] std::uintmax_t tamanoMaximoKb() const { return tamanoMaximoKb_; }
    // There is no flag of its own: unsaved changes are what keeps "Guardar" enabled.
    [[nodiscard]] bool guardarHabilitado() const { return guardarHabilitado_; }

    // The user's edits; each counts as a change, even one that puts back what was stored.
    void cambiarAsunto(std::string texto);
    // Any mix of line breaks comes in; the body keeps Windows ones, as the suite writes them.
    void cambiarMensaje(std::string_view texto);
    void marcarConfirmacion(bool marcada);
    void marcarProteccion(bool marcada);
    void cambiarLineaProteccion(std::string texto);
    void cambiarTamanoMaximo(std::uintmax_t kb);

    // Stores the three settings and hands the reloaded mail settings on. False, with the user
    // told, when the file could not be written; the changes then stay unsaved.
    bool GuardaDatos();
    // The link "Guardar".
    bool pulsarGuardar();

    // Closing by any means: asks whether to save when something is unsaved. False when the
    // user wanted to save and the save failed: the window stays open with the edits.
    bool cerrar();

private:
    bool escribirSiHaceFalta(std::string_view clave, const std::string& valor,
                             std::string_view porDefecto);

    std::filesystem::path krn_;
    Dialogos& dialogos_;
    RecargarCorreo recargar_;
    std::string asunto_;
    std::string mensaje_;
    bool confirmacion_ = false;
    bool protegerConNif_ = false;
    std::string lineaProteccion_;
    std::uintmax_t tamanoMaximoKb_ = 0;
    bool guardarHabilitado_ = false;
};

// Every line break (CR LF, CR or LF) as CR LF.
std::string saltosWindows(std::string_view texto);
// Every line break (CR LF, CR or LF) as LF.
std::string saltosLf(std::string_view texto);

} // namespace envio
