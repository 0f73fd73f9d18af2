#pragma once

#include "keloui_global.h"

#include <Record.h>

#include <QItemSelection>
#include <QWidget>

class QStandardItemModel;

namespace Ui {
class UploadChoose;
}

// A window for choosing which data channels of a record to upload. Its list marks every
// selected entry with a check mark; nothing in the program fills the list or opens the window
// yet, and its buttons have no action.
class KELOUI_EXPORT UploadChoose : public QWidget
{
    Q_OBJECT
public:
    explicit UploadChoose(QWidget* parent = nullptr);
    ~UploadChoose() override;

    void SetRecord(Record record) { m_record = record; }
    const Record& record() const { return m_record; }
    QStandardItemModel* model() const { return m_model; }

private:
    void followSelection(const QItemSelection& selected, const QItemSelection& deselected);

    Record m_record;
    Ui::UploadChoose* ui;
    QStandardItemModel* m_model = nullptr;
};
