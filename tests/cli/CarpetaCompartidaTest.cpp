// The program itself on a suite folder that several runs and several machines use at once: a
// Samba share mounted through FUSE (each mount stands for one machine of the office), several
// sending runs started together, and runs killed at random moments. What must hold: every
// document reaches the mail server once, ends with its sent name, and nothing is lost.
#include "ChildProcess.h"
#include "GeneradorSuite.h"
#include "SambaShare.h"
#include "TemporaryFolder.h"
#include "TestMailServer.h"
#include "settings/ConfiguracionCorreo.h"
#include "settings/IniFile.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace envio {
namespace {

using test::ChildProcess;
using test::SambaShare;
using test::TemporaryFolder;

constexpr int kDocumentos = 200;
constexpr std::size_t kTamano = 700;

// The generated suite's folders below the program folder, as a Windows machine of the office
// writes them in KRN.INI: the share is its drive D:.
const std::string kBaseDeWindows = R"(D:\GESTION\Datos\GESTION.MDB)";

std::string direccion(int cliente) {
    return "cliente" + std::to_string(cliente) + "@ejemplo.es";
}

std::string nombreDocumento(int cliente, bool enviado) {
    return suitegen::nombreFactura(cliente, 2026, 3, 1 + cliente % 28, cliente, enviado);
}

std::string raiz(const std::string& nombre) {
    return nombre.substr(0, nombre.find('.'));
}

// A month of documents to send in the program folder `destino`. With `rutasDeWindows` it is
// generated on the local disk, as the suite's own programs would have written it, its KRN.INI
// names the database by a drive letter, and the whole folder is copied to `destino`.
void prepararSuite(const std::filesystem::path& destino, int puerto, bool rutasDeWindows) {
    const auto d = suitegen::suiteParaEnviar(kDocumentos, kTamano, puerto);
    if (!rutasDeWindows) {
        suitegen::generarSuite(destino, d);
        return;
    }
    TemporaryFolder local;
    const auto programa = local / "GESTION";
    suitegen::generarSuite(programa, d);
    EscribirIni(programa / "KRN.INI", "Facturación", "BaseDatos", kBaseDeWindows);
    std::filesystem::copy(programa, destino, std::filesystem::copy_options::recursive);
}

// Where the month's documents are below a program folder. On a share the tests look at the
// server's own disk: what is stored there is what every machine sees.
std::filesystem::path carpetaDocumentos(const std::filesystem::path& programa) {
    return programa / "Datos" / "FacturasPorEmail" / "2026";
}

// The first few of a long list, for a failure message.
std::string primeros(const std::vector<std::string>& lista) {
    std::string out = std::to_string(lista.size()) + ":";
    for (std::size_t i = 0; i < lista.size() && i < 5; ++i) {
        out += " " + lista[i];
    }
    return out + (lista.size() > 5 ? " ..." : "");
}

std::set<std::string> archivosEn(const std::filesystem::path& carpeta) {
    std::set<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(carpeta)) {
        out.insert(e.path().filename().string());
    }
    return out;
}

std::set<std::string> todosEnviados() {
    std::set<std::string> out;
    for (int i = 1; i <= kDocumentos; ++i) {
        out.insert(nombreDocumento(i, true));
    }
    return out;
}

std::map<std::string, int> enviosPorDestinatario(const test::TestMailServer& servidor) {
    std::map<std::string, int> out;
    for (const auto& m : servidor.messages()) {
        for (const auto& r : m.recipients) {
            ++out[r];
        }
    }
    return out;
}

// Every document mailed exactly once.
void comprobarUnaVezCadaUno(const test::TestMailServer& servidor) {
    const auto envios = enviosPorDestinatario(servidor);
    std::vector<std::string> nunca;
    std::vector<std::string> repetidos;
    for (int i = 1; i <= kDocumentos; ++i) {
        const auto it = envios.find(direccion(i));
        const int veces = it == envios.end() ? 0 : it->second;
        if (veces != 1) {
            (veces == 0 ? nunca : repetidos).push_back(direccion(i));
        }
    }
    EXPECT_TRUE(nunca.empty()) << "never mailed to " << primeros(nunca);
    EXPECT_TRUE(repetidos.empty()) << "mailed more than once to " << primeros(repetidos);
    EXPECT_EQ(servidor.messages().size(), static_cast<std::size_t>(kDocumentos));
}

// Every document has its sent name, and no other file (a placeholder, a copy) is left beside.
void comprobarTodosMarcados(const std::filesystem::path& documentos) {
    const auto esperados = todosEnviados();
    std::vector<std::string> otros;
    for (const auto& archivo : archivosEn(documentos)) {
        if (!esperados.contains(archivo)) {
            otros.push_back(archivo);
        }
    }
    EXPECT_TRUE(otros.empty()) << "files without their sent name: " << primeros(otros);
    EXPECT_EQ(archivosEn(documentos).size(), esperados.size());
}

// Two mounts of one share stand for two machines; each run goes by its mount's name, as runs of
// two machines go by their host names.
std::string equipoDe(const std::vector<std::string>& argumentos) {
    for (const auto& a : argumentos) {
        if (const auto p = a.find("/client"); p != std::string::npos) {
            return a.substr(p + 1, a.find('/', p + 1) - p - 1);
        }
    }
    return "";
}

// One run of the program, its outputs in files of a local folder.
class Ejecucion {
public:
    Ejecucion(const TemporaryFolder& salidas, const std::string& nombre,
              const std::vector<std::string>& argumentos)
        : salida_(salidas / (nombre + ".out")), errores_(salidas / (nombre + ".err")) {
        std::vector<std::string> orden{ENVIO_PROGRAMA};
        orden.insert(orden.end(), argumentos.begin(), argumentos.end());
        test::ProcessOptions o;
        o.standardOutput = salida_;
        o.standardError = errores_;
        if (const auto equipo = equipoDe(argumentos); !equipo.empty()) {
            o.environment = {"ENVIO_EQUIPO=" + equipo};
        }
        proceso_ = std::make_unique<ChildProcess>(orden, o);
    }

    int esperar() { return proceso_->wait(); }
    void matar() { proceso_->signal(SIGKILL); }
    // For a failure message: a run on a broken share can write a line per document.
    [[nodiscard]] std::string comienzoDeErrores() const {
        const std::string todo = errores();
        std::size_t fin = 0;
        for (int linea = 0; linea < 8; ++linea) {
            fin = todo.find('\n', fin);
            if (fin == std::string::npos) {
                return todo;
            }
            ++fin;
        }
        return todo.substr(0, fin) + "...\n";
    }
    [[nodiscard]] std::string salida() const { return leer(salida_); }
    [[nodiscard]] std::string errores() const { return leer(errores_); }

private:
    static std::string leer(const std::filesystem::path& archivo) {
        return std::filesystem::exists(archivo) ? TemporaryFolder::readPath(archivo) : "";
    }

    std::filesystem::path salida_;
    std::filesystem::path errores_;
    std::unique_ptr<ChildProcess> proceso_;
};

std::vector<std::string> argumentosEnviar(const std::filesystem::path& programa) {
    return {"--carpeta", programa.string(), "--enviar", "--seleccion", "pendiente", "--anio",
            "2026",      "--mes",           "3"};
}

std::vector<std::string> argumentosListar(const std::filesystem::path& programa) {
    return {"--carpeta", programa.string(), "--listar", "--anio", "2026", "--mes", "3"};
}

// How many listed rows have each state ("pendiente", "enviado"...).
std::map<std::string, int> estadosListados(const std::string& listado) {
    std::map<std::string, int> out;
    std::istringstream lineas(listado);
    for (std::string linea; std::getline(lineas, linea);) {
        ++out[linea.substr(0, linea.find('\t'))];
    }
    return out;
}

int enviadosSegunSalida(const std::string& salida) {
    std::smatch m;
    static const std::regex cuenta("Enviados: ([0-9]+);");
    return std::regex_search(salida, m, cuenta) ? std::stoi(m[1]) : 0;
}

#define COMPARTIDA_O_SALTAR(variable)                                                              \
    std::unique_ptr<SambaShare> variable;                                                          \
    try {                                                                                          \
        variable = std::make_unique<SambaShare>();                                                 \
    } catch (const test::ShareUnavailable& e) {                                                    \
        GTEST_SKIP() << "no Samba share on this machine: " << e.what();                            \
    }

// The two mounts must really be two clients, or the tests of two machines below would prove
// nothing: a lock taken through one is not seen through the other, an exclusive creation is.
TEST(SambaShareTest, TwoMountsAreTwoClientsThatOnlyExclusiveCreationKeepsApart) {
    COMPARTIDA_O_SALTAR(compartida);
    const auto a = compartida->mount();
    const auto b = compartida->mount();
    TemporaryFolder::writePath(a / "visto.txt", "desde a");
    EXPECT_EQ(TemporaryFolder::readPath(b / "visto.txt"), "desde a");
    EXPECT_EQ(TemporaryFolder::readPath(compartida->serverFolder() / "visto.txt"), "desde a");

    const int enA = ::open((a / "visto.txt").c_str(), O_RDWR | O_CLOEXEC);
    const int enB = ::open((b / "visto.txt").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(enA, 0);
    ASSERT_GE(enB, 0);
    EXPECT_EQ(::flock(enA, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(::flock(enB, LOCK_EX | LOCK_NB), 0) << "the mounts share one client";
    ::close(enA);
    ::close(enB);

    const int creado = ::open((a / "reserva").c_str(), O_CREAT | O_EXCL | O_WRONLY, 0644);
    EXPECT_GE(creado, 0);
    const int otra = ::open((b / "RESERVA").c_str(), O_CREAT | O_EXCL | O_WRONLY, 0644);
    const int error = errno;
    EXPECT_EQ(otra, -1);
    EXPECT_EQ(error, EEXIST);
    ::close(creado);
}

class CarpetaCompartidaTest : public ::testing::Test {
protected:
    TemporaryFolder salidas;
    test::MailServerOptions opciones{.user = "envios", .password = "clave"};
    test::TestMailServer servidor{opciones};

    Ejecucion ejecutar(const std::string& nombre, const std::vector<std::string>& argumentos) {
        return {salidas, nombre, argumentos};
    }
};

// What an office does first on a shared suite folder with Windows paths and no mapping given:
// list the month, send it, list it again.
TEST_F(CarpetaCompartidaTest, AMonthWithWindowsPathsIsListedSentAndMarkedOnTheShare) {
    COMPARTIDA_O_SALTAR(compartida);
    const auto programa = compartida->mount() / "GESTION";
    prepararSuite(programa, servidor.plainPort(), true);
    const auto documentos = carpetaDocumentos(compartida->serverFolder() / "GESTION");

    Ejecucion antes = ejecutar("listar-antes", argumentosListar(programa));
    ASSERT_EQ(antes.esperar(), 0) << antes.comienzoDeErrores();
    EXPECT_EQ(estadosListados(antes.salida()), (std::map<std::string, int>{{"pendiente", 200}}))
        << antes.comienzoDeErrores();

    Ejecucion envio = ejecutar("enviar", argumentosEnviar(programa));
    EXPECT_EQ(envio.esperar(), 0) << envio.comienzoDeErrores();
    EXPECT_NE(envio.salida().find("Enviados: 200; no enviados: 0"), std::string::npos)
        << envio.salida() << envio.comienzoDeErrores();
    comprobarUnaVezCadaUno(servidor);
    comprobarTodosMarcados(documentos);

    Ejecucion despues = ejecutar("listar-despues", argumentosListar(programa));
    EXPECT_EQ(despues.esperar(), 0) << despues.comienzoDeErrores();
    EXPECT_EQ(estadosListados(despues.salida()), (std::map<std::string, int>{{"enviado", 200}}))
        << despues.comienzoDeErrores();
}

// The window saves the mail settings one key at a time into the shared KRN.INI; the other
// machine must read every saved value, and no file of the save may stay behind.
TEST_F(CarpetaCompartidaTest, SettingsSavedOnTheShareAreWholeOnTheOtherMachine) {
    COMPARTIDA_O_SALTAR(compartida);
    const auto programa = compartida->mount() / "GESTION";
    const auto otraMaquina = compartida->mount() / "GESTION";
    prepararSuite(programa, servidor.plainPort(), true);
    const auto antes = archivosEn(programa);

    // Enough saves in a row that a step failing now and then on the share shows.
    for (int i = 0; i < 25; ++i) {
        ASSERT_TRUE(EscribirIni(programa / "KRN.INI", "DocumentoPORemail", "Asunto",
                                "Factura nº " + std::to_string(i)))
            << "save " << i;
        ASSERT_TRUE(EscribirIni(programa / "KRN.INI", "servidor", "Puerto", std::to_string(i)));
    }
    const ConfiguracionCorreo leida = CargarConfiguracion(otraMaquina / "KRN.INI");
    EXPECT_EQ(leida.asunto, "Factura nº 24");
    EXPECT_EQ(leida.puerto, 24);
    EXPECT_EQ(leida.usuario, "envios");
    EXPECT_EQ(LeerIni(otraMaquina / "KRN.INI", "Facturación", "BaseDatos", ""), kBaseDeWindows);
    EXPECT_EQ(archivosEn(programa), antes);
}

// Several runs at once: two people pressing "Enviar", or a scheduled run overlapping a person's.
// Each run's program folder is given, so that runs can come from different machines.
class EnviosSimultaneosTest : public CarpetaCompartidaTest {
protected:
    void enviarALaVez(const std::vector<std::filesystem::path>& programas,
                      const std::filesystem::path& documentos) {
        std::vector<Ejecucion> envios;
        for (std::size_t i = 0; i < programas.size(); ++i) {
            envios.push_back(
                ejecutar("enviar" + std::to_string(i), argumentosEnviar(programas[i])));
        }
        int enviados = 0;
        for (auto& e : envios) {
            const int estado = e.esperar();
            // 3: it left documents that another run was working on, and said so.
            EXPECT_TRUE(estado == 0 || estado == 3) << estado << "\n" << e.comienzoDeErrores();
            if (estado == 3) {
                EXPECT_NE(e.errores(), "");
            }
            enviados += enviadosSegunSalida(e.salida());
        }
        EXPECT_EQ(enviados, kDocumentos) << "the runs' counts add up to the month";
        comprobarUnaVezCadaUno(servidor);
        comprobarTodosMarcados(documentos);
    }
};

TEST_F(EnviosSimultaneosTest, ThreeRunsInOneFolderMailEveryDocumentOnce) {
    const auto programa = salidas / "GESTION";
    prepararSuite(programa, servidor.plainPort(), false);
    const auto documentos = carpetaDocumentos(programa);
    enviarALaVez({programa, programa, programa}, documentos);
}

TEST_F(EnviosSimultaneosTest, RunsFromTwoMachinesOfOneShareMailEveryDocumentOnce) {
    COMPARTIDA_O_SALTAR(compartida);
    const auto unaMaquina = compartida->mount() / "GESTION";
    const auto otraMaquina = compartida->mount() / "GESTION";
    prepararSuite(unaMaquina, servidor.plainPort(), true);
    const auto documentos = carpetaDocumentos(compartida->serverFolder() / "GESTION");
    enviarALaVez({unaMaquina, unaMaquina, otraMaquina}, documentos);
}

// Runs killed at random moments (a power cut, a closed terminal) and started again until the
// month is done: no document is lost, none is mailed twice without someone asking for it.
class EnviosInterrumpidosTest : public CarpetaCompartidaTest {
protected:
    static constexpr int kRondasInterrumpidas = 4;
    static constexpr int kEjecucionesPorRonda = 3;

    void interrumpirYTerminar(const std::vector<std::filesystem::path>& programas,
                              const std::filesystem::path& documentos) {
        // Unattended, as a scheduled run: the possibly-sent documents are left for a person and
        // the rest are sent.
        const auto argumentos = [](const std::filesystem::path& programa) {
            auto a = argumentosEnviar(programa);
            a.emplace_back("--omitir-dudosos");
            return a;
        };
        const unsigned semilla = std::random_device{}();
        SCOPED_TRACE("kill moments from seed " + std::to_string(semilla));
        std::mt19937 azar(semilla);
        std::uniform_int_distribution<int> momento(10, 1500);

        for (int ronda = 0; ronda < kRondasInterrumpidas; ++ronda) {
            std::vector<Ejecucion> envios;
            for (int i = 0; i < kEjecucionesPorRonda; ++i) {
                envios.push_back(ejecutar(
                    "ronda" + std::to_string(ronda) + "-" + std::to_string(i),
                    argumentos(programas[static_cast<std::size_t>(i) % programas.size()])));
            }
            for (auto& e : envios) {
                std::this_thread::sleep_for(std::chrono::milliseconds(momento(azar)));
                e.matar();
            }
            for (auto& e : envios) {
                e.esperar();
            }
        }
        // A last run on each machine, left alone, finishes the month. A machine knows at once
        // that its own killed runs are gone, so their claims stop nothing there; another
        // machine's claims count as held for their first minutes (status 3, each named).
        std::string avisos;
        for (std::size_t m = 0; m < programas.size(); ++m) {
            Ejecucion ultima = ejecutar("ultima" + std::to_string(m), argumentos(programas[m]));
            const int estado = ultima.esperar();
            const bool soloUnaMaquina = programas.size() == 1;
            EXPECT_TRUE(estado == 0 || estado == 1 || (!soloUnaMaquina && estado == 3))
                << estado << "\n"
                << ultima.comienzoDeErrores();
            avisos += ultima.errores();
        }
        comprobarNadaPerdidoNiRepetido(documentos, avisos);
    }

    // A document is either mailed once and marked, or left for a person: named on the last
    // run's error stream. None is mailed twice, none is marked without having been mailed.
    void comprobarNadaPerdidoNiRepetido(const std::filesystem::path& documentos,
                                        const std::string& avisos) {
        const auto envios = enviosPorDestinatario(servidor);
        const auto archivos = archivosEn(documentos);
        std::map<std::string, std::vector<std::string>> fallos;
        for (int i = 1; i <= kDocumentos; ++i) {
            const auto it = envios.find(direccion(i));
            const int veces = it == envios.end() ? 0 : it->second;
            const bool marcado = archivos.contains(nombreDocumento(i, true));
            const bool pendiente = archivos.contains(nombreDocumento(i, false));
            const bool dudoso = avisos.find(raiz(nombreDocumento(i, false))) != std::string::npos ||
                                avisos.find(direccion(i)) != std::string::npos;
            const auto anotar = [&](bool fallo, const std::string& que) {
                if (fallo) {
                    fallos[que].push_back(nombreDocumento(i, false));
                }
            };
            anotar(veces > 1, "mailed more than once");
            anotar(marcado == pendiente, "not exactly one of its two names");
            anotar(veces == 0 && !dudoso, "lost: never mailed and not left for a person");
            anotar(marcado && veces == 0, "marked sent but never mailed");
            anotar(!marcado && !dudoso, "still pending after the last run, unexplained");
        }
        for (const auto& [que, cuales] : fallos) {
            ADD_FAILURE() << que << ": " << primeros(cuales);
        }
    }
};

TEST_F(EnviosInterrumpidosTest, KilledRunsInOneFolderLoseNothingAndMailNothingTwice) {
    const auto programa = salidas / "GESTION";
    prepararSuite(programa, servidor.plainPort(), false);
    const auto documentos = carpetaDocumentos(programa);
    interrumpirYTerminar({programa}, documentos);
}

TEST_F(EnviosInterrumpidosTest, KilledRunsOnTwoMachinesLoseNothingAndMailNothingTwice) {
    COMPARTIDA_O_SALTAR(compartida);
    const auto unaMaquina = compartida->mount() / "GESTION";
    const auto otraMaquina = compartida->mount() / "GESTION";
    prepararSuite(unaMaquina, servidor.plainPort(), true);
    const auto documentos = carpetaDocumentos(compartida->serverFolder() / "GESTION");
    interrumpirYTerminar({unaMaquina, otraMaquina}, documentos);
}

} // namespace
} // namespace envio
