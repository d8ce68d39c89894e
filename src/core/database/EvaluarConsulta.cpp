#include "database/EvaluarConsulta.h"

#include "database/Texto.h"

#include <algorithm>
#include <numeric>

namespace envio {
namespace {

int columnOf(const TablaLeida& tabla, const std::string& campo) {
    const int position = tabla.posicion(campo);
    if (position < 0) {
        throw ErrorSql("El campo " + campo + " no existe en la tabla " + tabla.nombre);
    }
    return position;
}

bool equals(const Valor& value, const Valor& literal) {
    if (value.esNulo()) {
        return false;
    }
    if (literal.tipo() == Valor::Tipo::Texto && value.tipo() == Valor::Tipo::Texto) {
        return igualesSinMayusculas(value.comoTexto(), literal.comoTexto());
    }
    const auto a = value.comoNumero();
    const auto b = literal.comoNumero();
    return a && b && *a == *b;
}

bool matches(const Condicion& condicion, const Valor& value) {
    switch (condicion.operador) {
    case Condicion::Operador::EsNulo: return value.esNulo();
    case Condicion::Operador::NoEsNulo: return !value.esNulo();
    case Condicion::Operador::Igual: return equals(value, condicion.valor);
    }
    return false;
}

// Null sorts first, then numbers, then texts in dictionary order.
int compare(const Valor& a, const Valor& b) {
    const auto rank = [](const Valor& v) {
        return v.esNulo() ? 0 : (v.tipo() == Valor::Tipo::Numero ? 1 : 2);
    };
    if (rank(a) != rank(b)) {
        return rank(a) - rank(b);
    }
    if (a.tipo() == Valor::Tipo::Numero) {
        const double x = a.comoNumero().value_or(0.0);
        const double y = b.comoNumero().value_or(0.0);
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    return compararParaOrdenar(a.comoTexto(), b.comoTexto());
}

std::vector<std::size_t> matchingRows(const ConsultaSql& consulta, const TablaLeida& tabla) {
    std::vector<std::pair<const Condicion*, int>> conditions;
    for (const auto& c : consulta.condiciones) {
        conditions.emplace_back(&c, columnOf(tabla, c.campo));
    }
    std::vector<std::size_t> rows;
    for (std::size_t r = 0; r < tabla.filas.size(); ++r) {
        const auto& fila = tabla.filas[r];
        if (std::all_of(conditions.begin(), conditions.end(), [&](const auto& c) {
                return matches(*c.first, fila[static_cast<std::size_t>(c.second)]);
            })) {
            rows.push_back(r);
        }
    }
    return rows;
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

TablaLeida evaluarConsulta(const ConsultaSql& consulta, const TablaLeida& tabla) {
    std::vector<std::size_t> rows = matchingRows(consulta, tabla);
    if (consulta.orden) {
        const auto column = static_cast<std::size_t>(columnOf(tabla, consulta.orden->campo));
        const bool descending = consulta.orden->descendente;
        std::stable_sort(rows.begin(), rows.end(), [&](std::size_t x, std::size_t y) {
            const int order = compare(tabla.filas[x][column], tabla.filas[y][column]);
            return descending ? order > 0 : order < 0;
        });
    }
    std::vector<std::size_t> columns(tabla.columnas.size());
    std::iota(columns.begin(), columns.end(), 0);
    if (!consulta.campos.empty()) {
        columns.clear();
        for (const auto& campo : consulta.campos) {
            columns.push_back(static_cast<std::size_t>(columnOf(tabla, campo)));
        }
    }
    TablaLeida result{tabla.nombre, {}, {}};
    for (const auto c : columns) {
        result.columnas.push_back(tabla.columnas[c]);
    }
    result.filas.reserve(rows.size());
    for (const auto r : rows) {
        std::vector<Valor> fila;
        fila.reserve(columns.size());
        for (const auto c : columns) {
            fila.push_back(tabla.filas[r][c]);
        }
        result.filas.push_back(std::move(fila));
    }
    return result;
}

} // namespace envio
