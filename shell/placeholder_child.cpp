#include "shell/placeholder_child.h"

#include "foundation/app_environment.h"
#include "foundation/platform_wrappers.h"
#include "foundation/streams.h"
#include "model/document.h"
#include "model/page.h"
#include "model/selection.h"
#include "platform/dib.h"
#include "shell/main_form.h"
#include "shell/tavro_action.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>

namespace {

TOLEDocumentWex* DocumentOf(TOLECustomPage* Page)
{
    return Page ? dynamic_cast<TOLEDocumentWex*>(Page->Document()) : nullptr;
}

TSelectedObjects* SelectionOf(TOLECustomPage* Page)
{
    auto* P = dynamic_cast<TPage*>(Page);
    return P ? dynamic_cast<TSelectedObjects*>(P->Selection()) : nullptr;
}

} // namespace

TfrmPlaceholderChild::TfrmPlaceholderChild(TfrmTavro* Owner, TOLEDocumentWex& Document)
    : FOwner(Owner)
{
    (void)Document;
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(80, 60);
}

TfrmPlaceholderChild* TfrmPlaceholderChild::CreateDoc(TfrmTavro* Owner, TOLEDocumentWex& Document)
{
    auto* Child = new TfrmPlaceholderChild(Owner, Document);
    QMdiSubWindow* Sub = Owner->MdiArea()->addSubWindow(Child);
    Sub->setAttribute(Qt::WA_DeleteOnClose);
    if (Document.GetPageCount() > 0)
        Document.GetPage(0)->AddForm(Child);
    Child->SetCaption(DocumentCaption(Document.FileName(), Document.Modified()));
    QObject::connect(Owner->MdiArea(), &QMdiArea::subWindowActivated, Child, [Child](QMdiSubWindow* Active) {
        if (Active != Child->SubWindow() || !Child->Page())
            return;
        if (auto* P = dynamic_cast<TPage*>(Child->Page()))
            Child->FOwner->UpdateToolButton(P->MouseMode(), P->PolySubMode());
        Child->FOwner->cmbZoom->setEditText(QString::number(Child->FiZoom));
    });
    if (AppIniFile().ReadInteger("4.0", "MaxFrmChild", 1) == 1)
        Sub->showMaximized();
    else
        Sub->show();
    Owner->MdiArea()->setActiveSubWindow(Sub);
    Owner->UpdateDocumentActions();
    Child->HistoryChanged();
    return Child;
}

TfrmPlaceholderChild::~TfrmPlaceholderChild()
{
    if (TOLECustomPage* P = Page())
        P->RemoveForm(this);
    if (FOwner)
        FOwner->UpdateDocumentActions();
}

QMdiSubWindow* TfrmPlaceholderChild::SubWindow() const
{
    return qobject_cast<QMdiSubWindow*>(parentWidget());
}

TPage* TfrmPlaceholderChild::ShownPage() const
{
    return dynamic_cast<TPage*>(Page());
}

void TfrmPlaceholderChild::closeEvent(QCloseEvent* Event)
{
    TOLECustomPage* P = Page();
    auto* Doc = P ? dynamic_cast<TOLEDocumentWex*>(P->Document()) : nullptr;
    if (Doc && !FbReleased && !Doc->CanCloseForm(this)) {
        Event->ignore();
        return;
    }
    Event->accept();
}

void TfrmPlaceholderChild::paintEvent(QPaintEvent*)
{
    QPainter Canvas(this);
    Canvas.fillRect(rect(), Qt::gray);
    TPage* P = ShownPage();
    if (!P)
        return;
    P->Update();
    const TrecPicture* Picture = P->GetPagePicture();
    const BITMAPINFOHEADER* H = Picture ? RecPictureHeader(*Picture) : nullptr;
    if (!H || !Picture->pBits || H->biBitCount != 24)
        return;
    const int W = H->biWidth;
    const int Ht = H->biHeight;
    const int Stride = CalcLineBytes(W, 24);
    // Rows are stored bottom-up.
    const QImage Image = QImage(Picture->pBits, W, Ht, Stride, QImage::Format_BGR888).mirrored(false, true);
    Canvas.drawImage(QRect(0, 0, W * FiZoom / 100, Ht * FiZoom / 100), Image);
}

void TfrmPlaceholderChild::SetZoom(int32_t Percent)
{
    if (Percent < 1 || Percent > 1600 || Percent == FiZoom)
        return;
    FiZoom = Percent;
    FOwner->cmbZoom->setEditText(QString::number(Percent));
    update();
}

void TfrmPlaceholderChild::FormResize()
{
    update();
}

void TfrmPlaceholderChild::EndMakeLine() {}

void TfrmPlaceholderChild::PasteText(const std::string& Text)
{
    TSelectedObjects* Sel = SelectionOf(Page());
    if (!Sel)
        return;
    TMemoryStream Stream;
    Stream.Write(Text.data(), static_cast<int32_t>(Text.size()));
    Stream.SetPosition(0);
    try {
        Sel->PasteCommand(Stream, true, "図形の貼り付け");
    } catch (...) {
        ErrorMessageBox(this, "データの読み込みに失敗しました");
    }
    update();
}

// ---------------------------------------------------------------------------
// Commands

void TfrmPlaceholderChild::actUndoExecute(QObject*)
{
    if (TOLEDocumentWex* Doc = DocumentOf(Page()); Doc && Doc->History()->CanUndo())
        Doc->History()->Undo();
}

void TfrmPlaceholderChild::actRedoExecute(QObject*)
{
    if (TOLEDocumentWex* Doc = DocumentOf(Page()); Doc && Doc->History()->CanRedo())
        Doc->History()->Redo();
}

void TfrmPlaceholderChild::actCutExecute(QObject*)
{
    if (TSelectedObjects* Sel = SelectionOf(Page()))
        Sel->CutToClipboard();
}

void TfrmPlaceholderChild::actCopyExecute(QObject*)
{
    if (TSelectedObjects* Sel = SelectionOf(Page()))
        Sel->CopyToClipboard();
}

void TfrmPlaceholderChild::actDelExecute(QObject*)
{
    if (TSelectedObjects* Sel = SelectionOf(Page()))
        Sel->DeleteCommand("選択図形の削除");
}

void TfrmPlaceholderChild::actCloseExecute(QObject*)
{
    if (QMdiSubWindow* Sub = SubWindow())
        Sub->close();
}

void TfrmPlaceholderChild::actSaveExecute(QObject*)
{
    if (TOLEDocumentWex* Doc = DocumentOf(Page()))
        Doc->Save();
}

void TfrmPlaceholderChild::actSaveAsExecute(QObject*)
{
    if (TOLEDocumentWex* Doc = DocumentOf(Page()))
        Doc->SaveAs();
}

void TfrmPlaceholderChild::actZoomInExecute(QObject*)
{
    SetZoom(std::min(FiZoom * 2, 1600));
}

void TfrmPlaceholderChild::actZoomOutExecute(QObject*)
{
    SetZoom(std::max(FiZoom / 2, 10));
}

#define TAVRO_EMPTY_HANDLER(Name) \
    void TfrmPlaceholderChild::Name(QObject*) {}
TAVRO_EMPTY_HANDLER(actPasteExecute)
TAVRO_EMPTY_HANDLER(actDupExecute)
TAVRO_EMPTY_HANDLER(actSelAllExecute)
TAVRO_EMPTY_HANDLER(actCopyAsBMPExecute)
TAVRO_EMPTY_HANDLER(actSaveBMPExecute)
TAVRO_EMPTY_HANDLER(actBmpTraceExecute)
TAVRO_EMPTY_HANDLER(actMorvoExecute)
TAVRO_EMPTY_HANDLER(actPrintSetupExecute)
TAVRO_EMPTY_HANDLER(actPrintExecute)
TAVRO_EMPTY_HANDLER(actBezierToLineExecute)
TAVRO_EMPTY_HANDLER(actLineToBezierExecute)
TAVRO_EMPTY_HANDLER(actNodeSymExecute)
TAVRO_EMPTY_HANDLER(actNodeSmoothExecute)
TAVRO_EMPTY_HANDLER(actNodeSharpExecute)
TAVRO_EMPTY_HANDLER(actNodeConnectExecute)
TAVRO_EMPTY_HANDLER(actNodeDivideExecute)
TAVRO_EMPTY_HANDLER(actToPolyLineExecute)
TAVRO_EMPTY_HANDLER(actMergeExecute)
TAVRO_EMPTY_HANDLER(actUnMergeExecute)
TAVRO_EMPTY_HANDLER(act1UpExecute)
TAVRO_EMPTY_HANDLER(act1DownExecute)
TAVRO_EMPTY_HANDLER(actTopExecute)
TAVRO_EMPTY_HANDLER(actBottomExecute)
TAVRO_EMPTY_HANDLER(actArngLeftExecute)
TAVRO_EMPTY_HANDLER(actArngRightExecute)
TAVRO_EMPTY_HANDLER(actCenterHExecute)
TAVRO_EMPTY_HANDLER(actImgCenterHExecute)
TAVRO_EMPTY_HANDLER(actEqualHExecute)
TAVRO_EMPTY_HANDLER(actArngTopExecute)
TAVRO_EMPTY_HANDLER(actArngBottomExecute)
TAVRO_EMPTY_HANDLER(actCenterVExecute)
TAVRO_EMPTY_HANDLER(actImgCenterVExecute)
TAVRO_EMPTY_HANDLER(actEqualVExecute)
TAVRO_EMPTY_HANDLER(actGridOptionExecute)
TAVRO_EMPTY_HANDLER(actSnapGridExecute)
TAVRO_EMPTY_HANDLER(actSnapObjExecute)
TAVRO_EMPTY_HANDLER(actDispModeExecute)
TAVRO_EMPTY_HANDLER(actDispAnchorExecute)
TAVRO_EMPTY_HANDLER(actShowGridExecute)
TAVRO_EMPTY_HANDLER(actRulerExecute)
#undef TAVRO_EMPTY_HANDLER

// ---------------------------------------------------------------------------
// The page's calls

void TfrmPlaceholderChild::PageLayoutChanged()
{
    FormResize();
}

void TfrmPlaceholderChild::InvalidatePageRect(const TRect* Rect)
{
    if (!Rect) {
        update();
        return;
    }
    InvalidateDocRect(*Rect);
}

void TfrmPlaceholderChild::InvalidateDocRect(const TRect& Rect)
{
    if (Rect.Left > Rect.Right || Rect.Top > Rect.Bottom)
        return;
    const auto Map = [this](int32_t V) { return (V * FiZoom + 50) / 100; };
    update(QRect(QPoint(Map(Rect.Left) - 7, Map(Rect.Top) - 7), QPoint(Map(Rect.Right) + 8, Map(Rect.Bottom) + 8)));
}

void TfrmPlaceholderChild::HistoryChanged()
{
    if (TOLEDocumentWex* Doc = DocumentOf(Page())) {
        THistoryCommand* H = Doc->History();
        FOwner->actUndo->setEnabled(H->CanUndo());
        FOwner->actRedo->setEnabled(H->CanRedo());
    }
    update();
}

std::string TfrmPlaceholderChild::GetCaption() const
{
    return windowTitle().toStdString();
}

void TfrmPlaceholderChild::SetCaption(const std::string& Caption)
{
    setWindowTitle(QString::fromStdString(Caption));
}

void TfrmPlaceholderChild::Release()
{
    if (FbReleased)
        return;
    FbReleased = true;
    if (QMdiSubWindow* Sub = SubWindow())
        Sub->deleteLater();
    else
        deleteLater();
}

void TfrmPlaceholderChild::RedrawAnchors()
{
    repaint();
}

void TfrmPlaceholderChild::SelectionChanged(bool)
{
    update();
}

void TfrmPlaceholderChild::UpdateActionStates()
{
    HistoryChanged();
}
