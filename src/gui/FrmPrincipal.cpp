#include "gui/FrmPrincipal.h"

#include "catalogue/AccionesDocumento.h"
#include "gui/Arte.h"
#include "gui/CuadroXP.h"
#include "gui/EnlacesComando.h"
#include "gui/MenuSinContrasena.h"
#include "gui/ModeloDocumentos.h"
#include "gui/Twips.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QStatusBar>
#include <QTabBar>
#include <QThread>
#include <cmath>

namespace envio::gui {
namespace {

constexpr std::array<const char*, 13> kMeses = {"ENE", "FEB", "MAR", "ABR", "MAY", "JUN",  "JUL",
                                                "AGO", "SEP", "OCT", "NOV", "DIC", "TODOS"};

QString q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The long operations show the busy pointer and always give it back.
class PunteroOcupado {
public:
    PunteroOcupado() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~PunteroOcupado() { QApplication::restoreOverrideCursor(); }
    PunteroOcupado(const PunteroOcupado&) = delete;
    PunteroOcupado& operator=(const PunteroOcupado&) = delete;
};

// GRADIENTE: the band over the list that names what is listed.
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

// The links in the order they stand, each with its box (1 or 2); lines go before 3 and 4.
struct SitioEnlace {
    int indice;
    int box; // 1 or 2
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

FrmPrincipal::FrmPrincipal(ContextoAnfitrion contexto, Dialogos& dialogos, Shell& shell,
                           QWidget* parent)
    : QMainWindow(parent), dialogos_(dialogos), shell_(shell),
      pantalla_(std::make_unique<PantallaPrincipal>(std::move(contexto), dialogos, shell)) {
    setWindowTitle(QStringLiteral("Envío de documentos por e-mail"));
    setObjectName(QStringLiteral("frmPrincipal"));
    setFont(arte::fuente(8.25));
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("areaPrincipal"));
    central->setAutoFillBackground(true);
    QPalette fondo = central->palette();
    fondo.setColor(QPalette::Window, QColor(0xF4, 0xF7, 0xFD));
    central->setPalette(fondo);
    setCentralWidget(central);

    statusBar1_ = new QStatusBar(this);
    statusBar1_->setObjectName(QStringLiteral("StatusBar1"));
    statusBar1_->setFixedHeight(std::max(aPixeles(principal::kAltoBarraEstado, this),
                                         statusBar1_->fontMetrics().height() + 6));
    setStatusBar(statusBar1_);

    construirCabecera(central);
    construirPanel(central);
    construirAreaTrabajo(central);
    construirMenu();
    conectar();

    const auto& c = pantalla_->contexto();
    auto* carpeta = new QLabel(QStringLiteral("  Documentos en %1")
                                   .arg(QString::fromStdString(c.rutaDocumentos.string())));
    statusBar1_->addWidget(carpeta, 1);
    if (!c.rutas.usadas().empty()) {
        // Which folders the Windows paths of KRN.INI led to, so a wrong guess shows at once.
        QStringList unidades;
        for (const auto& unidad : c.rutas.usadas()) {
            unidades << QString::fromStdString(describirUnidad(unidad));
        }
        auto* etiqueta =
            new QLabel(QStringLiteral("Unidades: %1  ").arg(unidades.join(QStringLiteral("; "))));
        etiqueta->setObjectName(QStringLiteral("lblUnidades"));
        statusBar1_->addPermanentWidget(etiqueta);
    }
    statusBar1_->addPermanentWidget(new QLabel(
        c.modo == Modo::Nomina ? QStringLiteral("Nóminas  ") : QStringLiteral("Facturación  ")));

    setMinimumSize(tamanoMinimo());
    resize(std::max(aPixeles(13800, this), tamanoMinimo().width()),
           std::max(aPixeles(9600, this), tamanoMinimo().height()));

    // The first fill, with the tabs already on this year and this month.
    {
        PunteroOcupado ocupado;
        pantalla_->iniciar();
    }
    mostrarRecarga();
    txtBusqueda_->setFocus(); // takes effect when the window first shows
    cargando_ = false;
    qApp->installEventFilter(this);
}

FrmPrincipal::~FrmPrincipal() {
    if (borrado_.joinable()) {
        borrado_.join();
    }
    if (qApp != nullptr) {
        qApp->removeEventFilter(this);
    }
    // The list view and its model read the core's list, which goes with pantalla_ before the
    // base class would delete them.
    delete centralWidget();
    delete modelo_;
}

QSize FrmPrincipal::tamanoMinimo() const {
    const auto techo = [this](int twips) {
        return static_cast<int>(std::ceil(twips * puntosPorPulgada(this) / kTwipsPorPulgada));
    };
    return {techo(principal::kMinimo.ancho), techo(principal::kMinimo.alto)};
}

void FrmPrincipal::construirCabecera(QWidget* central) {
    picCabeza_ = new arte::Lienzo(arte::pintarFondoCabecera, central); // a deep blue band
    picCabeza_->setObjectName(QStringLiteral("PicCabeza"));
    arte::titulosCabecera(picCabeza_, QStringLiteral("Documentos por e-mail"),
                          QStringLiteral("Módulo para el envio de documentos por e-mail"),
                          "Label9");
    logo_ = new arte::Lienzo([](QPainter& p, const QRect& r) { arte::dibujarLogo(p, QRectF(r)); },
                             picCabeza_);
    logo_->setObjectName(QStringLiteral("logo"));
    linea_ = new arte::Lienzo(arte::pintarLineaCabecera, picCabeza_); // closes the header
    linea_->setObjectName(QStringLiteral("LINEA"));

    marco_.altoCabeza = principal::kAltoCabeza;
    marco_.anchoMenu = principal::kAnchoMenu;
    marco_.logo = {0, 45, 645, 645};
    marco_.linea = {0, principal::kAltoCabeza - 30, 0, 30};
}

void FrmPrincipal::construirPanel(QWidget* central) {
    picMenu_ = new arte::Lienzo(arte::pintarPanel, central);
    picMenu_->setObjectName(QStringLiteral("PicMenu"));
    enlaces_ = new GrupoEnlaces(this);

    const auto caja = [this](const char* nombre, const RectTwips& r, const QString& titulo,
                             const char* nombreTitulo) {
        auto* c = new CuadroXP(picMenu_);
        c->setObjectName(QLatin1String(nombre));
        c->setGeometry(aPixeles(r, this));
        auto* t = new QLabel(titulo, c);
        t->setObjectName(QLatin1String(nombreTitulo));
        t->setFont(arte::fuente(8.25, true));
        arte::colorTexto(t, arte::kTituloCuadro);
        t->setGeometry(aPixeles(150, this), 0, c->width() - aPixeles(700, this), c->altoCabecera());
        return c;
    };
    p1_ = caja("P1", principal::kP1, QStringLiteral("Acciones"), "Label4");
    p2_ = caja("P2", principal::kP2, QStringLiteral("Opciones de selección"), "Label2");
    p3_ = caja("P3", principal::kP3, QStringLiteral("Información de sesión"), "Label5");

    // Links: icon and text rows under each box's header, with lines between the groups of P1.
    const int paso = aPixeles(300, this);
    const int izquierda = aPixeles(180, this);
    const int lado = aPixeles(240, this); // the icons' 16 pixels at 96 dots per inch
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
        CuadroXP* c = sitio.box == 1 ? p1_ : p2_;
        int& fila = y[static_cast<std::size_t>(sitio.box)];
        if (sitio.indice == 3 || sitio.indice == 4) {
            raya(c, fila + aPixeles(45, this));
            fila += aPixeles(120, this);
        }
        const auto& datos = enlacesComando()[static_cast<std::size_t>(sitio.indice)];
        auto* icono = new QLabel(c);
        icono->setObjectName(QStringLiteral("Image1_%1").arg(sitio.indice));
        icono->setPixmap(arte::iconoEnlace(sitio.indice).pixmap(lado, lado));
        icono->setGeometry(izquierda, fila + (paso - lado) / 2, lado, lado);
        auto* enlace = new EnlaceComando(sitio.indice, q(datos.titulo), c);
        enlace->setObjectName(QStringLiteral("lbl_cmd_%1").arg(sitio.indice));
        enlace->setGeometry(izquierda + lado + 6, fila, c->width() - izquierda - lado - 10, paso);
        enlaces_->agregar(enlace);
        fila += paso;
    }

    // P3: the counters, and under them the progress of a run.
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

void FrmPrincipal::construirAreaTrabajo(QWidget* central) {
    const auto& c = pantalla_->contexto();
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

    tabMeses_ = new QTabBar;
    tabMeses_->setObjectName(QStringLiteral("TabMeses"));
    tabMeses_->setStyleSheet(QLatin1String(kEstiloPestanas));
    tabMeses_->setExpanding(false);
    tabMeses_->setDrawBase(false);
    tabMeses_->setUsesScrollButtons(true);
    for (const char* mes : kMeses) {
        tabMeses_->addTab(QLatin1String(mes));
    }
    marcoMeses_ = new MarcoPestanas(tabMeses_, false, central);
    marcoMeses_->setObjectName(QStringLiteral("marcoMeses"));

    tabAnos_ = new QTabBar;
    tabAnos_->setObjectName(QStringLiteral("TabAnos"));
    tabAnos_->setShape(QTabBar::RoundedSouth);
    tabAnos_->setStyleSheet(QLatin1String(kEstiloPestanas));
    tabAnos_->setExpanding(false);
    tabAnos_->setDrawBase(false);
    for (const auto& anio : c.anios) {
        tabAnos_->addTab(QString::fromStdString(anio));
    }
    marcoAnos_ = new MarcoPestanas(tabAnos_, true, central);
    marcoAnos_->setObjectName(QStringLiteral("marcoAnos"));
    tabAnos_->setCurrentIndex(0);
    tabMeses_->setCurrentIndex(std::clamp(c.mesActual, 1, 12) - 1);

    lv_ = new VistaDocumentos(central);
    lv_->setObjectName(QStringLiteral("Lv"));
    modelo_ = new ModeloDocumentos(pantalla_->lista(), this);
    lv_->setModel(modelo_);
    lv_->setColumnHidden(5, true);
    lv_->setIconSize(QSize(aPixeles(240, this), aPixeles(240, this)));

    txtBusqueda_ = new QLineEdit(central);
    txtBusqueda_->setObjectName(QStringLiteral("txtBusqueda"));
    txtBusqueda_->setPlaceholderText(QStringLiteral("Buscar en la lista…"));
    txtBusqueda_->setClearButtonEnabled(true);

    marco_.gradiente = {principal::kIzquierdaPestanas, 810, 0, 360};
    marco_.combo = {0, 840, 2400, 300};
    marco_.tabMeses = {principal::kIzquierdaPestanas, principal::kArribaPestanas, 0, 0};
    marco_.tabAnos = {principal::kIzquierdaPestanas, 0, 0, 900};
    marco_.lista = principal::kLista;
    marco_.busqueda = {principal::kLista.x, 0, 0, 315};
    for (std::size_t i = 0; i < marco_.columnas.size(); ++i) {
        marco_.columnas[i] = principal::kAnchosColumnas[i];
    }
    marcoMeses_->lower();
    marcoAnos_->lower();
}

void FrmPrincipal::construirMenu() {
    mnuCabeza_ = new QMenu(QStringLiteral("Menu"), this);
    mnuCabeza_->setObjectName(QStringLiteral("MnuCabeza"));
    for (const auto& entrada : menuContextual()) {
        QAction* accion = entrada.accion == Accion::Separador
                              ? mnuCabeza_->addSeparator()
                              : mnuCabeza_->addAction(q(entrada.titulo));
        accion->setObjectName(q(entrada.nombre));
        if (entrada.accion != Accion::Separador) {
            const Accion a = entrada.accion;
            connect(accion, &QAction::triggered, this, [this, a] { ejecutar(a); });
            accionesMenu_.emplace_back(accion, a);
        }
    }
    if (pantalla_->contexto().modo == Modo::Nomina) {
        anadirMenuSinContrasena(*this);
    }
}

void FrmPrincipal::conectar() {
    connect(p1_, &CuadroXP::Resize, this, [this] { apilarDesde(p1_); });
    connect(p2_, &CuadroXP::Resize, this, [this] { apilarDesde(p2_); });
    connect(enlaces_, &GrupoEnlaces::pulsado, this, &FrmPrincipal::ejecutarEnlace);

    connect(combo1_, &QComboBox::activated, this, [this](int i) {
        PunteroOcupado ocupado;
        pantalla_->elegirTipo(combo1_->itemText(i).toStdString());
        mostrarRecarga();
    });
    connect(tabMeses_, &QTabBar::currentChanged, this, &FrmPrincipal::elegirMes);
    connect(tabMeses_, &QTabBar::tabBarClicked, this, [this](int i) {
        if (i == tabMeses_->currentIndex()) {
            elegirMes(i); // a click on the tab already shown starts it afresh too
        }
    });
    connect(tabAnos_, &QTabBar::currentChanged, this, &FrmPrincipal::elegirAnio);
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
        pantalla_->cambiarBusqueda(texto.toStdString());
        mostrarRecarga();
    });

    connect(lv_->header(), &QHeaderView::sectionClicked, this, [this](int columna) {
        pantalla_->clicEnCabecera(columna);
        mostrarRecarga(false);
    });
    connect(lv_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& actual) {
                pantalla_->lista().seleccionar(
                    actual.isValid()
                        ? std::optional<std::size_t>(static_cast<std::size_t>(actual.row()))
                        : std::nullopt);
            });
    connect(lv_, &VistaDocumentos::clicIzquierdo, this, [this] {
        pantalla_->clicEnLista();
        mostrarEtiquetas();
    });
    connect(lv_, &VistaDocumentos::tecla, this, [this] {
        pantalla_->teclaEnLista();
        mostrarEtiquetas();
    });
    connect(lv_, &VistaDocumentos::dobleClic, this, [this] { ejecutar(Accion::Ver); });
    connect(lv_, &VistaDocumentos::clicDerecho, this,
            [this](const QPoint& donde) { mnuCabeza_->popup(donde); });
}

void FrmPrincipal::elegirMes(int indice) {
    if (cargando_ || indice < 0) {
        return;
    }
    PunteroOcupado ocupado;
    pantalla_->elegirMes(indice + 1);
    mostrarRecarga();
}

void FrmPrincipal::elegirAnio(int indice) {
    if (cargando_ || indice < 0) {
        return;
    }
    PunteroOcupado ocupado;
    pantalla_->elegirAnio(indice);
    mostrarRecarga();
}

void FrmPrincipal::ejecutarEnlace(int indice) {
    for (const auto& enlace : enlacesComando()) {
        if (enlace.indice == indice) {
            ejecutar(enlace.accion);
            return;
        }
    }
}

void FrmPrincipal::ejecutar(Accion accion) {
    if (trabajando() && !permitidaDuranteUnTrabajo(accion)) {
        return;
    }
    if (accion == Accion::Eliminar) {
        eliminarEnSegundoPlano();
        return;
    }
    const Efecto efecto = pantalla_->ejecutar(accion);
    switch (efecto) {
    case Efecto::Ninguno:
        break;
    case Efecto::FilasCambiadas:
        modelo_->filasCambiadas();
        mostrarEtiquetas();
        break;
    case Efecto::ListaRecargada:
        mostrarRecarga();
        break;
    case Efecto::Enviar:
        emit enviarSolicitado();
        break;
    case Efecto::ConfigurarMensaje:
        emit configurarMensajeSolicitado();
        break;
    case Efecto::MensajesMasivos:
        emit mensajesMasivosSolicitado();
        break;
    case Efecto::ConfigurarServidor:
        emit configurarServidorSolicitado();
        break;
    case Efecto::Historial:
        emit historialSolicitado();
        break;
    case Efecto::Salir:
        close();
        break;
    }
}

void FrmPrincipal::recargarLista() {
    if (enOtroHilo([this] { recargarLista(); })) {
        return;
    }
    PunteroOcupado ocupado;
    pantalla_->ActualizarLista();
    mostrarRecarga();
}

void FrmPrincipal::mostrarFilasCambiadas() {
    if (enOtroHilo([this] { mostrarFilasCambiadas(); })) {
        return;
    }
    modelo_->filasCambiadas();
    mostrarEtiquetas();
}

void FrmPrincipal::mostrarFilaCambiada(int fila) {
    if (enOtroHilo([this, fila] { mostrarFilaCambiada(fila); })) {
        return;
    }
    modelo_->filaCambiada(fila);
}

void FrmPrincipal::eliminarEnSegundoPlano() {
    if (borrado_.joinable()) {
        return; // one deletion at a time
    }
    setCursor(Qt::BusyCursor);
    borrado_ = std::thread([this, filas = pantalla_->lista()] {
        const bool recargar = EliminarDocumentos(filas, dialogos_);
        QMetaObject::invokeMethod(
            this, [this, recargar] { borradoTerminado(recargar); }, Qt::QueuedConnection);
    });
    actualizarComandos();
}

void FrmPrincipal::borradoTerminado(bool recargar) {
    borrado_.join();
    actualizarComandos();
    unsetCursor();
    if (cerrarTrasBorrado_) {
        close();
        return;
    }
    if (recargar) {
        pantalla_->ActualizarLista();
        mostrarRecarga();
    }
}

// A deletion may still ask or report something through the window's boxes: the window waits for
// it to end, then closes.
void FrmPrincipal::closeEvent(QCloseEvent* event) {
    if (borrado_.joinable()) {
        cerrarTrasBorrado_ = true;
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void FrmPrincipal::envioEnCurso(bool enCurso) {
    envioEnCurso_ = enCurso;
    actualizarComandos();
}

void FrmPrincipal::actualizarComandos() {
    const bool libre = !trabajando();
    for (auto* enlace : enlaces_->enlaces()) {
        const Accion accion = enlacesComando()[static_cast<std::size_t>(enlace->indice())].accion;
        enlace->setEnabled(libre || permitidaDuranteUnTrabajo(accion));
    }
    for (const auto& [accion, cual] : accionesMenu_) {
        accion->setEnabled(libre || permitidaDuranteUnTrabajo(cual));
    }
}

bool FrmPrincipal::enOtroHilo(const std::function<void()>& accion) {
    if (QThread::currentThread() == thread()) {
        return false;
    }
    // A run on a worker thread reports here; the widgets are only touched on their own thread.
    QMetaObject::invokeMethod(this, accion, Qt::QueuedConnection);
    return true;
}

void FrmPrincipal::mostrarEtiquetas() {
    const auto& e = pantalla_->etiquetas();
    lblDetalle_->setText(QString::fromStdString(e.detalle));
    lblDetalle_->adjustSize();
    lblCuenta_->setText(QString::fromStdString(e.cuenta));
    lblFacSel_->setText(QString::fromStdString(e.seleccionados));
}

void FrmPrincipal::mostrarRecarga(bool enfocarBusqueda) {
    const auto actual = pantalla_->lista().actual();
    modelo_->recargar();
    if (actual) {
        lv_->setCurrentIndex(modelo_->index(static_cast<int>(*actual), 0));
    }
    mostrarOrden();
    mostrarEtiquetas();
    // A search text that the core emptied (a new period) shows empty.
    const QString busqueda = QString::fromStdString(pantalla_->seleccion().busqueda);
    if (txtBusqueda_->text() != busqueda) {
        const QSignalBlocker bloqueo(txtBusqueda_);
        txtBusqueda_->setText(busqueda);
    }
    if (enfocarBusqueda && isVisible()) {
        txtBusqueda_->setFocus();
    }
}

void FrmPrincipal::mostrarOrden() {
    QHeaderView* cabecera = lv_->header();
    const int columna = pantalla_->cabeceraOrdenada();
    cabecera->setSortIndicatorShown(columna >= 0);
    if (columna >= 0) {
        cabecera->setSortIndicator(columna, pantalla_->lista().descendente() ? Qt::DescendingOrder
                                                                             : Qt::AscendingOrder);
    }
}

void FrmPrincipal::apilarDesde(const CuadroXP* cuadro) {
    const auto abajoDe = [this](const CuadroXP* c) {
        return aPixeles(arribaDebajoDe({0, aTwips(c->y(), this), 0, aTwips(c->height(), this)}),
                        this);
    };
    if (cuadro == p1_) {
        p2_->move(p2_->x(), abajoDe(p1_));
    }
    p3_->move(p3_->x(), abajoDe(p2_));
}

void FrmPrincipal::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    disponer();
}

void FrmPrincipal::disponer() {
    const QSize minimo = tamanoMinimo();
    if (width() < minimo.width() || height() < minimo.height()) {
        resize(std::max(width(), minimo.width()), std::max(height(), minimo.height()));
        return; // the resize lays the window out again at the new size
    }
    const int arribaBarra = height() - statusBar1_->height();
    picCabeza_->setGeometry(0, 0, width(), aPixeles(principal::kAltoCabeza, this));
    picMenu_->setGeometry(0, picCabeza_->height(), aPixeles(principal::kAnchoMenu, this),
                          arribaBarra - picCabeza_->height());

    marco_.ventana = {aTwips(width(), this), aTwips(height(), this)};
    marco_.anchoCabeza = aTwips(picCabeza_->width(), this);
    marco_.arribaBarraEstado = aTwips(arribaBarra, this);
    disponerPrincipal(marco_);

    logo_->setGeometry(aPixeles(marco_.logo, this));
    linea_->setGeometry(aPixeles(marco_.linea, this));
    gradiente_->setGeometry(aPixeles(marco_.gradiente, this));
    lblDetalle_->move(aPixeles(120, this), (gradiente_->height() - lblDetalle_->height()) / 2);
    QRect combo = aPixeles(marco_.combo, this);
    combo.moveTop(gradiente_->y() + (gradiente_->height() - combo.height()) / 2);
    combo1_->setGeometry(combo.adjusted(-2, 0, -2, 0));
    marcoMeses_->setGeometry(aPixeles(marco_.tabMeses, this));
    marcoAnos_->setGeometry(aPixeles(marco_.tabAnos, this));
    lv_->setGeometry(aPixeles(marco_.lista, this));
    txtBusqueda_->setGeometry(aPixeles(marco_.busqueda, this));
    for (int i = 0; i < 5; ++i) {
        lv_->setColumnWidth(i, aPixeles(marco_.columnas[static_cast<std::size_t>(i)], this));
    }
}

bool FrmPrincipal::eventFilter(QObject* objeto, QEvent* evento) {
    // The window sees every key before its controls do; Esc asks the run under way to stop.
    if (evento->type() == QEvent::KeyPress && objeto->isWidgetType() &&
        static_cast<QWidget*>(objeto)->window() == this &&
        static_cast<QKeyEvent*>(evento)->key() == Qt::Key_Escape) {
        pantalla_->cancelacion().pedir();
    }
    return QMainWindow::eventFilter(objeto, evento);
}

std::unique_ptr<FrmPrincipal> abrirPrincipal(const CarpetaPrograma& carpeta, Dialogos& dialogos,
                                             Shell& shell, const Reloj& reloj) {
    auto contexto = iniciarContexto(carpeta, dialogos, reloj);
    if (!contexto) {
        return nullptr;
    }
    return std::make_unique<FrmPrincipal>(std::move(*contexto), dialogos, shell);
}

} // namespace envio::gui
