#include "gui/PanelAvisos.h"

#include "gui/CuadroXP.h"
#include "gui/CuadrosPanel.h"
#include "gui/EnlacesComando.h"
#include "gui/Twips.h"

#include <QLabel>
#include <QLineEdit>

namespace envio::gui {
namespace {

constexpr RectTwips kP1{120, 120, 3015, 1215};
constexpr RectTwips kP2{120, 1435, 3015, 2655};

} // namespace

PanelAvisos::PanelAvisos(QWidget* parent) : arte::Lienzo(arte::pintarPanel, parent) {
    setObjectName(QStringLiteral("PicMenu"));
    enlaces_ = new GrupoEnlaces(this);
    p1_ = nuevoCuadro(this, "P1", kP1, QStringLiteral("Acciones"));
    p2_ = nuevoCuadro(this, "P2", kP2, QStringLiteral("Filtros de selección"));

    int fila = aPixeles(480, this);
    for (const FilaEnlace& enlace : {FilaEnlace{0, QStringLiteral("Enviar"), 0, "img_cmd_"},
                                     FilaEnlace{1, QStringLiteral("Salir"), 4, "img_cmd_"}}) {
        anadirEnlace(p1_, *enlaces_, enlace, fila);
        fila += altoFilaEnlace(this);
    }

    const int ancho = p2_->width() - aPixeles(300, this);
    auto* lbl = new QLabel(
        QStringLiteral("Puede seleccionar grupos de clientes en base a dígitos de control "
                       "incluidos en el campo controles de su ficha. Introduzca en el campo los "
                       "controles a seleccionar."),
        p2_);
    lbl->setObjectName(QStringLiteral("lbl"));
    lbl->setWordWrap(true);
    lbl->setFont(arte::fuente(8.25));
    arte::colorTexto(lbl, QColor(0x1C, 0x2E, 0x55));
    lbl->setGeometry(aPixeles(150, this), aPixeles(480, this), ancho, aPixeles(1500, this));
    txtFiltro_ = new QLineEdit(p2_);
    txtFiltro_->setObjectName(QStringLiteral("txtFiltro"));
    txtFiltro_->setGeometry(aPixeles(150, this), aPixeles(2040, this), ancho, aPixeles(315, this));

    connect(enlaces_, &GrupoEnlaces::pulsado, this, &PanelAvisos::enlacePulsado);
    connect(txtFiltro_, &QLineEdit::textChanged, this, &PanelAvisos::filtroCambiado);
    connect(p1_, &CuadroXP::Resize, this, &PanelAvisos::colocarFiltros);
}

void PanelAvisos::mostrarFiltro(bool visible) {
    p2_->setVisible(visible);
}

void PanelAvisos::filtroActivo(bool activo) {
    p2_->setEnabled(activo);
}

void PanelAvisos::colocarFiltros() {
    const int arriba = aTwips(p1_->y(), this) + aTwips(p1_->height(), this) + 100;
    p2_->move(p2_->x(), aPixeles(arriba, this));
}

} // namespace envio::gui
