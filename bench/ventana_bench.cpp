// The window during a long run: a generated month (2,000 invoices of 100 KB unless told
// otherwise) sent from the main window to the local test mail server, the way a user does it
// (select everything, "Enviar"). While the run goes on, a timer asks the event loop for a turn
// every 5 ms and the gaps between its turns are kept: the longest one is how long the window
// could fail to repaint or to hear a key. Half-way through, Esc goes to the window as a key
// press, and the benchmark prints how long the run took to stop and how many messages went out
// after the key.
//
//   ventana_bench [--documentos=N] [--kb=K]
#include "ApoyoBench.h"
#include "ControlPorNombre.h"
#include "DialogosGrabados.h"
#include "GeneradorSuite.h"
#include "RelojFijo.h"
#include "ShellGrabado.h"
#include "TemporaryFolder.h"
#include "TestMailServer.h"
#include "gui/ComandosPrincipal.h"
#include "gui/EnvioPrincipal.h"
#include "gui/FrmPrincipal.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QProgressBar>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Opciones {
    int documentos = 2000;
    std::size_t kb = 100;
};

Opciones leerOpciones(int argc, char** argv) {
    Opciones o;
    bench::leerOpciones(argc, argv,
                        {{"--documentos=", [&o](const char* v) { o.documentos = std::stoi(v); }},
                         {"--kb=", [&o](const char* v) { o.kb = std::stoul(v); }}});
    return o;
}

double percentil(std::vector<double> valores, double p) {
    if (valores.empty()) {
        return 0;
    }
    std::sort(valores.begin(), valores.end());
    return valores[static_cast<std::size_t>(p * static_cast<double>(valores.size() - 1))];
}

int medir(const Opciones& o) {
    envio::test::MailServerOptions opciones;
    opciones.user = "envios";
    opciones.password = "clave";
    if (std::filesystem::is_directory("/dev/shm")) {
        opciones.parentFolder = "/dev/shm";
    }
    envio::test::TestMailServer servidor(opciones);
    envio::test::TemporaryFolder carpeta;
    suitegen::generarSuite(
        carpeta.path(), suitegen::suiteParaEnviar(o.documentos, o.kb * 1024, servidor.plainPort()));
    envio::test::DialogosGrabados dialogos;
    envio::test::ShellGrabado shell;
    const envio::test::RelojFijo reloj(envio::Fecha{2026, 3, 15});
    auto ventana =
        envio::gui::abrirPrincipal(envio::CarpetaPrograma(carpeta.path()), dialogos, shell, reloj);
    if (!ventana ||
        ventana->pantalla().lista().cantidad() != static_cast<std::size_t>(o.documentos)) {
        throw std::runtime_error("the generated month does not list every document");
    }
    auto comandos = envio::gui::conectarComandos(*ventana);
    ventana->show();
    const auto* barra = envio::test::control<QProgressBar>(*ventana, "Barra");

    // The report shows at the end as a modal window: it is closed at once.
    QTimer cierre;
    QObject::connect(&cierre, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
    });
    cierre.start(50);

    QElapsedTimer reloj5;
    std::vector<double> huecosMs;
    int valoresVistos = 0;
    int ultimoValor = -1;
    bool visto = false;
    bool escEnviado = false;
    QElapsedTimer desdeEsc;
    double escHastaParadaMs = -1;
    int barraAlEsc = 0;
    QTimer latido;
    QObject::connect(&latido, &QTimer::timeout, [&] {
        if (!barra->isVisible()) {
            if (visto && escEnviado && escHastaParadaMs < 0) {
                escHastaParadaMs = static_cast<double>(desdeEsc.nsecsElapsed()) / 1e6;
                QApplication::quit();
            }
            return;
        }
        if (visto) {
            huecosMs.push_back(static_cast<double>(reloj5.nsecsElapsed()) / 1e6);
        }
        visto = true;
        reloj5.restart();
        if (barra->value() != ultimoValor) {
            ultimoValor = barra->value();
            ++valoresVistos;
        }
        if (!escEnviado && barra->value() * 2 >= barra->maximum()) {
            escEnviado = true;
            barraAlEsc = barra->value();
            desdeEsc.start();
            QKeyEvent tecla(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(ventana.get(), &tecla);
        }
    });
    latido.start(5);

    ventana->ejecutarEnlace(6); // Seleccionar todo
    QElapsedTimer total;
    total.start();
    ventana->ejecutarEnlace(0); // Enviar
    QTimer::singleShot(30 * 60 * 1000, [] { QApplication::quit(); });
    QApplication::exec();
    const double segundos = static_cast<double>(total.nsecsElapsed()) / 1e9;
    if (escHastaParadaMs < 0) {
        throw std::runtime_error("the run did not stop after Esc");
    }
    const auto recibidos = servidor.messages().size();
    std::printf("%d documents of %zu KB, window on the '%s' platform\n", o.documentos, o.kb,
                qPrintable(QGuiApplication::platformName()));
    std::printf("event loop while sending: %zu turns, gap median %.1f ms, 99th percentile %.1f "
                "ms, longest %.1f ms; the bar showed %d values\n",
                huecosMs.size(), percentil(huecosMs, 0.5), percentil(huecosMs, 0.99),
                percentil(huecosMs, 1.0), valoresVistos);
    std::printf("Esc with the bar at %d of %d: the run stopped %.0f ms later, %zu messages sent "
                "in all; %.1f s from Enviar to the stop; peak RSS %ld KB\n",
                barraAlEsc, barra->maximum(), escHastaParadaMs, recibidos, segundos,
                bench::memoriaKb("VmHWM:"));
    comandos.reset();
    ventana->close();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    try {
        return medir(leerOpciones(argc, argv));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "ventana_bench: %s\n", error.what());
        return 1;
    }
}
