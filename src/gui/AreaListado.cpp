#include "gui/AreaListado.h"

#include "catalogue/PantallaPrincipal.h"
#include "gui/Arte.h"
#include "gui/ModeloDocumentos.h"
#include "gui/Twips.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QTabBar>
#include <array>

namespace envio::gui {
namespace {

constexpr std::array<const char*, 13> kMeses = {"ENE", "FEB", "MAR", "ABR", "MAY", "JUN",  "JUL",
                                                "AGO", "SEP", "OCT", "NOV", "DIC", "TODOS"};

// The long operations show the busy pointer and always give it back.
class PunteroOcupado {
public:
    PunteroOcupado() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~PunteroOcupado() { QApplication::restoreOverrideCursor(); }
    PunteroOcupado(const PunteroOcupado&) = delete;
    PunteroOcupado& operator=(const PunteroOcupado&) = delete;
};

// The frame that the month tabs stand on; the list and the search box sit inside it.
class MarcoPestanas : public QWidget {
public:
    MarcoPestanas(QTabBar* barra, bool abajo, QWidget* parent)
        : QWidget(parent), barra_(barra), abajo_(abajo) {
        barra_->setParent(this);
    }

protected:
    void resizeEvent(QResizeEvent*) override {
        // Month tabs stand on the frame; year tabs hang from the top of their strip, just under
        // the month frame, as tabs placed at the bottom do.
        barra_->setGeometry(0, 0, width(), barra_->sizeHint().height());
    }
    void paintEvent(QPaintEvent*) override {
        if (abajo_) {
            return;
        }
        QPainter p(this);
        const int arriba = barra_->height() - 1;
        const QRect marco(0, arriba, width() - 1, height() - arriba - 1);
        p.fillRect(marco, QColor(0xFC, 0xFD, 0xFF));
        p.setPen(QColor(0x8F, 0xA6, 0xD6));
        p.drawRect(marco);
    }

private:
    QTabBar* barra_;
    bool abajo_;
};

const char* kEstiloPestanas = R"(
QTabBar { font-size: 8pt; }
QTabBar::tab {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #FFFFFF, stop:1 #E2EAF8);
  border: 1px solid #8FA6D6; color: #1C2E55; padding: 3px 6px; min-width: 26px;
}
QTabBar::tab:top { border-bottom: none; border-top-left-radius: 3px; border-top-right-radius: 3px;
  margin-top: 2px; margin-right: -1px; }
QTabBar::tab:bottom { border-top: none; border-bottom-left-radius: 3px;
  border-bottom-right-radius: 3px; margin-bottom: 2px; margin-right: -1px; }
QTabBar::tab:top:selected { background: #FCFDFF; border-top: 2px solid #F29A22; margin-top: 0px;
  font-weight: bold; }
QTabBar::tab:bottom:selected { background: #FCFDFF; border-bottom: 2px solid #F29A22;
  margin-bottom: 0px; font-weight: bold; }
QTabBar::tab:top:hover:!selected { border-top: 2px solid #FFC870; }
QTabBar::tab:bottom:hover:!selected { border-bottom: 2px solid #FFC870; }
)";

QTabBar* nuevasPestanas(const char* nombre) {
    auto* barra = new QTabBar;
    barra->setObjectName(QLatin1String(nombre));
    barra->setStyleSheet(QLatin1String(kEstiloPestanas));
    barra->setExpanding(false);
    barra->setDrawBase(false);
    return barra;
}

} // namespace

AreaListado::AreaListado(PantallaPrincipal& pantalla, QWidget* central) : pantalla_(pantalla) {
    construirBanda(central);
    construirPestanas(central);
    construirLista(central);
    marcoMeses_->lower();
    marcoAnos_->lower();
    conectar();
}

AreaListado::~AreaListado() = default;

void AreaListado::construirBanda(QWidget* central) {
    const auto& c = pantalla_.contexto();
    gradiente_ = new arte::Lienzo(arte::pintarBanda, central);
    gradiente_->setObjectName(QStringLiteral("GRADIENTE"));
    lblDetalle_ = new QLabel(QStringLiteral("Documentos"), gradiente_);
    lblDetalle_->setObjectName(QStringLiteral("lblDetalle"));
    lblDetalle_->setFont(arte::fuente(9, true));
    arte::colorTexto(lblDetalle_, Qt::white);

    combo1_ = new QComboBox(central);
    combo1_->setObjectName(QStringLiteral("Combo1"));
    for (const auto& tipo : c.tipos) {
        combo1_->addItem(QString::fromStdString(tipo));
    }
    combo1_->setCurrentIndex(0);
    // One type has nothing to choose from; the payroll types are worth choosing between.
    combo1_->setVisible(c.modo == Modo::Nomina);
}

void AreaListado::construirPestanas(QWidget* central) {
    const auto& c = pantalla_.contexto();
    tabMeses_ = nuevasPestanas("TabMeses");
    tabMeses_->setUsesScrollButtons(true);
    for (const char* mes : kMeses) {
        tabMeses_->addTab(QLatin1String(mes));
    }
    marcoMeses_ = new MarcoPestanas(tabMeses_, false, central);
    marcoMeses_->setObjectName(QStringLiteral("marcoMeses"));

    tabAnos_ = nuevasPestanas("TabAnos");
    tabAnos_->setShape(QTabBar::RoundedSouth);
    for (const auto& anio : c.anios) {
        tabAnos_->addTab(QString::fromStdString(anio));
    }
    marcoAnos_ = new MarcoPestanas(tabAnos_, true, central);
    marcoAnos_->setObjectName(QStringLiteral("marcoAnos"));
    tabAnos_->setCurrentIndex(0);
    tabMeses_->setCurrentIndex(std::clamp(c.mesActual, 1, 12) - 1);
}

void AreaListado::construirLista(QWidget* central) {
    lv_ = new VistaDocumentos(central);
    lv_->setObjectName(QStringLiteral("Lv"));
    modelo_ = new ModeloDocumentos(pantalla_.lista(), this);
    lv_->setModel(modelo_);
    lv_->setColumnHidden(5, true);
    lv_->setIconSize(QSize(aPixeles(240, central), aPixeles(240, central)));

    txtBusqueda_ = new QLineEdit(central);
    txtBusqueda_->setObjectName(QStringLiteral("txtBusqueda"));
    txtBusqueda_->setPlaceholderText(QStringLiteral("Buscar en la lista…"));
    txtBusqueda_->setClearButtonEnabled(true);
}

void AreaListado::medidas(MarcoPrincipal& marco) const {
    marco.gradiente = {principal::kIzquierdaPestanas, 810, 0, 360};
    marco.combo = {0, 840, 2400, 300};
    marco.tabMeses = {principal::kIzquierdaPestanas, principal::kArribaPestanas, 0, 0};
    marco.tabAnos = {principal::kIzquierdaPestanas, 0, 0, 900};
    marco.lista = principal::kLista;
    marco.busqueda = {principal::kLista.x, 0, 0, 315};
    for (std::size_t i = 0; i < marco.columnas.size(); ++i) {
        marco.columnas[i] = principal::kAnchosColumnas[i];
    }
}

void AreaListado::disponer(const MarcoPrincipal& marco) {
    const QWidget* w = lv_;
    gradiente_->setGeometry(aPixeles(marco.gradiente, w));
    lblDetalle_->move(aPixeles(120, w), (gradiente_->height() - lblDetalle_->height()) / 2);
    QRect combo = aPixeles(marco.combo, w);
    combo.moveTop(gradiente_->y() + (gradiente_->height() - combo.height()) / 2);
    combo1_->setGeometry(combo.adjusted(-2, 0, -2, 0));
    marcoMeses_->setGeometry(aPixeles(marco.tabMeses, w));
    marcoAnos_->setGeometry(aPixeles(marco.tabAnos, w));
    lv_->setGeometry(aPixeles(marco.lista, w));
    txtBusqueda_->setGeometry(aPixeles(marco.busqueda, w));
    for (int i = 0; i < 5; ++i) {
        lv_->setColumnWidth(i, aPixeles(marco.columnas[static_cast<std::size_t>(i)], w));
    }
}

void AreaListado::conectar() {
    connect(combo1_, &QComboBox::activated, this, [this](int i) {
        PunteroOcupado ocupado;
        pantalla_.elegirTipo(combo1_->itemText(i).toStdString());
        mostrarRecarga();
    });
    connect(tabMeses_, &QTabBar::currentChanged, this, &AreaListado::elegirMes);
    connect(tabMeses_, &QTabBar::tabBarClicked, this, [this](int i) {
        if (i == tabMeses_->currentIndex()) {
            elegirMes(i); // a click on the tab already shown starts it afresh too
        }
    });
    connect(tabAnos_, &QTabBar::currentChanged, this, &AreaListado::elegirAnio);
    connect(tabAnos_, &QTabBar::tabBarClicked, this, [this](int i) {
        if (i == tabAnos_->currentIndex()) {
            elegirAnio(i);
        }
    });
    connect(txtBusqueda_, &QLineEdit::textChanged, this, [this](const QString& texto) {
        if (cargando_) {
            return;
        }
        PunteroOcupado ocupado;
        pantalla_.cambiarBusqueda(texto.toStdString());
        mostrarRecarga();
    });

    connect(lv_->header(), &QHeaderView::sectionClicked, this, [this](int columna) {
        pantalla_.clicEnCabecera(columna);
        mostrarRecarga(false);
    });
    connect(lv_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& actual) {
                pantalla_.lista().seleccionar(
                    actual.isValid()
                        ? std::optional<std::size_t>(static_cast<std::size_t>(actual.row()))
                        : std::nullopt);
            });
    connect(lv_, &VistaDocumentos::clicIzquierdo, this, [this] {
        pantalla_.clicEnLista();
        mostrarEtiquetas();
    });
    connect(lv_, &VistaDocumentos::tecla, this, [this] {
        pantalla_.teclaEnLista();
        mostrarEtiquetas();
    });
    connect(lv_, &VistaDocumentos::dobleClic, this, [this] { emit accionPedida(Accion::Ver); });
    connect(lv_, &VistaDocumentos::clicDerecho, this, &AreaListado::menuPedido);
}

void AreaListado::iniciar() {
    {
        PunteroOcupado ocupado;
        pantalla_.iniciar();
    }
    mostrarRecarga();
    txtBusqueda_->setFocus(); // takes effect when the window first shows
    cargando_ = false;
}

void AreaListado::elegirMes(int indice) {
    if (cargando_ || indice < 0) {
        return;
    }
    PunteroOcupado ocupado;
    pantalla_.elegirMes(indice + 1);
    mostrarRecarga();
}

void AreaListado::elegirAnio(int indice) {
    if (cargando_ || indice < 0) {
        return;
    }
    PunteroOcupado ocupado;
    pantalla_.elegirAnio(indice);
    mostrarRecarga();
}

void AreaListado::recargar() {
    PunteroOcupado ocupado;
    pantalla_.ActualizarLista();
    mostrarRecarga();
}

void AreaListado::mostrarFilasCambiadas() {
    modelo_->filasCambiadas();
    mostrarEtiquetas();
}

void AreaListado::mostrarFilaCambiada(int fila) {
    modelo_->filaCambiada(fila);
}

void AreaListado::mostrarEtiquetas() {
    lblDetalle_->setText(QString::fromStdString(pantalla_.etiquetas().detalle));
    lblDetalle_->adjustSize();
    emit etiquetasCambiadas();
}

void AreaListado::mostrarRecarga(bool enfocarBusqueda) {
    const auto actual = pantalla_.lista().actual();
    modelo_->recargar();
    if (actual) {
        lv_->setCurrentIndex(modelo_->index(static_cast<int>(*actual), 0));
    }
    mostrarOrden();
    mostrarEtiquetas();
    // A search text that the core emptied (a new period) shows empty.
    const QString busqueda = QString::fromStdString(pantalla_.seleccion().busqueda);
    if (txtBusqueda_->text() != busqueda) {
        const QSignalBlocker bloqueo(txtBusqueda_);
        txtBusqueda_->setText(busqueda);
    }
    if (enfocarBusqueda && txtBusqueda_->isVisible()) {
        txtBusqueda_->setFocus();
    }
}

void AreaListado::mostrarOrden() {
    QHeaderView* cabecera = lv_->header();
    const int columna = pantalla_.cabeceraOrdenada();
    cabecera->setSortIndicatorShown(columna >= 0);
    if (columna >= 0) {
        cabecera->setSortIndicator(columna, pantalla_.lista().descendente() ? Qt::DescendingOrder
                                                                            : Qt::AscendingOrder);
    }
}

} // namespace envio::gui
