#include "database/EvaluarConsulta.h"

#include "database/Texto.h"

#include <algorithm>

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
    case Condicion::Operador::EsNulo:
        return value.esNulo();
    case Condicion::Operador::NoEsNulo:
        return !value.esNulo();
    case Condicion::Operador::Igual:
        return equals(value, condicion.valor);
    }
    return false;
}

// What a value sorts by, worked out once per row rather than once per comparison: null first,
// then numbers, then texts in dictionary order.
struct SortKey {
    int rank = 0;
    double number = 0.0;
    std::string text;

    explicit SortKey(const Valor& v)
        : rank(v.esNulo() ? 0 : (v.tipo() == Valor::Tipo::Numero ? 1 : 2)),
          number(rank == 1 ? v.comoNumero().value_or(0.0) : 0.0),
          text(rank == 2 ? claveParaOrdenar(v.comoTexto()) : std::string()) {}

    [[nodiscard]] int compare(const SortKey& other) const {
        if (rank != other.rank) {
            return rank - other.rank;
        }
        if (rank == 1) {
            return number < other.number ? -1 : (number > other.number ? 1 : 0);
        }
        return text.compare(other.text);
    }
};

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

TablaLeida evaluarConsulta(const ConsultaSql& consulta, TablaLeida tabla) {
    std::vector<std::size_t> rows = matchingRows(consulta, tabla);
    if (consulta.orden) {
        const auto column = static_cast<std::size_t>(columnOf(tabla, consulta.orden->campo));
        const bool descending = consulta.orden->descendente;
        std::vector<std::pair<SortKey, std::size_t>> keyed;
        keyed.reserve(rows.size());
        for (const auto r : rows) {
            keyed.emplace_back(SortKey(tabla.filas[r][column]), r);
        }
        std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& x, const auto& y) {
            const int order = x.first.compare(y.first);
            return descending ? order > 0 : order < 0;
        });
        for (std::size_t i = 0; i < rows.size(); ++i) {
            rows[i] = keyed[i].second;
        }
    }
    TablaLeida result{tabla.nombre, {}, {}};
    result.filas.reserve(rows.size());
    // The table is ours: its values move into the answer instead of being copied.
    if (consulta.campos.empty()) {
        result.columnas = std::move(tabla.columnas);
        for (const auto r : rows) {
            result.filas.push_back(std::move(tabla.filas[r]));
        }
        return result;
    }
    std::vector<std::size_t> columns;
    for (const auto& campo : consulta.campos) {
        columns.push_back(static_cast<std::size_t>(columnOf(tabla, campo)));
        result.columnas.push_back(tabla.columnas[columns.back()]);
    }
    // A field asked for twice is copied for all but its last place.
    std::vector<bool> lastUse(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        lastUse[i] = std::find(columns.begin() + static_cast<std::ptrdiff_t>(i) + 1, columns.end(),
                               columns[i]) == columns.end();
    }
    for (const auto r : rows) {
        std::vector<Valor> fila;
        fila.reserve(columns.size());
        for (std::size_t i = 0; i < columns.size(); ++i) {
            Valor& value = tabla.filas[r][columns[i]];
            fila.push_back(lastUse[i] ? std::move(value) : value);
        }
        result.filas.push_back(std::move(fila));
    }
    return result;
}

} // namespace envio
