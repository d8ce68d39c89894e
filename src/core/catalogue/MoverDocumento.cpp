#include "catalogue/MoverDocumento.h"

#include "catalogue/Catalogo.h"
#include "platform/FileSystem.h"

#include <stdexcept>

namespace envio {
namespace {

std::filesystem::path numbered(const std::filesystem::path& destino, int n) {
    const std::string name = destino.filename().string();
    std::size_t cut = name.rfind('.');
    if (estaEnviado(name)) {
        cut = name.size() - std::string_view(".ENVIADO.PDF").size();
    }
    if (cut == std::string::npos) {
        cut = name.size();
    }
    return destino.parent_path() /
           (name.substr(0, cut) + " (" + std::to_string(n) + ")" + name.substr(cut));
}

} // namespace

std::string sinUltimosCaracteres(const std::string& texto, std::size_t n) {
    std::size_t end = texto.size();
    while (n > 0 && end > 0) {
        --end;
        if ((static_cast<unsigned char>(texto[end]) & 0xC0) != 0x80) {
            --n;
        }
    }
    return texto.substr(0, end);
}

std::filesystem::path moverDocumento(const std::filesystem::path& origen,
                                     const std::filesystem::path& destino) {
    std::error_code error;
    if (!std::filesystem::exists(origen, error)) {
        throw std::runtime_error("El documento " + origen.string() + " ya no existe");
    }
    for (int n = 1; n < 1000; ++n) {
        const auto target = n == 1 ? destino : numbered(destino, n);
        if (fs::renameWithoutReplacing(origen, target)) {
            return target;
        }
    }
    throw std::runtime_error("No hay un nombre libre para " + destino.string());
}

} // namespace envio
