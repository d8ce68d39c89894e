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

} // namespace
} // namespace envio::cli
