// The history window's row actions over a real ledger: each reaches the right file and says the
// right thing; the exports hold the rows shown.
#include "gui/FrmHistorial.h"

#include "DialogosGrabados.h"
#include "ShellGrabado.h"
#include "TemporaryFolder.h"
#include "gui/ModeloHistorial.h"
#include "ledger/HistorialEnvios.h"
#include "ledger/RegistroEnvios.h"
#include "platform/PdfEngine.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTableView>
#include <QtTest>

namespace envio::gui {
using test::ShellGrabado;

class FrmHistorialTest : public QObject {
    Q_OBJECT

    test::TemporaryFolder carpeta_;
    std::filesystem::path enviado_;
    std::filesystem::path pendiente_;

private slots:
    void initTestCase() {
        enviado_ = carpeta_.write("000101_20260302_000007.ENVIADO.PDF", "%PDF-1.4\n");
        pendiente_ = carpeta_.write("000102_20260303_000008.pdf", "%PDF-1.4\n");
        RegistroEnvios r(RegistroEnvios::archivoEn(carpeta_.path()));
        const auto anotar = [&r](const std::filesystem::path& documento, const char* hora,
                                 const char* quien, RegistroEnvios::Resultado resultado) {
            RegistroEnvios::Intento i;
            i.documento = documento.string();
            i.nombreListado = quien;
            i.destinatario = "cliente@ejemplo.es";
            i.hora = hora;
            const long long id = r.antesDeEnviar(i);
            r.respuesta(id, resultado, "<id-" + std::string(hora) + ">", "250 OK");
            return id;
        };
        const long long primero =
            anotar(carpeta_.path() / "000101_20260302_000007.pdf", "2026-03-02T10:00:00Z",
                   "00101 MUÑOZ GÓMEZ, ÁNGELA", RegistroEnvios::Resultado::Aceptado);
        r.renombrado(primero, enviado_);
        anotar(pendiente_, "2026-03-03T10:00:00Z", "00102 FERNÁNDEZ RUIZ, ÍÑIGO",
               RegistroEnvios::Resultado::Rechazado);
    }

    void eachRowActionReachesItsDocument() {
        ShellGrabado shell;
        test::DialogosGrabados dialogos;
        std::vector<std::filesystem::path> reenviados;
        FrmHistorial v(carpeta_.path(), shell, dialogos, [&](const std::filesystem::path& d) {
            reenviados.push_back(d);
            return false;
        });
        v.filtrar();
        QCOMPARE(v.modelo()->rowCount(), 2);

        v.abrirDocumento(); // no row chosen yet
        QCOMPARE(dialogos.textos(),
                 std::vector<std::string>{"Elija primero una fila del historial."});

        // Newest first: the refused one, still pending; then the sent one, under its sent name.
        v.tabla()->setCurrentIndex(v.modelo()->index(1, 0));
        v.abrirDocumento();
        v.reenviar();
        QCOMPARE(shell.abiertos, std::vector<std::filesystem::path>{enviado_});
        QCOMPARE(reenviados, std::vector<std::filesystem::path>{enviado_});
        v.copiarConstancia();
        const QString constancia = QApplication::clipboard()->text();
        QVERIFY(constancia.contains(QStringLiteral("00101 MUÑOZ GÓMEZ, ÁNGELA")));
        QVERIFY(constancia.contains(QStringLiteral("<id-2026-03-02T10:00:00Z>")));
        QVERIFY(constancia.contains(QStringLiteral("250 OK")));

        v.tabla()->setCurrentIndex(v.modelo()->index(0, 0));
        v.abrirDocumento();
        QCOMPARE(shell.abiertos.back(), pendiente_);
        QCOMPARE(dialogos.cuadros().size(), 1U);
    }

    void theExportsHoldTheRowsShown() {
        ShellGrabado shell;
        test::DialogosGrabados dialogos;
        FrmHistorial v(carpeta_.path(), shell, dialogos, {});
        v.txtBusqueda()->setText(QStringLiteral("muñoz"));
        v.filtrar();
        QCOMPARE(v.modelo()->rowCount(), 1);

        const auto csv = carpeta_.path() / "historial.csv";
        v.exportarCsv(QString::fromStdString(csv.string()));
        const std::string bytes = test::TemporaryFolder::readPath(csv);
        QVERIFY(bytes.starts_with("\xEF\xBB\xBF"));
        QVERIFY(bytes.find("MUÑOZ") != std::string::npos);
        QVERIFY(bytes.find("FERNÁNDEZ") == std::string::npos);

        const auto pdf = carpeta_.path() / "historial.pdf";
        v.exportarPdf(QString::fromStdString(pdf.string()));
        QpdfPopplerEngine motor;
        const auto texto = motor.text(pdf);
        QVERIFY(texto.has_value());
        QVERIFY(texto->find("MUÑOZ") != std::string::npos);
        QVERIFY(texto->find("FERNÁNDEZ") == std::string::npos);
        QVERIFY(dialogos.cuadros().empty());
    }

    void aLedgerLeftOutIsSaidWhenTheWindowOpens() {
        test::TemporaryFolder carpeta;
        carpeta.write("registro-envios.PC2.db", std::string(4096, 'x'));
        ShellGrabado shell;
        test::DialogosGrabados dialogos;
        FrmHistorial v(carpeta.path(), shell, dialogos, {});
        QCOMPARE(v.modelo()->rowCount(), 0);
        QCOMPARE(dialogos.cuadros(),
                 (std::vector<CuadroMensaje>{
                     {"No se pudo leer el registro de envíos " +
                          (carpeta.path() / "registro-envios.PC2.db").string() +
                          ": file is not a database\n\nEl historial muestra los envíos de los "
                          "demás registros.",
                      "Historial de envíos", Icono::Exclamacion, Botones::Aceptar}}));
    }
};

} // namespace envio::gui

QTEST_MAIN(envio::gui::FrmHistorialTest)
#include "FrmHistorialTest.moc"
