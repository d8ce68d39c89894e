// clsCDOmail against the local test mail server: everything that crosses the wire is checked on
// what the server received, decoded by Python's own mail parser.
#include "mail/clsCDOmail.h"

#include "TemporaryFolder.h"
#include "TestMailServer.h"
#include "platform/CurlMailTransport.h"

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace envio {
namespace {

using namespace std::chrono_literals;
using test::DataFailure;
using test::MailServerOptions;
using test::TemporaryFolder;
using test::TestMailServer;

constexpr const char* Usuario = "oficina";
constexpr const char* Clave = "Contraseña-1";

class SondaFija final : public ConnectivityProbe {
public:
    explicit SondaFija(bool conectado) : conectado_(conectado) {}
    bool hayConexion(std::string_view) override { return conectado_; }

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

// What a mail reader makes of a received message: Python's email package, strict policy.
struct MensajeLeido {
    std::string subject, from, to, mdn, cabeceras, cuerpo, nombreAdjunto, adjunto;
    int adjuntos = 0;
};

MensajeLeido leerComoLector(const std::string& crudo) {
    static const char* script = R"PY(
import email, email.policy, pathlib, sys
folder = pathlib.Path(sys.argv[1])
msg = email.message_from_bytes((folder / "m.eml").read_bytes(), policy=email.policy.strict)
def put(name, value):
    (folder / name).write_text("" if value is None else str(value), encoding="utf-8")
put("subject", msg["Subject"])
put("from", msg["From"])
put("to", msg["To"])
put("mdn", msg["Disposition-Notification-To"])
put("cabeceras", "\n".join(msg.keys()))
put("cuerpo", msg.get_body(preferencelist=("plain",)).get_content())
parts = list(msg.iter_attachments())
put("adjuntos", len(parts))
if parts:
    put("nombre", parts[0].get_filename())
    (folder / "adjunto").write_bytes(parts[0].get_content())
)PY";
    TemporaryFolder carpeta;
    carpeta.write("m.eml", crudo);
    const auto programa = carpeta.write("leer.py", script);
    const std::string orden =
        "/usr/bin/python3 '" + programa.string() + "' '" + carpeta.path().string() + "'";
    EXPECT_EQ(std::system(orden.c_str()), 0) << crudo.substr(0, 2000);
    MensajeLeido m;
    auto leer = [&](const char* nombre) {
        return std::filesystem::exists(carpeta / nombre) ? carpeta.read(nombre) : std::string();
    };
    m.subject = leer("subject");
    m.from = leer("from");
    m.to = leer("to");
    m.mdn = leer("mdn");
    m.cabeceras = leer("cabeceras");
    m.cuerpo = leer("cuerpo");
    m.adjuntos = std::atoi(leer("adjuntos").c_str());
    m.nombreAdjunto = leer("nombre");
    m.adjunto = leer("adjunto");
    return m;
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
    mail.Mensaje = "Estimado cliente:\nle enviamos su nómina.\r\n.Línea que empieza con punto\r\n\n"
                   "Atentamente,\rla gestoría";
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
    const MensajeLeido leido = leerComoLector(recibido.raw);
    EXPECT_EQ(leido.subject, "Nómina de enero — año 2026 (€)");
    EXPECT_EQ(leido.from, "Gestoría Núñez <oficina@gestoria.es>");
    EXPECT_EQ(leido.to, "cliente@ejemplo.es");
    // Every kind of line break arrives as CRLF, and a leading dot survives.
    EXPECT_EQ(leido.cuerpo, "Estimado cliente:\r\nle enviamos su nómina.\r\n.Línea que empieza "
                            "con punto\r\n\r\nAtentamente,\r\nla gestoría");
    EXPECT_EQ(leido.mdn, "Gestoría Núñez <oficina@gestoria.es>");
    EXPECT_NE(leido.cabeceras.find("Date"), std::string::npos);
    EXPECT_NE(leido.cabeceras.find("Message-ID"), std::string::npos);
    EXPECT_NE(recibido.raw.find("Message-ID: " + mail.UltimoEnvio().messageId), std::string::npos);
    ASSERT_EQ(leido.adjuntos, 1);
    EXPECT_EQ(leido.nombreAdjunto, "Nómina enero «2026».pdf");
    EXPECT_TRUE(leido.adjunto == pdf) << "the attachment changed on the way";

    // The next message without receipt or attachment carries neither.
    mail.Confirmacion = false;
    mail.Adjunto.clear();
    EXPECT_TRUE(enviar(mail).resultado);
    ASSERT_TRUE(servidor.waitForMessages(2, 5s));
    const MensajeLeido segundo = leerComoLector(servidor.messages().at(1).raw);
    EXPECT_EQ(segundo.mdn, "");
    EXPECT_EQ(segundo.adjuntos, 0);
    EXPECT_EQ(segundo.cabeceras.find("Disposition-Notification-To"), std::string::npos);
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
        EXPECT_EQ(s.unico().descripcion,
                  "Posible error : nombre del Servidor incorrecto o número de puerto incorrecto");
    }
    EXPECT_EQ(servidor.messages().size(), 1u);
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

TEST(clsCDOmailTest, RefusalsOfTheServerSayWhatWasRefused) {
    SondaFija sonda(true);
    {
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
    {
        MailServerOptions opciones = conTlsYCuenta();
        opciones.rejectRecipients = "^moroso@";
        TestMailServer servidor(opciones);
        CurlMailTransport componente(confiandoEn(servidor));
        clsCDOmail mail(componente, sonda);
        rellenar(mail, servidor.startTlsPort());
        mail.para = "moroso@ejemplo.es";
        const Salida s = enviar(mail);
        EXPECT_FALSE(s.resultado);
        EXPECT_EQ(s.unico().numero, correo::DestinatarioRechazado);
        EXPECT_EQ(s.unico().descripcion,
                  "El servidor rechazó la dirección del destinatario moroso@ejemplo.es: 550 5.1.1 "
                  "<moroso@ejemplo.es>: Recipient address rejected");
        EXPECT_FALSE(mail.UltimoEnvio().puedeHaberseEntregado);
        // The refusal leaves the kept connection fit for the next message of the run.
        clsCDOmail siguiente(componente, sonda);
        rellenar(siguiente, servidor.startTlsPort());
        EXPECT_TRUE(enviar(siguiente).resultado);
        ASSERT_TRUE(servidor.waitForMessages(1, 5s));
        EXPECT_EQ(servidor.messages().at(0).recipients,
                  std::vector<std::string>{"cliente@ejemplo.es"});
    }
    {
        MailServerOptions opciones = conTlsYCuenta();
        opciones.dataFailure = DataFailure::Reject;
        TestMailServer servidor(opciones);
        CurlMailTransport componente(confiandoEn(servidor));
        clsCDOmail mail(componente, sonda);
        rellenar(mail, servidor.startTlsPort());
        const Salida s = enviar(mail);
        EXPECT_FALSE(s.resultado);
        EXPECT_EQ(s.unico().numero, correo::MensajeRechazado);
        EXPECT_EQ(s.unico().descripcion,
                  "El servidor no aceptó el mensaje: 554 5.6.0 Message rejected");
    }
}

TEST(clsCDOmailTest, ALostOrSilentServerAfterTheDataIsNeverRetried) {
    SondaFija sonda(true);
    TemporaryFolder carpeta;
    const auto pdf = carpeta.write("f.pdf", bytesAlAzar(256 * 1024));
    {
        MailServerOptions opciones = conTlsYCuenta();
        opciones.dataFailure = DataFailure::DropMidData;
        TestMailServer servidor(opciones);
        CurlMailTransport componente(confiandoEn(servidor));
        clsCDOmail mail(componente, sonda);
        rellenar(mail, servidor.startTlsPort());
        mail.Adjunto = pdf.string();
        const Salida s = enviar(mail);
        EXPECT_FALSE(s.resultado);
        EXPECT_EQ(s.unico().numero, correo::ConexionPerdida) << s.unico().descripcion;
        EXPECT_TRUE(s.unico().descripcion.starts_with(
            "Se perdió la conexión con el servidor mientras se enviaba el mensaje"));
        EXPECT_EQ(servidor.connectionCount(), 1u);
    }
    {
        MailServerOptions opciones = conTlsYCuenta();
        opciones.dataFailure = DataFailure::StallAfterData;
        TestMailServer servidor(opciones);
        OpcionesCurl impaciente = confiandoEn(servidor);
        impaciente.esperaRespuesta = 2s;
        CurlMailTransport componente(impaciente);
        clsCDOmail mail(componente, sonda);
        rellenar(mail, servidor.startTlsPort());
        const auto inicio = std::chrono::steady_clock::now();
        const Salida s = enviar(mail);
        EXPECT_LT(std::chrono::steady_clock::now() - inicio, 8s);
        EXPECT_FALSE(s.resultado);
        EXPECT_EQ(s.unico().numero, correo::SinRespuesta);
        EXPECT_EQ(s.unico().descripcion, "El servidor no respondió en 2 segundos después de "
                                         "recibir el mensaje; no se sabe si lo aceptó");
        EXPECT_TRUE(mail.UltimoEnvio().puedeHaberseEntregado);
        EXPECT_EQ(servidor.connectionCount(), 1u);
        EXPECT_EQ(servidor.messages().size(), 1u);
    }
}

TEST(clsCDOmailTest, TwoEnviarOnOneObjectSendTwoSeparateMessages) {
    TestMailServer servidor(conTlsYCuenta());
    CurlMailTransport componente(confiandoEn(servidor));
    SondaFija sonda(true);
    TemporaryFolder carpeta;
    clsCDOmail mail(componente, sonda);
    rellenar(mail, servidor.startTlsPort());
    mail.Adjunto = carpeta.write("a.pdf", "%PDF uno").string();
    mail.para = "primero@ejemplo.es";
    Eventos eventos;
    eventos.escuchar(mail);
    EXPECT_TRUE(mail.Enviar());
    mail.para = "segundo@ejemplo.es";
    EXPECT_TRUE(mail.Enviar());
    EXPECT_EQ(eventos.lista.size(), 2u);
    EXPECT_EQ(mail.para, "segundo@ejemplo.es");
    ASSERT_TRUE(servidor.waitForMessages(2, 5s));
    const auto recibidos = servidor.messages();
    ASSERT_EQ(recibidos.size(), 2u);
    EXPECT_EQ(recibidos[0].recipients, std::vector<std::string>{"primero@ejemplo.es"});
    EXPECT_EQ(recibidos[1].recipients, std::vector<std::string>{"segundo@ejemplo.es"});
    EXPECT_EQ(leerComoLector(recibidos[1].raw).to, "segundo@ejemplo.es");
    EXPECT_EQ(leerComoLector(recibidos[1].raw).adjuntos, 1);
}

TEST(clsCDOmailTest, ARunOfManyMessagesUsesOneConnection) {
    TestMailServer servidor(conTlsYCuenta());
    CurlMailTransport componente(confiandoEn(servidor));
    SondaFija sonda(true);
    for (int i = 0; i < 6; ++i) {
        clsCDOmail mail(componente, sonda);
        rellenar(mail, servidor.startTlsPort());
        mail.para = "cliente" + std::to_string(i) + "@ejemplo.es";
        ASSERT_TRUE(enviar(mail).resultado);
    }
    ASSERT_TRUE(servidor.waitForMessages(6, 5s));
    EXPECT_EQ(servidor.connectionCount(), 1u);
    for (const auto& m : servidor.messages()) {
        EXPECT_EQ(m.connection, 1);
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

// Sits between client and server and can cut every open connection, the way a server closes
// an idle one between two messages of a run (aiosmtpd would only do it after minutes).
class Cortador {
public:
    explicit Cortador(int destino) : destino_(destino) {
        escucha_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in dir = local(0);
        socklen_t largo = sizeof dir;
        ::bind(escucha_, reinterpret_cast<sockaddr*>(&dir), sizeof dir);
        ::getsockname(escucha_, reinterpret_cast<sockaddr*>(&dir), &largo);
        ::listen(escucha_, 8);
        puerto_ = ntohs(dir.sin_port);
        hilo_ = std::thread([this] { servir(); });
    }
    ~Cortador() {
        fin_ = true;
        hilo_.join();
        ::close(escucha_);
    }
    [[nodiscard]] int puerto() const { return puerto_; }
    [[nodiscard]] int aceptadas() const { return aceptadas_; }
    void cortar() {
        cortar_ = true;
        while (cortar_) {
            std::this_thread::sleep_for(10ms);
        }
    }

private:
    static sockaddr_in local(int puerto) {
        sockaddr_in dir{};
        dir.sin_family = AF_INET;
        dir.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        dir.sin_port = htons(static_cast<std::uint16_t>(puerto));
        return dir;
    }

    void servir() {
        std::vector<std::pair<int, int>> pares;
        while (!fin_) {
            if (cortar_) {
                for (auto [a, b] : pares) {
                    // A server that hangs up sends its TLS close alert first; the byte left
                    // unread makes libcurl 7.88 take the connection for a live one.
                    ::write(a, "\x15", 1);
                    ::close(a);
                    ::close(b);
                }
                pares.clear();
                cortar_ = false;
            }
            std::vector<pollfd> fds{{escucha_, POLLIN, 0}};
            for (auto [a, b] : pares) {
                fds.push_back({a, POLLIN, 0});
                fds.push_back({b, POLLIN, 0});
            }
            if (::poll(fds.data(), fds.size(), 20) <= 0) {
                continue;
            }
            if (fds[0].revents & POLLIN) {
                const int cliente = ::accept(escucha_, nullptr, nullptr);
                const int servidor = ::socket(AF_INET, SOCK_STREAM, 0);
                sockaddr_in dir = local(destino_);
                ::connect(servidor, reinterpret_cast<sockaddr*>(&dir), sizeof dir);
                pares.emplace_back(cliente, servidor);
                ++aceptadas_;
            }
            std::vector<bool> cerrado(pares.size(), false);
            for (std::size_t i = 1; i < fds.size(); ++i) {
                if (!(fds[i].revents & (POLLIN | POLLHUP)) || cerrado[(i - 1) / 2]) {
                    continue;
                }
                auto& par = pares[(i - 1) / 2];
                const int desde = fds[i].fd;
                const int hacia = desde == par.first ? par.second : par.first;
                char buffer[16384];
                const ssize_t n = ::read(desde, buffer, sizeof buffer);
                if (n > 0) {
                    ssize_t escrito = 0;
                    while (escrito < n) {
                        const ssize_t w =
                            ::write(hacia, buffer + escrito, static_cast<std::size_t>(n - escrito));
                        if (w <= 0) {
                            break;
                        }
                        escrito += w;
                    }
                } else {
                    ::close(par.first);
                    ::close(par.second);
                    cerrado[(i - 1) / 2] = true;
                }
            }
            for (std::size_t k = pares.size(); k-- > 0;) {
                if (cerrado[k]) {
                    pares.erase(pares.begin() + static_cast<std::ptrdiff_t>(k));
                }
            }
        }
        for (auto [a, b] : pares) {
            ::close(a);
            ::close(b);
        }
    }

    int destino_;
    int escucha_ = -1;
    int puerto_ = 0;
    std::atomic<int> aceptadas_{0};
    std::atomic<bool> cortar_{false};
    std::atomic<bool> fin_{false};
    std::thread hilo_;
};

TEST(clsCDOmailTest, AKeptConnectionClosedBetweenMessagesIsReplacedOnce) {
    TestMailServer servidor(conTlsYCuenta());
    Cortador cortador(servidor.startTlsPort());
    CurlMailTransport componente(confiandoEn(servidor));
    SondaFija sonda(true);
    TemporaryFolder carpeta;
    const std::string pdf = bytesAlAzar(64 * 1024);
    const auto ruta = carpeta.write("f.pdf", pdf);
    for (int i = 0; i < 3; ++i) {
        clsCDOmail mail(componente, sonda);
        rellenar(mail, cortador.puerto());
        mail.para = "cliente" + std::to_string(i) + "@ejemplo.es";
        mail.Adjunto = ruta.string();
        const Salida s = enviar(mail);
        EXPECT_TRUE(s.resultado) << i << ": " << s.unico().descripcion;
        EXPECT_EQ(s.unico().tipo, "EnvioCompleto");
        cortador.cortar();
    }
    ASSERT_TRUE(servidor.waitForMessages(3, 5s));
    const auto recibidos = servidor.messages();
    ASSERT_EQ(recibidos.size(), 3u);
    EXPECT_EQ(cortador.aceptadas(), 3);
    // The second try sends the whole message again, not what was left of the first.
    for (const auto& recibido : recibidos) {
        EXPECT_TRUE(leerComoLector(recibido.raw).adjunto == pdf);
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
        const MensajeLeido leido = leerComoLector(recibido.raw);
        EXPECT_EQ(leido.cabeceras.find("Bcc"), std::string::npos) << leido.cabeceras;
        EXPECT_EQ(leido.subject, "Factura  Bcc: intruso@ejemplo.es    Cuerpo falso");
        EXPECT_EQ(leido.cuerpo, "Adjuntamos su factura.");
        EXPECT_EQ(leido.nombreAdjunto, "x  Bcc: intruso@ejemplo.es  .pdf");
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
