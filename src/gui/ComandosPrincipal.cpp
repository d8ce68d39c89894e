#include "gui/ComandosPrincipal.h"

#include "catalogue/PantallaPrincipal.h"
#include "gui/EnvioPrincipal.h"
#include "gui/FrmConfigMsgFactura.h"
#include "gui/FrmConfiguracion.h"
#include "gui/FrmHistorial.h"
#include "gui/FrmPrincipal.h"
#include "gui/FrmServidor.h"

#include <QTimer>
#include <algorithm>

namespace envio::gui {

namespace {

// The history's resend is the main window's run over that one document, so the resend question
// and every guarantee of a run apply. The run only sees the list the window shows.
bool reenviarDesdeHistorial(FrmPrincipal& ventana, const std::filesystem::path& documento) {
    if (ventana.trabajando()) {
        ventana.dialogos().mostrar({"Espere a que termine el trabajo en curso.",
                                    "Historial de envíos", Icono::Informacion, Botones::Aceptar});
        return false;
    }
    auto& filas = ventana.pantalla().lista().filas();
    const auto encontrada = std::find_if(filas.begin(), filas.end(), [&](const FilaLista& f) {
        return f.etiqueta == documento.string();
    });
    if (encontrada == filas.end()) {
        ventana.dialogos().mostrar(
            {"El documento " + documento.filename().string() +
                 " no está en la lista de la ventana principal. Elija en ella su tipo, año y mes "
                 "y envíelo desde allí.",
             "Historial de envíos", Icono::Informacion, Botones::Aceptar});
        return false;
    }
    for (auto& fila : filas) {
        fila.marcada = &fila == &*encontrada;
    }
    ventana.mostrarFilasCambiadas();
    // Once the history window has closed.
    QTimer::singleShot(0, &ventana, [&ventana] { ventana.ejecutar(Accion::Enviar); });
    return true;
}

} // namespace

std::unique_ptr<EnvioPrincipal> conectarComandos(FrmPrincipal& ventana) {
    auto envio = std::make_unique<EnvioPrincipal>(ventana);
    QObject::connect(&ventana, &FrmPrincipal::enviarSolicitado, envio.get(),
                     &EnvioPrincipal::enviar);

    FrmPrincipal* v = &ventana;
    const auto recargar = [v](const ConfiguracionCorreo& correo) {
        v->pantalla().contexto().usarCorreo(correo);
    };
    QObject::connect(&ventana, &FrmPrincipal::configurarMensajeSolicitado, &ventana, [v, recargar] {
        abrirFrmConfigMsgFactura(v, v->pantalla().contexto().carpeta, recargar);
    });
    QObject::connect(
        &ventana, &FrmPrincipal::configurarServidorSolicitado, &ventana,
        [v, recargar] { abrirFrmServidor(v, v->pantalla().contexto().carpeta, recargar); });
    QObject::connect(&ventana, &FrmPrincipal::mensajesMasivosSolicitado, &ventana, [v] {
        abrirFrmConfiguracion(v, v->pantalla().contexto(), v->pantalla().seleccion().tipo,
                              v->dialogos());
    });
    QObject::connect(&ventana, &FrmPrincipal::historialSolicitado, &ventana, [v] {
        abrirFrmHistorial(v, v->pantalla().contexto().carpeta.ruta(), v->shell(), v->dialogos(),
                          [v](const std::filesystem::path& documento) {
                              return reenviarDesdeHistorial(*v, documento);
                          });
    });
    return envio;
}

} // namespace envio::gui
