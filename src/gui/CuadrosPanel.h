#pragma once

#include "ui/DisposicionVentana.h"

#include <QString>

class QWidget;

namespace envio::gui {

class CuadroXP;
class GrupoEnlaces;

// A box of a side panel, where the design puts it, with its bold title in the header strip.
// `nombreTitulo` names the title's label when the window has always named it.
CuadroXP* nuevoCuadro(QWidget* panel, const char* nombre, const RectTwips& sitio,
                      const QString& titulo, const char* nombreTitulo = nullptr);

// One row of command links inside a box: the command's icon (`icono`, see arte::iconoEnlace) and
// the link `indice` beside it, `arriba` pixels from the box's top; the link joins `grupo`. The
// icon's label is named `nombreIcono` followed by the link's index.
struct FilaEnlace {
    int indice;
    QString titulo;
    int icono;
    const char* nombreIcono;
};
void anadirEnlace(CuadroXP* cuadro, GrupoEnlaces& grupo, const FilaEnlace& fila, int arriba);

// The height of a row of links, in pixels.
int altoFilaEnlace(const QWidget* w);

} // namespace envio::gui
