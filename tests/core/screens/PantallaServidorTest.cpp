#include "screens/PantallaServidor.h"

#include "DialogosGrabados.h"
#include "TemporaryFolder.h"
#include "TestMailServer.h"
#include "TestOAuthServer.h"
#include "mail/clsCDOmail.h"
#include "platform/CurlMailTransport.h"
#include "settings/CodificarClave.h"
#include "settings/IniFile.h"
#include "settings/Windows1252.h"

#include <future>
#include <gtest/gtest.h>

namespace envio {
namespace {

using namespace std::chrono_literals;
using test::DialogosGrabados;
using test::TemporaryFolder;
using test::TestMailServer;

class SondaSiempre final : public ConnectivityProbe {
public:
    bool hasConnection(std::string_view) override { return true; }
};

// Keeps what the window handed to the mail component, and says it was sent.
class ComponenteAnotador final : public MailTransport {
public:
    ResultadoEnvio enviar(const ConfiguracionSmtp& c, const MensajeSmtp& m) override {
        configuracion = c;
        mensaje = m;
        ResultadoEnvio r;
        r.enviado = true;
        return r;
    }
    ConfiguracionSmtp configuracion;
    MensajeSmtp mensaje;
};

ComponentesCorreo componentesReales() {
    return {[] { return std::make_unique<CurlMailTransport>(); },
            [] { return std::make_unique<SondaSiempre>(); }};
}

// Any component at all; for the tests that never send.
ComponentesCorreo sinEnvio() {
    return componentesReales();
}

const char* kKrnCompleto = "[Facturaci\xF3n]\r\n"
                           "RutaFacturas=C:\\Suite\\Datos\r\n"
                           "[servidor]\r\n"
                           "Servidor=smtp.gestoria.es\r\n"
                           "Puerto=587\r\n"
                           "cuenta=oficina@gestoria.es\r\n"
                           "Usuario=oficina\r\n"
                           "Password=\r\n"
                           "SSL=1\r\n";

class PantallaServidorTest : public ::testing::Test {
protected:
    TemporaryFolder carpeta;
    DialogosGrabados dialogos;
    std::filesystem::path krn = carpeta / "KRN.INI";

    std::unique_ptr<PantallaServidor> abrir(ComponentesCorreo c = sinEnvio(),
                                            RecargarCorreo recargar = {}) {
        auto p =
            std::make_unique<PantallaServidor>(krn, dialogos, std::move(c), std::move(recargar));
        p->cargar();
        return p;
    }
    std::string archivo() const { return TemporaryFolder::readPath(krn); }
};

TEST_F(PantallaServidorTest, AFileWithoutTheSectionShowsAnEmptyServerPort25AndNoSsl) {
    carpeta.write("KRN.INI", "[Facturaci\xF3n]\r\nRutaFacturas=C:\\Suite\r\n");
    const auto p = abrir();
    EXPECT_EQ(p->campos(), (CamposServidor{"", "25", false, "", "", ""}));
    EXPECT_FALSE(p->blnCambios());
    EXPECT_FALSE(p->guardarHabilitado());
}

TEST_F(PantallaServidorTest, TheStoredValuesFillTheBoxesWithThePasswordUnscrambled) {
    // The file is in the suite's code page, as the suite's programs write it.
    carpeta.write("KRN.INI",
                  utf8ToWindows1252("[SERVIDOR]\r\nservidor=smtp.gestoria.es\r\nPUERTO=2525\r\n"
                                    "Cuenta=oficina@gestoria.es\r\nusuario=oficina\r\npassword=" +
                                    CodificarClave("Contraseña-1", true) + "\r\n"));
    const auto p = abrir();
    EXPECT_EQ(p->campos(), (CamposServidor{"smtp.gestoria.es", "2525", false, "oficina@gestoria.es",
                                           "oficina", "Contraseña-1"}));
    EXPECT_EQ(p->texto(CampoServidor::Password), "Contraseña-1");
}

struct CasoSsl {
    const char* almacenado;
    bool marcado;
};

class SslAlmacenado : public PantallaServidorTest, public ::testing::WithParamInterface<CasoSsl> {};

TEST_P(SslAlmacenado, ChecksTheBoxOnlyForANumberOtherThanZero) {
    carpeta.write("KRN.INI", std::string("[servidor]\r\nServidor=smtp\r\nSSL=") +
                                 GetParam().almacenado + "\r\n");
    const auto p = abrir();
    EXPECT_EQ(p->campos().ssl, GetParam().marcado) << '"' << GetParam().almacenado << '"';
    EXPECT_FALSE(p->guardarHabilitado());
}

INSTANTIATE_TEST_SUITE_P(Valores, SslAlmacenado,
                         ::testing::Values(CasoSsl{"1", true}, CasoSsl{"0", false},
                                           CasoSsl{"", false}, CasoSsl{"si", false},
                                           CasoSsl{"abc", false}, CasoSsl{" 1 ", true},
                                           CasoSsl{"-1", true}, CasoSsl{"0.0", false}));

TEST_F(PantallaServidorTest, SavingStoresTheSixKeysWithThePasswordScrambledAndSslAsOne) {
    carpeta.write("KRN.INI", "[Facturaci\xF3n]\r\nRutaFacturas=C:\\Suite\r\n");
    auto p = abrir();
    p->escribir(CampoServidor::Servidor, "smtp.gestoria.es");
    p->escribir(CampoServidor::Puerto, "587");
    p->escribir(CampoServidor::Cuenta, "oficina@gestoria.es");
    p->escribir(CampoServidor::Usuario, "oficina");
    p->escribir(CampoServidor::Password, "Secreto-Ñ1");
    p->marcarSsl(true);
    ASSERT_TRUE(p->GuardarConfiguracion());
    EXPECT_TRUE(dialogos.cuadros().empty());
    EXPECT_FALSE(p->blnCambios());
    EXPECT_FALSE(p->guardarHabilitado());

    const std::string bytes = archivo();
    // The suite's own lines stay as they were, byte for byte.
    EXPECT_EQ(bytes.rfind("[Facturaci\xF3n]\r\nRutaFacturas=C:\\Suite\r\n", 0), 0u);
    EXPECT_NE(bytes.find("\r\nServidor=smtp.gestoria.es\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("\r\nPuerto=587\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("\r\ncuenta=oficina@gestoria.es\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("\r\nUsuario=oficina\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("\r\nSSL=1\r\n"), std::string::npos);
    EXPECT_EQ(bytes.find("Limite"), std::string::npos); // none set, none written
    // The clear password is nowhere, in UTF-8 nor in the file's code page.
    EXPECT_EQ(bytes.find("Secreto"), std::string::npos);
    EXPECT_EQ(bytes.find("ecret"), std::string::npos);
    const std::string almacenado = LeerIni(krn, "servidor", "Password", "");
    EXPECT_EQ(almacenado.size(), 2 * std::string("Secreto-Ñ1").size() - 1); // Ñ is 2 bytes here
    EXPECT_EQ(CodificarClave(almacenado, false), "Secreto-Ñ1");

    // Reopening shows the typed password again.
    const auto otra = abrir();
    EXPECT_EQ(otra->campos(), (CamposServidor{"smtp.gestoria.es", "587", true,
                                              "oficina@gestoria.es", "oficina", "Secreto-Ñ1"}));
}

TEST_F(PantallaServidorTest, SavingWithSslClearStoresZeroAndAnEmptyPasswordAsEmpty) {
    carpeta.write("KRN.INI", kKrnCompleto);
    auto p = abrir();
    p->marcarSsl(false);
    ASSERT_TRUE(p->GuardarConfiguracion());
    EXPECT_EQ(LeerIni(krn, "Servidor", "SSL", "x"), "0");
    EXPECT_EQ(LeerIni(krn, "servidor", "Password", "x"), "");
}

TEST_F(PantallaServidorTest, ClosingRightAfterOpeningAsksNothingAndWritesNothing) {
    carpeta.write("KRN.INI", kKrnCompleto);
    auto p = abrir();
    EXPECT_TRUE(p->cerrar());
    EXPECT_TRUE(dialogos.cuadros().empty());
    EXPECT_EQ(archivo(), kKrnCompleto);
}

TEST_F(PantallaServidorTest, AnEditThenClosingAsksAndNoLeavesTheFileByteIdentical) {
    carpeta.write("KRN.INI", kKrnCompleto);
    auto p = abrir();
    p->escribir(CampoServidor::Servidor, "otro.servidor.es");
    EXPECT_TRUE(p->guardarHabilitado());
    dialogos.responder(Respuesta::No);
    EXPECT_TRUE(p->cerrar());
    ASSERT_EQ(dialogos.cuadros().size(), 1u);
    EXPECT_EQ(dialogos.cuadros()[0], (CuadroMensaje{"¿Desea guardar los cambios?", "Aviso",
                                                    Icono::Pregunta, Botones::SiNo}));
    EXPECT_EQ(archivo(), kKrnCompleto);
}

TEST_F(PantallaServidorTest, AnEditThenClosingWithYesSaves) {
    carpeta.write("KRN.INI", kKrnCompleto);
    auto p = abrir();
    p->escribir(CampoServidor::Usuario, "nuevo");
    dialogos.responder(Respuesta::Si);
    EXPECT_TRUE(p->cerrar());
    EXPECT_EQ(LeerIni(krn, "servidor", "Usuario", ""), "nuevo");
    EXPECT_FALSE(p->blnCambios());
}

TEST_F(PantallaServidorTest, EveryKindOfEditCountsAsAChange) {
    carpeta.write("KRN.INI", kKrnCompleto);
    for (const auto campo : {CampoServidor::Servidor, CampoServidor::Puerto, CampoServidor::Cuenta,
                             CampoServidor::Usuario, CampoServidor::Password}) {
        auto p = abrir();
        // Putting back the same text is still an edit, as typing it would be.
        p->escribir(campo, std::string(p->texto(campo)));
        EXPECT_TRUE(p->blnCambios());
        EXPECT_TRUE(p->guardarHabilitado());
    }
    auto p = abrir();
    p->marcarSsl(false);
    p->marcarSsl(true);
    EXPECT_TRUE(p->blnCambios());
    EXPECT_TRUE(p->guardarHabilitado());
}

TEST_F(PantallaServidorTest, APortThatIsNotOneIsRefusedAndNothingIsWritten) {
    carpeta.write("KRN.INI", kKrnCompleto);
    for (const char* puerto : {"abc", "", "0", "70000"}) {
        auto p = abrir();
        p->escribir(CampoServidor::Puerto, puerto);
        EXPECT_FALSE(p->GuardarConfiguracion()) << puerto;
        EXPECT_TRUE(p->guardarHabilitado());
        EXPECT_EQ(archivo(), kKrnCompleto);
    }
    EXPECT_EQ(dialogos.cuadros().size(), 4u);
    EXPECT_EQ(dialogos.cuadros()[0],
              (CuadroMensaje{kTextoPuertoNoValido, "Aviso", Icono::Exclamacion, Botones::Aceptar}));
}

TEST_F(PantallaServidorTest, APasswordTheScrambledFormCannotHoldIsRefused) {
    carpeta.write("KRN.INI", kKrnCompleto);
    for (const char* clave : {"ÿ-final", "cafþe", "łódź"}) {
        auto p = abrir();
        p->escribir(CampoServidor::Password, clave);
        EXPECT_FALSE(p->GuardarConfiguracion()) << clave;
        EXPECT_EQ(archivo(), kKrnCompleto);
    }
    EXPECT_EQ(dialogos.textos(), std::vector<std::string>(3, kTextoClaveNoGuardable));
    EXPECT_TRUE(claveGuardable("Contraseña-1 €ü"));
}

TEST_F(PantallaServidorTest, AFailedWriteIsToldAndKeepsTheChangesAndTheWindowOpen) {
    krn = carpeta / "no-existe" / "KRN.INI";
    auto p = abrir();
    p->escribir(CampoServidor::Servidor, "smtp.gestoria.es");
    dialogos.responder(Respuesta::Si);
    EXPECT_FALSE(p->cerrar());
    ASSERT_EQ(dialogos.cuadros().size(), 2u);
    EXPECT_EQ(dialogos.cuadros()[1].icono, Icono::Critico);
    EXPECT_NE(dialogos.cuadros()[1].texto.find("No se pudo guardar"), std::string::npos);
    EXPECT_TRUE(p->guardarHabilitado());
}

TEST_F(PantallaServidorTest, SavingHandsTheNewSettingsToTheSendingRuns) {
    carpeta.write("KRN.INI", kKrnCompleto);
    std::optional<ConfiguracionCorreo> recargada;
    auto p = abrir(sinEnvio(), [&](const ConfiguracionCorreo& c) { recargada = c; });
    p->escribir(CampoServidor::Servidor, "nuevo.gestoria.es");
    p->escribir(CampoServidor::Password, "clave");
    ASSERT_TRUE(p->GuardarConfiguracion());
    ASSERT_TRUE(recargada);
    EXPECT_EQ(recargada->servidor, "nuevo.gestoria.es");
    EXPECT_EQ(recargada->puerto, 587);
    EXPECT_TRUE(recargada->ssl);
    EXPECT_EQ(recargada->password, "clave");
}

// The SSL box only says how to connect: the stored port, usual or not, is never rewritten.
TEST_F(PantallaServidorTest, TickingSslNeverRewritesTheStoredPort) {
    carpeta.write("KRN.INI", kKrnCompleto); // 587 with SSL
    auto p = abrir();
    p->marcarSsl(false);
    p->marcarSsl(true);
    p->marcarSsl(false);
    EXPECT_EQ(p->campos().puerto, "587");
    ASSERT_TRUE(p->GuardarConfiguracion());
    EXPECT_EQ(LeerIni(krn, "servidor", "Puerto", ""), "587");
    EXPECT_EQ(LeerIni(krn, "Servidor", "SSL", ""), "0");
}

// The sending limits: stored in the server section with the other keys, read back into the
// runs' settings, shown under a preset's name when they are one.
TEST_F(PantallaServidorTest, SendingLimitsAreStoredAndReadBackByTheRuns) {
    carpeta.write("KRN.INI", kKrnCompleto);
    auto p = abrir();
    EXPECT_EQ(proveedorDe(p->limites()), ProveedorLimites::Ninguno);
    p->fijarLimites(limitesDe(ProveedorLimites::Microsoft365));
    EXPECT_TRUE(p->blnCambios());
    ASSERT_TRUE(p->GuardarConfiguracion());
    EXPECT_EQ(LeerIni(krn, "servidor", "LimitePorMinuto", ""), "30");
    EXPECT_EQ(LeerIni(krn, "servidor", "LimitePorDia", ""), "10000");
    const ConfiguracionCorreo c = CargarConfiguracion(krn);
    EXPECT_EQ(c.limitePorMinuto, 30);
    EXPECT_EQ(c.limitePorDia, 10000);
    p = abrir();
    EXPECT_EQ(proveedorDe(p->limites()), ProveedorLimites::Microsoft365);
    p->fijarLimites({20, 500});
    ASSERT_TRUE(p->GuardarConfiguracion());
    EXPECT_EQ(proveedorDe(abrir()->limites()), ProveedorLimites::Otros);
    // A hand-edited value that is no count is no limit, not a stop to every run.
    EscribirIni(krn, "servidor", "LimitePorDia", "muchos");
    EXPECT_EQ(CargarConfiguracion(krn).limitePorDia, 0);
}

TEST_F(PantallaServidorTest, TheTestMessageGetsTheBoxesAsTheyStand) {
    ComponenteAnotador componente;
    SondaSiempre sonda;
    CamposServidor c{"smtp.gestoria.es", "587", false, "oficina@gestoria.es", "oficina", "clave"};
    const IntentoPrueba intento =
        PantallaServidor::ProbarConfiguracion(c, componente, sonda, dialogos);
    EXPECT_TRUE(intento.enviado);
    EXPECT_EQ(componente.configuracion.servidor, "smtp.gestoria.es");
    EXPECT_EQ(componente.configuracion.puerto, 587.0);
    EXPECT_TRUE(componente.configuracion.autenticar);
    EXPECT_EQ(componente.configuracion.usuario, "oficina");
    EXPECT_EQ(componente.configuracion.password, "clave");
    EXPECT_EQ(componente.configuracion.ssl, false);
    EXPECT_EQ(componente.mensaje.remitente, "oficina@gestoria.es");
    EXPECT_EQ(componente.mensaje.destinatarios, std::vector<std::string>{"oficina@gestoria.es"});
    EXPECT_FALSE(componente.mensaje.adjunto);
    ASSERT_EQ(dialogos.cuadros().size(), 1u);
    EXPECT_EQ(dialogos.cuadros()[0], (CuadroMensaje{"Mensaje enviado", kTituloPrograma,
                                                    Icono::Informacion, Botones::Aceptar}));

    c.ssl = true;
    PantallaServidor::ProbarConfiguracion(c, componente, sonda, dialogos);
    EXPECT_EQ(componente.configuracion.ssl, true);
    EXPECT_TRUE(componente.configuracion.autenticar);
}

TEST_F(PantallaServidorTest, ThePortBoxIsReadByItsLeadingNumberAndLettersAreZero) {
    ComponenteAnotador componente;
    SondaSiempre sonda;
    CamposServidor c{"smtp", "", false, "a@b.es", "", ""};
    for (const auto& [texto, numero] : std::vector<std::pair<std::string, double>>{
             {"587", 587}, {" 25 ", 25}, {"465abc", 465}, {"abc", 0}, {"", 0}}) {
        c.puerto = texto;
        const auto intento = PantallaServidor::ProbarConfiguracion(c, componente, sonda, dialogos);
        EXPECT_EQ(componente.configuracion.puerto, numero) << texto;
        EXPECT_EQ(intento.puerto, numero) << texto;
    }
}

TEST_F(PantallaServidorTest, TheTestWithUnsavedEditsReachesTheServerAndLeavesTheFileAlone) {
    test::MailServerOptions opciones;
    opciones.user = "oficina";
    opciones.password = "Contraseña-1";
    TestMailServer servidor(opciones);
    carpeta.write("KRN.INI", kKrnCompleto);
    auto p = abrir(componentesReales());
    p->escribir(CampoServidor::Servidor, "127.0.0.1");
    p->escribir(CampoServidor::Puerto, std::to_string(servidor.plainPort()));
    p->marcarSsl(false);
    p->escribir(CampoServidor::Cuenta, "prueba@gestoria.es");
    p->escribir(CampoServidor::Password, "Contraseña-1");

    std::optional<IntentoPrueba> fin;
    dialogos.retener(true); // the test's box stays up until the window has tried to close
    ASSERT_TRUE(p->iniciarPrueba([&](const IntentoPrueba& i) { fin = i; }));
    EXPECT_FALSE(p->cerrar()); // not while the test is under way
    dialogos.retener(false);
    p->esperarPrueba();
    EXPECT_FALSE(p->probando());

    ASSERT_TRUE(fin);
    EXPECT_TRUE(fin->enviado);
    EXPECT_EQ(fin->puerto, servidor.plainPort());
    const auto mensajes = servidor.messages();
    ASSERT_EQ(mensajes.size(), 1u);
    EXPECT_EQ(mensajes[0].sender, "prueba@gestoria.es");
    EXPECT_EQ(mensajes[0].recipients, std::vector<std::string>{"prueba@gestoria.es"});
    EXPECT_EQ(mensajes[0].authUser, "oficina");
    EXPECT_NE(mensajes[0].raw.find("Subject: Prueba de mensaje\r\n"), std::string::npos);
    EXPECT_EQ(dialogos.textos(), std::vector<std::string>{"Mensaje enviado"});
    EXPECT_EQ(archivo(), kKrnCompleto);
    EXPECT_TRUE(p->blnCambios());
}

TEST_F(PantallaServidorTest, AFailedTestShowsTheErrorThenSaysWhichServerAndPortItTried) {
    TestMailServer servidor;
    auto p = abrir(componentesReales());
    p->escribir(CampoServidor::Servidor, "127.0.0.1");
    p->escribir(CampoServidor::Puerto, "abc");
    p->escribir(CampoServidor::Cuenta, "prueba@gestoria.es");
    IntentoPrueba intento;
    ASSERT_TRUE(p->iniciarPrueba([&](const IntentoPrueba& i) { intento = i; }));
    p->esperarPrueba();
    EXPECT_TRUE(servidor.messages().empty());
    const auto cuadros = dialogos.cuadros();
    ASSERT_EQ(cuadros.size(), 2u);
    EXPECT_EQ(cuadros[0].icono, Icono::Critico);
    EXPECT_EQ(cuadros[0].titulo, std::to_string(correo::FalloConexion));
    EXPECT_EQ(cuadros[0].texto, std::string(TextoFalloConexion));
    EXPECT_EQ(cuadros[1].titulo, "Aviso");
    EXPECT_EQ(cuadros[1].icono, Icono::Critico);
    EXPECT_EQ(cuadros[1].texto,
              "El programa no fue capaz de enviar el mensaje, revise la configuración");
    // What was tried goes to the window's status line.
    EXPECT_FALSE(intento.enviado);
    EXPECT_EQ(describirIntento(intento.servidor, intento.puerto, intento.ssl),
              "el servidor «127.0.0.1», puerto 0, sin SSL");
}

TEST_F(PantallaServidorTest, OAuth2SignInAndTestMessageKeepTheTokensOutOfTheSettings) {
    std::unique_ptr<test::TestOAuthServer> proveedor;
    std::unique_ptr<TestMailServer> servidor;
    try {
        proveedor = std::make_unique<test::TestOAuthServer>();
        test::MailServerOptions opciones;
        opciones.oauthTokens = proveedor->tokensFile();
        servidor = std::make_unique<TestMailServer>(opciones);
    } catch (const std::exception& e) {
        GTEST_SKIP() << "the local servers cannot start: " << e.what();
    }
    carpeta.write("KRN.INI", "[servidor]\r\nServidor=127.0.0.1\r\nPuerto=" +
                                 std::to_string(servidor->plainPort()) +
                                 "\r\ncuenta=oficina@example.com\r\n");
    FileSecretStore almacen(carpeta / "sesiones");
    auto p = abrir(componentesReales());
    p->usarComponentesOAuth({{}, &almacen});
    ConfiguracionOAuth oauth;
    oauth.autenticacion = Autenticacion::OtroProveedor;
    oauth.idCliente = "cliente-de-prueba";
    oauth.urlAutorizacion = proveedor->url("/authorize");
    oauth.urlToken = proveedor->url("/token");
    p->escribirOAuth(oauth);
    EXPECT_TRUE(p->guardarHabilitado());
    ASSERT_TRUE(p->GuardarConfiguracion());
    // With no user of its own, the mailbox signs in as itself.
    EXPECT_EQ(LeerConfiguracionOAuth(krn).cuenta, "oficina@example.com");
    EXPECT_EQ(LeerConfiguracionOAuth(krn).idCliente, "cliente-de-prueba");

    std::future<long> navegador;
    ASSERT_TRUE(p->iniciarSesion([&navegador](const std::string& url) {
        navegador =
            std::async(std::launch::async, [url] { return test::TestOAuthServer::browse(url); });
        return true;
    }));
    p->esperarPrueba();
    navegador.wait();
    ASSERT_FALSE(dialogos.cuadros().empty());
    EXPECT_TRUE(dialogos.cuadros().back().texto.starts_with(
        "Sesión iniciada con la cuenta oficina@example.com"))
        << dialogos.cuadros().back().texto;
    EXPECT_NE(p->estadoSesion().find("Hay una sesión iniciada"), std::string::npos);

    ASSERT_TRUE(p->iniciarPrueba());
    p->esperarPrueba();
    const auto mensajes = servidor->messages();
    ASSERT_EQ(mensajes.size(), 1u) << dialogos.textos().back();
    EXPECT_EQ(mensajes[0].authUser, "oficina@example.com");
    // The local provider's tokens start so; none of them is in the shared settings.
    EXPECT_EQ(archivo().find("rt-"), std::string::npos);
    EXPECT_EQ(archivo().find("at-"), std::string::npos);
}

} // namespace
} // namespace envio
