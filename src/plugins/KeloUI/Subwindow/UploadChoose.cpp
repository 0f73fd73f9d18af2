#include "UploadChoose.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStandardItemModel>
#include <QToolButton>
#include <QVBoxLayout>

UploadChoose::UploadChoose(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("UploadChoose"));
    resize(637, 388);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* top = new QWidget(this);
    top->setObjectName(QStringLiteral("widget_top"));
    top->setFixedHeight(40);
    auto* topLayout = new QHBoxLayout(top);
    auto* icon = new QLabel(top);
    icon->setObjectName(QStringLiteral("label_9"));
    auto* title = new QLabel(tr("记录数据上传"), top);
    title->setObjectName(QStringLiteral("label_6"));
    // The task bar and window switcher name the window as its top bar does.
    setWindowTitle(title->text());
    auto* close = new QToolButton(top);
    close->setObjectName(QStringLiteral("toolButton"));
    close->setText(tr("╳"));
    topLayout->addWidget(icon);
    topLayout->addWidget(title);
    topLayout->addStretch(1);
    topLayout->addWidget(close);
    outer->addWidget(top);

    auto* group = new QGroupBox(tr("选择需要上传的数据通道"), this);
    group->setObjectName(QStringLiteral("groupBox"));
    auto* groupLayout = new QVBoxLayout(group);
    listView = new QListView(group);
    listView->setObjectName(QStringLiteral("listView"));
    groupLayout->addWidget(listView);
    outer->addWidget(group, 1);

    auto* buttons = new QHBoxLayout;
    const QList<QPair<const char*, QString>> named{{"pushButton", tr("全选")},   {"pushButton_4", tr("反选")},
                                                   {"pushButton_5", tr("取消选择")}, {"pushButton_2", tr("确认")},
                                                   {"pushButton_3", tr("取消")}};
    for (const auto& n : named) {
        auto* b = new QPushButton(n.second, this);
        b->setObjectName(QLatin1String(n.first));
        buttons->addWidget(b);
    }
    outer->addLayout(buttons);

    m_model = new QStandardItemModel();
    listView->setModel(m_model);
    listView->setSelectionBehavior(QAbstractItemView::SelectRows);
    listView->setSelectionMode(QAbstractItemView::MultiSelection);
    connect(listView->selectionModel(), &QItemSelectionModel::selectionChanged, this, &UploadChoose::followSelection);
    QMetaObject::connectSlotsByName(this);
}

UploadChoose::~UploadChoose()
{
    listView->setModel(nullptr);
    delete m_model;
}

void UploadChoose::followSelection(const QItemSelection& selected, const QItemSelection& deselected)
{
    // Every row of a range: a click selects one row, but a shift-click or code selects several.
    for (const QItemSelectionRange& range : selected) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            m_model->setData(m_model->index(row, range.left()), Qt::Checked, Qt::CheckStateRole);
    }
    for (const QItemSelectionRange& range : deselected) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            m_model->setData(m_model->index(row, range.left()), Qt::Unchecked, Qt::CheckStateRole);
    }
}
