// The notice run end to end: generated suites, the real mail component and the local test mail
// server.
#include "mass/MandarAvisos.h"

#include "DialogosGrabados.h"
#include "DoblesEnvio.h"
#include "GeneradorSuite.h"
#include "RelojFijo.h"
#include "TemporaryFolder.h"
#include "TestMailServer.h"
#include "database/BaseDatos.h"
#include "mass/ListaDestinatarios.h"
#include "platform/CurlMailTransport.h"

#include <functional>
#include <gtest/gtest.h>

namespace envio::masivo {
namespace {

using test::ComponenteEspia;
using test::DialogosGrabados;
using test::SondaFija;
using test::TemporaryFolder;

class ObservadorMudo : public ObservadorEnvio {
public:
    std::vector<bool> punteros;
    void punteroOcupado(bool o) override { punteros.push_back(o); }
};

class VisorGrabado : public VisorInforme {
public:
    std::vector<SolicitudInforme> solicitudes;
    std::vector<std::vector<std::string>> filas; // CAMPO1, CAMPO2 when shown

    void mostrar(const SolicitudInforme& s) override {
        solicitudes.push_back(s);
        filas = leerTabla(s.BaseDatosInforme);
    }
    static std::vector<std::vector<std::string>> leerTabla(const std::filesystem::path& db) {
        std::vector<std::vector<std::string>> out;
        Registros r =
            BaseDatos::abrir(db)->abrirRegistros("SELECT * FROM INFORMETMP2008 ORDER BY Id");
        for (r.primero(); !r.fin(); r.siguiente()) {
            out.push_back({r.campo("CAMPO1").comoTexto(), r.campo("CAMPO2").comoTexto()});
            EXPECT_TRUE(r.campo("CAMPO3").esNulo());
        }
        return out;
    }
};

const std::string kUsuario = "avisos";
const std::string kClave = "clave secreta";
const std::string kConfirmar =
    "Va a enviar un correo electrónico a todos los clientes seleccionados.\r"
    "El correo incluirá el asunto y mensaje que haya indicado en la pestaña 'Mensaje de aviso'\r"
    "¿Confirma la acción?";

CuadroMensaje aviso(const std::string& texto) {
    return {texto, "Aviso", Icono::Informacion, Botones::Aceptar};
}

class MandarAvisosTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
    std::unique_ptr<test::TestMailServer> server;
    DialogosGrabados dialogos;
    ObservadorMudo observador;
    VisorGrabado visor;
    SondaFija sonda;
    CurlMailTransport curl;
    ComponenteEspia componente{curl};
    std::atomic<bool> cancelar{false};
    std::optional<ContextoAnfitrion> contexto;
    ListaVista lista;
    PlantillaAviso plantilla{"Cierre por vacaciones", "Estimado cliente:\r\nCerramos en agosto.",
                             false};

    void build(suitegen::DescripcionSuite d, const std::string& filtro,
               const test::MailServerOptions& options = {}) {
        test::MailServerOptions o = options;
        o.user = kUsuario;
        o.password = kClave;
        server = std::make_unique<test::TestMailServer>(o);
        suitegen::ServidorCorreo correo;
        correo.puerto = server->plainPort();
        correo.usuario = kUsuario;
        correo.password = kClave;
        correo.cuenta = "oficina@ejemplo.es";
        d.correo = correo;
        suitegen::generarSuite(folder.path(), d);
        contexto = iniciarContexto(CarpetaPrograma(folder.path()), dialogos,
                                   test::RelojFijo({2026, 3, 20}));
        ASSERT_TRUE(contexto);
        ListaDestinatarios origen(*contexto);
        if (fuenteParaTipo(contexto->tipos.front()) == Fuente::Clientes) {
            origen.LlenarLvClientes(lista, filtro);
        } else {
            origen.LlenarLvAlternativo(lista);
        }
    }

    ResultadoAvisos run(bool confirmar = true) {
        if (confirmar) {
            dialogos.responder(Respuesta::Si);
        }
        RegistroEnvios registro(RegistroEnvios::archivoEn(folder.path()));
        Reservas reservas(folder.path(), currentProcess());
        EntornoEnvio e{
            contexto->correo(), contexto->carpeta, dialogos, observador, visor, componente, sonda,
            registro,           reservas,          cancelar};
        return MandarAvisos(lista.filas(), plantilla, e);
    }

    std::vector<std::vector<std::string>> workTable() const {
        return VisorGrabado::leerTabla(folder / "temporal.mdb");
    }
};

suitegen::DescripcionSuite tresClientes() {
    suitegen::DescripcionSuite d;
    d.clientes = {suitegen::clienteConCorreo(1, "Acme", "OK", "no-valida"),
                  suitegen::clienteConCorreo(2, "Bodegas", "OK", "rechazado@ejemplo.es"),
                  suitegen::clienteConCorreo(3, "Núñez", "OK", "nunez@ejemplo.es"),
                  suitegen::clienteConCorreo(4, "Sin marcar", "NO", "otro@ejemplo.es")};
    return d;
}

TEST_F(MandarAvisosTest, BadAddressRefusedAndSentRowsGiveTheirBoxesCountsAndOneReportRow) {
    test::MailServerOptions o;
    o.rejectRecipients = "^rechazado@";
    build(tresClientes(), "OK", o);
    const ResultadoAvisos r = run();
    EXPECT_TRUE(r.confirmado);
    EXPECT_EQ(r.enviados, 1);
    EXPECT_EQ(r.noEnviados, 1);
    EXPECT_EQ(r.direccionesIncorrectas, 1);
    EXPECT_FALSE(r.salidaPorError);

    const auto boxes = dialogos.cuadros();
    ASSERT_EQ(boxes.size(), 5U);
    EXPECT_EQ(boxes[0], (CuadroMensaje{kConfirmar, "Envío masivo de correos electrónicos",
                                       Icono::Informacion, Botones::SiNo}));
    EXPECT_EQ(boxes[1], aviso("El correo del destinatario 00001 Acme es incorrecto."));
    EXPECT_EQ(boxes[2].icono, Icono::Critico); // the mail object's Error event
    EXPECT_EQ(boxes[2].titulo.front(), '-');
    EXPECT_NE(boxes[2].texto.find("rechazado@ejemplo.es"), std::string::npos) << boxes[2].texto;
    EXPECT_EQ(boxes[3], aviso("El correo del destinatario 00002 Bodegas es incorrecto."));
    EXPECT_EQ(boxes[4], aviso("Proceso concluido\r\n1 enviados.\r\n1 no enviados."));

    ASSERT_EQ(visor.solicitudes.size(), 1U);
    const SolicitudInforme& s = visor.solicitudes[0];
    EXPECT_EQ(s.TituloInforme, "Comunicaciones masivas");
    EXPECT_EQ(s.DetalleInforme, "Asunto: Cierre por vacaciones");
    EXPECT_EQ(s.FicheroInforme, "9Fac0019.rpt");
    EXPECT_EQ(s.BaseDatosInforme, folder / "temporal.mdb");
    EXPECT_EQ(s.usuario, kUsuario);
    EXPECT_EQ(visor.filas,
              (std::vector<std::vector<std::string>>{{"00003 Núñez", "nunez@ejemplo.es"}}));

    const auto messages = server->messages();
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_EQ(messages[0].recipients, std::vector<std::string>{"nunez@ejemplo.es"});
    EXPECT_EQ(messages[0].sender, "oficina@ejemplo.es");
    EXPECT_EQ(messages[0].authUser, kUsuario);
    EXPECT_NE(messages[0].raw.find("Subject: Cierre por vacaciones"), std::string::npos);
    EXPECT_NE(messages[0].raw.find("Estimado cliente:\r\nCerramos en agosto."), std::string::npos);
    EXPECT_EQ(messages[0].raw.find("Content-Disposition"), std::string::npos); // no attachment
    EXPECT_EQ(messages[0].raw.find("Disposition-Notification-To"), std::string::npos);

    // Every attempt in the ledger, the refused one too; the bad address never reached it.
    RegistroEnvios registro(RegistroEnvios::archivoEn(folder.path()));
    const auto attempts = registro.todos();
    ASSERT_EQ(attempts.size(), 2U);
    EXPECT_EQ(attempts[0].destinatario, "rechazado@ejemplo.es");
    EXPECT_EQ(attempts[0].resultado, RegistroEnvios::Resultado::Rechazado);
    EXPECT_EQ(attempts[0].documento, "Comunicaciones masivas: 00002 Bodegas");
    EXPECT_EQ(attempts[1].resultado, RegistroEnvios::Resultado::Aceptado);
    EXPECT_NE(messages[0].raw.find("Message-ID: " + attempts[1].messageId), std::string::npos);
    EXPECT_EQ(observador.punteros.front(), true);
    EXPECT_EQ(observador.punteros.back(), false);
}

TEST_F(MandarAvisosTest, TheStartUpNeverTakesANoticeInTheLedgerForADocumentToMark) {
    build(tresClientes(), "NO");
    ASSERT_EQ(run().enviados, 1);
    DialogosGrabados again;
    ASSERT_TRUE(
        iniciarContexto(CarpetaPrograma(folder.path()), again, test::RelojFijo({2026, 3, 20})));
    EXPECT_TRUE(again.cuadros().empty());
}

TEST_F(MandarAvisosTest, AnsweringNoSendsAndWritesNothing) {
    build(tresClientes(), "OK");
    BaseDatos::abrir(folder / "temporal.mdb")
        ->agregarRegistro("INFORMETMP2008", {{"CAMPO1", Valor::texto("de antes")}});
    const ResultadoAvisos r = run(false);
    EXPECT_FALSE(r.confirmado);
    EXPECT_EQ(dialogos.cuadros().size(), 1U);
    EXPECT_EQ(workTable().size(), 1U);
    EXPECT_TRUE(server->messages().empty());
    EXPECT_TRUE(RegistroEnvios(RegistroEnvios::archivoEn(folder.path())).todos().empty());
}

TEST_F(MandarAvisosTest, AnEmptyListIsToldAndTheWorkTableIsLeftAlone) {
    suitegen::DescripcionSuite d;
    d.clientes = {suitegen::clienteConCorreo(1, "Cesado", "OK", "a@ejemplo.es")};
    d.clientes[0].cesado = true;
    build(d, "OK");
    ASSERT_TRUE(lista.vacia());
    BaseDatos::abrir(folder / "temporal.mdb")
        ->agregarRegistro("INFORMETMP2008", {{"CAMPO1", Valor::texto("de antes")}});
    const ResultadoAvisos r = run();
    EXPECT_TRUE(r.listaVacia);
    ASSERT_EQ(dialogos.cuadros().size(), 2U);
    EXPECT_EQ(dialogos.cuadros()[1],
              aviso("No tiene registrados correos electrónicos de destinatarios"));
    EXPECT_EQ(workTable().size(), 1U);
    EXPECT_TRUE(visor.solicitudes.empty());
}

TEST_F(MandarAvisosTest, WhenEveryCheckedRowFailsTheSummarySaysZeroAndNoReportOpens) {
    test::MailServerOptions o;
    o.rejectRecipients = "^rechazado@";
    auto d = tresClientes();
    d.clientes.erase(d.clientes.begin() + 2); // only the bad and the refused stay checked
    build(d, "OK", o);
    BaseDatos::abrir(folder / "temporal.mdb")
        ->agregarRegistro("INFORMETMP2008", {{"CAMPO1", Valor::texto("de antes")}});
    const ResultadoAvisos r = run();
    EXPECT_EQ(r.enviados, 0);
    EXPECT_EQ(dialogos.cuadros().back(),
              aviso("Proceso concluido\r\n0 enviados.\r\n1 no enviados."));
    EXPECT_TRUE(visor.solicitudes.empty());
    EXPECT_FALSE(r.informeMostrado);
    EXPECT_TRUE(workTable().empty()); // emptied when the run started
    EXPECT_TRUE(server->messages().empty());
}

TEST_F(MandarAvisosTest, CapitalsAreKeptAndBlanksAroundTheAddressStayOffTheEnvelope) {
    suitegen::DescripcionSuite d;
    d.nomina = true;
    d.empleados = {{42, "Pérez"}};
    d.alternativas = {{"12345678Z", "  Ana.Perez@Ejemplo.ES ", "Ana Pérez"}};
    build(d, "");
    Seleccion(lista, "TODO");
    plantilla.confirmacion = true;
    const ResultadoAvisos r = run();
    EXPECT_EQ(r.enviados, 1);
    const auto messages = server->messages();
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_EQ(messages[0].recipients, std::vector<std::string>{"Ana.Perez@Ejemplo.ES"});
    EXPECT_NE(messages[0].raw.find("To: Ana.Perez@Ejemplo.ES"), std::string::npos);
    EXPECT_NE(messages[0].raw.find("Disposition-Notification-To: oficina@ejemplo.es"),
              std::string::npos);
    EXPECT_EQ(lista.fila(0).subitems[0], "  Ana.Perez@Ejemplo.ES "); // the list keeps its text
    EXPECT_EQ(visor.filas,
              (std::vector<std::vector<std::string>>{{"Ana Pérez", "  Ana.Perez@Ejemplo.ES "}}));
    const auto attempts = RegistroEnvios(RegistroEnvios::archivoEn(folder.path())).todos();
    ASSERT_EQ(attempts.size(), 1U);
    EXPECT_EQ(attempts[0].destinatario, "Ana.Perez@Ejemplo.ES");
}

TEST_F(MandarAvisosTest, ValuesLongerThanAWorkTableFieldAreShortenedAndTheRunGoesOn) {
    suitegen::DescripcionSuite d;
    d.clientes = {suitegen::clienteConCorreo(1, std::string(100, 'N'), "OK", "uno@ejemplo.es"),
                  suitegen::clienteConCorreo(2, "Dos", "OK", "dos@ejemplo.es")};
    build(d, "OK");
    // An address longer than a field, which no suite field of ours can hold but a row can.
    const std::string largo = std::string(60, 'l') + "@" + std::string(50, 'd') + ".ejemplo.es";
    lista.fila(1).subitems[0] = largo;
    const ResultadoAvisos r = run();
    EXPECT_FALSE(r.salidaPorError);
    EXPECT_EQ(r.enviados, 2);
    EXPECT_EQ(dialogos.cuadros().back(),
              aviso("Proceso concluido\r\n2 enviados.\r\n0 no enviados."));
    ASSERT_EQ(visor.filas.size(), 2U);
    EXPECT_EQ(visor.filas[0][0], ("00001 " + std::string(100, 'N')).substr(0, 100));
    EXPECT_EQ(visor.filas[1][1], largo.substr(0, 100));
    ASSERT_EQ(server->messages().size(), 2U);
    EXPECT_EQ(server->messages()[1].recipients, std::vector<std::string>{largo});
}

TEST_F(MandarAvisosTest, EscBeforeTheRunIsForgottenAndEscDuringItStopsBeforeTheNextRow) {
    build(tresClientes(), "OK");
    lista.fila(0).subitems[0] = "acme@ejemplo.es";
    cancelar = true;
    componente.despues = [&](const MensajeSmtp& m, const ResultadoEnvio&) {
        if (m.destinatarios.front() == "rechazado@ejemplo.es") {
            cancelar = true; // pressed while the second message was on its way
        }
    };
    const ResultadoAvisos r = run();
    EXPECT_TRUE(r.cancelado);
    EXPECT_EQ(r.enviados, 2);
    EXPECT_EQ(server->messages().size(), 2U);
    // The summary and the report follow as after a complete run.
    EXPECT_EQ(dialogos.cuadros().back(),
              aviso("Proceso concluido\r\n2 enviados.\r\n0 no enviados."));
    EXPECT_EQ(visor.filas.size(), 2U);
}

TEST_F(MandarAvisosTest, AnUnusableWorkDatabaseEndsTheRunWithItsErrorAndNoSummary) {
    build(tresClientes(), "OK");
    std::filesystem::remove(folder / "temporal.mdb");
    std::filesystem::create_directory(folder / "temporal.mdb");
    const ResultadoAvisos r = run();
    EXPECT_TRUE(r.salidaPorError);
    const auto boxes = dialogos.cuadros();
    ASSERT_EQ(boxes.size(), 2U);
    EXPECT_EQ(boxes[1].titulo, "Aviso");
    EXPECT_EQ(boxes[1].icono, Icono::Informacion);
    EXPECT_TRUE(boxes[1].texto.starts_with("3051 ")) << boxes[1].texto;
    EXPECT_TRUE(server->messages().empty());
    EXPECT_TRUE(visor.solicitudes.empty());
    EXPECT_EQ(observador.punteros.back(), false);
}

} // namespace
} // namespace envio::masivo
