// capturas-guia CARPETA SALIDA
// Writes the user guide's pictures of the main window and the two settings windows: a sample suite
// for March 2026 is generated in CARPETA (name it as an office would, e.g. /srv/gestion: the status
// bar shows it), the window is opened on it without a desktop (QT_QPA_PLATFORM=offscreen) and drawn
// into SALIDA.
#include "GeneradorSuite.h"
#include "gui/DialogosQt.h"
#include "gui/FrmConfigMsgFactura.h"
#include "gui/FrmPrincipal.h"
#include "gui/FrmServidor.h"
#include "host/CarpetaPrograma.h"
#include "platform/Reloj.h"
#include "settings/IniFile.h"
#include "settings/MensajeEnTrozos.h"

#include <QApplication>
#include <QMenu>
#include <QTimer>
#include <QTreeView>
#include <iostream>

namespace {

// The day the pictures were taken: the list opens on March 2026.
class DiaFijo : public envio::RelojDelSistema {
public:
    [[nodiscard]] envio::Fecha hoy() const override { return {2026, 3, 15}; }
};

bool guardar(QWidget* w, const QString& carpeta, const QString& nombre) {
    const QString archivo = carpeta + QLatin1Char('/') + nombre + QStringLiteral(".png");
    if (!w->grab().save(archivo)) {
        std::cerr << "capturas-guia: no se pudo escribir " << archivo.toStdString() << '\n';
        return false;
    }
    std::cout << archivo.toStdString() << '\n';
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "uso: capturas-guia CARPETA SALIDA\n";
        return 2;
    }
    QApplication app(argc, argv);
    suitegen::ParametrosEjemplo p;
    p.formato = suitegen::Formato::Sqlite;
    suitegen::generarSuite(argv[1], suitegen::suiteDeEjemplo(p));
    envio::gui::DialogosQt dialogos;
    envio::gui::ShellQt shell;
    const DiaFijo dia;
    auto ventana =
        envio::gui::abrirPrincipal(envio::CarpetaPrograma(argv[1]), dialogos, shell, dia);
    if (!ventana) {
        return 1;
    }
    const QString salida = QString::fromLocal8Bit(argv[2]);
    ventana->resize(1024, 700);
    ventana->show();
    QApplication::processEvents();
    // What an office sees before sending: the pending documents ticked, one row chosen.
    ventana->ejecutarEnlace(10);
    QApplication::processEvents();
    auto* lista = ventana->findChild<QTreeView*>(QStringLiteral("Lv"));
    lista->setCurrentIndex(lista->model()->index(2, 0));
    bool bien = guardar(ventana.get(), salida, QStringLiteral("ventana-principal"));
    auto* menu = ventana->findChild<QMenu*>(QStringLiteral("MnuCabeza"));
    QTimer::singleShot(0, [&] {
        QApplication::processEvents();
        bien = guardar(menu, salida, QStringLiteral("menu-lista")) && bien;
        menu->close();
    });
    menu->popup(ventana->mapToGlobal(QPoint(400, 300)));
    QApplication::processEvents();
    QTimer::singleShot(100, &app, &QApplication::quit);
    QApplication::exec();

    // The two settings windows, on the settings of an office that mails through Microsoft 365.
    const envio::CarpetaPrograma carpeta(argv[1]);
    const auto krn = carpeta.krnIni();
    for (const auto& [clave, valor] :
         {std::pair{"Servidor", "smtp.office365.com"}, std::pair{"Puerto", "587"},
          std::pair{"SSL", "1"}, std::pair{"cuenta", "facturacion@gestoria-ejemplo.es"},
          std::pair{"Usuario", "facturacion@gestoria-ejemplo.es"},
          std::pair{"LimitePorMinuto", "30"}, std::pair{"LimitePorDia", "10000"}}) {
        envio::EscribirIni(krn, "servidor", clave, valor);
    }
    envio::EscribirIni(krn, "DocumentoPORemail", "Asunto", "Su factura de Gestoría Ejemplo");
    envio::escribirMensajeEnTrozos(
        krn, "DocumentoPORemail", "Mensaje",
        "Estimado cliente:\r\n\r\nLe enviamos adjunta su factura.\r\n\r\n"
        "Un saludo,\r\nGestoría Ejemplo");
    envio::gui::FrmServidor servidor(carpeta, &dialogos);
    servidor.show();
    QApplication::processEvents();
    bien = guardar(&servidor, salida, QStringLiteral("configuracion-servidor")) && bien;
    envio::gui::FrmConfigMsgFactura mensaje(carpeta, &dialogos);
    mensaje.show();
    QApplication::processEvents();
    bien = guardar(&mensaje, salida, QStringLiteral("configuracion-mensaje")) && bien;
    return bien ? 0 : 1;
}
