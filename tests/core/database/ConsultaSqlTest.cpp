#include "database/ConsultaSql.h"

#include "database/EvaluarConsulta.h"

#include <gtest/gtest.h>

namespace envio {
namespace {

TEST(ConsultaSqlTest, ReadsEveryFormTheProgramWrites) {
    const ConsultaSql q = analizarSql(
        "select IDCLIENTE, nombre from CLIENTES where IDCLIENTE =42 AND Grupo = 'O''Brien' and "
        "CESE IS NULL Order By nombre desc;");
    EXPECT_EQ(q.tipo, ConsultaSql::Tipo::Seleccion);
    EXPECT_EQ(q.campos, (std::vector<std::string>{"IDCLIENTE", "nombre"}));
    EXPECT_EQ(q.tabla, "CLIENTES");
    ASSERT_EQ(q.condiciones.size(), 3U);
    EXPECT_EQ(q.condiciones[0].valor, Valor::numero("42"));
    EXPECT_EQ(q.condiciones[1].valor, Valor::texto("O'Brien"));
    EXPECT_EQ(q.condiciones[2].operador, Condicion::Operador::EsNulo);
    ASSERT_TRUE(q.orden);
    EXPECT_TRUE(q.orden->descendente);

    EXPECT_EQ(analizarSql("DELETE * FROM INFORMETMP2008").tipo, ConsultaSql::Tipo::Borrado);
    EXPECT_EQ(analizarSql("delete from [Mi tabla];").tabla, "Mi tabla");
    EXPECT_TRUE(analizarSql("SELECT * FROM T WHERE n = -3.5 ORDER BY n ASC").orden);
    EXPECT_EQ(analizarSql("SELECT * FROM T WHERE t = 'a = 1 OR 1 = 1'").condiciones.size(), 1U);

    // Configured names go in brackets so that any name works, keywords and accents included.
    const ConsultaSql alternativa =
        analizarSql("SELECT [Desc], [Order], [Campo con ñ] FROM [Select] ORDER BY [Desc] DESC");
    EXPECT_EQ(alternativa.campos, (std::vector<std::string>{"Desc", "Order", "Campo con ñ"}));
    EXPECT_EQ(alternativa.tabla, "Select");
    ASSERT_TRUE(alternativa.orden);
    EXPECT_TRUE(alternativa.orden->descendente);
}

TEST(ConsultaSqlTest, RefusesWhatItDoesNotUnderstandQuotingTheStatement) {
    for (const char* sql :
         {"SELECT * FROM T WHERE a = 1 OR b = 2", "SELECT * FROM T WHERE a LIKE 'x%'",
          "SELECT * FROM T WHERE a > 1", "UPDATE T SET a = 1", "SELECT * FROM T WHERE a = 'x",
          "SELECT * FROM T; DROP TABLE T", "SELECT * FROM [T", "SELECT FROM T",
          "SELECT * FROM T WHERE a = b", "SELECT * FROM T WHERE a = 1.2.3", "", "SELECT * T"}) {
        try {
            analizarSql(sql);
            ADD_FAILURE() << "accepted: " << sql;
        } catch (const ErrorSql& e) {
            EXPECT_NE(std::string(e.what()).find(sql), std::string::npos) << e.what();
        }
    }
}

TablaLeida clientes() {
    const auto n = [](const char* t) { return Valor::numero(t); };
    const auto t = [](const char* s) { return Valor::texto(s); };
    return {"CLIENTES",
            {"IDCLIENTE", "nombre", "Grupo", "CESE"},
            {{n("3"), t("Peña Ibáñez"), t("ORO"), Valor::nulo()},
             {n("10"), t("Álvarez"), Valor::nulo(), t("2020-01-01 00:00:00")},
             {n("2"), t("zapata"), t("oro"), Valor::nulo()},
             {n("2.0"), t("Bravo"), t("Plata"), Valor::nulo()}}};
}

std::vector<std::string> column(const TablaLeida& t, std::size_t c) {
    std::vector<std::string> out;
    for (const auto& row : t.filas) {
        out.push_back(row[c].esNulo() ? "NULL" : row[c].comoTexto());
    }
    return out;
}

TEST(EvaluarConsultaTest, FiltersWithJetRules) {
    const TablaLeida t = clientes();
    const auto run = [&](const char* sql) { return evaluarConsulta(analizarSql(sql), t); };
    EXPECT_EQ(column(run("SELECT nombre FROM c WHERE idcliente = 2"), 0),
              (std::vector<std::string>{"zapata", "Bravo"}));
    EXPECT_EQ(column(run("SELECT nombre FROM c WHERE Grupo = 'oro'"), 0),
              (std::vector<std::string>{"Peña Ibáñez", "zapata"}));
    EXPECT_EQ(column(run("SELECT nombre FROM c WHERE nombre = 'PEÑA IBÁÑEZ'"), 0),
              (std::vector<std::string>{"Peña Ibáñez"}));
    EXPECT_EQ(column(run("SELECT IDCLIENTE FROM c WHERE CESE IS NULL AND Grupo = 'ORO'"), 0),
              (std::vector<std::string>{"3", "2"}));
    EXPECT_EQ(column(run("SELECT nombre FROM c WHERE Grupo IS NOT NULL AND IDCLIENTE = '3'"), 0),
              (std::vector<std::string>{"Peña Ibáñez"}));
    EXPECT_TRUE(run("SELECT * FROM c WHERE Grupo = ''").filas.empty());
    EXPECT_EQ(run("SELECT * FROM c").columnas.size(), 4U);
}

TEST(EvaluarConsultaTest, SortsNullsFirstNumbersAsNumbersAndTextsWithoutCase) {
    const TablaLeida t = clientes();
    const auto run = [&](const char* sql) { return evaluarConsulta(analizarSql(sql), t); };
    EXPECT_EQ(column(run("SELECT IDCLIENTE FROM c ORDER BY IDCLIENTE"), 0),
              (std::vector<std::string>{"2", "2.0", "3", "10"}));
    EXPECT_EQ(column(run("SELECT nombre FROM c ORDER BY nombre DESC"), 0),
              (std::vector<std::string>{"zapata", "Peña Ibáñez", "Bravo", "Álvarez"}));
    EXPECT_EQ(column(run("SELECT Grupo FROM c ORDER BY Grupo"), 0),
              (std::vector<std::string>{"NULL", "ORO", "oro", "Plata"}));
}

TEST(EvaluarConsultaTest, AnUnknownFieldIsAnErrorNotAnEmptyAnswer) {
    const TablaLeida t = clientes();
    EXPECT_THROW(evaluarConsulta(analizarSql("SELECT * FROM c WHERE falta = 1"), t), ErrorSql);
    EXPECT_THROW(evaluarConsulta(analizarSql("SELECT falta FROM c"), t), ErrorSql);
    EXPECT_THROW(evaluarConsulta(analizarSql("SELECT * FROM c ORDER BY falta"), t), ErrorSql);
}

} // namespace
} // namespace envio
