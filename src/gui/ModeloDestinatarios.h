#pragma once

#include "catalogue/ListaVista.h"

#include <QAbstractTableModel>

namespace envio::gui {

// The notice window's recipient list as a Qt table: "Destinatario" with the check box, then
// "Email". The list stays the core's; the model reads it and writes the checks the user sets.
class ModeloDestinatarios : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ModeloDestinatarios(ListaVista& lista, QObject* parent = nullptr);

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // The core refilled, re-sorted or re-checked the list.
    void recargar();

private:
    [[nodiscard]] bool valido(const QModelIndex& index) const;
    ListaVista& lista_;
};

} // namespace envio::gui
