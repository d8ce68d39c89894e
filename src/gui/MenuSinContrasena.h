#pragma once

class QMenu;

namespace envio::gui {

class FrmPrincipal;

// Payroll: the list's context menu, `menu`, gains "Enviar sin contraseña a este trabajador", ticked
// when the current row's employee is on the list of those whose documents go out without a
// password; choosing it puts the employee on that list or takes them off it.
void anadirMenuSinContrasena(QMenu& menu, FrmPrincipal& ventana);

} // namespace envio::gui
