#include "gui/DibujarInforme.h"

#include "report/FormulaInforme.h"

#include <QDate>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace envio::gui {
namespace {

constexpr double kPuntosPorMm = 72.0 / 25.4;
// Large enough that rounding to whole pixels does not show in the widths.
constexpr int kTamanoMedida = 720;

QString qtexto(const std::string& texto) {
    return QString::fromUtf8(texto.data(), qsizetype(texto.size()));
}

QFont fuenteDibujo(const QFont& base, const Fuente& fuente, double escala) {
    QFont f = base;
    f.setBold(fuente.negrita);
    f.setPointSizeF(fuente.puntos * escala);
    return f;
}

QFont fuenteMedida(const QString& familia, bool negrita) {
    QFont f = fuenteBase(familia);
    f.setPixelSize(kTamanoMedida);
    f.setBold(negrita);
    return f;
}

} // namespace

QFont fuenteBase(const QString& familia) {
    QFont f(familia);
    f.setStyleHint(QFont::SansSerif);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setKerning(false);
    return f;
}

MedidaTextoQt::MedidaTextoQt(const QString& familia)
    : normal_{QFontMetricsF(fuenteMedida(familia, false)), {}, {}},
      negrita_{QFontMetricsF(fuenteMedida(familia, true)), {}, {}} {
    for (Avances* a : {&normal_, &negrita_}) {
        for (char16_t c = 0x20; c < 0x80; ++c) {
            a->ascii[c] = a->metricas.horizontalAdvance(QChar(c));
        }
    }
}

double MedidaTextoQt::Avances::de(char32_t c) const {
    if (c < 0x80) {
        return ascii[c];
    }
    auto [it, nuevo] = otros.try_emplace(c, 0.0);
    if (nuevo) {
        it->second = metricas.horizontalAdvance(QString::fromUcs4(&c, 1));
    }
    return it->second;
}

double MedidaTextoQt::ancho(std::string_view texto, const Fuente& fuente) const {
    const Avances& avances = fuente.negrita ? negrita_ : normal_;
    double pixeles = 0;
    for (std::size_t i = 0; i < texto.size();) {
        const auto c = static_cast<unsigned char>(texto[i]);
        const std::size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        char32_t punto = n == 1 ? c : c & (0x3F >> (n - 1));
        for (std::size_t k = 1; k < n && i + k < texto.size(); ++k) {
            punto = (punto << 6) | (static_cast<unsigned char>(texto[i + k]) & 0x3F);
        }
        pixeles += avances.de(punto);
        i += n;
    }
    return pixeles / kTamanoMedida * fuente.puntos / kPuntosPorMm;
}

void dibujarPagina(QPainter& pintor, const InformePaginado& informe, const PaginaInforme& pagina,
                   double pixelesPorMm) {
    const double s = pixelesPorMm;
    const auto recuadro = [s](double x, double y, double w, double h) {
        return QRectF(x * s, y * s, w * s, h * s);
    };
    pintor.save();
    pintor.setRenderHint(QPainter::Antialiasing);
    pintor.setRenderHint(QPainter::TextAntialiasing);
    for (const auto& r : pagina.rellenos) {
        pintor.fillRect(recuadro(r.x, r.y, r.ancho, r.alto), QColor(r.gris, r.gris, r.gris));
    }
    for (const auto& r : pagina.rayas) {
        pintor.setPen(QPen(Qt::black, r.grosor * s, Qt::SolidLine, Qt::FlatCap));
        pintor.drawLine(QPointF(r.x1 * s, r.y1 * s), QPointF(r.x2 * s, r.y2 * s));
    }
    // Point sizes are relative to the device's resolution; ours follow the page's scale.
    const double escala = s * 25.4 / pintor.device()->logicalDpiY();
    const QFont base = fuenteBase(qtexto(informe.familia));
    struct FuenteLista {
        QFont fuente;
        double ascenso = 0;
        double alto = 0;
    };
    std::map<std::pair<double, bool>, FuenteLista> fuentes;
    pintor.setPen(Qt::black);
    for (const auto& t : pagina.textos) {
        auto [f, nueva] = fuentes.try_emplace({t.fuente.puntos, t.fuente.negrita});
        if (nueva) {
            f->second.fuente = fuenteDibujo(base, t.fuente, escala);
            const QFontMetricsF metricas(f->second.fuente, pintor.device());
            f->second.ascenso = metricas.ascent();
            f->second.alto = metricas.ascent() + metricas.descent();
        }
        const FuenteLista& lista = f->second;
        pintor.setFont(lista.fuente);
        // Drawn at its baseline, centred in the line's box: laying out a rectangle for every
        // text is what would make a long report slow.
        const QString texto = qtexto(t.texto);
        double x = t.x * s;
        if (t.alineacion == Alineacion::Derecha) {
            x += t.ancho * s - pintor.fontMetrics().horizontalAdvance(texto);
        }
        pintor.drawText(QPointF(x, t.y * s + (t.alto * s - lista.alto) / 2 + lista.ascenso), texto);
    }
    pintor.restore();
}

void dibujarPaginas(const InformePaginado& informe, QPagedPaintDevice& dispositivo, int desde,
                    int hasta) {
    QPainter pintor;
    if (!pintor.begin(&dispositivo)) {
        throw ErrorInforme("No se puede empezar a dibujar el informe en el destino elegido.");
    }
    const double pixelesPorMm = dispositivo.logicalDpiX() / 25.4;
    const int ultima = std::min(hasta, int(informe.paginas.size()) - 1);
    for (int p = std::max(0, desde); p <= ultima; ++p) {
        if (p > std::max(0, desde) && !dispositivo.newPage()) {
            throw ErrorInforme("No se puede añadir una página al informe.");
        }
        dibujarPagina(pintor, informe, informe.paginas[std::size_t(p)], pixelesPorMm);
    }
    if (!pintor.end()) {
        throw ErrorInforme("No se puede terminar el informe.");
    }
}

void escribirPdf(const InformePaginado& informe, const QString& ruta) {
    QSaveFile archivo(ruta);
    if (!archivo.open(QIODevice::WriteOnly)) {
        throw ErrorInforme("No se puede escribir el archivo " + ruta.toStdString() + ":\n" +
                           archivo.errorString().toStdString());
    }
    {
        QPdfWriter pdf(&archivo);
        pdf.setResolution(1200);
        pdf.setTitle(qtexto(informe.titulo));
        pdf.setCreator(QStringLiteral("Envío de documentos por e-mail"));
        pdf.setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4),
                        informe.apaisado ? QPageLayout::Landscape : QPageLayout::Portrait,
                        QMarginsF(0, 0, 0, 0)));
        dibujarPaginas(informe, pdf, 0, int(informe.paginas.size()) - 1);
    }
    if (!archivo.commit()) {
        throw ErrorInforme("No se puede escribir el archivo " + ruta.toStdString() + ":\n" +
                           archivo.errorString().toStdString());
    }
}

InformePaginado prepararInformeQt(const SolicitudInforme& solicitud, const CarpetaPrograma& carpeta,
                                  const std::vector<std::filesystem::path>& otrasCarpetas) {
    DatosInforme datos = cargarDatosInforme(solicitud, carpeta, otrasCarpetas);
    const MedidaTextoQt medida(qtexto(datos.definicion.fuente));
    const std::string fecha =
        QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")).toStdString();
    return paginarInforme(datos.definicion, datos.filas, fecha, medida);
}

void exportarInformePdf(const SolicitudInforme& solicitud, const CarpetaPrograma& carpeta,
                        const std::filesystem::path& rutaPdf,
                        const std::vector<std::filesystem::path>& otrasCarpetas) {
    const auto exportar = [&] {
        escribirPdf(prepararInformeQt(solicitud, carpeta, otrasCarpetas),
                    QString::fromStdString(rutaPdf.string()));
    };
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        exportar();
        return;
    }
    if (QCoreApplication::instance()) {
        throw ErrorInforme("El informe necesita las fuentes del escritorio para escribirse.");
    }
    // The unattended command runs where there may be no display at all.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int argc = 1;
    char nombre[] = "envio-documentos";
    char* argv[] = {nombre, nullptr};
    QGuiApplication aplicacion(argc, argv);
    exportar();
}

} // namespace envio::gui
