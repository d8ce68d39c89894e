#include "settings/IniFile.h"

#include "platform/FileSystem.h"
#include "platform/WriteInPlace.h"
#include "settings/IniDocument.h"
#include "settings/Windows1252.h"

#include <algorithm>
#include <stdexcept>

namespace envio {
namespace {

constexpr std::size_t kMaxValueCharacters = 256;

// Cuts after `limit` UTF-8 characters: the platform's buffer holds 256 single-byte characters.
std::string cutCharacters(std::string text, std::size_t limit) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (characters == limit) {
                text.resize(i);
                break;
            }
            ++characters;
        }
    }
    return text;
}

} // namespace

std::string LeerIni(const std::filesystem::path& archivo, std::string_view seccion,
                    std::string_view clave, std::string_view porDefecto) {
    // A save cut short by a crash is completed or undone before anyone reads the file.
    fs::recoverInterruptedWrite(archivo);
    const auto bytes = fs::readFile(archivo);
    std::string valor(porDefecto);
    if (bytes) {
        if (auto leido = IniDocument(*bytes).value(seccion, clave)) {
            valor = std::move(*leido);
        }
    }
    return cutCharacters(std::move(valor), kMaxValueCharacters);
}

bool EscribirIni(const std::filesystem::path& archivo, std::string_view seccion,
                 std::string_view clave, std::string_view valor) {
    std::string linea(valor);
    std::replace(linea.begin(), linea.end(), '\r', ' ');
    std::replace(linea.begin(), linea.end(), '\n', ' ');
    fs::recoverInterruptedWrite(archivo);
    std::optional<std::string> actual = fs::readFile(archivo);
    if (!actual) {
        // A file that is there but cannot be read would be replaced by one holding this key
        // alone, and the suite would lose every other setting.
        std::error_code error;
        if (std::filesystem::exists(archivo, error) || error) {
            return false;
        }
        actual.emplace();
    }
    IniDocument documento(*actual);
    documento.setValue(seccion, clave, linea);
    try {
        // In place: the file keeps its owner, group and mode, also in a folder we cannot add
        // files to.
        fs::writeFileInPlace(archivo, documento.bytes());
    } catch (const std::runtime_error&) {
        return false;
    }
    return true;
}

std::string letrasQueNoCaben(const std::filesystem::path& archivo, std::string_view texto) {
    const auto bytes = fs::readFile(archivo);
    if (bytes && IniDocument(*bytes).isUtf8()) {
        return {};
    }
    return charactersOutsideWindows1252(texto);
}

} // namespace envio
