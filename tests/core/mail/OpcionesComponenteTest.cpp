// The site's own certificate authority, named in KRN.INI, reaches the mail component: the whole
// way a run takes, from the settings file to a message on a server whose certificate that
// authority signed.
#include "mail/OpcionesComponente.h"

#include "TemporaryFolder.h"
#include "TestMailServer.h"
#include "mail/clsCDOmail.h"
#include "settings/CodificarClave.h"
#include "settings/ConfiguracionCorreo.h"
#include "settings/Windows1252.h"

#include <gtest/gtest.h>

namespace envio {
namespace {

using namespace std::chrono_literals;

class SondaConectada final : public ConnectivityProbe {
public:
    bool hasConnection(std::string_view) override { return true; }
};

// KRN.INI as the suite writes it, in its code page, for the server on `puerto` with STARTTLS.
std::string krnIni(int puerto, const std::string& archivoCA) {
    std::string texto = "[servidor]\r\nServidor=127.0.0.1\r\nPuerto=" + std::to_string(puerto) +
                        "\r\nSSL=1\r\ncuenta=oficina@gestoria.es\r\nUsuario=oficina\r\n"
                        "Password=" +
                        CodificarClave("Contraseña-1", true) + "\r\n";
    if (!archivoCA.empty()) {
        texto += "ArchivoCA=" + archivoCA + "\r\n";
    }
    return utf8ToWindows1252(texto);
}

TEST(OpcionesComponenteTest, TheAuthorityNamedInTheSettingsFileIsTheOneTrusted) {
    test::MailServerOptions opciones;
    opciones.tls = true;
    opciones.ownAuthority = true;
    opciones.user = "oficina";
    opciones.password = "Contraseña-1";
    test::TestMailServer servidor(opciones);
    test::TemporaryFolder carpeta;
    carpeta.write("Certificados/Autoridad del sitio.pem",
                  test::TemporaryFolder::readPath(servidor.certificate()));
    SondaConectada sonda;

    struct Caso {
        std::string archivoCA;
        bool entrega;
    };
    // Without the key the system's store is asked, which does not know the test authority.
    // The suite writes a path relative to the program folder in Windows' way, or an absolute one.
    for (const Caso& caso :
         {Caso{"", false}, Caso{"certificados\\autoridad del sitio.pem", true},
          Caso{(carpeta / "Certificados/Autoridad del sitio.pem").string(), true}}) {
        SCOPED_TRACE(caso.archivoCA);
        carpeta.write("KRN.INI", krnIni(servidor.startTlsPort(), caso.archivoCA));
        const CarpetaPrograma programa(carpeta.path());
        CurlMailTransport componente(opcionesComponente(programa));
        clsCDOmail mail(componente, sonda);
        usarConfiguracion(mail, CargarConfiguracion(programa.krnIni()));
        mail.para = "cliente@ejemplo.es";
        mail.Asunto = "Factura";
        EXPECT_EQ(mail.Enviar(), caso.entrega);
    }
    ASSERT_TRUE(servidor.waitForMessages(2, 5s));
    const auto recibidos = servidor.messages();
    ASSERT_EQ(recibidos.size(), 2u);
    EXPECT_TRUE(recibidos[0].tls);
    EXPECT_EQ(recibidos[0].authUser, "oficina");
}

} // namespace
} // namespace envio
