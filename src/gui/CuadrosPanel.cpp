#include "gui/CuadrosPanel.h"

#include "gui/Arte.h"
#include "gui/CuadroXP.h"
#include "gui/EnlacesComando.h"
#include "gui/Twips.h"

#include <QLabel>

namespace envio::gui {

CuadroXP* nuevoCuadro(QWidget* panel, const char* nombre, const RectTwips& sitio,
                      const QString& titulo, const char* nombreTitulo) {
    auto* c = new CuadroXP(panel);
    c->setObjectName(QLatin1String(nombre));
    c->setGeometry(aPixeles(sitio, panel));
    auto* t = new QLabel(titulo, c);
    if (nombreTitulo != nullptr) {
        t->setObjectName(QLatin1String(nombreTitulo));
    }
    t->setFont(arte::fuente(8.25, true));
    arte::colorTexto(t, arte::kTituloCuadro);
    t->setGeometry(aPixeles(150, panel), 0, c->width() - aPixeles(700, panel), c->altoCabecera());
    return c;
}

int altoFilaEnlace(const QWidget* w) {
    return aPixeles(300, w);
}

void anadirEnlace(CuadroXP* cuadro, GrupoEnlaces& grupo, const FilaEnlace& fila, int arriba) {
    const int paso = altoFilaEnlace(cuadro);
    const int izquierda = aPixeles(180, cuadro);
    const int lado = aPixeles(240, cuadro); // the icons' 16 pixels at 96 dots per inch
    auto* icono = new QLabel(cuadro);
    icono->setObjectName(
        QStringLiteral("%1%2").arg(QLatin1String(fila.nombreIcono)).arg(fila.indice));
    icono->setPixmap(arte::iconoEnlace(fila.icono).pixmap(lado, lado));
    icono->setGeometry(izquierda, arriba + (paso - lado) / 2, lado, lado);
    auto* enlace = new EnlaceComando(fila.indice, fila.titulo, cuadro);
    enlace->setObjectName(QStringLiteral("lbl_cmd_%1").arg(fila.indice));
    enlace->setGeometry(izquierda + lado + 6, arriba, cuadro->width() - izquierda - lado - 10,
                        paso);
    grupo.agregar(enlace);
}

} // namespace envio::gui
