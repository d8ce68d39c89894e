#pragma once

// The window chrome's geometry rules in twips (1/1440 inch; 15 make a pixel at 96 dots per inch):
// the main window's frame and its re-layout on resizing, the stacking of the side-panel boxes and
// the parts of a collapsible box. The windows convert to pixels for the screen they are on.

#include <array>

namespace envio {

inline constexpr int kTwipsPorPulgada = 1440;

struct RectTwips {
    int x = 0;
    int y = 0;
    int ancho = 0;
    int alto = 0;
    [[nodiscard]] constexpr int derecha() const { return x + ancho; }
    [[nodiscard]] constexpr int abajo() const { return y + alto; }
    constexpr bool operator==(const RectTwips&) const = default;
};

struct TamanoTwips {
    int ancho = 0;
    int alto = 0;
    constexpr bool operator==(const TamanoTwips&) const = default;
};

// The main window as designed.
namespace principal {
inline constexpr TamanoTwips kMinimo{11760, 8265};
inline constexpr int kAltoCabeza = 735;
inline constexpr int kAnchoMenu = 3255;
inline constexpr int kAltoBarraEstado = 240;
inline constexpr RectTwips kP1{120, 120, 3015, 3315};
inline constexpr RectTwips kP2{120, 3540, 3015, 2115};
inline constexpr RectTwips kP3{120, 5760, 3015, 1515};
inline constexpr int kSeparacionCuadros = 100;
inline constexpr int kIzquierdaPestanas = 3420;
inline constexpr int kArribaPestanas = 1200;
inline constexpr RectTwips kLista{3480, 1560, 0, 0};
// Design widths of the list's six columns; the last is a hidden sort key.
inline constexpr std::array<int, 6> kAnchosColumnas{1440, 4000, 1140, 1124, 854, 0};
} // namespace principal

// What the main window's layout reads and moves, in twips, as it stands before the layout runs.
struct MarcoPrincipal {
    TamanoTwips ventana;
    int anchoCabeza = 0; // PicCabeza
    int altoCabeza = 0;
    int anchoMenu = 0;         // PicMenu
    int arribaBarraEstado = 0; // StatusBar1
    RectTwips logo;
    RectTwips linea;
    RectTwips gradiente;
    RectTwips combo;
    RectTwips tabMeses;
    RectTwips tabAnos;
    RectTwips lista;
    RectTwips busqueda;
    std::array<double, 6> columnas{};
};

// The re-layout after every resize: the header's logo and line follow the width, the band, the
// tab strips, the list and the search box fill the working area, and list columns 1 and 2 share
// what the other columns leave. A step whose result would be negative is skipped, the others
// still run.
void disponerPrincipal(MarcoPrincipal& marco);

// Side-panel boxes stack with a fixed gap: the top of the box that follows `cuadro`.
constexpr int arribaDebajoDe(const RectTwips& cuadro) {
    return cuadro.abajo() + principal::kSeparacionCuadros;
}

// The parts of a collapsible box, relative to the box.
struct PartesCuadro {
    RectTwips cabecera{0, 0, 3225, 375};    // header strip; its height is the collapsed height
    RectTwips borde{0, 1440, 3225, 30};     // bottom edge
    RectTwips cuerpo{0, 360, 3225, 495};    // side edges and fill
    RectTwips plegar{2840, 30, 315, 280};   // collapse button
    RectTwips desplegar{2850, 0, 315, 315}; // expand button
};

namespace cuadro {
inline constexpr TamanoTwips kDiseno{3225, 1500};
inline constexpr int kAltoPlegado = 375;
} // namespace cuadro

// The box's re-layout for its new size: strips as wide as the box, the bottom edge at the bottom,
// the body between, both buttons at the right end of the header.
void disponerCuadro(PartesCuadro& partes, TamanoTwips cuadro);

} // namespace envio
