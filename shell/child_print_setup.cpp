// The document window's page setup: the dialog filled from the page, and
// what it returns applied to the page as one undoable command.
#include "shell/child_form.h"
#include "shell/history_bracket.h"
#include "shell/setting_page_form.h"

#include "model/document.h"
#include "model/page.h"
#include "platform/qt/window_routines.h"
#include "ui/paint_box_wex.h"

#include <QAction>

namespace {

// The frame's command that opens the dialog; its caption names the command.
constexpr int32_t actPrintSetupIndex = 11;

bool SamePosition(const TrecPrintPosition& A, const TrecPrintPosition& B)
{
    return A.Left == B.Left && A.Top == B.Top && A.CenterH == B.CenterH && A.CenterV == B.CenterV;
}

} // namespace

void TfrmChild::actPrintSetupExecute()
{
    TPage* P = DrawingPage();
    if (!P)
        return;
    // The preview shows the page picture: brought up to date, and rendered
    // for once where the wire frame leaves it empty.
    P->RenderInMode(P->DisplayMode() == 0 ? 3 : P->DisplayMode());
    TfrmSettingPage Dialog(this);
    TrecLogPict Pict;
    Pict.Width = P->Width();
    Pict.Height = P->Height();
    Pict.DPI = P->DPI();
    Pict.Unit = P->Unit();
    Pict.BkColor = P->BkColor();
    Pict.Picture = P->GetPagePicture();
    Dialog.SetUp(Pict, P->PrintPosition());
    Dialog.adjustSize();
    if (TRect Work; GetWorkAreaRect(Work))
        Dialog.move((Work.Left + Work.Right - Dialog.width()) / 2, (Work.Top + Work.Bottom - Dialog.height()) / 2);
    if (Dialog.exec() != QDialog::Accepted)
        return;
    const TrecLogPict& N = Dialog.LogPict();
    const TrecPrintPosition& Position = Dialog.PrintPosition();
    QAction* A = Action(actPrintSetupIndex);
    // A failing setter (a page too large for memory) rolls back the ones
    // before it and is reported where the command was started.
    RunRolledBack(FDocument ? FDocument->History() : nullptr, A ? A->text().toStdString() : std::string(), [&] {
        const bool Changed = !SamePosition(Position, P->PrintPosition()) || N.DPI != P->DPI() ||
                             N.BkColor != P->BkColor() || N.Unit != P->Unit() || N.Width != P->Width() ||
                             N.Height != P->Height();
        P->SetPrintPosition(Position);
        P->SetDPI(N.DPI);
        P->SetBkColor(N.BkColor);
        P->SetUnit(N.Unit);
        P->SetPageSize(N.Width, N.Height);
        return Changed;
    });
    // The picture is painted on the background.
    if (P->BkColor() != Pict.BkColor)
        P->InvalidateRect(nullptr, true);
    pboxkClient->update();
}
