// SPDX-License-Identifier: MIT
#include "ButtonIcons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <functional>

namespace platform::qt {

namespace {

using Drawing = std::function<void(QPainter&)>; // draws in a 32 × 32 box

class DrawnIconEngine : public QIconEngine {
  public:
    explicit DrawnIconEngine(Drawing drawing) : drawing_(std::move(drawing)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / 32.0, rect.height() / 32.0);
        if (mode == QIcon::Disabled) {
            painter->setOpacity(0.4);
        }
        drawing_(*painter);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }

    QIconEngine* clone() const override { return new DrawnIconEngine(drawing_); }

  private:
    Drawing drawing_;
};

void drawScreen(QPainter& p, const QRectF& glass) {
    p.setPen(QPen(QColor(40, 40, 48), 1.2));
    p.setBrush(QColor(70, 74, 84));
    p.drawRoundedRect(glass.adjusted(-2, -2, 2, 2), 2, 2);
    QLinearGradient sky(glass.topLeft(), glass.bottomLeft());
    sky.setColorAt(0, QColor(120, 190, 250));
    sky.setColorAt(1, QColor(30, 110, 200));
    p.setPen(Qt::NoPen);
    p.setBrush(sky);
    p.drawRect(glass);
    p.setBrush(QColor(70, 74, 84));
    p.drawRect(QRectF(glass.center().x() - 3, glass.bottom() + 2, 6, 3));
    p.drawRect(QRectF(glass.center().x() - 7, glass.bottom() + 5, 14, 2));
}

// An arrow along the line from `from` to `to`, its head at `to`.
void drawArrow(QPainter& p, QPointF from, QPointF to) {
    p.setPen(QPen(QColor(250, 210, 40), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
    const QPointF d = (to - from) / std::hypot((to - from).x(), (to - from).y());
    const QPointF n(-d.y(), d.x());
    QPainterPath head;
    head.moveTo(to + d * 1.5);
    head.lineTo(to - d * 3.5 + n * 3.2);
    head.lineTo(to - d * 3.5 - n * 3.2);
    head.closeSubpath();
    p.setPen(QPen(QColor(120, 90, 0), 0.6));
    p.setBrush(QColor(250, 210, 40));
    p.drawPath(head);
}

void drawFourArrows(QPainter& p, bool outwards) {
    const QRectF glass(5, 5, 22, 17);
    drawScreen(p, glass);
    const QPointF c = glass.center();
    const QPointF corners[] = {{8, 8}, {24, 8}, {8, 19}, {24, 19}};
    for (const QPointF& corner : corners) {
        const QPointF inner = c + (corner - c) * 0.3;
        outwards ? drawArrow(p, inner, corner) : drawArrow(p, corner, inner);
    }
}

void drawZoom(QPainter& p) {
    QPainterPath page;
    page.moveTo(5, 3);
    page.lineTo(19, 3);
    page.lineTo(24, 8);
    page.lineTo(24, 29);
    page.lineTo(5, 29);
    page.closeSubpath();
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.setPen(QPen(QColor(150, 150, 160), 1));
    for (int y = 10; y <= 26; y += 4) {
        p.drawLine(QPointF(8, y), QPointF(21, y));
    }
    p.setPen(QPen(QColor(110, 70, 30), 3.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(21, 21), QPointF(29, 29));
    p.setPen(QPen(QColor(40, 40, 48), 2));
    p.setBrush(QColor(170, 220, 255, 170));
    p.drawEllipse(QPointF(16, 16), 7, 7);
}

void drawRestore(QPainter& p) {
    const QRectF glass(4, 4, 24, 18);
    drawScreen(p, glass);
    p.setPen(QPen(Qt::white, 1.4, Qt::SolidLine, Qt::RoundCap));
    const double lengths[] = {17, 13, 19, 10};
    double y = 7.5;
    for (double length : lengths) {
        p.drawLine(QPointF(7, y), QPointF(7 + length, y));
        y += 3.8;
    }
}

// Two chevrons pointing on: there is more than fits.
void drawMore(QPainter& p, bool horizontal) {
    if (!horizontal) {
        p.translate(32, 0);
        p.rotate(90);
    }
    p.setPen(QPen(QColor(40, 40, 48), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    for (double x : {9.0, 17.0}) {
        p.drawPolyline(QPolygonF({QPointF(x, 9), QPointF(x + 7, 16), QPointF(x, 23)}));
    }
}

} // namespace

QIcon buttonIcon(const QString& name) {
    Drawing drawing;
    if (name == QLatin1String("aumenta")) {
        drawing = [](QPainter& p) { drawFourArrows(p, true); };
    } else if (name == QLatin1String("disminuye")) {
        drawing = [](QPainter& p) { drawFourArrows(p, false); };
    } else if (name == QLatin1String("zoom")) {
        drawing = drawZoom;
    } else if (name == QLatin1String("restore")) {
        drawing = drawRestore;
    } else if (name == QLatin1String("more-h") || name == QLatin1String("more-v")) {
        const bool horizontal = name == QLatin1String("more-h");
        drawing = [horizontal](QPainter& p) { drawMore(p, horizontal); };
    } else {
        return {};
    }
    return QIcon(new DrawnIconEngine(std::move(drawing)));
}

} // namespace platform::qt
