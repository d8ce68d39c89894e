// The history over the ledgers of several machines: what a query lets through, in what order,
// the proof paragraph, the CSV bytes, and a ledger of the previous layout read and migrated.
#include "ledger/HistorialEnvios.h"

#include "SqliteDirecto.h"
#include "TemporaryFolder.h"
#include "ledger/RegistroEnvios.h"

#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <thread>

namespace envio {
namespace {

using test::TemporaryFolder;
using Resultado = RegistroEnvios::Resultado;

// One attempt written as a run writes it; `hora` in UTC.
void anotar(RegistroEnvios& r, const std::string& hora, const std::string& documento,
            const std::string& nombre, Resultado resultado, const std::string& respuesta,
            bool renombrar = true) {
    RegistroEnvios::Intento i;
    i.ejecucion = hora;
    i.documento = documento;
    i.sha256 = "x";
    i.destinatario = "ana@example.com";
    i.nombreListado = nombre;
    i.hora = hora;
    const long long id = r.antesDeEnviar(i);
    r.respuesta(id, resultado, resultado == Resultado::Rechazado ? "" : "<" + hora + "@m>",
                respuesta);
    if (renombrar && resultado == Resultado::Aceptado) {
        r.renombrado(id, documento.substr(0, documento.size() - 6) + "_E.pdf");
    }
}

class HistorialEnviosTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
        RegistroEnvios a(folder.path() / "registro-envios.PC1.db");
        anotar(a, "2024-03-05T10:00:00Z", "/n/NOM_1_P.pdf", "1 José Peña", Resultado::Aceptado,
               "250 Ok; queued");
        anotar(a, "2024-04-01T09:00:00Z", "/n/NOM_2_P.pdf", "2 Luis Ruiz", Resultado::Rechazado,
               "550 \"no\" existe");
        RegistroEnvios b(folder.path() / "registro-envios.PC2.db");
        anotar(b, "2024-03-31T23:59:59Z", "/n/NOM_3_P.pdf", "3 Ana Sáez", Resultado::Incierto, "");
        anotar(b, std::string("2024-02-01T08:00:00Z"), std::string(kPrefijoAviso) + "4 Eva Gil",
               "4 Eva Gil", Resultado::Aceptado, "250 Ok");
    }

    std::vector<std::string> documentos(HistorialEnvios& h) {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < h.cantidad(); ++i) {
            out.push_back(textoColumna(h.fila(i), ColumnaHistorial::Destinatario));
        }
        return out;
    }

    TemporaryFolder folder;
};

TEST_F(HistorialEnviosTest, EveryMachineNewestFirstFilteredAndCounted) {
    HistorialEnvios h(folder.path());
    h.consultar({});
    EXPECT_EQ(documentos(h),
              (std::vector<std::string>{"2 Luis Ruiz", "3 Ana Sáez", "1 José Peña", "4 Eva Gil"}));
    EXPECT_EQ(h.totales().filas, 4U);
    EXPECT_EQ(h.totales().porResultado[0], 2U); // the document and the notice
    EXPECT_EQ(h.totales().porResultado[2], 1U);
    EXPECT_TRUE(h.fila(3).aviso);
    EXPECT_EQ(textoColumna(h.fila(2), ColumnaHistorial::EnviadoComo), "NOM_1_E.pdf");
    EXPECT_EQ(h.fila(2).hora, "2024-03-05 10:00:00");

    // Case and accents set aside, by file name and by reply; not by a folder of the path.
    h.consultar({"jose PEÑA", "", "", {}}); // ñ stays a letter of its own
    EXPECT_EQ(documentos(h), std::vector<std::string>{"1 José Peña"});
    h.consultar({"nom_3", "", "", {}});
    EXPECT_EQ(documentos(h), std::vector<std::string>{"3 Ana Sáez"});
    h.consultar({"/n/", "", "", {}});
    EXPECT_EQ(h.cantidad(), 0U);
    h.consultar({"QUEUED", "", "", {}});
    EXPECT_EQ(documentos(h), std::vector<std::string>{"1 José Peña"});

    // Both ends of the range are whole days; the last second of March is in March.
    h.consultar({"", "2024-03-01", "2024-03-31", {}});
    EXPECT_EQ(documentos(h), (std::vector<std::string>{"3 Ana Sáez", "1 José Peña"}));
    h.consultar({"", "", "", ResultadoHistorial::Rechazado});
    EXPECT_EQ(documentos(h), std::vector<std::string>{"2 Luis Ruiz"});
    EXPECT_EQ(h.totales().filas, 1U);

    h.consultar({}, ColumnaHistorial::Destinatario, false);
    EXPECT_EQ(documentos(h),
              (std::vector<std::string>{"1 José Peña", "2 Luis Ruiz", "3 Ana Sáez", "4 Eva Gil"}));
    EXPECT_THROW(h.consultar({"", "2024-13-01", "", {}}), std::invalid_argument);
}

TEST_F(HistorialEnviosTest, ProofAndCsv) {
    HistorialEnvios h(folder.path());
    h.consultar({});
    EXPECT_EQ(textoConstancia(h.fila(2)),
              "El 05/03/2024 a las 10:00:00 se envió el documento NOM_1_E.pdf a 1 José Peña "
              "<ana@example.com>. El servidor de correo lo aceptó y respondió «250 Ok; queued». "
              "El identificador del mensaje es <2024-03-05T10:00:00Z@m>.");
    EXPECT_EQ(textoConstancia(h.fila(1)),
              "El 31/03/2024 a las 23:59:59 se envió el documento NOM_3_P.pdf a 3 Ana Sáez "
              "<ana@example.com>, pero no llegó la respuesta del servidor de correo (sin respuesta "
              "del servidor): puede que lo haya recibido. El identificador del mensaje es "
              "<2024-03-31T23:59:59Z@m>.");

    h.consultar({"", "", "", ResultadoHistorial::Rechazado});
    EXPECT_EQ(csvHistorial(h),
              "\xEF\xBB\xBF"
              "Fecha y hora;Tipo;Destinatario;Dirección;Documento;Nombre al enviar;Resultado;"
              "Respuesta del servidor;Message-ID\r\n"
              "2024-04-01 09:00:00;documento;2 Luis Ruiz;ana@example.com;NOM_2_P.pdf;;rechazado;"
              "\"550 \"\"no\"\" existe\";\r\n");
    h.consultar({"queued", "", "", {}});
    EXPECT_NE(csvHistorial(h).find(";\"250 Ok; queued\";"), std::string::npos);
}

// An office with more machines than SQLite attaches to one connection, and a run that writes
// while the window is open: the list kept for typing must not hide what came after it.
TEST(HistorialEquiposTest, TwelveMachinesMergedAndARunWhileOpenIsSeen) {
    setenv("TZ", "UTC", 1);
    tzset();
    TemporaryFolder folder;
    const auto registro = [&folder](int equipo) {
        return folder.path() / ("registro-envios.PC" + std::to_string(10 + equipo) + ".db");
    };
    for (int e = 0; e < 12; ++e) {
        RegistroEnvios r(registro(e));
        // Times and names run in opposite directions across machines.
        anotar(r, "2024-01-01T" + std::to_string(10 + e) + ":00:00Z", "/n/A_P.pdf",
               std::string(1, static_cast<char>('z' - e)) + " Nombre", Resultado::Aceptado, "250");
    }
    HistorialEnvios h(folder.path());
    h.consultar({}, ColumnaHistorial::Destinatario, false);
    EXPECT_EQ(h.fila(0).destinatario, "o Nombre");
    EXPECT_EQ(h.fila(11).destinatario, "z Nombre");
    h.consultar({});
    ASSERT_EQ(h.cantidad(), 12U);
    EXPECT_EQ(h.fila(0).hora, "2024-01-01 21:00:00");
    EXPECT_EQ(h.fila(11).hora, "2024-01-01 10:00:00");

    {
        RegistroEnvios r(registro(3));
        anotar(r, "2024-02-01T08:00:00Z", "/n/B_P.pdf", "Luis Tarde", Resultado::Rechazado, "550");
    }
    h.consultar({});
    ASSERT_EQ(h.cantidad(), 13U);
    EXPECT_EQ(h.fila(0).destinatario, "Luis Tarde");
    h.consultar({"tarde", "", "", {}});
    EXPECT_EQ(h.cantidad(), 1U);
    EXPECT_EQ(h.totales().porResultado[1], 1U);
}

// Another machine's ledger on the share, caught in a commit: its locks are not seen from here, so
// its journal looks like one a crash left behind. `archivo` becomes such a ledger: a commit of
// `origen` under way (journal written, pages spilled into the file), as another machine would
// leave it while writing, or for good had it been switched off. Returns the ledger as it was
// before, which is what the file holds again once that commit is undone or finished.
std::string aMitadDeEscritura(const std::filesystem::path& origen,
                              const std::filesystem::path& archivo) {
    {
        RegistroEnvios r(origen);
        anotar(r, "2024-03-01T09:00:00Z", "/n/C_P.pdf", "Otro Equipo", Resultado::Aceptado, "250");
    }
    sqlite3* db = nullptr;
    sqlite3_open(origen.c_str(), &db);
    sqlite3_exec(db, "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr);
    const std::string antes = TemporaryFolder::readPath(origen);
    sqlite3_exec(db, "PRAGMA cache_size = 1; BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "UPDATE intentos SET respuesta = zeroblob(400000)", nullptr, nullptr, nullptr);
    std::filesystem::copy_file(origen, archivo);
    std::filesystem::copy_file(origen.string() + "-journal", archivo.string() + "-journal");
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return antes;
}

// One machine's ledger that cannot be read leaves the others' attempts in view and says why; one
// whose commit ends within a moment is waited for.
TEST(HistorialEquiposTest, ALedgerCaughtMidWriteIsWaitedForThenLeftOutAndNamed) {
    TemporaryFolder origenes;
    TemporaryFolder folder;
    {
        RegistroEnvios r(folder.path() / "registro-envios.PC1.db");
        anotar(r, "2024-01-01T10:00:00Z", "/n/A_P.pdf", "Ana Uno", Resultado::Aceptado, "250");
    }
    const auto breve = folder.path() / "registro-envios.PC2.db";
    const std::string antes = aMitadDeEscritura(origenes.path() / "a.db", breve);
    aMitadDeEscritura(origenes.path() / "b.db", folder.path() / "registro-envios.PC3.db");
    // PC2 finishes its commit a moment after the window asks.
    std::thread otroEquipo([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        TemporaryFolder::writePath(breve, antes);
        std::filesystem::remove(breve.string() + "-journal");
    });
    HistorialEnvios h(folder.path());
    otroEquipo.join();
    h.consultar({});
    ASSERT_EQ(h.cantidad(), 2U);
    EXPECT_EQ(h.fila(0).destinatario, "Otro Equipo");
    EXPECT_EQ(h.fila(1).destinatario, "Ana Uno");
    ASSERT_EQ(h.omitidos().size(), 1U);
    EXPECT_EQ(h.omitidos()[0],
              "No se pudo leer el registro de envíos " +
                  (folder.path() / "registro-envios.PC3.db").string() +
                  ": el equipo que lo escribe está a mitad de una escritura, o se apagó en medio "
                  "de una (se podrá leer cuando ese equipo vuelva a abrir el programa)");
}

void sql(const std::filesystem::path& archivo, const std::string& texto) {
    sqlite3* db = nullptr;
    sqlite3_open(archivo.c_str(), &db);
    ASSERT_EQ(sqlite3_exec(db, texto.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
}

// A ledger as the previous version left it: readable as it is, and migrated when a run opens it.
TEST(HistorialMigracionTest, PreviousLayoutIsReadThenMigratedKeepingItsRows) {
    setenv("TZ", "UTC", 1);
    tzset();
    TemporaryFolder folder;
    const auto archivo = folder.path() / "registro-envios.db";
    sql(archivo, "CREATE TABLE intentos (id INTEGER PRIMARY KEY AUTOINCREMENT, ejecucion "
                 "TEXT NOT NULL, documento TEXT NOT NULL, tamano INTEGER NOT NULL, "
                 "sha256 TEXT NOT NULL, destinatario TEXT NOT NULL, hora TEXT NOT NULL, "
                 "resultado TEXT NOT NULL, message_id TEXT NOT NULL DEFAULT '', "
                 "respuesta TEXT NOT NULL DEFAULT '', hora_respuesta TEXT, renombrado_a "
                 "TEXT, hora_renombrado TEXT);"
                 "INSERT INTO intentos (ejecucion, documento, tamano, sha256, "
                 "destinatario, hora, resultado, message_id, respuesta) VALUES ('e', "
                 "'Comunicaciones masivas: 7 Eva', 3, '', 'eva@example.com', "
                 "'2023-01-02T03:04:05Z', 'aceptado', '<m>', '250 Ok');");
    {
        HistorialEnvios h(folder.path());
        h.consultar({"eva", "", "", {}});
        ASSERT_EQ(h.cantidad(), 1U);
        EXPECT_EQ(h.fila(0).destinatario, "7 Eva"); // from the notice's label
        EXPECT_EQ(h.fila(0).resultado, ResultadoHistorial::Enviado);
    }
    for (int vez = 0; vez < 2; ++vez) { // migrated, then opened as the current layout
        RegistroEnvios r(archivo);
        ASSERT_EQ(r.todos().size(), 1U + static_cast<std::size_t>(vez));
        anotar(r, "2023-02-02T00:00:00Z", "/n/X_P.pdf", "8 Teo", Resultado::Aceptado, "250");
    }
    EXPECT_EQ(test::primerEntero(archivo, "PRAGMA user_version"), RegistroEnvios::kVersionEsquema);
    HistorialEnvios h(folder.path());
    h.consultar({"teo", "", "", {}});
    EXPECT_EQ(h.cantidad(), 2U);
    h.consultar({"eva", "", "", {}}); // the old row, now found through the index
    EXPECT_EQ(h.cantidad(), 1U);
}

// The same ledger searched through its index and, once the index is dropped, by reading every
// attempt: both must show the same rows, in the same order, for every kind of search.
TEST(HistorialBusquedaTest, IndexAndScanFindTheSameRows) {
    TemporaryFolder indexado;
    TemporaryFolder sinIndice;
    {
        RegistroEnvios r(indexado.path() / "registro-envios.db");
        const char* const nombres[] = {"José Peña",   "JOSE PENA",   "josé peña",
                                       "Íñigo Ávila", "iñigo avila", "Ana O'Brien \"la\""};
        const char* const respuestas[] = {"250 2.0.0 Ok: queued as 7Ñ", "550 Buzón no disponible",
                                          "", "421 Sólo/n/a"};
        for (int i = 0; i < 120; ++i) {
            char hora[32];
            std::snprintf(hora, sizeof hora, "2024-%02d-%02dT10:%02d:00Z", 1 + i % 12, 1 + i % 28,
                          i % 60);
            const std::string nombre = nombres[i % 6];
            const std::string documento =
                i % 7 == 0 ? std::string(kPrefijoAviso) + nombre
                           : "/nóminas/Nómina_Marzo_" + std::to_string(i) + "_P.pdf";
            const auto resultado = static_cast<Resultado>(1 + i % 3);
            anotar(r, hora, documento, nombre, resultado, respuestas[i % 4], i % 5 != 0);
        }
    }
    std::filesystem::copy_file(indexado / "registro-envios.db", sinIndice / "registro-envios.db");
    sql(sinIndice / "registro-envios.db", "DROP TABLE busqueda");
    HistorialEnvios a(indexado.path());
    HistorialEnvios b(sinIndice.path());
    int conFilas = 0;
    for (const char* buscado : {"peña",
                                "PENA",
                                "pe",
                                "ñ",
                                "É",
                                "íñigo",
                                "nómina_marzo_1",
                                "_e.pdf",
                                "queued as 7ñ",
                                "buzon",
                                "doc",
                                "aviso",
                                "enviado",
                                "dudoso",
                                "o",
                                "\"la\"",
                                "nominas",
                                "/n/a",
                                "comunicaciones masivas: ana",
                                "@m>",
                                "10:0"}) {
        a.consultar({buscado, "", "", {}}, ColumnaHistorial::Destinatario);
        b.consultar({buscado, "", "", {}}, ColumnaHistorial::Destinatario);
        EXPECT_EQ(csvHistorial(a), csvHistorial(b)) << buscado;
        conFilas += a.cantidad() > 0 ? 1 : 0;
    }
    EXPECT_EQ(conFilas, 20); // all but "nominas", a folder of the path
}

// A ledger of the first numbered layout is searched by reading it, then through the index its
// migration builds; what an older version appends later is found before and after it is indexed.
TEST(HistorialBusquedaTest, MigratedLedgerAndLaterRowsOfAnOlderVersionAreFound) {
    setenv("TZ", "UTC", 1);
    tzset();
    TemporaryFolder folder;
    const auto archivo = folder.path() / "registro-envios.db";
    {
        RegistroEnvios r(archivo);
        anotar(r, "2024-01-01T00:00:00Z", "/n/NOM_1_P.pdf", "1 José Peña", Resultado::Aceptado,
               "250 Ok");
    }
    sql(archivo, "DROP TABLE busqueda; ALTER TABLE intentos DROP COLUMN sha256_adjunto; "
                 "PRAGMA user_version = 1");
    const auto encontrados = [&folder](const std::string& buscado) {
        HistorialEnvios h(folder.path());
        h.consultar({buscado, "", "", {}});
        return h.cantidad();
    };
    EXPECT_EQ(encontrados("jose peña"), 1U);
    { RegistroEnvios migrado(archivo); }
    EXPECT_EQ(test::primerEntero(archivo, "PRAGMA user_version"), RegistroEnvios::kVersionEsquema);
    EXPECT_EQ(encontrados("jose peña"), 1U);

    sql(archivo, "INSERT INTO intentos (ejecucion, documento, tamano, sha256, destinatario, hora, "
                 "resultado) VALUES ('e', '/n/NOM_2_P.pdf', 1, '', 'luis@example.com', "
                 "'2024-02-01T00:00:00Z', 'enviando')");
    EXPECT_EQ(encontrados("luis@"), 1U);
    { RegistroEnvios indexa(archivo); }
    EXPECT_EQ(
        test::primerEntero(archivo, "SELECT count(*) FROM busqueda WHERE texto MATCH '\"LUIS@\"'"),
        1);
    EXPECT_EQ(encontrados("luis@"), 1U);
}

// The start-up's rename of a killed run's accepted document is told apart as "marcado".
TEST(HistorialMigracionTest, SentNameGivenAtStartIsMarked) {
    TemporaryFolder folder;
    RegistroEnvios r(folder.path() / "registro-envios.db");
    RegistroEnvios::Intento i;
    i.documento = "/n/A_P.pdf";
    i.hora = "2024-01-01T00:00:00Z";
    const long long id = r.antesDeEnviar(i);
    r.respuesta(id, Resultado::Aceptado, "<a>", "250");
    r.renombradoAlIniciar(id, "/n/A_E.pdf");
    HistorialEnvios h(folder.path());
    h.consultar({"", "", "", ResultadoHistorial::Marcado});
    ASSERT_EQ(h.cantidad(), 1U);
    EXPECT_EQ(h.fila(0).enviadoComo, "/n/A_E.pdf");
}

} // namespace
} // namespace envio
