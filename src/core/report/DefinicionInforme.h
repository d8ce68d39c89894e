#pragma once

#include "host/CarpetaPrograma.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace envio {

// A piece of a band's text: written text, or a field filled in when the page is laid out.
struct TrozoPlantilla {
    enum class Tipo { Literal, Formula, Fecha, Pagina, Paginas, Registros } tipo = Tipo::Literal;
    std::string texto; // the literal, or the formula's name with braces and "@" ("{@Usuario}")
};
using Plantilla = std::vector<TrozoPlantilla>;

enum class EstiloLinea { Titulo, Subtitulo, Texto, Negrita, Pequeno };

// One line of a band: a text on the left and another on the right, a rule, or a gap.
struct LineaBanda {
    enum class Tipo { Texto, Raya, Espacio } tipo = Tipo::Texto;
    EstiloLinea estilo = EstiloLinea::Texto;
    Plantilla izquierda;
    Plantilla derecha;
    double medida = 0; // the gap in mm, or the rule's thickness in mm
};

struct ColumnaInforme {
    std::string campo;  // the work table's field
    double peso = 1;    // share of the printable width, relative to the other columns
    std::string titulo; // the column heading
};

struct FormulaDefinida {
    std::string nombre;  // as the file spells it, braces and "@" included
    std::string formula; // the formula text: a quoted literal
};

// The layout of a report, read from a definition file (format in docs/report-format.md).
struct DefinicionInforme {
    std::string tabla = "INFORMETMP2008";
    std::string orden; // field the rows are sorted by; empty keeps the table's order
    bool apaisado = false;
    double margenIzquierdo = 15, margenSuperior = 12, margenDerecho = 15, margenInferior = 12;
    std::string fuente = "DejaVu Sans";
    std::vector<FormulaDefinida> formulas;
    std::vector<LineaBanda> cabecera; // at the top of every page
    std::vector<ColumnaInforme> columnas;
    std::vector<LineaBanda> final; // once, after the last row
    std::vector<LineaBanda> pie;   // at the bottom of every page

    // Sets the text of the formula named exactly `nombre` (letter case, braces and "@" count).
    // Returns false, changing nothing, when the definition has no such formula.
    bool fijarFormula(std::string_view nombre, std::string formula);
    // The text the formula yields; the empty text for a name the definition lacks.
    [[nodiscard]] std::string valorFormula(std::string_view nombre) const;
};

// Reads a definition from its text (UTF-8). Throws ErrorInforme naming the line at fault.
DefinicionInforme leerDefinicionInforme(std::string_view texto);

// The folders searched after the program folder: the installed data folder and, when running
// from a build tree, the source tree's data folder.
std::vector<std::filesystem::path> carpetasDatosInforme();

// Finds `fichero` in the program folder (letter case does not count), then in `otrasCarpetas`,
// and reads it. Throws ErrorInforme with kReporteNoEncontrado when it is nowhere, cannot be
// read, or is not a definition (then with the reason on a second line).
DefinicionInforme cargarDefinicionInforme(
    const CarpetaPrograma& carpeta, std::string_view fichero,
    const std::vector<std::filesystem::path>& otrasCarpetas = carpetasDatosInforme());

} // namespace envio
