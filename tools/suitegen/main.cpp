// generar-suite: writes a sample suite folder for trying the program out.
#include "GeneradorSuite.h"

#include <cstdlib>
#include <ctime>
#include <iostream>
#include <string>

namespace {

int usage() {
    std::cerr
        << "Uso: generar-suite CARPETA [--nomina] [--sqlite] [--anio AAAA] [--mes M]\n"
           "                    [--clientes N] [--documentos N] [--servidor HOST --puerto N]\n"
           "                    [--usuario U --password P] [--ssl]\n";
    return 2;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 2) {
        return usage();
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    suitegen::ParametrosEjemplo p;
    p.anio = local.tm_year + 1900;
    p.mes = local.tm_mon + 1;
    std::optional<suitegen::ServidorCorreo> correo;
    try {
        for (int i = 2; i < argc; ++i) {
            const std::string a = argv[i];
            const auto next = [&]() -> std::string {
                if (i + 1 >= argc) {
                    throw std::invalid_argument(a);
                }
                return argv[++i];
            };
            if (a == "--nomina") {
                p.nomina = true;
            } else if (a == "--sqlite") {
                p.formato = suitegen::Formato::Sqlite;
            } else if (a == "--anio") {
                p.anio = std::stoi(next());
            } else if (a == "--mes") {
                p.mes = std::stoi(next());
            } else if (a == "--clientes") {
                p.clientes = std::stoi(next());
            } else if (a == "--documentos") {
                p.documentos = std::stoi(next());
            } else if (a == "--servidor") {
                correo = correo.value_or(suitegen::ServidorCorreo{});
                correo->servidor = next();
            } else if (a == "--usuario") {
                correo = correo.value_or(suitegen::ServidorCorreo{});
                correo->usuario = next();
            } else if (a == "--password") {
                correo = correo.value_or(suitegen::ServidorCorreo{});
                correo->password = next();
            } else if (a == "--ssl") {
                correo = correo.value_or(suitegen::ServidorCorreo{});
                correo->ssl = true;
            } else if (a == "--puerto") {
                correo = correo.value_or(suitegen::ServidorCorreo{});
                correo->puerto = std::stoi(next());
            } else {
                return usage();
            }
        }
        auto d = suitegen::suiteDeEjemplo(p);
        if (correo) {
            correo->cuenta = "facturacion@ejemplo.es";
            correo->asunto = "Su documento";
            correo->mensaje = "Estimado cliente:\r\n\r\nLe enviamos adjunto su documento.\r\n\r\n"
                              "Un saludo.";
            d.correo = correo;
        }
        const auto s = suitegen::generarSuite(argv[1], d);
        std::cout << "Suite de ejemplo en " << s.carpetaPrograma.string() << "\n"
                  << "Base de datos: " << s.baseDatos.string() << "\n"
                  << "Documentos: " << s.carpetaDocumentos.string() << "\n";
    } catch (const std::exception& e) {
        std::cerr << "generar-suite: " << e.what() << "\n";
        return 2;
    }
    return 0;
}
