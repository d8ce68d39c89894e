#include "gui/FrmPrincipal.h"

namespace envio::gui {

FrmPrincipal::FrmPrincipal(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Envío de documentos por e-mail"));
    resize(800, 600);
}

} // namespace envio::gui
