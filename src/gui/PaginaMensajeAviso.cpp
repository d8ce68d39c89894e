#include "gui/PaginaMensajeAviso.h"

#include "gui/Arte.h"
#include "screens/PantallaMensaje.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace envio::gui {

PaginaMensajeAviso::PaginaMensajeAviso(QWidget* parent) : QWidget(parent) {
    auto* rejilla = new QGridLayout(this);
    auto* encabezado = new QLabel(QStringLiteral("Aviso a clientes"));
    encabezado->setFont(arte::fuente(9, true));
    rejilla->addWidget(encabezado, 0, 0, 1, 2);
    rejilla->addWidget(new QLabel(QStringLiteral("Asunto")), 1, 0);
    txtAsuntoAviso_ = new QLineEdit;
    txtAsuntoAviso_->setObjectName(QStringLiteral("txtAsuntoAviso"));
    rejilla->addWidget(txtAsuntoAviso_, 1, 1);
    rejilla->addWidget(new QLabel(QStringLiteral("Mensaje de aviso")), 2, 0, Qt::AlignTop);
    txtMensajeAviso_ = new QPlainTextEdit;
    txtMensajeAviso_->setObjectName(QStringLiteral("txtMensajeAviso"));
    txtMensajeAviso_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtMensajeAviso_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    rejilla->addWidget(txtMensajeAviso_, 2, 1);
    auto* opciones = new QLabel(QStringLiteral("Opciones"));
    opciones->setFont(arte::fuente(9, true));
    rejilla->addWidget(opciones, 3, 0, 1, 2);
    check1_ = new QCheckBox(QStringLiteral("Confirmación de lectura"));
    check1_->setObjectName(QStringLiteral("Check1"));
    rejilla->addWidget(check1_, 4, 1);
    rejilla->setRowStretch(2, 1);
}

void PaginaMensajeAviso::mostrar(const masivo::PlantillaAviso& plantilla) {
    txtAsuntoAviso_->setText(QString::fromStdString(plantilla.asunto));
    txtMensajeAviso_->setPlainText(QString::fromStdString(plantilla.mensaje));
    check1_->setChecked(plantilla.confirmacion);
}

masivo::PlantillaAviso PaginaMensajeAviso::plantilla() const {
    // The editor gives paragraphs with line feeds; the settings file and the message keep the
    // suite's carriage return and line feed.
    return {txtAsuntoAviso_->text().toStdString(),
            saltosWindows(txtMensajeAviso_->toPlainText().toStdString()), check1_->isChecked()};
}

} // namespace envio::gui
