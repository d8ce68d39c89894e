#include "database/EvaluarConsulta.h"

#include "database/Texto.h"

#include <algorithm>

namespace envio {
namespace {

int columnaDe(const TablaLeida& tabla, const std::string& campo) {
    const int posicion = tabla.posicion(campo);
    if (posicion < 0) {
        throw ErrorSql("El campo " + campo + " no existe en la tabla " + tabla.nombre);
    }
    return posicion;
}

bool esIgual(const Valor& valor, const Valor& literal) {
    if (valor.esNulo()) {
        return false;
    }
    if (literal.tipo() == Valor::Tipo::Texto && valor.tipo() == Valor::Tipo::Texto) {
        return igualesSinMayusculas(valor.comoTexto(), literal.comoTexto());
    }
    const auto a = valor.comoNumero();
    const auto b = literal.comoNumero();
    return a && b && *a == *b;
}

bool cumple(const Condicion& condicion, const Valor& valor) {
    switch (condicion.operador) {
    case Condicion::Operador::EsNulo:
        return valor.esNulo();
    case Condicion::Operador::NoEsNulo:
        return !valor.esNulo();
    case Condicion::Operador::Igual:
        return esIgual(valor, condicion.valor);
    }
    return false;
}

// What a value sorts by, worked out once per row rather than once per comparison: null first,
// then numbers, then texts in dictionary order.
struct ClaveOrden {
    int rango = 0;
    double numero = 0.0;
    std::string texto;

    explicit ClaveOrden(const Valor& v)
        : rango(v.esNulo() ? 0 : (v.tipo() == Valor::Tipo::Numero ? 1 : 2)),
          numero(rango == 1 ? v.comoNumero().value_or(0.0) : 0.0),
          texto(rango == 2 ? claveParaOrdenar(v.comoTexto()) : std::string()) {}

    [[nodiscard]] int comparar(const ClaveOrden& otra) const {
        if (rango != otra.rango) {
            return rango - otra.rango;
        }
        if (rango == 1) {
            return numero < otra.numero ? -1 : (numero > otra.numero ? 1 : 0);
        }
        return texto.compare(otra.texto);
    }
};

std::vector<std::size_t> filasQueCumplen(const ConsultaSql& consulta, const TablaLeida& tabla) {
    std::vector<std::pair<const Condicion*, int>> condiciones;
    for (const auto& c : consulta.condiciones) {
        condiciones.emplace_back(&c, columnaDe(tabla, c.campo));
    }
    std::vector<std::size_t> elegidas;
    for (std::size_t r = 0; r < tabla.filas.size(); ++r) {
        const auto& fila = tabla.filas[r];
        if (std::all_of(condiciones.begin(), condiciones.end(), [&](const auto& c) {
                return cumple(*c.first, fila[static_cast<std::size_t>(c.second)]);
            })) {
            elegidas.push_back(r);
        }
    }
    return elegidas;
}

} // namespace

std::vector<std::string> camposNecesarios(const ConsultaSql& consulta) {
    if (consulta.campos.empty()) {
        return {};
    }
    std::vector<std::string> campos = consulta.campos;
    for (const auto& c : consulta.condiciones) {
        campos.push_back(c.campo);
    }
    if (consulta.orden) {
        campos.push_back(consulta.orden->campo);
    }
    return campos;
}

TablaLeida evaluarConsulta(const ConsultaSql& consulta, TablaLeida tabla) {
    std::vector<std::size_t> elegidas = filasQueCumplen(consulta, tabla);
    if (consulta.orden) {
        const auto columna = static_cast<std::size_t>(columnaDe(tabla, consulta.orden->campo));
        const bool descendente = consulta.orden->descendente;
        std::vector<std::pair<ClaveOrden, std::size_t>> conClave;
        conClave.reserve(elegidas.size());
        for (const auto r : elegidas) {
            conClave.emplace_back(ClaveOrden(tabla.filas[r][columna]), r);
        }
        std::stable_sort(conClave.begin(), conClave.end(), [&](const auto& x, const auto& y) {
            const int comparacion = x.first.comparar(y.first);
            return descendente ? comparacion > 0 : comparacion < 0;
        });
        for (std::size_t i = 0; i < elegidas.size(); ++i) {
            elegidas[i] = conClave[i].second;
        }
    }
    TablaLeida resultado{tabla.nombre, {}, {}};
    resultado.filas.reserve(elegidas.size());
    // The table is ours: its values move into the answer instead of being copied.
    if (consulta.campos.empty()) {
        resultado.columnas = std::move(tabla.columnas);
        for (const auto r : elegidas) {
            resultado.filas.push_back(std::move(tabla.filas[r]));
        }
        return resultado;
    }
    std::vector<std::size_t> posiciones;
    for (const auto& campo : consulta.campos) {
        posiciones.push_back(static_cast<std::size_t>(columnaDe(tabla, campo)));
        resultado.columnas.push_back(tabla.columnas[posiciones.back()]);
    }
    // A field asked for twice is copied for all but its last place.
    std::vector<bool> ultimoUso(posiciones.size());
    for (std::size_t i = 0; i < posiciones.size(); ++i) {
        ultimoUso[i] = std::find(posiciones.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                 posiciones.end(), posiciones[i]) == posiciones.end();
    }
    for (const auto r : elegidas) {
        std::vector<Valor> fila;
        fila.reserve(posiciones.size());
        for (std::size_t i = 0; i < posiciones.size(); ++i) {
            Valor& valor = tabla.filas[r][posiciones[i]];
            fila.push_back(ultimoUso[i] ? std::move(valor) : valor);
        }
        resultado.filas.push_back(std::move(fila));
    }
    return resultado;
}

} // namespace envio
