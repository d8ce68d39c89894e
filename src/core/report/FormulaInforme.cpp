#include "report/FormulaInforme.h"

namespace envio {
namespace {

std::string_view sinBlancos(std::string_view texto) {
    const auto esBlanco = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!texto.empty() && esBlanco(texto.front())) {
        texto.remove_prefix(1);
    }
    while (!texto.empty() && esBlanco(texto.back())) {
        texto.remove_suffix(1);
    }
    return texto;
}

} // namespace

std::string formulaDeTexto(std::string_view valor) {
    std::string formula = "'";
    for (const char c : valor) {
        formula += c;
        if (c == '\'') {
            formula += '\'';
        }
    }
    formula += '\'';
    return formula;
}

std::string evaluarFormula(std::string_view formula) {
    const std::string_view texto = sinBlancos(formula);
    if (texto.empty()) {
        return {};
    }
    const char comilla = texto.front();
    if ((comilla != '\'' && comilla != '"') || texto.size() < 2) {
        throw ErrorInforme("La fórmula " + std::string(texto) + " no es un texto entre comillas");
    }
    std::string valor;
    for (std::size_t i = 1; i < texto.size(); ++i) {
        if (texto[i] != comilla) {
            valor += texto[i];
        } else if (i + 1 < texto.size() && texto[i + 1] == comilla) {
            valor += comilla;
            ++i;
        } else if (i + 1 == texto.size()) {
            return valor;
        } else {
            break;
        }
    }
    throw ErrorInforme("La fórmula " + std::string(texto) + " no es un texto entre comillas");
}

} // namespace envio
