#pragma once

#include <QMainWindow>

namespace envio::gui {

// The main window.
class FrmPrincipal : public QMainWindow {
    Q_OBJECT
public:
    explicit FrmPrincipal(QWidget* parent = nullptr);
};

} // namespace envio::gui
