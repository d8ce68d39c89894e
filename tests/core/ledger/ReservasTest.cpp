// Claims on documents: exclusive between processes, recognised as left behind when their run
// is gone, and taken over only when a person said so.
#include "ledger/Reservas.h"

#include "TemporaryFolder.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace envio {
namespace {

using namespace std::chrono_literals;

const std::string kClave = "facturasporemail/2026/000001.pdf";

TEST(ReservasTest, OneClaimPerDocumentAndTheSameKeyFromEveryMachine) {
    EXPECT_EQ(Reservas::claveDe("/mnt/gestion/FacturasPorEmail/2026/Núñez_0001.PDF"),
              Reservas::claveDe("/media/oficina/GESTION/facturasporemail/2026/NÚÑEZ_0001.pdf"));
    EXPECT_NE(Reservas::claveDe("/s/FacturasPorEmail/2026/a.pdf"),
              Reservas::claveDe("/s/FacturasPorEmail/2025/a.pdf"));

    test::TemporaryFolder folder;
    Reservas yo(folder.path(), currentProcess());
    ASSERT_TRUE(yo.tomar(kClave, "a.pdf", "a@ejemplo.es", false).tomada);
    // A second run of this machine, alive (it is this very process), finds it held.
    Reservas otro(folder.path(), {currentProcess().host, "otro", 1, 1});
    const auto toma = otro.tomar(kClave, "a.pdf", "a@ejemplo.es", true);
    EXPECT_FALSE(toma.tomada);
    ASSERT_TRUE(toma.otra);
    EXPECT_FALSE(toma.otra->dudosa);
    EXPECT_EQ(toma.otra->titular.pid, currentProcess().pid);
    EXPECT_EQ(toma.otra->destinatario, "a@ejemplo.es");
    yo.soltar(kClave);
    EXPECT_TRUE(otro.tomar(kClave, "a.pdf", "a@ejemplo.es", false).tomada);
}

TEST(ReservasTest, AClaimLeftBehindIsTakenOverOnlyWhenTheResendWasConfirmed) {
    test::TemporaryFolder folder;
    const auto now = std::chrono::system_clock::now();
    auto relojLejano = now - 20min;
    Reservas lejana(folder.path(), {"otro-equipo", "maria", 10, 1},
                    [&relojLejano] { return relojLejano; });
    ASSERT_TRUE(lejana.tomar(kClave, "a.pdf", "a@ejemplo.es", false).tomada);

    Reservas yo(folder.path(), currentProcess(), [now] { return now; });
    auto toma = yo.tomar(kClave, "a.pdf", "a@ejemplo.es", false);
    ASSERT_FALSE(toma.tomada);
    EXPECT_TRUE(toma.otra->dudosa)
        << "still sending after " << Reservas::kVidaMaxima.count() << " minutes: its run is gone";
    EXPECT_TRUE(yo.tomar(kClave, "a.pdf", "a@ejemplo.es", true).tomada);
    EXPECT_EQ(yo.leer(kClave)->titular.pid, currentProcess().pid);

    // The run that was given up for dead comes back twenty minutes on: its marks must not land in
    // the claim that took its place, over that run's own.
    yo.anotarRespuesta(kClave, "250 mío");
    relojLejano = now;
    lejana.anotarRespuesta(kClave, "250 2.0.0 Ok");
    lejana.marcarEnviada(kClave);
    EXPECT_EQ(yo.leer(kClave)->respuesta, "250 mío");
    EXPECT_FALSE(yo.leer(kClave)->enviada);

    // A young claim whose run has had the server's answer is still that run's to settle (it is
    // renaming the document right now), and says what the server said.
    Reservas reciente(folder.path(), {"otro-equipo", "maria", 10, 1}, [now] { return now; });
    const std::string otra = kClave + "2";
    ASSERT_TRUE(reciente.tomar(otra, "b.pdf", "b@ejemplo.es", false).tomada);
    reciente.anotarRespuesta(otra, "250 2.0.0 Ok");
    const auto leida = yo.leer(otra);
    EXPECT_FALSE(leida->dudosa);
    EXPECT_TRUE(leida->respondida);
    EXPECT_EQ(leida->respuesta, "250 2.0.0 Ok");
    EXPECT_FALSE(yo.tomar(otra, "b.pdf", "b@ejemplo.es", true).tomada);
    EXPECT_EQ(yo.todas().size(), 2U);
    // Renamed, the claim says so to every machine, and still says what the server answered.
    reciente.marcarEnviada(otra);
    const auto enviada = yo.tomar(otra, "b.pdf", "b@ejemplo.es", true);
    ASSERT_FALSE(enviada.tomada);
    EXPECT_TRUE(enviada.otra->enviada);
    EXPECT_EQ(enviada.otra->respuesta, "250 2.0.0 Ok");
}

TEST(ReservasTest, OfManyProcessesWantingOneDocumentExactlyOneGetsIt) {
    test::TemporaryFolder folder;
    constexpr int kProcesos = 8;
    std::vector<pid_t> hijos;
    for (int i = 0; i < kProcesos; ++i) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            Reservas r(folder.path(), currentProcess());
            ::_exit(r.tomar(kClave, "a.pdf", "a@ejemplo.es", false).tomada ? 0 : 1);
        }
        hijos.push_back(pid);
    }
    int ganadores = 0;
    for (const pid_t pid : hijos) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        ganadores += WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 1 : 0;
    }
    // Every winner has exited by now, so the claim is left behind: yet only one ever held it.
    EXPECT_EQ(ganadores, 1);
    EXPECT_TRUE(Reservas(folder.path(), currentProcess()).leer(kClave)->dudosa);
}

} // namespace
} // namespace envio
