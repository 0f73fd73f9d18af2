#pragma once

#include "keloui_global.h"

#include <QColor>
#include <QWidget>

// The painted type icon of a message: a filled circle or triangle with a symbol on it.
class KELOUI_EXPORT ShapeWidget : public QWidget
{
    Q_OBJECT
public:
    enum Shape { NoShape = 0, Circle = 1, Triangle = 2 };

    explicit ShapeWidget(QWidget* parent = nullptr);

    void setTextColor(const QColor& color)
    {
        m_textColor = color;
        update();
    }
    void setShapeColor(const QColor& color)
    {
        m_shapeColor = color;
        update();
    }
    void setText(const QString& text)
    {
        m_text = text;
        update();
    }
    void setShape(int shape)
    {
        m_shape = shape;
        update();
    }

    QColor textColor() const { return m_textColor; }
    QColor shapeColor() const { return m_shapeColor; }
    QString text() const { return m_text; }
    int shape() const { return m_shape; }

    // The symbol's font for a widget of the given width.
    static QFont symbolFont(int width);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_textColor = QColor(0, 0, 0);
    QColor m_shapeColor = QColor(255, 255, 255);
    QString m_text;
    int m_shape = NoShape;
};
