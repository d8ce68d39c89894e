// --iniciar-sesion --con-codigo, then --enviar through a mail server that takes only XOAUTH2:
// the program as an unattended machine runs it, against the local authorization server.
#include "cli/OrdenIniciarSesion.h"

#include "DoblesEnvio.h"
#include "GeneradorSuite.h"
#include "RelojFijo.h"
#include "TemporaryFolder.h"
#include "TestMailServer.h"
#include "TestOAuthServer.h"
#include "cli/OrdenEnviar.h"
#include "oauth/ConfiguracionOAuth.h"

#include <gtest/gtest.h>
#include <regex>
#include <sstream>

namespace envio::cli {
namespace {

using test::TemporaryFolder;

// The person at another device: reads the code off the screen as it appears and answers it.
class PersonaConOtroDispositivo : public std::stringbuf {
public:
    explicit PersonaConOtroDispositivo(const test::TestOAuthServer& proveedor)
        : proveedor_(proveedor) {}

protected:
    int sync() override {
        std::smatch m;
        const std::string texto = str();
        static const std::regex codigo("escriba el código ([A-Z0-9]+)");
        if (!respondido_ && std::regex_search(texto, m, codigo)) {
            proveedor_.answerDeviceCode(m[1]);
            respondido_ = true;
        }
        return 0;
    }

private:
    const test::TestOAuthServer& proveedor_;
    bool respondido_ = false;
};

class OrdenIniciarSesionTest : public ::testing::Test {
protected:
    void SetUp() override {
        try {
            test::OAuthServerOptions o;
            o.deviceIntervalSeconds = 0; // the poll after the answer needs no real wait
            proveedor = std::make_unique<test::TestOAuthServer>(o);
            test::MailServerOptions m;
            m.oauthTokens = proveedor->tokensFile();
            correo = std::make_unique<test::TestMailServer>(m);
        } catch (const std::exception& e) {
            GTEST_SKIP() << "the local servers cannot start: " << e.what();
        }
        suitegen::DescripcionSuite d;
        d.clientes = {{1, "Acme", "ORO", false, {{"E", "acme@ejemplo.es", 0}}}};
        d.documentos = {{"000001_20260301_000001.pdf", "2026", 3000}};
        suitegen::ServidorCorreo servidor;
        servidor.puerto = correo->plainPort();
        servidor.cuenta = "oficina@example.com";
        servidor.asunto = "Su factura";
        servidor.mensaje = "Le enviamos su documento.";
        d.correo = servidor;
        suitegen::generarSuite(folder.path(), d);
        ConfiguracionOAuth oauth;
        oauth.autenticacion = Autenticacion::OtroProveedor;
        oauth.cuenta = "oficina@example.com";
        oauth.idCliente = "cliente-de-prueba";
        oauth.urlToken = proveedor->url("/token");
        oauth.urlDispositivo = proveedor->url("/devicecode");
        ASSERT_TRUE(GuardarConfiguracionOAuth(folder / "KRN.INI", oauth));
        // The runs find the sign-in where --iniciar-sesion left it: the program's store.
        installProgramSecretStore(std::make_unique<FileSecretStore>(folder / "sesiones"));
    }

    void TearDown() override {
        installProgramSecretStore(
            std::make_unique<FileSecretStore>(FileSecretStore::defaultFolder()));
    }

    int enviar(std::ostringstream& errores) {
        std::ostringstream salida;
        std::vector<SolicitudInforme> informes;
        const CreadorInformePdf crear = [&informes](const CarpetaPrograma&,
                                                    const std::filesystem::path&) {
            return std::make_unique<test::VisorEnLista>(informes);
        };
        return ordenEnviar(analizarLineaDeOrdenes({"--enviar", "--seleccion", "email", "--reenviar",
                                                   "--anio", "2026", "--mes", "3"}),
                           CarpetaPrograma(folder.path()), test::RelojFijo({2026, 5, 20}), crear,
                           salida, errores, false);
    }

    TemporaryFolder folder;
    std::unique_ptr<test::TestOAuthServer> proveedor;
    std::unique_ptr<test::TestMailServer> correo;
};

TEST_F(OrdenIniciarSesionTest, DeviceCodeSignInThenRunsSendUntilTheSignInIsRevoked) {
    PersonaConOtroDispositivo persona(*proveedor);
    std::ostream pantalla(&persona);
    std::ostringstream errores;
    CurlHttpClient http;
    ASSERT_EQ(ordenIniciarSesion(analizarLineaDeOrdenes({"--iniciar-sesion", "--con-codigo"}),
                                 CarpetaPrograma(folder.path()), http, programSecretStore(),
                                 RelojDelSistema(), pantalla, errores),
              0)
        << errores.str();
    EXPECT_NE(persona.str().find("Sesión iniciada con la cuenta oficina@example.com"),
              std::string::npos);
    // Nothing of the sign-in is in the office's shared settings.
    const std::string krn = TemporaryFolder::readPath(folder / "KRN.INI");
    EXPECT_EQ(krn.find("rt-"), std::string::npos);
    EXPECT_EQ(krn.find("at-"), std::string::npos);

    ASSERT_EQ(enviar(errores), 0) << errores.str();
    ASSERT_EQ(correo->messages().size(), 1u);
    EXPECT_EQ(correo->messages()[0].authUser, "oficina@example.com");
    // A new run renews the access token with the stored refresh token.
    EXPECT_EQ(proveedor->count("refresh_token"), 1);

    proveedor->revokeRefreshTokens();
    errores.str("");
    EXPECT_EQ(enviar(errores), 1);
    EXPECT_NE(errores.str().find("Vuelva a iniciar sesión con la cuenta oficina@example.com"),
              std::string::npos)
        << errores.str();
    EXPECT_EQ(correo->messages().size(), 1u);
}

} // namespace
} // namespace envio::cli
