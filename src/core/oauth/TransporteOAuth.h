#pragma once

#include "oauth/SesionOAuth.h"
#include "platform/MailTransport.h"

namespace envio {

// The mail component for an account that signs in with OAuth2: every message goes through
// `interior` with the account's current access token (XOAUTH2) in place of a password. When
// there is no valid sign-in the message is not sent, and the result says to sign in again.
class TransporteOAuth final : public MailTransport {
public:
    // Both must outlive this object.
    TransporteOAuth(MailTransport& interior, SesionOAuth& sesion);

    ResultadoEnvio enviar(const ConfiguracionSmtp& configuracion,
                          const MensajeSmtp& mensaje) override;

private:
    ResultadoEnvio enviarConToken(const ConfiguracionSmtp& configuracion,
                                  const MensajeSmtp& mensaje, bool& sinToken);

    MailTransport& interior_;
    SesionOAuth& sesion_;
};

} // namespace envio
