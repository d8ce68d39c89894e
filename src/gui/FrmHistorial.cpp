#include "gui/FrmHistorial.h"

#include "database/ErrorBaseDatos.h"
#include "gui/Arte.h"
#include "gui/EnlacesComando.h"
#include "gui/ModeloHistorial.h"
#include "gui/TextoQt.h"
#include "gui/Twips.h"
#include "host/AbrirDocumento.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QTableView>
#include <QTimer>
#include <array>

namespace envio::gui {

namespace {

constexpr int kAncho = 15600;
constexpr int kAlto = 9600;

enum Enlace { Abrir, Copiar, Reenviar, Csv, Pdf, Cerrar };

// A date box is taken when it is empty or holds a whole AAAA-MM-DD; anything else is left out
// and shown in red until it is right.
std::string fechaDe(QLineEdit* caja) {
    const std::string texto = caja->text().trimmed().toStdString();
    bool valida = true;
    try {
        if (!texto.empty()) {
            fechaValida(texto);
        }
    } catch (const std::invalid_argument&) {
        valida = false;
    }
    QPalette p = caja->palette();
    p.setColor(QPalette::Text, valida ? QColor(Qt::black) : QColor(0xC0, 0x00, 0x00));
    caja->setPalette(p);
    return valida ? texto : std::string();
}

} // namespace

FrmHistorial::FrmHistorial(const std::filesystem::path& carpetaPrograma, Shell& shell,
                           Dialogos& dialogos, ReenviarDocumento reenviar, QWidget* parent)
    : MarcoAjustes(QStringLiteral("Historial de envíos"), QStringLiteral("Historial de envíos"),
                   QStringLiteral("Cada intento de envío de todos los equipos: a quién, qué, "
                                  "cuándo y qué respondió el servidor de correo."),
                   kAncho, kAlto, parent),
      carpeta_(carpetaPrograma), shell_(shell), dialogos_(dialogos), reenviar_(std::move(reenviar)),
      historial_(std::make_unique<HistorialEnvios>(carpetaPrograma)) {
    construir();
    filtrar();
    avisarOmitidos();
}

// Said once, when the window opens: the list below lacks what these ledgers hold.
void FrmHistorial::avisarOmitidos() {
    if (historial_->omitidos().empty()) {
        return;
    }
    std::string texto;
    for (const auto& omitido : historial_->omitidos()) {
        texto += omitido + "\n";
    }
    dialogos_.mostrar({texto + "\nEl historial muestra los envíos de los demás registros.",
                       "Historial de envíos", Icono::Exclamacion, Botones::Aceptar});
}

FrmHistorial::~FrmHistorial() = default;

void FrmHistorial::construir() {
    agregarEnlace(Abrir, QStringLiteral("Abrir documento"), arte::iconoEnlace(2));
    agregarEnlace(Copiar, QStringLiteral("Copiar constancia"), arte::iconoEnlace(3));
    agregarEnlace(Reenviar, QStringLiteral("Reenviar documento"), arte::iconoEnlace(0));
    agregarEnlace(Csv, QStringLiteral("Exportar a CSV"), arte::iconoEnlace(12));
    agregarEnlace(Pdf, QStringLiteral("Exportar a PDF"), arte::iconoEnlace(12));
    agregarEnlace(Cerrar, QStringLiteral("Cerrar"), arte::iconoEnlace(4));
    connect(lbl_cmd(), &GrupoEnlaces::pulsado, this, &FrmHistorial::ejecutarEnlace);

    const QRect area = areaTrabajo();
    const int alto = aPixeles(315, this);
    const int margen = aPixeles(120, this);
    int x = area.left() + margen;
    const int y = area.top() + margen;
    const auto etiqueta = [&](const QString& texto, int ancho) {
        auto* l = new QLabel(texto, this);
        l->setGeometry(x, y, ancho, alto);
        x += ancho;
    };
    const auto caja = [&](const char* nombre, int ancho, const QString& ayuda) {
        auto* c = new QLineEdit(this);
        c->setObjectName(QLatin1String(nombre));
        c->setPlaceholderText(ayuda);
        c->setGeometry(x, y, ancho, alto);
        x += ancho + margen;
        return c;
    };
    etiqueta(QStringLiteral("Buscar:"), aPixeles(700, this));
    txtBusqueda_ = caja("txtBusqueda", aPixeles(3600, this), QString());
    etiqueta(QStringLiteral("Desde:"), aPixeles(650, this));
    txtDesde_ = caja("txtDesde", aPixeles(1400, this), QStringLiteral("AAAA-MM-DD"));
    etiqueta(QStringLiteral("Hasta:"), aPixeles(600, this));
    txtHasta_ = caja("txtHasta", aPixeles(1400, this), QStringLiteral("AAAA-MM-DD"));
    etiqueta(QStringLiteral("Resultado:"), aPixeles(950, this));
    cmbResultado_ = new QComboBox(this);
    cmbResultado_->setObjectName(QStringLiteral("cmbResultado"));
    cmbResultado_->addItem(QStringLiteral("Todos"));
    for (const auto r : {ResultadoHistorial::Enviado, ResultadoHistorial::Rechazado,
                         ResultadoHistorial::Dudoso, ResultadoHistorial::Marcado}) {
        cmbResultado_->addItem(q(nombreResultado(r)), static_cast<int>(r));
    }
    cmbResultado_->setGeometry(x, y, aPixeles(1300, this), alto);

    const int arribaTabla = y + alto + margen;
    modelo_ = new ModeloHistorial(*historial_, this);
    tabla_ = new QTableView(this);
    tabla_->setObjectName(QStringLiteral("tblHistorial"));
    tabla_->setModel(modelo_);
    tabla_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tabla_->setSelectionMode(QAbstractItemView::SingleSelection);
    tabla_->setSortingEnabled(true);
    tabla_->horizontalHeader()->setSortIndicator(0, Qt::DescendingOrder);
    tabla_->verticalHeader()->hide();
    tabla_->verticalHeader()->setDefaultSectionSize(aPixeles(255, this));
    const std::array<int, kColumnasHistorial> anchos{1900, 950,  2400, 2400, 2400,
                                                     2400, 1000, 2600, 2800};
    for (std::size_t c = 0; c < anchos.size(); ++c) {
        tabla_->setColumnWidth(static_cast<int>(c), aPixeles(anchos[c], this));
    }
    lblTotales_ = new QLabel(this);
    lblTotales_->setObjectName(QStringLiteral("lblTotales"));
    const int abajo = area.bottom() - margen;
    lblTotales_->setGeometry(area.left() + margen, abajo - alto, area.width() - 2 * margen, alto);
    tabla_->setGeometry(area.left() + margen, arribaTabla, area.width() - 2 * margen,
                        lblTotales_->y() - arribaTabla - margen / 2);
    connect(tabla_, &QTableView::doubleClicked, this, &FrmHistorial::abrirDocumento);

    // Typing waits for a pause before asking the ledgers.
    espera_ = new QTimer(this);
    espera_->setSingleShot(true);
    espera_->setInterval(250);
    connect(espera_, &QTimer::timeout, this, &FrmHistorial::filtrar);
    for (auto* c : {txtBusqueda_, txtDesde_, txtHasta_}) {
        connect(c, &QLineEdit::textChanged, espera_, qOverload<>(&QTimer::start));
    }
    connect(cmbResultado_, &QComboBox::currentIndexChanged, this, &FrmHistorial::filtrar);
}

void FrmHistorial::filtrar() {
    FiltroHistorial filtro;
    filtro.texto = txtBusqueda_->text().toStdString();
    filtro.desde = fechaDe(txtDesde_);
    filtro.hasta = fechaDe(txtHasta_);
    if (const QVariant r = cmbResultado_->currentData(); r.isValid()) {
        filtro.resultado = static_cast<ResultadoHistorial>(r.toInt());
    }
    try {
        modelo_->filtrar(filtro);
    } catch (const std::exception& e) {
        avisar(e.what());
    }
    lblTotales_->setText(textoTotales(modelo_->totales()));
}

void FrmHistorial::ejecutarEnlace(int indice) {
    switch (indice) {
    case Abrir:
        abrirDocumento();
        break;
    case Copiar:
        copiarConstancia();
        break;
    case Reenviar:
        reenviar();
        break;
    case Csv:
        if (const QString f = QFileDialog::getSaveFileName(this, QStringLiteral("Exportar a CSV"),
                                                           QStringLiteral("historial-envios.csv"),
                                                           QStringLiteral("CSV (*.csv)"));
            !f.isEmpty()) {
            exportarCsv(f);
        }
        break;
    case Pdf:
        if (const QString f = QFileDialog::getSaveFileName(this, QStringLiteral("Exportar a PDF"),
                                                           QStringLiteral("historial-envios.pdf"),
                                                           QStringLiteral("PDF (*.pdf)"));
            !f.isEmpty()) {
            exportarPdf(f);
        }
        break;
    default:
        reject();
        break;
    }
}

const FilaHistorial* FrmHistorial::filaActual() {
    const QModelIndex actual = tabla_->currentIndex();
    if (!actual.isValid()) {
        avisar("Elija primero una fila del historial.");
        return nullptr;
    }
    return &modelo_->fila(actual.row());
}

void FrmHistorial::avisar(const std::string& texto) {
    dialogos_.mostrar({texto, "Historial de envíos", Icono::Informacion, Botones::Aceptar});
}

// The document is where the attempt left it: under its sent name when it got one.
void FrmHistorial::abrirDocumento() {
    const FilaHistorial* f = filaActual();
    if (f == nullptr) {
        return;
    }
    if (f->aviso) {
        avisar("Es un aviso de comunicaciones masivas: no tiene documento.");
        return;
    }
    const std::filesystem::path documento = f->enviadoComo.empty() ? f->documento : f->enviadoComo;
    std::error_code error;
    if (!std::filesystem::exists(documento, error)) {
        avisar("No se encuentra el documento " + documento.string());
        return;
    }
    if (!AbrirDocumento(shell_, documento, "", carpeta_)) {
        avisar("No se pudo abrir el documento " + documento.string());
    }
}

void FrmHistorial::copiarConstancia() {
    if (const FilaHistorial* f = filaActual()) {
        QApplication::clipboard()->setText(q(textoConstancia(*f)));
    }
}

void FrmHistorial::reenviar() {
    const FilaHistorial* f = filaActual();
    if (f == nullptr) {
        return;
    }
    if (f->aviso) {
        avisar("Los avisos de comunicaciones masivas se envían desde su ventana.");
        return;
    }
    const std::filesystem::path documento = f->enviadoComo.empty() ? f->documento : f->enviadoComo;
    if (reenviar_ && reenviar_(documento)) {
        // The run works over the main window; this one would only stand in its way.
        accept();
    }
}

void FrmHistorial::exportarCsv(const QString& archivo) {
    const std::string csv = csvHistorial(*historial_);
    QFile f(archivo);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        f.write(csv.data(), static_cast<qint64>(csv.size())) != static_cast<qint64>(csv.size()) ||
        !f.flush()) {
        avisar("No se pudo guardar " + archivo.toStdString() + ": " +
               f.errorString().toStdString());
    }
}

// A plain table in landscape, the columns as on screen, the filter and totals at the top.
void FrmHistorial::exportarPdf(const QString& archivo) {
    QPdfWriter pdf(archivo);
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                  QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
    pdf.setResolution(300);
    pdf.setTitle(QStringLiteral("Historial de envíos"));
    QPainter p;
    if (!p.begin(&pdf)) {
        avisar("No se pudo guardar " + archivo.toStdString());
        return;
    }
    const QRect pagina = pdf.pageLayout().paintRectPixels(pdf.resolution());
    const QRect area(0, 0, pagina.width(), pagina.height());
    QFont letra = arte::fuente(7);
    p.setFont(letra);
    const int linea = p.fontMetrics().height() + 4;
    const std::array<double, kColumnasHistorial> pesos{1.3, 0.7, 1.7, 1.8, 1.7, 1.7, 0.8, 2.2, 2.2};
    double total = 0;
    for (const double w : pesos) {
        total += w;
    }
    const auto fila = [&](int y, const std::array<QString, kColumnasHistorial>& textos) {
        double x = 0;
        for (std::size_t c = 0; c < textos.size(); ++c) {
            const int ancho = static_cast<int>(area.width() * pesos[c] / total);
            p.drawText(QRect(static_cast<int>(x), y, ancho - 6, linea),
                       Qt::AlignLeft | Qt::AlignVCenter,
                       p.fontMetrics().elidedText(textos[c], Qt::ElideRight, ancho - 6));
            x += ancho;
        }
    };
    std::array<QString, kColumnasHistorial> titulos;
    for (std::size_t c = 0; c < titulos.size(); ++c) {
        titulos[c] = q(titulosHistorial()[c]);
    }
    int y = area.height();
    int numero = 0;
    const auto cabecera = [&] {
        if (numero > 0) {
            pdf.newPage();
        }
        ++numero;
        y = 0;
        letra.setBold(true);
        p.setFont(letra);
        p.drawText(
            QRect(0, y, area.width(), linea), Qt::AlignLeft,
            QStringLiteral("Historial de envíos    %1").arg(textoTotales(modelo_->totales())));
        p.drawText(QRect(0, y, area.width(), linea), Qt::AlignRight,
                   QStringLiteral("Página %1").arg(numero));
        y += linea * 2;
        fila(y, titulos);
        letra.setBold(false);
        p.setFont(letra);
        y += linea;
        p.drawLine(0, y, area.width(), y);
    };
    for (int i = 0; i < modelo_->rowCount(); ++i) {
        if (y + linea > area.height()) {
            cabecera();
        }
        const FilaHistorial& f = modelo_->fila(i);
        std::array<QString, kColumnasHistorial> textos;
        for (std::size_t c = 0; c < textos.size(); ++c) {
            textos[c] = q(textoColumna(f, static_cast<ColumnaHistorial>(c)));
        }
        fila(y, textos);
        y += linea;
    }
    if (numero == 0) {
        cabecera();
    }
    p.end();
}

void abrirFrmHistorial(QWidget* parent, const std::filesystem::path& carpetaPrograma, Shell& shell,
                       Dialogos& dialogos, ReenviarDocumento reenviar) {
    std::unique_ptr<FrmHistorial> ventana;
    try {
        ventana = std::make_unique<FrmHistorial>(carpetaPrograma, shell, dialogos,
                                                 std::move(reenviar), parent);
    } catch (const std::exception& e) {
        dialogos.mostrar({e.what(), "Historial de envíos", Icono::Exclamacion, Botones::Aceptar});
        return;
    }
    ventana->exec();
}

} // namespace envio::gui
