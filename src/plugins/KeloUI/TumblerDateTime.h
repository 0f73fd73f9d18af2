#pragma once

#include "keloui_global.h"

#include <QDateTime>
#include <QWidget>

#include <functional>

class QPushButton;
class Tumbler;

// Six tumblers (year, month, day, hour, minute, second) that pick a local date and time; the
// day column follows the month and the year, so every date it shows exists.
class KELOUI_EXPORT TumblerDateTime : public QWidget
{
    Q_OBJECT
public:
    explicit TumblerDateTime(QWidget* parent = nullptr);

    QDateTime getDateTime() const;
    void setDateTime(const QDateTime& dateTime);
    void setCurrentDateTime();
    // Seconds since 1970-01-01 00:00:00 UTC, shown as local time.
    void setDateTimeT(uint secondsSinceEpoch);

    // Days of a month of a year, the Gregorian century rules included; 30 for an unknown month.
    static int daysInMonth(int month, int year);

    // The clock that "now" reads (the year window, setCurrentDateTime and the time selector).
    // Tests set their own; an empty function gives back the system clock.
    static QDateTime now();
    static void setClock(std::function<QDateTime()> clock);

    // Column order: 0 year, 1 month, 2 day, 3 hour, 4 minute, 5 second.
    Tumbler* tumbler(int column) const { return m_tumblers[column]; }
    QPushButton* topButton(int column) const { return m_top[column]; }
    QPushButton* bottomButton(int column) const { return m_bottom[column]; }

public slots:
    // Rebuilds the day column for the shown month and year; the argument is not used.
    void currentValueChanged(const QString&);

private:
    Tumbler* m_tumblers[6] = {};
    QPushButton* m_top[6] = {};
    QPushButton* m_bottom[6] = {};
};
