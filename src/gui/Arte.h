#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QRect>
#include <QWidget>
#include <functional>

// The program's own artwork, drawn rather than shipped so that it stays sharp at any scale.
namespace envio::gui::arte {

// The colours of the window chrome.
inline const QColor kAzulPanel{121, 159, 230};   // the side panel
inline const QColor kFondoCuadro{214, 223, 248}; // a box's surface
inline const QColor kCuerpoCuadro{0xD6, 0xDF, 0xF7};
inline const QColor kFinCabecera{0xC7, 0xD4, 0xF7};
inline const QColor kEsquina{0x7A, 0xA1, 0xE6};
inline const QColor kChevron{0x00, 0x3C, 0xA5};
inline const QColor kTituloCuadro{0x21, 0x5D, 0xC6};
inline const QColor kEnlace{0x1C, 0x3F, 0x94};
inline const QColor kEnlaceInactivo{0x8E, 0x99, 0xB0};

// The small icon beside command link `indice` (0..11).
QIcon iconoEnlace(int indice);
// A document row's icon: 1 pending, 2 sent.
QIcon iconoFila(int icono);
// The header's logo: a PDF page going out in an envelope.
void dibujarLogo(QPainter& p, const QRectF& area);

// The window frame shared by every window: the header's blue band with its gloss, the orange
// line that closes it, and the side panel's blue.
void pintarFondoCabecera(QPainter& p, const QRect& zona);
void pintarLineaCabecera(QPainter& p, const QRect& zona);
void pintarPanel(QPainter& p, const QRect& zona);
// The rounded band, blue shading to pale, behind a list's title.
void pintarBanda(QPainter& p, const QRect& zona);
// The program's icon, the logo on its own.
QIcon iconoPrograma();

// The frame's lettering: the links' face at a size, and a label's text colour.
QFont fuente(double puntos, bool negrita = false);
void colorTexto(QWidget* w, const QColor& c);

// The header's white title with its explaining line under it, placed as every window places them.
// Returns the line, which some windows lay out further.
QLabel* titulosCabecera(QWidget* cabecera, const QString& titulo, const QString& linea,
                        const char* nombreLinea);
// A widget that only paints itself, with one of the functions above: the header, its logo and
// line, the side panel.
class Lienzo : public QWidget {
public:
    using Pintura = std::function<void(QPainter&, const QRect&)>;
    Lienzo(Pintura pintura, QWidget* parent) : QWidget(parent), pintura_(std::move(pintura)) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        pintura_(p, rect());
    }

private:
    Pintura pintura_;
};

// A box's round button with a double chevron, up to collapse, down to expand.
void dibujarBotonCuadro(QPainter& p, const QRectF& area, bool arriba, bool encima, bool pulsado);

} // namespace envio::gui::arte
