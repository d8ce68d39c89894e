#include "gui/FrmRevision.h"

#include "revision/RevisionEnvio.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <set>

namespace envio::gui {
namespace {

enum Columna { kEnviar, kDocumento, kDestinatario, kProblema, kGravedad, kColumnas };
// Each row remembers its finding, whatever order the table is sorted in.
constexpr int kRolHallazgo = Qt::UserRole + 1;

QTableWidgetItem* celda(const std::string& texto) {
    auto* nueva = new QTableWidgetItem(QString::fromStdString(texto));
    nueva->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return nueva;
}

} // namespace

FrmRevision::FrmRevision(std::vector<Hallazgo> hallazgos, QWidget* parent)
    : QDialog(parent), hallazgos_(std::move(hallazgos)) {
    setWindowTitle(QStringLiteral("Revisar antes de enviar"));
    auto* capas = new QVBoxLayout(this);
    int bloqueos = 0;
    for (const auto& h : hallazgos_) {
        bloqueos += h.gravedad == Gravedad::Bloquea ? 1 : 0;
    }
    capas->addWidget(new QLabel(QStringLiteral("Problemas encontrados: %1 (%2 impiden enviar su "
                                               "documento). Desmarque los que no quiera enviar.")
                                    .arg(hallazgos_.size())
                                    .arg(bloqueos)));

    tabla_ = new QTableWidget(static_cast<int>(hallazgos_.size()), kColumnas, this);
    tabla_->setHorizontalHeaderLabels({QStringLiteral("Enviar"), QStringLiteral("Documento"),
                                       QStringLiteral("Destinatario"), QStringLiteral("Problema"),
                                       QStringLiteral("Gravedad")});
    tabla_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tabla_->verticalHeader()->hide();
    for (int r = 0; r < static_cast<int>(hallazgos_.size()); ++r) {
        const Hallazgo& h = hallazgos_[static_cast<std::size_t>(r)];
        const bool bloquea = h.gravedad == Gravedad::Bloquea;
        auto* marca = new QTableWidgetItem();
        marca->setFlags(bloquea
                            ? Qt::ItemIsSelectable
                            : Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        marca->setCheckState(bloquea ? Qt::Unchecked : Qt::Checked);
        marca->setData(kRolHallazgo, r);
        tabla_->setItem(r, kEnviar, marca);
        tabla_->setItem(r, kDocumento, celda(h.documento));
        tabla_->setItem(r, kDestinatario, celda(h.destinatario));
        tabla_->setItem(r, kProblema, celda(h.texto));
        tabla_->setItem(r, kGravedad, celda(bloquea ? "bloquea" : "aviso"));
    }
    // A document with a blocking finding is not sent: its warnings' boxes say so too.
    for (int r = 0; r < tabla_->rowCount(); ++r) {
        const auto fila = hallazgos_[static_cast<std::size_t>(r)].fila;
        for (const auto& h : hallazgos_) {
            if (h.fila == fila && h.gravedad == Gravedad::Bloquea) {
                tabla_->item(r, kEnviar)->setFlags(Qt::ItemIsSelectable);
                tabla_->item(r, kEnviar)->setCheckState(Qt::Unchecked);
            }
        }
    }
    // In the list's order until the user clicks a header.
    tabla_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    tabla_->setSortingEnabled(true);
    tabla_->horizontalHeader()->setSectionResizeMode(kProblema, QHeaderView::Stretch);
    tabla_->resizeColumnsToContents();
    capas->addWidget(tabla_);
    connect(tabla_, &QTableWidget::itemChanged, this, &FrmRevision::marcaCambiada);

    auto* botones = new QHBoxLayout();
    copiar_ = new QPushButton(QStringLiteral("Copiar"), this);
    enviar_ = new QPushButton(QStringLiteral("Enviar"), this);
    volver_ = new QPushButton(QStringLiteral("Volver"), this);
    botones->addWidget(copiar_);
    botones->addStretch();
    botones->addWidget(enviar_);
    botones->addWidget(volver_);
    capas->addLayout(botones);
    volver_->setDefault(true); // Enter does not send by accident
    connect(copiar_, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(texto()); });
    connect(enviar_, &QPushButton::clicked, this, &QDialog::accept);
    connect(volver_, &QPushButton::clicked, this, &QDialog::reject);
    resize(900, 420);
}

// A document is one decision: its other findings' boxes follow.
void FrmRevision::marcaCambiada(QTableWidgetItem* cambiada) {
    if (cambiando_ || cambiada->column() != kEnviar) {
        return;
    }
    cambiando_ = true;
    const auto fila =
        hallazgos_[static_cast<std::size_t>(cambiada->data(kRolHallazgo).toInt())].fila;
    for (int r = 0; r < tabla_->rowCount(); ++r) {
        QTableWidgetItem* otra = tabla_->item(r, kEnviar);
        if (otra != cambiada && (otra->flags() & Qt::ItemIsUserCheckable) &&
            hallazgos_[static_cast<std::size_t>(otra->data(kRolHallazgo).toInt())].fila == fila) {
            otra->setCheckState(cambiada->checkState());
        }
    }
    cambiando_ = false;
}

DecisionRevision FrmRevision::decision() const {
    DecisionRevision d;
    d.enviar = result() == QDialog::Accepted;
    std::set<std::size_t> desmarcadas;
    for (int r = 0; r < tabla_->rowCount(); ++r) {
        const QTableWidgetItem* marca = tabla_->item(r, kEnviar);
        if ((marca->flags() & Qt::ItemIsUserCheckable) && marca->checkState() == Qt::Unchecked) {
            desmarcadas.insert(
                hallazgos_[static_cast<std::size_t>(marca->data(kRolHallazgo).toInt())].fila);
        }
    }
    d.desmarcadas.assign(desmarcadas.begin(), desmarcadas.end());
    return d;
}

QString FrmRevision::texto() const {
    QString lineas;
    for (int r = 0; r < tabla_->rowCount(); ++r) {
        const auto& h = hallazgos_[static_cast<std::size_t>(
            tabla_->item(r, kEnviar)->data(kRolHallazgo).toInt())];
        lineas += QString::fromStdString(lineaHallazgo(h)) + QLatin1Char('\n');
    }
    return lineas;
}

} // namespace envio::gui
