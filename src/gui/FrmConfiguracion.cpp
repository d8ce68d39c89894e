#include "gui/FrmConfiguracion.h"

#include "database/ErrorBaseDatos.h"
#include "gui/Arte.h"
#include "gui/FrmReporte.h"
#include "gui/PaginaDestinatarios.h"
#include "gui/PaginaMensajeAviso.h"
#include "gui/PanelAvisos.h"
#include "gui/Twips.h"
#include "mail/ErroresEjecucion.h"
#include "mail/PuestoEnvio.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QTabWidget>
#include <QThread>

namespace envio::gui {
namespace {

// The window as designed, in twips.
constexpr int kAltoCabecera = 735;
constexpr int kAnchoPanel = 3255;
constexpr int kMargen = 120;
constexpr TamanoTwips kVentana{10800, 7200};

} // namespace

// The run's pointer requests, carried to the window's thread.
class FrmConfiguracion::Observador : public ObservadorEnvio {
public:
    explicit Observador(FrmConfiguracion& ventana) : ventana_(ventana) {}
    void punteroOcupado(bool ocupado) override {
        QMetaObject::invokeMethod(
            &ventana_, [this, ocupado] { ventana_.punteroOcupado(ocupado); }, Qt::QueuedConnection);
    }

private:
    FrmConfiguracion& ventana_;
};

// The report is a window: it opens on the window's thread while the run waits for it to close.
class FrmConfiguracion::VisorEnVentana : public VisorInforme {
public:
    VisorEnVentana(FrmConfiguracion& ventana, VisorInforme& visor)
        : ventana_(ventana), visor_(visor) {}
    void mostrar(const SolicitudInforme& solicitud) override {
        if (QThread::currentThread() == ventana_.thread()) {
            visor_.mostrar(solicitud);
            return;
        }
        QMetaObject::invokeMethod(
            &ventana_, [&] { visor_.mostrar(solicitud); }, Qt::BlockingQueuedConnection);
    }

private:
    FrmConfiguracion& ventana_;
    VisorInforme& visor_;
};

FrmConfiguracion::FrmConfiguracion(ContextoAnfitrion& contexto, std::string tipoElegido,
                                   Dialogos& dialogos, VisorInforme* visor,
                                   ConnectivityProbe* sonda, QWidget* parent)
    : QDialog(parent), contexto_(contexto), tipo_(std::move(tipoElegido)), dialogos_(dialogos),
      visorExterno_(visor), sondaExterna_(sonda), origen_(contexto),
      fuente_(masivo::fuenteParaTipo(tipo_)) {
    setObjectName(QStringLiteral("frmConfiguracion"));
    setWindowTitle(QStringLiteral(" Comunicaciones masivas"));
    setModal(true);
    if (visorExterno_ == nullptr) {
        visorPropio_ = std::make_unique<VisorInformeVentana>(contexto_.carpeta, this);
        visorExterno_ = visorPropio_.get();
    }
    if (sondaExterna_ == nullptr) {
        sondaPropia_ = std::make_unique<LinuxConnectivityProbe>();
        sondaExterna_ = sondaPropia_.get();
    }
    observador_ = std::make_unique<Observador>(*this);
    visorEnVentana_ = std::make_unique<VisorEnVentana>(*this, *visorExterno_);
    construir();
    resize(aPixeles(kVentana.ancho, this), aPixeles(kVentana.alto, this));
    cargar();
}

FrmConfiguracion::~FrmConfiguracion() {
    cancelar_ = true;
    if (hilo_.joinable()) {
        hilo_.join();
    }
    punteroOcupado(false);
}

void FrmConfiguracion::construir() {
    cabecera_ = new arte::Lienzo(
        [](QPainter& p, const QRect& r) {
            arte::pintarFondoCabecera(p, r);
            arte::pintarLineaCabecera(p, QRect(0, r.height() - 2, r.width(), 2));
        },
        this);
    cabecera_->setObjectName(QStringLiteral("PicCabeza"));
    arte::titulosCabecera(cabecera_, QStringLiteral("Comunicaciones masivas"),
                          QStringLiteral("Envio masivo de comunicaciones a clientes"),
                          "lblSubtitulo");
    logo_ = new arte::Lienzo([](QPainter& p, const QRect& r) { arte::dibujarLogo(p, QRectF(r)); },
                             cabecera_);
    logo_->setObjectName(QStringLiteral("logo"));

    panel_ = new PanelAvisos(this);
    connect(panel_, &PanelAvisos::enlacePulsado, this, &FrmConfiguracion::ejecutarEnlace);
    connect(panel_, &PanelAvisos::filtroCambiado, this,
            [this](const QString& texto) { llenarClientes(texto.toStdString()); });

    ssTab1_ = new QTabWidget(this);
    ssTab1_->setObjectName(QStringLiteral("SSTab1"));
    mensaje_ = new PaginaMensajeAviso;
    ssTab1_->addTab(mensaje_, QStringLiteral("  Mensaje de aviso"));
    destinatarios_ = new PaginaDestinatarios;
    ssTab1_->addTab(destinatarios_, QStringLiteral("  Direcciones e-mail  "));
}

void FrmConfiguracion::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    disponer();
}

void FrmConfiguracion::disponer() {
    const int alto = aPixeles(kAltoCabecera, this);
    const int anchoPanel = aPixeles(kAnchoPanel, this);
    const int margen = aPixeles(kMargen, this);
    cabecera_->setGeometry(0, 0, width(), alto);
    // Where the other windows keep it: the logo's square at the header's right end.
    const int lado = aPixeles(645, this);
    logo_->setGeometry(width() - aPixeles(1200, this), aPixeles(45, this), lado, lado);
    panel_->setGeometry(0, alto, anchoPanel, height() - alto);
    ssTab1_->setGeometry(anchoPanel + margen, alto + margen, width() - anchoPanel - 2 * margen,
                         height() - alto - 2 * margen);
}

void FrmConfiguracion::cargar() {
    try {
        panel_->mostrarFiltro(fuente_ == masivo::Fuente::Clientes);
        if (fuente_ == masivo::Fuente::Clientes) {
            llenarClientes("");
        } else if (contexto_.dbAlternativa) {
            origen_.LlenarLvAlternativo(destinatarios_->lista());
            destinatarios_->mostrarLista();
        }
    } catch (const ErrorBaseDatos& e) {
        // The list stays empty; the run will say there is nobody to write to.
        dialogos_.mostrar({e.what(), "Aviso", Icono::Exclamacion, Botones::Aceptar});
    }
    mensaje_->mostrar(masivo::CargarPlantillaAviso(contexto_.carpeta.krnIni()));
}

void FrmConfiguracion::llenarClientes(const std::string& filtro) {
    if (fuente_ != masivo::Fuente::Clientes) {
        return;
    }
    try {
        origen_.LlenarLvClientes(destinatarios_->lista(), filtro);
    } catch (const ErrorBaseDatos& e) {
        destinatarios_->lista().limpiar();
        dialogos_.mostrar({e.what(), "Aviso", Icono::Exclamacion, Botones::Aceptar});
    }
    destinatarios_->mostrarLista();
}

void FrmConfiguracion::guardar() {
    ConfiguracionCorreo correo = contexto_.correo();
    masivo::guardarPlantilla(contexto_.carpeta.krnIni(), mensaje_->plantilla(), correo, dialogos_);
    contexto_.usarCorreo(std::move(correo));
}

void FrmConfiguracion::ejecutarEnlace(int indice) {
    if (indice == 0) {
        enviar();
    } else if (indice == 1) {
        close();
    }
}

void FrmConfiguracion::enviar() {
    if (enviando_) {
        return;
    }
    guardar();
    enviando_ = true;
    ssTab1_->setEnabled(false);
    panel_->filtroActivo(false);
    hilo_ = std::thread([this, filas = destinatarios_->lista().filas(),
                         plantilla = mensaje_->plantilla(), correo = contexto_.correo()] {
        masivo::ResultadoAvisos r;
        try {
            PuestoEnvio puesto(contexto_.carpeta, sondaExterna_);
            EntornoEnvio e =
                puesto.entorno(correo, dialogos_, *observador_, *visorEnVentana_, cancelar_);
            r = masivo::MandarAvisos(filas, plantilla, e);
        } catch (const std::exception& error) {
            // The mail component or the ledger could not be set up: the run's own error exit.
            r.salidaPorError = true;
            mostrarInterrupcion(dialogos_, interrupcionDe(error));
        }
        QMetaObject::invokeMethod(
            this, [this, r] { terminarEnvio(r); }, Qt::QueuedConnection);
    });
}

void FrmConfiguracion::terminarEnvio(const masivo::ResultadoAvisos& resultado) {
    if (hilo_.joinable()) {
        hilo_.join();
    }
    enviando_ = false;
    ultimo_ = resultado;
    punteroOcupado(false);
    ssTab1_->setEnabled(true);
    panel_->filtroActivo(true);
    emit envioTerminado();
    if (cerrarAlTerminar_) {
        close();
    }
}

void FrmConfiguracion::punteroOcupado(bool ocupado) {
    if (ocupado && !punteroPuesto_) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        punteroPuesto_ = true;
    } else if (!ocupado && punteroPuesto_) {
        QApplication::restoreOverrideCursor();
        punteroPuesto_ = false;
    }
}

void FrmConfiguracion::keyPressEvent(QKeyEvent* event) {
    // Esc asks the run to stop before its next recipient; it never closes the window.
    if (event->key() == Qt::Key_Escape) {
        cancelar_ = true;
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void FrmConfiguracion::reject() {
    close();
}

void FrmConfiguracion::closeEvent(QCloseEvent* event) {
    if (enviando_) {
        // The run holds this window's boxes and report; it ends at the next recipient and the
        // window closes then, with the template saved.
        cancelar_ = true;
        cerrarAlTerminar_ = true;
        event->ignore();
        return;
    }
    guardar();
    event->accept();
    done(QDialog::Accepted);
}

int abrirFrmConfiguracion(QWidget* parent, ContextoAnfitrion& contexto,
                          const std::string& tipoElegido, Dialogos& dialogos) {
    FrmConfiguracion ventana(contexto, tipoElegido, dialogos, nullptr, nullptr, parent);
    return ventana.exec();
}

} // namespace envio::gui
