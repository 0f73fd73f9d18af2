#include "PlaceholderPage.h"

#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>

PlaceholderPage::PlaceholderPage(const QString& title, const QString& objectName, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(objectName);
    auto* layout = new QVBoxLayout(this);
    m_heading = new QLabel(title, this);
    auto* heading = m_heading;
    heading->setObjectName(QStringLiteral("label_placeholderTitle"));
    heading->setAlignment(Qt::AlignCenter);
    QFont f = heading->font();
    f.setPointSize(16);
    heading->setFont(f);
    m_notice = new QLabel(tr("此页面尚未实现"), this);
    m_notice->setObjectName(QStringLiteral("label_placeholderNotice"));
    m_notice->setAlignment(Qt::AlignCenter);
    layout->addStretch();
    layout->addWidget(heading);
    layout->addWidget(m_notice);
    layout->addStretch();
    setWindowTitle(title);
}

QString PlaceholderPage::notice() const
{
    return m_notice->text();
}

void PlaceholderPage::changeEvent(QEvent* event)
{
    // A variant may rename the page (the transponder's collection page is "转发设置").
    if (event->type() == QEvent::WindowTitleChange && m_heading)
        m_heading->setText(windowTitle());
    QWidget::changeEvent(event);
}
