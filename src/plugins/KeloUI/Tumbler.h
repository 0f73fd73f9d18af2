#pragma once

#include "keloui_global.h"

#include <QColor>
#include <QStringList>
#include <QWidget>

class QPainter;

// A drum picker over a list of strings: the current entry in the middle, its neighbours beside
// it, turned by dragging or with the wheel. Vertical unless told otherwise.
class KELOUI_EXPORT Tumbler : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int currentIndex READ getCurrentIndex WRITE setCurrentIndex)
    Q_PROPERTY(QString currentValue READ getCurrentValue WRITE setCurrentValue)
    Q_PROPERTY(bool horizontal READ getHorizontal WRITE setHorizontal)
    Q_PROPERTY(QString labelFormat READ getLabelFormat WRITE setLabelFormat)
    Q_PROPERTY(QColor foreground READ getForeground WRITE setForeground)
    Q_PROPERTY(QColor background READ getBackground WRITE setBackground)
    Q_PROPERTY(QColor lineColor READ getLineColor WRITE setLineColor)
    Q_PROPERTY(QColor textColor READ getTextColor WRITE setTextColor)

public:
    explicit Tumbler(QWidget* parent = nullptr);

    QStringList getListValue() const { return listValue; }
    int getCurrentIndex() const { return currentIndex; }
    QString getCurrentValue() const { return currentValue; }
    bool getHorizontal() const { return horizontal; }
    QString getLabelFormat() const { return labelFormat; }
    QColor getForeground() const { return foreground; }
    QColor getBackground() const { return background; }
    QColor getLineColor() const { return lineColor; }
    QColor getTextColor() const { return textColor; }
    // Displacement of the drum left by the last drag (positive: towards the previous entry).
    int getDragOffset() const { return dragOffset; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The text an entry is drawn with: the label format with "%1" replaced by the entry.
    static QString displayText(const QString& format, const QString& entry);

public slots:
    void setLabelFormat(const QString& fmt);
    void setListValue(const QStringList& listValue);
    void setCurrentIndex(int currentIndex);
    void setCurrentValue(const QString& currentValue);
    void setHorizontal(bool horizontal);
    void setForeground(const QColor& foreground);
    void setBackground(const QColor& background);
    void setLineColor(const QColor& lineColor);
    void setTextColor(const QColor& textColor);

signals:
    void currentIndexChanged(int currentIndex);
    void currentValueChanged(QString currentValue);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int extent() const { return horizontal ? width() : height(); }
    int step() const { return extent() / stepDivisor; }
    int positionOf(const QPointF& localPos) const;
    void emitPair(int index, const QString& value);
    void drawEntry(QPainter* painter, const QString& entry, int offset, bool current);

    QString labelFormat;
    QStringList listValue;
    int currentIndex = 0;
    QString currentValue;
    bool horizontal = false;
    QColor foreground;
    QColor background;
    QColor lineColor;
    QColor textColor;

    const int stepDivisor = 3;
    int dragOffset = 0;
    bool pressed = false;
    int pressedPos = 0;
    int currentPos = 0;
    int lastDragIndex = -1;
};
