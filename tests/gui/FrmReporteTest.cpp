#include "gui/FrmReporte.h"

#include "TemporaryFolder.h"
#include "database/BaseDatos.h"
#include "gui/DibujarInforme.h"
#include "report/FormulaInforme.h"
#include "report/TablaTrabajo.h"

#include <QAction>
#include <QMessageBox>
#include <QPrintDialog>
#include <QProcess>
#include <QScrollArea>
#include <QTimer>
#include <QtTest>

using namespace envio;

namespace {

const std::filesystem::path kDatos = ENVIO_REPORT_DATA;

QString pdfComoTexto(const std::filesystem::path& pdf) {
    QProcess proceso;
    proceso.start(QStringLiteral("pdftotext"),
                  {QStringLiteral("-enc"), QStringLiteral("UTF-8"),
                   QString::fromStdString(pdf.string()), QStringLiteral("-")});
    if (!proceso.waitForFinished(60000) || proceso.exitCode() != 0) {
        return QStringLiteral("pdftotext falló: ") + proceso.readAllStandardError();
    }
    return QString::fromUtf8(proceso.readAllStandardOutput());
}

int paginasDelPdf(const std::filesystem::path& pdf) {
    QProcess proceso;
    proceso.start(QStringLiteral("pdfinfo"), {QString::fromStdString(pdf.string())});
    proceso.waitForFinished(60000);
    const auto salida = QString::fromUtf8(proceso.readAllStandardOutput());
    const auto m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(salida);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// Runs `accion` on the next modal window that opens, then closes it.
template <typename F> void alAbrirseUnModal(F accion) {
    QTimer::singleShot(0, [accion] {
        QWidget* modal = QApplication::activeModalWidget();
        for (int i = 0; !modal && i < 100; ++i) {
            QTest::qWait(20);
            modal = QApplication::activeModalWidget();
        }
        accion(modal);
        if (modal) {
            modal->close();
        }
    });
}

} // namespace

class FrmReporteTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TemporaryFolder> carpeta_;

    SolicitudInforme solicitudConFilas(int cuantas) {
        carpeta_ = std::make_unique<test::TemporaryFolder>();
        const auto base = prepararBaseTrabajo(CarpetaPrograma(carpeta_->path())).baseDatos;
        auto db = BaseDatos::abrir(base);
        for (int i = 1; i <= cuantas; ++i) {
            const std::string n = std::to_string(i);
            db->agregarRegistro("INFORMETMP2008",
                                {{"CAMPO1", Valor::texto("Cliente " + n + " Peña")},
                                 {"CAMPO2", Valor::texto("cliente" + n + "@ejemplo.es")},
                                 {"CAMPO3", Valor::texto("2026_03_" + n + ".ENVIADO.PDF")}});
        }
        return {"Envio de facturas", "Asunto: Facturas de marzo — año 2026",
                carpeta_->path() / "Temporal.mdb", "9Fac0019.rpt", "D'Angelo Núñez"};
    }

private slots:
    void thePdfShowsTheHeadingAndEveryRow() {
        auto solicitud = solicitudConFilas(0);
        auto db = BaseDatos::abrir(carpeta_->path() / "temporal.mdb");
        db->agregarRegistro(
            "INFORMETMP2008",
            {{"CAMPO1", Valor::texto("00123 CONSTRUCCIONES Y REFORMAS O'NEILL S.L.")},
             {"CAMPO2", Valor::texto("oneill@ejemplo.es")},
             {"CAMPO3", Valor::texto("000123_20260315_000045.ENVIADO.PDF")}});
        db->agregarRegistro("INFORMETMP2008", {{"CAMPO1", Valor::texto("00124 COOPERATIVA ÑANDÚ")},
                                               {"CAMPO2", Valor::texto("ñandu@ejemplo.es")}});
        const auto pdf = carpeta_->path() / "informe.pdf";
        gui::exportarInformePdf(solicitud, CarpetaPrograma(carpeta_->path()), pdf, {kDatos});
        // A long name breaks between its words; the comparison reads the lines as one text.
        const QString texto = pdfComoTexto(pdf).simplified();
        for (const char* esperado :
             {"Envio de facturas", "Asunto: Facturas de marzo — año 2026",
              "Usuario: D'Angelo Núñez", "00123 CONSTRUCCIONES Y REFORMAS O'NEILL S.L.",
              "oneill@ejemplo.es", "000123_20260315_000045.ENVIADO.PDF", "00124 COOPERATIVA ÑANDÚ",
              "ñandu@ejemplo.es", "Destinatario", "Dirección de correo", "Documento",
              "Total de envíos: 2", "Página 1 de 1"}) {
            QVERIFY2(texto.contains(QString::fromUtf8(esperado)), esperado);
        }
        QVERIFY(texto.contains(QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"))));
    }

    void fiveThousandRowsPaginateWithTheirPageNumbers() {
        const auto solicitud = solicitudConFilas(5000);
        const auto pdf = carpeta_->path() / "grande.pdf";
        gui::exportarInformePdf(solicitud, CarpetaPrograma(carpeta_->path()), pdf, {kDatos});
        const int paginas = paginasDelPdf(pdf);
        QVERIFY(paginas > 50);
        const QStringList textos = pdfComoTexto(pdf).split(QChar('\f'), Qt::SkipEmptyParts);
        QCOMPARE(textos.size(), paginas);
        int fila = 1;
        for (int p = 0; p < paginas; ++p) {
            const QString numero = QStringLiteral("Página %1 de %2").arg(p + 1).arg(paginas);
            QVERIFY2(textos[p].contains(numero), qPrintable(numero));
            // The rows follow one another across the pages, none lost or repeated.
            while (fila <= 5000 &&
                   textos[p].contains(QStringLiteral("cliente%1@ejemplo.es").arg(fila))) {
                ++fila;
            }
        }
        QCOMPARE(fila, 5001);
        QVERIFY(textos.last().contains(QStringLiteral("Total de envíos: 5000")));
        QVERIFY(!textos.first().contains(QStringLiteral("Total de envíos")));
    }

    void aMissingDefinitionWritesNoPdfAndSaysSo() {
        const auto solicitud = solicitudConFilas(1);
        const auto pdf = carpeta_->path() / "no.pdf";
        try {
            gui::exportarInformePdf(solicitud, CarpetaPrograma(carpeta_->path()), pdf, {});
            QFAIL("no error");
        } catch (const ErrorInforme& e) {
            QCOMPARE(QString::fromUtf8(e.what()),
                     QString::fromUtf8(kReporteNoEncontrado.data(), kReporteNoEncontrado.size()));
        }
        QVERIFY(!std::filesystem::exists(pdf));
        QVERIFY_THROWS_EXCEPTION(
            ErrorInforme,
            gui::exportarInformePdf(solicitud, CarpetaPrograma(carpeta_->path()),
                                    carpeta_->path() / "no-existe" / "x.pdf", {kDatos}));

        bool avisado = false;
        alAbrirseUnModal([&avisado](QWidget* modal) {
            auto* caja = qobject_cast<QMessageBox*>(modal);
            avisado =
                caja && caja->windowTitle() == QStringLiteral("Aviso") &&
                caja->text().startsWith(QStringLiteral("El archivo de reporte no se encuentra"));
        });
        gui::VisorInformeVentana(CarpetaPrograma(carpeta_->path()), nullptr, {}).mostrar(solicitud);
        QVERIFY(avisado);
    }

    void theRunOpensTheReportWindowModally() {
        const auto solicitud = solicitudConFilas(3);
        QString titulo;
        int paginas = 0;
        alAbrirseUnModal([&](QWidget* modal) {
            if (auto* ventana = qobject_cast<gui::FrmReporte*>(modal)) {
                titulo = ventana->windowTitle();
                paginas = int(ventana->informe().paginas.size());
            }
        });
        gui::VisorInformeVentana(CarpetaPrograma(carpeta_->path()), nullptr, {kDatos})
            .mostrar(solicitud);
        QCOMPARE(titulo, QStringLiteral("Impresión de informes"));
        QCOMPARE(paginas, 1);
        QVERIFY(!QApplication::overrideCursor());
    }

    void theViewerFillsTheWindowWhateverItsSize() {
        const auto solicitud = solicitudConFilas(200);
        gui::FrmReporte ventana(
            gui::prepararInformeQt(solicitud, CarpetaPrograma(carpeta_->path()), {kDatos}));
        ventana.show();
        QVERIFY(QTest::qWaitForWindowExposed(&ventana));
        auto* area = ventana.visor()->findChild<QScrollArea*>();
        QVERIFY(area);
        const auto llena = [&] {
            QCoreApplication::processEvents();
            const int libre = area->viewport()->width();
            const int hoja = ventana.visor()->hoja()->width();
            // Fitted to the width, the page takes the viewer's width less the desk around it.
            return ventana.visor()->geometry() == ventana.rect() && hoja <= libre &&
                   hoja >= libre - 3;
        };
        for (const QSize tamano : {QSize(640, 480), QSize(1200, 900), QSize(500, 700)}) {
            ventana.resize(tamano);
            QTRY_VERIFY(llena());
        }
        ventana.showMaximized();
        QTRY_VERIFY(llena());
        ventana.showNormal();
        QTRY_VERIFY(llena());

        auto* visor = ventana.visor();
        const int total = int(ventana.informe().paginas.size());
        QVERIFY(total > 2);
        visor->irAPagina(total + 5);
        QCOMPARE(visor->pagina(), total - 1);
        visor->irAPagina(-1);
        QCOMPARE(visor->pagina(), 0);
        visor->fijarZoom(2.0);
        QCOMPARE(visor->zoom(), 2.0);
        ventana.resize(700, 500);
        QCoreApplication::processEvents();
        QCOMPARE(visor->zoom(), 2.0);
    }

    void printingAsksForThePrinterInADialogOwnedByTheWindow() {
        const auto solicitud = solicitudConFilas(2);
        gui::FrmReporte ventana(
            gui::prepararInformeQt(solicitud, CarpetaPrograma(carpeta_->path()), {kDatos}));
        ventana.show();
        QVERIFY(QTest::qWaitForWindowExposed(&ventana));
        QWidget* dueno = nullptr;
        bool esDialogoDeImpresora = false;
        alAbrirseUnModal([&](QWidget* modal) {
            esDialogoDeImpresora = qobject_cast<QPrintDialog*>(modal) != nullptr;
            dueno = modal ? modal->parentWidget() : nullptr;
        });
        ventana.visor()->accionImprimir()->trigger();
        QVERIFY(esDialogoDeImpresora);
        QCOMPARE(dueno, &ventana);
    }
};

QTEST_MAIN(FrmReporteTest)
#include "FrmReporteTest.moc"
