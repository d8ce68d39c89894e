// Reading the suite's Access files. Every query reads its whole table through libmdb in a child
// process (a damaged file must not bring the program down) and answers the SQL in our code, so
// the table read sets the pace: a full read of a 4-column table must reach 300,000 rows/s.
// The catalogue's own queries run over an invoicing database of 20,000 clients and 40,000
// telephone rows. The files are written by our Jet writer into a temporary folder.
//
// The parts of the read are measured apart too, to show where the time goes: libmdb in this
// process (LectorJet), the trip of the rows through the pipe (serialisation), and the SQL.
#include "TemporaryFolder.h"
#include "database/BaseDatos.h"
#include "database/ConsultaSql.h"
#include "database/EvaluarConsulta.h"
#include "database/SerializarTabla.h"
#include "platform/LectorJet.h"

#include <JetWriter.h>
#include <benchmark/benchmark.h>
#include <memory>
#include <stdexcept>

namespace {

using envio::BaseDatos;
using jetwriter::ColumnType;
using jetwriter::Value;

constexpr int kFilasTabla = 200'000;
constexpr int kClientes = 20'000;

std::string nombreDe(int i) {
    static const char* const apellidos[] = {"García", "Fernández", "López", "Martínez",  "Sánchez",
                                            "Pérez",  "Gómez",     "Ruiz",  "Hernández", "Jiménez",
                                            "Díaz",   "Moreno",    "Muñoz", "Álvarez",   "Romero"};
    return std::string(apellidos[i % 15]) + " " + apellidos[(i / 15) % 15] + ", cliente " +
           std::to_string(i);
}

// A 4-column table like the suite's client list: a number, a name, a small number and a date.
const std::filesystem::path& tablaGrande() {
    static envio::test::TemporaryFolder carpeta;
    static const std::filesystem::path archivo = [] {
        jetwriter::Database db;
        auto& t = db.addTable("MOVIMIENTOS", {{"ID", ColumnType::Long},
                                              {"CONCEPTO", ColumnType::Text, 60},
                                              {"CANTIDAD", ColumnType::Integer},
                                              {"FECHA", ColumnType::DateTime}});
        for (int i = 0; i < kFilasTabla; ++i) {
            t.addRow({Value(i), Value(nombreDe(i)), Value(i % 1000 - 500),
                      i % 10 == 0 ? Value::null()
                                  : Value(jetwriter::DateTime::fromCivil(2000 + i % 26, 1 + i % 12,
                                                                         1 + i % 28, i % 24))});
        }
        const auto ruta = carpeta / "movimientos.mdb";
        db.write(ruta);
        return ruta;
    }();
    return archivo;
}

// The invoicing database as the catalogue sees it: CLIENTES and their CLITELEFONOS rows, an
// e-mail ('E') and a telephone ('T') for each client.
const std::filesystem::path& baseFacturas() {
    static envio::test::TemporaryFolder carpeta;
    static const std::filesystem::path archivo = [] {
        jetwriter::Database db;
        auto& clientes = db.addTable("CLIENTES", {{"IDCLIENTE", ColumnType::Long},
                                                  {"nombre", ColumnType::Text, 100},
                                                  {"Grupo", ColumnType::Text, 50},
                                                  {"CESE", ColumnType::DateTime}});
        auto& telefonos = db.addTable("CLITELEFONOS", {{"IDEMPRESA", ColumnType::Long},
                                                       {"TIPO", ColumnType::Text, 1},
                                                       {"numero", ColumnType::Text, 100},
                                                       {"Prioridad", ColumnType::Integer}});
        for (int i = 1; i <= kClientes; ++i) {
            clientes.addRow(
                {Value(i), Value(nombreDe(i)),
                 i % 3 == 0 ? Value::null() : Value(i % 2 == 0 ? "ORO" : "PLATA"),
                 i % 20 == 0 ? Value(jetwriter::DateTime::fromCivil(2020, 1, 31)) : Value::null()});
            telefonos.addRow({Value(i), Value("E"),
                              Value("cliente" + std::to_string(i) + "@ejemplo.es"), Value(i % 2)});
            telefonos.addRow(
                {Value(i), Value("T"), Value("9" + std::to_string(10000000 + i)), Value(0)});
        }
        const auto ruta = carpeta / "facturas.mdb";
        db.write(ruta);
        return ruta;
    }();
    return archivo;
}

void contar(benchmark::State& state, std::size_t filasPorVuelta) {
    state.counters["filas/s"] = benchmark::Counter(static_cast<double>(filasPorVuelta) *
                                                       static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
}

// What the program does: the whole table through the child process, as a record set.
void LeerTablaJet4DeCuatroColumnas(benchmark::State& state) {
    const auto db = BaseDatos::abrir(tablaGrande());
    std::size_t filas = 0;
    for (auto _ : state) {
        const auto r = db->abrirRegistros("SELECT * FROM MOVIMIENTOS");
        filas = r.cantidad();
        benchmark::DoNotOptimize(filas);
    }
    if (filas != kFilasTabla) {
        state.SkipWithError("the table did not read whole");
    }
    contar(state, filas);
}
BENCHMARK(LeerTablaJet4DeCuatroColumnas)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same with the file opened first, as a one-off look at a database does.
void AbrirYLeerTablaJet4DeCuatroColumnas(benchmark::State& state) {
    std::size_t filas = 0;
    for (auto _ : state) {
        filas =
            BaseDatos::abrir(tablaGrande())->abrirRegistros("SELECT * FROM MOVIMIENTOS").cantidad();
    }
    contar(state, filas);
}
BENCHMARK(AbrirYLeerTablaJet4DeCuatroColumnas)->Unit(benchmark::kMillisecond)->UseRealTime();

// libmdb and the decoding of values alone, in this process: the ceiling for the read above.
void LeerTablaJet4EnEsteProceso(benchmark::State& state) {
    envio::LectorJet lector(tablaGrande());
    std::size_t filas = 0;
    for (auto _ : state) {
        filas = lector.leerTabla("MOVIMIENTOS", {}).filas.size();
    }
    contar(state, filas);
}
BENCHMARK(LeerTablaJet4EnEsteProceso)->Unit(benchmark::kMillisecond)->UseRealTime();

// The rows' way from the child to the parent, without the pipe.
void SerializarYRecuperarLaTabla(benchmark::State& state) {
    const envio::TablaLeida tabla = envio::LectorJet(tablaGrande()).leerTabla("MOVIMIENTOS", {});
    for (auto _ : state) {
        benchmark::DoNotOptimize(envio::deserializarTabla(envio::serializarTabla(tabla)));
    }
    contar(state, tabla.filas.size());
}
BENCHMARK(SerializarYRecuperarLaTabla)->Unit(benchmark::kMillisecond)->UseRealTime();

// The catalogue's queries on the invoicing database (the database stays open, as it does in
// the program).
void ConsultaSobreBaseFacturas(benchmark::State& state, const char* sql,
                               std::size_t filasEsperadas) {
    const auto db = BaseDatos::abrir(baseFacturas());
    std::size_t filas = 0;
    for (auto _ : state) {
        filas = db->abrirRegistros(sql).cantidad();
        benchmark::DoNotOptimize(filas);
    }
    if (filas != filasEsperadas) {
        state.SkipWithError("unexpected number of rows");
    }
    state.counters["filas"] = static_cast<double>(filas);
}
BENCHMARK_CAPTURE(ConsultaSobreBaseFacturas, clientes_nombres,
                  "SELECT IDCLIENTE, nombre FROM CLIENTES", kClientes)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(ConsultaSobreBaseFacturas, telefonos_email,
                  "SELECT IDEMPRESA, numero, Prioridad FROM CLITELEFONOS WHERE TIPO = 'E'",
                  kClientes)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(ConsultaSobreBaseFacturas, clientes_activos_por_nombre,
                  "SELECT IDCLIENTE, nombre FROM CLIENTES WHERE CESE IS NULL ORDER BY nombre",
                  kClientes - kClientes / 20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(
    ConsultaSobreBaseFacturas, grupo_por_numero_desc,
    "select * from CLIENTES where Grupo = 'oro' AND CESE IS NULL order by IDCLIENTE desc;", 6000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// One look-up of the kind the invoice list would make per document: a whole-table read for one
// row, which is why the catalogue keeps its recipients in an index instead.
BENCHMARK_CAPTURE(ConsultaSobreBaseFacturas, un_cliente,
                  "SELECT * FROM CLIENTES WHERE IDCLIENTE = 12345", 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(ConsultaSobreBaseFacturas, email_de_un_cliente,
                  "SELECT * FROM CLITELEFONOS WHERE IDEMPRESA =12345 AND TIPO = 'E'", 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The SQL alone over rows already read: what the program adds to libmdb.
void EvaluarSqlSobreFilasLeidas(benchmark::State& state) {
    const envio::TablaLeida clientes = envio::LectorJet(baseFacturas()).leerTabla("CLIENTES", {});
    const auto consulta = envio::analizarSql(
        "SELECT IDCLIENTE, nombre FROM CLIENTES WHERE CESE IS NULL ORDER BY nombre");
    for (auto _ : state) {
        benchmark::DoNotOptimize(envio::evaluarConsulta(consulta, clientes));
    }
    contar(state, clientes.filas.size());
}
BENCHMARK(EvaluarSqlSobreFilasLeidas)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
