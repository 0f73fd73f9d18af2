#include "UploadChoose.h"
#include "ui_UploadChoose.h"

#include <QItemSelectionModel>
#include <QStandardItemModel>

UploadChoose::UploadChoose(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::UploadChoose)
{
    ui->setupUi(this);
    m_model = new QStandardItemModel();
    ui->listView->setModel(m_model);
    ui->listView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->listView->setSelectionMode(QAbstractItemView::MultiSelection);
    connect(ui->listView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &UploadChoose::followSelection);
}

UploadChoose::~UploadChoose()
{
    ui->listView->setModel(nullptr);
    delete m_model;
    delete ui;
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
