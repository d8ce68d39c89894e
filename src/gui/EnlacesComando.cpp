#include "gui/EnlacesComando.h"

#include "gui/Arte.h"

#include <QEvent>
#include <QFontInfo>
#include <QMouseEvent>

namespace envio::gui {

QFont fuenteEnlaces() {
    QFont f;
    f.setFamilies(
        {QStringLiteral("Tahoma"), QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans")});
    f.setPointSizeF(8.25);
    // Tahoma is narrow; where it is missing a condensed face keeps the captions the same length.
    if (!QFontInfo(f).family().contains(QLatin1String("Tahoma"), Qt::CaseInsensitive)) {
        f.setStretch(QFont::SemiCondensed);
    }
    return f;
}

EnlaceComando::EnlaceComando(int indice, const QString& titulo, QWidget* parent)
    : QLabel(titulo, parent), indice_(indice) {
    setFont(fuenteEnlaces());
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, arte::kEnlace);
    // A link that waits for a run to end looks it, as a disabled button does.
    pal.setColor(QPalette::Disabled, QPalette::WindowText, arte::kEnlaceInactivo);
    setPalette(pal);
    setAccessibleName(titulo.trimmed());
}

void EnlaceComando::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        setCursor(isEnabled() ? Qt::PointingHandCursor : Qt::ArrowCursor);
        if (!isEnabled()) {
            resaltar(false);
        }
    }
    QLabel::changeEvent(event);
}

void EnlaceComando::resaltar(bool si) {
    QFont f = font();
    f.setUnderline(si);
    f.setBold(si);
    setFont(f);
}

void EnlaceComando::mouseMoveEvent(QMouseEvent* event) {
    emit tocado(this);
    QLabel::mouseMoveEvent(event);
}

void EnlaceComando::enterEvent(QEnterEvent* event) {
    emit tocado(this);
    QLabel::enterEvent(event);
}

void EnlaceComando::mousePressEvent(QMouseEvent* event) {
    pulsandose_ = event->button() == Qt::LeftButton;
    event->accept();
}

void EnlaceComando::mouseReleaseEvent(QMouseEvent* event) {
    const bool clic = pulsandose_ && event->button() == Qt::LeftButton &&
                      rect().contains(event->position().toPoint());
    pulsandose_ = false;
    event->accept();
    if (clic) {
        emit pulsado(indice_);
    }
}

GrupoEnlaces::GrupoEnlaces(QObject* parent) : QObject(parent) {}

void GrupoEnlaces::agregar(EnlaceComando* enlace) {
    enlaces_.push_back(enlace);
    connect(enlace, &EnlaceComando::tocado, this, &GrupoEnlaces::tocar);
    connect(enlace, &EnlaceComando::pulsado, this, &GrupoEnlaces::pulsado);
}

EnlaceComando* GrupoEnlaces::enlace(int indice) const {
    for (auto* e : enlaces_) {
        if (e->indice() == indice) {
            return e;
        }
    }
    return nullptr;
}

void GrupoEnlaces::tocar(EnlaceComando* tocado) {
    for (auto* e : enlaces_) {
        if (e == tocado) {
            if (!e->resaltado()) {
                e->resaltar(true);
            }
        } else if (e->resaltado()) {
            e->resaltar(false);
        }
    }
}

} // namespace envio::gui
