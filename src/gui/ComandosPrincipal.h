#pragma once

namespace envio::gui {

class FrmPrincipal;

// Connects the main window's commands whose windows and runs live elsewhere: the sending run
// (link 0 and the menu), the message template (3), mass communications (5) and the server
// settings (11). The settings windows hand back the reloaded mail settings.
void conectarComandos(FrmPrincipal& ventana);

} // namespace envio::gui
