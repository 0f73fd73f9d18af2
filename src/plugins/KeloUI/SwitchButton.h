#pragma once

#include "keloui_global.h"

#include <QColor>
#include <QWidget>

class QTimer;

// An on/off switch: a track with a sliding knob, optionally with a text or a small ring on the
// free side, in three shapes, with an optional sliding animation.
class KELOUI_EXPORT SwitchButton : public QWidget
{
    Q_OBJECT
public:
    enum ButtonStyle {
        ButtonStyle_Rect = 0,     // rounded rectangle track, knob half the width
        ButtonStyle_CircleIn = 1, // capsule track, round knob inside it
        ButtonStyle_CircleOut = 2 // thin rounded track, round knob as high as the widget
    };
    Q_ENUM(ButtonStyle)

private:
    Q_PROPERTY(int space READ getSpace WRITE setSpace)
    Q_PROPERTY(int rectRadius READ getRectRadius WRITE setRectRadius)
    Q_PROPERTY(bool checked READ getChecked WRITE setChecked)
    Q_PROPERTY(bool showText READ getShowText WRITE setShowText)
    Q_PROPERTY(bool showCircle READ getShowCircle WRITE setShowCircle)
    Q_PROPERTY(bool animation READ getAnimation WRITE setAnimation)
    Q_PROPERTY(ButtonStyle buttonStyle READ getButtonStyle WRITE setButtonStyle)
    Q_PROPERTY(QColor bgColorOff READ getBgColorOff WRITE setBgColorOff)
    Q_PROPERTY(QColor bgColorOn READ getBgColorOn WRITE setBgColorOn)
    Q_PROPERTY(QColor sliderColorOff READ getSliderColorOff WRITE setSliderColorOff)
    Q_PROPERTY(QColor sliderColorOn READ getSliderColorOn WRITE setSliderColorOn)
    Q_PROPERTY(QColor textColorOff READ getTextColorOff WRITE setTextColorOff)
    Q_PROPERTY(QColor textColorOn READ getTextColorOn WRITE setTextColorOn)
    Q_PROPERTY(QString textOff READ getTextOff WRITE setTextOff)
    Q_PROPERTY(QString textOn READ getTextOn WRITE setTextOn)

public:
    explicit SwitchButton(QWidget* parent = nullptr);
    ~SwitchButton() override;

    int getSpace() const { return space; }
    int getRectRadius() const { return rectRadius; }
    bool getChecked() const { return checked; }
    bool getShowText() const { return showText; }
    bool getShowCircle() const { return showCircle; }
    bool getAnimation() const { return animation; }
    ButtonStyle getButtonStyle() const { return buttonStyle; }
    QColor getBgColorOff() const { return bgColorOff; }
    QColor getBgColorOn() const { return bgColorOn; }
    QColor getSliderColorOff() const { return sliderColorOff; }
    QColor getSliderColorOn() const { return sliderColorOn; }
    QColor getTextColorOff() const { return textColorOff; }
    QColor getTextColorOn() const { return textColorOn; }
    QString getTextOff() const { return textOff; }
    QString getTextOn() const { return textOn; }

    // Where the knob is, where it is going, and whether it is on its way.
    int getStartX() const { return startX; }
    int getEndX() const { return endX; }
    bool isAnimating() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void checkedChanged(bool checked);

public slots:
    // Toggles as a click does.
    void change();
    // One animation tick.
    void updateValue();
    void setChecked(bool checked);
    void setSpace(int space);
    void setRectRadius(int rectRadius);
    void setShowText(bool showText);
    void setShowCircle(bool showCircle);
    void setAnimation(bool animation);
    void setButtonStyle(const SwitchButton::ButtonStyle& buttonStyle);
    void setBgColorOff(const QColor& bgColorOff);
    void setBgColorOn(const QColor& bgColorOn);
    void setSliderColorOff(const QColor& sliderColorOff);
    void setSliderColorOn(const QColor& sliderColorOn);
    void setTextColorOff(const QColor& textColorOff);
    void setTextColorOn(const QColor& textColorOn);
    void setTextOff(const QString& textOff);
    void setTextOn(const QString& textOn);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void toggle();
    int onX() const;
    void drawBg(QPainter* painter);
    void drawText(QPainter* painter);
    void drawSlider(QPainter* painter);

    int space = 2;
    int rectRadius = 5;
    bool checked = false;
    bool showText = true;
    bool showCircle = false;
    bool animation = false;
    ButtonStyle buttonStyle = ButtonStyle_CircleIn;
    QColor bgColorOff;
    QColor bgColorOn;
    QColor sliderColorOff;
    QColor sliderColorOn;
    QColor textColorOff;
    QColor textColorOn;
    QString textOff;
    QString textOn;

    int step = 0;
    int startX = 0;
    int endX = 0;
    QTimer* timer;
};
