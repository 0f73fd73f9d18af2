#include "ImportIntroForm.h"
#include "ui_ImportIntroForm.h"

// The window is named by what it explains (the form's title), not by the designer's placeholder.
ImportIntroForm::ImportIntroForm(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::ImportIntroForm)
{
    ui->setupUi(this);
}

ImportIntroForm::~ImportIntroForm()
{
    delete ui;
}
