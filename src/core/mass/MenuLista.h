#pragma once

namespace envio::masivo {

struct PuntoTwips {
    int x = 0;
    int y = 0;
    constexpr bool operator==(const PuntoTwips&) const = default;
};

// The window as designed holds the list on a tab page whose origin is 2500 twips right and 600
// down of the window's; the list's own position is relative to that page.
inline constexpr PuntoTwips kOrigenPaginaLista{2500, 600};

// Where the recipient list's pop-up menu opens, in window twips: the list's left and top edges
// within its page, plus the pointer's position within the list, plus the page's origin in the
// window. A window laid out differently passes its own page origin, so that the menu still opens
// under the pointer.
constexpr PuntoTwips puntoMenuLista(PuntoTwips lista, PuntoTwips puntero,
                                    PuntoTwips origenPagina = kOrigenPaginaLista) {
    return {lista.x + puntero.x + origenPagina.x, lista.y + puntero.y + origenPagina.y};
}

} // namespace envio::masivo
