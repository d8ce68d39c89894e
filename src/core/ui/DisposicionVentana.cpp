#include "ui/DisposicionVentana.h"

#include <cmath>

namespace envio {
namespace {

// A size that would come out negative leaves the element as it was.
void fijarSiCabe(int& destino, int valor) {
    if (valor >= 0) {
        destino = valor;
    }
}

} // namespace

void disponerPrincipal(MarcoPrincipal& m) {
    m.logo.x = m.anchoCabeza - 1200;
    fijarSiCabe(m.linea.ancho, m.ventana.ancho);
    fijarSiCabe(m.gradiente.ancho, m.ventana.ancho - m.anchoMenu - 350);
    m.combo.x = m.gradiente.x + m.gradiente.ancho - m.combo.ancho;
    m.tabMeses.ancho = m.gradiente.ancho;
    m.tabAnos.ancho = m.gradiente.ancho;
    m.tabAnos.y = m.arribaBarraEstado - 900;
    fijarSiCabe(m.tabMeses.alto, m.ventana.alto - m.altoCabeza - 1700);
    fijarSiCabe(m.lista.alto, m.tabMeses.alto - 780);
    m.busqueda.y = m.tabMeses.y + m.tabMeses.alto - 400;
    fijarSiCabe(m.lista.ancho, m.tabMeses.ancho - 100);
    m.busqueda.ancho = m.lista.ancho;
    const double resto = std::round(static_cast<double>(m.lista.ancho) - m.columnas[2] -
                                    m.columnas[3] - m.columnas[4] - 330);
    if (resto >= 0) {
        m.columnas[0] = resto / 2;
        m.columnas[1] = resto / 2;
    }
}

void disponerCuadro(PartesCuadro& p, TamanoTwips c) {
    p.cabecera.ancho = c.ancho;
    p.cuerpo.ancho = c.ancho;
    p.borde.ancho = c.ancho;
    p.borde.y = c.alto - p.borde.alto;
    fijarSiCabe(p.cuerpo.alto, p.borde.y - p.cuerpo.y);
    p.plegar.x = c.ancho - 70 - p.plegar.ancho;
    // The expand button goes by the collapse button's width, not its own, as it always has.
    p.desplegar.x = c.ancho - 60 - p.plegar.ancho;
}

} // namespace envio
