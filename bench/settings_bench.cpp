// Loading the mail settings reads the settings file once per key; a suite's KRN.INI holds a few
// hundred lines, and the load runs at start-up and after every template save.
#include "TemporaryFolder.h"
#include "settings/ConfiguracionCorreo.h"
#include "settings/IniFile.h"

#include <benchmark/benchmark.h>

namespace {

std::string suiteLikeSettings() {
    std::string text;
    for (int s = 0; s < 40; ++s) {
        text += "[Seccion" + std::to_string(s) + "]\r\n";
        for (int k = 0; k < 10; ++k) {
            text +=
                "Clave" + std::to_string(k) + "=valor de la clave " + std::to_string(k) + "\r\n";
        }
    }
    text += "[servidor]\r\nServidor=smtp.ejemplo.es\r\nPuerto=587\r\n[DocumentoPORemail]\r\n";
    for (int m = 0; m < 5; ++m) {
        text += "Mensaje" + std::to_string(m) + "=" + std::string(200, 'x') + "\r\n";
    }
    return text;
}

void CargarConfiguracionDeUnKrnTipico(benchmark::State& state) {
    envio::test::TemporaryFolder carpeta;
    const auto ini = carpeta.write("KRN.INI", suiteLikeSettings());
    for (auto _ : state) {
        benchmark::DoNotOptimize(envio::CargarConfiguracion(ini));
    }
}
BENCHMARK(CargarConfiguracionDeUnKrnTipico);

void EscribirIniEnUnKrnTipico(benchmark::State& state) {
    envio::test::TemporaryFolder carpeta;
    const auto ini = carpeta.write("KRN.INI", suiteLikeSettings());
    for (auto _ : state) {
        envio::EscribirIni(ini, "servidor", "Puerto", "25");
    }
}
BENCHMARK(EscribirIniEnUnKrnTipico);

} // namespace
