#include "SwitchButton.h"

#include <QPainter>
#include <QPainterPath>
#include <QTimer>

SwitchButton::SwitchButton(QWidget* parent)
    : QWidget(parent)
    , bgColorOff(111, 122, 126)
    , bgColorOn(21, 156, 119)
    , sliderColorOff(255, 255, 255)
    , sliderColorOn(255, 255, 255)
    , textColorOff(250, 250, 250)
    , textColorOn(255, 255, 255)
    , textOff(QStringLiteral("关闭"))
    , textOn(QStringLiteral("开启"))
    , timer(new QTimer(this))
{
    timer->setInterval(30);
    connect(timer, &QTimer::timeout, this, &SwitchButton::updateValue);
}

SwitchButton::~SwitchButton()
{
    if (timer->isActive())
        timer->stop();
}

QSize SwitchButton::sizeHint() const
{
    return QSize(70, 30);
}

QSize SwitchButton::minimumSizeHint() const
{
    return QSize(10, 5);
}

bool SwitchButton::isAnimating() const
{
    return timer->isActive();
}

int SwitchButton::onX() const
{
    return buttonStyle == ButtonStyle_Rect ? width() - width() / 2 : width() - height();
}

void SwitchButton::mousePressEvent(QMouseEvent*)
{
    toggle();
}

void SwitchButton::change()
{
    toggle();
}

void SwitchButton::toggle()
{
    checked = !checked;
    emit checkedChanged(checked);
    step = width() / 7;
    endX = checked ? onX() : 0;
    if (animation) {
        timer->start();
    } else {
        startX = endX;
        update();
    }
}

void SwitchButton::updateValue()
{
    // A step of 0 (a switch narrower than 7 pixels) would never arrive.
    if (checked && startX < endX && step > 0) {
        startX += step;
    } else if (!checked && startX > endX && step > 0) {
        startX -= step;
    } else {
        startX = endX;
        timer->stop();
    }
    update();
}

void SwitchButton::setChecked(bool value)
{
    if (checked == value)
        return;
    if (step == 0) {
        // Not laid out yet: toggle once the width is known. Two calls before then must not
        // toggle twice, so the wanted state is checked again when the time comes.
        QTimer::singleShot(10, this, [this, value] {
            if (checked != value)
                change();
        });
        return;
    }
    toggle();
}

void SwitchButton::resizeEvent(QResizeEvent*)
{
    step = width() / 50;
    startX = checked ? onX() : 0;
    update();
}

#define KELO_SWITCH_SETTER(Name, member, Type)                                                                         \
    void SwitchButton::Name(Type value)                                                                                \
    {                                                                                                                  \
        if (member != value) {                                                                                         \
            member = value;                                                                                            \
            update();                                                                                                  \
        }                                                                                                              \
    }

KELO_SWITCH_SETTER(setSpace, space, int)
KELO_SWITCH_SETTER(setRectRadius, rectRadius, int)
KELO_SWITCH_SETTER(setShowText, showText, bool)
KELO_SWITCH_SETTER(setShowCircle, showCircle, bool)
KELO_SWITCH_SETTER(setAnimation, animation, bool)
KELO_SWITCH_SETTER(setButtonStyle, buttonStyle, const SwitchButton::ButtonStyle&)
KELO_SWITCH_SETTER(setBgColorOff, bgColorOff, const QColor&)
KELO_SWITCH_SETTER(setBgColorOn, bgColorOn, const QColor&)
KELO_SWITCH_SETTER(setSliderColorOff, sliderColorOff, const QColor&)
KELO_SWITCH_SETTER(setSliderColorOn, sliderColorOn, const QColor&)
KELO_SWITCH_SETTER(setTextColorOff, textColorOff, const QColor&)
KELO_SWITCH_SETTER(setTextColorOn, textColorOn, const QColor&)
KELO_SWITCH_SETTER(setTextOff, textOff, const QString&)
KELO_SWITCH_SETTER(setTextOn, textOn, const QString&)

#undef KELO_SWITCH_SETTER

void SwitchButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    drawBg(&painter);
    drawText(&painter);
    drawSlider(&painter);
}

void SwitchButton::drawBg(QPainter* painter)
{
    const int w = width();
    const int h = height();
    QColor bg = checked ? bgColorOn : bgColorOff;
    if (!isEnabled())
        bg.setAlpha(60);
    painter->save();
    painter->setPen(Qt::NoPen);
    painter->setBrush(bg);
    if (buttonStyle == ButtonStyle_Rect) {
        painter->drawRoundedRect(QRect(0, 0, w, h), rectRadius, rectRadius);
    } else if (buttonStyle == ButtonStyle_CircleIn) {
        const int d = qMin(w, h);
        QPainterPath path;
        path.setFillRule(Qt::WindingFill);
        path.addEllipse(QRect(0, 0, d, d));
        path.addEllipse(QRect(w - d, 0, d, d));
        path.addRect(QRect(d / 2, 0, w - d, h));
        painter->drawPath(path.simplified());
    } else {
        painter->drawRoundedRect(QRect(h / 2, space, w - h, h - 2 * space), rectRadius, rectRadius);
    }
    painter->restore();
}

void SwitchButton::drawText(QPainter* painter)
{
    if (buttonStyle == ButtonStyle_CircleOut)
        return;
    const int w = width();
    const int h = height();
    painter->save();
    if (showText) {
        const int k = buttonStyle == ButtonStyle_Rect ? w / 2 - 5 : qMin(w, h) - 2 * space - 5;
        if (checked) {
            painter->setPen(textColorOn);
            painter->drawText(QRect(0, 0, w - k, h), Qt::AlignCenter, textOn);
        } else {
            painter->setPen(textColorOff);
            painter->drawText(QRect(k, 0, w - k, h), Qt::AlignCenter, textOff);
        }
    } else if (showCircle) {
        const int d = qMin(w, h);
        const int r = d / 2;
        const int y = (h - r) / 2;
        QPen pen(checked ? textColorOn : textColorOff, 2, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        if (checked)
            painter->drawEllipse(QRect(d / 4, y, r, r));
        else
            painter->drawEllipse(QRect(int(w - 1.5 * r), y, r, r));
    }
    painter->restore();
}

void SwitchButton::drawSlider(QPainter* painter)
{
    const int w = width();
    const int h = height();
    painter->save();
    painter->setPen(Qt::NoPen);
    painter->setBrush(checked ? sliderColorOn : sliderColorOff);
    if (buttonStyle == ButtonStyle_Rect) {
        painter->drawRoundedRect(QRect(startX + space, space, w / 2 - 2 * space, h - 2 * space), rectRadius,
                                 rectRadius);
    } else if (buttonStyle == ButtonStyle_CircleIn) {
        const int s = qMin(w, h) - 2 * space;
        painter->drawEllipse(QRect(startX + space, space, s, s));
    } else {
        const QRect knob(startX, 0, h, h);
        QRadialGradient gradient(QRectF(knob).center(), h / 2);
        if (checked) {
            gradient.setColorAt(0, Qt::white);
            gradient.setColorAt(0.5, Qt::white);
            gradient.setColorAt(0.6, sliderColorOn);
            gradient.setColorAt(1, sliderColorOn);
        } else {
            gradient.setColorAt(0, sliderColorOff);
            gradient.setColorAt(0.5, sliderColorOff);
            gradient.setColorAt(0.6, bgColorOff);
            gradient.setColorAt(1, bgColorOff);
        }
        painter->setBrush(gradient);
        painter->drawEllipse(knob);
    }
    painter->restore();
}
