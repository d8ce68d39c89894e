#include "cli/LineaDeOrdenes.h"

#include <gtest/gtest.h>

namespace envio::cli {
namespace {

TEST(LineaDeOrdenesTest, ReadsTheFolderAndTheCommands) {
    EXPECT_EQ(analizarLineaDeOrdenes({}).orden, Orden::Ventana);
    EXPECT_EQ(analizarLineaDeOrdenes({"--version"}).orden, Orden::Version);
    const Opciones o = analizarLineaDeOrdenes({"--carpeta", "/srv/suite", "--help"});
    EXPECT_EQ(o.orden, Orden::Ayuda);
    EXPECT_EQ(o.carpeta, std::filesystem::path("/srv/suite"));
    EXPECT_EQ(analizarLineaDeOrdenes({"--carpeta=/x"}).carpeta, std::filesystem::path("/x"));
    EXPECT_EQ(analizarLineaDeOrdenes({"/srv/suite"}).carpeta, std::filesystem::path("/srv/suite"));
    EXPECT_THROW(analizarLineaDeOrdenes({"/a", "/b"}), ErrorDeOpciones);
}

TEST(LineaDeOrdenesTest, MistakesAreReportedInSpanish) {
    EXPECT_THROW(analizarLineaDeOrdenes({"--carpeta"}), ErrorDeOpciones);
    try {
        analizarLineaDeOrdenes({"--nada"});
        FAIL();
    } catch (const ErrorDeOpciones& e) {
        EXPECT_STREQ(e.what(), "Opción desconocida: --nada (envio-documentos --help muestra las "
                               "opciones)");
    }
}

TEST(LineaDeOrdenesTest, DrivesAndSharesForTheWindowsPaths) {
    const Opciones o = analizarLineaDeOrdenes(
        {"--unidad", "d:=/mnt/gestion", "--unidad=\\\\Servidor\\Recurso=/mnt/recurso", "--listar"});
    EXPECT_EQ(
        o.unidades.unidades(),
        (std::vector<Unidad>{{"D:", "/mnt/gestion", OrigenUnidad::Orden, {}},
                             {"\\\\Servidor\\Recurso", "/mnt/recurso", OrigenUnidad::Orden, {}}}));
    const auto error = [](std::vector<std::string> argumentos) {
        try {
            analizarLineaDeOrdenes(argumentos);
        } catch (const ErrorDeOpciones& e) {
            return std::string(e.what());
        }
        return std::string("sin error");
    };
    EXPECT_EQ(error({"--unidad", "D:/mnt/gestion"}),
              "Valor no válido para --unidad: D:/mnt/gestion (se espera UNIDAD=CARPETA, por "
              "ejemplo D:=/mnt/gestion)");
    EXPECT_EQ(error({"--unidad", "D:=gestion"}),
              "Valor no válido para --unidad: D:=gestion (después del signo = va una carpeta "
              "absoluta de este equipo)");
    EXPECT_EQ(error({"--unidad", "DD:=/mnt"}),
              "Valor no válido para --unidad: DD:=/mnt (antes del signo = va una unidad (D:) o un "
              "recurso de red (\\\\servidor\\recurso))");
    EXPECT_EQ(error({"--unidad", "D:=/a", "--unidad", "d:=/b"}),
              "La unidad D: se indica más de una vez con --unidad");
    EXPECT_EQ(error({"--unidad"}), "Falta el valor de --unidad");
}

} // namespace
} // namespace envio::cli
