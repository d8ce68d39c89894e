#include "gui/FrmConfiguracion.h"

#include "database/ErrorBaseDatos.h"
#include "gui/Arte.h"
#include "gui/CuadroXP.h"
#include "gui/EnlacesComando.h"
#include "gui/FrmReporte.h"
#include "gui/ModeloDestinatarios.h"
#include "gui/Twips.h"
#include "mail/ErroresEjecucion.h"
#include "mail/PuestoEnvio.h"
#include "mass/MenuLista.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QThread>
#include <QVBoxLayout>

namespace envio::gui {
namespace {

// The window as designed, in twips.
constexpr int kAltoCabecera = 735;
constexpr int kAnchoPanel = 3255;
constexpr RectTwips kP1{120, 120, 3015, 1215};
constexpr RectTwips kP2{120, 1435, 3015, 2655};
constexpr int kMargen = 120;
constexpr TamanoTwips kVentana{10800, 7200};

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

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

VistaDestinatarios::VistaDestinatarios(QWidget* parent) : QTreeView(parent) {
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setContextMenuPolicy(Qt::NoContextMenu);
}

void VistaDestinatarios::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::RightButton) {
        emit botonDerechoSoltado(viewport()->mapTo(this, event->position().toPoint()));
    }
}

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
    conectar();
    resize(aPixeles(kVentana.ancho, this), aPixeles(kVentana.alto, this));
    cargar();
}

FrmConfiguracion::~FrmConfiguracion() {
    cancelar_ = true;
    if (hilo_.joinable()) {
        hilo_.join();
    }
    punteroOcupado(false);
    // The view and its model read the list, which goes before the base class's children do.
    delete lv_;
    delete modelo_;
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

    panel_ = new arte::Lienzo(arte::pintarPanel, this);
    panel_->setObjectName(QStringLiteral("PicMenu"));
    enlaces_ = new GrupoEnlaces(this);
    const auto caja = [this](const char* nombre, const RectTwips& r, const QString& texto) {
        auto* c = new CuadroXP(panel_);
        c->setObjectName(QLatin1String(nombre));
        c->setGeometry(aPixeles(r, this));
        auto* t = new QLabel(texto, c);
        t->setFont(arte::fuente(8.25, true));
        arte::colorTexto(t, arte::kTituloCuadro);
        t->setGeometry(aPixeles(150, this), 0, c->width() - aPixeles(700, this), c->altoCabecera());
        return c;
    };
    p1_ = caja("P1", kP1, QStringLiteral("Acciones"));
    p2_ = caja("P2", kP2, QStringLiteral("Filtros de selección"));

    const int paso = aPixeles(300, this);
    const int izquierda = aPixeles(180, this);
    int fila = aPixeles(480, this);
    for (const auto& [indice, texto, icono] :
         {std::tuple{0, "Enviar", 0}, std::tuple{1, "Salir", 4}}) {
        auto* imagen = new QLabel(p1_);
        imagen->setObjectName(QStringLiteral("img_cmd_%1").arg(indice));
        imagen->setPixmap(arte::iconoEnlace(icono).pixmap(16, 16));
        imagen->setGeometry(izquierda, fila + (paso - 16) / 2, 16, 16);
        auto* enlace = new EnlaceComando(indice, QString::fromUtf8(texto), p1_);
        enlace->setObjectName(QStringLiteral("lbl_cmd_%1").arg(indice));
        enlace->setGeometry(izquierda + 22, fila, p1_->width() - izquierda - 26, paso);
        enlaces_->agregar(enlace);
        fila += paso;
    }

    const int ancho = p2_->width() - aPixeles(300, this);
    lbl_ = new QLabel(
        QStringLiteral("Puede seleccionar grupos de clientes en base a dígitos de control "
                       "incluidos en el campo controles de su ficha. Introduzca en el campo los "
                       "controles a seleccionar."),
        p2_);
    lbl_->setObjectName(QStringLiteral("lbl"));
    lbl_->setWordWrap(true);
    lbl_->setFont(arte::fuente(8.25));
    arte::colorTexto(lbl_, QColor(0x1C, 0x2E, 0x55));
    lbl_->setGeometry(aPixeles(150, this), aPixeles(480, this), ancho, aPixeles(1500, this));
    txtFiltro_ = new QLineEdit(p2_);
    txtFiltro_->setObjectName(QStringLiteral("txtFiltro"));
    txtFiltro_->setGeometry(aPixeles(150, this), aPixeles(2040, this), ancho, aPixeles(315, this));

    construirPestanas();
}

void FrmConfiguracion::construirPestanas() {
    ssTab1_ = new QTabWidget(this);
    ssTab1_->setObjectName(QStringLiteral("SSTab1"));

    auto* aviso = new QWidget;
    auto* rejilla = new QGridLayout(aviso);
    auto* encabezado = new QLabel(QStringLiteral("Aviso a clientes"));
    encabezado->setFont(arte::fuente(9, true));
    rejilla->addWidget(encabezado, 0, 0, 1, 2);
    rejilla->addWidget(new QLabel(QStringLiteral("Asunto")), 1, 0);
    txtAsuntoAviso_ = new QLineEdit;
    txtAsuntoAviso_->setObjectName(QStringLiteral("txtAsuntoAviso"));
    rejilla->addWidget(txtAsuntoAviso_, 1, 1);
    rejilla->addWidget(new QLabel(QStringLiteral("Mensaje de aviso")), 2, 0, Qt::AlignTop);
    txtMensajeAviso_ = new QPlainTextEdit;
    txtMensajeAviso_->setObjectName(QStringLiteral("txtMensajeAviso"));
    txtMensajeAviso_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtMensajeAviso_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    rejilla->addWidget(txtMensajeAviso_, 2, 1);
    auto* opciones = new QLabel(QStringLiteral("Opciones"));
    opciones->setFont(arte::fuente(9, true));
    rejilla->addWidget(opciones, 3, 0, 1, 2);
    check1_ = new QCheckBox(QStringLiteral("Confirmación de lectura"));
    check1_->setObjectName(QStringLiteral("Check1"));
    rejilla->addWidget(check1_, 4, 1);
    rejilla->setRowStretch(2, 1);
    ssTab1_->addTab(aviso, QStringLiteral("  Mensaje de aviso"));

    paginaLista_ = new QWidget;
    auto* columna = new QVBoxLayout(paginaLista_);
    label9_ = new QLabel(QStringLiteral("Clientes con e-mail"));
    label9_->setObjectName(QStringLiteral("Label9"));
    label9_->setFont(arte::fuente(9, true));
    columna->addWidget(label9_);
    lv_ = new VistaDestinatarios;
    lv_->setObjectName(QStringLiteral("Lv"));
    modelo_ = new ModeloDestinatarios(lista_, this);
    lv_->setModel(modelo_);
    lv_->header()->setSectionsClickable(true);
    lv_->header()->setSortIndicatorShown(false);
    lv_->setColumnWidth(0, aPixeles(3600, this));
    columna->addWidget(lv_);
    ssTab1_->addTab(paginaLista_, QStringLiteral("  Direcciones e-mail  "));

    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("Menu"));
    mnuTodos_ = menu_->addAction(QStringLiteral("Marcar todos"));
    mnuTodos_->setObjectName(QStringLiteral("MnuTodos"));
    mnuNinguno_ = menu_->addAction(QStringLiteral("Desmarcar todos"));
    mnuNinguno_->setObjectName(QStringLiteral("MnuNinguno"));
    mnuInvertir_ = menu_->addAction(QStringLiteral("Invertir selección"));
    mnuInvertir_->setObjectName(QStringLiteral("MnuInvertir"));
}

void FrmConfiguracion::conectar() {
    connect(enlaces_, &GrupoEnlaces::pulsado, this, &FrmConfiguracion::ejecutarEnlace);
    connect(p1_, &CuadroXP::Resize, this, &FrmConfiguracion::colocarP2);
    connect(txtFiltro_, &QLineEdit::textChanged, this,
            [this](const QString& texto) { llenarClientes(texto.toStdString()); });
    connect(lv_->header(), &QHeaderView::sectionClicked, this, &FrmConfiguracion::clicEnCabecera);
    connect(lv_, &VistaDestinatarios::botonDerechoSoltado, this,
            [this](const QPoint& enLista) { menu_->popup(mapToGlobal(puntoMenu(enLista))); });
    connect(mnuTodos_, &QAction::triggered, this, [this] { seleccion("TODO"); });
    connect(mnuNinguno_, &QAction::triggered, this, [this] { seleccion("NADA"); });
    connect(mnuInvertir_, &QAction::triggered, this, [this] { seleccion("INVERTIR"); });
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

void FrmConfiguracion::colocarP2() {
    const int arriba = aTwips(p1_->y(), this) + aTwips(p1_->height(), this) + 100;
    p2_->move(p2_->x(), aPixeles(arriba, this));
}

QPoint FrmConfiguracion::puntoMenu(const QPoint& enLista) const {
    // The page's real origin stands in for the designed one, so the menu opens at the pointer.
    const QPoint pagina = paginaLista_->mapTo(this, QPoint(0, 0));
    const masivo::PuntoTwips p =
        masivo::puntoMenuLista({aTwips(lv_->x(), this), aTwips(lv_->y(), this)},
                               {aTwips(enLista.x(), this), aTwips(enLista.y(), this)},
                               {aTwips(pagina.x(), this), aTwips(pagina.y(), this)});
    return {aPixeles(p.x, this), aPixeles(p.y, this)};
}

void FrmConfiguracion::cargar() {
    try {
        if (fuente_ == masivo::Fuente::Clientes) {
            p2_->show();
            llenarClientes("");
        } else {
            p2_->hide();
            if (contexto_.dbAlternativa) {
                origen_.LlenarLvAlternativo(lista_);
                modelo_->recargar();
            }
        }
    } catch (const ErrorBaseDatos& e) {
        // The list stays empty; the run will say there is nobody to write to.
        dialogos_.mostrar({e.what(), "Aviso", Icono::Exclamacion, Botones::Aceptar});
    }
    const masivo::PlantillaAviso p = masivo::CargarPlantillaAviso(contexto_.carpeta.krnIni());
    txtAsuntoAviso_->setText(q(p.asunto));
    txtMensajeAviso_->setPlainText(q(p.mensaje));
    check1_->setChecked(p.confirmacion);
}

void FrmConfiguracion::llenarClientes(const std::string& filtro) {
    if (fuente_ != masivo::Fuente::Clientes) {
        return;
    }
    try {
        origen_.LlenarLvClientes(lista_, filtro);
    } catch (const ErrorBaseDatos& e) {
        lista_.limpiar();
        dialogos_.mostrar({e.what(), "Aviso", Icono::Exclamacion, Botones::Aceptar});
    }
    modelo_->recargar();
}

void FrmConfiguracion::seleccion(const char* modo) {
    masivo::Seleccion(lista_, modo);
    modelo_->recargar();
}

void FrmConfiguracion::clicEnCabecera(int columna) {
    lista_.clicEnCabecera(columna);
    lv_->header()->setSortIndicatorShown(true);
    lv_->header()->setSortIndicator(columna, lista_.descendente() ? Qt::DescendingOrder
                                                                  : Qt::AscendingOrder);
    modelo_->recargar();
}

masivo::PlantillaAviso FrmConfiguracion::plantillaDeControles() const {
    // The editor gives paragraphs with line feeds; the settings file and the message keep the
    // suite's carriage return and line feed.
    std::string mensaje = txtMensajeAviso_->toPlainText().toStdString();
    std::string crlf;
    crlf.reserve(mensaje.size());
    for (char c : mensaje) {
        if (c == '\n') {
            crlf += "\r\n";
        } else if (c != '\r') {
            crlf += c;
        }
    }
    return {txtAsuntoAviso_->text().toStdString(), crlf, check1_->isChecked()};
}

void FrmConfiguracion::guardar() {
    ConfiguracionCorreo correo = contexto_.correo();
    masivo::guardarPlantilla(contexto_.carpeta.krnIni(), plantillaDeControles(), correo, dialogos_);
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
    contexto_.recargarCorreo();
    enviando_ = true;
    ssTab1_->setEnabled(false);
    p2_->setEnabled(false);
    hilo_ = std::thread([this, filas = lista_.filas(), plantilla = plantillaDeControles(),
                         correo = contexto_.correo()] {
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
    p2_->setEnabled(true);
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
    contexto_.recargarCorreo();
    event->accept();
    done(QDialog::Accepted);
}

int abrirFrmConfiguracion(QWidget* parent, ContextoAnfitrion& contexto,
                          const std::string& tipoElegido, Dialogos& dialogos) {
    FrmConfiguracion ventana(contexto, tipoElegido, dialogos, nullptr, nullptr, parent);
    return ventana.exec();
}

} // namespace envio::gui
