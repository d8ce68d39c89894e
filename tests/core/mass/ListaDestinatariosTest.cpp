// The notice window's recipient list from generated suites, Access and SQLite alike.
#include "mass/ListaDestinatarios.h"

#include "DialogosGrabados.h"
#include "GeneradorSuite.h"
#include "RelojFijo.h"
#include "TemporaryFolder.h"
#include "settings/IniFile.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace envio::masivo {
namespace {

using test::TemporaryFolder;

suitegen::Cliente cliente(long long id, std::string nombre, std::optional<std::string> grupo,
                          std::vector<suitegen::FilaTelefono> telefonos, bool cesado = false) {
    suitegen::Cliente c;
    c.id = id;
    c.nombre = std::move(nombre);
    c.grupo = std::move(grupo);
    c.cesado = cesado;
    c.telefonos = std::move(telefonos);
    return c;
}

struct Fila {
    std::string texto;
    std::string email;
    bool marcada;
    bool operator==(const Fila&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Fila& f) {
    return os << "{" << f.texto << " | " << f.email << " | " << f.marcada << "}";
}

std::vector<Fila> filas(const ListaVista& lv) {
    std::vector<Fila> out;
    for (const auto& f : lv.filas()) {
        out.push_back({f.texto, f.subitems[0], f.marcada});
    }
    return out;
}

std::vector<bool> marcas(const ListaVista& lv) {
    std::vector<bool> out;
    for (const auto& f : lv.filas()) {
        out.push_back(f.marcada);
    }
    return out;
}

class ListaDestinatariosTest : public ::testing::TestWithParam<suitegen::Formato> {
protected:
    TemporaryFolder folder;
    test::DialogosGrabados dialogos;
    std::optional<ContextoAnfitrion> contexto;
    suitegen::SuiteGenerada suite;
    ListaVista lv;

    void build(suitegen::DescripcionSuite d) {
        d.formato = GetParam();
        suite = suitegen::generarSuite(folder.path(), d);
        contexto = iniciarContexto(CarpetaPrograma(folder.path()), dialogos,
                                   test::RelojFijo({2026, 3, 20}));
        ASSERT_TRUE(contexto);
    }
};

suitegen::DescripcionSuite clientesVarios() {
    suitegen::DescripcionSuite d;
    d.clientes = {
        cliente(7, "Sin correo", "12", {{"T", "912345678", 1}}),
        cliente(3, "Ambos uno", "12", {{"E", "uno@ejemplo.es", 1}, {"E", "dos@ejemplo.es", 1}}),
        cliente(1, "Cero y uno", "12",
                {{"E", " cero@ejemplo.es", 0}, {"E", " uno@ejemplo.es  ", 1}}),
        cliente(2, "Ambos cero", "12",
                {{"E", "primero@ejemplo.es", 0}, {"E", "ultimo@ejemplo.es", 0}}),
        cliente(8, "Sin filas", "12", {}),
        cliente(9, "Numero vacio", "12", {{"E", std::nullopt, 0}}),
        cliente(10, "Cesado", "12", {{"E", "cesado@ejemplo.es", 1}}, true),
        cliente(42, "Cuarenta y dos", "12", {{"E", "c42@ejemplo.es", std::nullopt}}),
        cliente(123456, "Seis cifras", "12", {{"E", "seis@ejemplo.es", 0}}),
    };
    return d;
}

TEST_P(ListaDestinatariosTest, ListsActiveClientsWithAnEmailRowByNumberWithTheChosenAddress) {
    build(clientesVarios());
    ListaDestinatarios origen(*contexto);
    origen.LlenarLvClientes(lv, "");
    EXPECT_EQ(filas(lv), (std::vector<Fila>{
                             {"00001 Cero y uno", "uno@ejemplo.es", false},
                             {"00002 Ambos cero", "ultimo@ejemplo.es", false},
                             {"00003 Ambos uno", "uno@ejemplo.es", false},
                             {"00009 Numero vacio", "", false},
                             {"00042 Cuarenta y dos", "c42@ejemplo.es", false},
                             {"123456 Seis cifras", "seis@ejemplo.es", false},
                         }));
}

suitegen::DescripcionSuite grupos() {
    suitegen::DescripcionSuite d;
    d.clientes = {
        cliente(1, "Uno", "3124", {{"E", "a@ejemplo.es", 0}}),
        cliente(2, "Dos", "21", {{"E", "b@ejemplo.es", 0}}),
        cliente(3, "Tres", "xA1", {{"E", "c@ejemplo.es", 0}}),
        cliente(4, "Cuatro", std::nullopt, {{"E", "d@ejemplo.es", 0}}),
        cliente(5, "Cinco", " 1 2 ", {{"E", "e@ejemplo.es", 0}}),
    };
    return d;
}

TEST_P(ListaDestinatariosTest, TheGroupFilterChecksRowsWhoseGroupHoldsTheTrimmedText) {
    build(grupos());
    ListaDestinatarios origen(*contexto);
    origen.LlenarLvClientes(lv, "12");
    EXPECT_EQ(marcas(lv), (std::vector<bool>{true, false, false, false, false}));
    origen.LlenarLvClientes(lv, "  12 ");
    EXPECT_EQ(marcas(lv), (std::vector<bool>{true, false, false, false, false}));
    origen.LlenarLvClientes(lv, "A");
    EXPECT_EQ(marcas(lv), (std::vector<bool>{false, false, true, false, false}));
    origen.LlenarLvClientes(lv, "a"); // letter case counts
    EXPECT_EQ(marcas(lv), (std::vector<bool>{false, false, false, false, false}));
    origen.LlenarLvClientes(lv, "   "); // blanks only: nothing
    EXPECT_EQ(marcas(lv), (std::vector<bool>{false, false, false, false, false}));
    origen.LlenarLvClientes(lv, "1"); // a null group never matches
    EXPECT_EQ(marcas(lv), (std::vector<bool>{true, true, true, false, true}));
    origen.LlenarLvClientes(lv, "1 2"); // the group itself is not trimmed, inner blanks count
    EXPECT_EQ(marcas(lv), (std::vector<bool>{false, false, false, false, true}));
}

TEST_P(ListaDestinatariosTest, EachRebuildForgetsChecksSetByHand) {
    build(grupos());
    ListaDestinatarios origen(*contexto);
    origen.LlenarLvClientes(lv, "1");
    lv.fila(3).marcada = true;
    origen.LlenarLvClientes(lv, "12");
    EXPECT_EQ(marcas(lv), (std::vector<bool>{true, false, false, false, false}));
}

TEST_P(ListaDestinatariosTest, AChangedDatabaseFileIsReadAgain) {
    build(grupos());
    ListaDestinatarios origen(*contexto);
    origen.LlenarLvClientes(lv, "");
    ASSERT_EQ(lv.cantidad(), 5U);
    if (GetParam() == suitegen::Formato::Sqlite) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(suite.baseDatos.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db,
                               "UPDATE CLIENTES SET nombre = 'Uno Renovado' WHERE IDCLIENTE = 1;"
                               "UPDATE CLIENTES SET CESE = 40000 WHERE IDCLIENTE = 2;"
                               "INSERT INTO CLITELEFONOS VALUES (1, 'E', 'nuevo@ejemplo.es', 1);",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    } else {
        // The suite writes its Access file anew; so does the generator.
        auto d = grupos();
        d.formato = GetParam();
        d.clientes[0].nombre = "Uno Renovado";
        d.clientes[0].telefonos.push_back({"E", "nuevo@ejemplo.es", 1});
        d.clientes[1].cesado = true;
        suitegen::generarSuite(folder.path(), d);
    }
    origen.LlenarLvClientes(lv, "");
    ASSERT_EQ(lv.cantidad(), 4U);
    EXPECT_EQ(lv.fila(0).texto, "00001 Uno Renovado");
    EXPECT_EQ(lv.fila(0).subitems[0], "nuevo@ejemplo.es");
    EXPECT_EQ(lv.fila(1).texto, "00003 Tres");
}

TEST_P(ListaDestinatariosTest, SeleccionChecksClearsAndInvertsAndIgnoresOtherWords) {
    build(grupos());
    ListaDestinatarios origen(*contexto);
    origen.LlenarLvClientes(lv, "");
    lv.fila(0).marcada = true;
    lv.fila(2).marcada = true;
    Seleccion(lv, "INVERTIR");
    EXPECT_EQ(marcas(lv), (std::vector<bool>{false, true, false, true, true}));
    Seleccion(lv, "todo");
    Seleccion(lv, "OTRO");
    EXPECT_EQ(marcas(lv), (std::vector<bool>{false, true, false, true, true}));
    Seleccion(lv, "TODO");
    EXPECT_EQ(marcas(lv), (std::vector<bool>(5, true)));
    Seleccion(lv, "NADA");
    EXPECT_EQ(marcas(lv), (std::vector<bool>(5, false)));
}

std::vector<std::string> columna(const ListaVista& lv, int c) {
    std::vector<std::string> out;
    for (const auto& f : lv.filas()) {
        out.push_back(c == 0 ? f.texto : f.subitems[0]);
    }
    return out;
}

TEST_P(ListaDestinatariosTest, HeaderClicksToggleTheOrderWhicheverColumnAndSurviveARebuild) {
    suitegen::DescripcionSuite d;
    d.clientes = {cliente(1, "Zeta", "1", {{"E", "b@ejemplo.es", 0}}),
                  cliente(2, "Alfa", "2", {{"E", "c@ejemplo.es", 0}}),
                  cliente(3, "Beta", "1", {{"E", "a@ejemplo.es", 0}})};
    build(d);
    ListaDestinatarios origen(*contexto);
    origen.LlenarLvClientes(lv, "");
    lv.clicEnCabecera(1);
    EXPECT_EQ(columna(lv, 1),
              (std::vector<std::string>{"a@ejemplo.es", "b@ejemplo.es", "c@ejemplo.es"}));
    lv.clicEnCabecera(1);
    EXPECT_EQ(columna(lv, 1),
              (std::vector<std::string>{"c@ejemplo.es", "b@ejemplo.es", "a@ejemplo.es"}));
    lv.clicEnCabecera(0); // toggled from descending, not reset
    EXPECT_EQ(columna(lv, 0), (std::vector<std::string>{"00001 Zeta", "00002 Alfa", "00003 Beta"}));
    lv.clicEnCabecera(0);
    EXPECT_EQ(columna(lv, 0), (std::vector<std::string>{"00003 Beta", "00002 Alfa", "00001 Zeta"}));
    origen.LlenarLvClientes(lv, "1");
    EXPECT_EQ(columna(lv, 0), (std::vector<std::string>{"00003 Beta", "00002 Alfa", "00001 Zeta"}));
    EXPECT_EQ(marcas(lv), (std::vector<bool>{true, false, true}));
}

suitegen::DescripcionSuite nomina() {
    suitegen::DescripcionSuite d;
    d.nomina = true;
    d.empleados = {{42, "Pérez"}};
    d.alternativas = {{"12345678Z", "  perez@ejemplo.es ", "Pérez García"},
                      {"87654321X", std::nullopt, "Sin Correo"},
                      {"11111111H", "ana@ejemplo.es", "Ana"}};
    return d;
}

TEST_P(ListaDestinatariosTest, PayrollModeListsTheAlternativeTableAsItIs) {
    build(nomina());
    ASSERT_EQ(contexto->modo, Modo::Nomina);
    EXPECT_EQ(fuenteParaTipo(contexto->tipos.front()), Fuente::Alternativa);
    ListaDestinatarios origen(*contexto);
    origen.LlenarLvAlternativo(lv);
    EXPECT_EQ(filas(lv), (std::vector<Fila>{{"Pérez García", "  perez@ejemplo.es ", false},
                                            {"Sin Correo", "", false},
                                            {"Ana", "ana@ejemplo.es", false}}));
}

TEST_P(ListaDestinatariosTest, WithoutANameFieldTheAlternativeRowsShowTheTaxNumber) {
    auto d = nomina();
    d.formato = GetParam();
    suitegen::generarSuite(folder.path(), d);
    EscribirIni(folder / "KRN.INI", "EMAIL_ALTERNATIVO", "NOMBRE_CAMPO", "  ");
    contexto =
        iniciarContexto(CarpetaPrograma(folder.path()), dialogos, test::RelojFijo({2026, 3, 20}));
    ASSERT_TRUE(contexto);
    ListaDestinatarios origen(*contexto);
    origen.LlenarLvAlternativo(lv);
    EXPECT_EQ(columna(lv, 0), (std::vector<std::string>{"12345678Z", "87654321X", "11111111H"}));
}

TEST_P(ListaDestinatariosTest, WithoutAnAlternativeSourceTheListStaysEmpty) {
    suitegen::DescripcionSuite d;
    d.nomina = true;
    d.empleados = {{42, "Pérez"}};
    build(d);
    ASSERT_FALSE(contexto->dbAlternativa);
    ListaDestinatarios origen(*contexto);
    lv.agregar("de antes");
    origen.LlenarLvAlternativo(lv);
    EXPECT_TRUE(lv.vacia());
}

TEST(FuenteParaTipo, OnlyTheExactInvoiceTypeListsClients) {
    EXPECT_EQ(fuenteParaTipo("FACTURAS"), Fuente::Clientes);
    EXPECT_EQ(fuenteParaTipo("facturas"), Fuente::Alternativa);
    EXPECT_EQ(fuenteParaTipo("NOMINAS"), Fuente::Alternativa);
}

INSTANTIATE_TEST_SUITE_P(Formatos, ListaDestinatariosTest,
                         ::testing::Values(suitegen::Formato::Jet, suitegen::Formato::Sqlite),
                         [](const auto& info) {
                             return info.param == suitegen::Formato::Jet ? "Jet" : "Sqlite";
                         });

} // namespace
} // namespace envio::masivo
