// The printer set-up that page setup opens: which printer, and the paper and
// orientation on it. What is chosen is put into the printer it was opened
// on, the session's current printer, so that page setup and printing both
// use it.
#pragma once

#include <QDialog>
#include <QPageSize>

#include <vector>

class QComboBox;
class QPrinter;
class QPushButton;
class QRadioButton;

class TfrmPrinterSetup : public QDialog {
    Q_OBJECT
public:
    // Shows Printer's printer, paper and orientation.
    explicit TfrmPrinterSetup(QPrinter& Printer, QWidget* Parent = nullptr);

    // Puts the choice into the printer; done on OK.
    void Apply();

    QComboBox* cmbPrinter;
    QComboBox* cmbPaper;
    QRadioButton* rbPortrait;
    QRadioButton* rbLandscape;
    QPushButton* btnOK;
    QPushButton* btnCancel;

private:
    void FillPapers(const QPageSize& Current);

    QPrinter& FPrinter;
    std::vector<QPageSize> FPapers;
};

// Runs the set-up on Printer: true after OK, Printer then holds the choice.
bool ExecutePrinterSetup(QPrinter& Printer, QWidget* Parent);
