#include "catalogue/Comandos.h"

namespace envio {

const std::array<EnlaceComando, 13>& enlacesComando() {
    static const std::array<EnlaceComando, 13> enlaces = {{
        {0, "Enviar", Accion::Enviar},
        {1, "Eliminar ", Accion::Eliminar},
        {2, "Ver ", Accion::Ver},
        {3, "Configurar mensaje", Accion::ConfigurarMensaje},
        {4, "Salir", Accion::Salir},
        {5, "Mensajes masivos a usuarios", Accion::MensajesMasivos},
        {6, "Seleccionar todo", Accion::SeleccionarTodo},
        {7, "Deseleccionar todo", Accion::DeseleccionarTodo},
        {8, "Invertir selección", Accion::InvertirSeleccion},
        {9, "Documentos con email", Accion::SeleccionarConEmail},
        {10, "Pendiente de envio", Accion::SeleccionarPendientes},
        {11, "Configurar servidor", Accion::ConfigurarServidor},
        {12, "Historial de envíos", Accion::Historial},
    }};
    return enlaces;
}

const std::array<EntradaMenu, 10>& menuContextual() {
    static const std::array<EntradaMenu, 10> menu = {{
        {"MnuSelTodo", "Seleccionar todo", Accion::SeleccionarTodo},
        {"MnuSelNada", "Deseleccionar todo", Accion::DeseleccionarTodo},
        {"MenuSelInver", "Invertir selección", Accion::InvertirSeleccion},
        {"MnuRaya", "", Accion::Separador},
        {"MnuEnviardoc", "Enviar documento", Accion::Enviar},
        {"MnuEliminarDoc", "Eliminar documento", Accion::Eliminar},
        {"MnuVerDoc", "Ver documento", Accion::Ver},
        {"MnuRaya1", "", Accion::Separador},
        {"MnuPendiente", "Marcar como pendiente", Accion::MarcarPendiente},
        {"MnuEnviada", "Marcar como enviado", Accion::MarcarEnviado},
    }};
    return menu;
}

std::optional<std::string_view> modoSeleccion(Accion accion) {
    switch (accion) {
    case Accion::SeleccionarTodo:
        return "TODO";
    case Accion::DeseleccionarTodo:
        return "NADA";
    case Accion::InvertirSeleccion:
        return "INVERTIR";
    case Accion::SeleccionarConEmail:
        return "EMAIL";
    case Accion::SeleccionarPendientes:
        return "PENDIENTE";
    default:
        return std::nullopt;
    }
}

bool permitidaDuranteUnTrabajo(Accion accion) {
    // Ticks only change the list on screen: the run works on its own copy of the rows.
    // The history only reads the ledgers, which the run writes one short step at a time.
    return accion == Accion::Ver || accion == Accion::Salir || accion == Accion::Historial ||
           modoSeleccion(accion).has_value();
}

} // namespace envio
