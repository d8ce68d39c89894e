#pragma once

#include "catalogue/Catalogo.h"
#include "catalogue/Comandos.h"
#include "catalogue/ListaVista.h"
#include "host/ContextoAnfitrion.h"
#include "platform/Shell.h"
#include "ui/Cancelacion.h"
#include "ui/Dialogos.h"

#include <memory>
#include <string>

namespace envio {

// What is left to the window once the core has done its part of a command.
enum class Efecto {
    Ninguno,
    FilasCambiadas, // checks, icons or tags of rows changed; the rows are the same
    ListaRecargada, // the list was refilled: rows, counters and the band's text are new
    Enviar,         // the sending run
    ConfigurarMensaje,
    MensajesMasivos,
    ConfigurarServidor,
    Historial,
    Salir
};

// The main window without the window: the host context, the document list, the chosen type,
// year, month and search text, the three labels a fill sets and the cancel flag. Every event of
// the window comes here; the window only shows the outcome.
class PantallaPrincipal {
public:
    PantallaPrincipal(ContextoAnfitrion contexto, Dialogos& dialogos, Shell& shell);

    // The first fill: the first type, this year's tab and this month's tab, no search text.
    void iniciar();

    [[nodiscard]] const ContextoAnfitrion& contexto() const { return *contexto_; }
    ContextoAnfitrion& contexto() { return *contexto_; }
    ListaVista& lista() { return lista_; }
    [[nodiscard]] const ListaVista& lista() const { return lista_; }
    [[nodiscard]] const SeleccionPeriodo& seleccion() const { return seleccion_; }
    [[nodiscard]] int indiceAnio() const { return indiceAnio_; } // 0 = this year
    [[nodiscard]] const EtiquetasLista& etiquetas() const { return etiquetas_; }
    Cancelacion& cancelacion() { return cancelacion_; }

    // The events that choose what is listed. A year or month tab empties the search text first,
    // so a new period always starts unfiltered.
    void elegirTipo(const std::string& tipo);
    void elegirAnio(int indice);
    void elegirMes(int mes); // 1..12, or kMesTodos
    void cambiarBusqueda(const std::string& texto);
    void ActualizarLista();

    // The counter after the user clicked in the list, or pressed a key there.
    void clicEnLista();
    void teclaEnLista();

    // A click on a column header (0 = first column).
    void clicEnCabecera(int columna);
    // The header that shows the sort order, or -1 while the list is not sorted.
    [[nodiscard]] int cabeceraOrdenada() const { return lista_.ordenada() ? cabeceraOrden_ : -1; }

    // A command link or context-menu entry.
    Efecto ejecutar(Accion accion);

private:
    void rellenar();

    std::unique_ptr<ContextoAnfitrion> contexto_; // the catalogue keeps a reference to it
    Dialogos& dialogos_;
    Shell& shell_;
    Catalogo catalogo_;
    ListaVista lista_;
    SeleccionPeriodo seleccion_;
    int indiceAnio_ = 0;
    int cabeceraOrden_ = -1;
    EtiquetasLista etiquetas_;
    Cancelacion cancelacion_;
    bool lecturaFallida_ = false; // the last fill could not read the suite's tables
};

} // namespace envio
