#pragma once

#include "ui/DisposicionVentana.h"

#include <QRect>
#include <QWidget>

namespace envio::gui {

// Twips become pixels at 15 a pixel on a 96 dots-per-inch desktop and scale with the desktop's
// setting. Pixels back to twips round to whole twips, so a height that goes through twips and
// back comes out as it was.
inline double puntosPorPulgada(const QWidget* w) {
    const int dpi = w != nullptr ? w->logicalDpiX() : 96;
    return dpi > 0 ? dpi : 96;
}

inline int aPixeles(double twips, const QWidget* w) {
    return qRound(twips * puntosPorPulgada(w) / kTwipsPorPulgada);
}

inline int aTwips(int pixeles, const QWidget* w) {
    return qRound(pixeles * kTwipsPorPulgada / puntosPorPulgada(w));
}

// Edges are converted, not sizes, so that neighbours that touch in twips touch on the screen.
inline QRect aPixeles(const RectTwips& r, const QWidget* w) {
    const int x = aPixeles(r.x, w);
    const int y = aPixeles(r.y, w);
    return {x, y, aPixeles(r.derecha(), w) - x, aPixeles(r.abajo(), w) - y};
}

} // namespace envio::gui
