#include "gui/CuadroXP.h"

#include "gui/Arte.h"
#include "gui/Twips.h"

#include <QChildEvent>
#include <QEnterEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace envio::gui {

BotonCuadro::BotonCuadro(bool arriba, QWidget* parent) : QAbstractButton(parent), arriba_(arriba) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setToolTip(arriba ? QStringLiteral("Plegar") : QStringLiteral("Desplegar"));
}

void BotonCuadro::paintEvent(QPaintEvent*) {
    QPainter p(this);
    arte::dibujarBotonCuadro(p, QRectF(rect()), arriba_, encima_, isDown());
}

void BotonCuadro::enterEvent(QEnterEvent* event) {
    encima_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void BotonCuadro::leaveEvent(QEvent* event) {
    encima_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

CuadroXP::CuadroXP(QWidget* parent) : QWidget(parent) {
    // Made here, not in the initializer list: creating a child already calls childEvent.
    plegar_ = new BotonCuadro(true, this);
    desplegar_ = new BotonCuadro(false, this);
    desplegar_->hide();
    connect(plegar_, &QAbstractButton::clicked, this, &CuadroXP::Minimize);
    connect(desplegar_, &QAbstractButton::clicked, this, &CuadroXP::Maximize);
    resize(aPixeles(cuadro::kDiseno.ancho, this), aPixeles(cuadro::kDiseno.alto, this));
}

QColor CuadroXP::BackColor() const {
    return arte::kFondoCuadro;
}

int CuadroXP::altoCabecera() const {
    return aPixeles(partes_.cabecera.alto, this);
}

QSize CuadroXP::sizeHint() const {
    return {aPixeles(cuadro::kDiseno.ancho, this), aPixeles(cuadro::kDiseno.alto, this)};
}

void CuadroXP::Minimize() {
    if (height() == altoCabecera()) {
        return; // already folded
    }
    alturaGuardada_ = aTwips(height(), this);
    plegar_->hide();
    desplegar_->show();
    plegado_ = true;
    resize(width(), altoCabecera());
}

void CuadroXP::Maximize() {
    // A box that was never folded has no height to go back to; it stays as it is.
    if (!plegado_) {
        return;
    }
    desplegar_->hide();
    plegar_->show();
    plegado_ = false;
    resize(width(), altoCabecera());
    resize(width(), aPixeles(alturaGuardada_, this));
}

void CuadroXP::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    disponerCuadro(partes_, {aTwips(width(), this), aTwips(height(), this)});
    colocarBotones();
    update();
    emit Resize();
}

void CuadroXP::colocarBotones() {
    plegar_->setGeometry(aPixeles(partes_.plegar, this));
    desplegar_->setGeometry(aPixeles(partes_.desplegar, this));
    plegar_->raise();
    desplegar_->raise();
}

void CuadroXP::childEvent(QChildEvent* event) {
    QWidget::childEvent(event);
    // The window's labels go in after the buttons; the buttons must stay clickable above them.
    if (event->type() == QEvent::ChildAdded && plegar_ != nullptr && desplegar_ != nullptr) {
        plegar_->raise();
        desplegar_->raise();
    }
}

void CuadroXP::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect cabecera = aPixeles(partes_.cabecera, this);
    const QRect cuerpo = aPixeles(partes_.cuerpo, this);
    const QRect borde = aPixeles(partes_.borde, this);

    // Body: white side edges around the light fill.
    if (height() > cabecera.height()) {
        p.fillRect(cuerpo, Qt::white);
        p.fillRect(cuerpo.adjusted(1, 0, -1, 0), arte::kCuerpoCuadro);
        p.fillRect(borde, arte::kCuerpoCuadro);
        p.fillRect(QRect(borde.left(), borde.top(), 1, borde.height()), Qt::white);
        p.fillRect(QRect(borde.right(), borde.top(), 1, borde.height()), Qt::white);
        p.fillRect(QRect(borde.left(), borde.bottom(), borde.width(), 1), Qt::white);
    }

    // Header strip: white over its left half shading to light blue, top corners rounded off.
    QLinearGradient g(cabecera.topLeft(), cabecera.topRight());
    g.setColorAt(0, Qt::white);
    g.setColorAt(0.5, Qt::white);
    g.setColorAt(1, arte::kFinCabecera);
    const double radio = std::max(2.0, cabecera.height() / 6.0);
    QPainterPath forma;
    const QRectF r(cabecera);
    forma.moveTo(r.left(), r.bottom());
    forma.lineTo(r.left(), r.top() + radio);
    forma.quadTo(r.topLeft(), QPointF(r.left() + radio, r.top()));
    forma.lineTo(r.right() - radio, r.top());
    forma.quadTo(r.topRight(), QPointF(r.right(), r.top() + radio));
    forma.lineTo(r.right(), r.bottom());
    forma.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(arte::kEsquina); // shows only along the rounded corners, as a soft edge
    p.drawPath(forma);
    p.save();
    p.setClipPath(forma);
    p.fillRect(r.adjusted(0.7, 0.7, -0.7, 0), g);
    p.restore();
}

} // namespace envio::gui
