#include "shell/about_form.h"

#include "foundation/platform_wrappers.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

const char* const AboutVersionText = "Version 4.0";

TfrmAbout::TfrmAbout(QWidget* Parent, int32_t Build) : QDialog(Parent)
{
    setWindowTitle("タヴロ について");
    imgIcon = new QLabel(this);
    imgIcon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
    lblProduct = new QLabel("タヴロ", this);
    QFont Big = lblProduct->font();
    Big.setPointSizeF(Big.pointSizeF() * 1.5);
    Big.setBold(true);
    lblProduct->setFont(Big);
    lblVersion = new QLabel(AboutVersionText, this);
    if (Build >= 0)
        lblVersion->setText(lblVersion->text() + " Build " + QString::number(Build));
    btnClose = new QPushButton("閉じる", this);
    btnClose->setDefault(true);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);

    auto* Texts = new QVBoxLayout;
    Texts->addWidget(lblProduct);
    Texts->addWidget(lblVersion);
    auto* Top = new QHBoxLayout;
    Top->addWidget(imgIcon, 0, Qt::AlignTop);
    Top->addLayout(Texts);
    auto* Layout = new QVBoxLayout(this);
    Layout->addLayout(Top);
    Layout->addWidget(btnClose, 0, Qt::AlignRight);
    setFixedSize(sizeHint());
}

int32_t TfrmAbout::ProgramBuildNumber()
{
    return GetFileBuildNumber(QCoreApplication::applicationFilePath().toStdString());
}
