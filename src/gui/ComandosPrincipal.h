#pragma once

#include <memory>

namespace envio::gui {

class FrmPrincipal;
class EnvioPrincipal;

// Connects the main window's commands whose windows and runs live elsewhere: the sending run
// (link 0 and the menu), the message template (3), mass communications (5) and the server
// settings (11). The settings windows hand back the reloaded mail settings. The returned run
// must be destroyed before the window.
std::unique_ptr<EnvioPrincipal> conectarComandos(FrmPrincipal& ventana);

} // namespace envio::gui
