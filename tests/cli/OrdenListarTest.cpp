// --listar from the outside: the program itself, run on generated suites with Access and SQLite
// databases, prints the rows the main window would show, with their texts, in the window's order.
#include "cli/OrdenListar.h"

#include "GeneradorSuite.h"
#include "RelojFijo.h"
#include "TemporaryFolder.h"
#include "settings/IniFile.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>

namespace envio::cli {
namespace {

using suitegen::Formato;
using test::TemporaryFolder;

struct Resultado {
    int estado = -1;
    std::string salida;
    std::string errores;
};

std::string entreComillas(const std::string& texto) {
    std::string out = "'";
    for (const char c : texto) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

// Runs the program as a user would, standard output and errors apart.
Resultado ejecutar(const std::vector<std::string>& argumentos, const TemporaryFolder& carpeta) {
    std::string orden = entreComillas(ENVIO_PROGRAMA);
    for (const auto& a : argumentos) {
        orden += " " + entreComillas(a);
    }
    const auto errores = carpeta / "errores.txt";
    orden += " 2>" + entreComillas(errores.string());
    Resultado r;
    FILE* tubo = ::popen(orden.c_str(), "r");
    if (tubo == nullptr) {
        return r;
    }
    std::array<char, 4096> trozo{};
    while (const std::size_t n = std::fread(trozo.data(), 1, trozo.size(), tubo)) {
        r.salida.append(trozo.data(), n);
    }
    const int estado = ::pclose(tubo);
    r.estado = WIFEXITED(estado) ? WEXITSTATUS(estado) : -1;
    r.errores = TemporaryFolder::readPath(errores);
    return r;
}

std::string linea(const std::string& estado, const std::vector<std::string>& columnas,
                  const std::filesystem::path& ruta) {
    std::string out = estado;
    for (const auto& c : columnas) {
        out += "\t" + c;
    }
    return out + "\t" + ruta.string() + "\n";
}

suitegen::DescripcionSuite facturas() {
    suitegen::DescripcionSuite d;
    d.clientes = {{123, "Acme", "ORO", false, {{"E", "acme@ejemplo.es", 0}}},
                  {7,
                   "Peña Ibáñez",
                   std::nullopt,
                   false,
                   {{"E", "primera@ejemplo.es", 0},
                    {"E", "segunda@ejemplo.es", 1},
                    {"E", "tercera@ejemplo.es", 1}}},
                  {9, "Sin correo", "x", false, {}}};
    d.documentos = {{"000123_20260315_000045.pdf", "2026", 2048},
                    {"000123_20260315_000046.ENVIADO.PDF", "2026", 1536},
                    {"000007_20260301_000047.pdf", "2026", 1000},
                    {"000009_20260303_000049.pdf", "2026", 2048},
                    {"000999_20260301_000001.pdf", "2026", 2048}, // nobody's
                    {"000123_20260215_000040.pdf", "2026", 2048}};
    return d;
}

suitegen::DescripcionSuite nominas() {
    suitegen::DescripcionSuite d;
    d.nomina = true;
    d.empleados = {{42, "Pérez"}, {7, "O'Neill"}};
    d.alternativas = {{"12345678Z", "perez@ejemplo.es", "Pérez"}};
    d.documentos = {{"0000042_26031M_12345678Z.PDF", "NOMINAS", 1536},
                    {"0000007_26032P_1234'678Y.pdf", "NOMINAS", 100},
                    {"0000042_26031M_12345678Z.PDF", "CERTIFICADOS", 2048}};
    return d;
}

class OrdenListarTest : public ::testing::TestWithParam<Formato> {
protected:
    TemporaryFolder carpeta;

    suitegen::SuiteGenerada generar(suitegen::DescripcionSuite d) {
        d.formato = GetParam();
        return suitegen::generarSuite(carpeta.path(), d);
    }
    Resultado listar(std::vector<std::string> argumentos) {
        argumentos.insert(argumentos.begin(), {"--carpeta", carpeta.path().string(), "--listar"});
        return ejecutar(argumentos, carpeta);
    }
};

TEST_P(OrdenListarTest, TheInvoicesOfAMonthWithTheirTextsInTheWindowsOrder) {
    const auto suite = generar(facturas());
    const auto docs = suite.carpetaDocumentos / "2026";
    const Resultado r = listar({"--anio", "2026", "--mes", "3"});
    EXPECT_EQ(r.estado, 0) << r.errores;
    EXPECT_EQ(r.errores, "");
    EXPECT_EQ(
        r.salida,
        linea("pendiente",
              {"00007 PEÑA IBÁÑEZ", "segunda@ejemplo.es", "01/03/2026", "000047", " .9765625 KB",
               "20260301"},
              docs / "000007_20260301_000047.pdf") +
            linea("pendiente",
                  {"00009 SIN CORREO", "", "03/03/2026", "000049", " 2 KB", "20260303"},
                  docs / "000009_20260303_000049.pdf") +
            linea("pendiente",
                  {"00123 ACME", "acme@ejemplo.es", "15/03/2026", "000045", " 2 KB", "20260315"},
                  docs / "000123_20260315_000045.pdf") +
            linea("enviado",
                  {"00123 ACME", "acme@ejemplo.es", "15/03/2026", "000046", " 1.5 KB", "20260315"},
                  docs / "000123_20260315_000046.ENVIADO.PDF"));

    // Every month, the search text, the folder given without its option.
    const Resultado todos = listar({"--anio", "2026", "--mes", "todos"});
    EXPECT_EQ(std::count(todos.salida.begin(), todos.salida.end(), '\n'), 5);
    EXPECT_NE(todos.salida.find("000123_20260215_000040.pdf"), std::string::npos);
    const Resultado filtrado = listar({"--anio", "2026", "--mes", "3", "--filtro", " 1,5 kb"});
    EXPECT_EQ(filtrado.salida, linea("enviado",
                                     {"00123 ACME", "acme@ejemplo.es", "15/03/2026", "000046",
                                      " 1.5 KB", "20260315"},
                                     docs / "000123_20260315_000046.ENVIADO.PDF"));
    const Resultado posicional =
        ejecutar({carpeta.path().string(), "--listar", "--anio", "2026", "--mes", "3"}, carpeta);
    EXPECT_EQ(posicional.salida, r.salida);
    EXPECT_EQ(listar({"--anio", "2025", "--mes", "3"}).salida, "");
}

TEST_P(OrdenListarTest, PayrollDocumentsByTypeWithTheAlternativeAddress) {
    const auto suite = generar(nominas());
    const Resultado r = listar({"--anio", "2026", "--mes", "3", "--tipo", "NOMINAS"});
    EXPECT_EQ(r.estado, 0) << r.errores;
    EXPECT_EQ(r.salida,
              linea("pendiente", {"0000007 O'NEILL", "", "2603", "Pagas", " 0 KB", ""},
                    suite.carpetaDocumentos / "NOMINAS" / "0000007_26032P_1234'678Y.pdf") +
                  linea("pendiente",
                        {"0000042 PÉREZ", "perez@ejemplo.es", "2603", "Mensualidad", " 1 KB", ""},
                        suite.carpetaDocumentos / "NOMINAS" / "0000042_26031M_12345678Z.PDF"));
    const Resultado certificados =
        listar({"--anio", "2026", "--mes", "3", "--tipo", "CERTIFICADOS"});
    EXPECT_EQ(certificados.salida,
              linea("pendiente",
                    {"0000042 PÉREZ", "perez@ejemplo.es", "2603", "Mensualidad", " 2 KB", ""},
                    suite.carpetaDocumentos / "CERTIFICADOS" / "0000042_26031M_12345678Z.PDF"));

    const Resultado otroModo = listar({"--tipo", "FACTURAS"});
    EXPECT_EQ(otroModo.estado, 2);
    EXPECT_EQ(otroModo.salida, "");
    EXPECT_NE(otroModo.errores.find("Tipo de documento desconocido: FACTURAS"), std::string::npos)
        << otroModo.errores;
}

INSTANTIATE_TEST_SUITE_P(Formatos, OrdenListarTest,
                         ::testing::Values(Formato::Jet, Formato::Sqlite), [](const auto& info) {
                             return info.param == Formato::Jet ? "Jet" : "Sqlite";
                         });

TEST(OrdenListarSinSuiteTest, AFolderWithoutTheSuiteSaysWhyOnTheErrorStreamAndExitsWithTwo) {
    TemporaryFolder carpeta;
    const Resultado r = ejecutar({"--carpeta", carpeta.path().string(), "--listar"}, carpeta);
    EXPECT_EQ(r.estado, 2);
    EXPECT_EQ(r.salida, "");
    EXPECT_NE(r.errores.find("No se ha podido localizar la aplicación de origen"),
              std::string::npos)
        << r.errores;
    EXPECT_NE(r.errores.find("Ruta de la BBDD no configurada"), std::string::npos) << r.errores;
}

// A suite copied from Windows keeps its D: paths; with no mapping given the program finds the
// drive above its folder and says so aside from the list.
TEST(OrdenListarSinSuiteTest, WindowsPathsListWithTheInferredDriveNamedOnTheErrorStream) {
    TemporaryFolder carpeta;
    const auto programa = carpeta / "GESTION";
    const auto suite = suitegen::generarSuite(programa, facturas());
    EscribirIni(programa / "KRN.INI", "Facturación", "BaseDatos",
                "D:\\GESTION\\DATOS\\GESTION.MDB");
    // No per-user mapping file of the machine running the tests may count.
    ::setenv("XDG_CONFIG_HOME", carpeta.path().c_str(), 1);
    const Resultado r = ejecutar(
        {"--carpeta", programa.string(), "--listar", "--anio", "2026", "--mes", "3"}, carpeta);
    EXPECT_EQ(r.estado, 0) << r.errores;
    EXPECT_EQ(r.errores, "Unidad D: → " + carpeta.path().string() + " (deducida)\n");
    EXPECT_EQ(std::count(r.salida.begin(), r.salida.end(), '\n'), 4) << r.salida;
    EXPECT_NE(
        r.salida.find((suite.carpetaDocumentos / "2026" / "000123_20260315_000045.pdf").string()),
        std::string::npos)
        << r.salida;
}

// Without --anio and --mes the list is the one the window opens on: this year and this month.
TEST(OrdenListarSinSuiteTest, TheDefaultPeriodIsTodaysMonthAndTheFirstType) {
    TemporaryFolder carpeta;
    suitegen::generarSuite(carpeta.path(), facturas());
    const auto listarEl = [&](Fecha hoy) {
        std::ostringstream salida;
        std::ostringstream errores;
        const int estado =
            ordenListar(analizarLineaDeOrdenes({"--listar"}), CarpetaPrograma(carpeta.path()),
                        test::RelojFijo(hoy), salida, errores);
        EXPECT_EQ(estado, 0) << errores.str();
        return salida.str();
    };
    const std::string marzo = listarEl({2026, 3, 20});
    EXPECT_EQ(std::count(marzo.begin(), marzo.end(), '\n'), 4);
    const std::string febrero = listarEl({2026, 2, 1});
    EXPECT_EQ(std::count(febrero.begin(), febrero.end(), '\n'), 1);
    EXPECT_NE(febrero.find("000123_20260215_000040.pdf"), std::string::npos);
    EXPECT_EQ(listarEl({2027, 3, 1}), "");
}

} // namespace
} // namespace envio::cli
