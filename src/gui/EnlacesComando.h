#pragma once

#include <QLabel>
#include <QObject>
#include <vector>

namespace envio::gui {

// A command link of a side panel: a text that acts when clicked and lights up under the pointer.
class EnlaceComando : public QLabel {
    Q_OBJECT
public:
    EnlaceComando(int indice, const QString& titulo, QWidget* parent);
    [[nodiscard]] int indice() const { return indice_; }
    [[nodiscard]] bool resaltado() const { return font().underline(); }
    void resaltar(bool si);

signals:
    void tocado(EnlaceComando* enlace);
    void pulsado(int indice);

protected:
    void changeEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int indice_;
    bool pulsandose_ = false;
};

// A window's array of links: whenever the pointer moves over one, that one is underlined and
// bold and every other is not. Leaving the links for an empty area changes nothing, so the last
// link touched stays lit until the pointer reaches another.
class GrupoEnlaces : public QObject {
    Q_OBJECT
public:
    explicit GrupoEnlaces(QObject* parent = nullptr);
    void agregar(EnlaceComando* enlace);
    [[nodiscard]] const std::vector<EnlaceComando*>& enlaces() const { return enlaces_; }
    [[nodiscard]] EnlaceComando* enlace(int indice) const;

signals:
    void pulsado(int indice);

private:
    void tocar(EnlaceComando* enlace);
    std::vector<EnlaceComando*> enlaces_;
};

// The font of the links: Tahoma where the desktop has it, a close relative otherwise.
QFont fuenteEnlaces();

} // namespace envio::gui
