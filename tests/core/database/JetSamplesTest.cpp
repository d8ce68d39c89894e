// The real Access-made files in the shared samples folder, read through the program's engine.
#include "database/BaseDatos.h"
#include "platform/LectorJet.h"

#include <clocale>
#include <gtest/gtest.h>

namespace envio {
namespace {

const std::filesystem::path kSamples = ENVIO_JET_SAMPLES;

class JetSamplesTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::is_directory(kSamples)) {
            GTEST_SKIP() << "no Access sample files at " << kSamples;
        }
    }
    static std::unique_ptr<BaseDatos> open(const char* name) {
        return BaseDatos::abrir(kSamples / name);
    }

    static std::vector<std::vector<std::string>> rows(BaseDatos& db, const std::string& sql) {
        Registros r = db.abrirRegistros(sql);
        std::vector<std::vector<std::string>> out;
        for (r.primero(); !r.fin(); r.siguiente()) {
            std::vector<std::string> row;
            for (std::size_t c = 0; c < r.tabla().columnas.size(); ++c) {
                row.push_back(r.campo(c).esNulo() ? "NULL" : r.campo(c).comoTexto());
            }
            out.push_back(row);
        }
        return out;
    }
};

using Rows = std::vector<std::vector<std::string>>;

TEST_F(JetSamplesTest, EveryColumnTypeOfJet4AndJet3) {
    const Rows expected = {{"abcdefg", "hijklmnop", "2", "222", "333333333", "444.555",
                            "1974-09-21 00:00:00", "3.5", "1"},
                           {"a", "b", "0", "0", "0", "0", "1981-12-12 00:00:00", "0", "0"}};
    EXPECT_EQ(rows(*open("testV2003.mdb"), "SELECT * FROM Table1"), expected);
    EXPECT_EQ(rows(*open("testV1997.mdb"), "SELECT * FROM Table1 ORDER BY A DESC"), expected);
}

TEST_F(JetSamplesTest, NumbersDoNotFollowTheProcessLocale) {
    // The reader decodes in whatever process runs it: here, one whose locale writes "444,555".
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "es_ES.UTF-8"), nullptr) << "locales-all is in scripts/setup";
    const TablaLeida tabla = LectorJet(kSamples / "testV2003.mdb").leerTabla("Table1", {"F", "G"});
    std::setlocale(LC_ALL, previous.c_str());
    ASSERT_FALSE(tabla.filas.empty());
    EXPECT_EQ(tabla.filas[0][0].comoTexto(), "444.555");
    EXPECT_EQ(tabla.filas[0][1].comoTexto(), "1974-09-21 00:00:00");
}

TEST_F(JetSamplesTest, UnicodeTextComesOutAsUtf8) {
    const Rows got =
        rows(*open("testUnicodeCompV2003.mdb"), "SELECT Unicode FROM [Table] WHERE ID = 3");
    EXPECT_EQ(got, (Rows{{"Мир"}}));
    const Rows all =
        rows(*open("testUnicodeCompV2003.mdb"), "select * from [table] order by id desc");
    ASSERT_EQ(all.size(), 8U);
    EXPECT_EQ(all.back()[0], "1");
}

TEST_F(JetSamplesTest, NullsOfNumberColumnsAndIsNull) {
    const auto db = open("testIndexPropertiesV2003.mdb");
    EXPECT_EQ(rows(*db, "SELECT row FROM TableIgnoreNulls2 WHERE data2 IS NULL AND row = 'ROW2'"),
              (Rows{{"row2"}}));
    EXPECT_EQ(rows(*db, "SELECT data2 FROM TableIgnoreNulls2 WHERE row = 'row0'"), (Rows{{"13"}}));
}

TEST_F(JetSamplesTest, ATableWithADeletedColumnIsFilteredOnTheRightColumn) {
    const auto db = open("indexTestV2003.mdb");
    const Rows byId = rows(*db, "SELECT id, data FROM Table1 WHERE id = 1");
    ASSERT_EQ(byId.size(), 1U);
    EXPECT_EQ(byId[0][0], "1");
    const Rows byData = rows(*db, "SELECT id FROM Table1 WHERE data = '" + byId[0][1] + "'");
    EXPECT_EQ(byData, (Rows{{"1"}}));
}

TEST_F(JetSamplesTest, Jet3AccentsAndOrder) {
    const auto db = open("nwind.mdb");
    const Rows got =
        rows(*db, "SELECT CustomerID, Address FROM Customers WHERE CustomerID = 'anatr';");
    EXPECT_EQ(got, (Rows{{"ANATR", "Avda. de la Constitución 2222"}}));
    const Rows ordered = rows(*db, "SELECT CustomerID FROM Customers ORDER BY CustomerID DESC");
    ASSERT_EQ(ordered.size(), 91U);
    EXPECT_EQ(ordered.front()[0], "WOLZA");
    EXPECT_EQ(ordered.back()[0], "ALFKI");
}

TEST_F(JetSamplesTest, DatesFarFromTodayAndTheTableList) {
    const auto db = open("DateTestDatabase.mdb");
    const Rows dates = rows(*db, "SELECT IDCol, DateCol FROM DateTest ORDER BY IDCol");
    ASSERT_EQ(dates.size(), 6U);
    for (const auto& row : dates) {
        EXPECT_EQ(row[1].size(), 19U) << row[0] << " " << row[1];
    }
    const auto tables = db->tablas();
    EXPECT_NE(std::find(tables.begin(), tables.end(), "DateTest"), tables.end());
    EXPECT_NE(std::find(tables.begin(), tables.end(), "MSysObjects"), tables.end());
}

} // namespace
} // namespace envio
