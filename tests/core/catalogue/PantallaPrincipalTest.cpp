// The main window's events without the window: what a tab, a header, a tick or a selection
// command does to the list and its labels, which events read the folder and the tables again, and
// how a suite whose tables cannot be read is told.
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
    bool open(const std::filesystem::path&, std::string_view,
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
        // Two invoices this March, one in February, one in March 2025.
        d.documentos = {{"000123_20260315_000045.pdf", "2026", 2048},
                        {"000007_20260301_000047.pdf", "2026", 2048},
                        {"000123_20260210_000040.pdf", "2026", 2048},
                        {"000007_20250305_000030.pdf", "2025", 2048}};
        suite = suitegen::generarSuite(carpeta.path(), d);
        auto contexto = iniciarContexto(CarpetaPrograma(carpeta.path()), dialogos,
                                        test::RelojFijo({2026, 3, 20}));
        ASSERT_TRUE(contexto);
        pantalla = std::make_unique<PantallaPrincipal>(std::move(*contexto), dialogos, shell);
        pantalla->iniciar();
        ASSERT_EQ(pantalla->lista().cantidad(), 2U);
    }

    [[nodiscard]] std::vector<std::string> columna(std::size_t subitem) const {
        std::vector<std::string> out;
        for (const auto& f : pantalla->lista().filas()) {
            out.push_back(f.subitems.at(subitem));
        }
        return out;
    }

    // The suite's database turns into something no engine can read, with a new time.
    void estropearBaseDatos() const {
        const auto time = std::filesystem::last_write_time(suite.baseDatos);
        TemporaryFolder::writePath(suite.baseDatos, "esto no es una base de datos");
        std::filesystem::last_write_time(suite.baseDatos, time + std::chrono::seconds(10));
    }
};

TEST_F(PantallaPrincipalTest, AYearOrMonthTabEmptiesTheSearchAndTypingNarrowsThePeriod) {
    pantalla->cambiarBusqueda("acme");
    EXPECT_EQ(pantalla->lista().cantidad(), 1U);
    pantalla->elegirMes(2);
    EXPECT_EQ(pantalla->seleccion().busqueda, "");
    EXPECT_EQ(pantalla->lista().cantidad(), 1U); // February, unfiltered
    pantalla->cambiarBusqueda("zz");
    EXPECT_EQ(pantalla->lista().cantidad(), 0U);
    pantalla->elegirAnio(1);
    EXPECT_EQ(pantalla->seleccion().anio, "2025");
    EXPECT_EQ(pantalla->seleccion().busqueda, "");
    pantalla->elegirMes(3);
    EXPECT_EQ(columna(2), std::vector<std::string>{"000030"});
    pantalla->cambiarBusqueda("zz");
    pantalla->elegirMes(3); // the tab already shown starts afresh too
    EXPECT_EQ(pantalla->lista().cantidad(), 1U);
    pantalla->elegirAnio(0);
    pantalla->elegirMes(kMesTodos);
    EXPECT_EQ(pantalla->lista().cantidad(), 3U);
    EXPECT_EQ(pantalla->etiquetas().cuenta, "Nº de documentos:  3");
}

TEST_F(PantallaPrincipalTest, InvoiceDatesSortByTheDayNotByTheirText) {
    pantalla->elegirMes(kMesTodos);
    EXPECT_EQ(pantalla->cabeceraOrdenada(), -1);
    pantalla->clicEnCabecera(2);
    EXPECT_EQ(columna(1), (std::vector<std::string>{"10/02/2026", "01/03/2026", "15/03/2026"}));
    EXPECT_EQ(pantalla->cabeceraOrdenada(), 2); // the date's header shows the order
    pantalla->clicEnCabecera(2);
    EXPECT_EQ(columna(1), (std::vector<std::string>{"15/03/2026", "01/03/2026", "10/02/2026"}));
    pantalla->clicEnCabecera(3);
    EXPECT_EQ(columna(2), (std::vector<std::string>{"000040", "000045", "000047"}));
}

TEST_F(PantallaPrincipalTest, TheCounterSpeaksAsTheListWasTouchedAndARefillClearsTheTicks) {
    EXPECT_EQ(pantalla->ejecutar(Accion::SeleccionarTodo), Efecto::FilasCambiadas);
    EXPECT_EQ(pantalla->etiquetas().seleccionados, "documentos selecionados: 2");
    pantalla->lista().fila(0).marcada = false;
    pantalla->teclaEnLista();
    EXPECT_EQ(pantalla->etiquetas().seleccionados, "Facturas seleccionadas: 1");
    pantalla->clicEnLista();
    EXPECT_EQ(pantalla->etiquetas().seleccionados, "documentos selecionados: 1");
    pantalla->elegirMes(3);
    EXPECT_FALSE(pantalla->lista().fila(0).marcada || pantalla->lista().fila(1).marcada);
    EXPECT_EQ(pantalla->etiquetas().seleccionados, "Documentos seleccionadas: 0");
}

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
