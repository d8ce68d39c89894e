// A run mails hundreds of documents one after the other; the mail layer must cost next to
// nothing beside libcurl itself. 500 messages of 100 KB over STARTTLS with AUTH to the local
// test server: the program's layer, a bare libcurl loop sending one pre-built message on one
// connection, and libcurl with a new connection per message. The server, single-threaded Python,
// limits the rates; the CPU spent per message in this process is the steadier figure.
#include "ApoyoBench.h"
#include "TemporaryFolder.h"
#include "TestMailServer.h"
#include "mail/clsCDOmail.h"
#include "platform/ConnectivityProbe.h"
#include "platform/CurlMailTransport.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <curl/curl.h>
#include <map>
#include <memory>
#include <random>

namespace {

constexpr int Mensajes = 500;
constexpr std::size_t TamanoAdjunto = 100 * 1024;
constexpr const char* Usuario = "oficina";
constexpr const char* Clave = "clave-de-prueba";

struct Medida {
    double segundos = 0;
    double cpuPorMensajeMs = 0;
    [[nodiscard]] double mensajesPorSegundo() const { return Mensajes / segundos; }
};
std::map<std::string, Medida> medidas;

double cpuSegundos() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The attachment in base64, lines of 76 characters, as a MIME encoder writes it.
std::string base64(const std::string& bytes) {
    static constexpr char alfabeto[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        const std::size_t resto = std::min<std::size_t>(3, bytes.size() - i);
        if (resto > 1) {
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        }
        if (resto > 2) {
            v |= static_cast<unsigned char>(bytes[i + 2]);
        }
        out += alfabeto[(v >> 18) & 63];
        out += alfabeto[(v >> 12) & 63];
        out += resto > 1 ? alfabeto[(v >> 6) & 63] : '=';
        out += resto > 2 ? alfabeto[v & 63] : '=';
        if (i / 3 % 19 == 18) {
            out += "\r\n";
        }
    }
    return out + "\r\n";
}

// The whole message, put together once: the bare loop only has to hand it to libcurl, so it
// is the limit a sender can reach on that connection.
std::string mensajeArmado(const std::string& pdf) {
    return "From: oficina@gestoria.es\r\nTo: cliente@ejemplo.es\r\nSubject: Factura\r\n"
           "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"frontera\"\r\n\r\n"
           "--frontera\r\nContent-Type: text/plain; charset=UTF-8\r\n"
           "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
           "Estimado cliente:\r\nle adjuntamos su factura.\r\n"
           "--frontera\r\nContent-Type: application/pdf\r\n"
           "Content-Disposition: attachment; filename=\"Factura.pdf\"\r\n"
           "Content-Transfer-Encoding: base64\r\n\r\n" +
           base64(pdf) + "--frontera--\r\n";
}

struct Entorno {
    envio::test::TestMailServer servidor;
    envio::test::TemporaryFolder carpeta;
    std::filesystem::path pdf;
    std::string mensaje; // what the bare loop sends

    Entorno() : servidor(opciones()) {
        // The server stands for another machine: a processor of its own, as in run_bench.
        bench::apartarServidor(servidor.pid());
        std::mt19937 azar(7);
        std::string bytes = "%PDF-1.4\n";
        while (bytes.size() < TamanoAdjunto) {
            bytes += static_cast<char>(azar() & 0xFF);
        }
        pdf = carpeta.write("Factura 2026-0001.pdf", bytes);
        mensaje = mensajeArmado(bytes);
    }
    static envio::test::MailServerOptions opciones() {
        envio::test::MailServerOptions o;
        o.tls = true;
        o.user = Usuario;
        o.password = Clave;
        return o;
    }
    [[nodiscard]] std::string url() const {
        return "smtp://127.0.0.1:" + std::to_string(servidor.startTlsPort());
    }
};

Entorno& entorno() {
    static Entorno e;
    return e;
}

// Sends messages `desde`..`hasta` and adds their wall and CPU time to `medida`.
template <typename Enviar> int cronometrar(Medida& medida, int desde, int hasta, Enviar enviar) {
    const auto inicio = std::chrono::steady_clock::now();
    const double cpu = cpuSegundos();
    int enviados = 0;
    for (int i = desde; i < hasta; ++i) {
        enviados += enviar(i) ? 1 : 0;
    }
    medida.cpuPorMensajeMs += (cpuSegundos() - cpu) * 1000 / Mensajes;
    medida.segundos +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
    return enviados;
}

void informar(benchmark::State& state, const std::string& nombre, const Medida& m, int enviados) {
    if (enviados != Mensajes) {
        state.SkipWithError((nombre + ": only " + std::to_string(enviados) + " sent").c_str());
        return;
    }
    medidas[nombre] = m;
    state.counters[nombre + "_msg/s"] = m.mensajesPorSegundo();
    state.counters[nombre + "_cpu_ms/msg"] = m.cpuPorMensajeMs;
}

// A hand-written libcurl sender at its leanest: the pre-built message, the same handle.
bool enviarConCurl(CURL* h, const Entorno& e, int i) {
    bench::Lectura lectura{&e.mensaje, 0};
    const std::string para = "cliente" + std::to_string(i) + "@ejemplo.es";
    curl_slist* rcpt = curl_slist_append(nullptr, ("<" + para + ">").c_str());
    curl_easy_setopt(h, CURLOPT_URL, e.url().c_str());
    curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    curl_easy_setopt(h, CURLOPT_CAINFO, e.servidor.certificate().c_str());
    curl_easy_setopt(h, CURLOPT_USERNAME, Usuario);
    curl_easy_setopt(h, CURLOPT_PASSWORD, Clave);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_MAIL_FROM, "<oficina@gestoria.es>");
    curl_easy_setopt(h, CURLOPT_MAIL_RCPT, rcpt);
    curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(h, CURLOPT_READFUNCTION, bench::leer);
    curl_easy_setopt(h, CURLOPT_READDATA, &lectura);
    curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(e.mensaje.size()));
    const bool ok = curl_easy_perform(h) == CURLE_OK;
    curl_easy_setopt(h, CURLOPT_MAIL_RCPT, nullptr);
    curl_slist_free_all(rcpt);
    return ok;
}

// The layer and the bare loop take turns in rounds of 25 messages, each on its own open
// connection, so that other work on the machine weighs on both alike.
void CapaFrenteACurlDesnudo(benchmark::State& state) {
    constexpr int Tanda = 25;
    Entorno& e = entorno();
    for (auto _ : state) {
        envio::OpcionesCurl opciones;
        opciones.archivoCA = e.servidor.certificate();
        envio::CurlMailTransport componente(opciones);
        envio::LinuxConnectivityProbe sonda;
        auto porLaCapa = [&](int i) {
            envio::clsCDOmail mail(componente, sonda);
            mail.servidor = "127.0.0.1";
            mail.puerto = static_cast<long long>(e.servidor.startTlsPort());
            mail.UseAuntentificacion = true;
            mail.ssl = true;
            mail.Usuario = Usuario;
            mail.PassWord = Clave;
            mail.de = "Gestoría <oficina@gestoria.es>";
            mail.para = "cliente" + std::to_string(i) + "@ejemplo.es";
            mail.Asunto = "Factura nº " + std::to_string(i);
            mail.Mensaje = "Estimado cliente:\nle adjuntamos su factura.\n";
            mail.Adjunto = e.pdf.string();
            return mail.Enviar();
        };
        CURL* h = curl_easy_init();
        auto aMano = [&](int i) { return enviarConCurl(h, e, i); };
        Medida capa, curl;
        int enviadosCapa = 0, enviadosCurl = 0;
        for (int desde = 0; desde < Mensajes; desde += Tanda) {
            if (desde / Tanda % 2 == 0) {
                enviadosCurl += cronometrar(curl, desde, desde + Tanda, aMano);
                enviadosCapa += cronometrar(capa, desde, desde + Tanda, porLaCapa);
            } else {
                enviadosCapa += cronometrar(capa, desde, desde + Tanda, porLaCapa);
                enviadosCurl += cronometrar(curl, desde, desde + Tanda, aMano);
            }
        }
        curl_easy_cleanup(h);
        informar(state, "capa", capa, enviadosCapa);
        informar(state, "curl", curl, enviadosCurl);
    }
}

void CurlUnaConexionPorMensaje(benchmark::State& state) {
    Entorno& e = entorno();
    for (auto _ : state) {
        Medida m;
        const int enviados = cronometrar(m, 0, Mensajes, [&e](int i) {
            CURL* h = curl_easy_init();
            const bool ok = enviarConCurl(h, e, i);
            curl_easy_cleanup(h);
            return ok;
        });
        informar(state, "porMensaje", m, enviados);
    }
}

BENCHMARK(CapaFrenteACurlDesnudo)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(CurlUnaConexionPorMensaje)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (medidas.contains("capa") && medidas.contains("curl")) {
        const Medida& capa = medidas["capa"];
        const Medida& curl = medidas["curl"];
        std::printf("\n%d messages of %zu KB, STARTTLS + AUTH, 127.0.0.1\n", Mensajes,
                    TamanoAdjunto / 1024);
        std::printf("  program's mail layer        %7.1f msg/s  %6.2f ms CPU/msg\n",
                    capa.mensajesPorSegundo(), capa.cpuPorMensajeMs);
        std::printf("  bare libcurl, one connection %6.1f msg/s  %6.2f ms CPU/msg\n",
                    curl.mensajesPorSegundo(), curl.cpuPorMensajeMs);
        if (medidas.contains("porMensaje")) {
            const Medida& nueva = medidas["porMensaje"];
            std::printf("  libcurl, connection per msg %6.1f msg/s  %6.2f ms CPU/msg\n",
                        nueva.mensajesPorSegundo(), nueva.cpuPorMensajeMs);
        }
        std::printf("ratio mail layer / bare libcurl: %.1f %% of the throughput (goal: >= 90 %%), "
                    "%.1f %% of the CPU per message\n",
                    100 * capa.mensajesPorSegundo() / curl.mensajesPorSegundo(),
                    100 * capa.cpuPorMensajeMs / curl.cpuPorMensajeMs);
    }
    curl_global_cleanup();
    return 0;
}
