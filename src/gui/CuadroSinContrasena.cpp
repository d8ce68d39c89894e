#include "gui/CuadroSinContrasena.h"

#include "revision/Nif.h"
#include "ui/Dialogos.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace envio::gui {

CuadroSinContrasena::CuadroSinContrasena(ListaSinContrasena lista, Dialogos& dialogos,
                                         QWidget* parent)
    : QWidget(parent), lista_(std::move(lista)), dialogos_(dialogos) {
    auto* capas = new QVBoxLayout(this);
    capas->setContentsMargins(0, 0, 0, 0);
    nifs_ = new QListWidget(this);
    nifs_->setObjectName(QStringLiteral("lstSinContrasena"));
    nifs_->setMaximumHeight(nifs_->fontMetrics().height() * 5);
    capas->addWidget(nifs_);
    auto* fila = new QHBoxLayout;
    nuevo_ = new QLineEdit(this);
    nuevo_->setObjectName(QStringLiteral("txtNifSinContrasena"));
    nuevo_->setPlaceholderText(QStringLiteral("NIF del trabajador"));
    fila->addWidget(nuevo_, 1);
    auto* anadir = new QPushButton(QStringLiteral("Añadir"), this);
    anadir->setObjectName(QStringLiteral("cmdAnadirSinContrasena"));
    fila->addWidget(anadir);
    auto* quitar = new QPushButton(QStringLiteral("Quitar"), this);
    quitar->setObjectName(QStringLiteral("cmdQuitarSinContrasena"));
    fila->addWidget(quitar);
    capas->addLayout(fila);
    connect(anadir, &QPushButton::clicked, this, [this] { this->anadir(); });
    connect(nuevo_, &QLineEdit::returnPressed, this, [this] { this->anadir(); });
    connect(quitar, &QPushButton::clicked, this, [this] { this->quitar(); });
    mostrar();
}

void CuadroSinContrasena::mostrar() {
    nifs_->clear();
    for (const std::string& nif : lista_.leer()) {
        nifs_->addItem(QString::fromStdString(nif));
    }
}

void CuadroSinContrasena::anadir() {
    const std::string escrito = nuevo_->text().toStdString();
    const auto nif = nifValido(escrito);
    if (!nif) {
        dialogos_.mostrar(
            {"«" + escrito + "» no es un NIF válido: compruebe los números y la letra.", "Aviso",
             Icono::Exclamacion, Botones::Aceptar});
        return;
    }
    try {
        lista_.anadir(*nif);
    } catch (const std::runtime_error& error) {
        dialogos_.mostrar({error.what(), "Aviso", Icono::Critico, Botones::Aceptar});
        return;
    }
    nuevo_->clear();
    mostrar();
}

void CuadroSinContrasena::quitar() {
    const QListWidgetItem* elegido = nifs_->currentItem();
    if (elegido == nullptr) {
        return;
    }
    try {
        lista_.quitar(elegido->text().toStdString());
    } catch (const std::runtime_error& error) {
        dialogos_.mostrar({error.what(), "Aviso", Icono::Critico, Botones::Aceptar});
        return;
    }
    mostrar();
}

} // namespace envio::gui
