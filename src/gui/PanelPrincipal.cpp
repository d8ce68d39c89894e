#include "gui/PanelPrincipal.h"

#include "catalogue/Comandos.h"
#include "gui/CuadroXP.h"
#include "gui/CuadrosPanel.h"
#include "gui/EnlacesComando.h"
#include "gui/TextoQt.h"
#include "gui/Twips.h"

#include <QLabel>
#include <QProgressBar>
#include <array>

namespace envio::gui {
namespace {

// The links in the order they stand, each with its box (1 or 2); lines go before 3 and 4.
struct SitioEnlace {
    int indice;
    int cuadro; // 1 or 2
};
constexpr std::array<SitioEnlace, 13> kSitios = {{{0, 1},
                                                  {1, 1},
                                                  {2, 1},
                                                  {3, 1},
                                                  {11, 1},
                                                  {5, 1},
                                                  {12, 1},
                                                  {4, 1},
                                                  {6, 2},
                                                  {7, 2},
                                                  {8, 2},
                                                  {9, 2},
                                                  {10, 2}}};

} // namespace

PanelPrincipal::PanelPrincipal(QWidget* parent) : arte::Lienzo(arte::pintarPanel, parent) {
    setObjectName(QStringLiteral("PicMenu"));
    enlaces_ = new GrupoEnlaces(this);
    p1_ = nuevoCuadro(this, "P1", principal::kP1, QStringLiteral("Acciones"), "Label4");
    p2_ =
        nuevoCuadro(this, "P2", principal::kP2, QStringLiteral("Opciones de selección"), "Label2");
    p3_ =
        nuevoCuadro(this, "P3", principal::kP3, QStringLiteral("Información de sesión"), "Label5");
    construirEnlaces();
    construirSesion();
    connect(p1_, &CuadroXP::Resize, this, [this] { apilarDesde(p1_); });
    connect(p2_, &CuadroXP::Resize, this, [this] { apilarDesde(p2_); });
}

// Icon and text rows under each box's header, with lines between the groups of P1.
void PanelPrincipal::construirEnlaces() {
    std::array<int, 3> y{0, aPixeles(480, this), aPixeles(480, this)};
    const auto raya = [this](CuadroXP* c, int arriba) {
        auto* r = new QWidget(c);
        r->setAutoFillBackground(true);
        QPalette pal = r->palette();
        pal.setColor(QPalette::Window, QColor(0xA8, 0xBE, 0xEC));
        r->setPalette(pal);
        r->setGeometry(aPixeles(150, this), arriba, c->width() - aPixeles(300, this), 1);
    };
    for (const auto& sitio : kSitios) {
        CuadroXP* c = sitio.cuadro == 1 ? p1_ : p2_;
        int& fila = y[static_cast<std::size_t>(sitio.cuadro)];
        if (sitio.indice == 3 || sitio.indice == 4) {
            raya(c, fila + aPixeles(45, this));
            fila += aPixeles(120, this);
        }
        const auto& datos = enlacesComando()[static_cast<std::size_t>(sitio.indice)];
        anadirEnlace(c, *enlaces_, {sitio.indice, q(datos.titulo), sitio.indice, "Image1_"}, fila);
        fila += altoFilaEnlace(this);
    }
}

// P3: the counters, and under them the progress of a run.
void PanelPrincipal::construirSesion() {
    const int ancho = p3_->width() - aPixeles(300, this);
    lblCuenta_ = new QLabel(p3_);
    lblCuenta_->setObjectName(QStringLiteral("lblCuenta"));
    lblCuenta_->setGeometry(aPixeles(150, this), aPixeles(465, this), ancho, aPixeles(255, this));
    lblFacSel_ = new QLabel(p3_);
    lblFacSel_->setObjectName(QStringLiteral("lblFacSel"));
    lblFacSel_->setGeometry(aPixeles(150, this), aPixeles(735, this), ancho, aPixeles(255, this));
    barra_ = new QProgressBar(p3_);
    barra_->setObjectName(QStringLiteral("Barra"));
    barra_->setTextVisible(false);
    barra_->setGeometry(aPixeles(150, this), aPixeles(1035, this), ancho, aPixeles(165, this));
    barra_->hide();
    lblBarra_ = new QLabel(p3_);
    lblBarra_->setObjectName(QStringLiteral("lblBarra"));
    lblBarra_->setGeometry(aPixeles(150, this), aPixeles(1215, this), ancho, aPixeles(240, this));
    lblBarra_->hide();
    for (QLabel* l : {lblCuenta_, lblFacSel_, lblBarra_}) {
        l->setFont(arte::fuente(8.25));
        arte::colorTexto(l, QColor(0x1C, 0x2E, 0x55));
    }
}

void PanelPrincipal::mostrarContadores(const EtiquetasLista& etiquetas) {
    lblCuenta_->setText(QString::fromStdString(etiquetas.cuenta));
    lblFacSel_->setText(QString::fromStdString(etiquetas.seleccionados));
}

void PanelPrincipal::progresoVisible(bool visible) {
    barra_->setVisible(visible);
    lblBarra_->setVisible(visible);
}

void PanelPrincipal::progresoMaximo(int maximo) {
    barra_->setMaximum(maximo);
}

void PanelPrincipal::progresoValor(int valor) {
    barra_->setValue(std::min(valor, barra_->maximum()));
}

void PanelPrincipal::textoProgreso(const QString& texto) {
    lblBarra_->setText(texto);
}

void PanelPrincipal::apilarDesde(const CuadroXP* cuadro) {
    const auto abajoDe = [this](const CuadroXP* c) {
        return aPixeles(arribaDebajoDe({0, aTwips(c->y(), this), 0, aTwips(c->height(), this)}),
                        this);
    };
    if (cuadro == p1_) {
        p2_->move(p2_->x(), abajoDe(p1_));
    }
    p3_->move(p3_->x(), abajoDe(p2_));
}

} // namespace envio::gui
