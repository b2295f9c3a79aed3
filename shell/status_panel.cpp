#include "shell/status_panel.h"

#include "shell/child_form.h"

#include <QPainter>

TStatusPanel::TStatusPanel(QWidget* Parent) : QLabel(Parent)
{
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
}

std::string TStatusPanel::GetText() const
{
    return text().toStdString();
}

void TStatusPanel::SetText(const std::string& Text)
{
    FProgress.reset();
    FTrace.reset();
    setText(QString::fromStdString(Text));
    update();
}

void TStatusPanel::ShowProgress(const TrecDrawProgress& Progress)
{
    FProgress = Progress;
    repaint();
}

void TStatusPanel::ShowTraceProgress(const TTraceProgress& Progress)
{
    FTrace = Progress;
    repaint();
}

void TStatusPanel::paintEvent(QPaintEvent* Event)
{
    if (FTrace) {
        QPainter P(this);
        DrawProgress(P, contentsRect(), &*FTrace);
        return;
    }
    if (!FProgress) {
        QLabel::paintEvent(Event);
        return;
    }
    QPainter P(this);
    const QRect R = contentsRect();
    const QString Caption = QString::fromUtf8(DrawProgressText);
    const int TextWidth = P.fontMetrics().horizontalAdvance(Caption);
    P.drawText(R.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, Caption);
    const QRect Frame(R.left() + 2 + TextWidth + 4, R.top() + 2, 104, std::max(4, R.height() - 4));
    P.setPen(palette().color(QPalette::Dark));
    P.drawRect(Frame.adjusted(0, 0, -1, -1));
    const QRect Bar = Frame.adjusted(2, 2, -2, -2);
    P.fillRect(Bar, palette().color(QPalette::Button));
    const int Done = DrawProgressBarWidth(*FProgress);
    P.fillRect(QRect(Bar.left(), Bar.top(), Done, Bar.height()), QColor(0x00, 0x00, 0x80));
}
