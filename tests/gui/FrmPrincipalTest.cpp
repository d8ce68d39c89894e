// The main window's wiring, offscreen, over a generated suite: each control reaches the core's
// screen and shows what it says. The rules themselves (what a tab, a header or a tick does to the
// list) are the core's and tested there.
#include "gui/FrmPrincipal.h"

#include "ControlPorNombre.h"
#include "DialogosGrabados.h"
#include "GeneradorSuite.h"
#include "RelojFijo.h"
#include "ShellGrabado.h"
#include "TemporaryFolder.h"
#include "gui/CuadroXP.h"
#include "gui/DialogosQt.h"
#include "gui/EnlacesComando.h"
#include "settings/IniFile.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QToolTip>
#include <QTreeView>
#include <QtTest>
#include <filesystem>
#include <thread>

using namespace envio;
using envio::gui::FrmPrincipal;
using test::control;

namespace {

using test::ShellGrabado;

// A small invoicing suite in March 2026: four documents this month (one already sent, one for a
// client without an address), one in February and one in March 2025.
suitegen::DescripcionSuite suiteFacturas() {
    suitegen::DescripcionSuite d;
    d.formato = suitegen::Formato::Sqlite;
    const auto cliente = [](long long id, std::string nombre, std::optional<std::string> email) {
        suitegen::Cliente c;
        c.id = id;
        c.nombre = std::move(nombre);
        if (email) {
            c.telefonos.push_back({"E", email, 1});
        }
        return c;
    };
    d.clientes = {cliente(1, "Ana Pérez", "ana@ejemplo.es"),
                  cliente(2, "Bodegas del Sur", "pedidos@bodegassur.es"),
                  cliente(3, "Carlos Ruiz", std::nullopt),
                  cliente(4, "Distribuciones Acme", "acme@acme.es")};
    const auto factura = [](long long c, int anio, int mes, int dia, long long n, bool enviado,
                            std::size_t tamano) {
        return suitegen::Documento{suitegen::nombreFactura(c, anio, mes, dia, n, enviado),
                                   std::to_string(anio), tamano};
    };
    d.documentos = {
        factura(1, 2026, 3, 5, 101, false, 3072),   factura(2, 2026, 3, 12, 102, false, 2048),
        factura(3, 2026, 3, 20, 103, false, 10240), factura(4, 2026, 3, 2, 104, true, 1536),
        factura(1, 2026, 2, 10, 95, false, 2048),   factura(2, 2025, 3, 7, 50, false, 2048)};
    return d;
}

struct Mundo {
    explicit Mundo(const suitegen::DescripcionSuite& d = suiteFacturas())
        : suite(suitegen::generarSuite(carpeta.path(), d)) {}

    bool abrir() {
        ventana = gui::abrirPrincipal(CarpetaPrograma(carpeta.path()), dialogos, shell, reloj);
        if (ventana) {
            tester = std::make_unique<QAbstractItemModelTester>(
                modelo(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        }
        return ventana != nullptr;
    }
    bool mostrar() {
        ventana->show();
        return QTest::qWaitForWindowExposed(ventana.get());
    }

    // The controls, by the names the program has always given them.
    template <typename T = QWidget> [[nodiscard]] T* de(const char* nombre) const {
        return control<T>(*ventana, QLatin1String(nombre));
    }
    [[nodiscard]] QTreeView* lv() const { return de<QTreeView>("Lv"); }
    [[nodiscard]] QAbstractItemModel* modelo() const { return lv()->model(); }
    [[nodiscard]] QLineEdit* busqueda() const { return de<QLineEdit>("txtBusqueda"); }
    [[nodiscard]] QTabBar* meses() const { return de<QTabBar>("TabMeses"); }
    [[nodiscard]] QTabBar* anios() const { return de<QTabBar>("TabAnos"); }
    [[nodiscard]] QComboBox* tipos() const { return de<QComboBox>("Combo1"); }
    [[nodiscard]] QMenu* menu() const { return de<QMenu>("MnuCabeza"); }
    [[nodiscard]] QAction* entrada(const char* nombre) const {
        return control<QAction>(*menu(), QLatin1String(nombre));
    }
    [[nodiscard]] QString etiqueta(const char* nombre) const { return de<QLabel>(nombre)->text(); }
    [[nodiscard]] gui::EnlaceComando* enlace(int indice) const {
        return control<gui::EnlaceComando>(*ventana, QStringLiteral("lbl_cmd_%1").arg(indice));
    }

    [[nodiscard]] int filas() const { return modelo()->rowCount(); }
    [[nodiscard]] QString texto(int fila, int columna = 0) const {
        return modelo()->index(fila, columna).data().toString();
    }
    [[nodiscard]] QStringList columna(int c) const {
        QStringList out;
        for (int i = 0; i < filas(); ++i) {
            out << texto(i, c);
        }
        return out;
    }
    [[nodiscard]] bool marcada(int fila) const {
        return modelo()->index(fila, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked;
    }
    [[nodiscard]] int marcadas() const {
        int n = 0;
        for (int i = 0; i < filas(); ++i) {
            n += marcada(i) ? 1 : 0;
        }
        return n;
    }
    void marcar(int fila) const {
        modelo()->setData(modelo()->index(fila, 0), Qt::Checked, Qt::CheckStateRole);
    }
    [[nodiscard]] int filaDe(const QString& prefijo) const {
        for (int i = 0; i < filas(); ++i) {
            if (texto(i).startsWith(prefijo)) {
                return i;
            }
        }
        return -1;
    }
    [[nodiscard]] QImage icono(int fila) const {
        const auto icono = modelo()->index(fila, 0).data(Qt::DecorationRole).value<QIcon>();
        return icono.pixmap(16).toImage();
    }
    void pulsarEnlace(int indice) const { QTest::mouseClick(enlace(indice), Qt::LeftButton); }
    static void pulsarPestana(QTabBar* barra, int indice) {
        QTest::mouseClick(barra, Qt::LeftButton, {}, barra->tabRect(indice).center());
    }
    void pulsarCabecera(int columna) const {
        QHeaderView* h = lv()->header();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                          QPoint(h->sectionViewportPosition(columna) + 10, h->height() / 2));
    }
    [[nodiscard]] QPoint centroFila(int fila) const {
        return lv()->visualRect(modelo()->index(fila, 1)).center();
    }

    test::TemporaryFolder carpeta;
    suitegen::SuiteGenerada suite;
    test::DialogosGrabados dialogos;
    ShellGrabado shell;
    test::RelojFijo reloj{Fecha{2026, 3, 15}};
    std::unique_ptr<FrmPrincipal> ventana;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

// Answers the next message box from inside its own event loop, noting what it showed.
struct CajaVista {
    QString texto;
    QString titulo;
    QMessageBox::Icon icono = QMessageBox::NoIcon;
    QWidget* padre = nullptr;
    QStringList botones;
};
void contestarCaja(QTimer& contestador, CajaVista& vista, QMessageBox::StandardButton boton,
                   const std::function<void()>& antes = {}) {
    QObject::connect(
        &contestador, &QTimer::timeout, &contestador, [&contestador, &vista, boton, antes] {
            auto* caja = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (caja == nullptr || !caja->isVisible()) {
                return;
            }
            contestador.stop();
            if (antes) {
                antes();
            }
            vista = {caja->text(), caja->windowTitle(), caja->icon(), caja->parentWidget(), {}};
            for (auto* b : caja->buttons()) {
                vista.botones << b->text();
            }
            auto* pulsar =
                boton == QMessageBox::NoButton ? caja->buttons().front() : caja->button(boton);
            pulsar->click();
        });
    contestador.start(10);
}

} // namespace

class FrmPrincipalTest : public QObject {
    Q_OBJECT
private slots:
    // Start-up -------------------------------------------------------------------------------

    void opensOnTheDatesYearAndMonthWithTheInvoices() {
        Mundo m;
        QVERIFY(m.abrir());
        QVERIFY(m.dialogos.cuadros().empty());
        QCOMPARE(m.ventana->windowTitle(), QStringLiteral("Envío de documentos por e-mail"));
        QCOMPARE(m.anios()->count(), 5); // the years themselves: ContextoAnfitrionTest
        QCOMPARE(m.anios()->tabText(m.anios()->currentIndex()), QStringLiteral("2026"));
        QCOMPARE(m.meses()->count(), 13);
        QCOMPARE(m.meses()->tabText(12), QStringLiteral("TODOS"));
        QCOMPARE(m.meses()->tabText(m.meses()->currentIndex()), QStringLiteral("MAR"));
        QCOMPARE(m.tipos()->currentText(), QStringLiteral("FACTURAS"));
        QVERIFY(m.tipos()->isHidden());
        QCOMPARE(m.filas(), 4);
        QCOMPARE(m.etiqueta("lblCuenta"), QStringLiteral("Nº de documentos:  4"));
        QCOMPARE(m.etiqueta("lblFacSel"), QStringLiteral("Documentos seleccionadas: 0"));
        QCOMPARE(m.etiqueta("lblDetalle"), QStringLiteral("Documentos"));
        // Pending and sent rows carry different icons; the sent one is Acme's.
        const int acme = m.filaDe(QStringLiteral("00004"));
        const int ana = m.filaDe(QStringLiteral("00001"));
        QVERIFY(acme >= 0 && ana >= 0);
        QVERIFY(m.icono(acme) != m.icono(ana));
        QCOMPARE(m.texto(ana, 1), QStringLiteral("ana@ejemplo.es"));
        QCOMPARE(m.texto(ana, 2), QStringLiteral("05/03/2026"));
        QCOMPARE(m.texto(ana, 4), QStringLiteral(" 3 KB"));
        QVERIFY(m.lv()->isColumnHidden(5));
        QStringList titulos;
        for (int c = 0; c < 6; ++c) {
            titulos << m.modelo()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        }
        QCOMPARE(titulos, QStringList({"Destinatario", "Email", "Periodo", "Documento", "Tamaño",
                                       "YYYYMMDD"}));
    }

    void payrollShowsItsTypesAndChoosingOneListsItsFolder() {
        suitegen::DescripcionSuite d;
        d.formato = suitegen::Formato::Sqlite;
        d.nomina = true;
        d.empleados = {{7, "Elena Gómez"}, {8, "Luis Martín"}};
        d.documentos = {
            {suitegen::nombreNomina(7, 2026, 3, 'M', "12345678Z"), "NOMINAS", 2048},
            {suitegen::nombreNomina(8, 2026, 3, 'A', "87654321X"), "NOMINAS", 2048},
            {suitegen::nombreNomina(7, 2026, 3, 'M', "12345678Z"), "CERTIFICADOS", 2048}};
        Mundo m(d);
        QVERIFY(m.abrir());
        QCOMPARE(m.tipos()->count(), 6); // the types themselves: ContextoAnfitrionTest
        QCOMPARE(m.tipos()->currentText(), QStringLiteral("NOMINAS"));
        QVERIFY(!m.tipos()->isHidden());
        QCOMPARE(m.filas(), 2);
        QVERIFY(m.mostrar());
        m.tipos()->setCurrentIndex(1);
        emit m.tipos()->activated(1);
        QCOMPARE(m.filas(), 1);
        QVERIFY(m.texto(0).startsWith(QStringLiteral("0000007 ELENA")));
    }

    void withoutTheHostSuiteNoWindowOpens() {
        test::TemporaryFolder vacia;
        test::DialogosGrabados dialogos;
        ShellGrabado shell;
        const test::RelojFijo reloj(Fecha{2026, 3, 15});
        const auto ventana =
            gui::abrirPrincipal(CarpetaPrograma(vacia.path()), dialogos, shell, reloj);
        QVERIFY(ventana == nullptr);
        QCOMPARE(dialogos.cuadros().size(), std::size_t{2}); // their texts: ContextoAnfitrionTest
        for (QWidget* w : QApplication::topLevelWidgets()) {
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
        }
    }

    void theStatusBarNamesTheDriveUsed() {
        Mundo m;
        EscribirIni(m.carpeta / "KRN.INI", "Facturación", "BaseDatos", "d:\\datos\\gestion.mdb");
        QVERIFY(m.abrir());
        QCOMPARE(m.filas(), 4);
        const auto* unidades = control<QLabel>(*m.de<QStatusBar>("StatusBar1"), "lblUnidades");
        QCOMPARE(unidades->text(), QStringLiteral("Unidades: D: → %1 (deducida)  ")
                                       .arg(QString::fromStdString(m.carpeta.path().string())));
    }

    // Real message boxes -----------------------------------------------------------------------

    void aWorkersQuestionShowsOverTheWindowAndWaitsForTheAnswer() {
        QWidget propietario;
        propietario.show();
        gui::DialogosQt dialogos(&propietario);
        std::atomic<bool> terminado{false};
        Respuesta respuesta = Respuesta::Aceptar;
        std::thread hilo([&] {
            respuesta = dialogos.mostrar({"¿Desea eliminar los elementos marcados con el check?",
                                          "Aviso", Icono::Pregunta, Botones::SiNo});
            terminado = true;
        });
        bool esperaba = false;
        CajaVista vista;
        QTimer contestador;
        contestarCaja(contestador, vista, QMessageBox::Yes, [&] { esperaba = !terminado; });
        QTRY_VERIFY(terminado.load());
        hilo.join();
        QCOMPARE(respuesta, Respuesta::Si);
        QVERIFY(esperaba); // the worker waited for the answer
        QCOMPARE(vista.texto,
                 QStringLiteral("¿Desea eliminar los elementos marcados con el check?"));
        QCOMPARE(vista.titulo, QStringLiteral("Aviso"));
        QCOMPARE(vista.icono, QMessageBox::Question);
        QCOMPARE(vista.padre, &propietario);
        vista.botones.sort();
        QCOMPARE(vista.botones, QStringList({"&No", "&Sí"}));
    }

    void aNoticeOnTheWindowsThreadHasItsIconAndAceptar() {
        gui::DialogosQt dialogos;
        CajaVista vista;
        QTimer contestador;
        contestarCaja(contestador, vista, QMessageBox::NoButton);
        const Respuesta r = dialogos.mostrar(
            {"Ruta de la BBDD no configurada", "Aviso", Icono::Critico, Botones::Aceptar});
        QCOMPARE(r, Respuesta::Aceptar);
        QCOMPARE(vista.texto, QStringLiteral("Ruta de la BBDD no configurada"));
        QCOMPARE(vista.icono, QMessageBox::Critical);
        QCOMPARE(vista.botones, QStringList({"Aceptar"}));
    }

    // Tabs, type and search --------------------------------------------------------------------

    void theTabsAndTheSearchBoxReachTheScreen() {
        Mundo m;
        QVERIFY(m.abrir());
        QVERIFY(m.mostrar());
        QTRY_COMPARE(QApplication::focusWidget(), m.busqueda());
        QTest::keyClicks(m.busqueda(), QStringLiteral("ana"));
        QCOMPARE(m.filas(), 1);
        Mundo::pulsarPestana(m.meses(), 1); // FEB: the screen emptied the search, the box shows it
        QCOMPARE(m.busqueda()->text(), QString());
        QCOMPARE(m.columna(3), QStringList({"000095"}));
        // Clicking the tab already shown starts it afresh as well.
        QTest::keyClicks(m.busqueda(), QStringLiteral("zz"));
        QCOMPARE(m.filas(), 0);
        Mundo::pulsarPestana(m.meses(), 1);
        QCOMPARE(m.filas(), 1);
        Mundo::pulsarPestana(m.anios(), 1); // 2025, still February
        QCOMPARE(m.filas(), 0);
        Mundo::pulsarPestana(m.meses(), 2); // March 2025
        QCOMPARE(m.columna(3), QStringList({"000050"}));
        QCOMPARE(m.etiqueta("lblCuenta"), QStringLiteral("Nº de documentos:  1"));
    }

    // Selection and counters ------------------------------------------------------------------

    void selectionLinksMenuAndTicksShowTheScreensCounter() {
        Mundo m;
        QVERIFY(m.abrir());
        QVERIFY(m.mostrar());
        m.pulsarEnlace(9); // Documentos con email
        QCOMPARE(m.marcadas(), 3);
        QCOMPARE(m.etiqueta("lblFacSel"), QStringLiteral("documentos selecionados: 3"));
        m.pulsarEnlace(7);
        QCOMPARE(m.marcadas(), 0);
        m.entrada("MnuSelTodo")->trigger();
        QCOMPARE(m.marcadas(), 4);
        m.entrada("MenuSelInver")->trigger();
        QCOMPARE(m.marcadas(), 0);
        QCOMPARE(m.etiqueta("lblFacSel"), QStringLiteral("documentos selecionados: 0"));

        // Ticking with the mouse counts with the mouse's words, the space bar with the keyboard's.
        QStyleOptionViewItem opcion;
        opcion.initFrom(m.lv());
        opcion.rect = m.lv()->visualRect(m.modelo()->index(0, 0));
        opcion.features |= QStyleOptionViewItem::HasCheckIndicator;
        const QRect casilla =
            m.lv()->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opcion, m.lv());
        QTest::mouseClick(m.lv()->viewport(), Qt::LeftButton, {}, casilla.center());
        QVERIFY(m.marcada(0));
        QCOMPARE(m.etiqueta("lblFacSel"), QStringLiteral("documentos selecionados: 1"));
        m.lv()->setCurrentIndex(m.modelo()->index(2, 3));
        QTest::keyClick(m.lv(), Qt::Key_Space);
        QVERIFY(m.marcada(2));
        QCOMPARE(m.etiqueta("lblFacSel"), QStringLiteral("Facturas seleccionadas: 2"));
    }

    void aHeaderClickSortsShowsTheOrderAndKeepsTheCurrentDocument() {
        Mundo m;
        QVERIFY(m.abrir());
        QVERIFY(m.mostrar());
        QHeaderView* cabecera = m.lv()->header();
        QVERIFY(!cabecera->isSortIndicatorShown());
        m.pulsarCabecera(0);
        QCOMPARE(m.columna(0).first(), QStringLiteral("00001 ANA PÉREZ"));
        QVERIFY(cabecera->isSortIndicatorShown());
        QCOMPARE(cabecera->sortIndicatorSection(), 0);
        QCOMPARE(cabecera->sortIndicatorOrder(), Qt::AscendingOrder);
        m.lv()->setCurrentIndex(m.modelo()->index(3, 0));
        m.pulsarCabecera(0);
        QCOMPARE(m.columna(0).first(), QStringLiteral("00004 DISTRIBUCIONES ACME"));
        QCOMPARE(cabecera->sortIndicatorOrder(), Qt::DescendingOrder);
        // The current row follows its document, in the view and in the screen.
        QCOMPARE(m.lv()->currentIndex().row(), 0);
        QCOMPARE(m.ventana->pantalla().lista().actual(), std::optional<std::size_t>(0));
    }

    // Context menu and document actions --------------------------------------------------------

    void theContextMenuOpensOnlyWithTheRightButton() {
        Mundo m;
        QVERIFY(m.abrir());
        QVERIFY(m.mostrar());
        QMenu* menu = m.menu();
        QCOMPARE(menu->title(), QStringLiteral("Menu"));
        QStringList textos;
        QStringList nombres;
        for (QAction* a : menu->actions()) {
            textos << a->text();
            nombres << a->objectName();
        }
        QCOMPARE(textos,
                 QStringList({"Seleccionar todo", "Deseleccionar todo", "Invertir selección", "",
                              "Enviar documento", "Eliminar documento", "Ver documento", "",
                              "Marcar como pendiente", "Marcar como enviado"}));
        QCOMPARE(nombres, QStringList({"MnuSelTodo", "MnuSelNada", "MenuSelInver", "MnuRaya",
                                       "MnuEnviardoc", "MnuEliminarDoc", "MnuVerDoc", "MnuRaya1",
                                       "MnuPendiente", "MnuEnviada"}));
        QVERIFY(menu->actions()[3]->isSeparator() && menu->actions()[7]->isSeparator());

        QTest::mouseClick(m.lv()->viewport(), Qt::LeftButton, {}, m.centroFila(0));
        QVERIFY(!menu->isVisible());
        QTest::mouseClick(m.lv()->viewport(), Qt::RightButton, {}, m.centroFila(1));
        QTRY_VERIFY(menu->isVisible());
        const QPoint esperado = m.lv()->viewport()->mapToGlobal(m.centroFila(1));
        QVERIFY((menu->pos() - esperado).manhattanLength() <= 2);
        menu->hide();
    }

    void viewMarkAndDeleteReachTheCoreAndTheListShowsTheOutcome() {
        Mundo m;
        QVERIFY(m.abrir());
        QVERIFY(m.mostrar());
        const int ana = m.filaDe(QStringLiteral("00001"));
        QTest::mouseClick(m.lv()->viewport(), Qt::LeftButton, {}, m.centroFila(ana));
        m.pulsarEnlace(2); // "Ver "
        QCOMPARE(m.shell.abiertos.size(), std::size_t{1});
        QCOMPARE(m.shell.abiertos[0].filename().string(),
                 suitegen::nombreFactura(1, 2026, 3, 5, 101));
        QTest::mouseDClick(m.lv()->viewport(), Qt::LeftButton, {}, m.centroFila(ana));
        QCOMPARE(m.shell.abiertos.size(), std::size_t{2});

        // Marked as sent, then pending again: the row keeps its place and its icon follows.
        const QImage pendiente = m.icono(ana);
        m.entrada("MnuEnviada")->trigger();
        QVERIFY(m.icono(ana) != pendiente);
        m.entrada("MnuPendiente")->trigger();
        QVERIFY(m.icono(ana) == pendiente);

        // Deleting asks on a worker thread; No keeps everything.
        const int antes = m.filas();
        m.marcar(ana);
        m.pulsarEnlace(1);
        QTRY_VERIFY(!m.ventana->borrando());
        QCOMPARE(m.dialogos.cuadros().size(), std::size_t{1});
        QCOMPARE(m.filas(), antes);
        // Yes deletes the ticked document and the list and its counters are read again.
        m.dialogos.responder(Respuesta::Si);
        m.entrada("MnuEliminarDoc")->trigger();
        QTRY_VERIFY(!m.ventana->borrando());
        QCOMPARE(m.filas(), antes - 1);
        QCOMPARE(m.filaDe(QStringLiteral("00001")), -1);
        QCOMPARE(m.etiqueta("lblCuenta"), QStringLiteral("Nº de documentos:  %1").arg(antes - 1));
    }

    void duringADeletionTheOtherCommandsWaitAndClosingWaitsForIt() {
        Mundo m;
        QVERIFY(m.abrir());
        QVERIFY(m.mostrar());
        FrmPrincipal& v = *m.ventana;
        const auto carpeta = m.suite.carpetaDocumentos / "2026";
        const int ana = m.filaDe(QStringLiteral("00001"));
        QTest::mouseClick(m.lv()->viewport(), Qt::LeftButton, {}, m.centroFila(ana));
        m.marcar(ana);

        // The question stays unanswered: the deletion is still at work.
        m.dialogos.retener(true);
        m.pulsarEnlace(1);
        QVERIFY(v.borrando());
        QTRY_COMPARE(m.dialogos.cuadros().size(), std::size_t{1});
        QVERIFY(!m.enlace(0)->isEnabled()); // Enviar
        // It looks it: greyed, and no hand under the pointer.
        const QPalette& p = m.enlace(0)->palette();
        QVERIFY(p.color(QPalette::Disabled, QPalette::WindowText) !=
                p.color(QPalette::Active, QPalette::WindowText));
        QCOMPARE(m.enlace(0)->cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(m.enlace(2)->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(!m.enlace(3)->isEnabled()); // Configurar mensaje
        QVERIFY(m.enlace(2)->isEnabled());  // Ver
        QVERIFY(m.enlace(6)->isEnabled());  // Seleccionar todo
        QVERIFY(!m.entrada("MnuEnviada")->isEnabled());
        QSignalSpy enviar(&v, &FrmPrincipal::enviarSolicitado);
        v.ejecutar(Accion::MarcarEnviado);
        QVERIFY(std::filesystem::exists(carpeta / suitegen::nombreFactura(1, 2026, 3, 5, 101)));
        v.ejecutar(Accion::Enviar);
        QCOMPARE(enviar.count(), 0);
        v.close();
        QVERIFY(v.isVisible());

        // Answered No: nothing is deleted, the commands come back, and the window closes.
        m.dialogos.responder(Respuesta::No);
        m.dialogos.retener(false);
        QTRY_VERIFY(!v.isVisible());
        QVERIFY(!v.borrando());
        QVERIFY(m.enlace(0)->isEnabled());
        QCOMPARE(m.enlace(0)->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(std::filesystem::exists(carpeta / suitegen::nombreFactura(1, 2026, 3, 5, 101)));
        QCOMPARE(m.dialogos.cuadros().size(), std::size_t{1});
    }

    void failedRowsShowRedAndAWorkersReportReachesTheWindowsThread() {
        Mundo m;
        QVERIFY(m.abrir());
        FrmPrincipal& v = *m.ventana;
        QVERIFY(!m.modelo()->index(0, 1).data(Qt::ForegroundRole).isValid());
        v.pantalla().lista().fila(0).color = kColorError;
        v.mostrarFilaCambiada(0);
        for (int c = 0; c < 5; ++c) {
            QCOMPARE(m.modelo()->index(0, c).data(Qt::ForegroundRole).value<QColor>(),
                     QColor(255, 0, 0));
        }
        QVERIFY(!m.modelo()->index(1, 0).data(Qt::ForegroundRole).isValid());
        QSignalSpy cambios(m.modelo(), &QAbstractItemModel::dataChanged);
        std::thread hilo([&] { v.mostrarFilaCambiada(1); });
        hilo.join();
        QCOMPARE(cambios.count(), 0);
        QTRY_COMPARE(cambios.count(), 1);
        QCOMPARE(cambios.at(0).at(0).value<QModelIndex>().row(), 1);
    }

    void aCutCellShowsItsWholeTextUnderThePointer() {
        Mundo m;
        QVERIFY(m.abrir());
        QVERIFY(m.mostrar());
        QTreeView* lv = m.lv();
        const QModelIndex tamano = m.modelo()->index(0, 4);
        const QString entero = tamano.data().toString();
        QVERIFY(!entero.isEmpty());
        const auto pasarPorEncima = [&] {
            const QRect celda = lv->visualRect(tamano);
            QHelpEvent ayuda(QEvent::ToolTip, celda.center(),
                             lv->viewport()->mapToGlobal(celda.center()));
            QCoreApplication::sendEvent(lv->viewport(), &ayuda);
        };
        lv->setColumnWidth(4, 12);
        pasarPorEncima();
        QTRY_COMPARE(QToolTip::text(), entero);
        lv->setColumnWidth(4, 400);
        pasarPorEncima();
        QTRY_VERIFY(QToolTip::text().isEmpty());
    }

    // Commands handed to the windows of others -------------------------------------------------

    void theLinksToOtherWindowsSignalAndSalirCloses() {
        Mundo m;
        QVERIFY(m.abrir());
        QVERIFY(m.mostrar());
        FrmPrincipal& v = *m.ventana;
        QSignalSpy enviar(&v, &FrmPrincipal::enviarSolicitado);
        QSignalSpy mensaje(&v, &FrmPrincipal::configurarMensajeSolicitado);
        QSignalSpy masivos(&v, &FrmPrincipal::mensajesMasivosSolicitado);
        QSignalSpy servidor(&v, &FrmPrincipal::configurarServidorSolicitado);
        QSignalSpy historial(&v, &FrmPrincipal::historialSolicitado);
        m.pulsarEnlace(0);
        m.entrada("MnuEnviardoc")->trigger();
        m.pulsarEnlace(3);
        m.pulsarEnlace(5);
        m.pulsarEnlace(11);
        m.pulsarEnlace(12);
        QCOMPARE(enviar.count(), 2);
        QCOMPARE(mensaje.count(), 1);
        QCOMPARE(masivos.count(), 1);
        QCOMPARE(servidor.count(), 1);
        QCOMPARE(historial.count(), 1);
        QStringList titulos;
        for (int i = 0; i < 12; ++i) {
            titulos << m.enlace(i)->text();
        }
        QCOMPARE(titulos,
                 QStringList({"Enviar", "Eliminar ", "Ver ", "Configurar mensaje", "Salir",
                              "Mensajes masivos a usuarios", "Seleccionar todo",
                              "Deseleccionar todo", "Invertir selección", "Documentos con email",
                              "Pendiente de envio", "Configurar servidor"}));
        for (int i = 0; i < 13; ++i) {
            gui::CuadroXP* caja = m.de<gui::CuadroXP>(i >= 6 && i <= 10 ? "P2" : "P1");
            QCOMPARE(m.enlace(i)->parentWidget(), caja);
            const auto* icono = control<QLabel>(*caja, QStringLiteral("Image1_%1").arg(i));
            QVERIFY2(!icono->pixmap().isNull(), qPrintable(QString::number(i)));
        }
        m.pulsarEnlace(4);
        QVERIFY(!v.isVisible());
    }

    void escapeAnywhereInTheWindowSetsTheCancelFlag() {
        Mundo m;
        QVERIFY(m.abrir());
        QVERIFY(m.mostrar());
        FrmPrincipal& v = *m.ventana;
        m.lv()->setFocus();
        QTest::keyClick(m.lv(), Qt::Key_A);
        QVERIFY(!v.blnCancelar().pedida());
        QTest::keyClick(m.lv(), Qt::Key_Escape);
        QVERIFY(v.blnCancelar().pedida());
        v.blnCancelar().limpiar();
        QTest::keyClick(m.busqueda(), Qt::Key_Escape);
        QVERIFY(v.blnCancelar().pedida());
        // Keys of other windows are theirs.
        v.blnCancelar().limpiar();
        QWidget otra;
        otra.show();
        QTest::keyClick(&otra, Qt::Key_Escape);
        QVERIFY(!v.blnCancelar().pedida());
    }

    // Layout ------------------------------------------------------------------------------------

    void theBoxesStackWhenFoldedAndUnfolded() {
        Mundo m;
        QVERIFY(m.abrir());
        QVERIFY(m.mostrar());
        gui::CuadroXP* p1 = m.de<gui::CuadroXP>("P1");
        gui::CuadroXP* p2 = m.de<gui::CuadroXP>("P2");
        gui::CuadroXP* p3 = m.de<gui::CuadroXP>("P3");
        const auto geometrias = [&] {
            return std::vector<QRect>{p1->geometry(), p2->geometry(), p3->geometry()};
        };
        const auto inicial = geometrias();
        const int hueco = p2->y() - p1->geometry().bottom();
        // Each box stands the same gap under the one above, folded or not.
        const auto apilados = [&] {
            return p2->y() - p1->geometry().bottom() == hueco &&
                   p3->y() - p2->geometry().bottom() == hueco && p1->y() == inicial[0].y();
        };
        QTest::mouseClick(p1->botonPlegar(), Qt::LeftButton);
        QCOMPARE(p1->height(), p1->altoCabecera());
        QVERIFY(apilados());
        QTest::mouseClick(p2->botonPlegar(), Qt::LeftButton);
        QVERIFY(apilados());
        QTest::mouseClick(p1->botonDesplegar(), Qt::LeftButton);
        QCOMPARE(p1->geometry(), inicial[0]);
        QVERIFY(apilados());
        QTest::mouseClick(p2->botonDesplegar(), Qt::LeftButton);
        QVERIFY(geometrias() == inicial);
    }

    void theMinimumSizeHoldsAndTheWidthIsShared() {
        Mundo m;
        QVERIFY(m.abrir());
        QVERIFY(m.mostrar());
        FrmPrincipal& v = *m.ventana;
        QWidget* marcoMeses = m.de("marcoMeses");
        QWidget* marcoAnos = m.de("marcoAnos");
        QWidget* banda = m.de("GRADIENTE");
        QTreeView* lv = m.lv();
        QLineEdit* busqueda = m.busqueda();
        const QSize minimo = v.tamanoMinimo();
        v.resize(500, 300);
        QCOMPARE(v.size(), minimo);
        v.setMinimumSize(0, 0); // as a desktop that ignores the hint would
        v.resize(600, 700);
        QCOMPARE(v.size(), QSize(minimo.width(), 700));

        const auto comprobar = [&](int ancho, int alto) {
            v.resize(ancho, alto);
            QCOMPARE(v.size(), QSize(ancho, alto));
            // The frames fill the width beside the side panel, the header's line the whole of it.
            QCOMPARE(marcoMeses->width(), banda->width());
            QCOMPARE(marcoAnos->width(), banda->width());
            QVERIFY(banda->geometry().right() < ancho);
            QVERIFY(m.tipos()->geometry().right() < banda->geometry().right());
            QCOMPARE(m.de("LINEA")->width(), ancho);
            QVERIFY(m.de("logo")->geometry().right() < ancho);
            // The list sits inside the month frame and the search box below it, inside too.
            QVERIFY(marcoMeses->geometry().contains(lv->geometry()));
            QVERIFY(marcoMeses->geometry().contains(busqueda->geometry()));
            QVERIFY(lv->geometry().bottom() < busqueda->y());
            QCOMPARE(lv->width(), busqueda->width());
            QCOMPARE(marcoAnos->geometry().bottom(), m.de("StatusBar1")->y() - 1);
            // Columns 1 and 2 share what the fixed ones leave; 6 stays hidden.
            QCOMPARE(lv->columnWidth(0), lv->columnWidth(1));
            QVERIFY(lv->isColumnHidden(5));
        };
        comprobar(minimo.width(), minimo.height());
        const int estrecha = lv->columnWidth(0);
        const std::vector<int> fijas{lv->columnWidth(2), lv->columnWidth(3), lv->columnWidth(4)};
        comprobar(1100, 700);
        QVERIFY(lv->columnWidth(0) > estrecha);
        comprobar(1280, 800);
        QCOMPARE((std::vector<int>{lv->columnWidth(2), lv->columnWidth(3), lv->columnWidth(4)}),
                 fijas);
    }

    void thePointerLightsOneLinkOnly() {
        Mundo m;
        QVERIFY(m.abrir());
        QVERIFY(m.mostrar());
        const auto enlaces = m.ventana->findChildren<gui::EnlaceComando*>();
        QCOMPARE(enlaces.size(), 13);
        // The lit links; a link that is bold without underline, or the reverse, shows as -1.
        const auto resaltados = [&] {
            QList<int> out;
            for (auto* e : enlaces) {
                if (e->font().underline() != e->font().bold()) {
                    out << -1;
                } else if (e->resaltado()) {
                    out << e->indice();
                }
            }
            return out;
        };
        QCOMPARE(resaltados(), QList<int>());
        QTest::mouseMove(m.enlace(0), QPoint(5, 5));
        QTRY_COMPARE(resaltados(), QList<int>({0}));
        QTest::mouseMove(m.enlace(11), QPoint(6, 5));
        QTRY_COMPARE(resaltados(), QList<int>({11}));
        QTest::mouseMove(m.enlace(8), QPoint(7, 4));
        QTRY_COMPARE(resaltados(), QList<int>({8}));
        // An empty area leaves the last link lit.
        QTest::mouseMove(m.lv()->viewport(), QPoint(300, 200));
        QTest::qWait(20);
        QCOMPARE(resaltados(), QList<int>({8}));
        const QFont f = m.enlace(1)->font();
        QVERIFY(!f.underline() && !f.bold());
    }
};

QTEST_MAIN(FrmPrincipalTest)
#include "FrmPrincipalTest.moc"
