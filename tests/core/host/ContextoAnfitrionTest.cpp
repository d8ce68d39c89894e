#include "host/ContextoAnfitrion.h"

#include "DialogosGrabados.h"
#include "GeneradorSuite.h"
#include "RelojFijo.h"
#include "TemporaryFolder.h"
#include "catalogue/Catalogo.h"
#include "settings/IniFile.h"

#include <gtest/gtest.h>

namespace envio {
namespace {

using test::DialogosGrabados;
using test::RelojFijo;
using test::TemporaryFolder;

class ContextoAnfitrionTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
    DialogosGrabados dialogos;
    RelojFijo reloj{{2026, 3, 17}};

    std::optional<ContextoAnfitrion> start() {
        return iniciarContexto(CarpetaPrograma(folder.path()), dialogos, reloj);
    }
};

TEST_F(ContextoAnfitrionTest, InvoiceModeFromAWindowsPathInAnotherCase) {
    suitegen::DescripcionSuite d;
    d.clientes = {{123, "Acme", "ORO", false, {}}};
    const auto suite = suitegen::generarSuite(folder.path(), d);
    const auto c = start();
    ASSERT_TRUE(c);
    EXPECT_TRUE(dialogos.cuadros().empty());
    EXPECT_EQ(c->modo, Modo::Facturas);
    EXPECT_EQ(c->rutaBaseDatos, suite.baseDatos);
    EXPECT_EQ(c->rutaDocumentos, suite.carpetaDocumentos);
    EXPECT_EQ(c->tipos, std::vector<std::string>{"FACTURAS"});
    EXPECT_EQ(c->anios, (std::array<std::string, 5>{"2026", "2025", "2024", "2023", "2022"}));
    EXPECT_EQ(c->mesActual, 3);
    EXPECT_FALSE(c->dbAlternativa);
    EXPECT_TRUE(std::filesystem::exists(folder / "temporal.mdb"));
    EXPECT_EQ(c->correo().puerto, 25);
}

TEST_F(ContextoAnfitrionTest, ADatabaseNamedWithoutAFolderIsInTheProgramFolderWithItsDocuments) {
    suitegen::DescripcionSuite d;
    d.clientes = {{123, "Acme", "ORO", false, {}}};
    const auto suite = suitegen::generarSuite(folder.path(), d);
    std::filesystem::copy_file(suite.baseDatos, folder / "GESTION.MDB");
    EscribirIni(folder / "KRN.INI", "Facturación", "BaseDatos", "gestion.mdb");
    const auto c = start();
    ASSERT_TRUE(c);
    EXPECT_EQ(c->rutaBaseDatos, folder / "GESTION.MDB");
    EXPECT_EQ(c->rutaDocumentos, folder / "FacturasPorEmail");
}

TEST_F(ContextoAnfitrionTest, PayrollModeWithItsSixTypesAndTheAlternativeSource) {
    suitegen::DescripcionSuite d;
    d.nomina = true;
    d.formato = suitegen::Formato::Sqlite;
    d.empleados = {{42, "Pérez"}};
    d.alternativas = {{"12345678Z", "perez@ejemplo.es", "Pérez"}};
    const auto suite = suitegen::generarSuite(folder.path(), d);
    const auto c = start();
    ASSERT_TRUE(c);
    EXPECT_EQ(c->modo, Modo::Nomina);
    EXPECT_EQ(c->rutaDocumentos, suite.carpetaDocumentos);
    EXPECT_EQ(c->rutaBaseDatos, suite.baseDatos);
    EXPECT_EQ(c->tipos, (std::vector<std::string>{"NOMINAS", "CERTIFICADOS", "FINIQUITOS",
                                                  "CONTRATOS", "COSTOS", "MODELO145"}));
    ASSERT_TRUE(c->dbAlternativa);
    EXPECT_EQ(c->alternativo.tablaOrigen, "EMAILS");
    EXPECT_EQ(c->alternativo.emailCampo, "EMAIL");
}

TEST_F(ContextoAnfitrionTest, BlankRutaficherosIsInvoiceModeAndAMissingSourceIsNotReported) {
    suitegen::DescripcionSuite d;
    suitegen::generarSuite(folder.path(), d);
    EscribirIni(folder / "KRN.INI", "clsempleado", "rutaficheros", "   ");
    EscribirIni(folder / "KRN.INI", "EMAIL_ALTERNATIVO", "BASE_ORIGEN", "\\no\\existe.mdb");
    EscribirIni(folder / "KRN.INI", "EMAIL_ALTERNATIVO", "TABLA_ORIGEN", "X");
    const auto c = start();
    ASSERT_TRUE(c);
    EXPECT_EQ(c->modo, Modo::Facturas);
    EXPECT_FALSE(c->dbAlternativa);
    EXPECT_EQ(c->alternativo.tablaOrigen, "");
    EXPECT_TRUE(dialogos.cuadros().empty());
}

TEST_F(ContextoAnfitrionTest, NoSuiteGivesBothMessagesAndEnds) {
    EXPECT_FALSE(start());
    const CuadroMensaje origen{"No se ha podido localizar la aplicación de origen", "Aviso",
                               Icono::Informacion, Botones::Aceptar};
    const CuadroMensaje ruta{"Ruta de la BBDD no configurada", "Aviso", Icono::Informacion,
                             Botones::Aceptar};
    EXPECT_EQ(dialogos.cuadros(), (std::vector<CuadroMensaje>{origen, ruta}));
    EXPECT_FALSE(std::filesystem::exists(folder / "temporal.mdb"));
}

TEST_F(ContextoAnfitrionTest, AMissingOrDamagedDatabaseEndsWithAPlainMessage) {
    EscribirIni(folder / "KRN.INI", "Facturación", "BaseDatos", "?");
    EXPECT_FALSE(start());
    EXPECT_EQ(dialogos.textos(), std::vector<std::string>{"Ruta de la BBDD no configurada"});

    const auto damaged = folder.write("datos/gestion.mdb", "no es una base de datos");
    EscribirIni(folder / "KRN.INI", "Facturación", "BaseDatos", damaged.string());
    EXPECT_FALSE(start());
    ASSERT_EQ(dialogos.cuadros().size(), 2U);
    EXPECT_EQ(dialogos.cuadros()[1].icono, Icono::Critico);
    EXPECT_NE(dialogos.cuadros()[1].texto.find(damaged.string()), std::string::npos);
}

// A suite copied from Windows: its paths name drive D:, which is the folder above the program's.
TEST_F(ContextoAnfitrionTest, AWindowsSuiteStartsWithTheDriveInferredFromItsDatabase) {
    suitegen::DescripcionSuite d;
    d.formato = suitegen::Formato::Sqlite;
    d.clientes = {{123, "Acme", "ORO", false, {}}};
    const auto programa = folder / "raiz" / "GESTION";
    const auto suite = suitegen::generarSuite(programa, d);
    const auto krn = programa / "KRN.INI";
    EscribirIni(krn, "Facturación", "BaseDatos", "D:\\GESTION\\DATOS\\GESTION.MDB");
    // Missing, but on the suite's own drive: simply absent, as any missing alternative source.
    EscribirIni(krn, "EMAIL_ALTERNATIVO", "BASE_ORIGEN", "d:\\gestion\\datos\\falta.mdb");
    const auto c = iniciarContexto(CarpetaPrograma(programa), dialogos, reloj);
    ASSERT_TRUE(c);
    EXPECT_TRUE(dialogos.cuadros().empty()) << dialogos.textos().front();
    EXPECT_EQ(c->rutaBaseDatos, suite.baseDatos);
    EXPECT_EQ(c->rutaDocumentos, suite.carpetaDocumentos);
    EXPECT_EQ(c->rutas.usadas(),
              (std::vector<Unidad>{{"D:", folder / "raiz", OrigenUnidad::Deducida, {}}}));
}

TEST_F(ContextoAnfitrionTest, AnUnmappableDatabaseEndsWithABoxThatSaysHowToMapIt) {
    EscribirIni(folder / "KRN.INI", "Facturación", "BaseDatos", "D:\\NADA\\EMPRESA.MDB");
    MapaUnidades mapa;
    leerArchivoUnidades(mapa, folder.write("unidades", "D=/mnt\n"));
    EXPECT_FALSE(iniciarContexto(CarpetaPrograma(folder.path(), mapa), dialogos, reloj));
    const auto cuadros = dialogos.cuadros();
    ASSERT_EQ(cuadros.size(), 2U);
    EXPECT_EQ(cuadros[0].icono, Icono::Exclamacion);
    EXPECT_NE(cuadros[0].texto.find(":1: D=/mnt"), std::string::npos) << cuadros[0].texto;
    EXPECT_EQ(
        cuadros[1].texto,
        "Ruta de la BBDD no configurada\n" +
            explicarRutaSinUnidad({"D:\\NADA\\EMPRESA.MDB", "D:", "NADA\\EMPRESA.MDB", {}}, mapa));
    EXPECT_NE(cuadros[1].texto.find((folder / "unidades").string()), std::string::npos);
    EXPECT_EQ(cuadros[1].titulo, "Aviso");

    // Mapped, but to a folder without the file: the box names the mapping that led there.
    MapaUnidades equivocada;
    equivocada.anadir(leerUnidad("D:=" + folder.path().string(), OrigenUnidad::Orden));
    EXPECT_FALSE(iniciarContexto(CarpetaPrograma(folder.path(), equivocada), dialogos, reloj));
    EXPECT_EQ(dialogos.textos().back(),
              "Ruta de la BBDD no configurada\nNo hay ningún archivo en " +
                  (folder / "NADA" / "EMPRESA.MDB").string() + " (unidad D: → " +
                  folder.path().string() + " (--unidad)).");
}

TEST_F(ContextoAnfitrionTest, AnUnmappableAlternativeDatabaseIsToldAndTheStartGoesOn) {
    suitegen::DescripcionSuite d;
    d.formato = suitegen::Formato::Sqlite;
    suitegen::generarSuite(folder.path(), d);
    EscribirIni(folder / "KRN.INI", "EMAIL_ALTERNATIVO", "BASE_ORIGEN", "E:\\DIRECCIONES\\ALT.MDB");
    const auto c = start();
    ASSERT_TRUE(c);
    EXPECT_FALSE(c->dbAlternativa);
    const auto cuadros = dialogos.cuadros();
    ASSERT_EQ(cuadros.size(), 1U);
    const auto& cuadro = cuadros[0];
    EXPECT_EQ(cuadro.icono, Icono::Exclamacion);
    EXPECT_TRUE(cuadro.texto.starts_with(
        "No se usa la base de datos de direcciones alternativas (BASE_ORIGEN).\nLa ruta "
        "E:\\DIRECCIONES\\ALT.MDB de KRN.INI"))
        << cuadro.texto;
}

// An alternative source that is there but unusable is told once, naming the file and the
// reason, and the payroll list fills without its addresses instead of emptying.
TEST_F(ContextoAnfitrionTest, AnUnreadableAlternativeSourceIsToldOnceAndTheListStillFills) {
    suitegen::DescripcionSuite d;
    d.nomina = true;
    d.empleados = {{42, "Pérez"}};
    d.alternativas = {{"12345678Z", "perez@ejemplo.es", "Pérez"}};
    d.documentos = {{"0000042_26031M_12345678Z.PDF", "NOMINAS", 2048}};
    const auto suite = suitegen::generarSuite(folder.path(), d);
    ASSERT_TRUE(suite.baseAlternativa);
    const auto krn = folder / "KRN.INI";
    const auto startsAndLists = [&](const std::vector<std::string>& motivo) {
        DialogosGrabados grabados;
        const auto c = iniciarContexto(CarpetaPrograma(folder.path()), grabados, reloj);
        ASSERT_TRUE(c);
        EXPECT_FALSE(c->dbAlternativa);
        ASSERT_EQ(grabados.cuadros().size(), 1U);
        const CuadroMensaje cuadro = grabados.cuadros()[0];
        EXPECT_EQ(cuadro.icono, Icono::Exclamacion);
        for (const auto& parte : motivo) {
            EXPECT_NE(cuadro.texto.find(parte), std::string::npos) << cuadro.texto;
        }
        ListaVista lista;
        Catalogo(*c).ActualizarLista({"NOMINAS", "2026", 3, ""}, lista);
        ASSERT_EQ(lista.cantidad(), 1U);
        EXPECT_EQ(lista.fila(0).subitems[0], "");
    };

    EscribirIni(krn, "EMAIL_ALTERNATIVO", "EMAIL_CAMPO", "CORREO");
    EscribirIni(krn, "EMAIL_ALTERNATIVO", "NOMBRE_CAMPO", "APELLIDOS");
    startsAndLists({suite.baseAlternativa->string(), "\"CORREO\" (EMAIL_CAMPO)",
                    "\"APELLIDOS\" (NOMBRE_CAMPO)"});

    EscribirIni(krn, "EMAIL_ALTERNATIVO", "TABLA_ORIGEN", "DIRECCIONES");
    startsAndLists({suite.baseAlternativa->string(), "\"DIRECCIONES\" (TABLA_ORIGEN)"});

    TemporaryFolder::writePath(*suite.baseAlternativa, "no es una base de datos");
    startsAndLists({suite.baseAlternativa->string()});
}

} // namespace
} // namespace envio
