#pragma once

#include "mass/PlantillaAviso.h"

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

namespace envio::gui {

// The notice window's first tab, "  Mensaje de aviso": the subject, the message and whether to
// ask for a read receipt.
class PaginaMensajeAviso : public QWidget {
public:
    explicit PaginaMensajeAviso(QWidget* parent = nullptr);

    void mostrar(const masivo::PlantillaAviso& plantilla);
    // The template as typed, its lines ended the suite's way (carriage return and line feed).
    [[nodiscard]] masivo::PlantillaAviso plantilla() const;

private:
    QLineEdit* txtAsuntoAviso_ = nullptr;
    QPlainTextEdit* txtMensajeAviso_ = nullptr;
    QCheckBox* check1_ = nullptr;
};

} // namespace envio::gui
