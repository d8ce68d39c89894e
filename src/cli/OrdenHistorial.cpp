#include "cli/OrdenHistorial.h"

#include "ledger/HistorialEnvios.h"

#include <algorithm>

namespace envio::cli {

namespace {

// A server's reply may span lines; each attempt stays on one.
std::string enUnaLinea(std::string texto) {
    std::replace_if(
        texto.begin(), texto.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; },
        ' ');
    return texto;
}

} // namespace

int ordenHistorial(const Opciones& opciones, const std::filesystem::path& carpetaPrograma,
                   std::ostream& salida, std::ostream& errores) {
    FiltroHistorial filtro;
    filtro.texto = opciones.filtro;
    filtro.desde = opciones.desde;
    filtro.hasta = opciones.hasta;
    if (!opciones.resultado.empty()) {
        filtro.resultado = resultadoPorNombre(opciones.resultado);
    }
    try {
        HistorialEnvios historial(carpetaPrograma);
        for (const auto& omitido : historial.omitidos()) {
            errores << omitido << '\n';
        }
        historial.consultar(filtro);
        for (std::size_t i = 0; i < historial.cantidad(); ++i) {
            const FilaHistorial& fila = historial.fila(i);
            for (std::size_t c = 0; c < kColumnasHistorial; ++c) {
                salida << (c == 0 ? "" : "\t")
                       << enUnaLinea(textoColumna(fila, static_cast<ColumnaHistorial>(c)));
            }
            salida << '\n';
        }
        // What could be read is written; the exit status says that it is not everything.
        if (!historial.omitidos().empty()) {
            return 1;
        }
    } catch (const std::exception& e) {
        errores << e.what() << '\n';
        return 2;
    }
    return 0;
}

} // namespace envio::cli
