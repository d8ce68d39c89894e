#include "settings/ConvertirCaracter.h"

#include <string_view>

namespace envio {
namespace {

std::string_view marcador(char caracter) {
    switch (caracter) {
    case '\n':
        return "[CR]";
    case '\r':
        return "[LF]";
    case '\'':
        return "[CS]";
    default:
        return {};
    }
}

void reemplazarTodo(std::string& texto, std::string_view buscado, std::string_view nuevo) {
    std::size_t posicion = 0;
    while ((posicion = texto.find(buscado, posicion)) != std::string::npos) {
        texto.replace(posicion, buscado.size(), nuevo);
        posicion += nuevo.size();
    }
}

} // namespace

std::string ConvertirCaracter(std::string texto, char caracter, bool codificar) {
    const std::string_view marca = marcador(caracter);
    if (marca.empty()) {
        return texto;
    }
    const std::string_view solo(&caracter, 1);
    if (codificar) {
        reemplazarTodo(texto, solo, marca);
    } else {
        reemplazarTodo(texto, marca, solo);
    }
    return texto;
}

std::string codificarSaltos(std::string texto) {
    return ConvertirCaracter(ConvertirCaracter(std::move(texto), '\n', true), '\r', true);
}

std::string decodificarSaltos(std::string texto) {
    return ConvertirCaracter(ConvertirCaracter(std::move(texto), '\n', false), '\r', false);
}

} // namespace envio
