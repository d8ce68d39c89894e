#include "gui/FrmPrincipal.h"

#include <QtTest>

class FrmPrincipalTest : public QObject {
    Q_OBJECT
private slots:
    void opensWithItsCaptionAndCloses() {
        envio::gui::FrmPrincipal ventana;
        ventana.show();
        QVERIFY(QTest::qWaitForWindowExposed(&ventana));
        QCOMPARE(ventana.windowTitle(), QStringLiteral("Envío de documentos por e-mail"));
        QVERIFY(ventana.close());
        QVERIFY(!ventana.isVisible());
    }
};

QTEST_MAIN(FrmPrincipalTest)
#include "FrmPrincipalTest.moc"
