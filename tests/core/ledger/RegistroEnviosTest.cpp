// The ledger of mailing attempts, and what the start-up does with the attempts that a killed run
// left behind.
#include "ledger/RegistroEnvios.h"

#include "DialogosGrabados.h"
#include "SqliteDirecto.h"
#include "TemporaryFolder.h"
#include "database/BaseDatos.h"
#include "database/ErrorBaseDatos.h"
#include "mail/RecuperarEnvios.h"
#include "platform/Sha256.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace envio {
namespace {

using test::DialogosGrabados;
using test::TemporaryFolder;
using Resultado = RegistroEnvios::Resultado;

const std::string kMarcados = "Estos documentos se enviaron, pero el programa se cerró antes de "
                              "marcarlos. Se han marcado ahora como enviados:";

class RegistroEnviosTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
    std::filesystem::path archivo = RegistroEnvios::archivoEn(folder.path());
    DialogosGrabados dialogos;
    Reservas reservas{folder.path(), currentProcess()};

    // A document on disk and the attempt that mails it.
    RegistroEnvios::Intento intento(const std::string& nombre, const std::string& destinatario,
                                    const std::string& contenido = "%PDF-1.4 documento") {
        const auto ruta = folder.write(nombre, contenido + " " + nombre);
        RegistroEnvios::Intento i;
        i.ejecucion = "2026-03-20T08:00:00Z";
        i.documento = ruta.string();
        i.tamano = std::filesystem::file_size(ruta);
        i.sha256 = sha256OfFile(ruta).value();
        i.destinatario = destinatario;
        i.hora = "2026-03-20T08:00:05Z";
        return i;
    }

    // What a run killed after the server's answer, before the rename, leaves in the ledger.
    long long contestado(RegistroEnvios& registro, const RegistroEnvios::Intento& i,
                         Resultado resultado) {
        const long long id = registro.antesDeEnviar(i);
        registro.respuesta(id, resultado, "<" + std::to_string(id) + "@ejemplo.es>", "250 OK");
        return id;
    }
};

TEST_F(RegistroEnviosTest, AnAttemptIsReadBackAtEveryStepOfItsLife) {
    EXPECT_EQ(archivo, folder / "registro-envios.db");
    RegistroEnvios registro(archivo);
    const auto i = intento("a.pdf", "acme@ejemplo.es");
    const long long id = registro.antesDeEnviar(i);

    auto leidos = registro.todos();
    ASSERT_EQ(leidos.size(), 1U);
    EXPECT_EQ(leidos[0].id, id);
    EXPECT_EQ(leidos[0].ejecucion, i.ejecucion);
    EXPECT_EQ(leidos[0].documento, i.documento);
    EXPECT_EQ(leidos[0].tamano, i.tamano);
    EXPECT_EQ(leidos[0].sha256, i.sha256);
    EXPECT_EQ(leidos[0].destinatario, "acme@ejemplo.es");
    EXPECT_EQ(leidos[0].hora, i.hora);
    EXPECT_EQ(leidos[0].resultado, Resultado::Enviando);
    EXPECT_FALSE(leidos[0].renombradoA);
    // Cut off before the answer, nobody knows whether it went out: it counts as sent.
    EXPECT_EQ(registro.sinRenombrar().size(), 1U);
    ASSERT_TRUE(registro.envioPrevio(i.documento, i.sha256));

    registro.respuesta(id, Resultado::Aceptado, "<1@ejemplo.es>", "250 2.0.0 OK");
    leidos = registro.todos();
    EXPECT_EQ(leidos[0].resultado, Resultado::Aceptado);
    EXPECT_EQ(leidos[0].messageId, "<1@ejemplo.es>");
    EXPECT_EQ(leidos[0].respuesta, "250 2.0.0 OK");
    EXPECT_EQ(registro.sinRenombrar().size(), 1U);

    registro.renombrado(id, folder / "a.ENVIADO.PDF");
    EXPECT_EQ(registro.todos()[0].renombradoA, (folder / "a.ENVIADO.PDF").string());
    EXPECT_TRUE(registro.sinRenombrar().empty());
    // The ledger still knows that this file under this name was mailed.
    EXPECT_EQ(registro.envioPrevio(i.documento, i.sha256)->id, id);

    EXPECT_GT(registro.antesDeEnviar(intento("b.pdf", "b@ejemplo.es")), id);
}

// The search index is kept off the sending path: every write lists its attempt, and the index
// takes each listed attempt as it stands when the run ends, or when a run that never got there
// (killed) is followed by the next open of the ledger.
TEST_F(RegistroEnviosTest, TheIndexCatchesUpWithEveryWriteAtTheRunsEndOrTheNextOpen) {
    const auto buscar = [this](const std::string& texto) {
        return test::primerEntero(archivo, "SELECT count(*) FROM busqueda WHERE texto MATCH '\"" +
                                               texto + "\"'");
    };
    RegistroEnvios registro(archivo);
    const long long id = registro.antesDeEnviar(intento("a.pdf", "acme@ejemplo.es"));
    EXPECT_EQ(test::primerEntero(archivo, "SELECT count(*) FROM por_indexar"), 1);
    EXPECT_EQ(buscar("ACME@"), 0);
    { RegistroEnvios siguiente(archivo); } // as the next start after a killed run opens it
    EXPECT_EQ(buscar("ACME@"), 1);
    EXPECT_EQ(test::primerEntero(archivo, "SELECT count(*) FROM por_indexar"), 0);

    registro.respuesta(id, Resultado::Aceptado, "<m1@ejemplo.es>", "250 QUEUED AS X7");
    registro.renombrado(id, folder / "a.ENVIADO.PDF");
    EXPECT_EQ(test::primerEntero(archivo, "SELECT id FROM por_indexar"), id);
    registro.indexarPendientes();
    EXPECT_EQ(buscar("QUEUED AS X7"), 1);
    EXPECT_EQ(buscar("A.ENVIADO"), 1);
    EXPECT_EQ(test::primerEntero(archivo, "SELECT count(*) FROM por_indexar"), 0);
    EXPECT_EQ(test::primerEntero(archivo, "SELECT count(*) FROM busqueda"), 1);
}

TEST_F(RegistroEnviosTest, APreviousSendIsTheSameFileWithTheSameContentsThatMayHaveGoneOut) {
    RegistroEnvios registro(archivo);
    const auto a = intento("a.pdf", "a@ejemplo.es");
    const long long primero = contestado(registro, a, Resultado::Aceptado);
    const long long segundo = contestado(registro, a, Resultado::Aceptado);
    contestado(registro, a, Resultado::Rechazado);
    ASSERT_NE(primero, segundo);
    EXPECT_EQ(registro.envioPrevio(a.documento, a.sha256)->id, segundo); // the newest that went

    const auto otroContenido = intento("otro.pdf", "a@ejemplo.es", "%PDF-1.4 otro");
    EXPECT_FALSE(registro.envioPrevio(a.documento, otroContenido.sha256));
    EXPECT_FALSE(registro.envioPrevio((folder / "copia.pdf").string(), a.sha256));

    const auto rechazado = intento("r.pdf", "r@ejemplo.es");
    contestado(registro, rechazado, Resultado::Rechazado);
    EXPECT_FALSE(registro.envioPrevio(rechazado.documento, rechazado.sha256));
    // By path alone: what tells a run whether a document's contents need reading at all.
    EXPECT_TRUE(registro.hayEnvioPrevio(a.documento));
    EXPECT_FALSE(registro.hayEnvioPrevio(rechazado.documento));
    EXPECT_FALSE(registro.hayEnvioPrevio((folder / "copia.pdf").string()));

    const auto incierto = intento("i.pdf", "i@ejemplo.es");
    const long long dudoso = contestado(registro, incierto, Resultado::Incierto);
    EXPECT_EQ(registro.envioPrevio(incierto.documento, incierto.sha256)->id, dudoso);

    std::vector<std::string> pendientes;
    for (const auto& i : registro.sinRenombrar()) {
        pendientes.push_back(std::filesystem::path(i.documento).filename().string());
    }
    EXPECT_EQ(pendientes, (std::vector<std::string>{"a.pdf", "a.pdf", "i.pdf"}));
}

TEST_F(RegistroEnviosTest, EverythingSurvivesClosingAndReopening) {
    long long id = 0;
    {
        RegistroEnvios registro(archivo);
        id = contestado(registro, intento("a.pdf", "a@ejemplo.es"), Resultado::Incierto);
        registro.renombrado(
            contestado(registro, intento("b.pdf", "b@ejemplo.es"), Resultado::Aceptado),
            folder / "b.ENVIADO.PDF");
    }
    RegistroEnvios registro(archivo);
    const auto leidos = registro.todos();
    ASSERT_EQ(leidos.size(), 2U);
    EXPECT_EQ(leidos[0].id, id);
    EXPECT_EQ(leidos[0].resultado, Resultado::Incierto);
    EXPECT_EQ(leidos[0].messageId, "<" + std::to_string(id) + "@ejemplo.es>");
    EXPECT_EQ(leidos[0].respuesta, "250 OK");
    EXPECT_EQ(leidos[0].documento, (folder / "a.pdf").string());
    EXPECT_EQ(leidos[1].resultado, Resultado::Aceptado);
    EXPECT_EQ(leidos[1].renombradoA, (folder / "b.ENVIADO.PDF").string());
    EXPECT_EQ(registro.sinRenombrar().size(), 1U);
    EXPECT_GT(registro.antesDeEnviar(intento("c.pdf", "c@ejemplo.es")), leidos[1].id);
}

TEST_F(RegistroEnviosTest, ADatabaseOfAnotherLayoutIsRefusedAndKept) {
    BaseDatos::crear(archivo)->crearTabla(
        {"intentos", {{"id", DefinicionCampo::Tipo::EnteroAutonumerico, 0}}});
    EXPECT_THROW(RegistroEnvios{archivo}, ErrorBaseDatos);
    const auto tablas = BaseDatos::abrir(archivo)->tablas();
    EXPECT_NE(std::find(tablas.begin(), tablas.end(), "intentos"), tablas.end());
}

TEST_F(RegistroEnviosTest, AFileThatIsNoDatabaseIsRefusedAndKept) {
    folder.write("registro-envios.db", std::string(4096, 'x'));
    EXPECT_THROW(RegistroEnvios{archivo}, ErrorBaseDatos); // and nothing left open (LeakSanitizer)
    EXPECT_EQ(folder.read("registro-envios.db"), std::string(4096, 'x'));
}

// A document mailed again under its sent name, and one its run renamed right before it was
// killed (its sent name was taken, so it went to the next free one): only the ledger lacks
// something, and nobody needs telling.
TEST_F(RegistroEnviosTest, RecoveryOfADocumentThatAlreadyHasItsSentNameOnlyCompletesTheLedger) {
    RegistroEnvios registro(archivo);
    const auto c = intento("c.ENVIADO.PDF", "tres@ejemplo.es");
    const std::string contenido = folder.read("c.ENVIADO.PDF");
    contestado(registro, c, Resultado::Aceptado);
    const auto d = intento("d.pdf", "cuatro@ejemplo.es");
    contestado(registro, d, Resultado::Aceptado);
    folder.write("d.ENVIADO.PDF", "%PDF-1.4 el de otro mes");
    std::filesystem::rename(d.documento, folder / "d (2).ENVIADO.PDF");
    {
        Reservas delMuerto(folder.path(), currentProcess());
        delMuerto.tomar(Reservas::claveDe(d.documento), d.documento, d.destinatario, false);
        delMuerto.anotarRespuesta(Reservas::claveDe(d.documento), "250 OK");
    }

    recuperarEnviosInterrumpidos(registro, reservas, dialogos);
    EXPECT_EQ(folder.read("c.ENVIADO.PDF"), contenido);
    EXPECT_FALSE(std::filesystem::exists(folder / "c.ENVIADO.ENVIADO.PDF"));
    EXPECT_TRUE(dialogos.cuadros().empty());
    EXPECT_TRUE(registro.sinRenombrar().empty());
    EXPECT_EQ(registro.todos()[0].renombradoA, c.documento);
    EXPECT_EQ(registro.todos()[1].renombradoA, (folder / "d (2).ENVIADO.PDF").string());
    // Its claim says "sent" now, not "possibly sent" once this run is gone.
    EXPECT_TRUE(reservas.leer(Reservas::claveDe(d.documento))->enviada);
}

TEST_F(RegistroEnviosTest, RecoveryMarksTheAcceptedDocumentsThatKeptTheirPendingName) {
    RegistroEnvios registro(archivo);
    contestado(registro, intento("a.pdf", "uno@ejemplo.es"), Resultado::Aceptado);
    contestado(registro, intento("B.PDF", "dos@ejemplo.es"), Resultado::Aceptado);
    const std::string contenido = folder.read("a.pdf");

    recuperarEnviosInterrumpidos(registro, reservas, dialogos);
    EXPECT_FALSE(std::filesystem::exists(folder / "a.pdf"));
    EXPECT_FALSE(std::filesystem::exists(folder / "B.PDF"));
    EXPECT_EQ(folder.read("a.ENVIADO.PDF"), contenido);
    EXPECT_TRUE(std::filesystem::exists(folder / "B.ENVIADO.PDF"));
    EXPECT_EQ(dialogos.cuadros(),
              (std::vector<CuadroMensaje>{{kMarcados + "\na.ENVIADO.PDF (uno@ejemplo.es)"
                                                       "\nB.ENVIADO.PDF (dos@ejemplo.es)",
                                           "Aviso", Icono::Informacion, Botones::Aceptar}}));
    EXPECT_TRUE(registro.sinRenombrar().empty());
    EXPECT_EQ(registro.todos()[1].renombradoA, (folder / "B.ENVIADO.PDF").string());

    recuperarEnviosInterrumpidos(registro, reservas,
                                 dialogos); // nothing left to do, nothing to tell
    EXPECT_EQ(dialogos.cuadros().size(), 1U);
}

TEST_F(RegistroEnviosTest, RecoveryLeavesAloneWhatItCannotVouchFor) {
    RegistroEnvios registro(archivo);
    const auto cambiado = intento("cambiado.pdf", "a@ejemplo.es");
    contestado(registro, cambiado, Resultado::Aceptado);
    folder.write("cambiado.pdf", "%PDF-1.4 la suite lo escribió de nuevo");
    contestado(registro, intento("borrado.pdf", "b@ejemplo.es"), Resultado::Aceptado);
    std::filesystem::remove(folder / "borrado.pdf");
    registro.antesDeEnviar(intento("sin-respuesta.pdf", "c@ejemplo.es"));
    contestado(registro, intento("incierto.pdf", "d@ejemplo.es"), Resultado::Incierto);
    contestado(registro, intento("rechazado.pdf", "e@ejemplo.es"), Resultado::Rechazado);

    recuperarEnviosInterrumpidos(registro, reservas, dialogos);
    EXPECT_TRUE(dialogos.cuadros().empty());
    std::vector<std::string> nombres;
    for (const auto& e : std::filesystem::directory_iterator(folder.path())) {
        // Not the ledger's write-ahead log and its index beside it.
        if (e.path().extension() != ".db-wal" && e.path().extension() != ".db-shm") {
            nombres.push_back(e.path().filename().string());
        }
    }
    std::sort(nombres.begin(), nombres.end());
    EXPECT_EQ(nombres, (std::vector<std::string>{"cambiado.pdf", "incierto.pdf", "rechazado.pdf",
                                                 "registro-envios.db", "sin-respuesta.pdf"}));
    EXPECT_EQ(registro.sinRenombrar().size(), 4U);
}

TEST_F(RegistroEnviosTest, RecoveryNeverOverwritesAFileOfTheSentName) {
    RegistroEnvios registro(archivo);
    contestado(registro, intento("h.pdf", "h@ejemplo.es"), Resultado::Aceptado);
    folder.write("h.ENVIADO.PDF", "%PDF-1.4 el de otro envío");

    recuperarEnviosInterrumpidos(registro, reservas, dialogos);
    EXPECT_EQ(folder.read("h.ENVIADO.PDF"), "%PDF-1.4 el de otro envío");
    EXPECT_FALSE(std::filesystem::exists(folder / "h.pdf"));
    EXPECT_TRUE(std::filesystem::exists(folder / "h (2).ENVIADO.PDF"));
    ASSERT_EQ(dialogos.textos().size(), 1U);
    EXPECT_EQ(dialogos.textos()[0], kMarcados + "\nh (2).ENVIADO.PDF (h@ejemplo.es)");
    EXPECT_EQ(registro.todos()[0].renombradoA, (folder / "h (2).ENVIADO.PDF").string());
}

TEST_F(RegistroEnviosTest, ARenameThatFailsIsToldAndLeftForTheNextStart) {
    RegistroEnvios registro(archivo);
    // The sent name would be longer than a file name may be.
    const std::string largo = std::string(247, 'x') + ".pdf";
    contestado(registro, intento(largo, "x@ejemplo.es"), Resultado::Aceptado);

    recuperarEnviosInterrumpidos(registro, reservas, dialogos);
    EXPECT_TRUE(std::filesystem::exists(folder / largo));
    const auto cuadros = dialogos.cuadros();
    ASSERT_EQ(cuadros.size(), 1U);
    EXPECT_TRUE(cuadros[0].texto.starts_with(
        "Estos documentos se enviaron, pero no se pudieron marcar como enviados:\n" + largo +
        ": No se pudo mover "))
        << cuadros[0].texto;
    EXPECT_EQ(cuadros[0].icono, Icono::Exclamacion);
    EXPECT_EQ(cuadros[0].titulo, "Aviso");
    EXPECT_EQ(registro.sinRenombrar().size(), 1U);
}

} // namespace
} // namespace envio
