#include "shell/about_form.h"

#include "foundation/platform_wrappers.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

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
    Top->addLayout(Texts, 1);
    auto* Layout = new QVBoxLayout(this);
    Layout->addLayout(Top);
    Layout->addWidget(btnClose, 0, Qt::AlignRight);
    // Each label as wide as its text in its own font.
    for (QLabel* L : {lblProduct, lblVersion})
        L->setMinimumWidth(L->fontMetrics().horizontalAdvance(L->text()));
    // A fixed-size box with nothing to maximise: only the close button, so
    // that the title bar keeps its room for the caption.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    const QSize Hint = sizeHint();
    setFixedSize(std::max(Hint.width(), CaptionWidth()), Hint.height());
}

QString TfrmAbout::ShownCaption() const
{
    // Qt asks the window system to show the application's display name
    // after a caption that does not end with it, once one is set apart from
    // the application's own name; the program sets none.
    QString Title = windowTitle();
    const QString App = QGuiApplication::applicationDisplayName();
    if (!App.isEmpty() && App != QCoreApplication::applicationName() && !Title.endsWith(App))
        Title += QString::fromUtf8(" \u2014 ") + App;
    return Title;
}

int TfrmAbout::CaptionWidth() const
{
    // The title bar draws the caption in a bold face and also holds the
    // icon and the close button, each about a title bar's height wide;
    // four heights leave them and the bar's margins room.
    QFont Bold = font();
    Bold.setBold(true);
    const int Bar = std::max(style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this), 16);
    return QFontMetrics(Bold).horizontalAdvance(ShownCaption()) + 4 * Bar;
}

int32_t TfrmAbout::ProgramBuildNumber()
{
    return GetFileBuildNumber(QCoreApplication::applicationFilePath().toStdString());
}
