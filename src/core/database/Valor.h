#pragma once

#include <optional>
#include <string>

namespace envio {

// One field's value as the program sees it: null, a text or a number. Numbers keep the text they
// were read as (written without regard to the locale: "3.5", "12"), so they print as stored.
class Valor {
public:
    enum class Tipo { Nulo, Texto, Numero };

    Valor() = default;
    static Valor nulo() { return {}; }
    static Valor texto(std::string t) { return Valor(Tipo::Texto, std::move(t)); }
    static Valor numero(std::string canonico) { return Valor(Tipo::Numero, std::move(canonico)); }
    static Valor numero(double n);

    [[nodiscard]] Tipo tipo() const { return tipo_; }
    [[nodiscard]] bool esNulo() const { return tipo_ == Tipo::Nulo; }
    // The value as text; the empty text for null.
    [[nodiscard]] const std::string& comoTexto() const { return texto_; }
    // A number, or a text that is wholly a number; nothing otherwise.
    [[nodiscard]] std::optional<double> comoNumero() const;
    // A whole number (the suite's client and employee codes), within the range a double holds
    // exactly; nothing for anything else, which cannot be joined to its rows.
    [[nodiscard]] std::optional<long long> comoEntero() const;

    bool operator==(const Valor&) const = default;

private:
    Valor(Tipo tipo, std::string texto) : tipo_(tipo), texto_(std::move(texto)) {}
    Tipo tipo_ = Tipo::Nulo;
    std::string texto_;
};

// Numbers as text the same way on every machine and from every engine ("0.1", "-0.0001", "-3";
// an exponent only below 0.00001 or from 1e15 on: "1e-07", "1e+20").
std::string textoDeNumero(double n);

} // namespace envio
