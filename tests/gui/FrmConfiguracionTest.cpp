// The notice window's wiring, offscreen, over generated suites and the local test mail server.
#include "gui/FrmConfiguracion.h"

#include "ControlPorNombre.h"
#include "DialogosGrabados.h"
#include "DoblesEnvio.h"
#include "GeneradorSuite.h"
#include "RelojFijo.h"
#include "TemporaryFolder.h"
#include "TestMailServer.h"
#include "gui/Arte.h"
#include "gui/CuadroXP.h"
#include "gui/EnlacesComando.h"
#include "gui/PaginaDestinatarios.h"
#include "gui/Twips.h"
#include "mass/PlantillaAviso.h"
#include "settings/IniFile.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTreeView>
#include <QtTest>

using namespace envio;
using envio::gui::FrmConfiguracion;
using test::control;

namespace {

using test::SondaFija;

class VisorGrabado : public VisorInforme {
public:
    std::vector<SolicitudInforme> solicitudes;
    bool enHiloDeVentana = true;
    void mostrar(const SolicitudInforme& s) override {
        enHiloDeVentana = enHiloDeVentana && QThread::currentThread() == qApp->thread();
        solicitudes.push_back(s);
    }
};

// The window's controls, by the names the program has always given them.
template <typename T = QWidget> T* de(const FrmConfiguracion& w, const char* nombre) {
    return control<T>(w, QLatin1String(nombre));
}
QTreeView* lista(const FrmConfiguracion& w) {
    return de<QTreeView>(w, "Lv");
}
QAbstractItemModel* modelo(const FrmConfiguracion& w) {
    return lista(w)->model();
}
void pulsarEnlace(const FrmConfiguracion& w, int indice) {
    QTest::mouseClick(control<gui::EnlaceComando>(w, QStringLiteral("lbl_cmd_%1").arg(indice)),
                      Qt::LeftButton);
}

std::vector<bool> marcas(const FrmConfiguracion& w) {
    std::vector<bool> out;
    for (int fila = 0; fila < modelo(w)->rowCount(); ++fila) {
        out.push_back(modelo(w)->index(fila, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked);
    }
    return out;
}

} // namespace

class FrmConfiguracionTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TemporaryFolder> folder;
    std::unique_ptr<test::TestMailServer> server;
    std::unique_ptr<test::DialogosGrabados> dialogosPropios;
    std::unique_ptr<VisorGrabado> visorPropio;
    SondaFija sonda;
    std::optional<ContextoAnfitrion> contexto;

    void suite(suitegen::DescripcionSuite d) {
        folder = std::make_unique<test::TemporaryFolder>();
        server = std::make_unique<test::TestMailServer>();
        suitegen::ServidorCorreo correo;
        correo.puerto = server->plainPort();
        correo.cuenta = "oficina@ejemplo.es";
        d.formato = suitegen::Formato::Sqlite;
        d.correo = correo;
        suitegen::generarSuite(folder->path(), d);
        ConfiguracionCorreo recargada;
        masivo::GuardaDatos(*folder / "KRN.INI", {"Asunto guardado", "Uno\r\nDos", true},
                            recargada);
        contexto = iniciarContexto(CarpetaPrograma(folder->path()), *dialogosPropios,
                                   test::RelojFijo({2026, 3, 20}));
        QVERIFY(contexto);
    }

    void clientes() {
        suitegen::DescripcionSuite d;
        d.clientes = {suitegen::clienteConCorreo(1, "Uno", "3124", "uno@ejemplo.es"),
                      suitegen::clienteConCorreo(2, "Dos", "21", "dos@ejemplo.es"),
                      suitegen::clienteConCorreo(3, "Tres", std::nullopt, "tres@ejemplo.es"),
                      suitegen::clienteConCorreo(4, "Cuatro", "12", "cuatro@ejemplo.es")};
        suite(d);
    }

    static QImage iconoDelEnlace(const FrmConfiguracion& w, int indice) {
        const auto* imagen = w.findChild<QLabel*>(QStringLiteral("img_cmd_%1").arg(indice));
        return imagen == nullptr ? QImage() : imagen->pixmap().toImage();
    }

    static bool pintaRojo(const QImage& imagen) {
        for (int y = 0; y < imagen.height(); ++y) {
            for (int x = 0; x < imagen.width(); ++x) {
                const QColor c = imagen.pixelColor(x, y);
                if (c.red() > 150 && c.green() < 80 && c.blue() < 80) {
                    return true;
                }
            }
        }
        return false;
    }

private slots:
    void init() {
        dialogosPropios = std::make_unique<test::DialogosGrabados>();
        visorPropio = std::make_unique<VisorGrabado>();
    }

    void showsTheClientSourceWithItsControlsAndTheStoredTemplate() {
        clientes();
        FrmConfiguracion w(*contexto, "FACTURAS", *dialogosPropios, visorPropio.get(), &sonda);
        QAbstractItemModelTester tester(modelo(w),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        w.show();
        QCOMPARE(w.windowTitle(), QStringLiteral(" Comunicaciones masivas"));
        QCOMPARE(de<QTabWidget>(w, "SSTab1")->count(), 2);
        QCOMPARE(de<QTabWidget>(w, "SSTab1")->tabText(0), QStringLiteral("  Mensaje de aviso"));
        QCOMPARE(de<QTabWidget>(w, "SSTab1")->tabText(1), QStringLiteral("  Direcciones e-mail  "));
        QCOMPARE(de<QLabel>(w, "Label9")->text(), QStringLiteral("Clientes con e-mail"));
        QVERIFY(de<QLabel>(w, "lbl")->text().startsWith(
            QStringLiteral("Puede seleccionar grupos de clientes")));
        QVERIFY(de<gui::CuadroXP>(w, "P2")->isVisible());
        QVERIFY(de<QLineEdit>(w, "txtFiltro")->text().isEmpty());
        QCOMPARE(modelo(w)->rowCount(), 4);
        QCOMPARE(modelo(w)->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Destinatario"));
        QCOMPARE(modelo(w)->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Email"));
        QCOMPARE(modelo(w)->index(0, 0).data().toString(), QStringLiteral("00001 Uno"));
        QCOMPARE(modelo(w)->index(0, 1).data().toString(), QStringLiteral("uno@ejemplo.es"));
        QVERIFY(marcas(w) == std::vector<bool>(4, false));
        QCOMPARE(de<QLineEdit>(w, "txtAsuntoAviso")->text(), QStringLiteral("Asunto guardado"));
        QCOMPARE(de<QPlainTextEdit>(w, "txtMensajeAviso")->toPlainText(),
                 QStringLiteral("Uno\nDos"));
        QVERIFY(de<QCheckBox>(w, "Check1")->isChecked());
        QCOMPARE(de<QLabel>(w, "lbl_cmd_0")->text(), QStringLiteral("Enviar"));
        QCOMPARE(de<QLabel>(w, "lbl_cmd_1")->text(), QStringLiteral("Salir"));
        // Each link's picture is the one the other windows give that command: Salir is the door.
        QCOMPARE(iconoDelEnlace(w, 0), gui::arte::iconoEnlace(0).pixmap(16, 16).toImage());
        QCOMPARE(iconoDelEnlace(w, 1), gui::arte::iconoEnlace(4).pixmap(16, 16).toImage());
        // The header carries the logo, inside the band and painted (its red PDF strip).
        auto* logo = w.findChild<QWidget*>(QStringLiteral("logo"));
        QVERIFY(logo != nullptr && logo->isVisible());
        QVERIFY(w.findChild<QWidget*>(QStringLiteral("PicCabeza"))
                    ->geometry()
                    .contains(logo->geometry()));
        QVERIFY(pintaRojo(logo->grab().toImage()));
        QCOMPARE(de<QAction>(w, "MnuTodos")->text(), QStringLiteral("Marcar todos"));
        QCOMPARE(de<QAction>(w, "MnuNinguno")->text(), QStringLiteral("Desmarcar todos"));
        QCOMPARE(de<QAction>(w, "MnuInvertir")->text(), QStringLiteral("Invertir selección"));
    }

    void theMenuAndTheCheckBoxesChangeTheChecks() {
        clientes();
        FrmConfiguracion w(*contexto, "FACTURAS", *dialogosPropios, visorPropio.get(), &sonda);
        QAbstractItemModelTester tester(modelo(w),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        w.show();
        QVERIFY(modelo(w)->setData(modelo(w)->index(0, 0), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(modelo(w)->setData(modelo(w)->index(2, 0), Qt::Checked, Qt::CheckStateRole));
        de<QAction>(w, "MnuInvertir")->trigger();
        QVERIFY((marcas(w) == std::vector<bool>{false, true, false, true}));
        de<QAction>(w, "MnuTodos")->trigger();
        QVERIFY(marcas(w) == std::vector<bool>(4, true));
        de<QAction>(w, "MnuNinguno")->trigger();
        QVERIFY(marcas(w) == std::vector<bool>(4, false));
    }

    void headerClicksToggleTheSortOrder() {
        clientes();
        FrmConfiguracion w(*contexto, "FACTURAS", *dialogosPropios, visorPropio.get(), &sonda);
        QAbstractItemModelTester tester(modelo(w),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        w.show();
        de<QTabWidget>(w, "SSTab1")->setCurrentIndex(1);
        QHeaderView* h = lista(w)->header();
        const auto clic = [h](int seccion) {
            QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                              QPoint(h->sectionViewportPosition(seccion) + 5, h->height() / 2));
        };
        clic(1);
        QCOMPARE(modelo(w)->index(0, 1).data().toString(), QStringLiteral("cuatro@ejemplo.es"));
        clic(1);
        QCOMPARE(modelo(w)->index(0, 1).data().toString(), QStringLiteral("uno@ejemplo.es"));
        clic(0); // the order toggles back to ascending, on the other column
        QCOMPARE(modelo(w)->index(0, 0).data().toString(), QStringLiteral("00001 Uno"));
        QCOMPARE(h->sortIndicatorOrder(), Qt::AscendingOrder);
        QCOMPARE(h->sortIndicatorSection(), 0);
    }

    void theRightButtonOpensTheMenuUnderThePointer() {
        clientes();
        FrmConfiguracion w(*contexto, "FACTURAS", *dialogosPropios, visorPropio.get(), &sonda);
        w.show();
        de<QTabWidget>(w, "SSTab1")->setCurrentIndex(1);
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QPoint enLista(40, 30);
        const QPoint esperado = lista(w)->mapTo(&w, enLista);
        const QPoint punto = control<gui::PaginaDestinatarios>(w, {})->puntoMenu(enLista);
        QVERIFY((punto - esperado).manhattanLength() <= 3);
    }

    void foldingP1MovesP2UnderIt() {
        clientes();
        FrmConfiguracion w(*contexto, "FACTURAS", *dialogosPropios, visorPropio.get(), &sonda);
        w.show();
        de<gui::CuadroXP>(w, "P1")->Minimize();
        const int esperado =
            gui::aPixeles(gui::aTwips(de<gui::CuadroXP>(w, "P1")->y(), &w) +
                              gui::aTwips(de<gui::CuadroXP>(w, "P1")->height(), &w) + 100,
                          &w);
        QCOMPARE(de<gui::CuadroXP>(w, "P2")->y(), esperado);
        QVERIFY(de<gui::CuadroXP>(w, "P2")->y() <
                de<gui::CuadroXP>(w, "P1")->y() + gui::aPixeles(1215, &w));
    }

    void payrollWithoutAnAlternativeSourceShowsAnEmptyListAndNoFilter() {
        suitegen::DescripcionSuite d;
        d.nomina = true;
        d.empleados = {{42, "Pérez"}};
        suite(d);
        FrmConfiguracion w(*contexto, "NOMINAS", *dialogosPropios, visorPropio.get(), &sonda);
        w.show();
        QVERIFY(!de<gui::CuadroXP>(w, "P2")->isVisible());
        QCOMPARE(modelo(w)->rowCount(), 0);
    }

    void escSetsTheFlagAndClosingSavesTheTemplate() {
        clientes();
        FrmConfiguracion w(*contexto, "FACTURAS", *dialogosPropios, visorPropio.get(), &sonda);
        w.show();
        QTest::keyClick(&w, Qt::Key_Escape);
        QVERIFY(w.blnCancelar());
        QVERIFY(w.isVisible());
        de<QLineEdit>(w, "txtAsuntoAviso")->setText(QStringLiteral("Nuevo asunto"));
        de<QPlainTextEdit>(w, "txtMensajeAviso")->setPlainText(QStringLiteral("Línea 1\nLínea 2"));
        de<QCheckBox>(w, "Check1")->setChecked(false);
        EscribirIni(*folder / "KRN.INI", "servidor", "Servidor", "otro.ejemplo.es");
        pulsarEnlace(w, 1);
        QVERIFY(!w.isVisible());
        const auto p = masivo::CargarPlantillaAviso(*folder / "KRN.INI");
        QVERIFY((p == masivo::PlantillaAviso{"Nuevo asunto", "Línea 1\r\nLínea 2", false}));
        QCOMPARE(
            QString::fromStdString(LeerIni(*folder / "KRN.INI", "AvisoPORemail", "TipoMotor", "")),
            QStringLiteral("MAPI"));
        QCOMPARE(QString::fromStdString(contexto->correo().servidor),
                 QStringLiteral("otro.ejemplo.es"));
    }

    void enviarRunsOnAWorkerAndTheReportOpensOnTheWindowsThread() {
        clientes();
        FrmConfiguracion w(*contexto, "FACTURAS", *dialogosPropios, visorPropio.get(), &sonda);
        w.show();
        QTest::keyClicks(de<QLineEdit>(w, "txtFiltro"), QStringLiteral("12"));
        de<QLineEdit>(w, "txtAsuntoAviso")->setText(QStringLiteral("Desde la ventana"));
        dialogosPropios->responder(Respuesta::Si);
        QSignalSpy terminado(&w, &FrmConfiguracion::envioTerminado);
        pulsarEnlace(w, 0);
        QVERIFY(w.enviando());
        QVERIFY(terminado.wait(20000));
        QVERIFY(!w.enviando());
        QVERIFY(w.ultimoResultado());
        QCOMPARE(w.ultimoResultado()->enviados, 2);
        const auto messages = server->messages();
        QCOMPARE(messages.size(), std::size_t{2});
        QCOMPARE(QString::fromStdString(messages[0].recipients.front()),
                 QStringLiteral("uno@ejemplo.es"));
        QCOMPARE(QString::fromStdString(messages[1].recipients.front()),
                 QStringLiteral("cuatro@ejemplo.es"));
        QVERIFY(messages[0].raw.find("Subject: Desde la ventana") != std::string::npos);
        QVERIFY(messages[0].raw.find("Uno\r\nDos") != std::string::npos);
        QCOMPARE(visorPropio->solicitudes.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(visorPropio->solicitudes[0].TituloInforme),
                 QStringLiteral("Comunicaciones masivas"));
        QVERIFY(visorPropio->enHiloDeVentana);
        QCOMPARE(QString::fromStdString(dialogosPropios->cuadros().back().texto),
                 QStringLiteral("Proceso concluido\r\n2 enviados.\r\n0 no enviados."));
        // The template was saved before the run.
        QCOMPARE(QString::fromStdString(
                     LeerIni(*folder / "KRN.INI", "AvisoPORemail", "AsuntoAviso", "")),
                 QStringLiteral("Desde la ventana"));
    }

    void closingDuringARunWaitsForItAndThenSaves() {
        clientes();
        FrmConfiguracion w(*contexto, "FACTURAS", *dialogosPropios, visorPropio.get(), &sonda);
        w.show();
        for (int fila = 0; fila < 3; ++fila) {
            modelo(w)->setData(modelo(w)->index(fila, 0), Qt::Checked, Qt::CheckStateRole);
        }
        de<QLineEdit>(w, "txtAsuntoAviso")->setText(QStringLiteral("Cerrado a media"));
        // The confirmation stays on screen while the window is closed; then the user says Yes.
        dialogosPropios->retener(true);
        dialogosPropios->responder(Respuesta::Si);
        QSignalSpy terminado(&w, &FrmConfiguracion::envioTerminado);
        w.ejecutarEnlace(0);
        w.ejecutarEnlace(0); // a second run never starts while one is under way
        QTRY_COMPARE(dialogosPropios->cuadros().size(), std::size_t{1});
        w.ejecutarEnlace(1);
        QVERIFY(w.isVisible());
        QVERIFY(w.blnCancelar());
        dialogosPropios->retener(false);
        QVERIFY(terminado.wait(20000));
        QCOMPARE(terminado.count(), 1);
        QTRY_VERIFY(!w.isVisible());
        // The run stopped before its first recipient and still ended as a run does.
        QCOMPARE(server->messages().size(), std::size_t{0});
        QCOMPARE(QString::fromStdString(dialogosPropios->cuadros().back().texto),
                 QStringLiteral("Proceso concluido\r\n0 enviados.\r\n0 no enviados."));
        QCOMPARE(QString::fromStdString(
                     LeerIni(*folder / "KRN.INI", "AvisoPORemail", "AsuntoAviso", "")),
                 QStringLiteral("Cerrado a media"));
    }

    void theOpenerReturnsOnceSalirHasClosedTheWindow() {
        clientes();
        QTimer::singleShot(0, [] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* f = qobject_cast<FrmConfiguracion*>(w); f && f->isVisible()) {
                    f->ejecutarEnlace(1);
                }
            }
        });
        QCOMPARE(gui::abrirFrmConfiguracion(nullptr, *contexto, "FACTURAS", *dialogosPropios),
                 int(QDialog::Accepted));
    }
};

QTEST_MAIN(FrmConfiguracionTest)
#include "FrmConfiguracionTest.moc"
