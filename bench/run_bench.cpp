// What a user waits for: a sending run of a generated month (300 invoices of 100 KB unless told
// otherwise) to the local test mail server with AUTH and no TLS, the real run with its ledger,
// claims, renames and work table, beside a bare libcurl loop that sends the same message bytes
// the same number of times on one kept connection. That loop does nothing between messages, so
// it is the limit a run can reach; the ratio says how close the run comes.
//
//   run_bench [--documentos=N] [--rondas=R] [--kb=K] [--compartido=1]
//
// The server stands for another machine: it gets a processor of its own and the benchmark the
// others (bench::apartarServidor), unless --compartido=1 leaves every process on every processor.
//
// Each round times the bare loop, the run, the mail layer alone on the same documents (the run
// without its bookkeeping) and the bare loop again, and prints the rates, the ratios against the
// two bare loops together, the CPU this process spends per document, and the resident memory
// before the run and at its peak. Every month is generated, untimed, before the first round. The
// median of the rounds is the figure: on a shared virtual machine the bare loop alone varies by
// half between seconds.
#include "ApoyoBench.h"
#include "DialogosGrabados.h"
#include "GeneradorSuite.h"
#include "RelojFijo.h"
#include "TemporaryFolder.h"
#include "TestMailServer.h"
#include "catalogue/Catalogo.h"
#include "catalogue/Seleccion.h"
#include "mail/MandarCorreos.h"
#include "mail/PuestoEnvio.h"
#include "mail/clsCDOmail.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <curl/curl.h>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Opciones {
    int documentos = 300;
    int rondas = 5;
    std::size_t kb = 100;
    bool compartido = false; // the server on the same processors as the benchmark
};

Opciones leerOpciones(int argc, char** argv) {
    Opciones o;
    bench::leerOpciones(
        argc, argv,
        {{"--documentos=", [&o](const char* v) { o.documentos = std::stoi(v); }},
         {"--rondas=", [&o](const char* v) { o.rondas = std::stoi(v); }},
         {"--kb=", [&o](const char* v) { o.kb = std::stoul(v); }},
         {"--compartido=", [&o](const char* v) { o.compartido = std::stoi(v) != 0; }}});
    return o;
}

class SinVentana : public envio::ObservadorEnvio, public envio::VisorInforme {
public:
    void mostrar(const envio::SolicitudInforme&) override {}
};

double segundosDesde(std::chrono::steady_clock::time_point inicio) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
}

// The kernel's high-water mark of this process's resident memory, reset so that the next
// reading covers only what follows.
void reiniciarPicoMemoria() {
    std::ofstream("/proc/self/clear_refs") << "5";
}
// Two look-ups of names that do not exist around the timed run, so that a trace of the whole
// process (`strace -f -o ...`) tells the run's own system calls from the month's generation, the
// bare loop's and the server's: the run's are those between the two.
struct MarcaParaStrace {
    MarcaParaStrace() { ::access("/run_bench-inicio", F_OK); }
    ~MarcaParaStrace() { ::access("/run_bench-fin", F_OK); }
    MarcaParaStrace(const MarcaParaStrace&) = delete;
    MarcaParaStrace& operator=(const MarcaParaStrace&) = delete;
};

// What creating one empty file in a month's folder costs right now, in microseconds: a run
// creates three per document there (its claim and the claim's answer mark). On ext4 without a
// journal, inodes freed in the last minutes (up to six when their blocks are still being
// written) are skipped one by one at every creation in the same block group, so a benchmark
// started right after another one removed its months, or after a test suite, pays several times
// as much for the same run. Each round prints this so that such a round can be told apart. The
// files stay with the month: removing them would be that very cost for the next round.
double costeDeCrearUs(const std::filesystem::path& carpeta) {
    constexpr int kArchivos = 100;
    const auto inicio = std::chrono::steady_clock::now();
    for (int i = 0; i < kArchivos; ++i) {
        std::ofstream(carpeta / (".sonda-" + std::to_string(i)));
    }
    return segundosDesde(inicio) * 1e6 / kArchivos;
}

struct Mes {
    envio::test::TemporaryFolder carpeta;
    envio::test::DialogosGrabados dialogos;
    std::optional<envio::ContextoAnfitrion> contexto;
    envio::ListaVista lista;

    Mes(int documentos, std::size_t bytes, int puerto) {
        suitegen::generarSuite(carpeta.path(),
                               suitegen::suiteParaEnviar(documentos, bytes, puerto));
        contexto = envio::iniciarContexto(envio::CarpetaPrograma(carpeta.path()), dialogos,
                                          envio::test::RelojFijo({2026, 3, 20}));
        if (!contexto) {
            throw std::runtime_error("the generated month does not start");
        }
        envio::Catalogo(*contexto).ActualizarLista({"FACTURAS", "2026", 3, ""}, lista);
        envio::Seleccionar(lista, "TODO");
    }

    // The whole run as --enviar builds it; returns the documents sent.
    int enviar() {
        const MarcaParaStrace marca;
        SinVentana ventana;
        std::atomic<bool> cancelar{false};
        envio::PuestoEnvio puesto(contexto->carpeta);
        auto entorno = puesto.entorno(contexto->correo(), dialogos, ventana, ventana, cancelar);
        const auto resultado = envio::MandarCorreos(lista.filas(), entorno);
        if (!dialogos.cuadros().empty()) {
            throw std::runtime_error("the run showed a box: " + dialogos.cuadros().front().texto);
        }
        return resultado.enviados;
    }

    // The mail layer alone, through the run's own component and settings: every document of the
    // month (under its sent name now) as one message, nothing between them. What the run adds
    // to this is its bookkeeping.
    int enviarSoloCapa() {
        SinVentana ventana;
        std::atomic<bool> cancelar{false};
        envio::PuestoEnvio puesto(contexto->carpeta);
        auto entorno = puesto.entorno(contexto->correo(), dialogos, ventana, ventana, cancelar);
        int enviados = 0;
        for (const auto& fila : lista.filas()) {
            envio::clsCDOmail oMail(entorno.componente, entorno.sonda);
            envio::usarConfiguracion(oMail, contexto->correo());
            oMail.para = fila.subitems[0];
            oMail.Asunto = contexto->correo().asunto;
            oMail.Mensaje = contexto->correo().mensaje;
            oMail.Adjunto = fila.etiqueta;
            enviados += oMail.Enviar() ? 1 : 0;
        }
        return enviados;
    }
};

// The same bytes `veces` times, one kept connection, nothing between the messages.
int bucleDesnudo(int puerto, const envio::test::ReceivedMessage& modelo, int veces) {
    CURL* h = curl_easy_init();
    bench::Lectura lectura{&modelo.raw, 0};
    const std::string url = "smtp://127.0.0.1:" + std::to_string(puerto);
    const std::string remitente = "<" + modelo.sender + ">";
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_USERNAME, "envios");
    curl_easy_setopt(h, CURLOPT_PASSWORD, "clave");
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_MAIL_FROM, remitente.c_str());
    curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(h, CURLOPT_READFUNCTION, bench::leer);
    curl_easy_setopt(h, CURLOPT_READDATA, &lectura);
    curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(modelo.raw.size()));
    int enviados = 0;
    for (int i = 1; i <= veces; ++i) {
        curl_slist* rcpt =
            curl_slist_append(nullptr, ("<cliente" + std::to_string(i) + "@ejemplo.es>").c_str());
        curl_easy_setopt(h, CURLOPT_MAIL_RCPT, rcpt);
        lectura.hecho = 0;
        enviados += curl_easy_perform(h) == CURLE_OK ? 1 : 0;
        curl_easy_setopt(h, CURLOPT_MAIL_RCPT, nullptr);
        curl_slist_free_all(rcpt);
    }
    curl_easy_cleanup(h);
    return enviados;
}

// What one phase gave: documents per second, this process's CPU per document, and the server's
// CPU per message with the share of the phase it was busy. A server busy all along is the limit;
// one that waited was kept waiting by the client.
struct Fase {
    double porSegundo = 0;
    double cpuMs = 0;
    double servidorMs = 0;
    double servidorOcupado = 0;
};

// The bare loops before and after the run as one: their rates together (as the time for the same
// documents), the rest averaged.
Fase juntas(const Fase& antes, const Fase& despues) {
    return {2 / (1 / antes.porSegundo + 1 / despues.porSegundo), (antes.cpuMs + despues.cpuMs) / 2,
            (antes.servidorMs + despues.servidorMs) / 2,
            (antes.servidorOcupado + despues.servidorOcupado) / 2};
}

struct Ronda {
    Fase ejecucion;
    double capa = 0;       // the mail layer alone, documents per second
    Fase desnudo;          // the bare loops before and after the run, juntas
    double creacionUs = 0; // costeDeCrearUs, before the run
    long antesKb = 0;      // resident before the run: every month's list is loaded
    long picoKb = 0;
    [[nodiscard]] double ratio() const { return ejecucion.porSegundo / desnudo.porSegundo; }
    [[nodiscard]] double ratioCapa() const { return capa / desnudo.porSegundo; }
};

void exigir(bool condicion, const std::string& que) {
    if (!condicion) {
        throw std::runtime_error(que);
    }
}

// The CPU the server's threads have had so far, in milliseconds, from the scheduler's own count.
double cpuServidorMs(pid_t servidor) {
    double ns = 0;
    const auto tareas = std::filesystem::path("/proc") / std::to_string(servidor) / "task";
    for (const auto& tarea : std::filesystem::directory_iterator(tareas)) {
        double suyo = 0;
        std::ifstream(tarea.path() / "schedstat") >> suyo;
        ns += suyo;
    }
    return ns / 1e6;
}

double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

template <typename Trabajo> Fase medirFase(pid_t servidor, int documentos, Trabajo trabajo) {
    const double cpu = cpuMs();
    const double cpuServidor = cpuServidorMs(servidor);
    const auto inicio = std::chrono::steady_clock::now();
    const int hechos = trabajo();
    const double segundos = segundosDesde(inicio);
    exigir(hechos == documentos, "a phase sent " + std::to_string(hechos));
    const double servidorMs = cpuServidorMs(servidor) - cpuServidor;
    return {hechos / segundos, (cpuMs() - cpu) / hechos, servidorMs / hechos,
            servidorMs / (segundos * 1e3)};
}

int medir(const Opciones& o) {
    envio::test::MailServerOptions opciones;
    opciones.user = "envios";
    opciones.password = "clave";
    // The server keeps what it receives in memory where the machine has such a folder: a mail
    // server is another machine, and its writes of hundreds of messages must not share this
    // disk with the ledger's waits for it.
    if (std::filesystem::is_directory("/dev/shm")) {
        opciones.parentFolder = "/dev/shm";
    }
    envio::test::TestMailServer servidor(opciones);
    const bool apartado = !o.compartido && bench::apartarServidor(servidor.pid());
    const int puerto = servidor.plainPort();
    const std::size_t bytes = o.kb * 1024;

    // A small untimed run warms everything up and gives the message the bare loop repeats.
    Mes calentamiento(10, bytes, puerto);
    exigir(calentamiento.enviar() == 10, "the warm-up run did not send its 10 documents");
    const auto modelo = servidor.messages().front();
    std::size_t esperados = 10;

    // Every round's month is generated before anything is timed and kept until the end: on a
    // file system that scans recently deleted inodes when it allocates one (ext4 without a
    // journal), removing one month's files right before the next run would slow that run's
    // file creations, and the server's, for a reason of the benchmark's own.
    std::vector<std::unique_ptr<Mes>> meses;
    for (int r = 0; r < o.rondas; ++r) {
        meses.push_back(std::make_unique<Mes>(o.documentos, bytes, puerto));
    }
    // The months' files go to the disk now, not while the first rounds are timed, and an
    // untimed bare loop lets the server and the machine settle after it.
    ::sync();
    exigir(bucleDesnudo(puerto, modelo, o.documentos) == o.documentos,
           "the settling loop did not send every message");
    esperados += static_cast<std::size_t>(o.documentos);

    std::vector<Ronda> rondas;
    for (int r = 0; r < o.rondas; ++r) {
        Mes& mes = *meses[static_cast<std::size_t>(r)];
        Ronda ronda;
        ronda.creacionUs = costeDeCrearUs(mes.carpeta.path());
        // The bare loop runs before and after the run, and the run is set beside both: the
        // machine's speed drifts over seconds.
        const auto antes = medirFase(servidor.pid(), o.documentos,
                                     [&] { return bucleDesnudo(puerto, modelo, o.documentos); });
        reiniciarPicoMemoria();
        ronda.antesKb = bench::memoriaKb("VmRSS:");
        ronda.ejecucion = medirFase(servidor.pid(), o.documentos, [&] { return mes.enviar(); });
        ronda.picoKb = bench::memoriaKb("VmHWM:");
        ronda.capa = medirFase(servidor.pid(), o.documentos, [&] {
                         return mes.enviarSoloCapa();
                     }).porSegundo;
        const auto despues = medirFase(servidor.pid(), o.documentos,
                                       [&] { return bucleDesnudo(puerto, modelo, o.documentos); });
        ronda.desnudo = juntas(antes, despues);
        esperados += 4 * static_cast<std::size_t>(o.documentos);
        exigir(servidor.waitForMessages(esperados, std::chrono::seconds(60)),
               "the server did not save every message");
        std::printf(
            "round %d: run %6.1f docs/s, mail layer %6.1f, bare libcurl %6.1f (%.1f "
            "before, %.1f after); ratio run %.3f, mail layer %.3f; CPU per document: "
            "run %.2f ms, bare %.2f ms; RSS %ld KB before the run, peak %ld KB; an empty "
            "file created in %.0f us; server CPU per message %.2f ms during the run, busy %.0f %%, "
            "%.2f ms during the bare loops, busy %.0f %%\n",
            r + 1, ronda.ejecucion.porSegundo, ronda.capa, ronda.desnudo.porSegundo,
            antes.porSegundo, despues.porSegundo, ronda.ratio(), ronda.ratioCapa(),
            ronda.ejecucion.cpuMs, ronda.desnudo.cpuMs, ronda.antesKb, ronda.picoKb,
            ronda.creacionUs, ronda.ejecucion.servidorMs, 100 * ronda.ejecucion.servidorOcupado,
            ronda.desnudo.servidorMs, 100 * ronda.desnudo.servidorOcupado);
        std::fflush(stdout);
        rondas.push_back(ronda);
    }
    auto [menor, mayor] =
        std::minmax_element(rondas.begin(), rondas.end(),
                            [](const Ronda& a, const Ronda& b) { return a.ratio() < b.ratio(); });
    std::vector<double> ratios;
    long pico = 0;
    long crecimiento = 0; // the most any run added to what was resident before it
    for (const auto& r : rondas) {
        ratios.push_back(r.ratio());
        pico = std::max(pico, r.picoKb);
        crecimiento = std::max(crecimiento, r.picoKb - r.antesKb);
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("\n%d documents of %zu KB, AUTH, no TLS, 127.0.0.1, %zu rounds, %s\n", o.documentos,
                o.kb, rondas.size(),
                apartado ? "the server on a processor of its own"
                         : "the server sharing the processors with the benchmark");
    const auto [capaMenor, capaMayor] =
        std::minmax_element(rondas.begin(), rondas.end(), [](const Ronda& a, const Ronda& b) {
            return a.ratioCapa() < b.ratioCapa();
        });
    std::printf("ratio run / bare libcurl: %.3f-%.3f, median %.3f (goal: >= 0.90); peak RSS %ld "
                "KB, of which the run added at most %ld KB\n",
                menor->ratio(), mayor->ratio(), ratios[ratios.size() / 2], pico, crecimiento);
    std::printf("ratio mail layer alone / bare libcurl: %.3f-%.3f\n", capaMenor->ratioCapa(),
                capaMayor->ratioCapa());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    int rc = 0;
    try {
        rc = medir(leerOpciones(argc, argv));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "run_bench: %s\n", error.what());
        rc = 1;
    }
    curl_global_cleanup();
    return rc;
}
