#include "Tumbler.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cstdlib>

Tumbler::Tumbler(QWidget* parent)
    : QWidget(parent)
{
    for (int i = 1; i <= 12; ++i)
        listValue << QString::number(i);
    currentValue = listValue.first();
    foreground = QColor(140, 140, 140);
    background = QColor(40, 40, 40);
    lineColor = QColor(46, 142, 180, 200);
    textColor = QColor(255, 255, 255);

    QFont f(QStringLiteral("Arial"), 8);
    f.setBold(false);
    f.setItalic(false);
    setFont(f);
}

QSize Tumbler::sizeHint() const
{
    return QSize(50, 150);
}

QSize Tumbler::minimumSizeHint() const
{
    return QSize(10, 10);
}

QString Tumbler::displayText(const QString& format, const QString& entry)
{
    if (!format.isEmpty() && format.contains(QLatin1String("%1")))
        return QString(format).replace(QLatin1String("%1"), entry);
    return entry;
}

void Tumbler::setLabelFormat(const QString& fmt)
{
    labelFormat = fmt;
    update();
}

void Tumbler::setListValue(const QStringList& list)
{
    if (list.isEmpty())
        return;
    listValue = list;
    setCurrentIndex(0);
    setCurrentValue(listValue.first());
    update();
}

void Tumbler::setCurrentIndex(int index)
{
    if (index < 0 || index >= listValue.count())
        return;
    currentIndex = index;
    currentValue = listValue.at(index);
    emitPair(currentIndex, currentValue);
    update();
}

void Tumbler::setCurrentValue(const QString& value)
{
    const int index = listValue.indexOf(value);
    if (index < 0)
        return;
    currentValue = value;
    currentIndex = index;
    emitPair(currentIndex, currentValue);
    update();
}

void Tumbler::setHorizontal(bool h)
{
    if (horizontal != h) {
        horizontal = h;
        update();
    }
}

void Tumbler::setForeground(const QColor& c)
{
    if (foreground != c) {
        foreground = c;
        update();
    }
}

void Tumbler::setBackground(const QColor& c)
{
    if (background != c) {
        background = c;
        update();
    }
}

void Tumbler::setLineColor(const QColor& c)
{
    if (lineColor != c) {
        lineColor = c;
        update();
    }
}

void Tumbler::setTextColor(const QColor& c)
{
    if (textColor != c) {
        textColor = c;
        update();
    }
}

void Tumbler::emitPair(int index, const QString& value)
{
    emit currentIndexChanged(index);
    emit currentValueChanged(value);
}

int Tumbler::positionOf(const QPointF& localPos) const
{
    return qRound(horizontal ? localPos.x() : localPos.y());
}

void Tumbler::mousePressEvent(QMouseEvent* event)
{
    pressed = true;
    pressedPos = positionOf(event->localPos());
}

void Tumbler::mouseMoveEvent(QMouseEvent* event)
{
    const int count = listValue.count();
    if (!pressed || count < 2)
        return;
    const int index = listValue.indexOf(currentValue);
    const int pos = positionOf(event->localPos());
    // Nothing lies before the first entry or after the last one.
    if (index == 0 && pos >= pressedPos)
        return;
    if (index == count - 1 && pos <= pressedPos)
        return;

    const int s = step();
    dragOffset = qBound(-s, pos - pressedPos, s);
    if (index != lastDragIndex) {
        emitPair(index, listValue.at(index));
        lastDragIndex = index;
    }
    update();
}

void Tumbler::mouseReleaseEvent(QMouseEvent*)
{
    if (!pressed)
        return;
    pressed = false;
    // Snap to the neighbour once the middle entry has left the middle far enough.
    const int half = extent() / 2;
    if (dragOffset < 0 && currentPos < half) {
        dragOffset = 0;
        setCurrentIndex(currentIndex + 1);
    } else if (dragOffset >= 0 && currentPos > half) {
        dragOffset = 0;
        setCurrentIndex(currentIndex - 1);
    }
    emitPair(currentIndex, currentValue);
}

void Tumbler::wheelEvent(QWheelEvent* event)
{
    const QPoint angle = event->angleDelta();
    // A sideways scroll turns neither orientation.
    if (std::abs(angle.x()) > std::abs(angle.y()))
        return;
    const int steps = angle.y() / 120;
    int next = currentIndex - steps;
    if (steps >= 1) {
        if (next < 1)
            next = 0;
    } else if (next > listValue.count() - 1) {
        next = listValue.count() - 1;
    }
    setCurrentIndex(next);
}

void Tumbler::paintEvent(QPaintEvent*)
{
    const int count = listValue.count();
    if (count < 2)
        return;

    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);

    // A drag of a whole step moves the drum by one entry and keeps the rest as offset.
    const int s = step();
    int index = listValue.indexOf(currentValue);
    if (dragOffset >= s && index > 0) {
        pressedPos += s;
        dragOffset -= s;
        index -= 1;
    }
    if (dragOffset <= -s && index < count - 1) {
        pressedPos -= s;
        dragOffset += s;
        index += 1;
    }
    currentIndex = index;
    currentValue = listValue.at(index);

    const int w = width();
    const int h = height();
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRect(0, 0, w, h);

    QPen pen(lineColor, 3);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    if (horizontal) {
        painter.drawLine(w / 3, 10, w / 3, h - 10);
        painter.drawLine(2 * (w / 3), 10, 2 * (w / 3), h - 10);
    } else {
        painter.drawLine(10, h / 3, w - 10, h / 3);
        painter.drawLine(10, 2 * (h / 3), w - 10, 2 * (h / 3));
    }

    painter.setPen(textColor);
    drawEntry(&painter, currentValue, dragOffset, true);
    painter.setPen(foreground);
    if (index > 0)
        drawEntry(&painter, listValue.at(index - 1), dragOffset - s, false);
    if (index < count - 1)
        drawEntry(&painter, listValue.at(index + 1), dragOffset + s, false);
}

void Tumbler::drawEntry(QPainter* painter, const QString& entry, int offset, bool current)
{
    const QString text = displayText(labelFormat, entry);
    QFont f = painter->font();
    // A pixel size below 1 is refused by QFont; a tiny widget draws tiny text instead.
    f.setPixelSize(qMax(1, (extent() - std::abs(offset)) / 8));
    painter->setFont(f);

    QRect r;
    int start = 0;
    if (horizontal) {
        const int tw = painter->fontMetrics().horizontalAdvance(text);
        start = width() / 2 + offset - tw / 2;
        r = QRect(start, 0, tw, height());
    } else {
        const int th = painter->fontMetrics().height();
        start = height() / 2 + offset - th / 2;
        r = QRect(0, start, width(), th);
    }
    painter->drawText(r, Qt::AlignCenter, text);
    if (current)
        currentPos = start;
}
