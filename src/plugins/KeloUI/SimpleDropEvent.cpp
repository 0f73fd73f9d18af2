#include "SimpleDropEvent.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QRegularExpression>
#include <QUrl>

SimpleDropEvent::SimpleDropEvent(QObject* parent, QObject* owner, Handler handler)
    : QObject(parent)
    , m_owner(owner)
    , m_handler(std::move(handler))
{}

QStringList SimpleDropEvent::pathsOf(const QString& mimeText)
{
    static const QString prefix = QStringLiteral("file:///");
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:"));
    QStringList paths;
    const QStringList lines = mimeText.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString line : lines) {
        // text/uri-list ends its lines with "\r\n".
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty())
            continue;
        if (line.startsWith(prefix)) {
            // Removing the prefix leaves "C:/..." on Windows but a relative "tmp/..." on Linux;
            // the local file of the URL is absolute on both, with %20 and the like decoded.
            QString rest = line.mid(prefix.size());
            if (!drive.match(rest).hasMatch())
                rest = QUrl(line).toLocalFile();
            else
                rest = QUrl::fromPercentEncoding(rest.toUtf8());
            line = rest;
        }
        paths << line;
    }
    return paths;
}

bool SimpleDropEvent::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::DragEnter) {
        static_cast<QDragEnterEvent*>(event)->acceptProposedAction();
        return true;
    }
    if (event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = pathsOf(drop->mimeData() ? drop->mimeData()->text() : QString());
        if (m_handler)
            m_handler(m_owner, paths);
        return true;
    }
    return QObject::eventFilter(watched, event);
}
