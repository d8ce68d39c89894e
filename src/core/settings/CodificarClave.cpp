#include "settings/CodificarClave.h"

#include "settings/Windows1252.h"

#include <random>

namespace envio {
namespace {

bool isFillerCode(unsigned code) {
    return (code >= 48 && code <= 57) || (code >= 65 && code <= 90) || (code >= 97 && code <= 99);
}

// The filler generator is seeded with the character's position, mixed with a fresh value per
// save, so that a password does not always produce the same stored text.
char filler(std::size_t position, std::uint64_t saveNonce) {
    std::mt19937_64 generator(saveNonce ^ (position * 0x9E3779B97F4A7C15ULL));
    std::uniform_int_distribution<unsigned> twoDigits(0, 99);
    unsigned code = 0;
    do {
        code = twoDigits(generator);
    } while (!isFillerCode(code));
    return static_cast<char>(code);
}

std::string scramble(const std::string& bytes) {
    const std::uint64_t nonce = std::random_device{}();
    std::string out;
    out.reserve(bytes.size() * 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out += static_cast<char>(static_cast<unsigned char>(bytes[i]) + 2);
        out += filler(i + 1, nonce);
    }
    return out;
}

std::string unscramble(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() / 2 + 1);
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        out += static_cast<char>(static_cast<unsigned char>(bytes[i]) - 2);
    }
    return out;
}

} // namespace

std::string CodificarClave(std::string_view texto, bool codificar) {
    const std::string bytes = utf8ToWindows1252(texto);
    return windows1252ToUtf8(codificar ? scramble(bytes) : unscramble(bytes));
}

} // namespace envio
