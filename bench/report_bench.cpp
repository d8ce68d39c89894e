// A run that mailed a whole month's documents fills the work table with a few thousand rows; the
// report window must open on them, and --informe must write them, well within two seconds.
#include "TemporaryFolder.h"
#include "database/BaseDatos.h"
#include "gui/DibujarInforme.h"
#include "report/Informe.h"
#include "report/TablaTrabajo.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>

namespace {

const std::filesystem::path kDatos = ENVIO_REPORT_DATA;

envio::SolicitudInforme solicitudDeCincoMilFilas(const envio::test::TemporaryFolder& carpeta) {
    const auto base = envio::prepararBaseTrabajo(envio::CarpetaPrograma(carpeta.path())).baseDatos;
    auto db = envio::BaseDatos::abrir(base);
    for (int i = 1; i <= 5000; ++i) {
        char documento[64];
        std::snprintf(documento, sizeof documento, "%06d_20260315_%06d.ENVIADO.PDF", i % 900, i);
        db->agregarRegistro(
            "INFORMETMP2008",
            {{"CAMPO1", envio::Valor::texto(std::to_string(10000 + i) +
                                            " CONSTRUCCIONES Y REFORMAS PEÑA S.L.")},
             {"CAMPO2",
              envio::Valor::texto("administracion" + std::to_string(i) + "@empresa-de-ejemplo.es")},
             {"CAMPO3", envio::Valor::texto(documento)}});
    }
    return {"Envio de facturas", "Asunto: Facturas de marzo", base, "9Fac0019.rpt", "Contabilidad"};
}

void InformeDeCincoMilFilasEnPdf(benchmark::State& state) {
    envio::test::TemporaryFolder carpeta;
    const auto solicitud = solicitudDeCincoMilFilas(carpeta);
    for (auto _ : state) {
        envio::gui::exportarInformePdf(solicitud, envio::CarpetaPrograma(carpeta.path()),
                                       carpeta / "informe.pdf", {kDatos});
    }
}
BENCHMARK(InformeDeCincoMilFilasEnPdf)->Unit(benchmark::kMillisecond)->MinTime(2);

// What the window waits for before it shows the first page.
void InformeDeCincoMilFilasPaginado(benchmark::State& state) {
    envio::test::TemporaryFolder carpeta;
    const auto solicitud = solicitudDeCincoMilFilas(carpeta);
    for (auto _ : state) {
        benchmark::DoNotOptimize(envio::gui::prepararInformeQt(
            solicitud, envio::CarpetaPrograma(carpeta.path()), {kDatos}));
    }
}
BENCHMARK(InformeDeCincoMilFilasPaginado)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication aplicacion(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
