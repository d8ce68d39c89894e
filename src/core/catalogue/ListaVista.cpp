#include "catalogue/ListaVista.h"

#include <algorithm>

namespace envio {

void ListaVista::limpiar() {
    filas_.clear();
    actual_.reset();
}

FilaLista& ListaVista::agregar(std::string texto) {
    filas_.push_back(FilaLista{std::move(texto), {}, {}, kIconoPendiente, false, kColorNormal, {}});
    return filas_.back();
}

void ListaVista::seleccionar(std::optional<std::size_t> fila) {
    actual_ = fila && *fila < filas_.size() ? fila : std::nullopt;
}

void ListaVista::clicEnCabecera(int columna) {
    columna_ = columna;
    descendente_ = ordenada_ ? !descendente_ : false;
    ordenada_ = true;
    ordenar();
}

void ListaVista::ordenar() {
    if (!ordenada_) {
        return;
    }
    const auto clave = [this](const FilaLista& f) -> const std::string& {
        return columna_ <= 0 ? f.texto : f.subitems.at(static_cast<std::size_t>(columna_ - 1));
    };
    const std::string* actual = actual_ ? &filas_[*actual_].etiqueta : nullptr;
    const std::string etiquetaActual = actual ? *actual : std::string();
    std::stable_sort(filas_.begin(), filas_.end(), [&](const FilaLista& a, const FilaLista& b) {
        return descendente_ ? clave(b) < clave(a) : clave(a) < clave(b);
    });
    if (actual_) {
        const auto posicion = std::find_if(filas_.begin(), filas_.end(), [&](const FilaLista& f) {
            return f.etiqueta == etiquetaActual;
        });
        actual_ = static_cast<std::size_t>(posicion - filas_.begin());
    }
}

} // namespace envio
