// The main window's sending run goes on a worker thread: the window keeps processing events
// while documents are mailed to the local test mail server, rows get their sent icon, and the
// report window opens over the main window at the end.
#include "gui/EnvioPrincipal.h"

#include "ControlPorNombre.h"
#include "DialogosGrabados.h"
#include "GeneradorSuite.h"
#include "RelojFijo.h"
#include "TemporaryFolder.h"
#include "TestMailServer.h"
#include "catalogue/PantallaPrincipal.h"
#include "gui/ComandosPrincipal.h"
#include "gui/EnlacesComando.h"
#include "gui/FrmPrincipal.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QtTest>

namespace {

class ShellNulo : public envio::Shell {
public:
    bool open(const std::filesystem::path&, std::string_view,
              const std::filesystem::path&) override {
        return false;
    }
};

} // namespace

class EnvioPrincipalTest : public QObject {
    Q_OBJECT
private slots:
    void theWindowStaysResponsiveDuringARun() {
        envio::test::MailServerOptions options;
        options.user = "envios";
        options.password = "clave";
        envio::test::TestMailServer server(options);
        envio::test::TemporaryFolder folder;
        constexpr int kDocumentos = 40;
        suitegen::generarSuite(folder.path(),
                               suitegen::suiteParaEnviar(kDocumentos, 400000, server.plainPort()));
        std::filesystem::copy_file(ENVIO_REPORT_DATA "/9Fac0019.rpt", folder / "9Fac0019.rpt");

        envio::test::DialogosGrabados dialogos;
        ShellNulo shell;
        const envio::test::RelojFijo reloj(envio::Fecha{2026, 3, 15});
        auto ventana = envio::gui::abrirPrincipal(envio::CarpetaPrograma(folder.path()), dialogos,
                                                  shell, reloj);
        QVERIFY(ventana);
        auto envio = envio::gui::conectarComandos(*ventana);
        ventana->show();
        const auto* barra = envio::test::control<QProgressBar>(*ventana, "Barra");
        const auto enlace = [&](int indice) {
            return envio::test::control<envio::gui::EnlaceComando>(
                *ventana, QStringLiteral("lbl_cmd_%1").arg(indice));
        };
        QVERIFY2(ventana->pantalla().lista().cantidad() == kDocumentos,
                 dialogos.textos().empty() ? "no rows" : dialogos.textos().front().c_str());

        // The report window is modal: close it as soon as it shows.
        bool reportShown = false;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                reportShown = modal->windowTitle() == QStringLiteral("Impresión de informes");
                modal->close();
            }
        });
        closer.start(20);

        int ticks = 0;
        int ticksWhileSending = 0;
        bool barSeen = false;
        bool refusedWhileSending = false;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            ++ticks;
            if (barra->isVisible()) {
                if (!barSeen) {
                    // The commands that would touch the documents or the work table wait.
                    ventana->ejecutar(envio::Accion::Eliminar);
                    ventana->ejecutar(envio::Accion::Enviar);
                    refusedWhileSending = !ventana->borrando() && !enlace(1)->isEnabled() &&
                                          !enlace(5)->isEnabled() && enlace(4)->isEnabled();
                }
                barSeen = true;
                ++ticksWhileSending;
            }
        });
        timer.start(5);

        ventana->ejecutarEnlace(6); // Seleccionar todo
        ventana->ejecutarEnlace(0); // Enviar
        QTRY_VERIFY_WITH_TIMEOUT(server.messages().size() == kDocumentos && !barra->isVisible(),
                                 60000);
        QTRY_VERIFY_WITH_TIMEOUT(reportShown, 20000);
        QVERIFY(barSeen);
        QVERIFY(refusedWhileSending);
        QTRY_VERIFY(enlace(1)->isEnabled());
        QVERIFY2(ticksWhileSending > 3, qPrintable(QString::number(ticksWhileSending)));
        QCOMPARE(envio::test::control<QLabel>(*ventana, "lblBarra")->text(),
                 QStringLiteral("Enviando ..."));
        QTRY_VERIFY(ventana->pantalla().lista().fila(0).icono == envio::kIconoEnviado);
        for (const auto& fila : ventana->pantalla().lista().filas()) {
            QVERIFY(fila.etiqueta.ends_with(".ENVIADO.PDF"));
            QVERIFY(std::filesystem::exists(fila.etiqueta));
        }
        QVERIFY(dialogos.cuadros().empty());
        envio.reset();
        ventana->close();
    }
};

QTEST_MAIN(EnvioPrincipalTest)
#include "EnvioPrincipalTest.moc"
