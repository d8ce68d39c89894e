#pragma once

#include <string>
#include <string_view>

namespace envio {

// Scrambles (`codificar` true) or unscrambles the stored mail password. Each character moves two
// codes up in Windows-1252 and is followed by a random filler (a digit, a capital or one of
// "abc"), so the same password is stored differently on every save; unscrambling drops the
// fillers and moves the codes back. Texts are UTF-8 on both sides.
std::string CodificarClave(std::string_view texto, bool codificar);

} // namespace envio
