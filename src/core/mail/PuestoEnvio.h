#pragma once

#include "mail/EntornoEnvio.h"
#include "oauth/TransporteOAuth.h"
#include "platform/CurlMailTransport.h"
#include "platform/PdfEngine.h"

#include <atomic>

namespace envio {

// What every sending run needs besides its front end's own parts (dialogs, progress, report
// viewer, Esc): the mail component with this site's options, the connection check, this
// machine's ledger and the claims shared by every machine. The window's run, the notice
// window, --enviar and --avisos all build their run through this one place.
class PuestoEnvio {
public:
    // Throws ErrorBaseDatos when the ledger cannot be opened. A window under test passes its
    // own connection check.
    explicit PuestoEnvio(const CarpetaPrograma& carpeta, ConnectivityProbe* sonda = nullptr);

    EntornoEnvio entorno(const ConfiguracionCorreo& correo, Dialogos& dialogos,
                         ObservadorEnvio& observador, VisorInforme& visor,
                         std::atomic<bool>& cancelar,
                         ReenvioDudosos dudosos = ReenvioDudosos::Preguntar);

    // The PDF engine of document runs (the review, protected payslips).
    PdfEngine& pdf() { return pdf_; }
    // The largest message the configured server takes, as its EHLO reply says; nothing when it
    // names none or cannot be reached.
    std::optional<std::uintmax_t> tamanoServidor(const ConfiguracionCorreo& correo) const;

private:
    // The mail component, signing in with OAuth2 when the server settings say so.
    MailTransport& componenteDelSitio();

    const CarpetaPrograma& carpeta_;
    CurlMailTransport componente_;
    CurlHttpClient http_;
    RelojDelSistema reloj_;
    std::unique_ptr<SesionOAuth> sesion_;
    std::unique_ptr<TransporteOAuth> conOAuth_;
    LinuxConnectivityProbe sondaDelSistema_;
    ConnectivityProbe& sonda_;
    RegistroEnvios registro_;
    Reservas reservas_;
    QpdfPopplerEngine pdf_;
};

} // namespace envio
