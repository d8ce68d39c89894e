// --avisos end to end: a generated suite, its stored notice and the local test mail server.
#include "cli/OrdenAvisos.h"

#include "DoblesEnvio.h"
#include "GeneradorSuite.h"
#include "RelojFijo.h"
#include "TemporaryFolder.h"
#include "TestMailServer.h"
#include "mass/PlantillaAviso.h"

#include <gtest/gtest.h>
#include <sstream>

namespace envio::cli {
namespace {

using test::TemporaryFolder;

TEST(OpcionesAvisos, TakeAGroupOrTheWholeListAndNothingElse) {
    const Opciones o = analizarLineaDeOrdenes({"--avisos", "--grupo", " 12"});
    EXPECT_EQ(o.orden, Orden::Avisos);
    EXPECT_EQ(o.grupo, " 12");
    EXPECT_EQ(analizarLineaDeOrdenes({"--avisos", "--seleccion", "todo"}).seleccion, "todo");
    EXPECT_THROW(analizarLineaDeOrdenes({"--avisos"}), ErrorDeOpciones);
    EXPECT_THROW(analizarLineaDeOrdenes({"--avisos", "--seleccion", "email"}), ErrorDeOpciones);
    EXPECT_THROW(analizarLineaDeOrdenes({"--avisos", "--grupo"}), ErrorDeOpciones);
    EXPECT_NE(textoAyuda().find("--avisos [--grupo TEXTO] [--seleccion todo]"), std::string::npos);
}

class OrdenAvisosTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
    test::TestMailServer server;
    std::ostringstream salida;
    std::ostringstream errores;
    std::vector<SolicitudInforme> informes;
    std::filesystem::path pdfPedido;

    void build(suitegen::DescripcionSuite d) {
        suitegen::ServidorCorreo correo;
        correo.puerto = server.plainPort();
        correo.cuenta = "oficina@ejemplo.es";
        d.correo = correo;
        suitegen::generarSuite(folder.path(), d);
        ConfiguracionCorreo recargada;
        masivo::GuardaDatos(folder / "KRN.INI",
                            {"Horario de verano", "Línea uno\r\nLínea dos", false}, recargada);
    }

    int run(const std::vector<std::string>& argumentos) {
        const CreadorInformePdf crear = [this](const CarpetaPrograma&,
                                               const std::filesystem::path& pdf) {
            pdfPedido = pdf;
            return std::make_unique<test::VisorEnLista>(informes);
        };
        return ordenAvisos(analizarLineaDeOrdenes(argumentos), CarpetaPrograma(folder.path()),
                           test::RelojFijo({2026, 3, 20}), crear, salida, errores);
    }
};

suitegen::DescripcionSuite clientes() {
    suitegen::DescripcionSuite d;
    d.clientes = {suitegen::clienteConCorreo(1, "Acme", "ORO", "acme@ejemplo.es"),
                  suitegen::clienteConCorreo(2, "Bodegas", "PLATA", "bodegas@ejemplo.es"),
                  suitegen::clienteConCorreo(3, "Núñez", "ORO2", "nunez@ejemplo.es")};
    return d;
}

TEST_F(OrdenAvisosTest, TheGroupChoosesTheRecipientsAndTheStoredNoticeGoesOut) {
    build(clientes());
    EXPECT_EQ(run({"--avisos", "--grupo", "ORO", "--informe", (folder / "informe.pdf").string()}),
              0)
        << errores.str();
    const auto messages = server.messages();
    ASSERT_EQ(messages.size(), 2U);
    EXPECT_EQ(messages[0].recipients, std::vector<std::string>{"acme@ejemplo.es"});
    EXPECT_EQ(messages[1].recipients, std::vector<std::string>{"nunez@ejemplo.es"});
    EXPECT_NE(messages[0].raw.find("Subject: Horario de verano"), std::string::npos);
    EXPECT_NE(messages[0].raw.find("nea uno"), std::string::npos);
    EXPECT_EQ(salida.str(), "Enviados: 2; no enviados: 0\n");
    EXPECT_EQ(errores.str(),
              "Envío masivo de correos electrónicos: Va a enviar un correo electrónico a todos los "
              "clientes seleccionados. El correo incluirá el asunto y mensaje que haya indicado en "
              "la pestaña 'Mensaje de aviso' ¿Confirma la acción? [Sí]\n"
              "Aviso: Proceso concluido  2 enviados.  0 no enviados.\n");
    ASSERT_EQ(informes.size(), 1U);
    EXPECT_EQ(informes[0].TituloInforme, "Comunicaciones masivas");
    EXPECT_EQ(informes[0].DetalleInforme, "Asunto: Horario de verano");
    EXPECT_EQ(pdfPedido, folder / "informe.pdf");
}

TEST_F(OrdenAvisosTest, ARowThatIsNotSentMakesTheExitStatusOne) {
    auto d = clientes();
    d.clientes[0].telefonos[0].numero = "sin-arroba";
    build(d);
    EXPECT_EQ(run({"--avisos", "--seleccion", "todo"}), 1);
    EXPECT_EQ(server.messages().size(), 2U);
    EXPECT_NE(errores.str().find("Aviso: El correo del destinatario 00001 Acme es incorrecto.\n"),
              std::string::npos);
    EXPECT_NE(salida.str().find("Enviados: 2; no enviados: 1\n"), std::string::npos)
        << salida.str();
}

TEST_F(OrdenAvisosTest, InPayrollModeTheWholeAlternativeTableIsTheChoice) {
    suitegen::DescripcionSuite d;
    d.nomina = true;
    d.empleados = {{42, "Pérez"}};
    d.alternativas = {{"12345678Z", "perez@ejemplo.es", "Pérez"}};
    build(d);
    EXPECT_EQ(run({"--avisos", "--grupo", "1"}), 2);
    EXPECT_NE(errores.str().find("--grupo"), std::string::npos);
    EXPECT_TRUE(server.messages().empty());
    EXPECT_EQ(run({"--avisos", "--seleccion", "todo"}), 0) << errores.str();
    ASSERT_EQ(server.messages().size(), 1U);
    EXPECT_EQ(server.messages()[0].recipients, std::vector<std::string>{"perez@ejemplo.es"});
}

TEST_F(OrdenAvisosTest, ALedgerThatCannotBeOpenedStopsEverythingWithTwo) {
    build(clientes());
    std::filesystem::create_directory(folder / "registro-envios.db");
    EXPECT_EQ(run({"--avisos", "--seleccion", "todo"}), 2);
    EXPECT_TRUE(server.messages().empty());
}

} // namespace
} // namespace envio::cli
