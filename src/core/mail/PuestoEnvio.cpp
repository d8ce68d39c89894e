#include "mail/PuestoEnvio.h"

#include "database/Texto.h"
#include "mail/OpcionesComponente.h"
#include "platform/SmtpSize.h"

namespace envio {

PuestoEnvio::PuestoEnvio(const CarpetaPrograma& carpeta, ConnectivityProbe* sonda)
    : carpeta_(carpeta), componente_(opcionesComponente(carpeta)),
      http_(opcionesComponente(carpeta).archivoCA),
      sonda_(sonda != nullptr ? *sonda : sondaDelSistema_),
      registro_(RegistroEnvios::archivoEn(carpeta.ruta())),
      reservas_(carpeta.ruta(), currentProcess()) {}

EntornoEnvio PuestoEnvio::entorno(const ConfiguracionCorreo& correo, Dialogos& dialogos,
                                  ObservadorEnvio& observador, VisorInforme& visor,
                                  std::atomic<bool>& cancelar, ReenvioDudosos dudosos) {
    return EntornoEnvio{correo, carpeta_,  dialogos,  observador, visor,  componenteDelSitio(),
                        sonda_, registro_, reservas_, cancelar,   dudosos};
}

MailTransport& PuestoEnvio::componenteDelSitio() {
    // Read at each run, as the window saves them; the sign-in itself lives in the secret store.
    const ConfiguracionOAuth oauth = LeerConfiguracionOAuth(carpeta_.krnIni());
    if (!oauth.usaOAuth()) {
        return componente_;
    }
    if (!sesion_ || sesion_->configuracion() != oauth) {
        conOAuth_.reset();
        sesion_ = std::make_unique<SesionOAuth>(oauth, http_, programSecretStore(), reloj_);
        conOAuth_ = std::make_unique<TransporteOAuth>(componente_, *sesion_);
    }
    return *conOAuth_;
}

std::optional<std::uintmax_t> PuestoEnvio::tamanoServidor(const ConfiguracionCorreo& correo) const {
    const OpcionesCurl opciones = opcionesComponente(carpeta_);
    SmtpSizeQuery consulta;
    consulta.host = sinBlancos(correo.servidor);
    consulta.port = correo.puerto;
    consulta.implicitTls = correo.ssl && correo.puerto == opciones.puertoTlsImplicito;
    consulta.caFile = opciones.archivoCA;
    return askSmtpSize(consulta);
}

} // namespace envio
