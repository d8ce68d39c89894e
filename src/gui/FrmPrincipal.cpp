#include "gui/FrmPrincipal.h"

#include "gui/AreaListado.h"
#include "gui/Arte.h"
#include "gui/DespachoComandos.h"
#include "gui/MenuSinContrasena.h"
#include "gui/PanelPrincipal.h"
#include "gui/Twips.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QThread>
#include <cmath>

namespace envio::gui {

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

    construirBarraEstado();
    construirCabecera(central);
    panel_ = new PanelPrincipal(central);
    area_ = std::make_unique<AreaListado>(*pantalla_, central);
    area_->medidas(marco_);
    despacho_ = std::make_unique<DespachoComandos>(*pantalla_, dialogos_, panel_->enlaces(), this);
    if (pantalla_->contexto().modo == Modo::Nomina) {
        anadirMenuSinContrasena(despacho_->menu(), *this);
    }
    conectar();

    setMinimumSize(tamanoMinimo());
    resize(std::max(aPixeles(13800, this), tamanoMinimo().width()),
           std::max(aPixeles(9600, this), tamanoMinimo().height()));
    area_->iniciar();
    qApp->installEventFilter(this);
}

FrmPrincipal::~FrmPrincipal() {
    despacho_.reset(); // waits for a deletion under way
    if (qApp != nullptr) {
        qApp->removeEventFilter(this);
    }
    // The list view and its model read the core's list, which goes with pantalla_ before the
    // base class would delete them.
    delete centralWidget();
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

// The documents' folder, the drives the Windows paths of KRN.INI led to, and the suite's mode.
void FrmPrincipal::construirBarraEstado() {
    statusBar1_ = new QStatusBar(this);
    statusBar1_->setObjectName(QStringLiteral("StatusBar1"));
    statusBar1_->setFixedHeight(std::max(aPixeles(principal::kAltoBarraEstado, this),
                                         statusBar1_->fontMetrics().height() + 6));
    setStatusBar(statusBar1_);

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
}

void FrmPrincipal::conectar() {
    connect(area_.get(), &AreaListado::etiquetasCambiadas, this,
            [this] { panel_->mostrarContadores(pantalla_->etiquetas()); });
    connect(area_.get(), &AreaListado::accionPedida, this, &FrmPrincipal::ejecutar);
    connect(area_.get(), &AreaListado::menuPedido, this,
            [this](const QPoint& donde) { despacho_->menu().popup(donde); });
    connect(despacho_.get(), &DespachoComandos::efecto, this, &FrmPrincipal::mostrarEfecto);
}

void FrmPrincipal::ejecutarEnlace(int indice) {
    despacho_->ejecutarEnlace(indice);
}

void FrmPrincipal::ejecutar(Accion accion) {
    despacho_->ejecutar(accion);
}

bool FrmPrincipal::borrando() const {
    return despacho_->borrando();
}

bool FrmPrincipal::trabajando() const {
    return despacho_->trabajando();
}

void FrmPrincipal::envioEnCurso(bool enCurso) {
    despacho_->envioEnCurso(enCurso);
}

void FrmPrincipal::mostrarEfecto(Efecto efecto) {
    switch (efecto) {
    case Efecto::Ninguno:
        break;
    case Efecto::FilasCambiadas:
        area_->mostrarFilasCambiadas();
        break;
    case Efecto::ListaRecargada:
        area_->mostrarRecarga();
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
    area_->recargar();
}

void FrmPrincipal::mostrarFilasCambiadas() {
    if (enOtroHilo([this] { mostrarFilasCambiadas(); })) {
        return;
    }
    area_->mostrarFilasCambiadas();
}

void FrmPrincipal::mostrarFilaCambiada(int fila) {
    if (enOtroHilo([this, fila] { mostrarFilaCambiada(fila); })) {
        return;
    }
    area_->mostrarFilaCambiada(fila);
}

bool FrmPrincipal::enOtroHilo(const std::function<void()>& accion) {
    if (QThread::currentThread() == thread()) {
        return false;
    }
    // A run on a worker thread reports here; the widgets are only touched on their own thread.
    QMetaObject::invokeMethod(this, accion, Qt::QueuedConnection);
    return true;
}

// A deletion may still ask or report something through the window's boxes: the window waits for
// it to end, then closes.
void FrmPrincipal::closeEvent(QCloseEvent* event) {
    if (despacho_->aplazarCierre()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
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
    panel_->setGeometry(0, picCabeza_->height(), aPixeles(principal::kAnchoMenu, this),
                        arribaBarra - picCabeza_->height());

    marco_.ventana = {aTwips(width(), this), aTwips(height(), this)};
    marco_.anchoCabeza = aTwips(picCabeza_->width(), this);
    marco_.arribaBarraEstado = aTwips(arribaBarra, this);
    disponerPrincipal(marco_);

    logo_->setGeometry(aPixeles(marco_.logo, this));
    linea_->setGeometry(aPixeles(marco_.linea, this));
    area_->disponer(marco_);
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
