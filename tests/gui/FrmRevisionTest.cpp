#include "gui/FrmRevision.h"

#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

using namespace envio;

namespace {

// Row 0's document is blocked; row 2's has two warnings; row 5's one.
std::vector<Hallazgo> hallazgos() {
    return {{0, "b.pdf", "00002 BETO", "sin dirección de correo", Gravedad::Bloquea},
            {0, "b.pdf", "00002 BETO", "2 documentos para este destinatario", Gravedad::Aviso},
            {2, "a.pdf", "00001 ANA", "la dirección x@y.es es de 2 destinatarios", Gravedad::Aviso},
            {2, "a.pdf", "00001 ANA", "el nombre ANA no aparece en el documento", Gravedad::Aviso},
            {5, "c.pdf", "00003 CARLA", "PDF sin texto (escaneado): no se puede comprobar",
             Gravedad::Aviso}};
}

int filaDe(QTableWidget* t, const QString& documento, const QString& problema) {
    for (int r = 0; r < t->rowCount(); ++r) {
        if (t->item(r, 1)->text() == documento && t->item(r, 3)->text().startsWith(problema)) {
            return r;
        }
    }
    return -1;
}

} // namespace

class FrmRevisionTest : public QObject {
    Q_OBJECT

private slots:
    void showsEveryFindingSortsAndCopiesAsTabSeparatedLines() {
        gui::FrmRevision v(hallazgos());
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        QCOMPARE(v.windowTitle(), QStringLiteral("Revisar antes de enviar"));
        QCOMPARE(v.tabla()->rowCount(), 5);
        if (qEnvironmentVariableIsSet("ENVIO_CAPTURAS")) {
            QVERIFY(v.grab().save(QStringLiteral("/tmp/FrmRevision.png")));
        }
        QCOMPARE(v.cmdEnviar()->text(), QStringLiteral("Enviar"));
        QCOMPARE(v.cmdVolver()->text(), QStringLiteral("Volver"));
        v.tabla()->sortItems(1); // by document
        QCOMPARE(v.tabla()->item(0, 1)->text(), QStringLiteral("a.pdf"));
        QCOMPARE(v.tabla()->item(4, 1)->text(), QStringLiteral("c.pdf"));
        QTest::mouseClick(v.cmdCopiar(), Qt::LeftButton);
        const QString copiado = QApplication::clipboard()->text();
        QVERIFY(copiado.startsWith(QStringLiteral(
            "a.pdf\t00001 ANA\tla dirección x@y.es es de 2 destinatarios\taviso\n")));
        QVERIFY(copiado.endsWith(QStringLiteral(
            "c.pdf\t00003 CARLA\tPDF sin texto (escaneado): no se puede comprobar\taviso\n")));
        QCOMPARE(copiado.count(QLatin1Char('\n')), 5);
    }

    void aBlockedDocumentCannotBeTickedAndUntickingOneRowUnticksItsDocument() {
        gui::FrmRevision v(hallazgos());
        v.show();
        QTableWidget* t = v.tabla();
        for (const auto& problema : {QStringLiteral("sin dirección"), QStringLiteral("2 docu")}) {
            QTableWidgetItem* bloqueada = t->item(filaDe(t, QStringLiteral("b.pdf"), problema), 0);
            QCOMPARE(bloqueada->checkState(), Qt::Unchecked);
            QVERIFY(!(bloqueada->flags() & Qt::ItemIsUserCheckable));
        }
        t->item(filaDe(t, QStringLiteral("a.pdf"), QStringLiteral("el nombre")), 0)
            ->setCheckState(Qt::Unchecked);
        QCOMPARE(
            t->item(filaDe(t, QStringLiteral("a.pdf"), QStringLiteral("la dir")), 0)->checkState(),
            Qt::Unchecked);
        QTest::mouseClick(v.cmdEnviar(), Qt::LeftButton);
        const DecisionRevision d = v.decision();
        QVERIFY(d.enviar);
        QCOMPARE(d.desmarcadas, std::vector<std::size_t>{2}); // Carla's scan still goes
    }

    void volverAndEscSendNothing() {
        for (const bool conEsc : {false, true}) {
            gui::FrmRevision v(hallazgos());
            v.show();
            QVERIFY(QTest::qWaitForWindowExposed(&v));
            if (conEsc) {
                QTest::keyClick(&v, Qt::Key_Escape);
            } else {
                QTest::mouseClick(v.cmdVolver(), Qt::LeftButton);
            }
            QVERIFY(!v.isVisible());
            QVERIFY(!v.decision().enviar);
        }
    }
};

QTEST_MAIN(FrmRevisionTest)
#include "FrmRevisionTest.moc"
