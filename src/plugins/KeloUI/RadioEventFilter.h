#pragma once

#include "keloui_global.h"

#include <QObject>

// Turns the watched button into a read-only indicator: presses, releases, double clicks, keys
// and hovering never reach it, so it keeps the state that code gives it.
class KELOUI_EXPORT RadioEventFilter : public QObject
{
    Q_OBJECT
public:
    explicit RadioEventFilter(QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
