#pragma once

#include "catalogue/ListaVista.h"
#include "host/ContextoAnfitrion.h"
#include "platform/FileSystem.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace envio::masivo {

// Which list the notice window shows: the suite's clients when the main window lists invoices,
// the alternative address table for any payroll type.
enum class Fuente { Clientes, Alternativa };
Fuente fuenteParaTipo(std::string_view tipoElegido);

// An active client with at least one e-mail row, as the list shows it.
struct ClienteConCorreo {
    std::string texto;                // "00042 Nombre"
    std::optional<std::string> grupo; // the control digits, null when the suite left them null
    std::string direccion;            // may be empty: an "E" row without a number
};

// Whether a row is checked by the group filter: the filter without blanks at its ends, found
// anywhere in `grupo`, letter case counting. An empty filter or a null group never matches.
bool coincideGrupo(const std::optional<std::string>& grupo, std::string_view filtro);

// The notice window's recipients. The suite's tables are read once and kept while their database
// file does not change, because the list is rebuilt on every keystroke of the filter box and the
// suite's Access file would otherwise be queried once per client each time.
class ListaDestinatarios {
public:
    explicit ListaDestinatarios(const ContextoAnfitrion& contexto);

    // Empties `lv` and fills it with the active clients that have an e-mail row, in ascending
    // client number, checking those whose group matches `filtro`. Keeps the list's sort order.
    void LlenarLvClientes(ListaVista& lv, const std::string& filtro);
    // Empties `lv` and fills it with the rows of the alternative address table, none checked;
    // stays empty when no alternative source is open.
    void LlenarLvAlternativo(ListaVista& lv);

    // What was read, for the fills and for whoever wants to look.
    const std::vector<ClienteConCorreo>& clientes();

private:
    void cargarClientes();

    const ContextoAnfitrion& contexto_;
    std::optional<fs::Stamp> marcaClientes_;
    std::vector<ClienteConCorreo> clientes_;
};

// "TODO" checks every row, "NADA" clears every check, "INVERTIR" flips each; any other text
// leaves the list alone (letter case counts).
void Seleccion(ListaVista& lv, std::string_view strSeleccion);

} // namespace envio::masivo
