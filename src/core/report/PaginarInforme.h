#pragma once

#include "report/DefinicionInforme.h"

#include <string>
#include <string_view>
#include <vector>

namespace envio {

// Lengths on the page are in millimetres from the paper's top left corner; font sizes in points.
struct Fuente {
    double puntos = 9;
    bool negrita = false;
};

// How wide a text is set in the report's typeface. The windows measure with the fonts that will
// draw it, so that lines break where the drawing needs them to; tests measure as they like.
class MedidaTexto {
public:
    virtual ~MedidaTexto() = default;
    [[nodiscard]] virtual double ancho(std::string_view texto, const Fuente& fuente) const = 0;
};

enum class Alineacion { Izquierda, Derecha };

// One line of text, already broken to fit: drawn in its box, top aligned.
struct TextoPagina {
    double x = 0, y = 0, ancho = 0, alto = 0;
    std::string texto;
    Fuente fuente;
    Alineacion alineacion = Alineacion::Izquierda;
};

struct RayaPagina {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    double grosor = 0.3;
};

// A shaded box behind a heading or a row; `gris` from 0 (black) to 255 (white).
struct RellenoPagina {
    double x = 0, y = 0, ancho = 0, alto = 0;
    int gris = 240;
};

struct PaginaInforme {
    std::vector<RellenoPagina> rellenos; // drawn first
    std::vector<RayaPagina> rayas;
    std::vector<TextoPagina> textos;
};

// The report laid out on paper, ready to be drawn by any device.
struct InformePaginado {
    double anchoPapel = 210, altoPapel = 297;
    bool apaisado = false;
    std::string familia; // the typeface
    std::string titulo;  // the report's title, for the window and the PDF's properties
    std::size_t registros = 0;
    std::vector<PaginaInforme> paginas;
};

// Interline of every style, as a multiple of the font size.
inline constexpr double kInterlineado = 1.3;

// The font of each kind of band line.
Fuente fuenteDe(EstiloLinea estilo);
// Rows and their headings are a size smaller than band text: a file name of the suite
// ("000123_20260315_000045.ENVIADO.PDF") then fits its column on A4.
inline constexpr Fuente kFuenteFila{8, false};
inline constexpr Fuente kFuenteEncabezado{8, true};

// Breaks `texto` into lines no wider than `ancho`: between words where it can, inside a word
// (an address, a file name) where it must. Nothing is dropped but the blanks at the breaks.
std::vector<std::string> partirEnLineas(std::string_view texto, double ancho, const Fuente& fuente,
                                        const MedidaTexto& medida);

// Lays out the rows (one text per column, in the definition's column order) on A4 pages with the
// definition's bands. Formula fields show their formulas' values; `fecha` fills {Fecha}.
InformePaginado paginarInforme(const DefinicionInforme& definicion,
                               const std::vector<std::vector<std::string>>& filas,
                               const std::string& fecha, const MedidaTexto& medida);

} // namespace envio
