// The panel's edit menu: cut, copy and paste (and the hidden select-all,
// delete and redraw items) on whatever control has the focus, on every page
// wherever the page is shown. The text page's rich edit gets the panel's own
// cut and paste; any other control gets the keystrokes. The undo and redo
// keys run the document's history from every control of a page window.
#include "editors/frm_obj_property.h"

#include "editors/macro_paint_page.h"
#include "editors/rich_edit_tav.h"
#include "model/text_object.h"
#include "platform/message_box.h"
#include "ui/page_control_wex.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QTextEdit>

#include <vector>

namespace {

// Ctrl down, the key down, the key up, Ctrl up, as typed. Keys sent by the
// program pass the shortcut map too: the menu's items are off meanwhile, so
// that the keys reach the control instead of their own item again.
void SendKeys(const std::vector<QAction*>& Items, QWidget* Target, int Key, bool Ctrl)
{
    if (!Target)
        return;
    std::vector<std::pair<QPointer<QAction>, bool>> Was;
    for (QAction* A : Items)
        if (A) {
            Was.emplace_back(A, A->isEnabled());
            A->setEnabled(false);
        }
    struct TRestore {
        std::vector<std::pair<QPointer<QAction>, bool>>& Was;
        ~TRestore()
        {
            for (auto& [A, On] : Was)
                if (A)
                    A->setEnabled(On);
        }
    } Restore{Was};
    const Qt::KeyboardModifiers Mods = Ctrl ? Qt::ControlModifier : Qt::NoModifier;
    QString Text;
    if (Ctrl && Key >= Qt::Key_A && Key <= Qt::Key_Z)
        Text = QChar(Key - Qt::Key_A + 1);
    else if (Key == Qt::Key_Delete)
        Text = QChar(0x7F);
    QPointer<QWidget> Guard(Target);
    auto Send = [&](QEvent::Type Type, int K, Qt::KeyboardModifiers M, const QString& T) {
        if (!Guard)
            return;
        QKeyEvent E(Type, K, M, T);
        QApplication::sendEvent(Guard.data(), &E);
    };
    if (Ctrl)
        Send(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, QString());
    Send(QEvent::KeyPress, Key, Mods, Text);
    Send(QEvent::KeyRelease, Key, Mods, Text);
    if (Ctrl)
        Send(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier, QString());
}

std::vector<QAction*> EditItems(const TfrmObjProperty& F);

// Inside a page the edit menu's keys are the menu's. The frame's commands of
// the same keys reach the page windows too (a tool window counts as its
// owner's window), and two commands on one key leave it doing nothing; text
// controls would take some of the keys for themselves. So the key is claimed
// before the shortcut map sees it, and its item runs; while an item sends the
// keystrokes itself (the items are off then) they go to the control.
class TPageEditKeys : public QObject {
public:
    TPageEditKeys(TfrmObjProperty& Form) : QObject(&Form), FForm(Form) {}

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (Event->type() != QEvent::ShortcutOverride && Event->type() != QEvent::KeyPress)
            return false;
        auto* Widget = qobject_cast<QWidget*>(Watched);
        if (!Widget)
            return false;
        auto* Key = static_cast<QKeyEvent*>(Event);
        const QKeySequence Typed(QKeyCombination(Key->modifiers() & ~Qt::KeypadModifier, Qt::Key(Key->key())));
        if (HistoryKey(*Key, Typed) && InPageWindow(Widget)) {
            // The document's undo and redo, from any control of a page
            // window: a text control's own undo would change its text
            // behind the history's back, and its commit record that.
            Event->accept();
            if (Event->type() == QEvent::KeyPress)
                for (QAction* Command : {FForm.UndoCommand(), FForm.RedoCommand()})
                    if (Command && Command->shortcut() == Typed) {
                        RunHistoryCommand(Command);
                        break;
                    }
            return true;
        }
        if (!InPage(Widget))
            return false;
        for (QAction* Item : EditItems(FForm)) {
            if (!Item || Item->shortcut() != Typed)
                continue;
            if (Event->type() == QEvent::ShortcutOverride) {
                Event->accept();
                return true;
            }
            if (!Item->isEnabled())
                return false;
            Item->trigger();
            return true;
        }
        return false;
    }

private:
    bool InPage(QWidget* Widget) const
    {
        for (QWidget* Page : FForm.FTabSheets)
            if (Page && (Page == Widget || Page->isAncestorOf(Widget)))
                return true;
        return false;
    }
    // A control of a window that shows pages of the panel (its tabs too).
    bool InPageWindow(QWidget* Widget) const
    {
        for (QWidget* Page : FForm.FTabSheets)
            if (Page && Page->window() == Widget->window())
                return true;
        return false;
    }
    // The control with the keys lets go of them for the step, so that a
    // value it was given and not yet entered is settled first (and is what
    // an undo takes back), and gets them back afterwards.
    static void RunHistoryCommand(QAction* Command)
    {
        QPointer<QWidget> Focus = QApplication::focusWidget();
        if (Focus)
            Focus->clearFocus();
        if (Command->isEnabled())
            Command->trigger();
        if (Focus && !QApplication::focusWidget())
            Focus->setFocus();
    }
    // The owner's undo and redo keys, and those a text control takes for
    // its own undo and redo.
    bool HistoryKey(const QKeyEvent& Key, const QKeySequence& Typed) const
    {
        for (QAction* Command : {FForm.UndoCommand(), FForm.RedoCommand()})
            if (Command && !Command->shortcut().isEmpty() && Command->shortcut() == Typed)
                return true;
        return Key.matches(QKeySequence::Undo) || Key.matches(QKeySequence::Redo);
    }
    TfrmObjProperty& FForm;
};

std::vector<QAction*> EditItems(const TfrmObjProperty& F)
{
    return {F.mitemCtrlX, F.mitemCtrlC, F.mitemCtrlV, F.mitemCtrlA, F.mitemDel, F.mitemCtrlL};
}

bool InRichEdit(QWidget* Focus, QTextEdit* RichEdit)
{
    return Focus && RichEdit && (Focus == RichEdit || RichEdit->isAncestorOf(Focus));
}

} // namespace

void TfrmObjProperty::BuildEditMenu()
{
    PopupMenuPageControl = new QMenu(this);
    PopupMenuPageControl->setObjectName("PopupMenuPageControl");
    auto Item = [this](const char* Name, const char* Caption, const QKeySequence& Keys, bool InMenu,
                       void (TfrmObjProperty::*Click)()) {
        auto* A = new QAction(QString::fromUtf8(Caption), this);
        A->setObjectName(Name);
        A->setShortcut(Keys);
        // Whichever window shows a page, the keys work while its focus is
        // inside that page.
        A->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(A, &QAction::triggered, this, [this, Click] { (this->*Click)(); });
        for (QWidget* Page : FTabSheets)
            Page->addAction(A);
        // The hidden items are kept out of the menu, not made invisible: an
        // invisible action's shortcut does nothing.
        if (InMenu)
            PopupMenuPageControl->addAction(A);
        return A;
    };
    mitemCtrlX = Item("mitemCtrlX", "切り取り(&T)", QKeySequence(Qt::CTRL | Qt::Key_X), true,
                      &TfrmObjProperty::mitemCtrlXClick);
    mitemCtrlC = Item("mitemCtrlC", "ｺﾋﾟｰ(&C)", QKeySequence(Qt::CTRL | Qt::Key_C), true,
                      &TfrmObjProperty::mitemCtrlCClick);
    mitemCtrlV = Item("mitemCtrlV", "貼り付け(&P)", QKeySequence(Qt::CTRL | Qt::Key_V), true,
                      &TfrmObjProperty::mitemCtrlVClick);
    mitemCtrlA = Item("mitemCtrlA", "全て選択(&A)", QKeySequence(Qt::CTRL | Qt::Key_A), false,
                      &TfrmObjProperty::mitemCtrlAClick);
    mitemDel = Item("mitemDel", "削除(&D)", QKeySequence(Qt::Key_Delete), false, &TfrmObjProperty::mitemDelClick);
    mitemCtrlL = Item("mitemCtrlL", "再描画(&L)", QKeySequence(Qt::CTRL | Qt::Key_L), false,
                      &TfrmObjProperty::mitemCtrlLClick);
    if (PageControlWex)
        PageControlWex->SetPopupMenu(PopupMenuPageControl);
    qApp->installEventFilter(new TPageEditKeys(*this));
}

void TfrmObjProperty::SetHistoryCommands(QAction* Undo, QAction* Redo)
{
    FUndoCommand = Undo;
    FRedoCommand = Redo;
}

void TfrmObjProperty::mitemCtrlXClick()
{
    QWidget* Focus = QApplication::focusWidget();
    if (!InRichEdit(Focus, RichEdit)) {
        SendKeys(EditItems(*this), Focus, Qt::Key_X, true);
        return;
    }
    if (!FRichEditTav || !FRichEditTav->TextObj())
        return;
    int32_t Start = 0, Length = 0;
    FRichEditTav->GetSelection(Start, Length);
    if (Length <= 0)
        return;
    FRichEditTav->CopyToClipboard();
    FRichEditTav->RunCommand("１文字削除", [this] { FRichEditTav->DeleteSelection(); });
}

void TfrmObjProperty::mitemCtrlCClick()
{
    QWidget* Focus = QApplication::focusWidget();
    if (!InRichEdit(Focus, RichEdit)) {
        SendKeys(EditItems(*this), Focus, Qt::Key_C, true);
        return;
    }
    if (FRichEditTav)
        FRichEditTav->CopyToClipboard();
}

void TfrmObjProperty::mitemCtrlVClick()
{
    QWidget* Focus = QApplication::focusWidget();
    if (!InRichEdit(Focus, RichEdit)) {
        SendKeys(EditItems(*this), Focus, Qt::Key_V, true);
        return;
    }
    PasteRichText();
}

void TfrmObjProperty::PasteRichText()
{
    if (!FRichEditTav || !FRichEditTav->TextObj())
        return;
    const QMimeData* Mime = QGuiApplication::clipboard()->mimeData();
    if (Mime && Mime->hasText()) {
        // Each character is a command's worth of glyph work: a long text
        // can take a while.
        const qsizetype Count = Mime->text().size();
        // Past what a text object may take, the paste is refused instead of
        // asked about (and nothing of it is read).
        if (Count > MaxTextObjectBytes) {
            MessageBox(DialogOwner(), PasteTooLongMessage(), "警告", MB_OK | MB_ICONWARNING);
            return;
        }
        if (Count > 20 &&
            MessageBox(DialogOwner(),
                       std::to_string(Count) + "文字のテキストを貼り付けようとしています。\r\n" +
                           "処理に非常に時間がかかる場合があります。実行しますか？",
                       "確認", MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
    }
    FRichEditTav->RunCommand("貼り付け", [this] { FRichEditTav->PasteFromClipboard(); });
}

void TfrmObjProperty::mitemCtrlAClick()
{
    SendKeys(EditItems(*this), QApplication::focusWidget(), Qt::Key_A, true);
}

void TfrmObjProperty::mitemDelClick()
{
    SendKeys(EditItems(*this), QApplication::focusWidget(), Qt::Key_Delete, false);
}

void TfrmObjProperty::mitemCtrlLClick()
{
    if (MacroPage)
        MacroPage->SetHostedEditText(QApplication::focusWidget());
}
