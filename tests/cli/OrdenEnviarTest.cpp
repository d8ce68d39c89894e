// --enviar end to end: a generated suite, the real mail component and the local test mail server.
#include "cli/OrdenEnviar.h"

#include "DoblesEnvio.h"
#include "GeneradorSuite.h"
#include "RelojFijo.h"
#include "TemporaryFolder.h"
#include "TestMailServer.h"
#include "database/BaseDatos.h"
#include "ledger/RegistroEnvios.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

namespace envio::cli {
namespace {

using test::TemporaryFolder;

TEST(OpcionesEnviar, NeedASelectionModeAndReadTheirOwnOptions) {
    const Opciones o = analizarLineaDeOrdenes({"--enviar", "--seleccion", "email", "--reenviar",
                                               "--informe", "/tmp/i.pdf", "--mes", "todos"});
    EXPECT_EQ(o.orden, Orden::Enviar);
    EXPECT_EQ(o.seleccion, "email");
    EXPECT_TRUE(o.reenviar);
    EXPECT_EQ(o.informe, std::filesystem::path("/tmp/i.pdf"));
    EXPECT_EQ(o.mes, 13);
    EXPECT_FALSE(analizarLineaDeOrdenes({"--enviar", "--seleccion", "todo"}).reenviar);
    EXPECT_THROW(analizarLineaDeOrdenes({"--enviar"}), ErrorDeOpciones);
    EXPECT_THROW(analizarLineaDeOrdenes({"--enviar", "--seleccion", "TODO"}), ErrorDeOpciones);
    EXPECT_THROW(analizarLineaDeOrdenes({"--enviar", "--seleccion", "nada"}), ErrorDeOpciones);
    EXPECT_THROW(analizarLineaDeOrdenes({"--enviar", "--seleccion", "todo", "--mes", "13"}),
                 ErrorDeOpciones);
}

const std::string kAcme = "000001_20260301_000001";
const std::string kPena = "000002_20260302_000002";
const std::string kNunez = "000003_20260303_000003";
const std::string kFebrero = "000001_20260215_000004";

// The question names the documents it is about.
const std::string kPregunta = "Aviso: En la selección actual tiene mensajes que ya fueron "
                              "enviados.  - " +
                              kNunez +
                              ".ENVIADO.PDF: ya marcado como enviado  ¿Confirma que desea "
                              "reenviarlos?";

// The review that --enviar prints first: Peña's invoice has no address, Núñez's went out.
const std::string kRevision = "Revisar antes de enviar:\n";
const std::string kSinDireccion = kPena + ".pdf\t00002 PEÑA\tsin dirección de correo\tbloquea\n";
const std::string kYaEnviada = kNunez + ".ENVIADO.PDF\t00003 NÚÑEZ\tya enviado o posiblemente "
                                        "enviado: ya marcado como enviado\taviso\n";

// Acme has an address and a pending invoice, Peña has no address, Núñez's invoice went out
// before; Acme also has an invoice of February.
suitegen::DescripcionSuite tresClientes() {
    suitegen::DescripcionSuite d;
    d.clientes = {{1, "Acme", "ORO", false, {{"E", "acme@ejemplo.es", 0}}},
                  {2, "Peña", "ORO", false, {}},
                  {3, "Núñez", "ORO", false, {{"E", "nunez@ejemplo.es", 0}}}};
    d.documentos = {{kAcme + ".pdf", "2026", 3000},
                    {kPena + ".pdf", "2026", 3000},
                    {kNunez + ".ENVIADO.PDF", "2026", 3000},
                    {kFebrero + ".pdf", "2026", 3000}};
    return d;
}

class OrdenEnviarTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
    std::unique_ptr<test::TestMailServer> server;
    std::filesystem::path documentos;
    std::ostringstream salida;
    std::ostringstream errores;
    std::vector<SolicitudInforme> informes;
    std::vector<std::filesystem::path> pdfsPedidos;

    void build(suitegen::DescripcionSuite d, const test::MailServerOptions& options = {}) {
        test::MailServerOptions o = options;
        o.user = "envios";
        o.password = "clave";
        server = std::make_unique<test::TestMailServer>(o);
        suitegen::ServidorCorreo correo;
        correo.puerto = server->plainPort();
        correo.usuario = o.user;
        correo.password = o.password;
        correo.cuenta = "facturacion@ejemplo.es";
        correo.asunto = "Su factura de marzo";
        correo.mensaje = "Le enviamos su documento.";
        d.correo = correo;
        documentos = suitegen::generarSuite(folder.path(), d).carpetaDocumentos / "2026";
    }

    // One run of the command, in May: March has to be asked for.
    int run(std::vector<std::string> argumentos) {
        salida.str("");
        errores.str("");
        for (const char* periodo : {"--anio", "2026", "--mes", "3"}) {
            argumentos.emplace_back(periodo);
        }
        const CreadorInformePdf crear = [this](const CarpetaPrograma& carpeta,
                                               const std::filesystem::path& pdf) {
            EXPECT_EQ(carpeta.ruta(), folder.path());
            pdfsPedidos.push_back(pdf);
            return std::make_unique<test::VisorEnLista>(informes);
        };
        return ordenEnviar(analizarLineaDeOrdenes(argumentos), CarpetaPrograma(folder.path()),
                           test::RelojFijo({2026, 5, 20}), crear, salida, errores, false);
    }

    std::vector<std::string> destinatarios() const {
        std::vector<std::string> out;
        for (const auto& m : server->messages()) {
            out.insert(out.end(), m.recipients.begin(), m.recipients.end());
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    std::set<std::string> archivos() const {
        std::set<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(documentos)) {
            out.insert(e.path().filename().string());
        }
        return out;
    }

    std::string lineaInforme() const {
        return "Envio de facturas — Asunto: Su factura de marzo (tabla INFORMETMP2008 de " +
               (folder / "temporal.mdb").string() + ")\n";
    }
};

TEST_F(OrdenEnviarTest, PendingSendsThePendingDocumentsOnceAndCountsTheOneWithoutAddress) {
    build(tresClientes());
    EXPECT_EQ(run({"--enviar", "--seleccion", "pendiente"}), 1);
    EXPECT_EQ(destinatarios(), std::vector<std::string>{"acme@ejemplo.es"});
    EXPECT_EQ(salida.str(), lineaInforme() + "Enviados: 1; no enviados: 1\n");
    // A client without an address gets no box, only the review's line and the red row.
    EXPECT_EQ(errores.str(), kRevision + kSinDireccion);
    EXPECT_EQ(archivos(), (std::set<std::string>{kAcme + ".ENVIADO.PDF", kPena + ".pdf",
                                                 kNunez + ".ENVIADO.PDF", kFebrero + ".pdf"}));
    EXPECT_TRUE(pdfsPedidos.empty());

    // The same month again: the sent invoice is no longer pending and is not mailed again.
    EXPECT_EQ(run({"--enviar", "--seleccion", "pendiente"}), 1);
    EXPECT_EQ(server->messages().size(), 1U);
    EXPECT_EQ(salida.str(), "Enviados: 0; no enviados: 1\n");
    EXPECT_EQ(errores.str(), kRevision + kSinDireccion);
}

TEST_F(OrdenEnviarTest, EmailAsksBeforeResendingAndOnlyReenviarAnswersYes) {
    build(tresClientes());
    EXPECT_EQ(run({"--enviar", "--seleccion", "email"}), 1);
    EXPECT_TRUE(server->messages().empty());
    EXPECT_EQ(errores.str(), kRevision + kYaEnviada + kPregunta + " [No]\n");
    EXPECT_EQ(salida.str(), "Enviados: 0; no enviados: 2\n");
    EXPECT_TRUE(std::filesystem::exists(documentos / (kAcme + ".pdf")));

    EXPECT_EQ(run({"--enviar", "--seleccion", "email", "--reenviar"}), 0) << errores.str();
    EXPECT_EQ(destinatarios(), (std::vector<std::string>{"acme@ejemplo.es", "nunez@ejemplo.es"}));
    EXPECT_EQ(errores.str(), kRevision + kYaEnviada + kPregunta + " [Sí]\n");
    EXPECT_EQ(salida.str(), lineaInforme() + "Enviados: 2; no enviados: 0\n");
    // The resent invoice keeps its one sent name.
    EXPECT_EQ(archivos(), (std::set<std::string>{kAcme + ".ENVIADO.PDF", kPena + ".pdf",
                                                 kNunez + ".ENVIADO.PDF", kFebrero + ".pdf"}));
}

TEST_F(OrdenEnviarTest, TodoChecksEveryDocumentOfTheMonthOnly) {
    build(tresClientes());
    EXPECT_EQ(run({"--enviar", "--seleccion", "todo", "--reenviar"}), 1);
    EXPECT_EQ(destinatarios(), (std::vector<std::string>{"acme@ejemplo.es", "nunez@ejemplo.es"}));
    EXPECT_EQ(errores.str(), kRevision + kSinDireccion + kYaEnviada + kPregunta + " [Sí]\n");
    EXPECT_EQ(salida.str(), lineaInforme() + "Enviados: 2; no enviados: 1\n");
    EXPECT_TRUE(std::filesystem::exists(documentos / (kFebrero + ".pdf")));
}

TEST_F(OrdenEnviarTest, ARefusedRecipientShowsBothBoxesAndKeepsTheDocumentPending) {
    test::MailServerOptions o;
    o.rejectRecipients = "^acme@";
    build(tresClientes(), o);
    EXPECT_EQ(run({"--enviar", "--seleccion", "pendiente", "--filtro", "acme"}), 1);
    EXPECT_TRUE(server->messages().empty());
    EXPECT_EQ(errores.str(),
              "-2147220927: El servidor rechazó la dirección del destinatario acme@ejemplo.es: "
              "550 5.1.1 <acme@ejemplo.es>: Recipient address rejected\n"
              "Aviso: El programa no pudo procesar el mensaje para acme@ejemplo.es  El mensaje no "
              "será enviado\n");
    EXPECT_EQ(salida.str(), "Enviados: 0; no enviados: 1\n");
    EXPECT_TRUE(std::filesystem::exists(documentos / (kAcme + ".pdf")));
    // A refused attempt is no earlier send: the next run does not ask.
    EXPECT_EQ(run({"--enviar", "--seleccion", "pendiente", "--filtro", "acme"}), 1);
    EXPECT_EQ(errores.str().find("¿Confirma"), std::string::npos) << errores.str();
}

TEST_F(OrdenEnviarTest, TheReportGoesToTheFileThatInformeNames) {
    build(tresClientes());
    const auto pdf = folder / "salida" / "informe.pdf";
    EXPECT_EQ(run({"--enviar", "--seleccion", "pendiente", "--filtro", "acme", "--informe",
                   pdf.string()}),
              0)
        << errores.str();
    EXPECT_EQ(pdfsPedidos, std::vector<std::filesystem::path>{pdf});
    ASSERT_EQ(informes.size(), 1U);
    EXPECT_EQ(informes[0].TituloInforme, "Envio de facturas");
    EXPECT_EQ(informes[0].DetalleInforme, "Asunto: Su factura de marzo");
    EXPECT_EQ(informes[0].BaseDatosInforme, folder / "temporal.mdb");
    EXPECT_EQ(salida.str(), "Enviados: 1; no enviados: 0\n"); // no report line on the console
}

TEST_F(OrdenEnviarTest, WithoutASuiteNothingStartsAndTheStatusIsTwo) {
    EXPECT_EQ(run({"--enviar", "--seleccion", "todo"}), 2);
    EXPECT_EQ(errores.str(), "Aviso: No se ha podido localizar la aplicación de origen\n"
                             "Aviso: Ruta de la BBDD no configurada\n");
    EXPECT_EQ(salida.str(), "");
}

TEST_F(OrdenEnviarTest, ATypeTheSuiteDoesNotHaveEndsWithTwo) {
    build(tresClientes());
    EXPECT_EQ(run({"--enviar", "--seleccion", "todo", "--tipo", "NOMINAS"}), 2);
    EXPECT_EQ(errores.str(), "Tipo de documento desconocido: NOMINAS\n");
    EXPECT_EQ(salida.str(), "");
    EXPECT_EQ(server->connectionCount(), 0U);
}

TEST_F(OrdenEnviarTest, TheRunsErrorExitIsTwoEvenWhenTheDocumentWentOut) {
    build(tresClientes());
    // A work table that cannot take a row: the run ends right after the send.
    BaseDatos::crear(folder / "temporal.mdb")
        ->crearTabla({"INFORMETMP2008", {{"Id", DefinicionCampo::Tipo::EnteroAutonumerico, 0}}});
    EXPECT_EQ(run({"--enviar", "--seleccion", "pendiente", "--filtro", "acme"}), 2);
    EXPECT_EQ(destinatarios(), std::vector<std::string>{"acme@ejemplo.es"});
    EXPECT_EQ(salida.str(), "Enviados: 1; no enviados: 0\n");
    const std::string lineas = errores.str();
    EXPECT_TRUE(lineas.starts_with("Aviso: 3051 ")) << lineas;
    EXPECT_EQ(std::count(lineas.begin(), lineas.end(), '\n'), 1) << lineas;
    // What went out has its sent name all the same, and the ledger knows it: the next start
    // has nothing to finish.
    EXPECT_TRUE(std::filesystem::exists(documentos / (kAcme + ".ENVIADO.PDF")));
    EXPECT_TRUE(RegistroEnvios(RegistroEnvios::archivoEn(folder.path())).sinRenombrar().empty());
}

TEST_F(OrdenEnviarTest, ALedgerThatCannotBeOpenedEndsWithTwoBeforeAnySend) {
    build(tresClientes());
    std::filesystem::create_directory(folder / "registro-envios.db");
    EXPECT_EQ(run({"--enviar", "--seleccion", "pendiente"}), 2);
    EXPECT_TRUE(server->messages().empty());
    EXPECT_TRUE(std::filesystem::exists(documentos / (kAcme + ".pdf")));
    EXPECT_NE(errores.str().find("registro de envíos"), std::string::npos) << errores.str();
}

// A connection lost after the data of the second message, on the connection the first one
// kept open: the server has it, the program cannot know. That document waits for a person; an
// unattended run sends the others and names it; nobody gets a second copy unasked.
TEST_F(OrdenEnviarTest, AMessageCutOffAfterItsDataIsLeftForAPersonAndTheRestGoOn) {
    suitegen::DescripcionSuite d;
    d.clientes = {{1, "Acme", "ORO", false, {{"E", "acme@ejemplo.es", 0}}},
                  {2, "Peña", "ORO", false, {{"E", "pena@ejemplo.es", 0}}},
                  {3, "Núñez", "ORO", false, {{"E", "nunez@ejemplo.es", 0}}}};
    d.documentos = {{kAcme + ".pdf", "2026", 3000}, {kPena + ".pdf", "2026", 3000}};
    test::MailServerOptions o;
    o.script = {test::ScriptedMessage::accept(),
                test::ScriptedMessage::drop(test::ScriptedMessage::Point::AfterDot)};
    build(d, o);
    EXPECT_EQ(run({"--enviar", "--seleccion", "pendiente"}), 1);
    ASSERT_EQ(server->messages().size(), 2U);
    EXPECT_FALSE(server->messages()[1].acknowledged);
    EXPECT_EQ(archivos(), (std::set<std::string>{kAcme + ".ENVIADO.PDF", kPena + ".pdf"}));

    // A third document arrives. A person is asked about Peña's, by name, and says No.
    std::filesystem::copy_file(documentos / (kAcme + ".ENVIADO.PDF"),
                               documentos / (kNunez + ".pdf"));
    EXPECT_EQ(run({"--enviar", "--seleccion", "pendiente"}), 1);
    EXPECT_NE(errores.str().find("- " + kPena + ".pdf: envío interrumpido"), std::string::npos)
        << errores.str();
    EXPECT_EQ(server->messages().size(), 2U);

    // The scheduled run sends Núñez's and leaves Peña's, saying so.
    EXPECT_EQ(run({"--enviar", "--seleccion", "pendiente", "--omitir-dudosos"}), 1);
    EXPECT_EQ(errores.str().find("¿Confirma"), std::string::npos) << errores.str();
    EXPECT_NE(errores.str().find("Posiblemente enviado, no se ha reenviado: " + kPena + ".pdf"),
              std::string::npos)
        << errores.str();
    EXPECT_EQ(destinatarios(),
              (std::vector<std::string>{"acme@ejemplo.es", "nunez@ejemplo.es", "pena@ejemplo.es"}));
    EXPECT_TRUE(std::filesystem::exists(documentos / (kPena + ".pdf")));
}

} // namespace
} // namespace envio::cli
