#pragma once

#include "revision/Hallazgo.h"

#include <QDialog>
#include <vector>

class QPushButton;
class QTableWidget;
class QTableWidgetItem;

namespace envio::gui {

// "Revisar antes de enviar": every finding of a run's review in one table that sorts by any
// column and copies as text. Each row's first column sends or keeps back its document (a
// blocked one is never sent, so its box is off and fixed). "Enviar" sends what may be sent,
// "Volver" (and Esc, and closing) sends nothing.
class FrmRevision : public QDialog {
    Q_OBJECT
public:
    explicit FrmRevision(std::vector<Hallazgo> hallazgos, QWidget* parent = nullptr);

    // What the user chose; meaningful once the window has closed.
    [[nodiscard]] DecisionRevision decision() const;

    [[nodiscard]] QTableWidget* tabla() const { return tabla_; }
    [[nodiscard]] QPushButton* cmdEnviar() const { return enviar_; }
    [[nodiscard]] QPushButton* cmdVolver() const { return volver_; }
    [[nodiscard]] QPushButton* cmdCopiar() const { return copiar_; }
    // The findings as tab-separated lines, in the order the table shows them.
    [[nodiscard]] QString texto() const;

private:
    void marcaCambiada(QTableWidgetItem* cambiada);

    std::vector<Hallazgo> hallazgos_;
    QTableWidget* tabla_ = nullptr;
    QPushButton* enviar_ = nullptr;
    QPushButton* volver_ = nullptr;
    QPushButton* copiar_ = nullptr;
    bool cambiando_ = false;
};

} // namespace envio::gui
