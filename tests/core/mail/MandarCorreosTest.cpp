// The document sending run end to end: generated suites, the real mail component and the local
// test mail server.
#include "mail/MandarCorreos.h"

#include "DialogosGrabados.h"
#include "DoblesEnvio.h"
#include "GeneradorSuite.h"
#include "RelojFijo.h"
#include "TemporaryFolder.h"
#include "TestMailServer.h"
#include "catalogue/Catalogo.h"
#include "catalogue/Seleccion.h"
#include "database/BaseDatos.h"
#include "platform/CurlMailTransport.h"
#include "platform/Sha256.h"

#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace envio {
namespace {

using test::ComponenteEspia;
using test::DialogosGrabados;
using test::SondaFija;
using test::TemporaryFolder;

class ObservadorGrabado : public ObservadorEnvio {
public:
    std::vector<std::string> pasos;
    std::function<void(std::size_t)> alCambiarFila;

    void progresoVisible(bool v) override { pasos.push_back(v ? "barra" : "sin barra"); }
    void progresoMaximo(int m) override { pasos.push_back("maximo " + std::to_string(m)); }
    void progresoValor(int) override {}
    void textoProgreso(const std::string& t) override { pasos.push_back(t); }
    void punteroOcupado(bool) override {}
    void filaCambiada(std::size_t i, const FilaLista&) override {
        if (alCambiarFila) {
            alCambiarFila(i);
        }
    }
};

class VisorGrabado : public VisorInforme {
public:
    std::vector<SolicitudInforme> solicitudes;
    std::vector<std::vector<std::string>> filas; // CAMPO1..3 of the work table when shown

    void mostrar(const SolicitudInforme& s) override {
        solicitudes.push_back(s);
        Registros r = BaseDatos::abrir(s.BaseDatosInforme)
                          ->abrirRegistros("SELECT * FROM INFORMETMP2008 ORDER BY Id");
        for (r.primero(); !r.fin(); r.siguiente()) {
            filas.push_back({r.campo("CAMPO1").comoTexto(), r.campo("CAMPO2").comoTexto(),
                             r.campo("CAMPO3").comoTexto()});
            EXPECT_TRUE(r.campo("CAMPO4").esNulo());
        }
    }
};

const std::string kUsuario = "envios";
const std::string kClave = "clave secreta";

class MandarCorreosTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
    std::unique_ptr<test::TestMailServer> server;
    DialogosGrabados dialogos;
    ObservadorGrabado observador;
    VisorGrabado visor;
    SondaFija sonda;
    CurlMailTransport curl;
    ComponenteEspia componente{curl};
    std::atomic<bool> cancelar{false};
    std::optional<ContextoAnfitrion> contexto;
    ListaVista lista;

    void build(suitegen::DescripcionSuite d, const test::MailServerOptions& options = {}) {
        test::MailServerOptions o = options;
        o.user = kUsuario;
        o.password = kClave;
        server = std::make_unique<test::TestMailServer>(o);
        suitegen::ServidorCorreo correo;
        correo.puerto = server->plainPort();
        correo.usuario = kUsuario;
        correo.password = kClave;
        correo.cuenta = "facturacion@ejemplo.es";
        correo.asunto = "Su factura de marzo";
        correo.mensaje = "Estimado cliente:\r\nLe enviamos su documento.";
        d.correo = correo;
        suitegen::generarSuite(folder.path(), d);
        contexto = iniciarContexto(CarpetaPrograma(folder.path()), dialogos,
                                   test::RelojFijo({2026, 3, 20}));
        ASSERT_TRUE(contexto);
        Catalogo(*contexto).ActualizarLista({contexto->tipos.front(), "2026", 3, ""}, lista);
    }

    ResultadoEnvios run() {
        RegistroEnvios registro(RegistroEnvios::archivoEn(folder.path()));
        Reservas reservas(folder.path(), currentProcess());
        EntornoEnvio e{
            contexto->correo(), contexto->carpeta, dialogos, observador, visor, componente, sonda,
            registro,           reservas,          cancelar};
        return MandarCorreos(lista.filas(), e);
    }

    std::filesystem::path documents() const { return contexto->rutaDocumentos / "2026"; }
};

suitegen::DescripcionSuite threeClients() {
    suitegen::DescripcionSuite d;
    d.clientes = {{1, "Acme", "ORO", false, {{"E", "  Acme@Ejemplo.es ", 0}}},
                  {2, "Peña", "ORO", false, {{"E", "no-valida", 0}}},
                  {3, "Núñez", "ORO", false, {{"E", "nunez@ejemplo.es", 0}}}};
    d.documentos = {{"000001_20260301_000001.pdf", "2026", 3000},
                    {"000002_20260302_000002.pdf", "2026", 3000},
                    {"000003_20260303_000003.ENVIADO.PDF", "2026", 3000}};
    return d;
}

TEST_F(MandarCorreosTest, NothingCheckedSendsNothingAndEmptiesTheWorkTable) {
    build(threeClients());
    BaseDatos::abrir(folder / "temporal.mdb")
        ->agregarRegistro("INFORMETMP2008", {{"CAMPO1", Valor::texto("de antes")}});
    const ResultadoEnvios r = run();
    EXPECT_EQ(r.enviados, 0);
    EXPECT_TRUE(visor.solicitudes.empty());
    EXPECT_TRUE(BaseDatos::abrir(folder / "temporal.mdb")
                    ->abrirRegistros("SELECT * FROM INFORMETMP2008")
                    .vacio());
    EXPECT_EQ(observador.pasos,
              (std::vector<std::string>{"barra", "maximo 4", "Enviando ...", "sin barra"}));
    EXPECT_TRUE(server->messages().empty());
}

TEST_F(MandarCorreosTest, SendsRenamesReportsAndSkipsABadAddressSilently) {
    build(threeClients());
    Seleccionar(lista, "TODO");
    dialogos.responder(Respuesta::Si); // the third document was sent before
    const ResultadoEnvios r = run();
    EXPECT_EQ(r.enviados, 2);
    EXPECT_EQ(r.fallidos, 1);
    EXPECT_EQ(r.noEnviados, 1);
    ASSERT_EQ(dialogos.cuadros().size(), 1U); // the resend question, and nothing for the address
    EXPECT_EQ(dialogos.cuadros()[0],
              (CuadroMensaje{"En la selección actual tiene mensajes que ya fueron enviados.\r\n"
                             "- 000003_20260303_000003.ENVIADO.PDF: ya marcado como enviado\r\n"
                             "¿Confirma que desea reenviarlos?",
                             "Aviso", Icono::Pregunta, Botones::SiNo}));

    EXPECT_TRUE(std::filesystem::exists(documents() / "000001_20260301_000001.ENVIADO.PDF"));
    EXPECT_FALSE(std::filesystem::exists(documents() / "000001_20260301_000001.pdf"));
    EXPECT_TRUE(std::filesystem::exists(documents() / "000002_20260302_000002.pdf"));
    EXPECT_TRUE(std::filesystem::exists(documents() / "000003_20260303_000003.ENVIADO.PDF"));
    EXPECT_EQ(lista.fila(0).icono, kIconoEnviado);
    EXPECT_EQ(lista.fila(0).etiqueta,
              (documents() / "000001_20260301_000001.ENVIADO.PDF").string());
    EXPECT_EQ(lista.fila(1).color, kColorError);
    EXPECT_EQ(lista.fila(1).subitems[0], "no-valida"); // the list keeps its text

    ASSERT_EQ(visor.solicitudes.size(), 1U);
    EXPECT_EQ(visor.solicitudes[0].TituloInforme, "Envio de facturas");
    EXPECT_EQ(visor.solicitudes[0].DetalleInforme, "Asunto: Su factura de marzo");
    EXPECT_EQ(visor.solicitudes[0].FicheroInforme, "9Fac0019.rpt");
    EXPECT_EQ(visor.solicitudes[0].usuario, kUsuario);
    EXPECT_EQ(visor.filas,
              (std::vector<std::vector<std::string>>{
                  {"00001 ACME", "acme@ejemplo.es", "000001_20260301_000001.ENVIADO.PDF"},
                  {"00003 NÚÑEZ", "nunez@ejemplo.es", "000003_20260303_000003.ENVIADO.PDF"}}));

    const auto messages = server->messages();
    ASSERT_EQ(messages.size(), 2U);
    EXPECT_EQ(messages[0].recipients, std::vector<std::string>{"acme@ejemplo.es"});
    EXPECT_EQ(messages[0].authUser, kUsuario);
    EXPECT_EQ(messages[0].connection, messages[1].connection); // one connection for the run

    RegistroEnvios registro(RegistroEnvios::archivoEn(folder.path()));
    const auto attempts = registro.todos();
    ASSERT_EQ(attempts.size(), 2U);
    EXPECT_EQ(attempts[0].resultado, RegistroEnvios::Resultado::Aceptado);
    EXPECT_NE(messages[0].raw.find("Message-ID: " + attempts[0].messageId), std::string::npos);
    EXPECT_EQ(attempts[0].renombradoA,
              (documents() / "000001_20260301_000001.ENVIADO.PDF").string());
    EXPECT_EQ(attempts[0].tamano, 3000U);
}

TEST_F(MandarCorreosTest, DecliningToResendSendsNothing) {
    build(threeClients());
    Seleccionar(lista, "TODO");
    const ResultadoEnvios r = run();
    EXPECT_TRUE(r.declinado);
    EXPECT_EQ(r.enviados, 0);
    EXPECT_TRUE(server->messages().empty());
    EXPECT_TRUE(visor.solicitudes.empty());
    EXPECT_EQ(observador.pasos.back(), "sin barra");
}

TEST_F(MandarCorreosTest, WithoutAConnectionEveryDocumentGetsBothBoxes) {
    build(threeClients());
    sonda.conectado = false;
    Seleccionar(lista, "TODO");
    lista.fila(1).subitems[0] = "pena@ejemplo.es";
    dialogos.responder(Respuesta::Si);
    run();
    const auto boxes = dialogos.cuadros();
    ASSERT_EQ(boxes.size(), 7U);
    for (std::size_t i = 1; i < boxes.size(); i += 2) {
        EXPECT_EQ(boxes[i].titulo, "0");
        EXPECT_EQ(boxes[i + 1].titulo, "Aviso");
    }
    EXPECT_TRUE(server->messages().empty());
    EXPECT_TRUE(visor.solicitudes.empty());
}

TEST_F(MandarCorreosTest, ADocumentThatVanishesAfterTheSendIsStillReportedAsSent) {
    build(threeClients());
    Seleccionar(lista, "PENDIENTE");
    lista.fila(1).subitems[0] = "pena@ejemplo.es";
    componente.despues = [&](const MensajeSmtp& m, const ResultadoEnvio&) {
        if (m.destinatarios.front() == "acme@ejemplo.es") {
            std::filesystem::rename(documents() / "000001_20260301_000001.pdf",
                                    folder / "movido.pdf");
        }
    };
    const ResultadoEnvios r = run();
    EXPECT_EQ(r.enviados, 2);
    ASSERT_EQ(dialogos.cuadros().size(), 1U);
    EXPECT_NE(dialogos.cuadros()[0].texto.find(
                  "se ha enviado, pero no se pudo marcar como "
                  "enviado: El documento " +
                  (documents() / "000001_20260301_000001.pdf").string() + " ya no existe"),
              std::string::npos)
        << dialogos.cuadros()[0].texto;
    EXPECT_EQ(lista.fila(0).icono, kIconoEnviado);
    EXPECT_EQ(visor.filas.size(), 2U);
}

TEST_F(MandarCorreosTest, AServerThatGoesAwayMidRunFailsTheRestWithoutLosingAnything) {
    build(threeClients());
    Seleccionar(lista, "PENDIENTE");
    lista.fila(1).subitems[0] = "pena@ejemplo.es";
    componente.despues = [&](const MensajeSmtp&, const ResultadoEnvio& r) {
        if (r.enviado) {
            server.reset(); // the server stops right after taking the first message
        }
    };
    const ResultadoEnvios r = run();
    EXPECT_EQ(r.enviados, 1);
    EXPECT_EQ(r.fallidos, 1);
    EXPECT_FALSE(r.salidaPorError);
    ASSERT_EQ(dialogos.cuadros().size(), 2U);
    EXPECT_EQ(dialogos.cuadros()[0].icono, Icono::Critico);
    EXPECT_EQ(dialogos.cuadros()[1].texto, "El programa no pudo procesar el mensaje para "
                                           "pena@ejemplo.es\r\nEl mensaje no será enviado");
    EXPECT_TRUE(std::filesystem::exists(documents() / "000001_20260301_000001.ENVIADO.PDF"));
    EXPECT_TRUE(std::filesystem::exists(documents() / "000002_20260302_000002.pdf"));
    EXPECT_EQ(lista.fila(1).color, kColorError);
    EXPECT_EQ(visor.filas.size(), 1U);
}

// The Windows copy of the program keeps its own Access temporal.mdb in the same folder: the
// start-up, the run's work table and the report never touch it and agree on our own file.
TEST_F(MandarCorreosTest, TheWindowsProgramsTemporalMdbIsLeftByteForByte) {
    build(threeClients());
    std::filesystem::remove(folder / "temporal.mdb");
    std::filesystem::copy_file(contexto->rutaBaseDatos, folder / "TEMPORAL.MDB"); // a Jet file
    const std::string jet = folder.read("TEMPORAL.MDB");
    contexto =
        iniciarContexto(CarpetaPrograma(folder.path()), dialogos, test::RelojFijo({2026, 3, 20}));
    ASSERT_TRUE(contexto);
    Catalogo(*contexto).ActualizarLista({contexto->tipos.front(), "2026", 3, ""}, lista);
    Seleccionar(lista, "PENDIENTE");
    const ResultadoEnvios r = run();
    EXPECT_EQ(r.enviados, 1);
    ASSERT_EQ(visor.solicitudes.size(), 1U);
    EXPECT_EQ(visor.solicitudes[0].BaseDatosInforme, folder / "envio-informe.db");
    EXPECT_EQ(visor.filas.size(), 1U);
    EXPECT_EQ(folder.read("TEMPORAL.MDB"), jet);
    EXPECT_TRUE(dialogos.cuadros().empty());
}

TEST_F(MandarCorreosTest, AnUnusableWorkDatabaseEndsTheRunBeforeAnythingIsSent) {
    build(threeClients());
    Seleccionar(lista, "PENDIENTE");
    std::filesystem::remove(folder / "temporal.mdb");
    std::filesystem::create_directory(folder / "temporal.mdb");
    const ResultadoEnvios r = run();
    EXPECT_TRUE(r.salidaPorError);
    ASSERT_EQ(dialogos.cuadros().size(), 1U);
    EXPECT_EQ(dialogos.cuadros()[0].titulo, "Aviso");
    EXPECT_EQ(dialogos.cuadros()[0].icono, Icono::Informacion);
    EXPECT_TRUE(dialogos.cuadros()[0].texto.starts_with("3051 "));
    EXPECT_TRUE(server->messages().empty());
    EXPECT_EQ(observador.pasos.back(), "sin barra");
}

TEST_F(MandarCorreosTest, PayslipsAreReportedUnderTheSameTitle) {
    suitegen::DescripcionSuite d;
    d.nomina = true;
    d.empleados = {{42, "Pérez"}};
    d.alternativas = {{"12345678Z", "perez@ejemplo.es", "Pérez"}};
    d.documentos = {{"0000042_26031M_12345678Z.PDF", "NOMINAS", 2048}};
    build(d);
    Seleccionar(lista, "TODO");
    run();
    ASSERT_EQ(visor.solicitudes.size(), 1U);
    EXPECT_EQ(visor.solicitudes[0].TituloInforme, "Envio de facturas");
    EXPECT_TRUE(std::filesystem::exists(contexto->rutaDocumentos / "NOMINAS" /
                                        "0000042_26031M_12345678Z.ENVIADO.PDF"));
}

// A run killed at a chosen step leaves every document present exactly once, and the next start
// never mails one again without asking.
class EjecucionInterrumpidaTest : public MandarCorreosTest,
                                  public ::testing::WithParamInterface<std::string> {
protected:
    void runAndKill(const std::string& step) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            componente.antes = [&](const MensajeSmtp&) {
                if (step == "antes del envio") {
                    ::raise(SIGKILL);
                }
            };
            componente.despues = [&](const MensajeSmtp&, const ResultadoEnvio& r) {
                if (step == "con el mensaje aceptado" && r.enviado) {
                    ::raise(SIGKILL);
                }
            };
            observador.alCambiarFila = [&](std::size_t) {
                if (step == "tras renombrar") {
                    ::raise(SIGKILL);
                }
            };
            run();
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << step;
    }

    int copiesOf(const std::string& stem) const {
        return static_cast<int>(std::filesystem::exists(documents() / (stem + ".pdf"))) +
               static_cast<int>(std::filesystem::exists(documents() / (stem + ".ENVIADO.PDF")));
    }
};

TEST_P(EjecucionInterrumpidaTest, NoDocumentIsLostAndNoneIsMailedTwiceUnasked) {
    suitegen::DescripcionSuite d;
    d.clientes = {{1, "Acme", "ORO", false, {{"E", "acme@ejemplo.es", 0}}}};
    d.documentos = {{"000001_20260301_000001.pdf", "2026", 3000}};
    build(d);
    Seleccionar(lista, "TODO");
    runAndKill(GetParam());
    EXPECT_EQ(copiesOf("000001_20260301_000001"), 1);
    const std::size_t mailed = server->messages().size();

    // The restart: the start-up finishes what it can, then the same document is sent again.
    DialogosGrabados again;
    contexto =
        iniciarContexto(CarpetaPrograma(folder.path()), again, test::RelojFijo({2026, 3, 20}));
    ASSERT_TRUE(contexto);
    Catalogo(*contexto).ActualizarLista({"FACTURAS", "2026", 3, ""}, lista);
    Seleccionar(lista, "TODO");
    const ResultadoEnvios r = run();
    EXPECT_EQ(copiesOf("000001_20260301_000001"), 1);
    // Killed before the send, nothing went out, but the ledger cannot know that: the user is
    // asked all the same (and declines, as the scripted dialogs do).
    EXPECT_TRUE(r.declinado) << "mailed again without asking";
    EXPECT_EQ(server->messages().size(), mailed);
}

INSTANTIATE_TEST_SUITE_P(Pasos, EjecucionInterrumpidaTest,
                         ::testing::Values("antes del envio", "con el mensaje aceptado",
                                           "tras renombrar"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (auto& c : name) {
                                 c = c == ' ' ? '_' : c;
                             }
                             return name;
                         });

TEST_F(MandarCorreosTest, TheStartUpFinishesTheRenameOfAnAcceptedDocument) {
    suitegen::DescripcionSuite d;
    d.clientes = {{1, "Acme", "ORO", false, {{"E", "acme@ejemplo.es", 0}}}};
    d.documentos = {{"000001_20260301_000001.pdf", "2026", 3000}};
    build(d);
    const auto first = documents() / "000001_20260301_000001.pdf";
    {
        // What a run killed between the server's answer and the rename leaves in the ledger.
        RegistroEnvios registro(RegistroEnvios::archivoEn(folder.path()));
        RegistroEnvios::Intento i;
        i.documento = first.string();
        i.sha256 = sha256OfFile(first).value();
        i.destinatario = "acme@ejemplo.es";
        const long long id = registro.antesDeEnviar(i);
        registro.respuesta(id, RegistroEnvios::Resultado::Aceptado, "<id@ejemplo.es>", "250 OK");
    }
    DialogosGrabados again;
    contexto =
        iniciarContexto(CarpetaPrograma(folder.path()), again, test::RelojFijo({2026, 3, 20}));
    ASSERT_TRUE(contexto);
    EXPECT_TRUE(std::filesystem::exists(documents() / "000001_20260301_000001.ENVIADO.PDF"));
    EXPECT_FALSE(std::filesystem::exists(first));
    ASSERT_EQ(again.cuadros().size(), 1U);
    EXPECT_NE(again.cuadros()[0].texto.find("000001_20260301_000001.ENVIADO.PDF (acme@ejemplo.es)"),
              std::string::npos);
    RegistroEnvios registro(RegistroEnvios::archivoEn(folder.path()));
    EXPECT_TRUE(registro.sinRenombrar().empty());
}

} // namespace
} // namespace envio
