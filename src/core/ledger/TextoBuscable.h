#pragma once

#include <string>
#include <string_view>

namespace envio {

// The SQL condition of the attempts the history's index (table `busqueda`) has never held: those
// above its highest id. The ledger that writes the index and the history that reads it must agree
// on it.
inline constexpr std::string_view kNuncaIndexados =
    "id > coalesce((SELECT rowid FROM busqueda ORDER BY rowid DESC LIMIT 1), 0)";

// How the ledger names a notice of a mass mailing: this, then the recipient as listed.
inline constexpr std::string_view kPrefijoAviso = "Comunicaciones masivas: ";

// Between the fields of a searchable text: a search for text without it never matches across
// two fields.
inline constexpr char kSeparadorBuscable = '\n';

// The texts of one attempt that the history's search looks at, as its window shows them
// (documents by file name, a notice by its label), case and accents folded as the search folds
// what is typed, one after another with kSeparadorBuscable between them. The ledger keeps this
// next to each attempt so that a search finds its rows through an index.
struct CamposBuscables {
    std::string_view nombreListado;
    std::string_view direccion;
    std::string_view documento;
    std::string_view enviadoComo;
    std::string_view respuesta;
    std::string_view messageId;
};
std::string textoBuscable(const CamposBuscables& campos);

// What is typed in the search box, folded the same way.
std::string busquedaPlegada(std::string_view texto);

} // namespace envio
