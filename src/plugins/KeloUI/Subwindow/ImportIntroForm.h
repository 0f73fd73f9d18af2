#pragma once

#include "keloui_global.h"

#include <QWidget>

namespace Ui {
class ImportIntroForm;
}

// A short note on imported data: the sample rate the data files are taken to have, and the
// heading of the data-file format.
class KELOUI_EXPORT ImportIntroForm : public QWidget
{
    Q_OBJECT
public:
    explicit ImportIntroForm(QWidget* parent = nullptr);
    ~ImportIntroForm() override;

private:
    Ui::ImportIntroForm* ui;
};
