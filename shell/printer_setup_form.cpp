#include "shell/printer_setup_form.h"

#include "shell/setting_page_form.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The papers offered where the printer names none (the PDF printer).
const QPageSize::PageSizeId CommonPapers[] = {QPageSize::A3,    QPageSize::A4,     QPageSize::A5,
                                              QPageSize::JisB4, QPageSize::JisB5,  QPageSize::Postcard,
                                              QPageSize::Letter, QPageSize::Legal};

} // namespace

TfrmPrinterSetup::TfrmPrinterSetup(QPrinter& Printer, QWidget* Parent) : QDialog(Parent), FPrinter(Printer)
{
    setWindowTitle("プリンタの設定");
    auto* grpPrinter = new QGroupBox("プリンタ", this);
    cmbPrinter = new QComboBox(grpPrinter);
    // The system's printers, then the PDF printer; the item's data is the
    // printer's name, empty for the PDF printer.
    for (const QString& Name : QPrinterInfo::availablePrinterNames())
        cmbPrinter->addItem(Name, Name);
    cmbPrinter->addItem(PdfPrinterName, QString());
    const bool Pdf = Printer.outputFormat() == QPrinter::PdfFormat;
    const int Current = Pdf ? cmbPrinter->count() - 1 : cmbPrinter->findData(Printer.printerName());
    cmbPrinter->setCurrentIndex(Current < 0 ? cmbPrinter->count() - 1 : Current);
    auto* PrinterRow = new QHBoxLayout(grpPrinter);
    PrinterRow->addWidget(new QLabel("プリンタ名:", grpPrinter));
    PrinterRow->addWidget(cmbPrinter, 1);

    auto* grpPaper = new QGroupBox("用紙", this);
    cmbPaper = new QComboBox(grpPaper);
    auto* PaperRow = new QHBoxLayout(grpPaper);
    PaperRow->addWidget(new QLabel("サイズ:", grpPaper));
    PaperRow->addWidget(cmbPaper, 1);

    auto* grpOrientation = new QGroupBox("印刷の向き", this);
    rbPortrait = new QRadioButton("縦", grpOrientation);
    rbLandscape = new QRadioButton("横", grpOrientation);
    (Printer.pageLayout().orientation() == QPageLayout::Landscape ? rbLandscape : rbPortrait)->setChecked(true);
    auto* OrientationColumn = new QVBoxLayout(grpOrientation);
    OrientationColumn->addWidget(rbPortrait);
    OrientationColumn->addWidget(rbLandscape);

    btnOK = new QPushButton("OK", this);
    btnOK->setDefault(true);
    btnCancel = new QPushButton("キャンセル", this);
    auto* Buttons = new QHBoxLayout;
    Buttons->addStretch();
    Buttons->addWidget(btnOK);
    Buttons->addWidget(btnCancel);
    auto* Lower = new QHBoxLayout;
    Lower->addWidget(grpPaper, 1);
    Lower->addWidget(grpOrientation);
    auto* Layout = new QVBoxLayout(this);
    Layout->addWidget(grpPrinter);
    Layout->addLayout(Lower);
    Layout->addLayout(Buttons);

    FillPapers(Printer.pageLayout().pageSize());
    // Another printer offers its own papers; the chosen one stays when it has it.
    connect(cmbPrinter, &QComboBox::currentIndexChanged, this, [this] {
        const int I = cmbPaper->currentIndex();
        FillPapers(I >= 0 && I < int(FPapers.size()) ? FPapers[size_t(I)] : QPageSize());
    });
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmPrinterSetup::FillPapers(const QPageSize& Current)
{
    FPapers.clear();
    const QString Name = cmbPrinter->currentData().toString();
    if (!Name.isEmpty())
        for (const QPageSize& Size : QPrinterInfo::printerInfo(Name).supportedPageSizes())
            FPapers.push_back(Size);
    if (FPapers.empty())
        for (QPageSize::PageSizeId Id : CommonPapers)
            FPapers.emplace_back(Id);
    int Chosen = -1;
    for (size_t I = 0; I < FPapers.size() && Chosen < 0; ++I)
        if (Current.isValid() && FPapers[I].isEquivalentTo(Current))
            Chosen = int(I);
    // A paper of its own (a custom size) is kept as one more choice.
    if (Chosen < 0 && Current.isValid()) {
        FPapers.push_back(Current);
        Chosen = int(FPapers.size()) - 1;
    }
    cmbPaper->clear();
    for (const QPageSize& Size : FPapers)
        cmbPaper->addItem(Size.name());
    cmbPaper->setCurrentIndex(std::max(0, Chosen));
}

void TfrmPrinterSetup::Apply()
{
    const QString Name = cmbPrinter->currentData().toString();
    if (Name.isEmpty())
        FPrinter.setOutputFormat(QPrinter::PdfFormat);
    else
        FPrinter.setPrinterName(Name);
    const int I = cmbPaper->currentIndex();
    if (I >= 0 && I < int(FPapers.size()))
        FPrinter.setPageSize(FPapers[size_t(I)]);
    FPrinter.setPageOrientation(rbLandscape->isChecked() ? QPageLayout::Landscape : QPageLayout::Portrait);
}

bool ExecutePrinterSetup(QPrinter& Printer, QWidget* Parent)
{
    TfrmPrinterSetup Dialog(Printer, Parent);
    if (Dialog.exec() != QDialog::Accepted)
        return false;
    Dialog.Apply();
    return true;
}
