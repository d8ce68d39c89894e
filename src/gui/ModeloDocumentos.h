#pragma once

#include "catalogue/ListaVista.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QTreeView>

namespace envio::gui {

// The core's document list as a Qt table: the recipient with the check box and the pending or
// sent icon, then e-mail, period, document, size and the hidden date key. Rows that a run could
// not send show in their colour. The list stays the core's: the model only reads it and writes
// the check marks the user sets.
class ModeloDocumentos : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumnas = 6;

    explicit ModeloDocumentos(ListaVista& lista, QObject* parent = nullptr);

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // The core refilled or re-sorted the list.
    void recargar();
    // The core changed checks, icons, tags or colours of the rows it has.
    void filasCambiadas();
    // One row changed (a run finished a document).
    void filaCambiada(int fila);

    [[nodiscard]] static const QStringList& titulos();

signals:
    // The user ticked or unticked a row.
    void marcaCambiada(int fila);

private:
    [[nodiscard]] bool valido(const QModelIndex& index) const;
    ListaVista& lista_;
};

// The list view: reports clicks, keys and the right button's release after it has acted on them,
// so that what they changed is already in the list.
class VistaDocumentos : public QTreeView {
    Q_OBJECT
public:
    explicit VistaDocumentos(QWidget* parent = nullptr);

signals:
    void clicIzquierdo();
    void clicDerecho(const QPoint& global);
    void tecla();
    void dobleClic();

protected:
    bool viewportEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace envio::gui
