#pragma once

#include "ui/DisposicionVentana.h"

#include <QAbstractButton>
#include <QColor>
#include <QWidget>

namespace envio::gui {

// The round button at the right end of a box's header.
class BotonCuadro : public QAbstractButton {
    Q_OBJECT
public:
    BotonCuadro(bool arriba, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool arriba_;
    bool encima_ = false;
};

// A collapsible box of the side panel: a header strip with a round button that folds the box to
// its header and another that unfolds it to the height it had. The window puts its own title,
// links and labels inside; folding hides them by clipping. The window positions and sizes the box;
// the box only changes its own height when it folds or unfolds.
class CuadroXP : public QWidget {
    Q_OBJECT
public:
    explicit CuadroXP(QWidget* parent = nullptr);

    [[nodiscard]] QColor BackColor() const;
    void Minimize();
    void Maximize();

    [[nodiscard]] bool plegado() const { return plegado_; }
    [[nodiscard]] int alturaGuardada() const { return alturaGuardada_; } // twips
    [[nodiscard]] const PartesCuadro& partes() const { return partes_; } // twips, within the box
    [[nodiscard]] QAbstractButton* botonPlegar() const { return plegar_; }
    [[nodiscard]] QAbstractButton* botonDesplegar() const { return desplegar_; }
    [[nodiscard]] int altoCabecera() const; // pixels

    [[nodiscard]] QSize sizeHint() const override;

signals:
    // After every change of size, folding and unfolding included, with the new size in place.
    void Resize();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void childEvent(QChildEvent* event) override;

private:
    void colocarBotones();

    PartesCuadro partes_;
    BotonCuadro* plegar_ = nullptr;
    BotonCuadro* desplegar_ = nullptr;
    int alturaGuardada_ = 0;
    bool plegado_ = false;
};

} // namespace envio::gui
