// The macro page's value clipboard: single values of the value cells, single
// paint macros and whole paint styles through the program's clipboard
// formats, the paste buttons kept in step with the clipboard, and the keys
// that move between the macros of the grid.
#include "editors/macro_paint_page.h"

#include "editors/macro_page_link.h"
#include "foundation/lists.h"
#include "foundation/pen_text.h"
#include "foundation/streams.h"
#include "foundation/user_error.h"
#include "model/document.h"
#include "model/draw_item.h"
#include "model/draw_object.h"
#include "model/page.h"
#include "paint/macro_library.h"
#include "paint/macro_list.h"
#include "paint/macro_param_range.h"
#include "paint/paint_macro.h"
#include "platform/message_box.h"
#include "platform/qt/clipboard.h"
#include "store/history.h"
#include "store/history_bracket.h"
#include "store/picture_store.h"
#include "ui/ctrl_grid_tav.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/ole2_color.h"
#include "ui/ole2_gradation.h"
#include "ui/ole2_light.h"
#include "ui/ole2_mac_paint.h"
#include "ui/ole2_pen.h"
#include "ui/ole_qt_bridge.h"
#include "ui/panel_button.h"
#include "ui/rv_clip_detector.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QToolButton>

#include <algorithm>
#include <cstdio>

namespace {

enum class TValueKind { None, Color, Fill, Pen, Light };

TValueKind KindOfControl(const QWidget* Control)
{
    if (qobject_cast<const TPanelColorButton*>(Control))
        return TValueKind::Color;
    if (qobject_cast<const TPanelPaintFillButton*>(Control))
        return TValueKind::Fill;
    if (qobject_cast<const TPanelPenButton*>(Control))
        return TValueKind::Pen;
    // The light cell is the one plain panel button of the grid.
    if (qobject_cast<const TPanelButton*>(Control))
        return TValueKind::Light;
    return TValueKind::None;
}

bool GuiRunning()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

TComPtr<IDataObject> Clipboard()
{
    TComPtr<IDataObject> Data;
    if (GuiRunning())
        OleGetClipboard(Data);
    return Data;
}

constexpr const char* kRefusedValue = "クリップボードの値は読み込めないか、範囲外のため、貼り付けできません。";
constexpr const char* kRefusedMacro =
    "クリップボードの描画マクロは読み込めないか、値が範囲外のため、貼り付けできません。";
constexpr const char* kRefusedStyle =
    "クリップボードの描画スタイルは読み込めないか、値が範囲外のため、貼り付けできません。";

bool AllInLibrary(const TMacros& Macros)
{
    for (int32_t I = 0; I < Macros.Count(); ++I)
        if (!gMacroLibrary || gMacroLibrary->IndexOf(Macros.GetMacro(I)->Name()) < 0)
            return false;
    return true;
}

} // namespace

void TMacroPaintPage::BuildClip()
{
    pMenuBtn = new QMenu(this);
    pMenuBtn->setObjectName("pMenuBtn");
    mitemBtnCopy = pMenuBtn->addAction(QString::fromUtf8("コピー(&C)"));
    mitemBtnCopy->setObjectName("mitemBtnCopy");
    mitemBtnPaste = pMenuBtn->addAction(QString::fromUtf8("貼り付け(&P)"));
    mitemBtnPaste->setObjectName("mitemBtnPaste");
    connect(mitemBtnCopy, &QAction::triggered, this, [this] { ValueCopy(FPopupCol, FPopupRow); });
    connect(mitemBtnPaste, &QAction::triggered, this, [this] { ValuePaste(FPopupCol, FPopupRow); });

    sbtnMacroCopy->setToolTip(QString::fromUtf8("選択したマクロをクリップボードにコピー"));
    sbtnMacroPaste->setToolTip(QString::fromUtf8("クリップボードのマクロを貼付け"));
    sbtnStyleCopy->setToolTip(QString::fromUtf8("今のスタイルをクリップボードにコピー"));
    sbtnStylePaste->setToolTip(QString::fromUtf8("スタイルをクリップボードから貼付け"));
    connect(sbtnMacroCopy, &QToolButton::clicked, this, [this] { MacroCopyClick(); });
    connect(sbtnMacroPaste, &QToolButton::clicked, this, [this] { MacroPasteClick(); });
    connect(sbtnStyleCopy, &QToolButton::clicked, this, [this] { sbtnStyleCopyClick(); });
    connect(sbtnStylePaste, &QToolButton::clicked, this, [this] { sbtnStylePasteClick(); });
    // The menu's copy and paste items look like their buttons.
    FMenuCopy->setIcon(sbtnMacroCopy->icon());
    FMenuPaste->setIcon(sbtnMacroPaste->icon());

    // Only the value cells of rows a macro uses take the selection; moving
    // it repaints the caption beside it too.
    cgridMacroPaint->OnSelectCell = [this](QObject*, int Col, int Row, bool& CanSelect) {
        const int Item = Col / 2;
        CanSelect = FRebuilding > 0 ||
                    (Col % 2 == 1 && Row >= 1 && Item < int(cgridMacroPaint->ItemRows.size()) &&
                     Row <= cgridMacroPaint->ItemRows[size_t(Item)]);
        if (CanSelect)
            cgridMacroPaint->viewport()->update();
    };
    // A macro's caption and value columns scroll together: a step that
    // ends on a value column goes on one more in the same direction.
    cgridMacroPaint->OnTopLeftChanged = [this](QObject*) {
        const int Left = cgridMacroPaint->LeftCol();
        const int Last = FLastLeftCol;
        FLastLeftCol = Left;
        if (Left % 2 == 0 || std::abs(Left - Last) != 1)
            return;
        const int Next = Left > Last ? Left + 1 : Left - 1;
        if (Next >= 0 && Next < cgridMacroPaint->ColCount())
            cgridMacroPaint->SetLeftCol(Next);
    };

    RvClipDetector = new TRvClipDetector(this);
    if (GuiRunning())
        RvClipDetector->SetOnClipChange([this](QObject*) {
            UpdateClipButtons();
            FMenuPaste->setEnabled(sbtnMacroPaste->isEnabled());
        });
}

void TMacroPaintPage::UpdateClipButtons()
{
    const bool Loaded = FLink.DrawItem() != nullptr && BufMacros() != nullptr;
    const bool Gui = GuiRunning();
    sbtnMacroPaste->setEnabled(Loaded && Gui && ClipboardHasPaintMacro());
    sbtnStylePaste->setEnabled(Loaded && Gui && ClipboardHasPaintStyle());
}

// ---------------------------------------------------------------- single values

bool TMacroPaintPage::CanCopyValue(int Col, int Row) const
{
    const TValueKind Kind = KindOfControl(cgridMacroPaint->GetCellControl(Col, Row));
    const std::string Value = CellValue(Col, Row);
    if (Kind == TValueKind::None || Value.empty())
        return false;
    return Kind != TValueKind::Fill || Value[0] == '1' || Value[0] == '2';
}

bool TMacroPaintPage::CanPasteValue(int Col, int Row) const
{
    if (!GuiRunning())
        return false;
    switch (KindOfControl(cgridMacroPaint->GetCellControl(Col, Row))) {
    case TValueKind::Color:
        return ClipboardHasColor();
    case TValueKind::Fill:
        return ClipboardHasColor() || ClipboardHasGradation();
    case TValueKind::Pen:
        return IsClipboardFormatAvailable(CFTavroPen());
    case TValueKind::Light:
        return ClipboardHasLight();
    default:
        return false;
    }
}

void TMacroPaintPage::ValueCopy(int Col, int Row)
{
    const TValueKind Kind = KindOfControl(cgridMacroPaint->GetCellControl(Col, Row));
    const std::string Value = CellValue(Col, Row);
    TComPtr<IDataObject> Data;
    switch (Kind) {
    case TValueKind::Color: {
        int32_t Color = 0;
        try {
            Color = int32_t(std::stol(Value));
        } catch (const std::logic_error&) {
        }
        Data = MakeCom<TOle2DataObjColorWex>(Color);
        break;
    }
    case TValueKind::Fill:
        if (Value.size() > 1 && Value[0] == '1') {
            int32_t Color = 0;
            try {
                Color = int32_t(std::stoul(Value.substr(1), nullptr, 16));
            } catch (const std::logic_error&) {
            }
            Data = MakeCom<TOle2DataObjColorWex>(Color);
        } else if (Value.size() > 2 && Value[0] == '2') {
            Data = MakeCom<TDataObjectGradation>(std::string(GradationClipboardHeader) + Value.substr(2));
        }
        // Another fill has no clipboard form: the clipboard is emptied.
        break;
    case TValueKind::Pen: {
        TrecPenData Pen{};
        StrToPenData(Value, Pen);
        Data = MakeCom<TOle2DataObjPenWex>(Pen);
        break;
    }
    case TValueKind::Light:
        Data = MakeCom<TLightDataObject>(std::string(LightClipboardHeader) + Value);
        break;
    default:
        return;
    }
    OleSetClipboard(Data.Get());
}

void TMacroPaintPage::ValuePaste(int Col, int Row)
{
    const TValueKind Kind = KindOfControl(cgridMacroPaint->GetCellControl(Col, Row));
    if (Kind == TValueKind::None)
        return;
    const TComPtr<IDataObject> Data = Clipboard();
    if (!Data)
        return;
    // The menu offered a colour or a pen by its format, and it does not read.
    const auto Refuse = [this] { MessageBox(this, kRefusedValue, "警告", MB_OK | MB_ICONWARNING); };
    std::string Value;
    switch (Kind) {
    case TValueKind::Color: {
        const int32_t Color = TOle2DataObjColorWex::GetColor(Data.Get());
        if (Color < 0) {
            if (ClipboardHasColor())
                Refuse();
            return;
        }
        Value = std::to_string(Color);
        break;
    }
    case TValueKind::Fill: {
        const int32_t Color = TOle2DataObjColorWex::GetColor(Data.Get());
        if (Color >= 0) {
            char Buf[16];
            std::snprintf(Buf, sizeof Buf, "%06X", unsigned(Color) & 0xFFFFFFu);
            Value = std::string("1") + Buf;
            break;
        }
        std::string Text;
        const TClipboardText Got = ReadClipboardGradation(Text);
        if (Got == TClipboardText::TooLarge)
            MessageBox(this, ClipboardTooLargeMessage(MaxGradationTextBytes), "警告", MB_OK | MB_ICONWARNING);
        else if (Got == TClipboardText::Missing && ClipboardHasColor())
            Refuse();
        if (Got != TClipboardText::Read)
            return;
        // A gradation keeps the kind of the gradation the cell holds.
        const std::string Old = CellValue(Col, Row);
        Value = (Old.size() >= 2 && Old[0] == '2' ? Old.substr(0, 2) : std::string("20")) + Text;
        break;
    }
    case TValueKind::Pen: {
        TrecPenData Pen{};
        if (!TOle2DataObjPenWex::GetPen(Data.Get(), Pen)) {
            if (IsClipboardFormatAvailable(CFTavroPen()))
                Refuse();
            return;
        }
        PenDataToStr(Pen, Value);
        break;
    }
    case TValueKind::Light: {
        const TClipboardText Got = ReadClipboardLight(Value);
        if (Got == TClipboardText::TooLarge)
            MessageBox(this, ClipboardTooLargeMessage(MaxLightTextBytes), "警告", MB_OK | MB_ICONWARNING);
        if (Got != TClipboardText::Read)
            return;
        break;
    }
    default:
        return;
    }
    // Read whole and within the parameter's range, as the editors and the
    // macro paste take values, or not at all.
    TMacros* Macros = BufMacros();
    if (Macros && Col / 2 < Macros->Count() &&
        !MacroCaptionValueAccepted(*Macros->GetMacro(Col / 2), RowCaption(Col / 2, Row), Value)) {
        const char* Refused = Kind == TValueKind::Fill    ? GradationPasteRefused
                              : Kind == TValueKind::Light ? LightPasteRefused
                                                          : kRefusedValue;
        MessageBox(this, Refused, "警告", MB_OK | MB_ICONWARNING);
        return;
    }
    SetQuickParam(Col, Row, Value);
    RepaintCellControl(Col, Row);
}

void TMacroPaintPage::PopupValueMenu(int Col, int Row, const QPoint& Global)
{
    FPopupCol = Col;
    FPopupRow = Row;
    mitemBtnCopy->setEnabled(CanCopyValue(Col, Row));
    mitemBtnPaste->setEnabled(CanPasteValue(Col, Row));
    pMenuBtn->popup(Global);
}

// ---------------------------------------------------------------- macros and styles

void TMacroPaintPage::MacroCopyClick()
{
    TMacros* Buf = BufMacros();
    const int Item = SelectedMacro();
    if (!Buf || Item < 0 || Item >= Buf->Count())
        return;
    OleSetClipboard(MakeCom<TDataObjectMacPaint>(*Buf->GetMacro(Item)).Get());
}

void TMacroPaintPage::MacroPasteClick()
{
    if (!FLink.DrawItem() || !BufMacros())
        return;
    const TComPtr<IDataObject> Data = Clipboard();
    TMacro Macro;
    if (!Data)
        return;
    if (!TDataObjectMacPaint::GetMacro(Data.Get(), Macro)) {
        if (TDataObjectMacPaint::HasMacro(Data.Get()))
            MessageBox(this, kRefusedMacro, "警告", MB_OK | MB_ICONWARNING);
        return;
    }
    // A macro the library does not know could not be shown in the grid.
    const int32_t Def = gMacroLibrary ? gMacroLibrary->IndexOf(Macro.Name()) : -1;
    if (Def < 0)
        return;
    RunJoined(History(), "描画マクロの貼り付け", [&] { InsertMacro(Macro, gMacroLibrary->Strings(Def)); });
}

std::unique_ptr<TMacros> TMacroPaintPage::MacrosDuplicateForClipBoard(const TMacros& Macros)
{
    auto Copy = std::make_unique<TMacros>();
    for (int32_t I = 0; I < Macros.Count(); ++I) {
        const TMacro& Own = *Macros.GetMacro(I);
        TMacro Macro;
        if (!Macro.LoadFromLibrary(Own.Name()))
            throw EUserError("TfrmObjProperty.MacrosDuplicateForClipBoard: Macro Name '" + Own.Name() +
                             "' Not Found.");
        TStringList Captions, Values;
        Own.GetParams(Captions, Values);
        for (int32_t C = 0; C < Captions.Count(); ++C)
            Macro.SetParamValue(Captions.Strings(C), Values.Strings(C));
        Macro.SetEnabled(Own.Enabled());
        Copy->Insert(Copy->Count(), Macro);
    }
    return Copy;
}

void TMacroPaintPage::sbtnStyleCopyClick()
{
    TMacros* Buf = BufMacros();
    if (!FLink.DrawItem() || !Buf)
        return;
    const std::unique_ptr<TMacros> Macros = MacrosDuplicateForClipBoard(*Buf);
    // The pictures the macros use, under their handles.
    TMemoryStream Pictures;
    TListRecPict* Store = nullptr;
    if (FLink.Page() && FLink.Page()->GetDocument())
        Store = FLink.Page()->GetDocument()->GetPictureStore();
    TListPtrWex Handles;
    if (Store) {
        TRect Bounds{0, 0, 0, 0};
        if (TDrawObject* O = FirstObject())
            Bounds = O->GetBounds();
        Macros->CollectPictures(Handles, *Store, Bounds);
        Store->WriteToStream(Pictures, &Handles);
    } else {
        const int32_t None = 0;
        Pictures.WriteBuffer(&None, sizeof None);
    }
    Pictures.SetPosition(0);
    OleSetClipboard(MakeCom<TDataObjectPaintStyle>(*Macros, Pictures).Get());
}

void TMacroPaintPage::sbtnStylePasteClick()
{
    TMacros* Buf = BufMacros();
    if (!FLink.DrawItem() || !Buf)
        return;
    const TComPtr<IDataObject> Data = Clipboard();
    TMacros Macros;
    TMemoryStream Pictures;
    if (!Data)
        return;
    bool TooLarge = false;
    if (!TDataObjectPaintStyle::GetPaintStyle(Data.Get(), Macros, &Pictures, &TooLarge)) {
        if (TooLarge)
            MessageBox(this, "クリップボードの描画スタイルはマクロが多すぎるため、貼り付けできません。\r\n(" +
                                 std::to_string(MaxPaintStyleMacros) + "個まで)",
                       "警告", MB_OK | MB_ICONWARNING);
        else if (TDataObjectPaintStyle::HasPaintStyle(Data.Get()))
            MessageBox(this, kRefusedStyle, "警告", MB_OK | MB_ICONWARNING);
        return;
    }
    if (!AllInLibrary(Macros))
        return;
    Command("描画スタイルの貼り付け", [&] {
        TListRecPict* Store = nullptr;
        if (FLink.Page() && FLink.Page()->GetDocument())
            Store = FLink.Page()->GetDocument()->GetPictureStore();
        if (Store && Pictures.Size() > 1) {
            char Kind = '0';
            Pictures.SetPosition(0);
            Pictures.ReadBuffer(&Kind, 1);
            TList2Item Map;
            if (Kind == '1')
                Store->ReadFromStreamAsText(Pictures, Map, DrawItemStreamVersion);
            else
                Store->ReadFromStreamBinary(Pictures, Map, DrawItemStreamVersion);
            Store->CommitNew();
            Macros.RemapPictures(Map);
        }
        TMemoryStream Stream;
        Macros.WriteToStream(Stream);
        Stream.SetPosition(0);
        TDrawItem::SetFMacros(*FLink.DrawItem(), Stream);
        Buf->Assign(&Macros);
    });
    SetCgridQuickParam();
}

// ---------------------------------------------------------------- mouse and keys

void TMacroPaintPage::WatchCellControl(QWidget* Control)
{
    Control->installEventFilter(this);
}

bool TMacroPaintPage::FindCellOf(QObject* Watched, int& Col, int& Row) const
{
    for (int I = 0; I < cgridMacroPaint->Ctrls().GetCount(); ++I) {
        TrecCtrlGridQCtrl Rec;
        cgridMacroPaint->Ctrls().GetItem(I, Rec);
        if (Rec.Control && Rec.Control == Watched) {
            Col = Rec.Col;
            Row = Rec.Row;
            return true;
        }
    }
    return false;
}

bool TMacroPaintPage::CellControlEvent(QObject* Watched, QEvent* Event)
{
    const QEvent::Type Type = Event->type();
    if (Type != QEvent::MouseButtonPress && Type != QEvent::MouseButtonRelease && Type != QEvent::KeyPress &&
        Type != QEvent::ContextMenu)
        return false;
    int Col = -1, Row = -1;
    if (!FindCellOf(Watched, Col, Row))
        return false;
    auto* Control = static_cast<QWidget*>(Watched);
    if (Type == QEvent::ContextMenu) {
        // X11 asks for the menu on the press, other systems after the
        // release: either way a value button offers its own menu, never the
        // grid's, and only once per click.
        if (KindOfControl(Control) == TValueKind::None)
            return false;
        FValueMenuPending = false;
        if (!pMenuBtn->isVisible())
            PopupValueMenu(Col, Row, static_cast<QContextMenuEvent*>(Event)->globalPos());
        return true;
    }
    if (Type != QEvent::KeyPress) {
        auto* Mouse = static_cast<QMouseEvent*>(Event);
        if (Mouse->button() != Qt::RightButton || KindOfControl(Control) == TValueKind::None)
            return false;
        // The press only arms the menu (and keeps the button from opening
        // its dialog); a release with no menu asked for since opens it.
        if (Type == QEvent::MouseButtonPress)
            FValueMenuPending = true;
        else if (FValueMenuPending) {
            FValueMenuPending = false;
            PopupValueMenu(Col, Row, Mouse->globalPosition().toPoint());
        }
        return true;
    }
    auto* Key = static_cast<QKeyEvent*>(Event);
    if (Key->key() != Qt::Key_Left && Key->key() != Qt::Key_Right)
        return false;
    const bool Left = Key->key() == Qt::Key_Left;
    const Qt::KeyboardModifiers Mods = Key->modifiers() & ~Qt::KeypadModifier;
    if (auto* Edit = qobject_cast<QLineEdit*>(Control)) {
        // In an edit the arrows move the caret, unless Ctrl is held or the
        // caret stands at the end it moves towards with nothing selected.
        const bool AtEnd = !Edit->hasSelectedText() &&
                           (Left ? Edit->cursorPosition() == 0 : Edit->cursorPosition() == Edit->text().size());
        if (Mods != Qt::ControlModifier && !(Mods == Qt::NoModifier && AtEnd))
            return false;
    } else if (Mods != Qt::NoModifier) {
        return false;
    }
    MoveFrom(Col, Row, Left ? -1 : 1);
    return true;
}

void TMacroPaintPage::MoveToMacro(int Step)
{
    MoveFrom(cgridMacroPaint->Col(), cgridMacroPaint->Row(), Step);
}

void TMacroPaintPage::MoveFrom(int Col, int Row, int Step)
{
    const int Count = cgridMacroPaint->ColCount() / 2;
    if (Count == 0)
        return;
    const int Item = ((Col / 2 + Step) % Count + Count) % Count;
    const int Rows = Item < int(cgridMacroPaint->ItemRows.size()) ? cgridMacroPaint->ItemRows[size_t(Item)] : 0;
    const int To = 2 * Item + 1;
    cgridMacroPaint->MoveToCell(To, Rows > 0 ? std::clamp(Row, 1, Rows) : cgridMacroPaint->Row());
    if (QWidget* Control = cgridMacroPaint->GetCellControl(To, cgridMacroPaint->Row())) {
        Control->setFocus(Qt::OtherFocusReason);
        if (auto* Edit = qobject_cast<QLineEdit*>(Control))
            Edit->selectAll();
    } else {
        cgridMacroPaint->setFocus(Qt::OtherFocusReason);
    }
    cgridMacroPaint->viewport()->update();
}

bool TMacroPaintPage::SetHostedEditText(QWidget* Control)
{
    int Col = -1, Row = -1;
    auto* Edit = qobject_cast<QLineEdit*>(Control);
    if (!Edit || !FindCellOf(Control, Col, Row))
        return false;
    // A number edit commits as Enter does (a number begun is no value).
    if (auto* Number = qobject_cast<TEditTrackBarWex*>(Edit)) {
        Number->CommitTyped();
        return true;
    }
    SetQuickParam(Col, Row, Edit->text().toStdString());
    return true;
}

void TMacroPaintPage::ContextMenuAt(const QPoint& Pos)
{
    int Col = -1, Row = -1;
    cgridMacroPaint->MouseToCell(Pos.x(), Pos.y(), Col, Row);
    // A right click on a header selects its macro first.
    if (Row == 0 && Col >= 0) {
        cgridMacroPaint->SetItemIndex(Col / 2);
        UpdateMacroButtons();
        cgridMacroPaint->viewport()->update();
    }
    // The grid reports the request in its viewport's coordinates.
    pMenuMacro->popup(cgridMacroPaint->viewport()->mapToGlobal(Pos));
}
