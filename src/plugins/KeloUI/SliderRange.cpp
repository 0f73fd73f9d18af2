#include "SliderRange.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

SliderRange::SliderRange(QWidget* parent)
    : QWidget(parent)
    , usedColor(24, 189, 155)
    , freeColor(70, 70, 70)
    , textColor(80, 80, 80)
    , rangeTextColor(200, 200, 200)
    , sliderColor(250, 250, 250)
    , borderColor(255, 107, 107)
{
    QFont f(QStringLiteral("Arial"), 8);
    f.setBold(false);
    f.setItalic(false);
    setFont(f);
}

QSize SliderRange::sizeHint() const
{
    return QSize(300, 50);
}

QSize SliderRange::minimumSizeHint() const
{
    return QSize(10, 10);
}

void SliderRange::applyRange(int min, int max)
{
    minValue = min;
    maxValue = max;
    if (leftValue < minValue)
        leftValue = minValue;
    if (rightValue > maxValue)
        rightValue = maxValue;
    update();
}

void SliderRange::setRange(int min, int max)
{
    if (min >= max)
        return;
    applyRange(min, max);
}

void SliderRange::setMinValue(int min)
{
    if (min >= maxValue)
        return;
    applyRange(min, maxValue);
}

void SliderRange::setMaxValue(int max)
{
    if (minValue >= max)
        return;
    applyRange(minValue, max);
}

void SliderRange::setCurrentRange(int left, int right)
{
    if (left > right || left < minValue || right > maxValue)
        return;
    leftValue = left;
    rightValue = right;
    emit valueChanged(leftValue, rightValue);
    update();
}

void SliderRange::setLeftValue(int left)
{
    if (left > rightValue || left < minValue || rightValue > maxValue)
        return;
    setCurrentRange(left, rightValue);
}

void SliderRange::setRightValue(int right)
{
    if (leftValue > right || minValue > leftValue || right > maxValue)
        return;
    setCurrentRange(leftValue, right);
}

#define KELO_SLIDER_SETTER(Name, member, Type)                                                                         \
    void SliderRange::Name(Type value)                                                                                 \
    {                                                                                                                  \
        if (member != value) {                                                                                         \
            member = value;                                                                                            \
            update();                                                                                                  \
        }                                                                                                              \
    }

KELO_SLIDER_SETTER(setBorderWidth, borderWidth, int)
KELO_SLIDER_SETTER(setHorizontal, horizontal, bool)
KELO_SLIDER_SETTER(setShowText, showText, bool)
KELO_SLIDER_SETTER(setUsedColor, usedColor, const QColor&)
KELO_SLIDER_SETTER(setFreeColor, freeColor, const QColor&)
KELO_SLIDER_SETTER(setTextColor, textColor, const QColor&)
KELO_SLIDER_SETTER(setRangeTextColor, rangeTextColor, const QColor&)
KELO_SLIDER_SETTER(setSliderColor, sliderColor, const QColor&)
KELO_SLIDER_SETTER(setBorderColor, borderColor, const QColor&)
KELO_SLIDER_SETTER(setSliderStyle, sliderStyle, const SliderRange::SliderStyle&)
KELO_SLIDER_SETTER(setSliderBgPercent, sliderBgPercent, const SliderRange::SliderBgPercent&)
KELO_SLIDER_SETTER(setSliderPercent, sliderPercent, const SliderRange::SliderPercent&)

#undef KELO_SLIDER_SETTER

void SliderRange::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint p = event->localPos().toPoint();
    // Where the handles overlap, the left one is taken.
    if (leftRect.contains(p)) {
        leftPressed = true;
        update();
    } else if (rightRect.contains(p)) {
        rightPressed = true;
        update();
    }
}

void SliderRange::mouseMoveEvent(QMouseEvent* event)
{
    if (width() <= 0 || (!leftPressed && !rightPressed))
        return;
    const int x = qRound(event->localPos().x());
    if (leftPressed) {
        if (x < 0)
            return;
        const int v = int(x / scale());
        if (v < minValue || v > rightValue)
            return;
        leftValue = v;
    } else {
        if (x > width())
            return;
        const int v = int(x / scale());
        if (v < leftValue || v > maxValue)
            return;
        rightValue = v;
    }
    emit valueChanged(leftValue, rightValue);
    update();
}

void SliderRange::mouseReleaseEvent(QMouseEvent*)
{
    leftPressed = false;
    rightPressed = false;
    update();
}

void SliderRange::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);

    const int w = width();
    const int h = height();
    const int t = h * sliderBgPercent / 10;
    QPen pen(freeColor, t);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    painter.drawLine(QPoint(t / 2 + 1, h / 2), QPoint(w - 1 - t / 2, h / 2));

    if (sliderStyle == SliderStyle_Line)
        drawSliderLine(&painter);
    else
        drawSliderCircle(&painter);

    if (showText)
        drawValue(&painter);
}

void SliderRange::drawSliderLine(QPainter* painter)
{
    const int h = height();
    const int b = h * sliderBgPercent / 10;
    handleSize = h * sliderPercent / 10;
    const int lx = xOf(leftValue);
    const int rx = xOf(rightValue);
    leftRect = QRect(lx, 0, handleSize, h);
    rightRect = QRect(rx, 0, handleSize, h);

    painter->setPen(Qt::NoPen);
    painter->setBrush(usedColor);
    painter->drawRect(QRect(lx, (h - b) / 2, rx - lx, b));

    QPen pen(usedColor, handleSize);
    pen.setCapStyle(Qt::RoundCap);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    painter->drawLine(QPoint(lx, handleSize), QPoint(lx, h - handleSize));
    painter->drawLine(QPoint(rx, handleSize), QPoint(rx, h - handleSize));
}

void SliderRange::drawSliderCircle(QPainter* painter)
{
    const int h = height();
    const int b = h * sliderBgPercent / 10;
    int r = h * sliderPercent / 10;
    // A circle as high as the widget would lose its ring at the edges.
    if (r >= h / 2)
        r = h / 2 - 1;
    handleSize = r;
    const int lx = xOf(leftValue) - r;
    const int rx = xOf(rightValue) - r;
    const int top = (h - 2 * r) / 2;
    leftRect = QRect(lx, top, 2 * r, 2 * r);
    rightRect = QRect(rx, top, 2 * r, 2 * r);

    painter->setPen(Qt::NoPen);
    painter->setBrush(usedColor);
    painter->drawRect(QRect(lx + r, (h - b) / 2, rx - lx, b));

    for (const QRect& handle : {leftRect, rightRect}) {
        painter->setBrush(borderColor);
        painter->drawEllipse(handle.adjusted(-borderWidth, -borderWidth, borderWidth, borderWidth));
        painter->setBrush(sliderColor);
        painter->drawEllipse(handle);
    }
}

void SliderRange::drawValue(QPainter* painter)
{
    QFont f;
    f.setPixelSize(qMax(1, int(leftRect.width() / 1.6)));
    painter->setFont(f);
    painter->setPen(textColor);
    painter->drawText(leftRect, Qt::AlignCenter, QString::number(leftValue));
    painter->drawText(rightRect, Qt::AlignCenter, QString::number(rightValue));
}
