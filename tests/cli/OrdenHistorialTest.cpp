// --historial: the rows tab-separated, newest first, through the options as parsed; a ledger
// that cannot be read is named and left out.
#include "cli/OrdenHistorial.h"

#include "TemporaryFolder.h"
#include "ledger/RegistroEnvios.h"

#include <gtest/gtest.h>
#include <sstream>

namespace envio::cli {
namespace {

std::string ejecutar(const std::filesystem::path& carpeta, std::vector<std::string> args,
                     int esperado = 0) {
    args.insert(args.begin(), "--historial");
    std::ostringstream salida;
    std::ostringstream errores;
    EXPECT_EQ(ordenHistorial(analizarLineaDeOrdenes(args), carpeta, salida, errores), esperado)
        << errores.str();
    return salida.str();
}

TEST(OrdenHistorialTest, RowsNewestFirstThroughEachFilter) {
    setenv("TZ", "UTC", 1);
    tzset();
    test::TemporaryFolder folder;
    {
        RegistroEnvios r(folder.path() / "registro-envios.db");
        const auto anotar = [&r](const char* hora, const char* nombre,
                                 RegistroEnvios::Resultado res, const char* respuesta) {
            RegistroEnvios::Intento i;
            i.documento = std::string("/n/") + nombre + "_P.pdf";
            i.destinatario = "x@example.com";
            i.nombreListado = nombre;
            i.hora = hora;
            r.respuesta(r.antesDeEnviar(i), res, "<id>", respuesta);
        };
        anotar("2024-01-10T08:00:00Z", "Álvaro", RegistroEnvios::Resultado::Aceptado, "250\nOk");
        anotar("2024-02-10T08:00:00Z", "Berta", RegistroEnvios::Resultado::Rechazado, "550 no");
    }
    EXPECT_EQ(ejecutar(folder.path(), {}),
              "2024-02-10 08:00:00\tdocumento\tBerta\tx@example.com\tBerta_P.pdf\t\trechazado\t"
              "550 no\t<id>\n"
              "2024-01-10 08:00:00\tdocumento\tÁlvaro\tx@example.com\tÁlvaro_P.pdf\t\tenviado\t"
              "250 Ok\t<id>\n");
    EXPECT_EQ(ejecutar(folder.path(), {"--filtro", "alvaro"}).substr(0, 10), "2024-01-10");
    EXPECT_EQ(ejecutar(folder.path(), {"--desde", "2024-02-01"}).substr(0, 10), "2024-02-10");
    EXPECT_EQ(ejecutar(folder.path(), {"--hasta", "2024-01-10"}).substr(0, 10), "2024-01-10");
    EXPECT_EQ(ejecutar(folder.path(), {"--resultado", "enviado", "--filtro", "berta"}), "");

    // Another machine's ledger that cannot be read: the rest is written, the status says it is
    // not everything, and the error output names the file.
    folder.write("registro-envios.PC2.db", std::string(4096, 'x'));
    std::ostringstream salida;
    std::ostringstream errores;
    EXPECT_EQ(ordenHistorial(analizarLineaDeOrdenes({"--historial", "--filtro", "berta"}),
                             folder.path(), salida, errores),
              1);
    EXPECT_EQ(salida.str().substr(0, 10), "2024-02-10");
    EXPECT_EQ(errores.str(), "No se pudo leer el registro de envíos " +
                                 (folder.path() / "registro-envios.PC2.db").string() +
                                 ": file is not a database\n");
    EXPECT_THROW(analizarLineaDeOrdenes({"--historial", "--resultado", "marcado"}),
                 ErrorDeOpciones);
    EXPECT_THROW(analizarLineaDeOrdenes({"--historial", "--desde", "10/01/2024"}), ErrorDeOpciones);
}

} // namespace
} // namespace envio::cli
