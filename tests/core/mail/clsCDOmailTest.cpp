// clsCDOmail against the local test mail server: everything that crosses the wire is checked on
// what the server received, decoded by Python's own mail parser.
#include "mail/clsCDOmail.h"

#include "CuttingProxy.h"
#include "MailReader.h"
#include "TemporaryFolder.h"
#include "TestMailServer.h"
#include "platform/CurlMailTransport.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <optional>
#include <random>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace envio {
namespace {

using namespace std::chrono_literals;
using test::CuttingProxy;
using test::MailServerOptions;
using test::readAsMailClient;
using test::ReadMessage;
using test::ScriptedMessage;
using test::TemporaryFolder;
using test::TestMailServer;

constexpr const char* Usuario = "oficina";
constexpr const char* Clave = "Contraseña-1";

class SondaFija final : public ConnectivityProbe {
public:
    explicit SondaFija(bool conectado) : conectado_(conectado) {}
    bool hasConnection(std::string_view) override { return conectado_; }

private:
    bool conectado_;
};

// Every event of one object, in order, so that "exactly one per call" can be checked.
struct Eventos {
    struct Evento {
        std::string tipo;
        std::string descripcion;
        long numero = 0;
    };
    std::vector<Evento> lista;

    void escuchar(clsCDOmail& mail) {
        mail.Error = [this](const std::string& d, long n) { lista.push_back({"Error", d, n}); };
        mail.EnvioCompleto = [this] { lista.push_back({"EnvioCompleto", {}, 0}); };
    }
};

// One Enviar and what it raised.
struct Salida {
    bool resultado = false;
    std::vector<Eventos::Evento> eventos;
    [[nodiscard]] const Eventos::Evento& unico() const {
        EXPECT_EQ(eventos.size(), 1u);
        static const Eventos::Evento vacio;
        return eventos.empty() ? vacio : eventos.front();
    }
};

Salida enviar(clsCDOmail& mail) {
    Eventos eventos;
    eventos.escuchar(mail);
    Salida s;
    s.resultado = mail.Enviar();
    s.eventos = eventos.lista;
    return s;
}

OpcionesCurl confiandoEn(const TestMailServer& servidor) {
    OpcionesCurl o;
    o.archivoCA = servidor.certificate();
    o.puertoTlsImplicito = servidor.smtpsPort();
    return o;
}

// A mail object set up the way the sending runs set it: authentication always on.
void rellenar(clsCDOmail& mail, int puerto, bool ssl = true) {
    mail.servidor = "127.0.0.1";
    mail.puerto = puerto;
    mail.UseAuntentificacion = true;
    mail.ssl = ssl;
    mail.Usuario = Usuario;
    mail.PassWord = Clave;
    mail.de = "Gestoría Núñez <oficina@gestoria.es>";
    mail.para = "cliente@ejemplo.es";
    mail.Asunto = "Factura";
    mail.Mensaje = "Adjuntamos su factura.";
}

MailServerOptions conTlsYCuenta() {
    MailServerOptions o;
    o.tls = true;
    o.user = Usuario;
    o.password = Clave;
    return o;
}

std::string bytesAlAzar(std::size_t n) {
    std::mt19937 azar(42);
    std::string s(n, '\0');
    for (char& c : s) {
        c = static_cast<char>(azar() & 0xFF);
    }
    return s;
}

TEST(clsCDOmailTest, AMessageArrivesIntactOverStartTlsWithAuthentication) {
    TestMailServer servidor(conTlsYCuenta());
    TemporaryFolder carpeta;
    const std::string pdf = "%PDF-1.4\n" + bytesAlAzar(100 * 1024);
    const auto ruta = carpeta.write("Nómina enero «2026».pdf", pdf);
    CurlMailTransport componente(confiandoEn(servidor));
    SondaFija sonda(true);

    clsCDOmail mail(componente, sonda);
    rellenar(mail, servidor.startTlsPort());
    mail.Asunto = "Nómina de enero — año 2026 (€)";
    const std::string larga = "Una línea larga = " + std::string(30, 'x') + " «ñ» " +
                              std::string(60, 'y') + " acaba en blanco ";
    mail.Mensaje =
        "Estimado cliente:\nle enviamos su nómina.\r\n.Línea que empieza con punto\r\n\n" + larga +
        "\nAtentamente,\rla gestoría";
    mail.Adjunto = ruta.string();
    mail.Confirmacion = true;
    const Salida s = enviar(mail);
    EXPECT_TRUE(s.resultado);
    EXPECT_EQ(s.unico().tipo, "EnvioCompleto");
    EXPECT_TRUE(mail.UltimoEnvio().respuesta.starts_with("250")) << mail.UltimoEnvio().respuesta;

    ASSERT_TRUE(servidor.waitForMessages(1, 5s));
    const auto recibido = servidor.messages().at(0);
    EXPECT_TRUE(recibido.tls);
    EXPECT_EQ(recibido.authUser, Usuario);
    EXPECT_EQ(recibido.sender, "oficina@gestoria.es");
    EXPECT_EQ(recibido.recipients, std::vector<std::string>{"cliente@ejemplo.es"});
    const ReadMessage leido = readAsMailClient(recibido.raw);
    EXPECT_EQ(leido.subject, "Nómina de enero — año 2026 (€)");
    EXPECT_EQ(leido.from, "Gestoría Núñez <oficina@gestoria.es>");
    EXPECT_EQ(leido.to, "cliente@ejemplo.es");
    // Every kind of line break arrives as CRLF, and a leading dot, a line longer than the wire's
    // and the blank that ends it survive.
    EXPECT_EQ(leido.body, "Estimado cliente:\r\nle enviamos su nómina.\r\n.Línea que empieza "
                          "con punto\r\n\r\n" +
                              larga + "\r\nAtentamente,\r\nla gestoría");
    EXPECT_EQ(leido.readReceiptTo, "Gestoría Núñez <oficina@gestoria.es>");
    EXPECT_NE(leido.headerNames.find("Date"), std::string::npos);
    EXPECT_NE(leido.headerNames.find("Message-ID"), std::string::npos);
    EXPECT_NE(recibido.raw.find("Message-ID: " + mail.UltimoEnvio().messageId), std::string::npos);
    ASSERT_EQ(leido.attachments, 1);
    EXPECT_EQ(leido.attachmentName, "Nómina enero «2026».pdf");
    EXPECT_TRUE(leido.attachment == pdf) << "the attachment changed on the way";

    // A second Enviar on the same object is a message of its own: its own recipient, and
    // without receipt or attachment it carries neither.
    mail.Confirmacion = false;
    mail.Adjunto.clear();
    mail.para = "segundo@ejemplo.es";
    const Salida otra = enviar(mail);
    EXPECT_TRUE(otra.resultado);
    EXPECT_EQ(otra.unico().tipo, "EnvioCompleto");
    ASSERT_TRUE(servidor.waitForMessages(2, 5s));
    const auto recibido2 = servidor.messages().at(1);
    EXPECT_EQ(recibido2.recipients, std::vector<std::string>{"segundo@ejemplo.es"});
    const ReadMessage segundo = readAsMailClient(recibido2.raw);
    EXPECT_EQ(segundo.to, "segundo@ejemplo.es");
    EXPECT_EQ(segundo.readReceiptTo, "");
    EXPECT_EQ(segundo.attachments, 0);
    EXPECT_EQ(segundo.headerNames.find("Disposition-Notification-To"), std::string::npos);
}

TEST(clsCDOmailTest, ImplicitTlsIsVerifiedAndAnUntrustedCertificateFails) {
    TestMailServer servidor(conTlsYCuenta());
    SondaFija sonda(true);
    {
        CurlMailTransport componente(confiandoEn(servidor));
        clsCDOmail mail(componente, sonda);
        rellenar(mail, servidor.smtpsPort());
        const Salida s = enviar(mail);
        EXPECT_TRUE(s.resultado);
        EXPECT_EQ(s.unico().tipo, "EnvioCompleto");
        ASSERT_TRUE(servidor.waitForMessages(1, 5s));
        EXPECT_TRUE(servidor.messages().at(0).tls);
    }
    // Without the test's authority the server's certificate is a stranger's: both ways refuse.
    OpcionesCurl sinConfianza;
    sinConfianza.puertoTlsImplicito = servidor.smtpsPort();
    CurlMailTransport componente(sinConfianza);
    for (const int puerto : {servidor.startTlsPort(), servidor.smtpsPort()}) {
        clsCDOmail mail(componente, sonda);
        rellenar(mail, puerto);
        const Salida s = enviar(mail);
        EXPECT_FALSE(s.resultado);
        EXPECT_EQ(s.unico().numero, -2147220973) << puerto;
        EXPECT_NE(s.unico().descripcion.find("no es de confianza"), std::string::npos)
            << s.unico().descripcion;
        EXPECT_NE(s.unico().descripcion.find("ArchivoCA"), std::string::npos)
            << s.unico().descripcion;
    }
    EXPECT_EQ(servidor.messages().size(), 1u);
}

// Each way TLS or the sign-in can fail names its own problem and remedy, in the box the
// connection or credentials case has always used; none sends anything.
TEST(clsCDOmailTest, EachTlsAndSignInProblemSaysWhatIsWrongAndWhatToDo) {
    struct Caso {
        const char* nombre;
        MailServerOptions servidor;
        bool confiar = true;        // the test's certificate as ArchivoCA
        bool tlsEnStartTls = false; // TLS from the first byte on the STARTTLS port
        std::optional<std::filesystem::path> archivoCA;
        long numero = correo::FalloConexion;
        std::vector<std::string> dice; // what the text must name
    };
    MailServerOptions caducado = conTlsYCuenta();
    caducado.certificateProblem = "expired";
    MailServerOptions otroNombre = conTlsYCuenta();
    otroNombre.certificateProblem = "wrong-name";
    MailServerOptions sinTls;
    sinTls.user = Usuario;
    sinTls.password = Clave;
    MailServerOptions sinContrasenas = conTlsYCuenta();
    sinContrasenas.authRefusal =
        "535 5.7.139 Authentication unsuccessful, basic authentication is disabled.";
    MailServerOptions google = conTlsYCuenta();
    google.authRefusal = "534 5.7.9 Application-specific password required.";
    const std::vector<Caso> casos{
        {"caducado",
         caducado,
         true,
         false,
         {},
         correo::FalloConexion,
         {"ha caducado", "renovarlo", "fecha y la hora"}},
        {"otro nombre",
         otroNombre,
         true,
         false,
         {},
         correo::FalloConexion,
         {"no es para el nombre «127.0.0.1»", "Escriba en Servidor"}},
        {"sin STARTTLS",
         sinTls,
         false,
         false,
         {},
         correo::FalloConexion,
         {"no ofrece STARTTLS", "587", "desmarque SSL"}},
        {"TLS en el puerto de STARTTLS",
         conTlsYCuenta(),
         true,
         true,
         {},
         correo::FalloConexion,
         {"conexión cifrada (TLS)", "Compruebe el puerto"}},
        {"ArchivoCA ilegible",
         conTlsYCuenta(),
         false,
         false,
         std::filesystem::path("/no/existe/autoridad.pem"),
         correo::FalloConexion,
         {"/no/existe/autoridad.pem", "ArchivoCA"}},
        {"Microsoft 365 sin contraseñas",
         sinContrasenas,
         true,
         false,
         {},
         correo::NoAceptado,
         {"5.7.139", "OAuth2", "Microsoft 365"}},
        {"Google sin contraseñas",
         google,
         true,
         false,
         {},
         correo::NoAceptado,
         {"5.7.9", "OAuth2", "Google"}},
    };
    SondaFija sonda(true);
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.nombre);
        TestMailServer servidor(caso.servidor);
        OpcionesCurl opciones;
        if (caso.confiar) {
            opciones.archivoCA = servidor.certificate();
        }
        if (caso.archivoCA) {
            opciones.archivoCA = caso.archivoCA;
        }
        const int puerto = caso.servidor.tls ? servidor.startTlsPort() : servidor.plainPort();
        opciones.puertoTlsImplicito = caso.tlsEnStartTls ? puerto : 465;
        CurlMailTransport componente(opciones);
        clsCDOmail mail(componente, sonda);
        rellenar(mail, puerto);
        const Salida s = enviar(mail);
        EXPECT_FALSE(s.resultado);
        EXPECT_EQ(s.unico().numero, caso.numero);
        for (const std::string& texto : caso.dice) {
            EXPECT_NE(s.unico().descripcion.find(texto), std::string::npos)
                << texto << " en: " << s.unico().descripcion;
        }
        EXPECT_FALSE(mail.UltimoEnvio().transitorio);
        EXPECT_TRUE(servidor.messages().empty());
    }
}

TEST(clsCDOmailTest, WithoutAuthenticationNeitherTlsNorCredentialsAreUsed) {
    SondaFija sonda(true);
    CurlMailTransport componente;
    // SSL is asked for, yet a server that offers no STARTTLS takes the message in clear.
    TestMailServer sinCuenta;
    clsCDOmail mail(componente, sonda);
    rellenar(mail, sinCuenta.plainPort(), true);
    mail.UseAuntentificacion = false;
    const Salida s = enviar(mail);
    EXPECT_TRUE(s.resultado);
    ASSERT_TRUE(sinCuenta.waitForMessages(1, 5s));
    EXPECT_FALSE(sinCuenta.messages().at(0).tls);

    // The user and password are set but not given: a server that wants them answers 530.
    MailServerOptions opciones;
    opciones.user = Usuario;
    opciones.password = Clave;
    TestMailServer conCuenta(opciones);
    rellenar(mail, conCuenta.plainPort(), true);
    mail.UseAuntentificacion = false;
    const Salida rechazo = enviar(mail);
    EXPECT_FALSE(rechazo.resultado);
    EXPECT_EQ(rechazo.unico().numero, -2147220975);
    EXPECT_EQ(rechazo.unico().descripcion,
              "Posible error : Nombre de usuario o password incorrecto");
    EXPECT_TRUE(mail.UltimoEnvio().respuesta.starts_with("530")) << mail.UltimoEnvio().respuesta;
    EXPECT_TRUE(conCuenta.messages().empty());
}

TEST(clsCDOmailTest, ChecksBeforeSendingStopWithTheirOwnTextsAndTouchNothing) {
    TestMailServer servidor(conTlsYCuenta());
    CurlMailTransport componente(confiandoEn(servidor));
    TemporaryFolder carpeta;
    {
        // No connection: only that message, even with a port that would fail its own check.
        SondaFija sinRed(false);
        clsCDOmail mail(componente, sinRed);
        rellenar(mail, servidor.startTlsPort());
        mail.puerto = std::string("abc");
        const Salida s = enviar(mail);
        EXPECT_FALSE(s.resultado);
        EXPECT_EQ(s.unico().descripcion,
                  "No se puede enviar el correo. Verificar la conexión a internet si está "
                  "disponible");
        EXPECT_EQ(s.unico().numero, 0);
    }
    SondaFija sonda(true);
    for (const ValorPuerto& malo :
         {ValorPuerto{}, ValorPuerto{std::string("abc")}, ValorPuerto{std::string("")}}) {
        clsCDOmail mail(componente, sonda);
        rellenar(mail, 0);
        mail.puerto = malo;
        const Salida s = enviar(mail);
        EXPECT_FALSE(s.resultado);
        EXPECT_EQ(s.unico().descripcion, "No se ha indicado el puerto del servidor");
        EXPECT_EQ(s.unico().numero, 0);
    }
    carpeta.write("carpeta/dentro.pdf", "x");
    carpeta.write(".oculto.pdf", "x");
    for (const auto& ausente :
         {carpeta / "no-existe.pdf", carpeta / "carpeta", carpeta / ".oculto.pdf"}) {
        clsCDOmail mail(componente, sonda);
        rellenar(mail, servidor.startTlsPort());
        mail.Adjunto = ausente.string();
        const Salida s = enviar(mail);
        EXPECT_FALSE(s.resultado);
        EXPECT_EQ(s.unico().descripcion,
                  "No se ha encontrado el archivo en la siguiente ruta: " + ausente.string());
        EXPECT_EQ(s.unico().numero, 0);
    }
    // The port passes as a text that reads as a number; none of the above reached the server.
    EXPECT_EQ(servidor.connectionCount(), 0u);
    clsCDOmail mail(componente, sonda);
    rellenar(mail, 0);
    mail.puerto = " " + std::to_string(servidor.startTlsPort()) + " ";
    EXPECT_TRUE(enviar(mail).resultado);
    EXPECT_EQ(servidor.messages().size(), 1u);
}

TEST(clsCDOmailTest, ServersThatCannotBeReachedGiveTheConnectionCase) {
    SondaFija sonda(true);
    CurlMailTransport componente;
    // A port that was free a moment ago: nothing listens there.
    const int sockfd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in dir{};
    dir.sin_family = AF_INET;
    dir.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t largo = sizeof dir;
    ASSERT_EQ(::bind(sockfd, reinterpret_cast<sockaddr*>(&dir), sizeof dir), 0);
    ASSERT_EQ(::getsockname(sockfd, reinterpret_cast<sockaddr*>(&dir), &largo), 0);
    const int libre = ntohs(dir.sin_port);
    ::close(sockfd);

    struct Caso {
        std::string servidor;
        ValorPuerto puerto;
    };
    for (const Caso& caso :
         {Caso{"127.0.0.1", libre}, Caso{"nohost.invalid", 25LL}, Caso{"127.0.0.1", 70000LL},
          Caso{"127.0.0.1", 25.5}, Caso{"", 25LL}, Caso{"127.0.0.1/x", 25LL}}) {
        clsCDOmail mail(componente, sonda);
        rellenar(mail, 0);
        mail.servidor = caso.servidor;
        mail.puerto = caso.puerto;
        const auto inicio = std::chrono::steady_clock::now();
        const Salida s = enviar(mail);
        EXPECT_FALSE(s.resultado);
        EXPECT_EQ(s.unico().numero, -2147220973) << caso.servidor;
        EXPECT_EQ(s.unico().descripcion,
                  "Posible error : nombre del Servidor incorrecto o número de puerto incorrecto");
        EXPECT_LT(std::chrono::steady_clock::now() - inicio, 5s) << caso.servidor;
    }
}

TEST(clsCDOmailTest, ServerThatNeverGreetsIsGivenUpAfterTenSeconds) {
    MailServerOptions opciones = conTlsYCuenta();
    opciones.noGreetingPort = true;
    TestMailServer servidor(opciones);
    SondaFija sonda(true);
    CurlMailTransport componente(confiandoEn(servidor));
    clsCDOmail mail(componente, sonda);
    rellenar(mail, servidor.noGreetingPort());
    const auto inicio = std::chrono::steady_clock::now();
    const Salida s = enviar(mail);
    const auto tardado = std::chrono::steady_clock::now() - inicio;
    EXPECT_FALSE(s.resultado);
    EXPECT_EQ(s.unico().numero, -2147220973);
    EXPECT_GE(tardado, 9500ms);
    EXPECT_LT(tardado, 15s);
}

TEST(clsCDOmailTest, AWrongPasswordGivesTheCredentialsText) {
    SondaFija sonda(true);
    TestMailServer servidor(conTlsYCuenta());
    CurlMailTransport componente(confiandoEn(servidor));
    clsCDOmail mail(componente, sonda);
    rellenar(mail, servidor.startTlsPort());
    mail.PassWord = "otra";
    const Salida s = enviar(mail);
    EXPECT_FALSE(s.resultado);
    EXPECT_EQ(s.unico().numero, -2147220975);
    EXPECT_EQ(s.unico().descripcion, "Posible error : Nombre de usuario o password incorrecto");
    EXPECT_TRUE(mail.UltimoEnvio().respuesta.starts_with("535"));
}

// Every refusal code at every point of the conversation, in one run of one component: each is a
// failure of its own kind that the server certainly did not take. None is sent again: a second
// try would meet the next refusal of the script, or be accepted once the script is used up.
TEST(clsCDOmailTest, EveryRefusalIsOfItsKindAndCertainlyNotDelivered) {
    using Punto = ScriptedMessage::Point;
    struct Lugar {
        Punto punto;
        long numero;
        std::string texto;
    };
    const std::vector<Lugar> lugares{
        {Punto::MailFrom, correo::RemitenteRechazado,
         "El servidor rechazó la dirección del remitente oficina@gestoria.es: "},
        {Punto::RcptTo, correo::DestinatarioRechazado,
         "El servidor rechazó la dirección del destinatario cliente@ejemplo.es: "},
        {Punto::AfterDot, correo::MensajeRechazado, "El servidor no aceptó el mensaje: "},
    };
    const std::vector<int> codigos{421, 450, 451, 452, 454, 550, 552, 554};
    MailServerOptions opciones = conTlsYCuenta();
    for (const Lugar& lugar : lugares) {
        for (const int codigo : codigos) {
            opciones.script.push_back(ScriptedMessage::refuse(
                lugar.punto, codigo, "Rechazo de prueba " + std::to_string(codigo)));
        }
    }
    TestMailServer servidor(opciones);
    CurlMailTransport componente(confiandoEn(servidor));
    SondaFija sonda(true);
    std::size_t paso = 0;
    for (const Lugar& lugar : lugares) {
        for (const int codigo : codigos) {
            const std::string respuesta = opciones.script.at(paso++).reply;
            SCOPED_TRACE(respuesta);
            clsCDOmail mail(componente, sonda);
            rellenar(mail, servidor.startTlsPort());
            const Salida s = enviar(mail);
            EXPECT_FALSE(s.resultado);
            EXPECT_EQ(mail.UltimoEnvio().respuesta, respuesta);
            EXPECT_FALSE(mail.UltimoEnvio().puedeHaberseEntregado);
            // Only the server's "not now" may be tried again; a 5xx is final.
            EXPECT_EQ(mail.UltimoEnvio().transitorio, codigo < 500);
            if (codigo == 421) {
                // A server that is closing blames neither the account nor an address.
                EXPECT_EQ(s.unico().numero, correo::ErrorEnvio);
                EXPECT_EQ(s.unico().descripcion,
                          "El servidor cerró la conexión porque no puede atender ahora: " +
                              respuesta);
            } else if (lugar.punto == Punto::MailFrom && (codigo == 452 || codigo == 552)) {
                // The message's size goes with MAIL: there the server refuses a message too big
                // for it, or one it has no room for, and the sender is not to blame.
                EXPECT_EQ(s.unico().numero, correo::MensajeRechazado);
                EXPECT_EQ(s.unico().descripcion, "El servidor no aceptó el mensaje: " + respuesta);
            } else {
                EXPECT_EQ(s.unico().numero, lugar.numero);
                EXPECT_EQ(s.unico().descripcion, lugar.texto + respuesta);
            }
        }
    }
    EXPECT_TRUE(servidor.messages().empty());
    clsCDOmail mail(componente, sonda);
    rellenar(mail, servidor.startTlsPort());
    EXPECT_TRUE(enviar(mail).resultado);
    ASSERT_TRUE(servidor.waitForMessages(1, 5s));
    EXPECT_EQ(servidor.messages().size(), 1u);
}

// A failure while the message goes out: whether the server may hold the message decides whether
// the run may send it again, so the component must neither guess it away nor try again by
// itself. Each case as the first message of a connection and as the second of a kept one. The
// notice that the data are all out comes when they are, while the answer is still awaited, and
// never for data that did not all go.
TEST(clsCDOmailTest, AFailureDuringTheDataSaysWhetherTheServerMayHoldTheMessage) {
    TemporaryFolder carpeta;
    const auto pequeno = carpeta.write("pequeño.pdf", bytesAlAzar(16 * 1024));
    // More than the socket buffers hold: a server that stops reading before the dot keeps the
    // dot from ever leaving. (A small message may leave whole before the server hangs up, and
    // then the client cannot know.)
    const auto grande = carpeta.write("grande.pdf", bytesAlAzar(6 * 1024 * 1024));
    using Punto = ScriptedMessage::Point;
    struct Caso {
        const char* nombre;
        ScriptedMessage fallo;
        std::filesystem::path adjunto;
        long numero;
        bool puedeHaberseEntregado;
        std::size_t guardados; // what the server kept of the failed message
        bool datosFuera;       // every byte of it left
    };
    const std::vector<Caso> casos{
        {"silencio tras el punto", ScriptedMessage::stall(Punto::AfterDot), pequeno,
         correo::SinRespuesta, true, 1, true},
        {"corte tras el punto", ScriptedMessage::drop(Punto::AfterDot), pequeno,
         correo::ConexionPerdida, true, 1, true},
        {"corte antes del punto", ScriptedMessage::drop(Punto::BeforeDot), grande,
         correo::ConexionPerdida, false, 0, false},
    };
    SondaFija sonda(true);
    for (const Caso& caso : casos) {
        for (const bool guardada : {false, true}) {
            SCOPED_TRACE(std::string(caso.nombre) + (guardada ? ", segundo mensaje" : ""));
            MailServerOptions opciones = conTlsYCuenta();
            if (guardada) {
                opciones.script.push_back(ScriptedMessage::accept());
            }
            opciones.script.push_back(caso.fallo);
            TestMailServer servidor(opciones);
            OpcionesCurl impaciente = confiandoEn(servidor);
            impaciente.esperaRespuesta = 2s;
            CurlMailTransport componente(impaciente);
            int avisos = 0;
            std::chrono::steady_clock::time_point aviso;
            auto mandar = [&](const char* para, clsCDOmail::Constancia* constancia = nullptr) {
                clsCDOmail mail(componente, sonda);
                rellenar(mail, servidor.startTlsPort());
                mail.para = para;
                mail.Adjunto = (constancia != nullptr ? caso.adjunto : pequeno).string();
                mail.DatosEntregados = [&] {
                    ++avisos;
                    aviso = std::chrono::steady_clock::now();
                };
                const Salida s = enviar(mail);
                if (constancia != nullptr) {
                    *constancia = mail.UltimoEnvio();
                }
                return s;
            };
            if (guardada) {
                ASSERT_TRUE(mandar("primero@ejemplo.es").resultado);
            }
            clsCDOmail::Constancia constancia;
            avisos = 0;
            const Salida s = mandar("dudoso@ejemplo.es", &constancia);
            const auto fin = std::chrono::steady_clock::now();
            EXPECT_EQ(avisos, caso.datosFuera ? 1 : 0);
            if (caso.datosFuera && ScriptedMessage::Action::Stall == caso.fallo.action) {
                EXPECT_GT(fin - aviso, 1s) << "told only once the wait for the answer was over";
            }
            EXPECT_FALSE(s.resultado);
            EXPECT_EQ(s.unico().numero, caso.numero) << s.unico().descripcion;
            EXPECT_EQ(constancia.puedeHaberseEntregado, caso.puedeHaberseEntregado);
            // Once the data went out nothing is tried again, even where the server cannot
            // have taken the message.
            EXPECT_FALSE(constancia.transitorio);
            EXPECT_EQ(servidor.connectionCount(), 1u) << "tried again on a new connection";

            // The component carries on with the next message, and only with that one.
            const Salida siguiente = mandar("siguiente@ejemplo.es");
            ASSERT_TRUE(siguiente.resultado) << siguiente.unico().descripcion;
            const std::size_t esperados = (guardada ? 1 : 0) + caso.guardados + 1;
            ASSERT_TRUE(servidor.waitForMessages(esperados, 5s));
            const auto recibidos = servidor.messages();
            ASSERT_EQ(recibidos.size(), esperados);
            const auto dudosos = std::count_if(
                recibidos.begin(), recibidos.end(), [](const test::ReceivedMessage& m) {
                    return m.recipients == std::vector<std::string>{"dudoso@ejemplo.es"};
                });
            EXPECT_EQ(static_cast<std::size_t>(dudosos), caso.guardados);
            EXPECT_EQ(recibidos.back().recipients,
                      std::vector<std::string>{"siguiente@ejemplo.es"});
        }
    }
}

TEST(clsCDOmailTest, AskingForTlsNeverReusesAConnectionInClear) {
    MailServerOptions opciones;
    opciones.user = Usuario;
    opciones.password = Clave;
    TestMailServer servidor(opciones); // offers no STARTTLS
    CurlMailTransport componente;
    SondaFija sonda(true);
    clsCDOmail mail(componente, sonda);
    rellenar(mail, servidor.plainPort(), false);
    EXPECT_TRUE(enviar(mail).resultado);
    mail.ssl = true;
    const Salida s = enviar(mail);
    EXPECT_FALSE(s.resultado);
    EXPECT_EQ(s.unico().numero, -2147220973);
    EXPECT_EQ(servidor.messages().size(), 1u);
}

TEST(clsCDOmailTest, AKeptConnectionClosedBetweenMessagesIsReplacedOnce) {
    TestMailServer servidor(conTlsYCuenta());
    CuttingProxy cortador(servidor.startTlsPort());
    CurlMailTransport componente(confiandoEn(servidor));
    SondaFija sonda(true);
    TemporaryFolder carpeta;
    const std::string pdf = bytesAlAzar(64 * 1024);
    const auto ruta = carpeta.write("f.pdf", pdf);
    for (int i = 0; i < 3; ++i) {
        clsCDOmail mail(componente, sonda);
        rellenar(mail, cortador.port());
        mail.para = "cliente" + std::to_string(i) + "@ejemplo.es";
        mail.Adjunto = ruta.string();
        const Salida s = enviar(mail);
        EXPECT_TRUE(s.resultado) << i << ": " << s.unico().descripcion;
        EXPECT_EQ(s.unico().tipo, "EnvioCompleto");
        cortador.cutAll();
    }
    ASSERT_TRUE(servidor.waitForMessages(3, 5s));
    const auto recibidos = servidor.messages();
    ASSERT_EQ(recibidos.size(), 3u);
    EXPECT_EQ(cortador.accepted(), 3);
    // The second try sends the whole message again, not what was left of the first.
    for (const auto& recibido : recibidos) {
        EXPECT_TRUE(readAsMailClient(recibido.raw).attachment == pdf);
    }
}

TEST(clsCDOmailTest, NoPropertyCanInjectAHeaderOrARecipient) {
    TestMailServer servidor(conTlsYCuenta());
    CurlMailTransport componente(confiandoEn(servidor));
    SondaFija sonda(true);
    TemporaryFolder carpeta;
    {
        clsCDOmail mail(componente, sonda);
        rellenar(mail, servidor.startTlsPort());
        mail.Asunto = "Factura\r\nBcc: intruso@ejemplo.es\r\n\r\nCuerpo falso";
        mail.Adjunto = carpeta.write("x\r\nBcc: intruso@ejemplo.es\r\n.pdf", "%PDF").string();
        EXPECT_TRUE(enviar(mail).resultado);
        ASSERT_TRUE(servidor.waitForMessages(1, 5s));
        const auto recibido = servidor.messages().at(0);
        EXPECT_EQ(recibido.recipients, std::vector<std::string>{"cliente@ejemplo.es"});
        const ReadMessage leido = readAsMailClient(recibido.raw);
        EXPECT_EQ(leido.headerNames.find("Bcc"), std::string::npos) << leido.headerNames;
        EXPECT_EQ(leido.subject, "Factura  Bcc: intruso@ejemplo.es    Cuerpo falso");
        EXPECT_EQ(leido.body, "Adjuntamos su factura.");
        EXPECT_EQ(leido.attachmentName, "x  Bcc: intruso@ejemplo.es  .pdf");
    }
    for (const auto& [para, de] : std::vector<std::pair<std::string, std::string>>{
             {"cliente@ejemplo.es\r\nBcc: intruso@ejemplo.es", "oficina@gestoria.es"},
             {"cliente@ejemplo.es>\r\nRCPT TO:<intruso@ejemplo.es", "oficina@gestoria.es"},
             {"cliente@ejemplo.es", "oficina@gestoria.es\r\nBcc: intruso@ejemplo.es"},
             {"", "oficina@gestoria.es"}}) {
        clsCDOmail mail(componente, sonda);
        rellenar(mail, servidor.startTlsPort());
        mail.para = para;
        mail.de = de;
        const Salida s = enviar(mail);
        EXPECT_FALSE(s.resultado);
        EXPECT_EQ(s.unico().numero, correo::DireccionNoValida) << s.unico().descripcion;
        EXPECT_EQ(s.unico().descripcion.find_first_of("\r\n"), std::string::npos);
    }
    EXPECT_EQ(servidor.messages().size(), 1u);
}

// A component that fails while the message is put together, before anything is sent.
class ComponenteRoto final : public MailTransport {
public:
    ResultadoEnvio enviar(const ConfiguracionSmtp&, const MensajeSmtp&) override {
        throw ErrorComponenteCorreo(correo::AdjuntoIlegible, "No se puede leer el archivo adjunto");
    }
};

TEST(clsCDOmailTest, AComponentFailureBeforeSendingIsAnErrorOfTheCallWithoutEvent) {
    SondaFija sonda(true);
    ComponenteRoto roto;
    clsCDOmail mail(roto, sonda);
    rellenar(mail, 25);
    Eventos eventos;
    eventos.escuchar(mail);
    EXPECT_THROW(mail.Enviar(), ErrorComponenteCorreo);
    EXPECT_TRUE(eventos.lista.empty());
}

// 0 when sending `pdf` ends in the component's failure, with no event.
int enviarIlegible(const std::filesystem::path& pdf) {
    SondaFija sonda(true);
    CurlMailTransport componente;
    clsCDOmail mail(componente, sonda);
    rellenar(mail, 25);
    mail.Adjunto = pdf.string();
    Eventos eventos;
    eventos.escuchar(mail);
    try {
        mail.Enviar();
        return 1;
    } catch (const ErrorComponenteCorreo& e) {
        const bool bien = e.numero() == correo::AdjuntoIlegible &&
                          std::string(e.what()).find(pdf.string()) != std::string::npos;
        return bien && eventos.lista.empty() ? 0 : 2;
    }
}

TEST(clsCDOmailTest, AnUnreadableAttachmentIsAComponentFailure) {
    TemporaryFolder carpeta;
    const auto pdf = carpeta.write("bloqueado.pdf", "%PDF");
    std::filesystem::permissions(pdf, std::filesystem::perms::none);
    if (::geteuid() != 0) {
        EXPECT_EQ(enviarIlegible(pdf), 0);
        return;
    }
    // Root reads every file: the attempt runs in a child that gives root up.
    std::filesystem::permissions(carpeta.path(), std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    const pid_t hijo = ::fork();
    ASSERT_GE(hijo, 0);
    if (hijo == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
            ::_exit(3);
        }
        ::_exit(enviarIlegible(pdf));
    }
    int estado = 0;
    ASSERT_EQ(::waitpid(hijo, &estado, 0), hijo);
    ASSERT_TRUE(WIFEXITED(estado));
    EXPECT_EQ(WEXITSTATUS(estado), 0) << "1: no error, 2: wrong error or an event, 3: setuid";
}

} // namespace
} // namespace envio
