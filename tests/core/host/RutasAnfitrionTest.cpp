// Paths of KRN.INI written on Windows, on this machine: every form of path through each way of
// knowing where a drive or share is mounted.
#include "host/RutasAnfitrion.h"

#include "TemporaryFolder.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace envio {
namespace {

using test::TemporaryFolder;

// The suite's share seen twice: `raiz`, the folder above the program folder, and `montada`, a
// copy elsewhere that the user's mappings name. Inference can only find `raiz`.
class RutasAnfitrionTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
    std::filesystem::path raiz = folder / "raiz";
    std::filesystem::path programa = raiz / "GESTION";
    std::filesystem::path montada = folder / "montada";

    void SetUp() override {
        folder.write("raiz/GESTION/DATOS/EMPRESA.MDB", "mdb");
        folder.write("montada/GESTION/DATOS/EMPRESA.MDB", "mdb");
        folder.write("raiz/GESTION/KRN.INI", "");
    }

    MapaUnidades mapaEnArchivo(std::string_view lineas) {
        MapaUnidades mapa;
        leerArchivoUnidades(mapa, folder.write("unidades", lineas));
        return mapa;
    }
};

struct Forma {
    const char* texto;
    const char* bajoLaUnidad; // the expected path below the drive's folder; null when not on it
    const char* bajoElPrograma;
};

// Resolved one after another by one resolver, as the start-up does: the last row names a file not
// there yet on a drive already known.
constexpr Forma kFormas[] = {
    {"D:\\GESTION\\DATOS\\EMPRESA.MDB", "GESTION/DATOS/EMPRESA.MDB", nullptr},
    {"d:/gestion/datos/empresa.mdb", "GESTION/DATOS/EMPRESA.MDB", nullptr},
    {"d:\\Gestion/Datos\\Empresa.mdb", "GESTION/DATOS/EMPRESA.MDB", nullptr},
    {"\\\\SERVIDOR\\Gestion\\gestion\\datos\\EMPRESA.MDB", "GESTION/DATOS/EMPRESA.MDB", nullptr},
    {"datos\\empresa.mdb", nullptr, "DATOS/EMPRESA.MDB"},
    {"krn.ini", nullptr, "KRN.INI"},
    {"D:\\GESTION\\Nueva\\FacturasPorEmail", "GESTION/Nueva/FacturasPorEmail", nullptr},
};

void comprobarFormas(RutasAnfitrion& rutas, const std::filesystem::path& unidad,
                     const std::filesystem::path& programa) {
    for (const auto& forma : kFormas) {
        const auto esperada =
            forma.bajoLaUnidad ? unidad / forma.bajoLaUnidad : programa / forma.bajoElPrograma;
        EXPECT_EQ(rutas.resolver(forma.texto), esperada) << forma.texto;
        EXPECT_EQ(rutas.sinUnidad(forma.texto), nullptr) << forma.texto;
    }
}

TEST_F(RutasAnfitrionTest, EveryFormThroughTheCommandLineTheMachinesFileAndInference) {
    MapaUnidades orden;
    orden.anadir(leerUnidad("d:=" + montada.string(), OrigenUnidad::Orden));
    orden.anadir(leerUnidad("//servidor/GESTION=" + montada.string() + "/", OrigenUnidad::Orden));
    RutasAnfitrion porOrden(CarpetaPrograma(programa, orden));
    comprobarFormas(porOrden, montada, programa);
    EXPECT_EQ(porOrden.usadas(),
              (std::vector<Unidad>{{"D:", montada, OrigenUnidad::Orden, {}},
                                   {"\\\\servidor\\GESTION", montada, OrigenUnidad::Orden, {}}}));

    const auto archivo =
        mapaEnArchivo("# unidades de este equipo\r\n\r\n  D: = " + montada.string() +
                      "\t\r\n\\\\Servidor\\gestion=" + montada.string() + "\n");
    RutasAnfitrion porArchivo(CarpetaPrograma(programa, archivo));
    comprobarFormas(porArchivo, montada, programa);
    ASSERT_EQ(porArchivo.usadas().size(), 2U);
    EXPECT_EQ(describirUnidad(porArchivo.usadas()[0]),
              "D: → " + montada.string() + " (" + (folder / "unidades").string() + ")");
    EXPECT_TRUE(archivo.errores.empty());

    RutasAnfitrion deducidas(CarpetaPrograma{programa});
    comprobarFormas(deducidas, raiz, programa);
    ASSERT_EQ(deducidas.usadas().size(), 2U);
    EXPECT_EQ(describirUnidad(deducidas.usadas()[0]), "D: → " + raiz.string() + " (deducida)");
}

TEST_F(RutasAnfitrionTest, LinuxPathsAndPathsFromTheRootAreNeverMapped) {
    MapaUnidades mapa;
    mapa.anadir(leerUnidad("D:=/nunca", OrigenUnidad::Orden));
    RutasAnfitrion rutas(CarpetaPrograma(programa, mapa));
    const std::string linux = raiz.string() + "/gestion/datos/empresa.mdb";
    EXPECT_EQ(rutas.resolver(linux), raiz / "GESTION/DATOS/EMPRESA.MDB");
    std::string desdeLaRaiz = linux;
    std::replace(desdeLaRaiz.begin(), desdeLaRaiz.end(), '/', '\\');
    EXPECT_EQ(rutas.resolver(desdeLaRaiz), raiz / "GESTION/DATOS/EMPRESA.MDB");
    EXPECT_TRUE(rutas.usadas().empty());
}

TEST_F(RutasAnfitrionTest, TheCommandLineCountsBeforeTheFileAndTheFileBeforeInference) {
    MapaUnidades mapa;
    mapa.anadir(leerUnidad("D:=" + montada.string(), OrigenUnidad::Orden));
    leerArchivoUnidades(mapa, folder.write("unidades", "d:=/otra\ne:=" + montada.string()));
    RutasAnfitrion rutas(CarpetaPrograma(programa, mapa));
    EXPECT_EQ(rutas.resolver("D:\\GESTION"), montada / "GESTION");
    EXPECT_EQ(rutas.resolver("E:\\GESTION"), montada / "GESTION");
    EXPECT_EQ(rutas.usadas()[1].origen, OrigenUnidad::Archivo);
}

// Only the whole tail after the drive counts: a shorter tail would find a wrong folder.
TEST_F(RutasAnfitrionTest, InferenceNeedsTheTailUnderExactlyOneFolderAbove) {
    RutasAnfitrion ninguna(CarpetaPrograma{programa});
    const std::string otra = "D:\\OTRA\\DATOS\\EMPRESA.MDB";
    EXPECT_EQ(ninguna.resolver(otra), std::filesystem::path(otra));
    ASSERT_NE(ninguna.sinUnidad(otra), nullptr);
    EXPECT_TRUE(ninguna.sinUnidad(otra)->candidatas.empty());
    EXPECT_TRUE(ninguna.usadas().empty());

    folder.write("raiz/GESTION/GESTION/DATOS/EMPRESA.MDB", "mdb");
    RutasAnfitrion dos(CarpetaPrograma{programa});
    const std::string texto = "\\\\servidor\\recurso\\gestion\\datos\\empresa.mdb";
    EXPECT_EQ(dos.resolver(texto), std::filesystem::path(texto));
    ASSERT_NE(dos.sinUnidad(texto), nullptr);
    EXPECT_EQ(dos.sinUnidad(texto)->candidatas,
              (std::vector<std::filesystem::path>{programa, raiz}));
    // Nothing was learnt from the failure: a later path with a unique tail still infers.
    EXPECT_EQ(dos.resolver("\\\\SERVIDOR\\RECURSO\\DATOS\\EMPRESA.MDB"),
              programa / "DATOS/EMPRESA.MDB");
}

TEST_F(RutasAnfitrionTest, TheExplanationNamesThePathTheReasonAndHowToMapIt) {
    MapaUnidades mapa;
    mapa.archivos = {"/home/ana/.config/envio-documentos/unidades",
                     "/etc/envio-documentos/unidades"};
    const RutaSinUnidad sinUnidad{"d:\\otra\\x.mdb", "D:", "otra\\x.mdb", {}};
    EXPECT_EQ(explicarRutaSinUnidad(sinUnidad, mapa),
              "La ruta d:\\otra\\x.mdb de KRN.INI es de Windows y no se sabe en qué carpeta de "
              "este equipo está la unidad D:: otra\\x.mdb no está en la carpeta del programa ni "
              "en ninguna de las que la contienen.\nIndique su carpeta con la opción "
              "--unidad 'D:=/carpeta/montada' o con la línea D:=/carpeta/montada en el archivo "
              "/home/ana/.config/envio-documentos/unidades o /etc/envio-documentos/unidades.");
    const RutaSinUnidad dos{"\\\\s\\r\\x.mdb", "\\\\s\\r", "x.mdb", {"/a", "/b"}};
    const std::string texto = explicarRutaSinUnidad(dos, mapa);
    EXPECT_NE(texto.find("el recurso de red \\\\s\\r: x.mdb está en varias carpetas: /a /b."),
              std::string::npos)
        << texto;
}

TEST_F(RutasAnfitrionTest, BadMappingsAreRefusedWithTheReason) {
    for (const char* texto :
         {"D:", "D:\\GESTION=/mnt", "GESTION=/mnt", "\\\\servidor=/mnt", "D:=mnt/gestion", "D:="}) {
        EXPECT_THROW(leerUnidad(texto, OrigenUnidad::Orden), std::invalid_argument) << texto;
    }
    const auto mapa = mapaEnArchivo("D:=/mnt/a\nX=/mnt\nd:=/mnt/b\n");
    EXPECT_EQ(mapa.unidades().size(), 1U);
    EXPECT_EQ(mapa.unidades()[0].destino, "/mnt/a");
    ASSERT_EQ(mapa.errores.size(), 1U);
    EXPECT_TRUE(mapa.errores[0].starts_with((folder / "unidades").string() + ":2: X=/mnt ("))
        << mapa.errores[0];

    MapaUnidades sinArchivo;
    leerArchivoUnidades(sinArchivo, folder / "no-existe");
    EXPECT_TRUE(sinArchivo.unidades().empty());
    EXPECT_EQ(sinArchivo.archivos, std::vector<std::filesystem::path>{folder / "no-existe"});
}

TEST(ArchivosDeUnidadesTest, TheUsersFileFirstThenTheMachines) {
    const std::filesystem::path etc = "/etc/envio-documentos/unidades";
    EXPECT_EQ(archivosDeUnidades("/xdg", "/home/ana"),
              (std::vector<std::filesystem::path>{"/xdg/envio-documentos/unidades", etc}));
    EXPECT_EQ(
        archivosDeUnidades(nullptr, "/home/ana"),
        (std::vector<std::filesystem::path>{"/home/ana/.config/envio-documentos/unidades", etc}));
    EXPECT_EQ(archivosDeUnidades("relativa", nullptr), std::vector<std::filesystem::path>{etc});
}

} // namespace
} // namespace envio
