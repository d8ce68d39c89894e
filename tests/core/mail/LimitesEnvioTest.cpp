// Transient refusals, the account's pace and its daily cap, through the document run with the
// real mail component against the local test mail server. Time passes only on the test's clock:
// every wait of the run is a step of its hands, never a real pause.
#include "mail/LimitesEnvio.h"

#include "DialogosGrabados.h"
#include "DoblesEnvio.h"
#include "GeneradorSuite.h"
#include "RelojFijo.h"
#include "TemporaryFolder.h"
#include "TestMailServer.h"
#include "catalogue/Catalogo.h"
#include "catalogue/Seleccion.h"
#include "mail/ErroresEjecucion.h"
#include "mail/MandarCorreos.h"
#include "platform/CurlMailTransport.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace envio {
namespace {

using namespace std::chrono_literals;
using Momento = std::chrono::system_clock::time_point;
using test::ScriptedMessage;
using Punto = ScriptedMessage::Point;

class RelojDePrueba : public Reloj {
public:
    mutable Momento momento =
        std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    mutable std::chrono::milliseconds esperado{0};
    [[nodiscard]] Fecha hoy() const override { return {2026, 3, 20}; }
    [[nodiscard]] Momento ahora() const override { return momento; }
    void esperar(std::chrono::milliseconds duracion) const override {
        momento += duracion;
        esperado += duracion;
    }
};

class TextosGrabados : public ObservadorEnvio {
public:
    std::vector<std::string> textos;
    void textoProgreso(const std::string& t) override { textos.push_back(t); }
    [[nodiscard]] bool vio(const std::string& texto) const {
        return std::find(textos.begin(), textos.end(), texto) != textos.end();
    }
};

const std::string kUsuario = "envios";
const std::string kClave = "clave secreta";

class LimitesEnvioTest : public ::testing::Test {
protected:
    test::TemporaryFolder folder;
    std::unique_ptr<test::TestMailServer> server;
    test::DialogosGrabados dialogos;
    TextosGrabados observador;
    std::vector<SolicitudInforme> informes;
    test::VisorEnLista visor{informes};
    test::SondaFija sonda;
    CurlMailTransport curl;
    test::ComponenteEspia componente{curl};
    std::atomic<bool> cancelar{false};
    std::optional<ContextoAnfitrion> contexto;
    RelojDePrueba reloj;
    std::vector<Momento> salidas; // the clock's time as each message left

    // `documentos` invoices of March, one client each, all pending.
    void build(int documentos, const std::vector<ScriptedMessage>& guion = {}) {
        test::MailServerOptions o;
        o.user = kUsuario;
        o.password = kClave;
        o.script = guion;
        server = std::make_unique<test::TestMailServer>(o);
        suitegen::DescripcionSuite d;
        for (int n = 1; n <= documentos; ++n) {
            const std::string numero = (n < 10 ? "0" : "") + std::to_string(n);
            d.clientes.push_back({n,
                                  "Cliente " + numero,
                                  "ORO",
                                  false,
                                  {{"E", "cliente" + numero + "@ejemplo.es", 0}}});
            d.documentos.push_back(
                {"0000" + numero + "_202603" + numero + "_0000" + numero + ".pdf", "2026", 2000});
        }
        suitegen::ServidorCorreo correo;
        correo.puerto = server->plainPort();
        correo.usuario = kUsuario;
        correo.password = kClave;
        correo.cuenta = "facturacion@ejemplo.es";
        correo.asunto = "Su factura";
        d.correo = correo;
        suitegen::generarSuite(folder.path(), d);
        contexto = iniciarContexto(CarpetaPrograma(folder.path()), dialogos,
                                   test::RelojFijo({2026, 3, 20}));
        ASSERT_TRUE(contexto);
        componente.antes = [this](const MensajeSmtp&) { salidas.push_back(reloj.ahora()); };
    }

    // One run over every pending document, as a new start of the program would make it.
    ResultadoEnvios run() {
        ListaVista lista;
        Catalogo(*contexto).ActualizarLista({contexto->tipos.front(), "2026", 3, ""}, lista);
        Seleccionar(lista, "PENDIENTE");
        RegistroEnvios registro(RegistroEnvios::archivoEn(folder.path()));
        Reservas reservas(folder.path(), currentProcess());
        EntornoEnvio e{contexto->correo(),
                       contexto->carpeta,
                       dialogos,
                       observador,
                       visor,
                       componente,
                       sonda,
                       registro,
                       reservas,
                       cancelar,
                       ReenvioDudosos::Preguntar,
                       &reloj};
        return MandarCorreos(lista.filas(), e);
    }

    // How many messages for each recipient the server saved.
    std::map<std::string, int> recibidos() const {
        std::map<std::string, int> cuenta;
        for (const auto& m : server->messages()) {
            ++cuenta[m.recipients.at(0)];
        }
        return cuenta;
    }

    std::vector<RegistroEnvios::Intento> intentos() const {
        return RegistroEnvios(RegistroEnvios::archivoEn(folder.path())).todos();
    }
};

int rechazados(const std::vector<RegistroEnvios::Intento>& intentos) {
    return static_cast<int>(std::count_if(intentos.begin(), intentos.end(), [](const auto& i) {
        return i.resultado == RegistroEnvios::Resultado::Rechazado;
    }));
}

// The server said "not now" to the data twice: the third try goes, after 10 s and 30 s on the
// clock, with no box; each try is its own attempt in the ledger, and the next documents follow.
TEST_F(LimitesEnvioTest, ARefusalForNowIsTriedAgainAfterAPauseAndDeliveredOnce) {
    build(2, {ScriptedMessage::refuse(Punto::AfterDot, 451, "4.3.2 Try again later"),
              ScriptedMessage::refuse(Punto::AfterDot, 451, "4.3.2 Try again later")});
    const ResultadoEnvios r = run();
    EXPECT_EQ(r.enviados, 2);
    EXPECT_EQ(r.fallidos, 0);
    ASSERT_TRUE(server->waitForMessages(2, 5s));
    EXPECT_EQ(recibidos(), (std::map<std::string, int>{{"cliente01@ejemplo.es", 1},
                                                       {"cliente02@ejemplo.es", 1}}));
    EXPECT_EQ(server->messages().front().recipients.at(0), "cliente01@ejemplo.es")
        << "the next document waits for the tries of the one before";
    EXPECT_EQ(reloj.esperado, 40s);
    EXPECT_TRUE(dialogos.cuadros().empty());
    EXPECT_TRUE(observador.vio(
        "Esperando 30 s para reintentar: el servidor respondió «451 4.3.2 Try again later»"));
    const auto ledger = intentos();
    EXPECT_EQ(ledger.size(), 4u);
    EXPECT_EQ(rechazados(ledger), 2);
}

// 421 closes the kept connection: the retry opens a new one, and the message arrives once.
TEST_F(LimitesEnvioTest, A421OnAKeptConnectionReconnectsAndDeliversOnce) {
    build(3, {ScriptedMessage::accept(),
              ScriptedMessage::refuse(Punto::MailFrom, 421, "4.7.0 Too many messages")});
    const ResultadoEnvios r = run();
    EXPECT_EQ(r.enviados, 3);
    ASSERT_TRUE(server->waitForMessages(3, 5s));
    EXPECT_EQ(recibidos(), (std::map<std::string, int>{{"cliente01@ejemplo.es", 1},
                                                       {"cliente02@ejemplo.es", 1},
                                                       {"cliente03@ejemplo.es", 1}}));
    EXPECT_EQ(server->connectionCount(), 2u);
    EXPECT_EQ(reloj.esperado, 10s);
}

// A bounded number of tries: after the last pause the document counts as not sent, with one box
// from the component, and its claim goes so that a later run can try it.
TEST_F(LimitesEnvioTest, RefusalsForNowThatNeverEndGiveUpAfterTheLastTry) {
    const auto ocupado = ScriptedMessage::refuse(Punto::RcptTo, 450, "4.2.1 Mailbox busy");
    build(2, {ocupado, ocupado, ocupado, ocupado});
    const ResultadoEnvios r = run();
    EXPECT_EQ(r.enviados, 1);
    EXPECT_EQ(r.fallidos, 1);
    EXPECT_EQ(salidas.size(), 5u);
    EXPECT_EQ(reloj.esperado, 130s);
    const auto cuadros = dialogos.cuadros();
    ASSERT_EQ(cuadros.size(), 2u); // the component's, then the run's
    EXPECT_EQ(cuadros.at(0).titulo, std::to_string(correo::DestinatarioRechazado));
    EXPECT_EQ(rechazados(intentos()), 4);
    EXPECT_EQ(run().enviados, 1) << "the next run sends it";
}

// Two a minute over five documents: never three in one minute, and no longer wait than that.
TEST_F(LimitesEnvioTest, ThePaceHoldsOverARunAndTheWaitIsShown) {
    build(5);
    ConfiguracionCorreo correo = contexto->correo();
    correo.limitePorMinuto = 2;
    contexto->usarCorreo(correo);
    const ResultadoEnvios r = run();
    EXPECT_EQ(r.enviados, 5);
    ASSERT_EQ(salidas.size(), 5u);
    for (std::size_t i = 2; i < salidas.size(); ++i) {
        EXPECT_GE(salidas[i] - salidas[i - 2], 60s) << i;
    }
    EXPECT_EQ(reloj.esperado, 120s);
    EXPECT_TRUE(observador.vio("Esperando 60 s por el límite del servidor"));
    EXPECT_TRUE(observador.vio("Esperando 1 s por el límite del servidor"));
    EXPECT_EQ(observador.textos.back(), "Enviando ...");
}

// The cap counts what every machine's ledger sent in the last 24 hours. A run that meets it
// stops, says how many are left and when it may go on; a later run sends the rest.
TEST_F(LimitesEnvioTest, TheDailyCapStopsARunAndALaterRunSendsTheRest) {
    build(4);
    ConfiguracionCorreo correo = contexto->correo();
    correo.limitePorDia = 3;
    contexto->usarCorreo(correo);
    {
        // Another machine of the office sent one message an hour ago through the same account.
        RegistroEnvios otro(folder.path() / "registro-envios.otro-equipo.db");
        RegistroEnvios::Intento i;
        i.ejecucion = "2026-03-20T08:00:00Z";
        i.documento = "aviso";
        i.destinatario = "alguien@ejemplo.es";
        i.hora = horaUtcDe(reloj.ahora() - 1h);
        otro.respuesta(otro.antesDeEnviar(i), RegistroEnvios::Resultado::Aceptado, "", "250 Ok");
    }
    const Momento libre = reloj.ahora() + 23h;

    ResultadoEnvios r = run();
    EXPECT_EQ(r.enviados, 2);
    EXPECT_EQ(r.pendientesPorTope, 2);
    ASSERT_TRUE(r.reanudar);
    EXPECT_EQ(*r.reanudar, libre);
    ASSERT_FALSE(dialogos.cuadros().empty());
    EXPECT_EQ(dialogos.cuadros().back().texto,
              "Se ha alcanzado el límite de 3 mensajes al día de la cuenta. Quedan 2 documentos "
              "sin enviar; podrá continuar " +
                  fechaHoraLegible(libre) + ". Vuelva a enviarlos entonces: siguen pendientes.");

    reloj.momento += 1h; // still within the day of every message so far
    r = run();
    EXPECT_EQ(r.enviados, 0);
    EXPECT_EQ(r.pendientesPorTope, 2);

    reloj.momento = libre; // the other machine's message is a day old
    r = run();
    EXPECT_EQ(r.enviados, 1);
    EXPECT_EQ(r.pendientesPorTope, 1);

    reloj.momento += 2h; // and now this machine's first two
    r = run();
    EXPECT_EQ(r.enviados, 1);
    EXPECT_FALSE(r.reanudar);
    ASSERT_TRUE(server->waitForMessages(4, 5s));
    EXPECT_EQ(recibidos().size(), 4u);
    EXPECT_EQ(salidas.size(), 4u) << "a run at the cap tries nothing";
}

} // namespace
} // namespace envio
