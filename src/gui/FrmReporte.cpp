#include "gui/FrmReporte.h"

#include "gui/DibujarInforme.h"
#include "report/FormulaInforme.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace envio::gui {
namespace {

constexpr int kBorde = 16; // desk around the page, in pixels
constexpr double kAjustarAncho = 0;
constexpr double kPaginaCompleta = -1;

// The hourglass for as long as a long step runs, restored however the step ends.
class CursorOcupado {
public:
    CursorOcupado() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CursorOcupado() { QApplication::restoreOverrideCursor(); }
    CursorOcupado(const CursorOcupado&) = delete;
    CursorOcupado& operator=(const CursorOcupado&) = delete;
};

QString qtexto(const std::string& texto) {
    return QString::fromUtf8(texto.data(), qsizetype(texto.size()));
}

QPageLayout disposicion(const InformePaginado& informe) {
    return QPageLayout(QPageSize(QPageSize::A4),
                       informe.apaisado ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0));
}

} // namespace

HojaInforme::HojaInforme(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void HojaInforme::mostrar(const InformePaginado* informe, int pagina, double zoom) {
    informe_ = informe;
    pagina_ = pagina;
    zoom_ = zoom;
    resize(sizeHint());
    update();
}

double HojaInforme::pixelesPorMm() const {
    return logicalDpiX() / 25.4 * zoom_;
}

QSize HojaInforme::sizeHint() const {
    if (!informe_) {
        return {2 * kBorde, 2 * kBorde};
    }
    return {int(informe_->anchoPapel * pixelesPorMm()) + 2 * kBorde,
            int(informe_->altoPapel * pixelesPorMm()) + 2 * kBorde};
}

void HojaInforme::paintEvent(QPaintEvent*) {
    QPainter pintor(this);
    pintor.fillRect(rect(), palette().color(QPalette::Dark));
    if (!informe_ || pagina_ < 0 || pagina_ >= int(informe_->paginas.size())) {
        return;
    }
    const double s = pixelesPorMm();
    const QRectF papel(kBorde, kBorde, informe_->anchoPapel * s, informe_->altoPapel * s);
    pintor.fillRect(papel.translated(3, 3), QColor(0, 0, 0, 70));
    pintor.fillRect(papel, Qt::white);
    pintor.translate(papel.topLeft());
    dibujarPagina(pintor, *informe_, informe_->paginas[std::size_t(pagina_)], s);
}

VisorPaginas::VisorPaginas(QWidget* parent)
    : QWidget(parent), barra_(new QToolBar(this)), area_(new QScrollArea(this)),
      hoja_(new HojaInforme), numero_(new QSpinBox), total_(new QLabel), zooms_(new QComboBox) {
    setObjectName(QStringLiteral("crViewer"));
    auto* estilo = style();
    primera_ = barra_->addAction(estilo->standardIcon(QStyle::SP_MediaSkipBackward),
                                 QStringLiteral("Primera página"), [this] { irAPagina(0); });
    anterior_ =
        barra_->addAction(estilo->standardIcon(QStyle::SP_MediaSeekBackward),
                          QStringLiteral("Página anterior"), [this] { irAPagina(pagina_ - 1); });
    anterior_->setShortcut(QKeySequence::MoveToPreviousPage);
    numero_->setAccessibleName(QStringLiteral("Página"));
    numero_->setKeyboardTracking(false);
    barra_->addWidget(numero_);
    barra_->addWidget(total_);
    siguiente_ =
        barra_->addAction(estilo->standardIcon(QStyle::SP_MediaSeekForward),
                          QStringLiteral("Página siguiente"), [this] { irAPagina(pagina_ + 1); });
    siguiente_->setShortcut(QKeySequence::MoveToNextPage);
    ultima_ = barra_->addAction(
        estilo->standardIcon(QStyle::SP_MediaSkipForward), QStringLiteral("Última página"),
        [this] { irAPagina(informe_ ? int(informe_->paginas.size()) - 1 : 0); });
    barra_->addSeparator();
    zooms_->addItem(QStringLiteral("Ancho de página"), kAjustarAncho);
    zooms_->addItem(QStringLiteral("Página completa"), kPaginaCompleta);
    for (const int porcentaje : {50, 75, 100, 125, 150, 200, 300}) {
        zooms_->addItem(QStringLiteral("%1 %").arg(porcentaje), porcentaje / 100.0);
    }
    zooms_->setToolTip(QStringLiteral("Zoom"));
    barra_->addWidget(zooms_);
    barra_->addSeparator();
    imprimir_ = barra_->addAction(QIcon::fromTheme(QStringLiteral("document-print")),
                                  QStringLiteral("Imprimir…"));
    imprimir_->setShortcut(QKeySequence::Print);
    exportar_ =
        barra_->addAction(QIcon::fromTheme(QStringLiteral("document-save-as"),
                                           estilo->standardIcon(QStyle::SP_DialogSaveButton)),
                          QStringLiteral("Exportar a PDF…"));
    // Arrows speak for themselves; printing and exporting are named, they are what people seek.
    barra_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (auto* a : {imprimir_, exportar_}) {
        if (auto* boton = qobject_cast<QToolButton*>(barra_->widgetForAction(a))) {
            boton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        }
    }

    area_->setWidget(hoja_);
    area_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    area_->setBackgroundRole(QPalette::Dark);
    area_->viewport()->installEventFilter(this);

    auto* capas = new QVBoxLayout(this);
    capas->setContentsMargins(0, 0, 0, 0);
    capas->setSpacing(0);
    capas->addWidget(barra_);
    capas->addWidget(area_, 1);

    connect(numero_, &QSpinBox::valueChanged, this, [this](int n) { irAPagina(n - 1); });
    connect(zooms_, &QComboBox::currentIndexChanged, this,
            [this](int i) { fijarZoom(zooms_->itemData(i).toDouble()); });
    actualizar();
}

void VisorPaginas::mostrarInforme(const InformePaginado* informe) {
    informe_ = informe;
    pagina_ = 0;
    actualizar();
}

void VisorPaginas::irAPagina(int pagina) {
    const int total = informe_ ? int(informe_->paginas.size()) : 0;
    const int nueva = std::clamp(pagina, 0, std::max(0, total - 1));
    if (nueva != pagina_) {
        pagina_ = nueva;
        area_->verticalScrollBar()->setValue(0);
    }
    actualizar();
}

void VisorPaginas::fijarZoom(double zoom) {
    zoomPedido_ = zoom;
    const int indice = zooms_->findData(zoom);
    if (indice >= 0 && indice != zooms_->currentIndex()) {
        const QSignalBlocker bloqueo(zooms_);
        zooms_->setCurrentIndex(indice);
    }
    actualizar();
}

bool VisorPaginas::eventFilter(QObject* objeto, QEvent* evento) {
    // The fitted zooms follow the window: maximised, restored or dragged to another size.
    if (objeto == area_->viewport() && evento->type() == QEvent::Resize && zoomPedido_ <= 0) {
        actualizar();
    }
    return QWidget::eventFilter(objeto, evento);
}

void VisorPaginas::actualizar() {
    const int total = informe_ ? int(informe_->paginas.size()) : 0;
    // With a fitted zoom the scroll bars must not come and go with the page's size: each change
    // would resize the viewport, refit the page and bring them back, without end.
    const bool ajustado = zoomPedido_ <= 0;
    area_->setHorizontalScrollBarPolicy(ajustado ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    area_->setVerticalScrollBarPolicy(zoomPedido_ == kAjustarAncho ? Qt::ScrollBarAlwaysOn
                                      : ajustado                   ? Qt::ScrollBarAlwaysOff
                                                                   : Qt::ScrollBarAsNeeded);
    if (informe_) {
        const double mm = logicalDpiX() / 25.4;
        const QSize libre = area_->viewport()->size() - QSize(2 * kBorde, 2 * kBorde);
        const double ancho = std::max(1, libre.width()) / (informe_->anchoPapel * mm);
        const double alto = std::max(1, libre.height()) / (informe_->altoPapel * mm);
        zoom_ = zoomPedido_ == kAjustarAncho     ? ancho
                : zoomPedido_ == kPaginaCompleta ? std::min(ancho, alto)
                                                 : zoomPedido_;
        zoom_ = std::clamp(zoom_, 0.1, 5.0);
    }
    hoja_->mostrar(informe_, pagina_, zoom_);
    {
        const QSignalBlocker bloqueo(numero_);
        numero_->setRange(total > 0 ? 1 : 0, total);
        numero_->setValue(pagina_ + 1);
    }
    total_->setText(QStringLiteral(" de %1 ").arg(total));
    primera_->setEnabled(pagina_ > 0);
    anterior_->setEnabled(pagina_ > 0);
    siguiente_->setEnabled(pagina_ + 1 < total);
    ultima_->setEnabled(pagina_ + 1 < total);
    imprimir_->setEnabled(total > 0);
    exportar_->setEnabled(total > 0);
}

FrmReporte::FrmReporte(InformePaginado informe, QWidget* parent)
    : QDialog(parent), informe_(std::move(informe)), visor_(new VisorPaginas(this)) {
    setObjectName(QStringLiteral("frmReporte"));
    setWindowTitle(QStringLiteral("Impresión de informes"));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setSizeGripEnabled(true);
    auto* capas = new QVBoxLayout(this);
    capas->setContentsMargins(0, 0, 0, 0);
    capas->addWidget(visor_);
    visor_->mostrarInforme(&informe_);
    connect(visor_->accionImprimir(), &QAction::triggered, this, &FrmReporte::imprimir);
    connect(visor_->accionExportar(), &QAction::triggered, this, &FrmReporte::exportarPdf);
    resize(900, 720);
}

void FrmReporte::imprimir() {
    QPrinter impresora(QPrinter::HighResolution);
    impresora.setPageLayout(disposicion(informe_));
    impresora.setFullPage(true);
    impresora.setDocName(qtexto(informe_.titulo));
    const int total = int(informe_.paginas.size());
    QPrintDialog dialogo(&impresora, this);
    dialogo.setWindowTitle(QStringLiteral("Imprimir informe"));
    dialogo.setMinMax(1, total);
    dialogo.setOptions(QAbstractPrintDialog::PrintPageRange |
                       QAbstractPrintDialog::PrintCurrentPage | QAbstractPrintDialog::PrintToFile |
                       QAbstractPrintDialog::PrintShowPageSize);
    if (dialogo.exec() != QDialog::Accepted) {
        return;
    }
    int desde = 0;
    int hasta = total - 1;
    if (impresora.printRange() == QPrinter::PageRange) {
        desde = impresora.fromPage() - 1;
        hasta = impresora.toPage() - 1;
    } else if (impresora.printRange() == QPrinter::CurrentPage) {
        desde = hasta = visor_->pagina();
    }
    try {
        const CursorOcupado ocupado;
        dibujarPaginas(informe_, impresora, desde, hasta);
    } catch (const ErrorInforme& e) {
        QMessageBox::warning(this, QStringLiteral("Aviso"), QString::fromUtf8(e.what()));
    }
}

void FrmReporte::exportarPdf() {
    QString nombre = qtexto(informe_.titulo).simplified();
    nombre.replace(QRegularExpression(QStringLiteral(R"([\\/:*?"<>|])")), QStringLiteral("_"));
    const QString carpeta = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QString ruta = QFileDialog::getSaveFileName(
        this, QStringLiteral("Exportar a PDF"),
        QDir(carpeta).filePath((nombre.isEmpty() ? QStringLiteral("Informe") : nombre) +
                               QStringLiteral(".pdf")),
        QStringLiteral("Documentos PDF (*.pdf)"));
    if (ruta.isEmpty()) {
        return;
    }
    if (!ruta.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
        ruta += QStringLiteral(".pdf");
    }
    try {
        const CursorOcupado ocupado;
        escribirPdf(informe_, ruta);
    } catch (const ErrorInforme& e) {
        QMessageBox::warning(this, QStringLiteral("Aviso"), QString::fromUtf8(e.what()));
    }
}

VisorInformeVentana::VisorInformeVentana(CarpetaPrograma carpeta, QWidget* propietario,
                                         std::vector<std::filesystem::path> otrasCarpetas)
    : carpeta_(std::move(carpeta)), propietario_(propietario),
      otrasCarpetas_(std::move(otrasCarpetas)) {}

void VisorInformeVentana::mostrar(const SolicitudInforme& solicitud) {
    InformePaginado informe;
    try {
        const CursorOcupado ocupado;
        informe = prepararInformeQt(solicitud, carpeta_, otrasCarpetas_);
    } catch (const ErrorInforme& e) {
        QMessageBox::warning(propietario_, QStringLiteral("Aviso"), QString::fromUtf8(e.what()));
        return;
    }
    FrmReporte ventana(std::move(informe), propietario_);
    ventana.exec();
}

} // namespace envio::gui
