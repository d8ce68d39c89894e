#include "InformeEnPdf.h"
#include "cli/LineaDeOrdenes.h"
#include "cli/OrdenAvisos.h"
#include "cli/OrdenEnviar.h"
#include "cli/OrdenHistorial.h"
#include "cli/OrdenIniciarSesion.h"
#include "cli/OrdenListar.h"
#include "gui/Arte.h"
#include "gui/ComandosPrincipal.h"
#include "gui/DialogosQt.h"
#include "gui/EnvioPrincipal.h"
#include "gui/FrmPrincipal.h"
#include "gui/KeyringSecretStore.h"
#include "mail/OpcionesComponente.h"
#include "platform/ExecutableFolder.h"

#include <QApplication>
#include <cstdlib>
#include <iostream>
#include <unistd.h>

namespace {

// The program folder with the drive mappings of the command line, then those of this machine's
// files.
envio::CarpetaPrograma carpetaDelPrograma(const envio::cli::Opciones& opciones) {
    envio::MapaUnidades unidades = opciones.unidades;
    for (const auto& archivo :
         envio::archivosDeUnidades(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"))) {
        envio::leerArchivoUnidades(unidades, archivo);
    }
    return envio::CarpetaPrograma(opciones.carpeta.value_or(envio::executableFolder()),
                                  std::move(unidades));
}

} // namespace

int main(int argc, char* argv[]) {
    using namespace envio::cli;
    Opciones opciones;
    try {
        opciones = analizarLineaDeOrdenes(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const ErrorDeOpciones& error) {
        std::cerr << error.what() << '\n';
        return 2;
    }
    switch (opciones.orden) {
    case Orden::Ayuda:
        std::cout << textoAyuda();
        return 0;
    case Orden::Version:
        std::cout << textoVersion();
        return 0;
    case Orden::Listar: {
        const envio::CarpetaPrograma carpeta = carpetaDelPrograma(opciones);
        return ordenListar(opciones, carpeta, envio::RelojDelSistema(), std::cout, std::cerr);
    }
    case Orden::Enviar: {
        const envio::CarpetaPrograma carpeta = carpetaDelPrograma(opciones);
        const auto crearInforme = [](const envio::CarpetaPrograma& c,
                                     const std::filesystem::path& pdf) {
            return std::make_unique<envio::InformeEnPdf>(c, pdf, std::cerr);
        };
        return ordenEnviar(opciones, carpeta, envio::RelojDelSistema(), crearInforme, std::cout,
                           std::cerr, ::isatty(STDERR_FILENO) != 0);
    }
    case Orden::Revisar: {
        const envio::CarpetaPrograma carpeta = carpetaDelPrograma(opciones);
        return ordenRevisar(opciones, carpeta, envio::RelojDelSistema(), std::cout, std::cerr);
    }
    case Orden::Avisos: {
        const envio::CarpetaPrograma carpeta = carpetaDelPrograma(opciones);
        const auto crearInforme = [](const envio::CarpetaPrograma& c,
                                     const std::filesystem::path& pdf) {
            return std::make_unique<envio::InformeEnPdf>(c, pdf, std::cerr);
        };
        return ordenAvisos(opciones, carpeta, envio::RelojDelSistema(), crearInforme, std::cout,
                           std::cerr);
    }
    case Orden::Historial:
        return ordenHistorial(opciones, carpetaDelPrograma(opciones).ruta(), std::cout, std::cerr);
    case Orden::IniciarSesion: {
        const envio::CarpetaPrograma carpeta = carpetaDelPrograma(opciones);
        envio::CurlHttpClient http(envio::opcionesComponente(carpeta).archivoCA);
        return ordenIniciarSesion(opciones, carpeta, http, envio::programSecretStore(),
                                  envio::RelojDelSistema(), std::cout, std::cerr);
    }
    case Orden::Ventana:
        break;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("envio-documentos"));
    QApplication::setWindowIcon(envio::gui::arte::iconoPrograma());
    const envio::CarpetaPrograma carpeta = carpetaDelPrograma(opciones);
    // The window keeps a sign-in in the desktop's keyring; the command line, which may run with
    // no desktop session, in the file store, which the window reads too.
    envio::installProgramSecretStore(
        std::make_unique<envio::gui::KeyringSecretStore>(envio::FileSecretStore::defaultFolder()));
    envio::gui::DialogosQt dialogos;
    envio::gui::ShellQt shell;
    const envio::RelojDelSistema reloj;
    // The start-up speaks through message boxes; when it cannot go on, the program ends here,
    // before any window has appeared.
    auto ventana = envio::gui::abrirPrincipal(carpeta, dialogos, shell, reloj);
    if (!ventana) {
        return 1;
    }
    dialogos.ponerPropietario(ventana.get());
    const auto envioDocumentos = envio::gui::conectarComandos(*ventana);
    ventana->show();
    return QApplication::exec();
}
