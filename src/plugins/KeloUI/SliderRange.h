#pragma once

#include "keloui_global.h"

#include <QColor>
#include <QWidget>

// A horizontal slider with two handles that choose a sub-range (left value, right value) of a
// value range. Values are placed from the left edge as value × width / (maximum − minimum), so
// ranges are meant to start at 0.
class KELOUI_EXPORT SliderRange : public QWidget
{
    Q_OBJECT
public:
    enum SliderStyle { SliderStyle_Line = 0, SliderStyle_Circle = 1 };
    Q_ENUM(SliderStyle)
    // Track and band thickness in tenths of the height.
    enum SliderBgPercent {
        SliderBgPercent_0_1 = 1,
        SliderBgPercent_0_2 = 2,
        SliderBgPercent_0_3 = 3,
        SliderBgPercent_0_4 = 4,
        SliderBgPercent_0_5 = 5,
        SliderBgPercent_0_6 = 6,
        SliderBgPercent_0_7 = 7,
        SliderBgPercent_0_8 = 8,
        SliderBgPercent_0_9 = 9,
        SliderBgPercent_1_0 = 10
    };
    Q_ENUM(SliderBgPercent)
    // Handle size in tenths of the height.
    enum SliderPercent {
        SliderPercent_0_1 = 1,
        SliderPercent_0_2 = 2,
        SliderPercent_0_3 = 3,
        SliderPercent_0_4 = 4,
        SliderPercent_0_5 = 5
    };
    Q_ENUM(SliderPercent)

private:
    Q_PROPERTY(int minValue READ getMinValue WRITE setMinValue)
    Q_PROPERTY(int maxValue READ getMaxValue WRITE setMaxValue)
    Q_PROPERTY(int leftValue READ getLeftValue WRITE setLeftValue)
    Q_PROPERTY(int rightValue READ getRightValue WRITE setRightValue)
    Q_PROPERTY(int borderWidth READ getBorderWidth WRITE setBorderWidth)
    Q_PROPERTY(bool horizontal READ getHorizontal WRITE setHorizontal)
    Q_PROPERTY(bool showText READ getShowText WRITE setShowText)
    Q_PROPERTY(QColor usedColor READ getUsedColor WRITE setUsedColor)
    Q_PROPERTY(QColor freeColor READ getFreeColor WRITE setFreeColor)
    Q_PROPERTY(QColor textColor READ getTextColor WRITE setTextColor)
    Q_PROPERTY(QColor rangeTextColor READ getRangeTextColor WRITE setRangeTextColor)
    Q_PROPERTY(QColor sliderColor READ getSliderColor WRITE setSliderColor)
    Q_PROPERTY(QColor borderColor READ getBorderColor WRITE setBorderColor)
    Q_PROPERTY(SliderStyle sliderStyle READ getSliderStyle WRITE setSliderStyle)
    Q_PROPERTY(SliderBgPercent sliderBgPercent READ getSliderBgPercent WRITE setSliderBgPercent)
    Q_PROPERTY(SliderPercent sliderPercent READ getSliderPercent WRITE setSliderPercent)

public:
    explicit SliderRange(QWidget* parent = nullptr);

    int getMinValue() const { return minValue; }
    int getMaxValue() const { return maxValue; }
    int getLeftValue() const { return leftValue; }
    int getRightValue() const { return rightValue; }
    int getBorderWidth() const { return borderWidth; }
    bool getHorizontal() const { return horizontal; }
    bool getShowText() const { return showText; }
    QColor getUsedColor() const { return usedColor; }
    QColor getFreeColor() const { return freeColor; }
    QColor getTextColor() const { return textColor; }
    QColor getRangeTextColor() const { return rangeTextColor; }
    QColor getSliderColor() const { return sliderColor; }
    QColor getBorderColor() const { return borderColor; }
    SliderStyle getSliderStyle() const { return sliderStyle; }
    SliderBgPercent getSliderBgPercent() const { return sliderBgPercent; }
    SliderPercent getSliderPercent() const { return sliderPercent; }

    // Hit rectangles of the handles as the last paint placed them.
    QRect leftHandleRect() const { return leftRect; }
    QRect rightHandleRect() const { return rightRect; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public slots:
    void setRange(int minValue, int maxValue);
    void setMinValue(int minValue);
    void setMaxValue(int maxValue);
    void setCurrentRange(int leftValue, int rightValue);
    void setLeftValue(int leftValue);
    void setRightValue(int rightValue);
    void setBorderWidth(int borderWidth);
    void setHorizontal(bool horizontal);
    void setShowText(bool showText);
    void setUsedColor(const QColor& usedColor);
    void setFreeColor(const QColor& freeColor);
    void setTextColor(const QColor& textColor);
    void setRangeTextColor(const QColor& rangeTextColor);
    void setSliderColor(const QColor& sliderColor);
    void setBorderColor(const QColor& borderColor);
    void setSliderStyle(const SliderRange::SliderStyle& sliderStyle);
    void setSliderBgPercent(const SliderRange::SliderBgPercent& sliderBgPercent);
    void setSliderPercent(const SliderRange::SliderPercent& sliderPercent);

signals:
    void valueChanged(int leftValue, int rightValue);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void applyRange(int minValue, int maxValue);
    // Pixels per unit of value.
    double scale() const { return double(width()) / double(maxValue - minValue); }
    int xOf(int value) const { return int(value * scale()); }
    void drawSliderLine(QPainter* painter);
    void drawSliderCircle(QPainter* painter);
    void drawValue(QPainter* painter);

    int minValue = 0;
    int maxValue = 100;
    int leftValue = 40;
    int rightValue = 60;
    int borderWidth = 3;
    bool horizontal = true;
    bool showText = false;
    QColor usedColor;
    QColor freeColor;
    QColor textColor;
    QColor rangeTextColor;
    QColor sliderColor;
    QColor borderColor;
    SliderStyle sliderStyle = SliderStyle_Line;
    SliderBgPercent sliderBgPercent = SliderBgPercent_0_2;
    SliderPercent sliderPercent = SliderPercent_0_3;

    bool leftPressed = false;
    bool rightPressed = false;
    int handleSize = 0;
    QRect leftRect;
    QRect rightRect;
};
