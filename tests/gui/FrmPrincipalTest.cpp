#include "gui/FrmPrincipal.h"

#include "DialogosGrabados.h"
#include "GeneradorSuite.h"
#include "RelojFijo.h"
#include "ShellGrabado.h"
#include "TemporaryFolder.h"
#include "gui/CuadroXP.h"
#include "gui/DialogosQt.h"
#include "gui/EnlacesComando.h"
#include "gui/ModeloDocumentos.h"
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
#include <QtTest>
#include <filesystem>
#include <thread>

using namespace envio;
using envio::gui::FrmPrincipal;

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
                ventana->modelo(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        }
        return ventana != nullptr;
    }
    bool mostrar() {
        ventana->show();
        return QTest::qWaitForWindowExposed(ventana.get());
    }

    [[nodiscard]] int filas() const { return ventana->modelo()->rowCount(); }
    [[nodiscard]] QString texto(int fila, int columna = 0) const {
        return ventana->modelo()->index(fila, columna).data().toString();
    }
    [[nodiscard]] QStringList columna(int c) const {
        QStringList out;
        for (int i = 0; i < filas(); ++i) {
            out << texto(i, c);
        }
        return out;
    }
    [[nodiscard]] bool marcada(int fila) const {
        return ventana->modelo()->index(fila, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked;
    }
    [[nodiscard]] int marcadas() const {
        int n = 0;
        for (int i = 0; i < filas(); ++i) {
            n += marcada(i) ? 1 : 0;
        }
        return n;
    }
    [[nodiscard]] int filaDe(const QString& prefijo) const {
        for (int i = 0; i < filas(); ++i) {
            if (texto(i).startsWith(prefijo)) {
                return i;
            }
        }
        return -1;
    }
    void pulsarEnlace(int indice) const {
        QTest::mouseClick(ventana->lbl_cmd()->enlace(indice), Qt::LeftButton);
    }
    void pulsarPestana(QTabBar* barra, int indice) const {
        QTest::mouseClick(barra, Qt::LeftButton, {}, barra->tabRect(indice).center());
    }
    void pulsarCabecera(int columna) const {
        QHeaderView* h = ventana->Lv()->header();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                          QPoint(h->sectionViewportPosition(columna) + 10, h->height() / 2));
    }
    [[nodiscard]] QPoint centroFila(int fila) const {
        return ventana->Lv()->visualRect(ventana->modelo()->index(fila, 1)).center();
    }

    test::TemporaryFolder carpeta;
    suitegen::SuiteGenerada suite;
    test::DialogosGrabados dialogos;
    ShellGrabado shell;
    test::RelojFijo reloj{Fecha{2026, 3, 15}};
    std::unique_ptr<FrmPrincipal> ventana;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

} // namespace

class FrmPrincipalTest : public QObject {
    Q_OBJECT
private slots:
    // Start-up -------------------------------------------------------------------------------

    void arrancaEnFacturasConElMesYLosAniosDeLaFecha() {
        Mundo m;
        QVERIFY(m.abrir());
        QVERIFY(m.dialogos.cuadros().empty());
        FrmPrincipal& v = *m.ventana;
        QCOMPARE(v.windowTitle(), QStringLiteral("Envío de documentos por e-mail"));
        QStringList anios;
        for (int i = 0; i < v.TabAnos()->count(); ++i) {
            anios << v.TabAnos()->tabText(i);
        }
        QCOMPARE(anios, QStringList({"2026", "2025", "2024", "2023", "2022"}));
        QCOMPARE(v.TabAnos()->currentIndex(), 0);
        QCOMPARE(v.TabMeses()->count(), 13);
        QCOMPARE(v.TabMeses()->tabText(12), QStringLiteral("TODOS"));
        QCOMPARE(v.TabMeses()->currentIndex(), 2);
        QCOMPARE(v.TabMeses()->tabText(2), QStringLiteral("MAR"));
        QCOMPARE(v.Combo1()->count(), 1);
        QCOMPARE(v.Combo1()->currentText(), QStringLiteral("FACTURAS"));
        QVERIFY(v.Combo1()->isHidden());
        QCOMPARE(m.filas(), 4);
        QCOMPARE(v.lblCuenta()->text(), QStringLiteral("Nº de documentos:  4"));
        QCOMPARE(v.lblFacSel()->text(), QStringLiteral("Documentos seleccionadas: 0"));
        QCOMPARE(v.lblDetalle()->text(), QStringLiteral("Documentos"));
        QCOMPARE(m.marcadas(), 0);
        // Pending and sent rows carry different icons; the sent one is Acme's.
        const int acme = m.filaDe(QStringLiteral("00004"));
        const int ana = m.filaDe(QStringLiteral("00001"));
        QVERIFY(acme >= 0 && ana >= 0);
        const auto icono = [&](int fila) {
            return v.modelo()
                ->index(fila, 0)
                .data(Qt::DecorationRole)
                .value<QIcon>()
                .pixmap(16)
                .toImage();
        };
        QVERIFY(icono(acme) != icono(ana));
        QCOMPARE(m.texto(ana, 1), QStringLiteral("ana@ejemplo.es"));
        QCOMPARE(m.texto(ana, 2), QStringLiteral("05/03/2026"));
        QCOMPARE(m.texto(ana, 4), QStringLiteral(" 3 KB"));
        QVERIFY(v.Lv()->isColumnHidden(5));
        QStringList titulos;
        for (int c = 0; c < 6; ++c) {
            titulos << v.modelo()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        }
        QCOMPARE(titulos, QStringList({"Destinatario", "Email", "Periodo", "Documento", "Tamaño",
                                       "YYYYMMDD"}));
    }

    void arrancaEnNominaConLosSeisTipos() {
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
        FrmPrincipal& v = *m.ventana;
        QStringList tipos;
        for (int i = 0; i < v.Combo1()->count(); ++i) {
            tipos << v.Combo1()->itemText(i);
        }
        QCOMPARE(tipos, QStringList({"NOMINAS", "CERTIFICADOS", "FINIQUITOS", "CONTRATOS", "COSTOS",
                                     "MODELO145"}));
        QCOMPARE(v.Combo1()->currentText(), QStringLiteral("NOMINAS"));
        QVERIFY(!v.Combo1()->isHidden());
        QCOMPARE(m.filas(), 2);
        QCOMPARE(QSet<QString>({m.texto(0, 3), m.texto(1, 3)}),
                 QSet<QString>({QStringLiteral("Mensualidad"), QStringLiteral("Atrasos")}));
        // Choosing another type lists that type's folder.
        QVERIFY(m.mostrar());
        v.Combo1()->setCurrentIndex(1);
        emit v.Combo1()->activated(1);
        QCOMPARE(m.filas(), 1);
        QVERIFY(m.texto(0).startsWith(QStringLiteral("0000007 ELENA")));
    }

    void sinAplicacionDeOrigenAvisaDosVecesYTermina() {
        test::TemporaryFolder vacia;
        test::DialogosGrabados dialogos;
        ShellGrabado shell;
        const test::RelojFijo reloj(Fecha{2026, 3, 15});
        const auto ventana =
            gui::abrirPrincipal(CarpetaPrograma(vacia.path()), dialogos, shell, reloj);
        QVERIFY(ventana == nullptr);
        const std::vector<CuadroMensaje> esperados = {
            {"No se ha podido localizar la aplicación de origen", "Aviso", Icono::Informacion,
             Botones::Aceptar},
            {"Ruta de la BBDD no configurada", "Aviso", Icono::Informacion, Botones::Aceptar}};
        QVERIFY(dialogos.cuadros() == esperados);
        for (QWidget* w : QApplication::topLevelWidgets()) {
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
        }
    }

    void laBarraDeEstadoDiceLaUnidadUsada() {
        Mundo m;
        EscribirIni(m.carpeta / "KRN.INI", "Facturación", "BaseDatos", "d:\\datos\\gestion.mdb");
        QVERIFY(m.abrir());
        QCOMPARE(m.filas(), 4);
        const auto* unidades = m.ventana->StatusBar1()->findChild<QLabel*>("lblUnidades");
        QVERIFY(unidades != nullptr);
        QCOMPARE(unidades->text(), QStringLiteral("Unidades: D: → %1 (deducida)  ")
                                       .arg(QString::fromStdString(m.carpeta.path().string())));
    }

    // Real message boxes -----------------------------------------------------------------------

    void lasPreguntasDeUnHiloDeTrabajoSeVenEnLaVentanaYEsperanLaRespuesta() {
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
        // The box runs its own event loop; a timer answers it from inside that loop.
        QString texto;
        QString titulo;
        QMessageBox::Icon icono = QMessageBox::NoIcon;
        QWidget* padre = nullptr;
        QStringList botones;
        bool esperaba = false;
        QTimer contestador;
        connect(&contestador, &QTimer::timeout, this, [&] {
            auto* caja = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (caja == nullptr || !caja->isVisible()) {
                return;
            }
            contestador.stop();
            esperaba = !terminado;
            texto = caja->text();
            titulo = caja->windowTitle();
            icono = caja->icon();
            padre = caja->parentWidget();
            for (auto* b : caja->buttons()) {
                botones << b->text();
            }
            caja->button(QMessageBox::Yes)->click();
        });
        contestador.start(10);
        QTRY_VERIFY(terminado.load());
        hilo.join();
        QCOMPARE(respuesta, Respuesta::Si);
        QVERIFY(esperaba); // the worker waited for the answer
        QCOMPARE(texto, QStringLiteral("¿Desea eliminar los elementos marcados con el check?"));
        QCOMPARE(titulo, QStringLiteral("Aviso"));
        QCOMPARE(icono, QMessageBox::Question);
        QCOMPARE(padre, &propietario);
        botones.sort();
        QCOMPARE(botones, QStringList({"&No", "&Sí"}));
    }

    void unAvisoEnElHiloDeLaVentanaTieneSuIconoYAceptar() {
        gui::DialogosQt dialogos;
        QString texto;
        QMessageBox::Icon icono = QMessageBox::NoIcon;
        QStringList botones;
        QTimer contestador;
        connect(&contestador, &QTimer::timeout, this, [&] {
            auto* caja = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (caja == nullptr || !caja->isVisible()) {
                return;
            }
            contestador.stop();
            texto = caja->text();
            icono = caja->icon();
            for (auto* b : caja->buttons()) {
                botones << b->text();
            }
            caja->buttons().front()->click();
        });
        contestador.start(10);
        const Respuesta r = dialogos.mostrar(
            {"Ruta de la BBDD no configurada", "Aviso", Icono::Critico, Botones::Aceptar});
        QCOMPARE(r, Respuesta::Aceptar);
        QCOMPARE(texto, QStringLiteral("Ruta de la BBDD no configurada"));
        QCOMPARE(icono, QMessageBox::Critical);
        QCOMPARE(botones, QStringList({"Aceptar"}));
    }

    // Tabs, type and search --------------------------------------------------------------------

    void unaPestanaVaciaLaBusquedaYRellena() {
        Mundo m;
        QVERIFY(m.abrir());
        QVERIFY(m.mostrar());
        FrmPrincipal& v = *m.ventana;
        QTRY_COMPARE(QApplication::focusWidget(), v.txtBusqueda());
        QTest::keyClicks(v.txtBusqueda(), QStringLiteral("ana"));
        QCOMPARE(m.filas(), 1);
        m.pulsarPestana(v.TabMeses(), 1); // FEB
        QCOMPARE(v.txtBusqueda()->text(), QString());
        QCOMPARE(v.lblDetalle()->text(), QStringLiteral("Documentos"));
        QCOMPARE(m.columna(3), QStringList({"000095"}));
        QTest::keyClicks(v.txtBusqueda(), QStringLiteral("x"));
        QCOMPARE(m.filas(), 0);
        m.pulsarPestana(v.TabAnos(), 1); // 2025, still February
        QCOMPARE(v.txtBusqueda()->text(), QString());
        QCOMPARE(m.filas(), 0);
        m.pulsarPestana(v.TabMeses(), 2); // March 2025
        QCOMPARE(m.columna(3), QStringList({"000050"}));
        QCOMPARE(v.lblCuenta()->text(), QStringLiteral("Nº de documentos:  1"));
        // Clicking the tab already shown starts it afresh as well.
        QTest::keyClicks(v.txtBusqueda(), QStringLiteral("zz"));
        QCOMPARE(m.filas(), 0);
        m.pulsarPestana(v.TabMeses(), 2);
        QCOMPARE(v.txtBusqueda()->text(), QString());
        QCOMPARE(m.filas(), 1);
        m.pulsarPestana(v.TabAnos(), 0);
        m.pulsarPestana(v.TabMeses(), 12); // every month of 2026
        QCOMPARE(m.filas(), 5);
    }

    // Selection and counters ------------------------------------------------------------------

    void losEnlacesDeSeleccionYSusContadores() {
        Mundo m;
        QVERIFY(m.abrir());
        QVERIFY(m.mostrar());
        FrmPrincipal& v = *m.ventana;
        const int carlos = m.filaDe(QStringLiteral("00003"));
        const int acme = m.filaDe(QStringLiteral("00004"));

        m.pulsarEnlace(9); // Documentos con email
        QCOMPARE(m.marcadas(), 3);
        QVERIFY(!m.marcada(carlos));
        QCOMPARE(v.lblFacSel()->text(), QStringLiteral("documentos selecionados: 3"));

        m.pulsarEnlace(10); // Pendiente de envio
        QCOMPARE(m.marcadas(), 3);
        QVERIFY(m.marcada(carlos) && !m.marcada(acme));

        std::vector<bool> antes;
        for (int i = 0; i < m.filas(); ++i) {
            antes.push_back(m.marcada(i));
        }
        m.pulsarEnlace(8);
        QCOMPARE(m.marcadas(), 1);
        QVERIFY(m.marcada(acme));
        m.pulsarEnlace(8);
        for (int i = 0; i < m.filas(); ++i) {
            QCOMPARE(m.marcada(i), antes[static_cast<std::size_t>(i)]);
        }
        m.pulsarEnlace(6);
        QCOMPARE(v.lblFacSel()->text(), QStringLiteral("documentos selecionados: 4"));
        m.pulsarEnlace(7);
        QCOMPARE(m.marcadas(), 0);
        QCOMPARE(v.lblFacSel()->text(), QStringLiteral("documentos selecionados: 0"));

        // The same commands from the context menu.
        v.MnuCabeza()->findChild<QAction*>(QStringLiteral("MnuSelTodo"))->trigger();
        QCOMPARE(m.marcadas(), 4);
        v.MnuCabeza()->findChild<QAction*>(QStringLiteral("MenuSelInver"))->trigger();
        QCOMPARE(m.marcadas(), 0);

        // Ticking with the mouse counts with the mouse's words, the space bar with the keyboard's.
        const QModelIndex primera = v.modelo()->index(0, 0);
        const QRect fila = v.Lv()->visualRect(primera);
        QStyleOptionViewItem opcion;
        opcion.initFrom(v.Lv());
        opcion.rect = fila;
        opcion.features |= QStyleOptionViewItem::HasCheckIndicator;
        const QRect casilla =
            v.Lv()->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opcion, v.Lv());
        QTest::mouseClick(v.Lv()->viewport(), Qt::LeftButton, {}, casilla.center());
        QVERIFY(m.marcada(0));
        QCOMPARE(v.lblFacSel()->text(), QStringLiteral("documentos selecionados: 1"));
        v.Lv()->setCurrentIndex(v.modelo()->index(2, 3));
        QTest::keyClick(v.Lv(), Qt::Key_Space);
        QVERIFY(m.marcada(2));
        QCOMPARE(v.lblFacSel()->text(), QStringLiteral("Facturas seleccionadas: 2"));
        QTest::keyClick(v.Lv(), Qt::Key_Down);
        QCOMPARE(v.lblFacSel()->text(), QStringLiteral("Facturas seleccionadas: 2"));
        // A refill clears the marks and the counter.
        m.pulsarPestana(v.TabMeses(), 1);
        m.pulsarPestana(v.TabMeses(), 2);
        QCOMPARE(m.marcadas(), 0);
        QCOMPARE(v.lblFacSel()->text(), QStringLiteral("Documentos seleccionadas: 0"));
    }

    void laCabeceraOrdenaYAlternaElSentido() {
        Mundo m;
        QVERIFY(m.abrir());
        QVERIFY(m.mostrar());
        FrmPrincipal& v = *m.ventana;
        QVERIFY(!v.Lv()->header()->isSortIndicatorShown());
        m.pulsarCabecera(0);
        QCOMPARE(m.columna(0).first(), QStringLiteral("00001 ANA PÉREZ"));
        QCOMPARE(m.columna(0).last(), QStringLiteral("00004 DISTRIBUCIONES ACME"));
        QVERIFY(v.Lv()->header()->isSortIndicatorShown());
        QCOMPARE(v.Lv()->header()->sortIndicatorSection(), 0);
        QCOMPARE(v.Lv()->header()->sortIndicatorOrder(), Qt::AscendingOrder);
        m.pulsarCabecera(0);
        QCOMPARE(m.columna(0).first(), QStringLiteral("00004 DISTRIBUCIONES ACME"));
        QCOMPARE(v.Lv()->header()->sortIndicatorOrder(), Qt::DescendingOrder);
        // Another header flips the order again: ascending.
        m.pulsarCabecera(1);
        QCOMPARE(m.columna(1),
                 QStringList({"", "acme@acme.es", "ana@ejemplo.es", "pedidos@bodegassur.es"}));
        QCOMPARE(v.Lv()->header()->sortIndicatorSection(), 1);
        // Dates sort by their day in the calendar, not by their text.
        m.pulsarCabecera(2);
        QCOMPARE(m.columna(2),
                 QStringList({"20/03/2026", "12/03/2026", "05/03/2026", "02/03/2026"}));
        m.pulsarCabecera(2);
        QCOMPARE(m.columna(2),
                 QStringList({"02/03/2026", "05/03/2026", "12/03/2026", "20/03/2026"}));
        // The order holds across a refill, and the current row follows its document.
        v.Lv()->setCurrentIndex(v.modelo()->index(1, 0));
        QTest::keyClicks(v.txtBusqueda(), QStringLiteral("03/2026"));
        QCOMPARE(m.columna(2),
                 QStringList({"02/03/2026", "05/03/2026", "12/03/2026", "20/03/2026"}));
        v.Lv()->setCurrentIndex(v.modelo()->index(3, 0));
        m.pulsarCabecera(2);
        QCOMPARE(v.Lv()->currentIndex().row(), 0);
        QCOMPARE(m.texto(0, 2), QStringLiteral("20/03/2026"));
        QCOMPARE(m.ventana->pantalla().lista().actual(), std::optional<std::size_t>(0));
    }

    // Context menu and document actions --------------------------------------------------------

    void elMenuContextualSoloConElBotonDerecho() {
        Mundo m;
        QVERIFY(m.abrir());
        QVERIFY(m.mostrar());
        FrmPrincipal& v = *m.ventana;
        QMenu* menu = v.MnuCabeza();
        QCOMPARE(menu->title(), QStringLiteral("Menu"));
        QStringList textos;
        QStringList nombres;
        int separadores = 0;
        for (QAction* a : menu->actions()) {
            textos << a->text();
            nombres << a->objectName();
            separadores += a->isSeparator() ? 1 : 0;
        }
        QCOMPARE(textos,
                 QStringList({"Seleccionar todo", "Deseleccionar todo", "Invertir selección", "",
                              "Enviar documento", "Eliminar documento", "Ver documento", "",
                              "Marcar como pendiente", "Marcar como enviado"}));
        QCOMPARE(nombres, QStringList({"MnuSelTodo", "MnuSelNada", "MenuSelInver", "MnuRaya",
                                       "MnuEnviardoc", "MnuEliminarDoc", "MnuVerDoc", "MnuRaya1",
                                       "MnuPendiente", "MnuEnviada"}));
        QCOMPARE(separadores, 2);

        QTest::mouseClick(v.Lv()->viewport(), Qt::LeftButton, {}, m.centroFila(0));
        QVERIFY(!menu->isVisible());
        QTest::mouseClick(v.Lv()->viewport(), Qt::RightButton, {}, m.centroFila(1));
        QTRY_VERIFY(menu->isVisible());
        const QPoint esperado = v.Lv()->viewport()->mapToGlobal(m.centroFila(1));
        QVERIFY((menu->pos() - esperado).manhattanLength() <= 2);
        menu->hide();
    }

    void verMarcarYEliminarLlamanAlNucleo() {
        Mundo m;
        QVERIFY(m.abrir());
        QVERIFY(m.mostrar());
        FrmPrincipal& v = *m.ventana;
        const auto carpeta = m.suite.carpetaDocumentos / "2026";
        const int ana = m.filaDe(QStringLiteral("00001"));

        // Nothing current: viewing and marking have nothing to act on.
        m.pulsarEnlace(2);
        QVERIFY(m.shell.abiertos.empty());

        QTest::mouseClick(v.Lv()->viewport(), Qt::LeftButton, {}, m.centroFila(ana));
        m.pulsarEnlace(2); // "Ver "
        QCOMPARE(m.shell.abiertos.size(), std::size_t{1});
        QCOMPARE(m.shell.abiertos[0].filename().string(),
                 suitegen::nombreFactura(1, 2026, 3, 5, 101));
        QTest::mouseDClick(v.Lv()->viewport(), Qt::LeftButton, {}, m.centroFila(ana));
        QCOMPARE(m.shell.abiertos.size(), std::size_t{2});

        // Marked as sent: the file moves, the row keeps its place and gets the sent icon.
        const auto iconoDe = [&](int fila) {
            return v.modelo()
                ->index(fila, 0)
                .data(Qt::DecorationRole)
                .value<QIcon>()
                .pixmap(16)
                .toImage();
        };
        const QImage pendiente = iconoDe(ana);
        v.MnuCabeza()->findChild<QAction*>(QStringLiteral("MnuEnviada"))->trigger();
        QVERIFY(std::filesystem::exists(carpeta / "000001_20260305_00010_E.pdf"));
        QVERIFY(!std::filesystem::exists(carpeta / suitegen::nombreFactura(1, 2026, 3, 5, 101)));
        QVERIFY(iconoDe(ana) != pendiente);
        QCOMPARE(v.modelo()->index(ana, 0).data(Qt::ToolTipRole).toString(),
                 QString::fromStdString((carpeta / "000001_20260305_00010_E.pdf").string()));
        v.MnuCabeza()->findChild<QAction*>(QStringLiteral("MnuPendiente"))->trigger();
        QVERIFY(std::filesystem::exists(carpeta / "000001_20260305_00010__P.pdf"));
        QVERIFY(iconoDe(ana) == pendiente);

        // Deleting asks first; No keeps everything.
        m.pulsarEnlace(6);
        const int antes = m.filas();
        const std::size_t cuadros = m.dialogos.cuadros().size();
        m.pulsarEnlace(1);
        QTRY_VERIFY(!v.borrando()); // the deletion runs on a worker thread
        QCOMPARE(m.dialogos.cuadros().size(), cuadros + 1);
        QCOMPARE(m.dialogos.cuadros().back(),
                 (CuadroMensaje{"¿Desea eliminar los elementos marcados con el check?", "Aviso",
                                Icono::Informacion, Botones::SiNo}));
        QCOMPARE(m.filas(), antes);
        // Yes deletes the ticked documents and lists the folder again.
        m.pulsarEnlace(7);
        const int carlos = m.filaDe(QStringLiteral("00003"));
        m.ventana->modelo()->setData(v.modelo()->index(carlos, 0), Qt::Checked, Qt::CheckStateRole);
        m.dialogos.responder(Respuesta::Si);
        v.MnuCabeza()->findChild<QAction*>(QStringLiteral("MnuEliminarDoc"))->trigger();
        QTRY_VERIFY(!v.borrando());
        QVERIFY(!std::filesystem::exists(carpeta / suitegen::nombreFactura(3, 2026, 3, 20, 103)));
        QCOMPARE(m.filas(), antes - 1);
        QCOMPARE(m.filaDe(QStringLiteral("00003")), -1);
        QCOMPARE(v.lblCuenta()->text(), QStringLiteral("Nº de documentos:  %1").arg(antes - 1));
        QCOMPARE(v.lblFacSel()->text(), QStringLiteral("Documentos seleccionadas: 0"));
    }

    void duranteUnBorradoLosDemasComandosEsperanYCerrarAguarda() {
        Mundo m;
        QVERIFY(m.abrir());
        QVERIFY(m.mostrar());
        FrmPrincipal& v = *m.ventana;
        const auto carpeta = m.suite.carpetaDocumentos / "2026";
        const int ana = m.filaDe(QStringLiteral("00001"));
        QTest::mouseClick(v.Lv()->viewport(), Qt::LeftButton, {}, m.centroFila(ana));
        m.ventana->modelo()->setData(v.modelo()->index(ana, 0), Qt::Checked, Qt::CheckStateRole);

        // The question stays unanswered: the deletion is still at work.
        m.dialogos.retener(true);
        m.pulsarEnlace(1);
        QVERIFY(v.borrando());
        QTRY_COMPARE(m.dialogos.cuadros().size(), std::size_t{1});
        QVERIFY(!v.lbl_cmd()->enlace(0)->isEnabled()); // Enviar
        // It looks it: greyed, and no hand under the pointer.
        const QPalette& p = v.lbl_cmd()->enlace(0)->palette();
        QVERIFY(p.color(QPalette::Disabled, QPalette::WindowText) !=
                p.color(QPalette::Active, QPalette::WindowText));
        QCOMPARE(v.lbl_cmd()->enlace(0)->cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(v.lbl_cmd()->enlace(2)->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(!v.lbl_cmd()->enlace(3)->isEnabled()); // Configurar mensaje
        QVERIFY(v.lbl_cmd()->enlace(2)->isEnabled());  // Ver
        QVERIFY(v.lbl_cmd()->enlace(6)->isEnabled());  // Seleccionar todo
        QVERIFY(!v.MnuCabeza()->findChild<QAction*>(QStringLiteral("MnuEnviada"))->isEnabled());
        v.ejecutar(Accion::MarcarEnviado);
        QVERIFY(std::filesystem::exists(carpeta / suitegen::nombreFactura(1, 2026, 3, 5, 101)));
        v.ejecutar(Accion::Enviar);
        v.close();
        QVERIFY(v.isVisible());

        // Answered No: nothing is deleted, the commands come back, and the window closes.
        m.dialogos.responder(Respuesta::No);
        m.dialogos.retener(false);
        QTRY_VERIFY(!v.isVisible());
        QVERIFY(!v.borrando());
        QVERIFY(v.lbl_cmd()->enlace(0)->isEnabled());
        QCOMPARE(v.lbl_cmd()->enlace(0)->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(std::filesystem::exists(carpeta / suitegen::nombreFactura(1, 2026, 3, 5, 101)));
        QCOMPARE(m.dialogos.cuadros().size(), std::size_t{1});
    }

    void lasFilasQueFallanSeVenEnRojo() {
        Mundo m;
        QVERIFY(m.abrir());
        FrmPrincipal& v = *m.ventana;
        QVERIFY(!v.modelo()->index(0, 1).data(Qt::ForegroundRole).isValid());
        v.pantalla().lista().fila(0).color = kColorError;
        v.mostrarFilaCambiada(0);
        for (int c = 0; c < 5; ++c) {
            QCOMPARE(v.modelo()->index(0, c).data(Qt::ForegroundRole).value<QColor>(),
                     QColor(255, 0, 0));
        }
        QVERIFY(!v.modelo()->index(1, 0).data(Qt::ForegroundRole).isValid());
        // A run on a worker thread reports a finished row; the view hears of it on its own thread.
        QSignalSpy cambios(v.modelo(), &QAbstractItemModel::dataChanged);
        std::thread hilo([&] { v.mostrarFilaCambiada(1); });
        hilo.join();
        QCOMPARE(cambios.count(), 0);
        QTRY_COMPARE(cambios.count(), 1);
        QCOMPARE(cambios.at(0).at(0).value<QModelIndex>().row(), 1);
    }

    void unaCeldaRecortadaMuestraSuTextoEnteroAlPasarPorEncima() {
        Mundo m;
        QVERIFY(m.abrir());
        QVERIFY(m.mostrar());
        FrmPrincipal& v = *m.ventana;
        const QModelIndex tamano = v.modelo()->index(0, 4);
        const QString entero = tamano.data().toString();
        QVERIFY(!entero.isEmpty());
        const auto pasarPorEncima = [&] {
            const QRect celda = v.Lv()->visualRect(tamano);
            QHelpEvent ayuda(QEvent::ToolTip, celda.center(),
                             v.Lv()->viewport()->mapToGlobal(celda.center()));
            QCoreApplication::sendEvent(v.Lv()->viewport(), &ayuda);
        };
        v.Lv()->setColumnWidth(4, 12);
        pasarPorEncima();
        QTRY_COMPARE(QToolTip::text(), entero);
        v.Lv()->setColumnWidth(4, 400);
        pasarPorEncima();
        QTRY_VERIFY(QToolTip::text().isEmpty());
    }

    // Commands handed to the windows of others -------------------------------------------------

    void losEnlacesDeOtrasVentanasAvisanYSalirCierra() {
        Mundo m;
        QVERIFY(m.abrir());
        QVERIFY(m.mostrar());
        FrmPrincipal& v = *m.ventana;
        QSignalSpy enviar(&v, &FrmPrincipal::enviarSolicitado);
        QSignalSpy mensaje(&v, &FrmPrincipal::configurarMensajeSolicitado);
        QSignalSpy masivos(&v, &FrmPrincipal::mensajesMasivosSolicitado);
        QSignalSpy servidor(&v, &FrmPrincipal::configurarServidorSolicitado);
        m.pulsarEnlace(0);
        v.MnuCabeza()->findChild<QAction*>(QStringLiteral("MnuEnviardoc"))->trigger();
        m.pulsarEnlace(3);
        m.pulsarEnlace(5);
        m.pulsarEnlace(11);
        QCOMPARE(enviar.count(), 2);
        QCOMPARE(mensaje.count(), 1);
        QCOMPARE(masivos.count(), 1);
        QCOMPARE(servidor.count(), 1);
        QStringList titulos;
        for (int i = 0; i < 12; ++i) {
            titulos << v.lbl_cmd()->enlace(i)->text();
        }
        QCOMPARE(titulos,
                 QStringList({"Enviar", "Eliminar ", "Ver ", "Configurar mensaje", "Salir",
                              "Mensajes masivos a usuarios", "Seleccionar todo",
                              "Deseleccionar todo", "Invertir selección", "Documentos con email",
                              "Pendiente de envio", "Configurar servidor"}));
        for (int i : {0, 1, 2, 3, 4, 5, 11}) {
            QCOMPARE(v.lbl_cmd()->enlace(i)->parentWidget(), v.P1());
        }
        for (int i : {6, 7, 8, 9, 10}) {
            QCOMPARE(v.lbl_cmd()->enlace(i)->parentWidget(), v.P2());
        }
        for (int i = 0; i < 12; ++i) {
            auto* icono = v.P1()->findChild<QLabel*>(QStringLiteral("Image1_%1").arg(i));
            if (icono == nullptr) {
                icono = v.P2()->findChild<QLabel*>(QStringLiteral("Image1_%1").arg(i));
            }
            QVERIFY2(icono != nullptr && !icono->pixmap().isNull(), qPrintable(QString::number(i)));
        }
        m.pulsarEnlace(4);
        QVERIFY(!v.isVisible());
    }

    void escActivaLaCancelacion() {
        Mundo m;
        QVERIFY(m.abrir());
        QVERIFY(m.mostrar());
        FrmPrincipal& v = *m.ventana;
        QVERIFY(!v.blnCancelar().pedida());
        v.Lv()->setFocus();
        QTest::keyClick(v.Lv(), Qt::Key_A);
        QVERIFY(!v.blnCancelar().pedida());
        QTest::keyClick(v.Lv(), Qt::Key_Escape);
        QVERIFY(v.blnCancelar().pedida());
        v.blnCancelar().limpiar();
        QTest::keyClick(v.txtBusqueda(), Qt::Key_Escape);
        QVERIFY(v.blnCancelar().pedida());
        // Keys of other windows are theirs.
        v.blnCancelar().limpiar();
        QWidget otra;
        otra.show();
        QTest::keyClick(&otra, Qt::Key_Escape);
        QVERIFY(!v.blnCancelar().pedida());
    }

    // Layout ------------------------------------------------------------------------------------

    void losCuadrosSeApilanAlPlegarYDesplegar() {
        Mundo m;
        QVERIFY(m.abrir());
        QVERIFY(m.mostrar());
        FrmPrincipal& v = *m.ventana;
        const std::vector<gui::CuadroXP*> cuadros{v.P1(), v.P2(), v.P3()};
        const auto geometrias = [&] {
            std::vector<QRect> g;
            for (auto* c : cuadros) {
                g.push_back(c->geometry());
            }
            return g;
        };
        const auto inicial = geometrias();
        const int hueco = v.P2()->y() - v.P1()->geometry().bottom();
        // Each box stands the same gap under the one above, folded or not.
        const auto apilados = [&] {
            return v.P2()->y() - v.P1()->geometry().bottom() == hueco &&
                   v.P3()->y() - v.P2()->geometry().bottom() == hueco &&
                   v.P1()->y() == inicial[0].y();
        };
        QTest::mouseClick(v.P1()->botonPlegar(), Qt::LeftButton);
        QCOMPARE(v.P1()->height(), v.P1()->altoCabecera());
        QVERIFY(apilados());
        QTest::mouseClick(v.P2()->botonPlegar(), Qt::LeftButton);
        QVERIFY(apilados());
        QTest::mouseClick(v.P1()->botonDesplegar(), Qt::LeftButton);
        QCOMPARE(v.P1()->geometry(), inicial[0]);
        QVERIFY(apilados());
        QTest::mouseClick(v.P2()->botonDesplegar(), Qt::LeftButton);
        QVERIFY(geometrias() == inicial);
    }

    void elTamanoMinimoSeImponeYElAnchoSeReparte() {
        Mundo m;
        QVERIFY(m.abrir());
        QVERIFY(m.mostrar());
        FrmPrincipal& v = *m.ventana;
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
            QCOMPARE(v.marcoMeses()->width(), v.GRADIENTE()->width());
            QCOMPARE(v.marcoAnos()->width(), v.GRADIENTE()->width());
            QVERIFY(v.GRADIENTE()->geometry().right() < ancho);
            QVERIFY(v.Combo1()->geometry().right() < v.GRADIENTE()->geometry().right());
            QCOMPARE(v.LINEA()->width(), ancho);
            QVERIFY(v.logo()->geometry().right() < ancho);
            // The list sits inside the month frame and the search box below it, inside too.
            QVERIFY(v.marcoMeses()->geometry().contains(v.Lv()->geometry()));
            QVERIFY(v.marcoMeses()->geometry().contains(v.txtBusqueda()->geometry()));
            QVERIFY(v.Lv()->geometry().bottom() < v.txtBusqueda()->y());
            QCOMPARE(v.Lv()->width(), v.txtBusqueda()->width());
            QCOMPARE(v.marcoAnos()->geometry().bottom(), v.StatusBar1()->y() - 1);
            // Columns 1 and 2 share what the fixed ones leave; 6 stays hidden.
            QCOMPARE(v.Lv()->columnWidth(0), v.Lv()->columnWidth(1));
            QVERIFY(v.Lv()->isColumnHidden(5));
        };
        comprobar(minimo.width(), minimo.height());
        const int estrecha = v.Lv()->columnWidth(0);
        const std::vector<int> fijas{v.Lv()->columnWidth(2), v.Lv()->columnWidth(3),
                                     v.Lv()->columnWidth(4)};
        comprobar(1100, 700);
        QVERIFY(v.Lv()->columnWidth(0) > estrecha);
        comprobar(1280, 800);
        QCOMPARE((std::vector<int>{v.Lv()->columnWidth(2), v.Lv()->columnWidth(3),
                                   v.Lv()->columnWidth(4)}),
                 fijas);
    }

    void elPunteroResaltaUnSoloEnlace() {
        Mundo m;
        QVERIFY(m.abrir());
        QVERIFY(m.mostrar());
        FrmPrincipal& v = *m.ventana;
        // The lit links; a link that is bold without underline, or the reverse, shows as -1.
        const auto resaltados = [&] {
            QList<int> out;
            for (auto* e : v.lbl_cmd()->enlaces()) {
                if (e->font().underline() != e->font().bold()) {
                    out << -1;
                } else if (e->resaltado()) {
                    out << e->indice();
                }
            }
            return out;
        };
        QCOMPARE(resaltados(), QList<int>());
        QTest::mouseMove(v.lbl_cmd()->enlace(0), QPoint(5, 5));
        QTRY_COMPARE(resaltados(), QList<int>({0}));
        QTest::mouseMove(v.lbl_cmd()->enlace(11), QPoint(6, 5));
        QTRY_COMPARE(resaltados(), QList<int>({11}));
        QTest::mouseMove(v.lbl_cmd()->enlace(8), QPoint(7, 4));
        QTRY_COMPARE(resaltados(), QList<int>({8}));
        // An empty area leaves the last link lit.
        QTest::mouseMove(v.Lv()->viewport(), QPoint(300, 200));
        QTest::qWait(20);
        QCOMPARE(resaltados(), QList<int>({8}));
        const QFont f = v.lbl_cmd()->enlace(1)->font();
        QVERIFY(!f.underline() && !f.bold());
    }
};

QTEST_MAIN(FrmPrincipalTest)
#include "FrmPrincipalTest.moc"
