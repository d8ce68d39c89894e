// The one attempt path as the document and notice runs use it: claims shared between runs and
// machines, uncertain answers, and what the next run does with the documents left in doubt. The
// mail component is scripted here; its own uncertain outcomes are tested against the local
// server in the mail layer's tests.
#include "mail/IntentoEnvio.h"

#include "DialogosGrabados.h"
#include "DoblesEnvio.h"
#include "GeneradorSuite.h"
#include "RelojFijo.h"
#include "TemporaryFolder.h"
#include "catalogue/Catalogo.h"
#include "catalogue/Seleccion.h"
#include "host/ContextoAnfitrion.h"
#include "mail/MandarCorreos.h"
#include "mass/MandarAvisos.h"

#include <algorithm>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace envio {
namespace {

using Estado = DesenlaceEnvio::Estado;

// Answers each message from a script (accepted once the script has run out), its data having
// gone first, and records, for each, what the ledger said about it at the moment it went out.
class ComponenteGuionizado : public MailTransport {
public:
    std::deque<ResultadoEnvio> guion;
    std::vector<std::string> destinatarios;
    std::function<void()> alEnviar;

    ResultadoEnvio enviar(const ConfiguracionSmtp&, const MensajeSmtp& m) override {
        destinatarios.push_back(m.destinatarios.at(0));
        if (m.alEntregarDatos) {
            m.alEntregarDatos();
        }
        if (alEnviar) {
            alEnviar();
        }
        if (guion.empty()) {
            return {true, 0, "", "250 2.0.0 Ok", false};
        }
        ResultadoEnvio r = guion.front();
        guion.pop_front();
        return r;
    }
};

ResultadoEnvio sinRespuesta() {
    return {false, correo::SinRespuesta, "El servidor no respondió", "", true};
}

class IntentoEnvioTest : public ::testing::Test {
protected:
    test::TemporaryFolder folder;
    test::DialogosGrabados dialogos;
    ObservadorEnvio observador;
    std::vector<SolicitudInforme> informes;
    test::VisorEnLista visor{informes};
    test::SondaFija sonda;
    ComponenteGuionizado componente;
    std::atomic<bool> cancelar{false};
    std::optional<ContextoAnfitrion> contexto;

    void SetUp() override {
        suitegen::DescripcionSuite d;
        d.clientes = {{1, "Acme", "ORO", false, {{"E", "acme@ejemplo.es", 0}}},
                      {2, "Peña", "ORO", false, {{"E", "pena@ejemplo.es", 0}}},
                      {3, "Núñez", "ORO", false, {{"E", "nunez@ejemplo.es", 0}}}};
        d.documentos = {{"000001_20260301_000001.pdf", "2026", 3000},
                        {"000002_20260302_000002.pdf", "2026", 3000},
                        {"000003_20260303_000003.pdf", "2026", 3000}};
        suitegen::ServidorCorreo correo;
        correo.cuenta = "facturacion@ejemplo.es";
        correo.asunto = "Su factura";
        d.correo = correo;
        suitegen::generarSuite(folder.path(), d);
        contexto = iniciarContexto(CarpetaPrograma(folder.path()), dialogos,
                                   test::RelojFijo({2026, 3, 20}));
        ASSERT_TRUE(contexto);
    }

    std::filesystem::path documento(int n) const {
        return contexto->rutaDocumentos / "2026" /
               ("00000" + std::to_string(n) + "_2026030" + std::to_string(n) + "_00000" +
                std::to_string(n) + ".pdf");
    }

    // One run over the pending documents of March, as another process would start it.
    ResultadoEnvios run(ReenvioDudosos dudosos = ReenvioDudosos::Preguntar,
                        ProcessIdentity yo = currentProcess()) {
        ListaVista lista;
        Catalogo(*contexto).ActualizarLista({"FACTURAS", "2026", 3, ""}, lista);
        Seleccionar(lista, "pendiente");
        RegistroEnvios registro(RegistroEnvios::archivoEn(folder.path()));
        Reservas reservas(folder.path(), std::move(yo));
        EntornoEnvio e{
            contexto->correo(), contexto->carpeta, dialogos, observador, visor, componente, sonda,
            registro,           reservas,          cancelar, dudosos};
        return MandarCorreos(lista.filas(), e);
    }

    // A claim as a run of another machine leaves it, `edad` ago.
    void reservaAjena(const std::filesystem::path& doc, std::chrono::minutes edad) {
        Reservas ajenas(folder.path(), {"otro-equipo", "maria", 4242, 1},
                        [edad] { return std::chrono::system_clock::now() - edad; });
        const auto clave = Reservas::claveDe(doc);
        ASSERT_TRUE(ajenas.tomar(clave, doc.string(), "x@ejemplo.es", false).tomada);
    }
};

TEST_F(IntentoEnvioTest, AnUncertainSendIsLeftForAPersonAndTheNextRunNamesIt) {
    componente.guion = {{true, 0, "", "250 Ok", false}, sinRespuesta()};
    ResultadoEnvios r = run();
    EXPECT_EQ(r.enviados, 2);
    EXPECT_EQ(componente.destinatarios.size(), 3U);
    EXPECT_TRUE(std::filesystem::exists(documento(2))) << "an uncertain one keeps its name";
    // The list shows it as possibly sent, with when and to whom.
    ListaVista lista;
    Catalogo(*contexto).ActualizarLista({"FACTURAS", "2026", 3, ""}, lista);
    ASSERT_EQ(lista.cantidad(), 3U);
    for (const auto& fila : lista.filas()) {
        EXPECT_EQ(fila.dudoso.empty(), fila.etiqueta != documento(2).string()) << fila.etiqueta;
    }

    // Every later run asks about it, naming it and why, and a No sends nothing.
    const std::size_t cuadros = dialogos.cuadros().size();
    componente.destinatarios.clear();
    r = run();
    EXPECT_TRUE(r.declinado);
    EXPECT_TRUE(componente.destinatarios.empty());
    const std::string pregunta = dialogos.textos().at(cuadros);
    EXPECT_NE(pregunta.find("- 000002_20260302_000002.pdf: envío interrumpido"), std::string::npos)
        << pregunta;
    EXPECT_NE(pregunta.find("pena@ejemplo.es"), std::string::npos) << pregunta;

    // A person's Yes mails it once more.
    dialogos.responder(Respuesta::Si);
    r = run();
    EXPECT_EQ(componente.destinatarios, std::vector<std::string>{"pena@ejemplo.es"});
    EXPECT_FALSE(std::filesystem::exists(documento(2)));
    const std::size_t hasta = dialogos.cuadros().size();
    r = run();
    EXPECT_EQ(dialogos.cuadros().size(), hasta) << "the resend settled the doubt";
}

// The list is minutes old: another machine may give a listed document its sent name before this
// run gets to it. Nothing of it goes out, and this run leaves no claim and no attempt for it.
TEST_F(IntentoEnvioTest, ADocumentAnotherRunMarkedAfterTheListWasReadIsLeftAlone) {
    const auto tercero = documento(3);
    componente.alEnviar = [&] {
        if (std::filesystem::exists(tercero)) {
            std::filesystem::rename(tercero, rutaEnviada(tercero.string()));
        }
    };
    const ResultadoEnvios r = run();
    EXPECT_EQ(componente.destinatarios,
              (std::vector<std::string>{"acme@ejemplo.es", "pena@ejemplo.es"}));
    ASSERT_EQ(r.ocupados.size(), 1U);
    EXPECT_EQ(r.ocupados[0],
              "000003_20260303_000003.pdf: otro envío lo ha marcado ya como enviado");
    EXPECT_FALSE(Reservas(folder.path(), currentProcess()).leer(Reservas::claveDe(tercero)));
    RegistroEnvios registro(RegistroEnvios::archivoEn(folder.path()));
    for (const auto& intento : registro.todos()) {
        EXPECT_NE(intento.documento, tercero.string());
    }
}

TEST_F(IntentoEnvioTest, AnotherRunsClaimKeepsItsDocumentUntilItsRunIsGone) {
    // Another machine is sending the first one now; the second was left by a run that died
    // there long ago; the third was left by a run of this machine that is gone.
    reservaAjena(documento(1), std::chrono::minutes(1));
    reservaAjena(documento(2), Reservas::kVidaMaxima + std::chrono::minutes(1));
    {
        Reservas muerta(folder.path(), {currentProcess().host, "ana", 999999, 7});
        ASSERT_TRUE(muerta
                        .tomar(Reservas::claveDe(documento(3)), documento(3).string(),
                               "nunez@ejemplo.es", false)
                        .tomada);
    }
    const ResultadoEnvios r = run(ReenvioDudosos::Omitir);
    EXPECT_TRUE(componente.destinatarios.empty());
    ASSERT_EQ(r.ocupados.size(), 1U);
    EXPECT_NE(r.ocupados[0].find("000001_20260301_000001.pdf: lo está enviando maria@otro-equipo"),
              std::string::npos)
        << r.ocupados[0];
    EXPECT_EQ(r.dudososOmitidos.size(), 2U);
    EXPECT_TRUE(std::filesystem::exists(documento(1)));
}

TEST_F(IntentoEnvioTest, AClaimIsHeldWhileTheMessageGoesAndReleasedOnceTheFileIsMarked) {
    Reservas reservas(folder.path(), currentProcess());
    std::vector<bool> reservado;
    std::vector<std::string> estadoRegistro;
    // What stands for the document on the wire at that moment; the run may be getting the next
    // one ready meanwhile.
    componente.alEnviar = [&] {
        const std::string para = componente.destinatarios.back();
        const auto todas = reservas.todas();
        reservado.push_back(std::count_if(todas.begin(), todas.end(), [&para](const auto& r) {
                                return r.destinatario == para && !r.enviada;
                            }) == 1);
        RegistroEnvios registro(RegistroEnvios::archivoEn(folder.path()));
        const auto todos = registro.todos();
        const auto suyo = std::find_if(todos.rbegin(), todos.rend(),
                                       [&para](const auto& i) { return i.destinatario == para; });
        estadoRegistro.push_back(suyo == todos.rend() ? "nada"
                                 : suyo->resultado == RegistroEnvios::Resultado::Enviando
                                     ? "enviando"
                                     : "otro");
    };
    componente.guion = {{true, 0, "", "250 Ok", false},
                        {false, correo::DestinatarioRechazado, "rechazado", "550 no", false}};
    run();
    EXPECT_EQ(reservado, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(estadoRegistro, (std::vector<std::string>{"enviando", "enviando", "enviando"}));
    // The two sent ones say so for a while (another machine's cached view of the folder may
    // still show their pending names); the refused one is free again.
    const auto quedan = reservas.todas();
    ASSERT_EQ(quedan.size(), 2U);
    for (const auto& r : quedan) {
        EXPECT_TRUE(r.enviada) << r.documento;
        EXPECT_NE(r.clave, Reservas::claveDe(documento(2)));
    }
}

// Waits, on the line's thread, until the run has the next document ready behind the message on
// the wire: its claim is taken and its attempt recorded.
void esperarPreparado(const std::filesystem::path& carpeta, const std::filesystem::path& doc) {
    Reservas reservas(carpeta, currentProcess());
    for (int i = 0; i < 500 && !reservas.leer(Reservas::claveDe(doc)); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// Esc while a message is on the wire and the next one waits behind it: the waiting one never
// goes and leaves nothing behind (no record, no claim), so the next run sends it without a
// question.
TEST_F(IntentoEnvioTest, EscWithTheNextMessageWaitingUndoesItWithoutATrace) {
    componente.alEnviar = [&] {
        if (componente.destinatarios.size() == 1) {
            esperarPreparado(folder.path(), documento(2));
            cancelar = true;
        }
    };
    ResultadoEnvios r = run();
    EXPECT_TRUE(r.cancelado);
    EXPECT_EQ(r.enviados, 1);
    EXPECT_EQ(componente.destinatarios, std::vector<std::string>{"acme@ejemplo.es"});
    const auto todos = RegistroEnvios(RegistroEnvios::archivoEn(folder.path())).todos();
    ASSERT_EQ(todos.size(), 1U) << "the waiting attempt left the ledger";
    EXPECT_EQ(todos[0].destinatario, "acme@ejemplo.es");
    EXPECT_FALSE(Reservas(folder.path(), currentProcess()).leer(Reservas::claveDe(documento(2))));
    EXPECT_TRUE(std::filesystem::exists(documento(2)));
    EXPECT_TRUE(cancelar) << "stays set until the next run starts";
    EXPECT_EQ(informes.size(), 1U) << "the report of what went out still opens";

    cancelar = false;
    componente.alEnviar = nullptr;
    const std::size_t cuadros = dialogos.cuadros().size();
    r = run();
    EXPECT_EQ(r.enviados, 2);
    EXPECT_EQ(dialogos.cuadros().size(), cuadros) << "no question about the undone one";
}

// A component that fails in a way it does not report: its message may have gone, so it stays in
// doubt; the message waiting behind it is undone and goes with the next run.
TEST_F(IntentoEnvioTest, AComponentThatThrowsLeavesItsMessageInDoubtAndUndoesTheNextOne) {
    componente.alEnviar = [&] {
        if (componente.destinatarios.size() == 1) {
            esperarPreparado(folder.path(), documento(2));
            throw std::runtime_error("fallo inesperado");
        }
    };
    ResultadoEnvios r = run();
    EXPECT_TRUE(r.salidaPorError);
    EXPECT_EQ(r.enviados, 0);
    componente.alEnviar = nullptr;
    componente.destinatarios.clear();
    r = run(ReenvioDudosos::Omitir);
    EXPECT_EQ(r.enviados, 2);
    ASSERT_EQ(r.dudososOmitidos.size(), 1U);
    EXPECT_NE(r.dudososOmitidos[0].find("000001_20260301_000001.pdf"), std::string::npos);
    EXPECT_EQ(componente.destinatarios,
              (std::vector<std::string>{"pena@ejemplo.es", "nunez@ejemplo.es"}));
}

TEST_F(IntentoEnvioTest, TheNoticeRunRecordsEachAttemptBeforeItsMessageGoes) {
    std::vector<std::string> estadoRegistro;
    componente.alEnviar = [&] {
        RegistroEnvios registro(RegistroEnvios::archivoEn(folder.path()));
        const auto todos = registro.todos();
        estadoRegistro.push_back(
            todos.empty()
                ? "nada"
                : todos.back().documento + " " +
                      (todos.back().resultado == RegistroEnvios::Resultado::Enviando ? "enviando"
                                                                                     : "otro"));
    };
    componente.guion = {sinRespuesta()};
    std::vector<FilaLista> filas(2);
    filas[0].texto = "Acme";
    filas[0].subitems[0] = "acme@ejemplo.es";
    filas[1].texto = "Peña";
    filas[1].subitems[0] = "pena@ejemplo.es";
    filas[0].marcada = filas[1].marcada = true;
    masivo::PlantillaAviso aviso;
    aviso.asunto = "Cierre por vacaciones";
    aviso.mensaje = "Cerramos en agosto.";
    RegistroEnvios registro(RegistroEnvios::archivoEn(folder.path()));
    Reservas reservas(folder.path(), currentProcess());
    EntornoEnvio e{
        contexto->correo(), contexto->carpeta, dialogos, observador, visor, componente, sonda,
        registro,           reservas,          cancelar};
    dialogos.responder(Respuesta::Si);
    const auto r = masivo::MandarAvisos(filas, aviso, e);
    EXPECT_EQ(r.enviados, 1);
    EXPECT_EQ(estadoRegistro, (std::vector<std::string>{"Comunicaciones masivas: Acme enviando",
                                                        "Comunicaciones masivas: Peña enviando"}));
    const auto todos = registro.todos();
    ASSERT_EQ(todos.size(), 2U);
    EXPECT_EQ(todos[0].resultado, RegistroEnvios::Resultado::Incierto)
        << "an answer that never came is no refusal";
    EXPECT_EQ(todos[1].resultado, RegistroEnvios::Resultado::Aceptado);
}

} // namespace
} // namespace envio
