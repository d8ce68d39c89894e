#include "catalogue/Seleccion.h"

#include "database/Texto.h"

#include <algorithm>

namespace envio {
namespace {

std::string trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

} // namespace

std::string Seleccionar(ListaVista& lista, std::string_view strTexto) {
    const std::string modo = mayusculas(trimBlanks(strTexto));
    for (auto& fila : lista.filas()) {
        if (modo == "TODO") {
            fila.marcada = true;
        } else if (modo == "NADA") {
            fila.marcada = false;
        } else if (modo == "INVERTIR") {
            fila.marcada = !fila.marcada;
        } else if (modo == "EMAIL") {
            fila.marcada = !trimBlanks(fila.subitems[0]).empty();
        } else if (modo == "PENDIENTE") {
            fila.marcada = fila.icono == kIconoPendiente;
        }
    }
    return textoSeleccionadosRaton(lista);
}

int ContarSeleccionados(const ListaVista& lista) {
    return static_cast<int>(std::count_if(lista.filas().begin(), lista.filas().end(),
                                          [](const FilaLista& f) { return f.marcada; }));
}

std::string textoSeleccionadosRaton(const ListaVista& lista) {
    return "documentos selecionados: " + std::to_string(ContarSeleccionados(lista));
}

std::string textoSeleccionadosTeclado(const ListaVista& lista) {
    return "Facturas seleccionadas: " + std::to_string(ContarSeleccionados(lista));
}

} // namespace envio
