#include "TumblerDateTime.h"

#include "Tumbler.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace {
std::function<QDateTime()> g_clock;

QStringList numbers(int from, int to)
{
    QStringList list;
    for (int i = from; i <= to; ++i)
        list << QString::number(i);
    return list;
}

QHBoxLayout* buttonRow(QPushButton* button)
{
    auto* row = new QHBoxLayout;
    row->addItem(new QSpacerItem(10, 10, QSizePolicy::Expanding, QSizePolicy::Minimum));
    row->addWidget(button);
    row->addItem(new QSpacerItem(10, 10, QSizePolicy::Expanding, QSizePolicy::Minimum));
    return row;
}
} // namespace

QDateTime TumblerDateTime::now()
{
    return g_clock ? g_clock() : QDateTime::currentDateTime();
}

void TumblerDateTime::setClock(std::function<QDateTime()> clock)
{
    g_clock = std::move(clock);
}

int TumblerDateTime::daysInMonth(int month, int year)
{
    switch (month) {
    case 2:
        return ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0) ? 29 : 28;
    case 1:
    case 3:
    case 5:
    case 7:
    case 8:
    case 10:
    case 12:
        return 31;
    default:
        return 30;
    }
}

TumblerDateTime::TumblerDateTime(QWidget* parent)
    : QWidget(parent)
{
    auto* mainLayout = new QHBoxLayout(this);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    mainLayout->setSpacing(0);

    const int year = now().date().year();
    struct Column
    {
        const char* unit;
        QStringList entries;
        const char* top;
        const char* bottom;
    };
    const Column columns[6] = {
        {"年", numbers(year, year + 30), "- 1", "+ 1"},
        {"月", numbers(1, 12), "1", "12"},
        {"日", numbers(1, 31), "1", "31"},
        {"时", numbers(0, 23), "0", "23"},
        {"分", numbers(0, 59), "0", "59"},
        {"秒", numbers(0, 59), "0", "59"},
    };

    for (int i = 0; i < 6; ++i) {
        auto* tumbler = new Tumbler(this);
        tumbler->setLabelFormat(QStringLiteral("%1 ") + QString::fromUtf8(columns[i].unit));
        tumbler->setListValue(columns[i].entries);
        m_tumblers[i] = tumbler;

        m_top[i] = new QPushButton(QString::fromUtf8(columns[i].top), this);
        m_top[i]->setMinimumWidth(50);
        m_bottom[i] = new QPushButton(QString::fromUtf8(columns[i].bottom), this);
        m_bottom[i]->setMinimumWidth(50);

        auto* column = new QVBoxLayout;
        column->addLayout(buttonRow(m_top[i]));
        column->addWidget(tumbler);
        column->addLayout(buttonRow(m_bottom[i]));
        mainLayout->addLayout(column);
    }

    Tumbler* years = m_tumblers[0];
    connect(m_top[0], &QPushButton::clicked, years, [years] { years->setCurrentIndex(years->getCurrentIndex() - 1); });
    connect(m_bottom[0], &QPushButton::clicked, years,
            [years] { years->setCurrentIndex(years->getCurrentIndex() + 1); });
    for (int i = 1; i < 6; ++i) {
        Tumbler* t = m_tumblers[i];
        for (QPushButton* b : {m_top[i], m_bottom[i]})
            connect(b, &QPushButton::clicked, t, [t, b] { t->setCurrentValue(b->text()); });
    }

    // Connected only now, so that filling the lists above does not rebuild the day column.
    connect(m_tumblers[0], &Tumbler::currentValueChanged, this, &TumblerDateTime::currentValueChanged);
    connect(m_tumblers[1], &Tumbler::currentValueChanged, this, &TumblerDateTime::currentValueChanged);
}

void TumblerDateTime::currentValueChanged(const QString&)
{
    const int month = m_tumblers[1]->getCurrentValue().toInt();
    const int day = m_tumblers[2]->getCurrentValue().toInt();
    qDebug() << "month" << month << "day" << day;

    const int count = daysInMonth(month, m_tumblers[0]->getCurrentValue().toInt());
    m_tumblers[2]->setListValue(numbers(1, count));
    m_bottom[2]->setText(QString::number(count));
    // The chosen day stays, or becomes the last day of a shorter month.
    m_tumblers[2]->setCurrentIndex(qMin(day, count) - 1);
}

QDateTime TumblerDateTime::getDateTime() const
{
    QString parts[6];
    for (int i = 0; i < 6; ++i)
        parts[i] = QStringLiteral("%1").arg(m_tumblers[i]->getCurrentValue().toUInt(), 2, 10, QLatin1Char('0'));
    const QString text = parts[0] + QLatin1Char('-') + parts[1] + QLatin1Char('-') + parts[2] + QLatin1Char(' ')
                       + parts[3] + QLatin1Char(':') + parts[4] + QLatin1Char(':') + parts[5];
    return QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

void TumblerDateTime::setDateTime(const QDateTime& dateTime)
{
    const QStringList parts =
        dateTime.toString(QStringLiteral("yyyy;M;d;h;m;s")).split(QLatin1Char(';'), Qt::KeepEmptyParts);
    // Year first, then month: each rebuilds the day column before the day is set, so the
    // 29th of February of a leap year is there when the day comes.
    for (int i = 0; i < parts.size() && i < 6; ++i)
        m_tumblers[i]->setCurrentValue(parts.at(i));
}

void TumblerDateTime::setCurrentDateTime()
{
    setDateTime(now());
}

void TumblerDateTime::setDateTimeT(uint secondsSinceEpoch)
{
    setDateTime(QDateTime::fromSecsSinceEpoch(qint64(secondsSinceEpoch), Qt::LocalTime));
}
