#include "catalogue/Catalogo.h"

#include "DialogosGrabados.h"
#include "GeneradorSuite.h"
#include "RelojFijo.h"
#include "TemporaryFolder.h"

#include <gtest/gtest.h>

namespace envio {
namespace {

using suitegen::Formato;
using test::TemporaryFolder;

std::vector<std::vector<std::string>> rowsOf(const ListaVista& lista) {
    std::vector<std::vector<std::string>> out;
    for (const auto& f : lista.filas()) {
        out.push_back({f.texto, f.subitems[0], f.subitems[1], f.subitems[2], f.subitems[3],
                       f.subitems[4], std::to_string(f.icono)});
    }
    return out;
}

TEST(EstaEnviadoTest, TheSentMarkerInAnyCaseAtTheEndOnly) {
    EXPECT_TRUE(estaEnviado("000123_20260315_000046.ENVIADO.PDF"));
    EXPECT_TRUE(estaEnviado("000123_20260315_000046.enviado.pdf"));
    EXPECT_TRUE(estaEnviado(" 000123_20260315_000046.Enviado.Pdf "));
    EXPECT_FALSE(estaEnviado("000123_20260315_000046.pdf"));
    EXPECT_FALSE(estaEnviado("000123_20260315_000046ENVIADO.PDF"));
    EXPECT_FALSE(estaEnviado("000123_20260315_000046.ENVIADO.PDF.bak"));
}

// Every case runs against an Access file made by our writer and against SQLite.
class CatalogoTest : public ::testing::TestWithParam<Formato> {
protected:
    TemporaryFolder folder;
    test::DialogosGrabados dialogos;
    test::RelojFijo reloj{{2026, 3, 20}};
    std::optional<ContextoAnfitrion> contexto;
    std::optional<Catalogo> catalogo;
    ListaVista lista;

    void build(suitegen::DescripcionSuite d) {
        d.formato = GetParam();
        suitegen::generarSuite(folder.path(), d);
        contexto = iniciarContexto(CarpetaPrograma(folder.path()), dialogos, reloj);
        ASSERT_TRUE(contexto);
        catalogo.emplace(*contexto);
    }
    EtiquetasLista fill(const std::string& tipo, const std::string& anio, int mes,
                        const std::string& busqueda = "") {
        return catalogo->ActualizarLista({tipo, anio, mes, busqueda}, lista);
    }
};

suitegen::Documento invoice(std::string name, std::size_t size = 2048) {
    return {std::move(name), "2026", size};
}

suitegen::DescripcionSuite invoices() {
    suitegen::DescripcionSuite d;
    d.clientes = {{123, "Acme", "ORO", false, {{"E", "acme@ejemplo.es", 0}, {"T", "915550000", 1}}},
                  {7,
                   "Peña Ibáñez",
                   std::nullopt,
                   false,
                   {{"E", "  primera@ejemplo.es ", 0},
                    {"E", "segunda@ejemplo.es", 1},
                    {"E", "tercera@ejemplo.es", 1}}},
                  {8,
                   "Sin prioridad",
                   "x",
                   false,
                   {{"E", "uno@ejemplo.es", 0}, {"e", "dos@ejemplo.es", std::nullopt}}},
                  {9, "Sin correo", "x", false, {}},
                  {123456, "Código largo", "x", false, {{"E", "largo@ejemplo.es", 0}}}};
    d.documentos = {invoice("000123_20260315_000045.pdf"),
                    invoice("000123_20260315_000046.ENVIADO.PDF", 1536),
                    invoice("000007_20260301_000047.pdf", 1000),
                    invoice("000008_20260302_000048.PDF"),
                    invoice("000009_20260303_000049.pdf"),
                    invoice("123456_20260304_000050_copia.pdf"),
                    invoice("000999_20260301_000001.pdf"),
                    invoice("12345_20260301_000001.pdf"),
                    invoice("000123_20260215_000040.pdf"),
                    invoice("000123_20250315_000040.pdf"),
                    {"000123_20250315_000041.pdf", "2025", 2048}};
    return d;
}

TEST_P(CatalogoTest, ListsTheInvoicesOfAMonthWithTheirRecipients) {
    build(invoices());
    const EtiquetasLista e = fill("FACTURAS", "2026", 3);
    using Row = std::vector<std::string>;
    EXPECT_EQ(
        rowsOf(lista),
        (std::vector<Row>{
            {"00007 PEÑA IBÁÑEZ", "segunda@ejemplo.es", "01/03/2026", "000047", " .9765625 KB",
             "20260301", "1"},
            {"00008 SIN PRIORIDAD", "dos@ejemplo.es", "02/03/2026", "000048", " 2 KB", "20260302",
             "1"},
            {"00009 SIN CORREO", "", "03/03/2026", "000049", " 2 KB", "20260303", "1"},
            {"00123 ACME", "acme@ejemplo.es", "15/03/2026", "000045", " 2 KB", "20260315", "1"},
            {"00123 ACME", "acme@ejemplo.es", "15/03/2026", "000046", " 1.5 KB", "20260315", "2"},
            {"123456 CÓDIGO LARGO", "largo@ejemplo.es", "04/03/2026", "000050", " 2 KB", "20260304",
             "1"},
        }));
    EXPECT_EQ(lista.fila(0).etiqueta,
              (contexto->rutaDocumentos / "2026" / "000007_20260301_000047.pdf").string());
    EXPECT_EQ(e.detalle, "Documentos");
    EXPECT_EQ(e.cuenta, "Nº de documentos:  6");
    EXPECT_EQ(e.seleccionados, "Documentos seleccionadas: 0");
}

TEST_P(CatalogoTest, EveryMonthAnotherYearAndAnEmptyPeriod) {
    build(invoices());
    fill("FACTURAS", "2026", kMesTodos);
    EXPECT_EQ(lista.cantidad(), 7U);
    fill("FACTURAS", "2025", 3);
    ASSERT_EQ(lista.cantidad(), 1U); // the 2026 folder's stray 2025 name is not in 2025's folder
    EXPECT_EQ(lista.fila(0).subitems[2], "000041");
    EXPECT_EQ(fill("FACTURAS", "2024", 3).cuenta, "Nº de documentos:  0");
}

TEST_P(CatalogoTest, TheSearchTextNarrowsTheList) {
    build(invoices());
    const auto count = [&](const std::string& text) {
        fill("FACTURAS", "2026", 3, text);
        return lista.cantidad();
    };
    EXPECT_EQ(count("acme"), 2U);
    EXPECT_EQ(count("  acme  "), 2U);
    EXPECT_EQ(count("15/03/2026"), 2U);
    EXPECT_EQ(count("#"), 6U);
    EXPECT_EQ(count("peña"), 1U);
    EXPECT_EQ(count("1,5 KB"), 1U); // the search text writes sizes the Spanish way
    EXPECT_EQ(count("1.5 KB"), 0U);
    EXPECT_EQ(count("#00123#"), 2U);
    EXPECT_EQ(count("20260304"), 1U);
    EXPECT_EQ(count("zzz"), 0U);
    EXPECT_EQ(fill("FACTURAS", "2026", 3, " ac ").detalle, "Documentos    Filtrado por: AC");
}

TEST_P(CatalogoTest, RefilteringNeedsNeitherTheDatabaseNorTheFolder) {
    build(invoices());
    fill("FACTURAS", "2026", 3);
    // Garbage of the same size and time: reading the database again would now fail, so the
    // rows must come from memory.
    const auto db = contexto->rutaBaseDatos;
    const auto time = std::filesystem::last_write_time(db);
    TemporaryFolder::writePath(db, std::string(std::filesystem::file_size(db), 'x'));
    std::filesystem::last_write_time(db, time);
    fill("FACTURAS", "2026", 3, "acme");
    EXPECT_EQ(lista.cantidad(), 2U);

    // A new document in the folder shows on the next fill.
    std::filesystem::copy_file(contexto->rutaDocumentos / "2026" / "000123_20260315_000045.pdf",
                               contexto->rutaDocumentos / "2026" / "000123_20260316_000060.pdf");
    fill("FACTURAS", "2026", 3, "acme");
    EXPECT_EQ(lista.cantidad(), 3U);
}

TEST_P(CatalogoTest, ADocumentRewrittenInPlaceShowsItsNewSizeWhenTheFolderIsListedAgain) {
    build(invoices());
    fill("FACTURAS", "2026", 3, "000045");
    ASSERT_EQ(lista.cantidad(), 1U);
    EXPECT_EQ(lista.fila(0).subitems[3], " 2 KB");
    // Writing into an existing file leaves the folder's time as it was.
    const auto carpeta = contexto->rutaDocumentos / "2026";
    const auto time = std::filesystem::last_write_time(carpeta);
    TemporaryFolder::writePath(carpeta / "000123_20260315_000045.pdf", std::string(3072, 'x'));
    std::filesystem::last_write_time(carpeta, time);
    catalogo->releerCarpeta();
    fill("FACTURAS", "2026", 3, "000045");
    ASSERT_EQ(lista.cantidad(), 1U);
    EXPECT_EQ(lista.fila(0).subitems[3], " 3 KB");
}

// The suite rewrites its database while the program runs: the next fill must show the new rows,
// even when the file keeps its size (an Access file grows by whole pages).
void rewriteSuite(const std::filesystem::path& folder, suitegen::DescripcionSuite d,
                  Formato formato, const std::vector<std::filesystem::path>& databases) {
    std::vector<std::filesystem::file_time_type> times;
    for (const auto& db : databases) {
        times.push_back(std::filesystem::last_write_time(db));
    }
    d.formato = formato;
    suitegen::generarSuite(folder, d);
    for (std::size_t i = 0; i < databases.size(); ++i) {
        std::filesystem::last_write_time(databases[i], times[i] + std::chrono::seconds(10));
    }
}

TEST_P(CatalogoTest, AChangedDatabaseIsReadAgainOnTheNextFill) {
    auto d = invoices();
    build(d);
    fill("FACTURAS", "2026", 3, "acme");
    ASSERT_EQ(lista.cantidad(), 2U);
    EXPECT_EQ(lista.fila(0).subitems[0], "acme@ejemplo.es");

    d.clientes[0].nombre = "Acme Nueva";
    d.clientes[0].telefonos[0].numero = "nueva@ejemplo.es";
    d.clientes.push_back({999, "Recién llegado", "x", false, {{"E", "nuevo@ejemplo.es", 0}}});
    rewriteSuite(folder.path(), d, GetParam(), {contexto->rutaBaseDatos});
    fill("FACTURAS", "2026", 3, "acme");
    ASSERT_EQ(lista.cantidad(), 2U);
    EXPECT_EQ(lista.fila(0).texto, "00123 ACME NUEVA");
    EXPECT_EQ(lista.fila(0).subitems[0], "nueva@ejemplo.es");
    fill("FACTURAS", "2026", 3, "00999");
    ASSERT_EQ(lista.cantidad(), 1U); // its document was listed before, without a client
    EXPECT_EQ(lista.fila(0).subitems[0], "nuevo@ejemplo.es");
}

TEST_P(CatalogoTest, SortingIsKeptAcrossRefills) {
    build(invoices());
    fill("FACTURAS", "2026", 3);
    lista.clicEnCabecera(2); // Periodo: ascending
    EXPECT_EQ(lista.fila(0).subitems[1], "01/03/2026");
    lista.clicEnCabecera(2); // the same header again: descending
    EXPECT_EQ(lista.fila(0).subitems[1], "15/03/2026");
    lista.clicEnCabecera(3); // another header: the order flips again, ascending
    EXPECT_FALSE(lista.descendente());
    EXPECT_EQ(lista.fila(0).subitems[2], "000045");
    fill("FACTURAS", "2026", 3);
    EXPECT_EQ(lista.fila(0).subitems[2], "000045");
    EXPECT_EQ(lista.fila(5).subitems[2], "000050");
}

suitegen::DescripcionSuite payroll(bool alternative) {
    suitegen::DescripcionSuite d;
    d.nomina = true;
    d.empleados = {{42, "Pérez"}, {7, "O'Neill"}};
    if (alternative) {
        d.alternativas = {{"12345678Z", "perez@ejemplo.es", "Pérez"},
                          {"1234'678Y", "oneill@ejemplo.es", "O'Neill"}};
    }
    d.documentos = {{"0000042_26031M_12345678Z.PDF", "NOMINAS", 1536},
                    {"0000042_26031X_12345678Z.PDF", "NOMINAS", 4096},
                    {"0000007_26032P_1234'678Y.pdf", "NOMINAS", 100},
                    {"0000042_26021A_12345678Z.ENVIADO.PDF", "NOMINAS", 2048},
                    {"0000099_26031M_99999999R.PDF", "NOMINAS", 2048},
                    {"0000042_26031M_12345678Z.PDF", "CERTIFICADOS", 2048}};
    return d;
}

TEST_P(CatalogoTest, ListsPayslipsWithTheAlternativeAddress) {
    build(payroll(true));
    const EtiquetasLista e = fill("NOMINAS", "2026", 3);
    using Row = std::vector<std::string>;
    EXPECT_EQ(rowsOf(lista),
              (std::vector<Row>{
                  {"0000007 O'NEILL", "oneill@ejemplo.es", "2603", "Pagas", " 0 KB", "", "1"},
                  {"0000042 PÉREZ", "perez@ejemplo.es", "2603", "Mensualidad", " 1 KB", "", "1"},
                  {"0000042 PÉREZ", "perez@ejemplo.es", "2603", "X", " 4 KB", "", "1"},
              }));
    EXPECT_EQ(e.cuenta, "Nº de documentos:  3");
    fill("NOMINAS", "2026", kMesTodos);
    EXPECT_EQ(lista.cantidad(), 4U);
    EXPECT_EQ(lista.fila(1).icono, kIconoEnviado);
    EXPECT_EQ(lista.fila(1).subitems[2], "Atrasos");
    fill("CERTIFICADOS", "2026", 3);
    EXPECT_EQ(lista.cantidad(), 1U);
    fill("NOMINAS", "2026", 3, "mensualidad");
    EXPECT_EQ(lista.cantidad(), 1U);
    fill("NOMINAS", "2026", 3, "#X# 4 KB##");
    EXPECT_EQ(lista.cantidad(), 1U);
}

TEST_P(CatalogoTest, AnAccentedLetterInAPayslipNameTakesOnePosition) {
    auto d = payroll(true);
    d.documentos = {{"0000042_26031Ñ_12345678Z.PDF", "NOMINAS", 2048}};
    build(d);
    fill("NOMINAS", "2026", 3);
    ASSERT_EQ(lista.cantidad(), 1U);
    EXPECT_EQ(lista.fila(0).subitems[0], "perez@ejemplo.es"); // the tax number after it
    EXPECT_EQ(lista.fila(0).subitems[1], "2603");
    EXPECT_EQ(lista.fila(0).subitems[2], "Ñ");
    fill("NOMINAS", "2026", 3, "#ñ#");
    EXPECT_EQ(lista.cantidad(), 1U);
}

TEST_P(CatalogoTest, PayslipsWithoutAnAlternativeSourceHaveNoAddress) {
    build(payroll(false));
    fill("NOMINAS", "2026", 3);
    ASSERT_EQ(lista.cantidad(), 3U);
    for (const auto& fila : lista.filas()) {
        EXPECT_EQ(fila.subitems[0], "");
    }
}

TEST_P(CatalogoTest, AChangedAlternativeSourceIsReadAgainOnTheNextFill) {
    auto d = payroll(true);
    build(d);
    fill("NOMINAS", "2026", 3, "pérez");
    ASSERT_EQ(lista.cantidad(), 2U);
    EXPECT_EQ(lista.fila(0).subitems[0], "perez@ejemplo.es");

    d.alternativas[0].email = "perez.nuevo@ejemplo.es";
    ASSERT_TRUE(contexto->dbAlternativa);
    rewriteSuite(folder.path(), d, GetParam(), {contexto->dbAlternativa->ruta()});
    fill("NOMINAS", "2026", 3, "pérez");
    ASSERT_EQ(lista.cantidad(), 2U);
    EXPECT_EQ(lista.fila(0).subitems[0], "perez.nuevo@ejemplo.es");
    EXPECT_EQ(lista.fila(1).subitems[0], "perez.nuevo@ejemplo.es");
}

INSTANTIATE_TEST_SUITE_P(Formatos, CatalogoTest, ::testing::Values(Formato::Jet, Formato::Sqlite),
                         [](const auto& info) {
                             return info.param == Formato::Jet ? "Jet" : "Sqlite";
                         });

} // namespace
} // namespace envio
