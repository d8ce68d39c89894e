#include "gui/Arte.h"

#include "gui/EnlacesComando.h"
#include "gui/Twips.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>
#include <array>
#include <cmath>
#include <functional>

namespace envio::gui::arte {
namespace {

using Dibujo = std::function<void(QPainter&)>;

// Draws on a 16-unit square at 16, 24, 32 and 48 pixels so the icon stays crisp when scaled.
QIcon icono(const Dibujo& dibujo) {
    QIcon resultado;
    for (const int lado : {16, 24, 32, 48}) {
        QPixmap pm(lado, lado);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(lado / 16.0, lado / 16.0);
        dibujo(p);
        p.end();
        resultado.addPixmap(pm);
    }
    return resultado;
}

QPen lapiz(const QColor& c, double ancho = 1.0) {
    QPen trazo(c, ancho);
    trazo.setJoinStyle(Qt::RoundJoin);
    trazo.setCapStyle(Qt::RoundCap);
    return trazo;
}

void sobre(QPainter& p, const QRectF& r, const QColor& papel = QColor(0xFF, 0xF6, 0xD8)) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, papel.lighter(104));
    g.setColorAt(1, papel.darker(108));
    p.setPen(lapiz(QColor(0x9A, 0x7B, 0x3A), 0.9));
    p.setBrush(g);
    p.drawRoundedRect(r, 0.8, 0.8);
    QPainterPath solapa;
    solapa.moveTo(r.left() + 0.4, r.top() + 0.4);
    solapa.lineTo(r.center().x(), r.top() + r.height() * 0.58);
    solapa.lineTo(r.right() - 0.4, r.top() + 0.4);
    p.setBrush(Qt::NoBrush);
    p.drawPath(solapa);
}

void flecha(QPainter& p, QPointF desde, QPointF hasta, const QColor& c, double grosor = 2.2) {
    p.setPen(lapiz(c.darker(135), grosor + 1.2));
    p.drawLine(desde, hasta);
    p.setPen(lapiz(c, grosor));
    p.drawLine(desde, hasta);
    const QPointF d = hasta - desde;
    const double largo = std::hypot(d.x(), d.y());
    const QPointF u = d / largo;
    const QPointF n(-u.y(), u.x());
    QPolygonF punta({hasta + u * 1.6, hasta - u * 2.6 + n * 2.6, hasta - u * 2.6 - n * 2.6});
    p.setPen(lapiz(c.darker(135), 0.8));
    p.setBrush(c);
    p.drawPolygon(punta);
}

void marca(QPainter& p, QPointF a, QPointF b, QPointF c, const QColor& color, double grosor = 2.0) {
    QPainterPath camino;
    camino.moveTo(a);
    camino.lineTo(b);
    camino.lineTo(c);
    p.setBrush(Qt::NoBrush);
    p.setPen(lapiz(color.darker(140), grosor + 1.0));
    p.drawPath(camino);
    p.setPen(lapiz(color, grosor));
    p.drawPath(camino);
}

void casilla(QPainter& p, const QRectF& r) {
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, QColor(0xDC, 0xE4, 0xF2));
    g.setColorAt(1, Qt::white);
    p.setPen(lapiz(QColor(0x1C, 0x51, 0x80), 1.0));
    p.setBrush(g);
    p.drawRect(r);
}

void pagina(QPainter& p, const QRectF& r) {
    QPainterPath hoja;
    const double doblez = r.width() * 0.32;
    hoja.moveTo(r.topLeft());
    hoja.lineTo(r.right() - doblez, r.top());
    hoja.lineTo(r.right(), r.top() + doblez);
    hoja.lineTo(r.bottomRight());
    hoja.lineTo(r.bottomLeft());
    hoja.closeSubpath();
    p.setPen(lapiz(QColor(0x80, 0x8A, 0x99), 0.9));
    p.setBrush(Qt::white);
    p.drawPath(hoja);
    p.setPen(lapiz(QColor(0xA8, 0xB4, 0xC8), 0.8));
    for (double y = r.top() + r.height() * 0.35; y < r.bottom() - 1.2; y += r.height() * 0.16) {
        p.drawLine(QPointF(r.left() + 1.6, y), QPointF(r.right() - 1.6, y));
    }
}

void enviar(QPainter& p) {
    sobre(p, QRectF(0.8, 4.2, 10.5, 8.2));
    flecha(p, QPointF(8.0, 11.5), QPointF(13.4, 11.5), QColor(0x3C, 0xA0, 0x2C));
}

void eliminar(QPainter& p) {
    const QColor rojo(0xD8, 0x2E, 0x1E);
    for (const auto& [a, b] : {std::pair{QPointF(3.5, 3.5), QPointF(12.5, 12.5)},
                               std::pair{QPointF(12.5, 3.5), QPointF(3.5, 12.5)}}) {
        p.setPen(lapiz(rojo.darker(150), 4.2));
        p.drawLine(a, b);
    }
    for (const auto& [a, b] : {std::pair{QPointF(3.5, 3.5), QPointF(12.5, 12.5)},
                               std::pair{QPointF(12.5, 3.5), QPointF(3.5, 12.5)}}) {
        p.setPen(lapiz(rojo, 2.8));
        p.drawLine(a, b);
    }
}

void lupa(QPainter& p, QPointF centro, double radio) {
    p.setPen(lapiz(QColor(0x5A, 0x3A, 0x1A), 2.6));
    p.drawLine(centro + QPointF(radio * 0.7, radio * 0.7),
               centro + QPointF(radio * 1.9, radio * 1.9));
    QRadialGradient g(centro - QPointF(radio * 0.3, radio * 0.3), radio * 1.2);
    g.setColorAt(0, QColor(255, 255, 255, 230));
    g.setColorAt(1, QColor(0x9C, 0xC8, 0xF0, 200));
    p.setPen(lapiz(QColor(0x3A, 0x4A, 0x60), 1.2));
    p.setBrush(g);
    p.drawEllipse(centro, radio, radio);
}

void ver(QPainter& p) {
    pagina(p, QRectF(1.5, 0.8, 9.5, 12.4));
    lupa(p, QPointF(9.5, 9.0), 3.0);
}

void lapizEscribiendo(QPainter& p, QPointF punta, QPointF fin) {
    p.setPen(lapiz(QColor(0x8A, 0x5A, 0x10), 3.2));
    p.drawLine(punta + (fin - punta) * 0.25, fin);
    p.setPen(lapiz(QColor(0xF2, 0xB8, 0x30), 2.2));
    p.drawLine(punta + (fin - punta) * 0.25, fin);
    p.setPen(lapiz(QColor(0x40, 0x30, 0x20), 1.4));
    p.drawLine(punta, punta + (fin - punta) * 0.22);
}

void configurarMensaje(QPainter& p) {
    sobre(p, QRectF(0.8, 5.0, 11.0, 8.4));
    lapizEscribiendo(p, QPointF(8.0, 10.0), QPointF(14.8, 2.0));
}

void salir(QPainter& p) {
    QLinearGradient g(QPointF(2, 1), QPointF(9, 15));
    g.setColorAt(0, QColor(0xC8, 0x86, 0x48));
    g.setColorAt(1, QColor(0x8A, 0x52, 0x22));
    p.setPen(lapiz(QColor(0x5A, 0x32, 0x10), 0.9));
    p.setBrush(g);
    p.drawRect(QRectF(2.0, 1.2, 7.0, 13.6));
    p.setBrush(QColor(0xF0, 0xD0, 0x60));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(7.4, 8.4), 0.8, 0.8);
    flecha(p, QPointF(8.0, 8.0), QPointF(13.6, 8.0), QColor(0x3C, 0xA0, 0x2C), 2.0);
}

void masivos(QPainter& p) {
    sobre(p, QRectF(4.4, 1.0, 10.6, 7.6), QColor(0xE6, 0xEE, 0xFB));
    sobre(p, QRectF(2.6, 4.0, 10.6, 7.6), QColor(0xF4, 0xF0, 0xE0));
    sobre(p, QRectF(0.8, 7.2, 10.6, 7.6));
}

// A page of lines under a clock: what was sent, and when.
void historial(QPainter& p) {
    p.setPen(lapiz(QColor(0x60, 0x70, 0x90), 0.9));
    p.setBrush(QColor(0xFA, 0xFB, 0xFE));
    p.drawRect(QRectF(1.0, 1.0, 10.0, 13.5));
    p.setPen(lapiz(QColor(0x80, 0x90, 0xB0), 0.9));
    for (double y = 4.0; y < 13.0; y += 2.2) {
        p.drawLine(QPointF(2.8, y), QPointF(9.2, y));
    }
    p.setPen(lapiz(QColor(0x1C, 0x6A, 0xC8), 1.1));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(11.2, 11.2), 4.0, 4.0);
    p.drawLine(QPointF(11.2, 11.2), QPointF(11.2, 8.6));
    p.drawLine(QPointF(11.2, 11.2), QPointF(13.0, 11.2));
}

void seleccionarTodo(QPainter& p) {
    casilla(p, QRectF(2.0, 2.0, 11.5, 11.5));
    marca(p, QPointF(4.6, 7.8), QPointF(7.0, 10.4), QPointF(11.4, 4.6), QColor(0x2E, 0xA0, 0x30));
}

void deseleccionarTodo(QPainter& p) {
    casilla(p, QRectF(2.0, 2.0, 11.5, 11.5));
}

void invertir(QPainter& p) {
    casilla(p, QRectF(0.8, 0.8, 8.0, 8.0));
    marca(p, QPointF(2.4, 4.8), QPointF(4.2, 6.6), QPointF(7.2, 2.6), QColor(0x2E, 0xA0, 0x30),
          1.6);
    casilla(p, QRectF(7.2, 7.2, 8.0, 8.0));
    p.setPen(lapiz(QColor(0x1C, 0x6A, 0xC8), 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(2.5, 6.5, 8.0, 8.0), 180 * 16, 90 * 16);
    p.drawArc(QRectF(5.5, 1.5, 8.0, 8.0), 0, 90 * 16);
}

void conEmail(QPainter& p) {
    QRadialGradient g(QPointF(6, 5), 9);
    g.setColorAt(0, QColor(0x7C, 0xB4, 0xF8));
    g.setColorAt(1, QColor(0x1E, 0x5C, 0xC8));
    p.setPen(lapiz(QColor(0x14, 0x3C, 0x8C), 0.9));
    p.setBrush(g);
    p.drawEllipse(QRectF(0.8, 0.8, 14.4, 14.4));
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(12);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, -0.6, 16, 16), Qt::AlignCenter, QStringLiteral("@"));
}

void reloj(QPainter& p, const QRectF& r) {
    QRadialGradient g(r.center() - QPointF(1.5, 1.5), r.width() * 0.7);
    g.setColorAt(0, Qt::white);
    g.setColorAt(1, QColor(0xFF, 0xE4, 0x90));
    p.setPen(lapiz(QColor(0xA0, 0x70, 0x10), 1.2));
    p.setBrush(g);
    p.drawEllipse(r);
    p.setPen(lapiz(QColor(0x30, 0x30, 0x30), 1.3));
    p.drawLine(r.center(), r.center() + QPointF(0, -r.height() * 0.32));
    p.drawLine(r.center(), r.center() + QPointF(r.width() * 0.25, r.height() * 0.1));
}

void pendientes(QPainter& p) {
    reloj(p, QRectF(1.2, 1.2, 13.6, 13.6));
}

void servidor(QPainter& p) {
    QLinearGradient g(QPointF(3, 0), QPointF(13, 0));
    g.setColorAt(0, QColor(0x9A, 0xA4, 0xB4));
    g.setColorAt(0.5, QColor(0xE4, 0xE8, 0xEE));
    g.setColorAt(1, QColor(0x8A, 0x94, 0xA4));
    p.setPen(lapiz(QColor(0x40, 0x48, 0x58), 0.9));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(3.5, 0.8, 9.0, 14.4), 1.0, 1.0);
    p.setPen(lapiz(QColor(0x50, 0x58, 0x68), 0.8));
    for (const double y : {3.4, 5.4, 7.4}) {
        p.drawLine(QPointF(5.0, y), QPointF(11.0, y));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x30, 0xD0, 0x40));
    p.drawEllipse(QPointF(6.0, 12.4), 0.9, 0.9);
    p.setBrush(QColor(0xF0, 0xA0, 0x20));
    p.drawEllipse(QPointF(8.6, 12.4), 0.9, 0.9);
}

void filaPendiente(QPainter& p) {
    sobre(p, QRectF(1.0, 3.2, 14.0, 9.8));
}

void filaEnviada(QPainter& p) {
    sobre(p, QRectF(0.6, 2.0, 12.0, 8.6), QColor(0xE8, 0xEE, 0xF6));
    p.setPen(lapiz(QColor(0x1E, 0x7A, 0x22), 0.9));
    QRadialGradient g(QPointF(10.8, 10.8), 5);
    g.setColorAt(0, QColor(0x78, 0xD8, 0x68));
    g.setColorAt(1, QColor(0x2C, 0x9A, 0x2C));
    p.setBrush(g);
    p.drawEllipse(QPointF(11.4, 11.4), 4.2, 4.2);
    marca(p, QPointF(9.4, 11.4), QPointF(10.9, 12.9), QPointF(13.4, 9.9), Qt::white, 1.4);
}

} // namespace

QIcon iconoEnlace(int indice) {
    static const std::array<Dibujo, 13> dibujos = {
        enviar,          eliminar,          ver,      configurarMensaje, salir,      masivos,
        seleccionarTodo, deseleccionarTodo, invertir, conEmail,          pendientes, servidor,
        historial};
    if (indice < 0 || indice >= static_cast<int>(dibujos.size())) {
        return {};
    }
    return icono(dibujos[static_cast<std::size_t>(indice)]);
}

QIcon iconoFila(int icono_) {
    static const QIcon pendiente = icono(filaPendiente);
    static const QIcon enviada = icono(filaEnviada);
    return icono_ == 2 ? enviada : pendiente;
}

void dibujarLogo(QPainter& p, const QRectF& a) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(a.topLeft());
    p.scale(a.width() / 40.0, a.height() / 40.0);
    // The page, with the red band that readers know PDF files by.
    QPainterPath hoja;
    hoja.moveTo(6, 2);
    hoja.lineTo(22, 2);
    hoja.lineTo(29, 9);
    hoja.lineTo(29, 33);
    hoja.lineTo(6, 33);
    hoja.closeSubpath();
    p.setPen(lapiz(QColor(0x70, 0x78, 0x88), 1.0));
    p.setBrush(Qt::white);
    p.drawPath(hoja);
    p.setBrush(QColor(0xEE, 0xF0, 0xF4));
    p.drawPolygon(QPolygonF({QPointF(22, 2), QPointF(22, 9), QPointF(29, 9)}));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xC8, 0x20, 0x20));
    p.drawRect(QRectF(6.5, 12, 22, 7));
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(6);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(6.5, 12, 22, 7), Qt::AlignCenter, QStringLiteral("PDF"));
    p.setPen(lapiz(QColor(0xB0, 0xBA, 0xCC), 1.0));
    for (int y = 23; y <= 29; y += 3) {
        p.drawLine(QPointF(9, y), QPointF(26, y));
    }
    // The envelope that carries it.
    QRectF r(15, 20, 24, 17);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(0xFF, 0xF8, 0xE0));
    g.setColorAt(1, QColor(0xF0, 0xD8, 0x98));
    p.setPen(lapiz(QColor(0x8A, 0x6A, 0x2A), 1.1));
    p.setBrush(g);
    p.drawRoundedRect(r, 1.5, 1.5);
    QPainterPath solapa;
    solapa.moveTo(r.left() + 0.6, r.top() + 0.6);
    solapa.lineTo(r.center().x(), r.top() + 10);
    solapa.lineTo(r.right() - 0.6, r.top() + 0.6);
    p.setBrush(Qt::NoBrush);
    p.drawPath(solapa);
    // On its way.
    flecha(p, QPointF(26, 33), QPointF(36.5, 33), QColor(0x3C, 0xA0, 0x2C), 3.0);
    p.restore();
}

QIcon iconoPrograma() {
    QIcon resultado;
    for (const int lado : {16, 32, 48, 64, 128}) {
        QPixmap pm(lado, lado);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        dibujarLogo(p, QRectF(0, 0, lado, lado));
        p.end();
        resultado.addPixmap(pm);
    }
    return resultado;
}

void dibujarBotonCuadro(QPainter& p, const QRectF& a, bool arriba, bool encima, bool pulsado) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const double lado = std::min(a.width(), a.height()) - 1.0;
    const QRectF circulo(a.center().x() - lado / 2, a.center().y() - lado / 2, lado, lado);
    QLinearGradient g(circulo.topLeft(), circulo.bottomRight());
    g.setColorAt(0, Qt::white);
    g.setColorAt(1, pulsado  ? QColor(0xC4, 0xD2, 0xF0)
                    : encima ? QColor(0xE8, 0xF0, 0xFF)
                             : QColor(0xD8, 0xE2, 0xF8));
    p.setPen(QPen(encima ? QColor(0x7A, 0xA1, 0xE6) : QColor(0xA8, 0xC0, 0xEC), 1.0));
    p.setBrush(g);
    p.drawEllipse(circulo);
    // Two chevrons, one above the other.
    const double s = lado / 19.0;
    const QPointF c = circulo.center() + (pulsado ? QPointF(0.5, 0.5) : QPointF());
    QPen trazo(encima ? kChevron.lighter(130) : kChevron, 1.7 * s);
    trazo.setCapStyle(Qt::SquareCap);
    trazo.setJoinStyle(Qt::MiterJoin);
    p.setPen(trazo);
    p.setBrush(Qt::NoBrush);
    const double sentido = arriba ? -1.0 : 1.0;
    for (const double dy : {-2.4, 1.6}) {
        const double y = c.y() + dy * s + (arriba ? 0.0 : 0.8 * s);
        QPolygonF v({QPointF(c.x() - 3.2 * s, y - sentido * 1.6 * s),
                     QPointF(c.x(), y + sentido * 1.6 * s),
                     QPointF(c.x() + 3.2 * s, y - sentido * 1.6 * s)});
        p.drawPolyline(v);
    }
    p.restore();
}

void pintarFondoCabecera(QPainter& p, const QRect& zona) {
    QLinearGradient g(zona.left(), 0, zona.right(), 0);
    g.setColorAt(0, QColor(0x1A, 0x46, 0xA8));
    g.setColorAt(0.6, QColor(0x3A, 0x6E, 0xD0));
    g.setColorAt(1, QColor(0x6E, 0x9A, 0xE4));
    p.fillRect(zona, g);
    QLinearGradient brillo(0, zona.top(), 0, zona.bottom());
    brillo.setColorAt(0, QColor(255, 255, 255, 46));
    brillo.setColorAt(0.5, QColor(255, 255, 255, 0));
    p.fillRect(zona, brillo);
}

void pintarBanda(QPainter& p, const QRect& zona) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(zona.left(), 0, zona.right() + 1, 0);
    g.setColorAt(0, QColor(0x2E, 0x5C, 0xBA));
    g.setColorAt(0.55, QColor(0x7A, 0xA1, 0xE6));
    g.setColorAt(1, QColor(0xD6, 0xDF, 0xF7));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(zona), 3, 3);
    p.restore();
}

void pintarLineaCabecera(QPainter& p, const QRect& zona) {
    QLinearGradient g(zona.left(), 0, zona.right(), 0);
    g.setColorAt(0, QColor(0xF2, 0x9A, 0x22));
    g.setColorAt(0.7, QColor(0xFF, 0xC8, 0x5A));
    g.setColorAt(1, QColor(0xFF, 0xE6, 0xB0));
    p.fillRect(zona, g);
}

void pintarPanel(QPainter& p, const QRect& zona) {
    QLinearGradient g(0, zona.top(), 0, zona.bottom());
    g.setColorAt(0, kAzulPanel);
    g.setColorAt(1, kAzulPanel.darker(112));
    p.fillRect(zona, g);
}

QFont fuente(double puntos, bool negrita) {
    QFont f = fuenteEnlaces();
    f.setPointSizeF(puntos);
    f.setBold(negrita);
    return f;
}

void colorTexto(QWidget* w, const QColor& c) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    w->setPalette(p);
}

QLabel* titulosCabecera(QWidget* cabecera, const QString& titulo, const QString& linea,
                        const char* nombreLinea) {
    auto* t = new QLabel(titulo, cabecera);
    t->setObjectName(QStringLiteral("lbltitulo"));
    t->setFont(fuente(13, true));
    colorTexto(t, Qt::white);
    t->move(aPixeles(180, cabecera), aPixeles(60, cabecera));
    t->adjustSize();
    auto* l = new QLabel(linea, cabecera);
    l->setObjectName(QLatin1String(nombreLinea));
    l->setFont(fuente(8));
    colorTexto(l, QColor(0xDC, 0xE8, 0xFF));
    l->move(aPixeles(195, cabecera), t->geometry().bottom() + 1);
    l->adjustSize();
    return l;
}

} // namespace envio::gui::arte
