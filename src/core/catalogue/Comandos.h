#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace envio {

enum class Accion {
    Enviar,
    Eliminar,
    Ver,
    ConfigurarMensaje,
    Salir,
    MensajesMasivos,
    SeleccionarTodo,
    DeseleccionarTodo,
    InvertirSeleccion,
    SeleccionarConEmail,
    SeleccionarPendientes,
    ConfigurarServidor,
    MarcarPendiente,
    MarcarEnviado,
    Historial,
    Separador
};

// The main window's command links by index, with their captions (trailing blanks included).
struct EnlaceComando {
    int indice;
    std::string_view titulo;
    Accion accion;
};
const std::array<EnlaceComando, 13>& enlacesComando();

// The list's context menu, in order.
struct EntradaMenu {
    std::string_view nombre;
    std::string_view titulo; // empty for a separator
    Accion accion;
};
const std::array<EntradaMenu, 10>& menuContextual();

// The selection mode of a selection command, or nothing for other commands.
std::optional<std::string_view> modoSeleccion(Accion accion);

// Whether a command may run while a sending run or a deletion is working on the documents: only
// those that touch neither the files, the work table nor the settings that the run is using.
bool permitidaDuranteUnTrabajo(Accion accion);

} // namespace envio
