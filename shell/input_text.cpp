#include "shell/input_text.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmInputText::TfrmInputText(QWidget* Parent) : QDialog(Parent)
{
    setWindowTitle("テキスト作成");
    Label1 = new QLabel("テキストを入力してください。", this);
    Memo1 = new QPlainTextEdit(this);
    btnOK = new QPushButton("OK", this);
    btnCancel = new QPushButton("Cancel", this);
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* Buttons = new QHBoxLayout;
    Buttons->addStretch();
    Buttons->addWidget(btnOK);
    Buttons->addWidget(btnCancel);
    auto* Layout = new QVBoxLayout(this);
    Layout->addWidget(Label1);
    Layout->addWidget(Memo1);
    Layout->addLayout(Buttons);
    resize(360, 220);
}

std::string TfrmInputText::Text() const
{
    return Memo1->toPlainText().replace("\n", "\r\n").toStdString();
}
