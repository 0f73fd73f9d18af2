#pragma once

#include <QHostAddress>
#include <QList>
#include <QNetworkInterface>
#include <QString>

// What the relay needs to know of one network interface of the PC when it picks the address it
// tells the instrument. A plain record, so that tests can hand in interfaces this machine lacks.
struct NetworkInterfaceEntry
{
    QNetworkInterface::InterfaceType type = QNetworkInterface::Unknown;
    QString humanReadableName;
    QList<QHostAddress> addresses;
};
