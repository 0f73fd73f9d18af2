#include "SystemLog.h"

#include "StandardMessageBox.h"

#include <ProtocolManager.h>

#include <QGridLayout>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTextCursor>

SystemLog::SystemLog(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("SystemLog"));
    resize(641, 316);
    setMinimumSize(0, 0);
    setMaximumSize(16777215, 16777215);
    QFont f = font();
    f.setPointSize(11);
    setFont(f);
    setWindowTitle(tr("系统状态"));

    auto* layout = new QGridLayout(this);
    layout->setObjectName(QStringLiteral("gridLayout"));
    m_text = new QTextBrowser(this);
    m_text->setObjectName(QStringLiteral("textBrowser"));
    m_text->setFont(QFont(QStringLiteral("微软雅黑"), 11));
    m_text->setLineWidth(2);
    m_text->setContextMenuPolicy(Qt::NoContextMenu);
    // The log files keep every line; the panel keeps the newest, so a long session does not
    // grow it without bound.
    m_text->document()->setMaximumBlockCount(kMaxLines);
    layout->addWidget(m_text, 1, 0);

    // Follow the newest line until the user scrolls up, and again once they scroll back down.
    // The range is watched rather than read after each insert: the document lays long text
    // out later than the insert.
    QScrollBar* bar = m_text->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) { m_follow = value >= bar->maximum(); });
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar](int, int maximum) {
        if (m_follow)
            bar->setValue(maximum);
    });

    // Automatic connections: the logger also emits from worker threads, which queues to here.
    connect(FileLogger::instance(), &FileLogger::LineLogged, this, &SystemLog::slot_PrintLogLine);
    connect(ProtocolManager::instance(), &ProtocolManager::SetIPSuccess, this, &SystemLog::slot_SetIP);
    connect(ProtocolManager::instance(), &ProtocolManager::SetCustomFreq, this, &SystemLog::slot_SetCustomFreq);
}

QColor SystemLog::colourOf(FileLogger::LogType type)
{
    switch (type) {
    case FileLogger::Debug:
        return QColor(Qt::gray);
    case FileLogger::Error:
        return QColor(Qt::red);
    case FileLogger::Warning:
        return QColor(255, 153, 0);
    default:
        return QColor(Qt::black);
    }
}

void SystemLog::appendPlain(const QString& line)
{
    // append() would guess rich text from a line that looks like markup; a new block with the
    // text inserted as characters keeps every line exactly as it was logged.
    QTextCursor cursor(m_text->document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setForeground(m_text->textColor());
    if (!m_text->document()->isEmpty())
        cursor.insertBlock(QTextBlockFormat(), format);
    cursor.insertText(line, format);
    if (m_follow)
        m_text->verticalScrollBar()->setValue(m_text->verticalScrollBar()->maximum());
}

void SystemLog::slot_PrintSystemInfo(FileLogger::LogType msgtype, QString msg)
{
    m_text->setTextColor(colourOf(msgtype));
    appendPlain(msg);
}

void SystemLog::slot_PrintLogLine(FileLogger::LogType msgtype, const LogText& line)
{
    // Translated here, in the GUI thread, with the translators of the interface's language.
    slot_PrintSystemInfo(msgtype, line.translated());
}

void SystemLog::slot_SetIP(bool isOK)
{
    appendPlain(isOK ? tr("设置IP地址、子网掩码、网关成功!!") : tr("设置IP地址、子网掩码、网关失败!!"));
}

void SystemLog::slot_SetCustomFreq(uchar Result)
{
    switch (Result) {
    case 0:
        appendPlain(tr("写入自定义频段成功"));
        break;
    case 1:
        appendPlain(tr("写入自定义频段失败"));
        break;
    case 2:
        appendPlain(tr("权限不足，写入自定义频段失败"));
        break;
    default:
        break;
    }
}

void SystemLog::ShowWarning(const QString& text)
{
    StandardMessageBox::ask(this, QMessageBox::Warning, QStringLiteral("Error"), text, {QMessageBox::Ok});
}
