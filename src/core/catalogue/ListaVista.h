#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace envio {

inline constexpr int kIconoPendiente = 1;
inline constexpr int kIconoEnviado = 2;
inline constexpr std::uint32_t kColorNormal = 0x000000;
inline constexpr std::uint32_t kColorError = 0x0000FF; // 255: pure red in the suite's BGR colours

// One row of a list: the first column's text, sub-items 1 to 5 (columns 2 to 6), the tag (the
// document's full path), the small icon, the check mark and the text colour.
struct FilaLista {
    std::string texto;
    std::array<std::string, 5> subitems;
    std::string etiqueta;
    int icono = kIconoPendiente;
    bool marcada = false;
    std::uint32_t color = kColorNormal;
    // Not empty when the document has its pending name but may already be with its recipient
    // (a run stopped without the server's answer, or before renaming it): when, to whom and
    // what the server said, for the list's tooltip.
    std::string dudoso;
};

// The document and recipient lists as plain data, which the windows show. Keeps the sort
// settings across refills: once sorted, rows stay in the chosen order after every refill.
class ListaVista {
public:
    void limpiar();
    FilaLista& agregar(std::string texto);

    [[nodiscard]] std::size_t cantidad() const { return filas_.size(); }
    [[nodiscard]] bool vacia() const { return filas_.empty(); }
    FilaLista& fila(std::size_t i) { return filas_.at(i); }
    [[nodiscard]] const FilaLista& fila(std::size_t i) const { return filas_.at(i); }
    [[nodiscard]] const std::vector<FilaLista>& filas() const { return filas_; }
    std::vector<FilaLista>& filas() { return filas_; }

    // The row the user last selected, if any.
    [[nodiscard]] std::optional<std::size_t> actual() const { return actual_; }
    void seleccionar(std::optional<std::size_t> fila);

    // A click on a column header (0 = first column): flips the order when the list is already
    // sorted, whichever column it was sorted by, otherwise sorts ascending; then sorts.
    void clicEnCabecera(int columna);
    void ordenar(); // applies the sort settings, if sorting is on
    [[nodiscard]] bool ordenada() const { return ordenada_; }
    [[nodiscard]] int columnaOrden() const { return columna_; }
    [[nodiscard]] bool descendente() const { return descendente_; }

private:
    std::vector<FilaLista> filas_;
    std::optional<std::size_t> actual_;
    int columna_ = 0;
    bool descendente_ = false;
    bool ordenada_ = false;
};

} // namespace envio
