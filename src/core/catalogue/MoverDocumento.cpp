#include "catalogue/MoverDocumento.h"

#include "catalogue/Catalogo.h"
#include "platform/FileSystem.h"

#include <stdexcept>

namespace envio {
namespace {

constexpr int kNombresPosibles = 1000;

// The n-th name tried for `destino`: itself first, then " (2)", " (3)", ...
std::filesystem::path conNumero(const std::filesystem::path& destino, int n) {
    if (n == 1) {
        return destino;
    }
    const std::string nombre = destino.filename().string();
    std::size_t corte = nombre.rfind('.');
    if (estaEnviado(nombre)) {
        corte = nombre.size() - std::string_view(".ENVIADO.PDF").size();
    }
    if (corte == std::string::npos) {
        corte = nombre.size();
    }
    return destino.parent_path() /
           (nombre.substr(0, corte) + " (" + std::to_string(n) + ")" + nombre.substr(corte));
}

} // namespace

std::string sinUltimosCaracteres(const std::string& texto, std::size_t n) {
    std::size_t fin = texto.size();
    while (n > 0 && fin > 0) {
        --fin;
        if ((static_cast<unsigned char>(texto[fin]) & 0xC0) != 0x80) {
            --n;
        }
    }
    return texto.substr(0, fin);
}

std::vector<std::filesystem::path> nombresOcupados(const std::filesystem::path& destino) {
    std::vector<std::filesystem::path> ocupados;
    std::error_code error;
    for (int n = 1; n < kNombresPosibles; ++n) {
        auto candidato = conNumero(destino, n);
        if (!std::filesystem::exists(candidato, error)) {
            break;
        }
        ocupados.push_back(std::move(candidato));
    }
    return ocupados;
}

std::filesystem::path moverDocumento(const std::filesystem::path& origen,
                                     const std::filesystem::path& destino) {
    // Looked up only when the move fails: on a share each look-up is a round trip to the server.
    try {
        for (int n = 1; n < kNombresPosibles; ++n) {
            auto candidato = conNumero(destino, n);
            if (fs::renameWithoutReplacing(origen, candidato)) {
                return candidato;
            }
        }
    } catch (const std::runtime_error&) {
        std::error_code error;
        if (!std::filesystem::exists(origen, error)) {
            throw std::runtime_error("El documento " + origen.string() + " ya no existe");
        }
        throw;
    }
    throw std::runtime_error("No hay un nombre libre para " + destino.string());
}

} // namespace envio
