// "Revisar antes de enviar" over a month of payslips: by default 2,000 documents of 100 KB, each
// a page of text with its employee's name and NIF, reviewed as a run reviews them before
// sending (files, PDF text with Poppler on every processor, the ledger's and the claims' word
// on documents already sent). The target is under 2 seconds.
//
//   revision_bench [--documentos=N] [--kb=K] [--rondas=R] [--hilos=H]
//
// The month is generated once (not timed); each round reviews all of it and prints the time.
#include "ApoyoBench.h"
#include "DialogosGrabados.h"
#include "DoblesEnvio.h"
#include "GeneradorSuite.h"
#include "RelojFijo.h"
#include "TemporaryFolder.h"
#include "catalogue/Catalogo.h"
#include "catalogue/Seleccion.h"
#include "mail/PuestoEnvio.h"
#include "revision/EnvioRevisado.h"
#include "settings/IniFile.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

struct Opciones {
    int documentos = 2000;
    std::size_t kb = 100;
    int rondas = 5;
    unsigned hilos = 0;
};

Opciones leerOpciones(int argc, char** argv) {
    Opciones o;
    bench::leerOpciones(
        argc, argv,
        {{"--documentos=", [&o](const char* v) { o.documentos = std::stoi(v); }},
         {"--kb=", [&o](const char* v) { o.kb = std::stoul(v); }},
         {"--rondas=", [&o](const char* v) { o.rondas = std::stoi(v); }},
         {"--hilos=", [&o](const char* v) { o.hilos = static_cast<unsigned>(std::stoul(v)); }}});
    return o;
}

std::string nifDe(int n) {
    const std::string numero = std::to_string(10000000 + n);
    return numero + "TRWAGMYFPDXBNJZSQVHLCKE"[(10000000 + n) % 23];
}

// A payslip's page: the employee, the NIF and the lines of the pay.
std::vector<std::string> textoNomina(int n) {
    std::vector<std::string> lineas = {"Empresa de Ejemplo, S.L.  CIF B12345678",
                                       "Trabajador: Empleado Número " + std::to_string(n),
                                       "NIF: " + nifDe(n), "Periodo: 01/03/2026 a 31/03/2026"};
    for (int i = 0; i < 25; ++i) {
        lineas.push_back("Concepto " + std::to_string(i) + " ........ " +
                         std::to_string(100 + i * 7) + ",00");
    }
    lineas.push_back("Líquido a percibir: 1.834,56");
    return lineas;
}

suitegen::DescripcionSuite mesDeNominas(const Opciones& o) {
    suitegen::DescripcionSuite d;
    d.formato = suitegen::Formato::Sqlite;
    d.nomina = true;
    for (int n = 1; n <= o.documentos; ++n) {
        d.empleados.push_back({n, "Empleado Número " + std::to_string(n)});
        d.alternativas.push_back(
            {nifDe(n), "empleado" + std::to_string(n) + "@ejemplo.es", "E" + std::to_string(n)});
        d.documentos.push_back({suitegen::nombreNomina(n, 2026, 3, 'M', nifDe(n)), "NOMINAS",
                                o.kb * 1024, textoNomina(n)});
    }
    suitegen::ServidorCorreo correo;
    correo.cuenta = "nominas@ejemplo.es";
    d.correo = correo;
    return d;
}

} // namespace

int main(int argc, char** argv) {
    using namespace envio;
    const Opciones o = leerOpciones(argc, argv);
    test::TemporaryFolder carpeta;
    std::printf("generando %d nóminas de %zu KB...\n", o.documentos, o.kb);
    suitegen::generarSuite(carpeta.path(), mesDeNominas(o));
    EscribirIni(carpeta / "KRN.INI", "DocumentoPORemail", "ProtegerConNIF", "1");

    test::DialogosGrabados dialogos;
    auto contexto =
        iniciarContexto(CarpetaPrograma(carpeta.path()), dialogos, test::RelojFijo({2026, 3, 31}));
    if (!contexto) {
        std::fprintf(stderr, "la suite generada no arranca\n");
        return 1;
    }
    ListaVista lista;
    Catalogo(*contexto).ActualizarLista({"NOMINAS", "2026", 3, ""}, lista);
    Seleccionar(lista, "todo");
    PuestoEnvio puesto(contexto->carpeta);
    ObservadorEnvio observador;
    std::vector<SolicitudInforme> informes;
    test::VisorEnLista visor(informes);
    std::atomic<bool> cancelar{false};
    EntornoEnvio entorno =
        puesto.entorno(contexto->correo(), dialogos, observador, visor, cancelar);
    const unsigned hilos = o.hilos != 0 ? o.hilos : std::thread::hardware_concurrency();
    std::printf("%zu documentos en la lista, %u hilos\n", lista.cantidad(), hilos);

    double mejor = 1e9;
    for (int r = 0; r < o.rondas; ++r) {
        MediosRevision medios{puesto.pdf(), {}};
        auto reglas = reglasDelEnvio(Modo::Nomina, entorno, medios);
        reglas.hilos = hilos;
        const auto inicio = std::chrono::steady_clock::now();
        const auto hallazgos = revisarEnvio(lista.filas(), reglas, puesto.pdf());
        const std::chrono::duration<double> s = std::chrono::steady_clock::now() - inicio;
        mejor = std::min(mejor, s.count());
        std::printf("ronda %d: %.3f s, %.0f documentos/s, %zu hallazgos\n", r + 1, s.count(),
                    static_cast<double>(lista.cantidad()) / s.count(), hallazgos.size());
        if (!hallazgos.empty()) {
            std::printf("  primero: %s\n", lineaHallazgo(hallazgos.front()).c_str());
        }
    }
    std::printf("mejor ronda: %.3f s (objetivo: menos de 2 s)\n", mejor);
    return 0;
}
