#include "cli/OrdenListar.h"

#include "catalogue/Catalogo.h"
#include "cli/DialogosConsola.h"

#include <algorithm>

namespace envio::cli {

SeleccionPeriodo seleccionDeOpciones(const Opciones& opciones, const ContextoAnfitrion& contexto) {
    SeleccionPeriodo s;
    s.tipo = opciones.tipo.value_or(contexto.tipos.front());
    if (std::find(contexto.tipos.begin(), contexto.tipos.end(), s.tipo) == contexto.tipos.end()) {
        throw ErrorDeOpciones("Tipo de documento desconocido: " + s.tipo);
    }
    s.anio = opciones.anio ? std::to_string(*opciones.anio) : contexto.anios.front();
    s.mes = opciones.mes.value_or(contexto.mesActual);
    s.busqueda = opciones.filtro;
    return s;
}

int ordenListar(const Opciones& opciones, const CarpetaPrograma& carpeta, const Reloj& reloj,
                std::ostream& salida, std::ostream& errores) {
    DialogosConsola dialogos(errores, Respuesta::No);
    auto contexto = iniciarContexto(carpeta, dialogos, reloj);
    if (!contexto) {
        return 2;
    }
    // Standard output stays the list alone; which folders the Windows paths led to goes aside.
    for (const auto& unidad : contexto->rutas.usadas()) {
        errores << "Unidad " << describirUnidad(unidad) << '\n';
    }
    try {
        const SeleccionPeriodo seleccion = seleccionDeOpciones(opciones, *contexto);
        Catalogo catalogo(*contexto);
        ListaVista lista;
        catalogo.ActualizarLista(seleccion, lista);
        for (const auto& fila : lista.filas()) {
            salida << (fila.icono == kIconoEnviado ? "enviado"
                       : fila.dudoso.empty()       ? "pendiente"
                                                   : "posiblemente enviado")
                   << '\t' << fila.texto;
            for (const auto& subitem : fila.subitems) {
                salida << '\t' << subitem;
            }
            salida << '\t' << fila.etiqueta << '\n';
        }
    } catch (const std::exception& e) {
        errores << e.what() << '\n';
        return 2;
    }
    return 0;
}

} // namespace envio::cli
