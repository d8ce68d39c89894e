#include "gui/CuadroXP.h"

#include <QLabel>
#include <QSignalSpy>
#include <QtTest>

using envio::gui::CuadroXP;

class CuadroXPTest : public QObject {
    Q_OBJECT
private slots:
    void hasTheSizeAndColoursOfItsDesign() {
        CuadroXP cuadro;
        // 3225 x 1500 twips at 15 twips a pixel.
        QCOMPARE(cuadro.size(), QSize(215, 100));
        QCOMPARE(cuadro.BackColor(), QColor(214, 223, 248));
        QCOMPARE(cuadro.altoCabecera(), 25);
        QVERIFY(!cuadro.botonPlegar()->isHidden());
        QVERIFY(cuadro.botonDesplegar()->isHidden());
        QCOMPARE(cuadro.botonPlegar()->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(cuadro.botonDesplegar()->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(cuadro.alturaGuardada(), 0);
    }

    void foldingKeepsTheHeightAndUnfoldingGivesItBack() {
        QWidget contenedor;
        auto* cuadro = new CuadroXP(&contenedor);
        cuadro->setGeometry(8, 8, 201, 141);
        auto* hijo = new QLabel(QStringLiteral("dentro"), cuadro);
        hijo->setGeometry(10, 60, 100, 18);
        contenedor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&contenedor));

        QList<int> alturas;
        connect(cuadro, &CuadroXP::Resize, this, [&] { alturas << cuadro->height(); });
        QTest::mouseClick(cuadro->botonPlegar(), Qt::LeftButton);
        QCOMPARE(cuadro->height(), 25);
        QCOMPARE(alturas, QList<int>({25})); // raised once the new height is in place
        QVERIFY(cuadro->plegado());
        QCOMPARE(cuadro->alturaGuardada(), 141 * 15);
        QVERIFY(cuadro->botonPlegar()->isHidden());
        QVERIFY(!cuadro->botonDesplegar()->isHidden());
        QVERIFY(!hijo->visibleRegion().boundingRect().isValid()); // clipped away, not moved
        QCOMPARE(hijo->pos(), QPoint(10, 60));

        // A second fold changes nothing.
        cuadro->Minimize();
        QCOMPARE(alturas.size(), 1);
        QCOMPARE(cuadro->alturaGuardada(), 141 * 15);

        QTest::mouseClick(cuadro->botonDesplegar(), Qt::LeftButton);
        QCOMPARE(cuadro->height(), 141);
        QCOMPARE(alturas.last(), 141);
        QVERIFY(!cuadro->plegado());
        QVERIFY(!cuadro->botonPlegar()->isHidden());
        QVERIFY(cuadro->botonDesplegar()->isHidden());
        QCOMPARE(cuadro->pos(), QPoint(8, 8)); // the box never moves itself
        QVERIFY(hijo->visibleRegion().boundingRect().isValid());
    }

    void unfoldingWithoutFoldingDoesNotShrinkIt() {
        CuadroXP cuadro;
        cuadro.resize(201, 141);
        QSignalSpy resize(&cuadro, &CuadroXP::Resize);
        cuadro.Maximize();
        QCOMPARE(cuadro.height(), 141);
        QCOMPARE(resize.count(), 0);
        QVERIFY(cuadro.botonDesplegar()->isHidden());
    }

    void itsPartsFollowAChangeOfWidth() {
        CuadroXP cuadro;
        cuadro.show();
        QVERIFY(QTest::qWaitForWindowExposed(&cuadro));
        QSignalSpy resize(&cuadro, &CuadroXP::Resize);
        cuadro.resize(300, 120);
        QCOMPARE(resize.count(), 1);
        const auto& p = cuadro.partes();
        QCOMPARE(p.cabecera.ancho, 300 * 15);
        QCOMPARE(p.cuerpo.ancho, 300 * 15);
        QCOMPARE(p.borde.ancho, 300 * 15);
        QCOMPARE(p.borde.y, 120 * 15 - 30);
        QCOMPARE(p.cuerpo.alto, p.borde.y - 360);
        QCOMPARE(p.plegar.x, 300 * 15 - 70 - 315);
        QCOMPARE(p.desplegar.x, 300 * 15 - 60 - 315);
        // Both buttons stay at the right end of the header.
        QCOMPARE(cuadro.botonPlegar()->geometry(), QRect(274, 2, 21, 19));
        QCOMPARE(cuadro.botonDesplegar()->geometry(), QRect(275, 0, 21, 21));
    }

    void tooShortSkipsTheStepThatDoesNotFit() {
        CuadroXP cuadro;
        cuadro.show();
        QVERIFY(QTest::qWaitForWindowExposed(&cuadro));
        cuadro.resize(215, 100);
        const int cuerpo = cuadro.partes().cuerpo.alto;
        cuadro.resize(215, 10);                          // smaller than header and bottom edge
        QCOMPARE(cuadro.partes().cuerpo.alto, cuerpo);   // skipped
        QCOMPARE(cuadro.partes().borde.y, 10 * 15 - 30); // the other steps still ran
        QCOMPARE(cuadro.partes().plegar.x, 215 * 15 - 70 - 315);
    }

    void drawsTheHeaderAndBodyInTheirColours() {
        CuadroXP cuadro;
        cuadro.resize(215, 100);
        const QImage imagen = cuadro.grab().toImage();
        // Header: white on its left half, light blue at its right end.
        QCOMPARE(QColor(imagen.pixel(40, 14)), QColor(Qt::white));
        const QColor derecha(imagen.pixel(200, 24));
        QVERIFY(std::abs(derecha.blue() - 0xF7) <= 8 && std::abs(derecha.red() - 0xC7) <= 10);
        // Body: white side edges, the light fill between.
        QCOMPARE(QColor(imagen.pixel(0, 60)), QColor(Qt::white));
        QCOMPARE(QColor(imagen.pixel(100, 60)), QColor(0xD6, 0xDF, 0xF7));
        QCOMPARE(QColor(imagen.pixel(214, 60)), QColor(Qt::white));
        // Bottom edge: a white last row.
        QCOMPARE(QColor(imagen.pixel(100, 99)), QColor(Qt::white));
    }
};

QTEST_MAIN(CuadroXPTest)
#include "CuadroXPTest.moc"
