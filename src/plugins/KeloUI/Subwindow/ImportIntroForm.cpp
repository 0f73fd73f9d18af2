#include "ImportIntroForm.h"

#include <QLabel>

ImportIntroForm::ImportIntroForm(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ImportIntroForm"));
    resize(973, 636);
    label = new QLabel(tr("设备采样率为 60 M"), this);
    label->setObjectName(QStringLiteral("label"));
    label->setGeometry(100, 110, 340, 150);
    label_2 = new QLabel(tr("数据文件格式"), this);
    label_2->setObjectName(QStringLiteral("label_2"));
    label_2->setGeometry(110, 170, 240, 185);
    // Named by what it explains rather than by the designer's placeholder.
    setWindowTitle(label_2->text());
    QMetaObject::connectSlotsByName(this);
}

ImportIntroForm::~ImportIntroForm() = default;
