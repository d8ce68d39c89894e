#include "cli/LineaDeOrdenes.h"

namespace envio::cli {

Opciones analizarLineaDeOrdenes(const std::vector<std::string>& argumentos) {
    Opciones opciones;
    for (std::size_t i = 0; i < argumentos.size(); ++i) {
        const std::string& argumento = argumentos[i];
        if (argumento == "--help" || argumento == "-h") {
            opciones.orden = Orden::Ayuda;
        } else if (argumento == "--version") {
            opciones.orden = Orden::Version;
        } else if (argumento == "--carpeta") {
            if (i + 1 >= argumentos.size()) {
                throw ErrorDeOpciones("Falta la carpeta después de --carpeta");
            }
            opciones.carpeta = argumentos[++i];
        } else if (argumento.starts_with("--carpeta=")) {
            opciones.carpeta = argumento.substr(std::string("--carpeta=").size());
        } else {
            throw ErrorDeOpciones("Opción desconocida: " + argumento +
                                  " (envio-documentos --help muestra las opciones)");
        }
    }
    return opciones;
}

std::string textoAyuda() {
    return "Uso: envio-documentos [--carpeta CARPETA]\n"
           "\n"
           "Envía por correo electrónico los documentos PDF (facturas o documentos de nómina)\n"
           "que deja la aplicación de gestión en sus carpetas.\n"
           "\n"
           "Opciones:\n"
           "  --carpeta CARPETA  carpeta del programa: la que contiene KRN.INI y temporal.mdb\n"
           "                     (por defecto, la carpeta del ejecutable)\n"
           "  --help             muestra esta ayuda y termina\n"
           "  --version          muestra la versión y termina\n"
           "\n"
           "Sin más opciones abre la ventana principal.\n";
}

std::string textoVersion() { return std::string("envio-documentos ") + ENVIO_VERSION + "\n"; }

} // namespace envio::cli
