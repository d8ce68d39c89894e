// The same rows written once as a Jet 4 file (our writer, read back through libmdb) and once as a
// SQLite file must give the same answers to every form of the program's SQL: a site may keep the
// suite's data in either, and the program must not notice which.
//
// The common form of values, whatever the file:
//   Text and Memo   text, UTF-8; the empty text is not NULL
//   Byte, Integer,
//   Long            the number ("-5")
//   Double          the shortest digits that read back as the same double, written out in full
//                   except for the tiny and the huge ("-0.25", "-0.00012", "1e-07", "1e+20")
//   Currency        the amount with at most 4 decimals, trailing zeros dropped ("-12.345", "12")
//   DateTime        text "YYYY-MM-DD HH:MM:SS" (in SQLite the column holds that very text)
//   Boolean         the number 1 or 0 (Jet has no NULL Booleans)
#include "TemporaryFolder.h"
#include "database/BaseDatos.h"
#include "database/ConsultaSql.h"

#include <JetWriter.h>
#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <variant>

namespace envio {
namespace {

using jetwriter::ColumnType;
using test::TemporaryFolder;

struct Fecha {
    int anio, mes, dia, hora = 0, minuto = 0, segundo = 0;
};
using Celda = std::variant<std::monostate, std::int64_t, double, std::string, bool, Fecha,
                           jetwriter::Currency>;

struct Tabla {
    std::string nombre;
    std::vector<jetwriter::Column> columnas;
    std::vector<std::vector<Celda>> filas;
};

const Celda kNulo{};
Celda n(std::int64_t v) {
    return v;
}
Celda t(std::string v) {
    return v;
}
Celda dinero(std::int64_t diezmilesimas) {
    return jetwriter::Currency{diezmilesimas};
}

// Columns: Id, Nombre, Cantidad, Nivel, Importe, Medida, Alta, Activo, Nota.
std::vector<std::vector<Celda>> filasEspeciales() {
    return {
        {n(1), t("Peña Ibáñez, José"), n(-5), n(0), dinero(-123450), -0.25, Fecha{2020, 1, 31},
         true, t("Cliente desde 1999")},
        {n(2), t("O'Brien"), n(32767), n(255), dinero(1234567890123), 1e20,
         Fecha{1899, 12, 29, 6, 0, 0}, false, t("Dijo 'hola' y \"adiós\"")},
        {n(3), t("o'brien"), n(-32768), kNulo, dinero(0), 0.1, Fecha{2024, 2, 29, 23, 59, 59}, true,
         kNulo},
        {n(4), kNulo, kNulo, n(7), kNulo, kNulo, kNulo, false, t("")},
        {n(5), t(""), n(0), kNulo, dinero(-1), 3.0, Fecha{1900, 1, 1}, true, t("Ñandú")},
        {n(6), t("ÁLVAREZ"), n(12), n(12), dinero(125000), 12.5, Fecha{2020, 1, 31, 12, 30, 0},
         false, t("12")},
        {n(7), t("álvarez"), n(12), n(12), dinero(120000), -0.00012, kNulo, true, t("ñ")},
        {n(8), t("Ñandú"), kNulo, n(200), dinero(99990000), 1.0 / 3.0, Fecha{1999, 12, 31}, false,
         t("Línea 1\r\nLínea 2")},
        {n(9), t("Nandu"), n(-1), kNulo, dinero(-99990000), -1e-7, Fecha{2099, 12, 31, 0, 0, 1},
         true, t("= 'x' OR 1 = 1")},
        {n(-2147483648LL), t("Mínimo"), n(-1), n(1), dinero(1), 1e-5,
         Fecha{9999, 12, 31, 23, 59, 59}, false, t("x")},
        {n(2147483647LL), t("Máximo"), n(1), n(2), dinero(-2), -1e15, Fecha{100, 1, 1}, true,
         t("y")},
    };
}

// Enough ordinary rows that the table needs many data pages, with NULLs scattered through
// every column that can hold one. Their numbers stay clear of the special rows' so that each
// equality below has a known answer.
std::vector<Celda> filaDeRelleno(int i) {
    const auto cada = [i](int k, Celda v) { return i % k == 0 ? kNulo : v; };
    return {n(100 + i),
            t((i % 4 == 0 ? "Señor " : "Cliente ") + std::to_string(i)),
            cada(13, n(1000 + i % 1000)),
            cada(7, n(20 + i % 150)),
            cada(17, dinero(10000000 + static_cast<std::int64_t>(i) * 1234)),
            cada(19, 1000 + i / 8.0),
            cada(11, Fecha{2000 + i % 25, 1 + i % 12, 1 + i % 28, i % 24, i % 60, i % 7}),
            i % 3 == 0,
            cada(5, t("nota " + std::to_string(i % 50)))};
}

constexpr int kFilasDeRelleno = 1500;

std::vector<Tabla> conjuntoDeDatos() {
    Tabla datos{"DATOS",
                {{"Id", ColumnType::Long},
                 {"Nombre", ColumnType::Text, 50},
                 {"Cantidad", ColumnType::Integer},
                 {"Nivel", ColumnType::Byte},
                 {"Importe", ColumnType::Currency},
                 {"Medida", ColumnType::Double},
                 {"Alta", ColumnType::DateTime},
                 {"Activo", ColumnType::Boolean},
                 {"Nota", ColumnType::Memo}},
                filasEspeciales()};
    for (int i = 0; i < kFilasDeRelleno; ++i) {
        datos.filas.push_back(filaDeRelleno(i));
    }
    Tabla espacios{"Tabla con espacios",
                   {{"Código postal", ColumnType::Text, 5}, {"Ciudad", ColumnType::Text, 40}},
                   {{t("28001"), t("Madrid")}, {t("08001"), t("Barcelona")}, {kNulo, t("Ávila")}}};
    return {datos, espacios};
}

jetwriter::Value valorJet(const Celda& celda) {
    return std::visit(
        [](const auto& v) -> jetwriter::Value {
            using V = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<V, std::monostate>) {
                return jetwriter::Value::null();
            } else if constexpr (std::is_same_v<V, Fecha>) {
                return jetwriter::DateTime::fromCivil(v.anio, v.mes, v.dia, v.hora, v.minuto,
                                                      v.segundo);
            } else {
                return v;
            }
        },
        celda);
}

void escribirJet(const std::filesystem::path& archivo, const std::vector<Tabla>& tablas) {
    jetwriter::Database db;
    for (const auto& tabla : tablas) {
        auto& destino = db.addTable(tabla.nombre, tabla.columnas);
        for (const auto& fila : tabla.filas) {
            std::vector<jetwriter::Value> valores;
            std::transform(fila.begin(), fila.end(), std::back_inserter(valores), valorJet);
            destino.addRow(valores);
        }
    }
    db.write(archivo);
}

// The declared types give SQLite's usual affinities: integers, reals, text, and NUMERIC for
// Currency (an amount that happens to be whole is kept as an integer) and DateTime (the text
// of a date is no number, so it stays text).
const char* tipoSqlite(const jetwriter::Column& c) {
    switch (c.type) {
    case ColumnType::Boolean:
        return "BOOLEAN";
    case ColumnType::Byte:
        return "TINYINT";
    case ColumnType::Integer:
        return "SMALLINT";
    case ColumnType::Long:
        return "INTEGER";
    case ColumnType::Currency:
        return "CURRENCY";
    case ColumnType::Double:
        return "DOUBLE";
    case ColumnType::DateTime:
        return "DATETIME";
    case ColumnType::Text:
        return "VARCHAR(255)";
    case ColumnType::Memo:
        return "TEXT";
    }
    return "";
}

std::string textoDeFecha(const Fecha& f) {
    char texto[32];
    std::snprintf(texto, sizeof texto, "%04d-%02d-%02d %02d:%02d:%02d", f.anio, f.mes, f.dia,
                  f.hora, f.minuto, f.segundo);
    return texto;
}

void escribirSqlite(const std::filesystem::path& archivo, const std::vector<Tabla>& tablas) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(archivo.c_str(), &db), SQLITE_OK);
    const auto ok = [&](int rc) {
        ASSERT_TRUE(rc == SQLITE_OK || rc == SQLITE_DONE) << sqlite3_errmsg(db);
    };
    ok(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr));
    for (const auto& tabla : tablas) {
        std::string columnas;
        std::string marcas;
        for (const auto& c : tabla.columnas) {
            columnas += (columnas.empty() ? "\"" : ", \"") + c.name + "\" " + tipoSqlite(c);
            marcas += marcas.empty() ? "?" : ", ?";
        }
        ok(sqlite3_exec(db, ("CREATE TABLE \"" + tabla.nombre + "\" (" + columnas + ")").c_str(),
                        nullptr, nullptr, nullptr));
        sqlite3_stmt* insert = nullptr;
        ok(sqlite3_prepare_v2(
            db, ("INSERT INTO \"" + tabla.nombre + "\" VALUES (" + marcas + ")").c_str(), -1,
            &insert, nullptr));
        for (const auto& fila : tabla.filas) {
            for (std::size_t i = 0; i < fila.size(); ++i) {
                const int k = static_cast<int>(i) + 1;
                std::visit(
                    [&](const auto& v) {
                        using V = std::decay_t<decltype(v)>;
                        if constexpr (std::is_same_v<V, std::monostate>) {
                            sqlite3_bind_null(insert, k);
                        } else if constexpr (std::is_same_v<V, std::int64_t>) {
                            sqlite3_bind_int64(insert, k, v);
                        } else if constexpr (std::is_same_v<V, double>) {
                            sqlite3_bind_double(insert, k, v);
                        } else if constexpr (std::is_same_v<V, std::string>) {
                            sqlite3_bind_text(insert, k, v.c_str(), -1, SQLITE_TRANSIENT);
                        } else if constexpr (std::is_same_v<V, bool>) {
                            sqlite3_bind_int(insert, k, v ? 1 : 0);
                        } else if constexpr (std::is_same_v<V, Fecha>) {
                            sqlite3_bind_text(insert, k, textoDeFecha(v).c_str(), -1,
                                              SQLITE_TRANSIENT);
                        } else {
                            sqlite3_bind_double(insert, k,
                                                static_cast<double>(v.tenThousandths) / 10000.0);
                        }
                    },
                    fila[i]);
            }
            ok(sqlite3_step(insert));
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
    }
    ok(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr));
    sqlite3_close(db);
}

// A value with its kind, so that the text "12" and the number 12 never pass for each other.
std::string mostrar(const Valor& v) {
    switch (v.tipo()) {
    case Valor::Tipo::Nulo:
        return "NULL";
    case Valor::Tipo::Numero:
        return "N:" + v.comoTexto();
    case Valor::Tipo::Texto:
        return "T:" + v.comoTexto();
    }
    return "?";
}

using Filas = std::vector<std::vector<std::string>>;

Filas filas(const Registros& r) {
    Filas out;
    for (const auto& fila : r.tabla().filas) {
        std::vector<std::string> f;
        std::transform(fila.begin(), fila.end(), std::back_inserter(f), mostrar);
        out.push_back(f);
    }
    return out;
}

std::vector<std::string> primeraColumna(const Filas& f) {
    std::vector<std::string> out;
    for (const auto& fila : f) {
        out.push_back(fila.at(0));
    }
    return out;
}

class JetSqliteRoundTripTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        carpeta_ = new TemporaryFolder();
        escribirJet(*carpeta_ / "datos.mdb", conjuntoDeDatos());
        escribirSqlite(*carpeta_ / "datos.db", conjuntoDeDatos());
    }
    static void TearDownTestSuite() {
        delete carpeta_;
        carpeta_ = nullptr;
    }

    void SetUp() override {
        jet_ = BaseDatos::abrir(*carpeta_ / "datos.mdb");
        sqlite_ = BaseDatos::abrir(*carpeta_ / "datos.db");
    }

    // Runs `sql` on both files, expects the same columns and rows, and returns them.
    Filas enAmbas(const std::string& sql) {
        const Registros a = jet_->abrirRegistros(sql);
        const Registros b = sqlite_->abrirRegistros(sql);
        EXPECT_EQ(a.tabla().columnas, b.tabla().columnas) << sql;
        const Filas fa = filas(a);
        const Filas fb = filas(b);
        EXPECT_EQ(fa.size(), fb.size()) << sql;
        for (std::size_t i = 0; i < std::min(fa.size(), fb.size()); ++i) {
            if (fa[i] != fb[i]) {
                ADD_FAILURE() << sql << "\nfila " << i
                              << " Jet:    " << testing::PrintToString(fa[i]) << "\nfila " << i
                              << " SQLite: " << testing::PrintToString(fb[i]);
                break;
            }
        }
        return fa;
    }

    static TemporaryFolder* carpeta_;
    std::unique_ptr<BaseDatos> jet_;
    std::unique_ptr<BaseDatos> sqlite_;
};

TemporaryFolder* JetSqliteRoundTripTest::carpeta_ = nullptr;

using Columna = std::vector<std::string>;

TEST_F(JetSqliteRoundTripTest, EveryColumnTypeComesBackInTheSameForm) {
    const Filas todo = enAmbas("SELECT * FROM DATOS");
    ASSERT_EQ(todo.size(), filasEspeciales().size() + kFilasDeRelleno);
    const Filas esperadas = {
        {"N:1", "T:Peña Ibáñez, José", "N:-5", "N:0", "N:-12.345", "N:-0.25",
         "T:2020-01-31 00:00:00", "N:1", "T:Cliente desde 1999"},
        {"N:2", "T:O'Brien", "N:32767", "N:255", "N:123456789.0123", "N:1e+20",
         "T:1899-12-29 06:00:00", "N:0", "T:Dijo 'hola' y \"adiós\""},
        {"N:3", "T:o'brien", "N:-32768", "NULL", "N:0", "N:0.1", "T:2024-02-29 23:59:59", "N:1",
         "NULL"},
        {"N:4", "NULL", "NULL", "N:7", "NULL", "NULL", "NULL", "N:0", "T:"},
        {"N:5", "T:", "N:0", "NULL", "N:-0.0001", "N:3", "T:1900-01-01 00:00:00", "N:1", "T:Ñandú"},
    };
    for (std::size_t i = 0; i < esperadas.size(); ++i) {
        EXPECT_EQ(todo[i], esperadas[i]);
    }
    EXPECT_EQ(todo[6][5], "N:-0.00012");
    EXPECT_EQ(todo[7][5], "N:0.3333333333333333");
    EXPECT_EQ(todo[8][5], "N:-1e-07");
    EXPECT_EQ(todo[7][8], "T:Línea 1\r\nLínea 2");
    EXPECT_EQ(todo[9],
              (std::vector<std::string>{"N:-2147483648", "T:Mínimo", "N:-1", "N:1", "N:0.0001",
                                        "N:0.00001", "T:9999-12-31 23:59:59", "N:0", "T:x"}));
    EXPECT_EQ(todo[10],
              (std::vector<std::string>{"N:2147483647", "T:Máximo", "N:1", "N:2", "N:-0.0002",
                                        "N:-1e+15", "T:0100-01-01 00:00:00", "N:1", "T:y"}));
    EXPECT_EQ(todo.back()[0], "N:" + std::to_string(100 + kFilasDeRelleno - 1));

    EXPECT_EQ(enAmbas("SELECT * FROM [Tabla con espacios]"),
              (Filas{{"T:28001", "T:Madrid"}, {"T:08001", "T:Barcelona"}, {"NULL", "T:Ávila"}}));
}

TEST_F(JetSqliteRoundTripTest, ChosenFieldsInTheOrderAsked) {
    const Filas f = enAmbas("SELECT Nota, Id FROM DATOS");
    EXPECT_EQ(f.front(), (std::vector<std::string>{"T:Cliente desde 1999", "N:1"}));
    EXPECT_EQ(enAmbas("select nombre from datos").size(),
              filasEspeciales().size() + kFilasDeRelleno);
    EXPECT_EQ(enAmbas("SELECT Nombre, Id, nombre FROM DATOS WHERE Id = 1"),
              (Filas{{"T:Peña Ibáñez, José", "N:1", "T:Peña Ibáñez, José"}}));
    EXPECT_EQ(enAmbas("SELECT [Ciudad] FROM [Tabla con espacios] WHERE [Código postal] = '08001'"),
              (Filas{{"T:Barcelona"}}));
    EXPECT_EQ(
        enAmbas("SELECT [Código postal], Ciudad FROM [tabla CON espacios] WHERE Ciudad = 'ávila'"),
        (Filas{{"NULL", "T:Ávila"}}));
}

TEST_F(JetSqliteRoundTripTest, NumberEqualityIsNumericInEveryNumberType) {
    EXPECT_EQ(primeraColumna(enAmbas("SELECT Id FROM DATOS WHERE Cantidad = -5")), Columna{"N:1"});
    EXPECT_EQ(primeraColumna(enAmbas("SELECT Id FROM DATOS WHERE Cantidad =-5")), Columna{"N:1"});
    EXPECT_EQ(primeraColumna(enAmbas("SELECT Id FROM DATOS WHERE Cantidad =12")),
              (Columna{"N:6", "N:7"}));
    EXPECT_EQ(primeraColumna(enAmbas("SELECT Id FROM DATOS WHERE Nivel = 255")), Columna{"N:2"});
    EXPECT_EQ(primeraColumna(enAmbas("SELECT Id FROM DATOS WHERE Importe = -12.345")),
              Columna{"N:1"});
    EXPECT_EQ(primeraColumna(enAmbas("SELECT Id FROM DATOS WHERE Importe = 12.50")),
              Columna{"N:6"});
    EXPECT_EQ(primeraColumna(enAmbas("SELECT Id FROM DATOS WHERE Importe = -0.0001")),
              Columna{"N:5"});
    EXPECT_EQ(primeraColumna(enAmbas("SELECT Id FROM DATOS WHERE Medida = -0.25")), Columna{"N:1"});
    EXPECT_EQ(primeraColumna(enAmbas("SELECT Id FROM DATOS WHERE Medida = 3")), Columna{"N:5"});
    EXPECT_EQ(primeraColumna(enAmbas("SELECT Id FROM DATOS WHERE Id = 1599")), Columna{"N:1599"});
    EXPECT_EQ(primeraColumna(enAmbas("SELECT Id FROM DATOS WHERE Activo = 1 AND Cantidad = 12")),
              Columna{"N:7"});
    // A number stored as text in a text field still equals the number, as in Jet.
    EXPECT_EQ(primeraColumna(enAmbas("SELECT Id FROM DATOS WHERE Nota = 12")), Columna{"N:6"});
    EXPECT_TRUE(enAmbas("SELECT Id FROM DATOS WHERE Cantidad = 99999").empty());
}

TEST_F(JetSqliteRoundTripTest, TextEqualityIgnoresCaseAndUnquotesQuotes) {
    EXPECT_EQ(primeraColumna(enAmbas("SELECT Id FROM DATOS WHERE Nombre = 'O''Brien'")),
              (Columna{"N:2", "N:3"}));
    EXPECT_EQ(primeraColumna(enAmbas("SELECT Id FROM DATOS WHERE Nombre = 'PEÑA IBÁÑEZ, JOSÉ'")),
              Columna{"N:1"});
    EXPECT_EQ(primeraColumna(enAmbas("SELECT Id FROM DATOS WHERE Nombre = 'Álvarez'")),
              (Columna{"N:6", "N:7"}));
    // Accents count for equality: "Nandu" is not "Ñandú".
    EXPECT_EQ(primeraColumna(enAmbas("SELECT Id FROM DATOS WHERE Nombre = 'ñandú'")),
              Columna{"N:8"});
    EXPECT_EQ(
        primeraColumna(enAmbas("SELECT Id FROM DATOS WHERE Nota = 'Dijo ''hola'' y \"adiós\"'")),
        Columna{"N:2"});
    EXPECT_EQ(primeraColumna(enAmbas("SELECT Id FROM DATOS WHERE Nota = '= ''x'' OR 1 = 1'")),
              Columna{"N:9"});
    // The empty text is a value; NULL is not.
    EXPECT_EQ(primeraColumna(enAmbas("SELECT Id FROM DATOS WHERE Nombre = ''")), Columna{"N:5"});
    EXPECT_EQ(primeraColumna(enAmbas("SELECT Id FROM DATOS WHERE Nota = ''")), Columna{"N:4"});
    EXPECT_EQ(primeraColumna(enAmbas("SELECT Id FROM DATOS WHERE Alta = '2020-01-31 12:30:00'")),
              Columna{"N:6"});
    EXPECT_EQ(enAmbas("SELECT Id FROM DATOS WHERE Nombre = 'Señor 4'").size(), 1U);
}

TEST_F(JetSqliteRoundTripTest, IsNullAndIsNotNullInEveryColumnType) {
    const auto datos = conjuntoDeDatos().front();
    for (std::size_t c = 1; c < datos.columnas.size(); ++c) {
        const std::string& campo = datos.columnas[c].name;
        Columna nulos;
        Columna noNulos;
        for (const auto& fila : datos.filas) {
            const std::string id = "N:" + std::to_string(std::get<std::int64_t>(fila[0]));
            (std::holds_alternative<std::monostate>(fila[c]) ? nulos : noNulos).push_back(id);
        }
        EXPECT_EQ(primeraColumna(enAmbas("SELECT Id FROM DATOS WHERE " + campo + " IS NULL")),
                  nulos)
            << campo;
        EXPECT_EQ(primeraColumna(enAmbas("SELECT Id FROM DATOS WHERE " + campo + " is not null")),
                  noNulos)
            << campo;
    }
    EXPECT_EQ(primeraColumna(enAmbas(
                  "SELECT Id FROM DATOS WHERE Nombre IS NULL AND Nivel IS NOT NULL AND Nivel = 7")),
              Columna{"N:4"});
    EXPECT_EQ(
        enAmbas("SELECT [Código postal] FROM [Tabla con espacios] WHERE [Código postal] IS NULL"),
        (Filas{{"NULL"}}));
}

TEST_F(JetSqliteRoundTripTest, OrderByEveryColumnTypeBothWays) {
    for (const char* campo :
         {"Id", "Nombre", "Cantidad", "Nivel", "Importe", "Medida", "Alta", "Activo", "Nota"}) {
        for (const char* sentido : {"", " ASC", " DESC"}) {
            enAmbas(std::string("SELECT Id, ") + campo + " FROM DATOS ORDER BY " + campo + sentido);
        }
    }
    const Filas porNombre = enAmbas("SELECT Nombre FROM DATOS ORDER BY Nombre");
    ASSERT_GE(porNombre.size(), 4U);
    EXPECT_EQ(porNombre[0][0], "NULL");
    EXPECT_EQ(porNombre[1][0], "T:");
    EXPECT_EQ(porNombre[2][0], "T:ÁLVAREZ");
    EXPECT_EQ(porNombre[3][0], "T:álvarez");
    const Filas porImporte = enAmbas("SELECT Importe FROM DATOS ORDER BY Importe DESC");
    EXPECT_EQ(porImporte.front()[0], "N:123456789.0123");
    EXPECT_EQ(porImporte.back()[0], "NULL");
    const Filas porAlta = enAmbas("SELECT Alta FROM DATOS WHERE Alta IS NOT NULL ORDER BY Alta");
    EXPECT_EQ(porAlta.front()[0], "T:0100-01-01 00:00:00");
    EXPECT_EQ(porAlta[1][0], "T:1899-12-29 06:00:00");
    EXPECT_EQ(porAlta.back()[0], "T:9999-12-31 23:59:59");
}

TEST_F(JetSqliteRoundTripTest, KeywordsInAnyCaseBracketsAndTheTrailingSemicolon) {
    const Filas referencia = enAmbas(
        "SELECT Id, Nombre FROM DATOS WHERE Activo = 1 AND Nota IS NOT NULL ORDER BY Nombre DESC");
    ASSERT_FALSE(referencia.empty());
    for (
        const char* sql :
        {"SELECT Id, Nombre FROM DATOS WHERE Activo = 1 AND Nota IS NOT NULL ORDER BY Nombre DESC;",
         "select id, nombre from datos where activo =1 and nota is not null order by nombre desc ;",
         "SeLeCt [Id], [Nombre] FrOm [DATOS] wHeRe [Activo] = 1 aNd [Nota] Is NoT nUlL oRdEr By "
         "[Nombre] DeSc",
         "  SELECT\tId ,Nombre\nFROM datos WHERE Activo=1 AND Nota IS NOT NULL ORDER BY nombre "
         "DESC;"}) {
        EXPECT_EQ(enAmbas(sql), referencia) << sql;
    }
}

TEST_F(JetSqliteRoundTripTest, BothRefuseTheSameMistakes) {
    for (const char* sql :
         {"SELECT Falta FROM DATOS", "SELECT * FROM DATOS WHERE Falta = 1",
          "SELECT * FROM DATOS ORDER BY Falta", "SELECT * FROM DATOS WHERE Id > 1"}) {
        EXPECT_THROW((void)jet_->abrirRegistros(sql), ErrorSql) << sql;
        EXPECT_THROW((void)sqlite_->abrirRegistros(sql), ErrorSql) << sql;
    }
    EXPECT_THROW((void)jet_->abrirRegistros("SELECT * FROM NoExiste"), ErrorBaseDatos);
    EXPECT_THROW((void)sqlite_->abrirRegistros("SELECT * FROM NoExiste"), ErrorBaseDatos);
    EXPECT_THROW((void)sqlite_->abrirRegistros("DELETE * FROM DATOS"), ErrorSql);
    EXPECT_THROW(sqlite_->ejecutar("SELECT * FROM DATOS"), ErrorSql);
    EXPECT_EQ(sqlite_->abrirRegistros("SELECT * FROM DATOS").cantidad(),
              filasEspeciales().size() + kFilasDeRelleno);
}

// The program only reads Access files: a deletion is refused by name and the file is untouched.
// (A deletion on SQLite reaching the file: SqliteReplacedFileTest below.)
TEST(JetSqliteDeleteTest, DeleteIsRefusedOnJet) {
    TemporaryFolder carpeta;
    escribirJet(carpeta / "datos.mdb", conjuntoDeDatos());
    const std::string antes = TemporaryFolder::readPath(carpeta / "datos.mdb");
    auto jet = BaseDatos::abrir(carpeta / "datos.mdb");
    try {
        jet->ejecutar("DELETE * FROM DATOS");
        ADD_FAILURE() << "a Jet file was written to";
    } catch (const ErrorBaseDatos& e) {
        const std::string mensaje = e.what();
        EXPECT_NE(mensaje.find((carpeta / "datos.mdb").string()), std::string::npos) << mensaje;
        EXPECT_NE(mensaje.find("sólo la lee"), std::string::npos) << mensaje;
    }
    EXPECT_EQ(TemporaryFolder::readPath(carpeta / "datos.mdb"), antes);
    EXPECT_EQ(jet->abrirRegistros("SELECT * FROM DATOS").cantidad(),
              filasEspeciales().size() + kFilasDeRelleno);
}

TEST(SqliteReplacedFileTest, AFileReplacedUnderItsNameIsReadAnewAndARemovedOneIsAnError) {
    TemporaryFolder carpeta;
    const auto tablas = conjuntoDeDatos();
    escribirSqlite(carpeta / "datos.db", tablas);
    auto db = BaseDatos::abrir(carpeta / "datos.db");
    ASSERT_FALSE(db->abrirRegistros("SELECT * FROM DATOS").vacio());

    // A restored copy renamed over the open file: the old contents must not be read any more.
    std::filesystem::copy_file(carpeta / "datos.db", carpeta / "copia.db");
    BaseDatos::abrir(carpeta / "copia.db")->ejecutar("DELETE * FROM DATOS");
    std::filesystem::rename(carpeta / "copia.db", carpeta / "datos.db");
    EXPECT_TRUE(db->abrirRegistros("SELECT * FROM DATOS").vacio());
    EXPECT_EQ(db->abrirRegistros("SELECT * FROM [Tabla con espacios]").cantidad(), 3U);

    std::filesystem::remove(carpeta / "datos.db");
    try {
        db->abrirRegistros("SELECT * FROM DATOS");
        ADD_FAILURE() << "a removed database was still read";
    } catch (const ErrorBaseDatos& e) {
        EXPECT_NE(std::string(e.what()).find((carpeta / "datos.db").string()), std::string::npos)
            << e.what();
    }
}

// The same distinction in a file that Access itself wrote: most customers have no region.
TEST(JetTextNullTest, AnAccessMadeEmptyRegionIsNullNotEmptyText) {
    const std::filesystem::path muestras = ENVIO_JET_SAMPLES;
    if (!std::filesystem::is_directory(muestras)) {
        GTEST_SKIP() << "no Access sample files at " << muestras;
    }
    auto db = BaseDatos::abrir(muestras / "nwind.mdb");
    const std::size_t todos = db->abrirRegistros("SELECT CustomerID FROM Customers").cantidad();
    const std::size_t sinRegion =
        db->abrirRegistros("SELECT CustomerID FROM Customers WHERE Region IS NULL").cantidad();
    EXPECT_GT(sinRegion, 0U);
    EXPECT_LT(sinRegion, todos);
    EXPECT_TRUE(db->abrirRegistros("SELECT CustomerID FROM Customers WHERE Region = ''").vacio());
    const Registros r =
        db->abrirRegistros("SELECT Region FROM Customers WHERE CustomerID = 'ALFKI'");
    ASSERT_EQ(r.cantidad(), 1U);
    EXPECT_TRUE(r.campo("Region").esNulo());
}

} // namespace
} // namespace envio
