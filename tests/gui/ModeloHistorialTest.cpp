// The history window's model over a generated ledger, checked by Qt's model tester while it is
// filtered and sorted.
#include "gui/ModeloHistorial.h"

#include "TemporaryFolder.h"
#include "ledger/RegistroEnvios.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QtTest>

namespace envio::gui {

class ModeloHistorialTest : public QObject {
    Q_OBJECT
private slots:
    void filteredAndSortedUnderTheTester() {
        test::TemporaryFolder folder;
        {
            RegistroEnvios r(folder.path() / "registro-envios.db");
            for (int n = 0; n < 300; ++n) { // more than one page of rows
                RegistroEnvios::Intento i;
                i.documento = "/n/D" + std::to_string(n) + "_P.pdf";
                i.nombreListado = "Persona " + std::to_string(n);
                i.destinatario = "p" + std::to_string(n) + "@example.com";
                i.hora = "2024-01-01T00:" + std::to_string(10 + n / 50) + ":" +
                         std::to_string(10 + n % 50) + "Z";
                r.respuesta(r.antesDeEnviar(i),
                            n % 3 == 0 ? RegistroEnvios::Resultado::Rechazado
                                       : RegistroEnvios::Resultado::Aceptado,
                            "<m" + std::to_string(n) + ">", "250");
            }
        }
        HistorialEnvios historial(folder.path());
        ModeloHistorial modelo(historial);
        QAbstractItemModelTester tester(&modelo,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        modelo.filtrar({});
        QCOMPARE(modelo.rowCount(), 300);
        QCOMPARE(modelo.columnCount(), 9);
        QCOMPARE(modelo.index(299, 8).data().toString(), QStringLiteral("<m0>"));
        modelo.filtrar({"", "", "", ResultadoHistorial::Rechazado});
        QCOMPARE(modelo.rowCount(), 100);
        QCOMPARE(textoTotales(modelo.totales()),
                 QStringLiteral("Intentos: 100    Enviados: 0    Rechazados: 100    Dudosos: 0    "
                                "Marcados: 0"));
        modelo.sort(2, Qt::AscendingOrder);
        QCOMPARE(modelo.index(0, 2).data().toString(), QStringLiteral("Persona 0"));
        QCOMPARE(modelo.index(1, 2).data().toString(), QStringLiteral("Persona 102"));
        // A bad date keeps the rows that were shown.
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, modelo.filtrar({"", "x", "", {}}));
        QCOMPARE(modelo.rowCount(), 100);
        modelo.filtrar({"persona 29", "", "", {}});
        QCOMPARE(modelo.rowCount(), 11); // 29 and 290..299
    }
};

} // namespace envio::gui

QTEST_MAIN(envio::gui::ModeloHistorialTest)
#include "ModeloHistorialTest.moc"
