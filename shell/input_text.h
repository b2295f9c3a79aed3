// The text entry dialog of the text tool: a memo for the new text.
#pragma once

#include <QDialog>

#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;

class TfrmInputText : public QDialog {
    Q_OBJECT
public:
    explicit TfrmInputText(QWidget* Parent = nullptr);
    // The memo's text with CR LF line breaks, UTF-8.
    std::string Text() const;

    QLabel* Label1;
    QPlainTextEdit* Memo1;
    QPushButton* btnOK;
    QPushButton* btnCancel;
};
