#include "ShapeWidget.h"

#include <QPainter>
#include <QPolygon>

ShapeWidget::ShapeWidget(QWidget* parent)
    : QWidget(parent)
{}

QFont ShapeWidget::symbolFont(int width)
{
    QFont font;
    font.setWeight(75);
    font.setPixelSize(qMax(1, (2 * width) / 3));
    return font;
}

void ShapeWidget::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(symbolFont(width()));
    painter.setPen(QPen(QColor(0, 0, 0)));
    painter.setBrush(QBrush(m_shapeColor, Qt::SolidPattern));
    const int w = width();
    const int h = height();
    if (m_shape == Circle) {
        painter.drawEllipse(0, 0, w, h);
    } else if (m_shape == Triangle) {
        const QPolygon triangle({QPoint(w / 2, 0), QPoint(0, h), QPoint(w, h)});
        painter.drawPolygon(triangle);
    }
    if (!m_text.isEmpty()) {
        painter.setPen(QPen(m_textColor));
        // The symbol sits lower inside a triangle, where the shape is widest.
        const int d = m_shape == Triangle ? w / 6 : 0;
        painter.drawText(QRect(0, d, w, h), Qt::AlignCenter, m_text);
    }
}
