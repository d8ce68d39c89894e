// A sending run of 500 invoices of 60 KB to the local test mail server, with authentication:
// documents per second for the whole run (address check, ledger, message, rename, work table).
// The mail layer's own figure is in mail_bench.
#include "DialogosGrabados.h"
#include "GeneradorSuite.h"
#include "RelojFijo.h"
#include "TemporaryFolder.h"
#include "TestMailServer.h"
#include "catalogue/Catalogo.h"
#include "catalogue/Seleccion.h"
#include "mail/MandarCorreos.h"
#include "platform/CurlMailTransport.h"

#include <benchmark/benchmark.h>

namespace {

class SinVentana : public envio::ObservadorEnvio, public envio::VisorInforme {
public:
    void mostrar(const envio::SolicitudInforme&) override {}
};

class SiempreConectado : public envio::ConnectivityProbe {
public:
    bool hayConexion(std::string_view) override { return true; }
};

void EnvioDe500Facturas(benchmark::State& state) {
    constexpr int kDocumentos = 500;
    envio::test::MailServerOptions options;
    options.user = "envios";
    options.password = "clave";
    envio::test::TestMailServer server(options);
    int sent = 0;
    for (auto _ : state) {
        state.PauseTiming();
        envio::test::TemporaryFolder folder;
        suitegen::generarSuite(folder.path(),
                               suitegen::suiteParaEnviar(kDocumentos, 60000, server.plainPort()));
        envio::test::DialogosGrabados dialogos;
        auto contexto = envio::iniciarContexto(envio::CarpetaPrograma(folder.path()), dialogos,
                                               envio::test::RelojFijo({2026, 3, 20}));
        envio::ListaVista lista;
        envio::Catalogo(*contexto).ActualizarLista({"FACTURAS", "2026", 3, ""}, lista);
        envio::Seleccionar(lista, "TODO");
        SinVentana ventana;
        SiempreConectado sonda;
        envio::CurlMailTransport componente;
        envio::RegistroEnvios registro(envio::RegistroEnvios::archivoEn(folder.path()));
        envio::Reservas reservas(folder.path(), envio::currentProcess());
        std::atomic<bool> cancelar{false};
        envio::EntornoEnvio entorno{contexto->correo, contexto->carpeta, dialogos, ventana,
                                    ventana,          componente,        sonda,    registro,
                                    reservas,         cancelar};
        state.ResumeTiming();
        sent += envio::MandarCorreos(lista.filas(), entorno).enviados;
    }
    state.counters["documentos_por_segundo"] =
        benchmark::Counter(sent, benchmark::Counter::kIsRate);
}
BENCHMARK(EnvioDe500Facturas)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

} // namespace
