#include "gui/ComandosPrincipal.h"

#include "catalogue/PantallaPrincipal.h"
#include "gui/EnvioPrincipal.h"
#include "gui/FrmConfigMsgFactura.h"
#include "gui/FrmConfiguracion.h"
#include "gui/FrmPrincipal.h"
#include "gui/FrmServidor.h"

#include <QComboBox>

namespace envio::gui {

std::unique_ptr<EnvioPrincipal> conectarComandos(FrmPrincipal& ventana) {
    auto envio = std::make_unique<EnvioPrincipal>(ventana);
    QObject::connect(&ventana, &FrmPrincipal::enviarSolicitado, envio.get(),
                     &EnvioPrincipal::enviar);

    FrmPrincipal* v = &ventana;
    const auto recargar = [v](const ConfiguracionCorreo& correo) {
        v->pantalla().contexto().correo = correo;
    };
    QObject::connect(&ventana, &FrmPrincipal::configurarMensajeSolicitado, &ventana, [v, recargar] {
        abrirFrmConfigMsgFactura(v, v->pantalla().contexto().carpeta, recargar);
    });
    QObject::connect(
        &ventana, &FrmPrincipal::configurarServidorSolicitado, &ventana,
        [v, recargar] { abrirFrmServidor(v, v->pantalla().contexto().carpeta, recargar); });
    QObject::connect(&ventana, &FrmPrincipal::mensajesMasivosSolicitado, &ventana, [v] {
        abrirFrmConfiguracion(v, v->pantalla().contexto(), v->Combo1()->currentText().toStdString(),
                              v->dialogos());
    });
    return envio;
}

} // namespace envio::gui
