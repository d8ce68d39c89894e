#pragma once

#include "revision/SinContrasena.h"

#include <QWidget>

class QLineEdit;
class QListWidget;

namespace envio {
class Dialogos;
}

namespace envio::gui {

// The message window's view of the employees whose payslips go out without a password: their
// NIFs, a box to add one and a button to take the chosen one off. Each change is written to the
// list at once (it is shared by every machine and is not part of the message's Guardar).
class CuadroSinContrasena : public QWidget {
    Q_OBJECT
public:
    CuadroSinContrasena(ListaSinContrasena lista, Dialogos& dialogos, QWidget* parent = nullptr);

private:
    void mostrar();
    void anadir();
    void quitar();

    ListaSinContrasena lista_;
    Dialogos& dialogos_;
    QListWidget* nifs_ = nullptr;
    QLineEdit* nuevo_ = nullptr;
};

} // namespace envio::gui
