// Signing in with OAuth2 and sending with XOAUTH2, against the local authorization server and
// the local mail server, both on 127.0.0.1.
#include "oauth/SesionOAuth.h"

#include "TemporaryFolder.h"
#include "TestMailServer.h"
#include "TestOAuthServer.h"
#include "oauth/TransporteOAuth.h"
#include "platform/CurlMailTransport.h"

#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace envio {
namespace {

using namespace std::chrono_literals;
using test::TestMailServer;
using test::TestOAuthServer;

class RelojMovible : public Reloj {
public:
    [[nodiscard]] Fecha hoy() const override { return {2026, 3, 2}; }
    [[nodiscard]] std::chrono::system_clock::time_point ahora() const override { return ahora_; }
    void avanzar(std::chrono::seconds s) { ahora_ += s; }
    void esperar(std::chrono::milliseconds d) const override { ahora_ += d; }

private:
    mutable std::chrono::system_clock::time_point ahora_ = std::chrono::system_clock::now();
};

class SesionOAuthTest : public ::testing::Test {
protected:
    void SetUp() override {
        try {
            oauth_ = std::make_unique<TestOAuthServer>();
            test::MailServerOptions opciones;
            opciones.oauthTokens = oauth_->tokensFile();
            correo_ = std::make_unique<TestMailServer>(opciones);
        } catch (const std::exception& e) {
            GTEST_SKIP() << "the local servers cannot start: " << e.what();
        }
        configuracion_.autenticacion = Autenticacion::OtroProveedor;
        configuracion_.cuenta = "oficina@example.com";
        configuracion_.idCliente = "cliente-de-prueba";
        configuracion_.urlAutorizacion = oauth_->url("/authorize");
        configuracion_.urlToken = oauth_->url("/token");
        configuracion_.urlDispositivo = oauth_->url("/devicecode");
        configuracion_.ambito = "https://mail.example.com/smtp";
    }

    // The device sign-in, with the person answering while the program waits its first turn.
    TokensOAuth iniciarConDispositivo() {
        std::string codigo;
        int esperas = 0;
        InicioConDispositivo inicio;
        inicio.mostrarCodigo = [&](const CodigoDispositivo& c) { codigo = c.codigoUsuario; };
        inicio.esperar = [&](std::chrono::seconds) {
            if (++esperas == 2) {
                oauth_->answerDeviceCode(codigo);
            }
        };
        return iniciarSesionConDispositivo(configuracion_, http_, reloj_, inicio);
    }

    ResultadoEnvio enviar(SesionOAuth& sesion) { return enviar(sesion, curl_); }
    ResultadoEnvio enviar(SesionOAuth& sesion, MailTransport& componente) {
        TransporteOAuth transporte(componente, sesion);
        ConfiguracionSmtp smtp;
        smtp.servidor = "127.0.0.1";
        smtp.puerto = correo_->plainPort();
        smtp.autenticar = true;
        smtp.usuario = "otro-usuario-de-contrasena";
        smtp.password = "contraseña";
        MensajeSmtp mensaje;
        mensaje.remitente = "oficina@example.com";
        mensaje.destinatarios = {"cliente@example.org"};
        mensaje.cabeceras = {"Subject: Factura"};
        mensaje.cuerpo = "Adjuntamos la factura.\r\n";
        return transporte.enviar(smtp, mensaje);
    }

    std::unique_ptr<TestOAuthServer> oauth_;
    std::unique_ptr<TestMailServer> correo_;
    ConfiguracionOAuth configuracion_;
    CurlHttpClient http_;
    RelojMovible reloj_;
    test::TemporaryFolder carpeta_;
    FileSecretStore almacen_{carpeta_ / "sesiones"};
    CurlMailTransport curl_;
};

TEST_F(SesionOAuthTest, DeviceCodeSignInSendsWithItsToken) {
    SesionOAuth sesion(configuracion_, http_, almacen_, reloj_);
    sesion.guardar(iniciarConDispositivo());
    EXPECT_EQ(oauth_->count("device_polls"), 2); // once pending, once answered

    // The refresh token is on disk for this user only, and nowhere near KRN.INI.
    struct stat estado {};
    ASSERT_EQ(::stat(almacen_.pathOf(claveSesion(configuracion_)).c_str(), &estado), 0);
    EXPECT_EQ(estado.st_mode & 0777, 0600u);

    const ResultadoEnvio r = enviar(sesion);
    ASSERT_TRUE(r.enviado) << r.descripcion;
    const auto mensajes = correo_->messages();
    ASSERT_EQ(mensajes.size(), 1u);
    EXPECT_EQ(mensajes[0].authUser, "oficina@example.com");
}

TEST_F(SesionOAuthTest, BrowserSignInWithPkceAndLoopbackRedirect) {
    std::future<long> navegador;
    InicioEnNavegador inicio;
    inicio.espera = 30s;
    // The test is the browser: it follows the provider's redirect to our loopback address.
    inicio.abrirNavegador = [&](const std::string& url) {
        navegador = std::async(std::launch::async, [url] { return TestOAuthServer::browse(url); });
        return true;
    };
    SesionOAuth sesion(configuracion_, http_, almacen_, reloj_);
    sesion.guardar(iniciarSesionEnNavegador(configuracion_, http_, reloj_, inicio));
    EXPECT_EQ(navegador.get(), 200); // our page after the redirect
    EXPECT_EQ(oauth_->count("authorization_code"), 1);

    // A second session, as a later run starts, finds the sign-in in the store.
    SesionOAuth otraEjecucion(configuracion_, http_, almacen_, reloj_);
    const ResultadoEnvio r = enviar(otraEjecucion);
    ASSERT_TRUE(r.enviado) << r.descripcion;
    EXPECT_EQ(correo_->messages().size(), 1u);
}

TEST_F(SesionOAuthTest, BrowserAnswerOfAnotherRequestIsNotUsed) {
    std::future<long> navegador;
    InicioEnNavegador inicio;
    inicio.espera = 30s;
    // Someone else's redirect reaches the loopback first, with a state of its own.
    inicio.abrirNavegador = [&](const std::string& url) {
        std::string redireccion;
        for (const auto& [nombre, valor] : parseQuery(url.substr(url.find('?') + 1))) {
            if (nombre == "redirect_uri") {
                redireccion = valor;
            }
        }
        navegador = std::async(std::launch::async, [redireccion] {
            return TestOAuthServer::browse(redireccion + "?code=ajeno&state=ajeno");
        });
        return true;
    };
    try {
        iniciarSesionEnNavegador(configuracion_, http_, reloj_, inicio);
        ADD_FAILURE() << "a forged answer was taken";
    } catch (const ErrorSesion& e) {
        EXPECT_NE(std::string(e.what()).find("no corresponde"), std::string::npos) << e.what();
    }
    navegador.wait();
    EXPECT_EQ(oauth_->count("refused") + oauth_->count("authorization_code"), 0);
}

TEST_F(SesionOAuthTest, ExpiredTokenIsRenewedWithoutAsking) {
    SesionOAuth sesion(configuracion_, http_, almacen_, reloj_);
    sesion.guardar(iniciarConDispositivo());
    ASSERT_TRUE(enviar(sesion).enviado);

    // An hour and more later the token has run out: renewed before connecting.
    oauth_->expireAccessTokens();
    reloj_.avanzar(2h);
    ResultadoEnvio r = enviar(sesion);
    ASSERT_TRUE(r.enviado) << r.descripcion;
    EXPECT_EQ(oauth_->count("refresh_token"), 1);

    // On a new connection the server refuses the token our clock still holds good: renewed
    // once, and sent. The provider replaced the refresh token at the first renewal, so this
    // works only when the new one was kept.
    oauth_->expireAccessTokens();
    CurlMailTransport nuevaConexion;
    r = enviar(sesion, nuevaConexion);
    ASSERT_TRUE(r.enviado) << r.descripcion;
    EXPECT_EQ(oauth_->count("refresh_token"), 2);
    EXPECT_EQ(correo_->messages().size(), 3u);
}

TEST_F(SesionOAuthTest, RevokedSignInIsToldAndNothingIsSent) {
    SesionOAuth sesion(configuracion_, http_, almacen_, reloj_);
    sesion.guardar(iniciarConDispositivo());
    oauth_->revokeRefreshTokens();
    oauth_->expireAccessTokens();
    reloj_.avanzar(2h);

    const ResultadoEnvio r = enviar(sesion);
    EXPECT_FALSE(r.enviado);
    EXPECT_FALSE(r.puedeHaberseEntregado);
    EXPECT_EQ(r.numero, correo::ErrorEnvio); // a number whose box shows this text
    EXPECT_TRUE(
        r.descripcion.starts_with("Vuelva a iniciar sesión con la cuenta oficina@example.com"))
        << r.descripcion;
    EXPECT_EQ(correo_->connectionCount(), 0u);
    EXPECT_TRUE(correo_->messages().empty());

    // A machine that never signed in is told the same, without asking the provider.
    test::TemporaryFolder otra;
    FileSecretStore vacio(otra / "sesiones");
    SesionOAuth sinSesion(configuracion_, http_, vacio, reloj_);
    EXPECT_TRUE(enviar(sinSesion).descripcion.starts_with("Vuelva a iniciar sesión"));
}

} // namespace
} // namespace envio
