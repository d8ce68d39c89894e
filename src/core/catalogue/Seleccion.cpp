#include "catalogue/Seleccion.h"

#include "database/Texto.h"

#include <algorithm>

namespace envio {
std::string Seleccionar(ListaVista& lista, std::string_view strTexto) {
    const std::string modo = mayusculas(sinBlancos(strTexto));
    for (auto& fila : lista.filas()) {
        if (modo == "TODO") {
            fila.marcada = true;
        } else if (modo == "NADA") {
            fila.marcada = false;
        } else if (modo == "INVERTIR") {
            fila.marcada = !fila.marcada;
        } else if (modo == "EMAIL") {
            fila.marcada = !sinBlancos(fila.subitems[0]).empty();
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
