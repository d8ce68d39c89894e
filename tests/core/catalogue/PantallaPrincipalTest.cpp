// The main window's events without the window: which ones read the folder and the tables again,
// and how a suite whose tables cannot be read is told.
#include "catalogue/PantallaPrincipal.h"

#include "DialogosGrabados.h"
#include "GeneradorSuite.h"
#include "RelojFijo.h"
#include "TemporaryFolder.h"

#include <gtest/gtest.h>

namespace envio {
namespace {

using test::TemporaryFolder;

class ShellNulo : public Shell {
public:
    bool abrir(const std::filesystem::path&, std::string_view,
               const std::filesystem::path&) override {
        return true;
    }
};

class PantallaPrincipalTest : public ::testing::Test {
protected:
    TemporaryFolder carpeta;
    test::DialogosGrabados dialogos;
    ShellNulo shell;
    suitegen::SuiteGenerada suite;
    std::unique_ptr<PantallaPrincipal> pantalla;

    void SetUp() override {
        suitegen::DescripcionSuite d;
        d.clientes = {{123, "Acme", "ORO", false, {{"E", "acme@ejemplo.es", 0}}},
                      {7, "Peña", "ORO", false, {{"E", "pena@ejemplo.es", 0}}}};
        d.documentos = {{"000123_20260315_000045.pdf", "2026", 2048},
                        {"000007_20260301_000047.pdf", "2026", 2048}};
        suite = suitegen::generarSuite(carpeta.path(), d);
        auto contexto = iniciarContexto(CarpetaPrograma(carpeta.path()), dialogos,
                                        test::RelojFijo({2026, 3, 20}));
        ASSERT_TRUE(contexto);
        pantalla = std::make_unique<PantallaPrincipal>(std::move(*contexto), dialogos, shell);
        pantalla->iniciar();
        ASSERT_EQ(pantalla->lista().cantidad(), 2U);
    }

    // The suite's database turns into something no engine can read, with a new time.
    void estropearBaseDatos() const {
        const auto time = std::filesystem::last_write_time(suite.baseDatos);
        TemporaryFolder::writePath(suite.baseDatos, "esto no es una base de datos");
        std::filesystem::last_write_time(suite.baseDatos, time + std::chrono::seconds(10));
    }
};

TEST_F(PantallaPrincipalTest, UnreadableTablesAreToldOnceAndNotAtEveryKeystroke) {
    estropearBaseDatos();
    pantalla->elegirMes(3);
    EXPECT_EQ(pantalla->lista().cantidad(), 0U);
    EXPECT_EQ(pantalla->etiquetas().cuenta, "Nº de documentos:  0");
    ASSERT_EQ(dialogos.cuadros().size(), 1U);
    EXPECT_TRUE(dialogos.cuadros()[0].texto.starts_with("No se pudo leer la lista de documentos: "))
        << dialogos.cuadros()[0].texto;
    EXPECT_EQ(dialogos.cuadros()[0].icono, Icono::Critico);

    pantalla->cambiarBusqueda("a");
    pantalla->cambiarBusqueda("ac");
    EXPECT_EQ(dialogos.cuadros().size(), 1U);
    EXPECT_EQ(pantalla->seleccion().busqueda, "ac"); // kept for the next fill

    pantalla->elegirMes(3); // a tab reads again, and tells again
    EXPECT_EQ(dialogos.cuadros().size(), 2U);
}

TEST_F(PantallaPrincipalTest, AReadableSuiteAgainFillsOnTheNextTabAndTypingFiltersAgain) {
    const std::string bueno = TemporaryFolder::readPath(suite.baseDatos);
    const auto time = std::filesystem::last_write_time(suite.baseDatos);
    estropearBaseDatos();
    pantalla->elegirMes(3);
    ASSERT_EQ(dialogos.cuadros().size(), 1U);

    TemporaryFolder::writePath(suite.baseDatos, bueno);
    std::filesystem::last_write_time(suite.baseDatos, time + std::chrono::seconds(20));
    pantalla->elegirMes(3);
    EXPECT_EQ(pantalla->lista().cantidad(), 2U);
    pantalla->cambiarBusqueda("acme");
    EXPECT_EQ(pantalla->lista().cantidad(), 1U);
    EXPECT_EQ(dialogos.cuadros().size(), 1U);
}

} // namespace
} // namespace envio
