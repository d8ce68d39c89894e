#include "report/TablaTrabajo.h"

#include "TemporaryFolder.h"
#include "database/BaseDatos.h"
#include "report/TablaInforme.h"

#include <gtest/gtest.h>

namespace envio {
namespace {

using test::TemporaryFolder;

class TablaTrabajoTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
    CarpetaPrograma carpeta{folder.path()};

    std::vector<std::string> columns() {
        return BaseDatos::abrir(carpeta.baseTrabajo())
            ->abrirRegistros("SELECT * FROM INFORMETMP2008")
            .tabla()
            .columnas;
    }
};

TEST_F(TablaTrabajoTest, TheFirstStartCreatesTheDatabaseAndTheTableInItsOrder) {
    const ResultadoPreparacion r = prepararBaseTrabajo(carpeta);
    EXPECT_EQ(r.baseDatos, folder / "temporal.mdb");
    EXPECT_FALSE(r.ajeno);
    std::vector<std::string> expected = {"Id"};
    for (int n = 1; n <= 40; ++n) {
        expected.push_back("CAMPO" + std::to_string(n));
    }
    EXPECT_EQ(columns(), expected);

    auto db = BaseDatos::abrir(r.baseDatos);
    db->agregarRegistro("INFORMETMP2008", {{"CAMPO1", Valor::texto("uno")}});
    db->agregarRegistro("informetmp2008", {{"CAMPO1", Valor::texto("dos")}});
    Registros rows = db->abrirRegistros("SELECT * FROM INFORMETMP2008 ORDER BY Id");
    ASSERT_EQ(rows.cantidad(), 2U);
    EXPECT_EQ(rows.campo("Id").comoNumero(), 1.0);
    EXPECT_TRUE(rows.campo("CAMPO4").esNulo());
    rows.siguiente();
    EXPECT_EQ(rows.campo("id").comoNumero(), 2.0);
    EXPECT_EQ(rows.campo("campo1").comoTexto(), "dos");

    db->ejecutar("DELETE * FROM INFORMETMP2008");
    EXPECT_TRUE(db->abrirRegistros("SELECT * FROM INFORMETMP2008").vacio());
}

TEST_F(TablaTrabajoTest, AnExistingDatabaseAndTableAreUsedAsTheyAre) {
    {
        auto db = BaseDatos::crear(folder / "TEMPORAL.MDB");
        db->crearTabla({"Otra", {{"x", DefinicionCampo::Tipo::Texto, 10}}});
        db->agregarRegistro("Otra", {{"x", Valor::texto("sigue")}});
    }
    EXPECT_EQ(prepararBaseTrabajo(carpeta).baseDatos, folder / "TEMPORAL.MDB");
    auto db = BaseDatos::abrir(folder / "TEMPORAL.MDB");
    EXPECT_EQ(db->tablas(),
              (std::vector<std::string>{"Otra", "INFORMETMP2008", "sqlite_sequence"}));
    db->agregarRegistro("INFORMETMP2008", {{"CAMPO2", Valor::texto("de la última ejecución")}});

    prepararBaseTrabajo(carpeta);
    EXPECT_EQ(BaseDatos::abrir(folder / "TEMPORAL.MDB")
                  ->abrirRegistros("SELECT CAMPO2 FROM INFORMETMP2008")
                  .cantidad(),
              1U);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(TablaTrabajoTest, ATableOfThatNameWithAnotherLayoutIsLeftAlone) {
    BaseDatos::crear(folder / "temporal.mdb")
        ->crearTabla({"INFORMETMP2008", {{"Solo", DefinicionCampo::Tipo::Texto, 5}}});
    prepararBaseTrabajo(carpeta);
    EXPECT_EQ(columns(), (std::vector<std::string>{"Solo"}));
    EXPECT_TRUE(ExisteTabla(folder / "temporal.mdb", "INFORMETMP2008"));
    EXPECT_FALSE(ExisteTabla(folder / "temporal.mdb", "informetmp2008"));
}

// A temporal.mdb that is not ours (damaged, empty, or the Windows program's Access file, see
// the sending run's test) is never moved or written: the table lives in our own file instead.
TEST_F(TablaTrabajoTest, ATemporalMdbNotOursIsLeftAsItIsAndOurOwnFileHoldsTheTable) {
    for (const std::string_view notOurs : {"no es una base de datos", ""}) {
        folder.write("Temporal.mdb", notOurs);
        const ResultadoPreparacion r = prepararBaseTrabajo(carpeta);
        EXPECT_EQ(r.baseDatos, folder / "envio-informe.db");
        EXPECT_EQ(r.ajeno, folder / "Temporal.mdb");
        EXPECT_EQ(carpeta.baseTrabajo(), r.baseDatos);
        EXPECT_EQ(folder.read("Temporal.mdb"), notOurs);
        EXPECT_EQ(columns().size(), 41U);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              2);
}

TEST_F(TablaTrabajoTest, AFolderWhereNothingCanBeCreatedIsAnError) {
    const CarpetaPrograma missing(folder / "no-existe");
    EXPECT_THROW(prepararBaseTrabajo(missing), ErrorBaseDatos);
}

// A run's rows go in by batches: none may be lost or written twice at a batch's edge, whether the
// report asks for them or the run just ends.
TEST_F(TablaTrabajoTest, ARunsRowsReachTheTableOnceAndInOrderAcrossBatches) {
    const auto base = prepararBaseTrabajo(carpeta).baseDatos;
    const auto campo1 = [&] {
        std::vector<std::string> out;
        Registros r =
            BaseDatos::abrir(base)->abrirRegistros("SELECT * FROM INFORMETMP2008 ORDER BY Id");
        for (r.primero(); !r.fin(); r.siguiente()) {
            out.push_back(r.campo("CAMPO1").comoTexto());
        }
        return out;
    };
    const auto numeros = [](std::size_t n) {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < n; ++i) {
            out.push_back(std::to_string(i));
        }
        return out;
    };
    const std::size_t total = 2 * TablaInforme::kLote + 3;
    {
        TablaInforme tabla(base);
        for (std::size_t i = 0; i < total; ++i) {
            tabla.agregar(std::to_string(i), "", "");
        }
        tabla.guardar();
        EXPECT_EQ(campo1(), numeros(total));
        EXPECT_EQ(tabla.filas(), static_cast<int>(total));
    }
    EXPECT_EQ(campo1(), numeros(total));
    {
        TablaInforme tabla(base); // a new run empties it; what it holds at its end is written
        tabla.agregar("0", "", "");
    }
    EXPECT_EQ(campo1(), numeros(1));
}

TEST(AcortarCampoTest, CutsAtOneHundredCharactersNotBytes) {
    EXPECT_EQ(acortarCampo("corto"), "corto");
    std::string hundredTwenty;
    for (int i = 0; i < 120; ++i) {
        hundredTwenty += "ñ";
    }
    std::string hundred;
    for (int i = 0; i < 100; ++i) {
        hundred += "ñ";
    }
    EXPECT_EQ(acortarCampo(hundredTwenty), hundred);
    EXPECT_EQ(acortarCampo(hundred), hundred);
}

} // namespace
} // namespace envio
