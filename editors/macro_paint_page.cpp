// The macro page of the property panel: grid, quick parameters, macro
// commands and paint styles.
#include "editors/macro_paint_page.h"

#include "paint/macro_param_range.h"

#include "editors/color_dialog_wex.h"
#include "editors/frm_gradation.h"
#include "editors/frm_light.h"
#include "editors/frm_obj_property_proxy.h"
#include "editors/frm_sel_macro.h"
#include "editors/macro_page_link.h"
#include "editors/pen_dialog_wex.h"
#include "editors/style_dialog.h"
#include "editors/style_items.h"
#include "foundation/lists.h"
#include "foundation/numbers.h"
#include "foundation/pen_text.h"
#include "foundation/rec_path.h"
#include "foundation/streams.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "model/draw_group.h"
#include "model/draw_item.h"
#include "model/document.h"
#include "model/draw_object.h"
#include "model/page.h"
#include "paint/macro_library.h"
#include "paint/macro_list.h"
#include "paint/paint_function_table.h"
#include "paint/paint_macro.h"
#include "platform/message_box.h"
#include "raster/merge.h"
#include "raster/rec_picture.h"
#include "store/history.h"
#include "store/history_bracket.h"
#include "store/picture_store.h"
#include "ui/ctrl_grid_tav.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/ole2_color.h"
#include "ui/ole2_gradation.h"
#include "ui/ole2_pen.h"
#include "ui/panel_button.h"
#include "ui/toolbar_button97.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QAbstractItemView>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

const char* const kSetParamCaption = "プロパティの設定";
constexpr int kValueColWidth = 96;

QImage ImageOf(const TrecPicture& P)
{
    const auto* Header = RecPictureHeader(P);
    const int W = Header->biWidth, H = std::abs(Header->biHeight);
    const int64_t Line = (int64_t(W) * 3 + 3) & ~int64_t(3);
    QImage Image(W, H, QImage::Format_RGB32);
    for (int Y = 0; Y < H; ++Y) {
        const uint8_t* Src = P.pBits + (H - 1 - Y) * Line;
        auto* Dst = reinterpret_cast<QRgb*>(Image.scanLine(Y));
        for (int X = 0; X < W; ++X, Src += 3)
            Dst[X] = qRgb(Src[2], Src[1], Src[0]);
    }
    return Image;
}

// The part of a parameter caption shown to the user (before any "|").
std::string DisplayCaption(const std::string& Caption)
{
    const size_t Bar = Caption.find('|');
    return Bar == std::string::npos ? Caption : Caption.substr(0, Bar);
}

bool ReadNumber(const std::string& Text, double& Value)
{
    try {
        size_t Used = 0;
        const double V = std::stod(Text, &Used);
        if (Used == 0)
            return false;
        Value = V;
        return true;
    } catch (...) {
        return false;
    }
}

std::string Hex6RedFirst(uint32_t Bgr)
{
    char Buf[8];
    std::snprintf(Buf, sizeof Buf, "%02X%02X%02X", Bgr & 0xFF, (Bgr >> 8) & 0xFF, (Bgr >> 16) & 0xFF);
    return Buf;
}

// Every draw object of the tree under Item, in list order; for the panel's
// stand-in of a multi-selection, those of every item it stands for (what a
// live change reaches, and so what its revert must put back).
void CollectObjects(TDrawItem* Item, std::vector<TDrawObject*>& Out)
{
    if (!Item)
        return;
    if (auto* Selection = dynamic_cast<TSelectionItems*>(Item)) {
        for (TDrawItem* I : Selection->Items())
            CollectObjects(I, Out);
        return;
    }
    if (auto* Group = dynamic_cast<TDrawGroup*>(Item)) {
        for (int32_t I = 0; I < Group->GetCount(); ++I)
            CollectObjects(Group->GetItem(I), Out);
        return;
    }
    if (auto* Object = dynamic_cast<TDrawObject*>(Item))
        Out.push_back(Object);
}

std::unique_ptr<TMacros> CopyMacros(const TMacros& Source)
{
    auto Copy = std::make_unique<TMacros>();
    Copy->Assign(&Source);
    return Copy;
}

// The object's outline as the fill editor previews it.
QPainterPath PathOf(const TrecPath& Path)
{
    QPainterPath Out;
    for (int32_t I = 0; I < Path.Count; ++I) {
        const QPointF Pt(Path.Points[size_t(I)].X, Path.Points[size_t(I)].Y);
        const uint8_t Type = Path.pabType[size_t(I)];
        switch (Type & ~PT_CLOSEFIGURE) {
        case PT_MOVETO:
            Out.moveTo(Pt);
            break;
        case PT_BEZIERTO:
            if (I + 2 < Path.Count) {
                Out.cubicTo(Pt, QPointF(Path.Points[size_t(I + 1)].X, Path.Points[size_t(I + 1)].Y),
                            QPointF(Path.Points[size_t(I + 2)].X, Path.Points[size_t(I + 2)].Y));
                I += 2;
                if (Path.pabType[size_t(I)] & PT_CLOSEFIGURE)
                    Out.closeSubpath();
                continue;
            }
            Out.lineTo(Pt);
            break;
        default:
            Out.lineTo(Pt);
        }
        if (Type & PT_CLOSEFIGURE)
            Out.closeSubpath();
    }
    return Out;
}

// Kinds whose parameters are bound to intermediate results and have no editor.
bool HasNoEditor(int32_t Kind)
{
    return Kind == pkUnused || Kind == pkPath || Kind == pkPlane || Kind == pkPicture;
}

// A choice cell. Qt's combo box makes its drop-down list (a list view and
// its container) as soon as its font changes, and every selection gives
// the grid new cells in the row height's font: the list gets that font when
// it drops down instead, and only a combo with no items yet (so no size hint
// worked out from the old font) skips the combo's own font handling.
class TCellComboBox : public QComboBox {
public:
    using QComboBox::QComboBox;
    void showPopup() override
    {
        QWidget* List = view()->parentWidget();
        if (List && List->font() != font())
            List->setFont(font());
        QComboBox::showPopup();
    }

protected:
    void changeEvent(QEvent* Event) override
    {
        if (Event->type() == QEvent::FontChange && count() == 0) {
            QWidget::changeEvent(Event);
            updateGeometry();
            return;
        }
        QComboBox::changeEvent(Event);
    }
};

} // namespace

// ---------------------------------------------------------------- texts

void ParseQuickRangeText(const std::string& Text, bool Integer, TQuickRange& Range)
{
    const std::vector<std::string> F = SplitCommaFields(Text);
    double* Numbers[7] = {&Range.Min,      &Range.Max,      &Range.TrackBarMin, &Range.TrackBarMax,
                          &Range.LineSize, &Range.PageSize, &Range.Precision};
    for (size_t I = 0; I < 7 && I < F.size(); ++I) {
        double V = 0;
        if (!ReadNumber(F[I], V))
            continue;
        if (I >= 4 && V == 0)
            continue; // a zero step or precision keeps the default
        *Numbers[I] = Integer && I < 4 ? double(RoundOff(V)) : V;
    }
    if (F.size() > 7)
        Range.Style = F[7] == "etbksExp1" ? 1 : F[7] == "etbksExp2" ? 2 : 0;
}

std::string FillCellText(const std::string& Value)
{
    const char Kind = Value.empty() ? '0' : Value[0];
    switch (Kind) {
    case '1': {
        uint32_t Bgr = 0;
        try {
            Bgr = uint32_t(std::stoul(Value.substr(1), nullptr, 16));
        } catch (const std::logic_error&) {
            // No digits: black, as the fill reads it.
        }
        return "[#" + Hex6RedFirst(Bgr) + "]";
    }
    case '2':
        return "[ｸﾞﾗﾃﾞｰｼｮﾝ]";
    case '4':
        return "[画像]";
    case '5':
        return "[なし]";
    default:
        return "[不定]";
    }
}

std::string ColorCellText(const std::string& Value)
{
    double V = 0;
    if (Value.empty() || !ReadNumber(Value, V) || V < 0)
        return "不定";
    return "$" + Hex6RedFirst(uint32_t(int64_t(V)));
}

std::string PenCellText(const std::string& Value)
{
    double V = 0;
    if (Value.empty() || !ReadNumber(SplitCommaFields(Value)[0], V))
        return "不定";
    return "幅=" + SplitCommaFields(Value)[0];
}

// ---------------------------------------------------------------- the page

std::function<bool(QWidget* Owner, std::string& Name)> TMacroPaintPage::PickMacro =
    [](QWidget* Owner, std::string& Name) {
        TfrmSelMacro Form(Owner);
        if (Form.exec() != QDialog::Accepted)
            return false;
        Name = Form.SelText();
        return true;
    };

std::function<int(QDialog* Dialog)> TMacroPaintPage::RunDialog = [](QDialog* Dialog) { return Dialog->exec(); };

TMacroPaintPage::TMacroPaintPage(TMacroPageLink& Link, QWidget* Parent) : QWidget(Parent), FLink(Link)
{
    setObjectName("TabSheetPaintProperty");
    auto* Layout = new QVBoxLayout(this);
    Layout->setContentsMargins(2, 2, 2, 2);
    Layout->setSpacing(2);
    BuildButtons();
    auto* Buttons = new QHBoxLayout;
    Buttons->setSpacing(1);
    for (QWidget* W : std::initializer_list<QWidget*>{sbtnPaintMacroAdd, sbtnMacroDel, sbtnMacroLeft, sbtnMacroRight,
                                                      sbtnMacroCopy, sbtnMacroPaste, btnStyleAdd, btnStyleLoad,
                                                      sbtnStyleCopy, sbtnStylePaste})
        Buttons->addWidget(W);
    Buttons->addStretch(1);
    Layout->addLayout(Buttons);

    cgridMacroPaint = new TCtrlGridTav(this);
    cgridMacroPaint->setObjectName("cgridMacroPaint");
    cgridMacroPaint->SetFixedCols(0);
    cgridMacroPaint->SetFixedRows(0);
    cgridMacroPaint->SetColCount(0);
    cgridMacroPaint->SetRowCount(0);
    cgridMacroPaint->SetDefaultRowHeight(22);
    cgridMacroPaint->DefaultDrawing = false;
    cgridMacroPaint->setContextMenuPolicy(Qt::CustomContextMenu);
    Layout->addWidget(cgridMacroPaint, 1);

    FExtraRow = new QHBoxLayout;
    Layout->addLayout(FExtraRow);

    cgridMacroPaint->OnDrawCell = [this](TStringGridWex*, QPainter& Canvas, int Col, int Row, const QRect& Rect,
                                         TGridDrawState State) { DrawCell(Canvas, Col, Row, Rect, State); };
    cgridMacroPaint->OnSetEditText = [this](QObject*, int Col, int Row, const QString& Value) {
        if (Col % 2 == 1 && !FLink.Updating() && FRebuilding == 0)
            SetQuickParam(Col, Row, Value.toStdString());
    };
    cgridMacroPaint->OnColumnMoved = [this](QObject*, int From, int To) { MoveMacro(From, To); };
    cgridMacroPaint->OnSelColumnChange = [this](QObject*) { UpdateMacroButtons(); };
    cgridMacroPaint->OnMouseUp = [this](QObject*, Qt::MouseButton Button, TShiftState, int X, int Y) {
        HeaderMouseUp(Button, X, Y);
    };
    connect(cgridMacroPaint, &QWidget::customContextMenuRequested, this, [this](const QPoint& P) { ContextMenuAt(P); });
    cgridMacroPaint->installEventFilter(this);

    Style = new TStyle(this);
    Style->HelpContext = StyleLibraryInfo(TStyleKind::MacroPaint).HelpContext;
    Style->EnableSetting = true;
    Style->RegistryKey = "4.0";
    Style->RegistryName = StyleLibraryInfo(TStyleKind::MacroPaint).RegistryName;
    Style->LateDrawing = true;
    Style->OnDrawCell = &TMacroPaintPage::StyleDrawCell;
    Style->OnDrawCellLate = &TMacroPaintPage::StyleDrawCellLate;
    SetStyleFolders(std::string(), std::string());
    BuildClip();
    UpdateMacroButtons();
}

TMacroPaintPage::~TMacroPaintPage() = default;

namespace {

// A speed button's glyph with the disabled face the toolbar buttons show.
// Both faces are laid on a canvas one pixel larger than the glyph, so the
// glyph keeps its place when the button is disabled.
QIcon ButtonIcon(const QString& Resource)
{
    const QImage Glyph(Resource);
    QIcon Icon;
    if (Glyph.isNull())
        return Icon;
    QPixmap Normal(Glyph.size() + QSize(1, 1));
    Normal.fill(Qt::transparent);
    QPainter(&Normal).drawImage(0, 0, Glyph);
    Icon.addPixmap(Normal, QIcon::Normal);
    Icon.addPixmap(DisabledGlyph97(Glyph), QIcon::Disabled);
    return Icon;
}

} // namespace

void TMacroPaintPage::BuildButtons()
{
    auto Tool = [this](const char* Name, const char* Glyph, const char* Hint, int Tag) {
        auto* B = new QToolButton(this);
        B->setObjectName(Name);
        B->setIcon(ButtonIcon(QString::fromLatin1(Glyph)));
        B->setIconSize(QSize(17, 17));
        // Speed-button size, so the whole row fits the page at its narrowest.
        B->setFixedSize(23, 22);
        B->setToolTip(QString::fromUtf8(Hint));
        B->setProperty("Tag", Tag);
        B->setAutoRaise(true);
        return B;
    };
    sbtnPaintMacroAdd = Tool("sbtnPaintMacroAdd", ":/buttons/sbtnPaintMacroAdd", "マクロを追加", 5000201);
    sbtnMacroDel = Tool("sbtnMacroDel", ":/buttons/sbtnMacroDel", "マクロを削除", 5000202);
    sbtnMacroLeft = Tool("sbtnMacroLeft", ":/buttons/sbtnMacroLeft", "マクロを左に移動", 5000203);
    sbtnMacroRight = Tool("sbtnMacroRight", ":/buttons/sbtnMacroRight", "マクロを右に移動", 5000204);
    sbtnMacroCopy = Tool("sbtnMacroCopy", ":/commands/actCopy", "マクロをコピー", 5000205);
    sbtnMacroPaste = Tool("sbtnMacroPaste", ":/commands/actPaste", "マクロを貼り付け", 5000206);
    auto Push = [this](const char* Name, const char* Text, const char* Hint, int Tag) {
        auto* B = new QPushButton(QString::fromUtf8(Text), this);
        B->setObjectName(Name);
        B->setToolTip(QString::fromUtf8(Hint));
        B->setProperty("Tag", Tag);
        B->setAutoDefault(false);
        // As wide as the caption needs, not the style's usual minimum, for
        // the row to fit the page at its narrowest.
        B->setFixedWidth(B->fontMetrics().horizontalAdvance(B->text()) + 24);
        return B;
    };
    btnStyleAdd = Push("btnStyleAdd", "登録", "今のスタイルをスタイル集に登録", 5000207);
    btnStyleLoad = Push("btnStyleLoad", "読込", "スタイル集から読込む", 5000208);
    sbtnStyleCopy = Tool("sbtnStyleCopy", ":/buttons/sbtnStyleCopy", "スタイルをコピー", 5000209);
    sbtnStylePaste = Tool("sbtnStylePaste", ":/buttons/sbtnStylePaste", "スタイルを貼り付け", 5000210);

    connect(sbtnPaintMacroAdd, &QToolButton::clicked, this, [this] { MacroAddClick(); });
    connect(sbtnMacroDel, &QToolButton::clicked, this, [this] { MacroDelClick(); });
    connect(sbtnMacroLeft, &QToolButton::clicked, this, [this] { MacroLeftClick(); });
    connect(sbtnMacroRight, &QToolButton::clicked, this, [this] { MacroRightClick(); });
    connect(btnStyleAdd, &QPushButton::clicked, this, [this] { btnStyleAddClick(); });
    connect(btnStyleLoad, &QPushButton::clicked, this, [this] { btnStyleLoadClick(); });

    pMenuMacro = new QMenu(this);
    pMenuMacro->setObjectName("pMenuMacro");
    auto Item = [this](const char* Text, QToolButton* Button) {
        QAction* A = pMenuMacro->addAction(QString::fromUtf8(Text));
        connect(A, &QAction::triggered, Button, &QToolButton::click);
        return A;
    };
    FMenuAdd = Item("マクロの新規作成(&F)", sbtnPaintMacroAdd);
    FMenuCopy = Item("マクロをコピー(&C)", sbtnMacroCopy);
    FMenuPaste = Item("マクロを貼り付け(&P)", sbtnMacroPaste);
    FMenuDel = Item("マクロを削除(&D)", sbtnMacroDel);
    FMenuLeft = Item("一つ左に移動(&R)", sbtnMacroLeft);
    FMenuRight = Item("一つ右に移動(&L)", sbtnMacroRight);
}

void TMacroPaintPage::SetIniFile(TMemIniFile* IniFile)
{
    FIniFile = IniFile;
    Style->SetIniFile(IniFile);
}

void TMacroPaintPage::SetStyleFolders(const std::string& DataFolder, const std::string& ProgramFolder)
{
    Style->Library = MakeStyleLibrary(TStyleKind::MacroPaint, DataFolder, ProgramFolder);
    Style->Library.OnItemLoad = &TMacroPaintPage::StyleItemLoad;
    Style->Library.OnItemSave = &TMacroPaintPage::StyleItemSave;
}

TMacros* TMacroPaintPage::BufMacros() const
{
    auto* Buf = dynamic_cast<TDrawObject*>(FLink.DrawItemBuf());
    return Buf ? &Buf->Macros() : nullptr;
}

THistoryCommand* TMacroPaintPage::History() const
{
    return FLink.Page() ? FLink.Page()->GetHistory() : nullptr;
}

std::string TMacroPaintPage::RowCaption(int Item, int Row) const
{
    if (Item < 0 || Item >= int(FRows.size()) || Row < 1 || Row > int(FRows[size_t(Item)].size()))
        return {};
    return FRows[size_t(Item)][size_t(Row - 1)].Caption;
}

int TMacroPaintPage::SelectedMacro() const
{
    const int I = cgridMacroPaint->ItemIndex();
    return I >= 0 && 2 * I < cgridMacroPaint->ColCount() ? I : -1;
}

// ---------------------------------------------------------------- the grid

void TMacroPaintPage::ClearGrid()
{
    FLive.reset();
    ++FRebuilding;
    cgridMacroPaint->BeginUpdate();
    FreeControls();
    FRows.clear();
    cgridMacroPaint->ItemRows.clear();
    cgridMacroPaint->SetColCount(0);
    cgridMacroPaint->SetRowCount(0);
    cgridMacroPaint->SetItemIndex(-1);
    cgridMacroPaint->EndUpdate();
    --FRebuilding;
    UpdateMacroButtons();
}

void TMacroPaintPage::FreeControls()
{
    std::vector<QWidget*> Controls;
    for (int I = 0; I < cgridMacroPaint->Ctrls().GetCount(); ++I) {
        TrecCtrlGridQCtrl Rec;
        cgridMacroPaint->Ctrls().GetItem(I, Rec);
        if (Rec.Control)
            Controls.push_back(Rec.Control);
    }
    cgridMacroPaint->Ctrls().Clear();
    for (QWidget* W : Controls) {
        W->hide();
        W->deleteLater();
    }
}

void TMacroPaintPage::SetCgridQuickParam()
{
    FLive.reset();
    TMacros* Macros = FLink.DrawItem() ? BufMacros() : nullptr;
    const int OldCol = cgridMacroPaint->Col();
    const int OldRow = cgridMacroPaint->Row();
    ++FRebuilding;
    cgridMacroPaint->BeginUpdate();
    struct TEnd {
        TMacroPaintPage* P;
        ~TEnd()
        {
            P->cgridMacroPaint->EndUpdate();
            --P->FRebuilding;
        }
    } End{this};

    FreeControls();
    for (int R = 0; R < cgridMacroPaint->RowCount(); ++R)
        for (int C = 0; C < cgridMacroPaint->ColCount(); ++C)
            cgridMacroPaint->SetCells(C, R, QString());
    const int32_t N = Macros ? Macros->Count() : 0;
    FRows.assign(size_t(N), {});
    cgridMacroPaint->ItemRows.assign(size_t(N), 0);
    cgridMacroPaint->SetColCount(2 * N);
    if (cgridMacroPaint->RowCount() < 1)
        cgridMacroPaint->SetRowCount(N > 0 ? 1 : 0);
    if (N == 0) {
        cgridMacroPaint->SetRowCount(0);
        cgridMacroPaint->SetItemIndex(-1);
        UpdateMacroButtons();
        return;
    }

    const TPaintFunctionRec* Table = PaintFunctionTable();
    int MaxRows = 0;
    for (int32_t I = 0; I < N; ++I) {
        const TMacro& Macro = *Macros->GetMacro(I);
        const int32_t Def = gMacroLibrary ? gMacroLibrary->IndexOf(Macro.Name()) : -1;
        if (Def < 0)
            throw EUserError("TfrmObjProperty.SetCgridQuickParam: MacroDef Not Found.");
        const TMacro& Definition = *gMacroLibrary->Objects(Def);
        auto Cell = [this](int C, int R, const std::string& Text) {
            if (R >= cgridMacroPaint->RowCount())
                cgridMacroPaint->SetRowCount(R + 1);
            cgridMacroPaint->SetCells(C, R, QString::fromStdString(Text));
        };
        Cell(2 * I, 0, gMacroLibrary->Strings(Def));
        std::vector<TQuickRow>& Rows = FRows[size_t(I)];
        for (int32_t L = 0; L < Definition.LineCount(); ++L) {
            const TMacroLine& Line = Definition.Line(L);
            const int32_t Pos = FindPaintFunction(Table, Line.FunctionName);
            for (size_t P = 0; P < Line.Params.size(); ++P) {
                const std::string Caption = Line.Params[P].Caption.value_or(std::string());
                if (Caption.empty() || Caption[0] == '*')
                    continue;
                std::string Value;
                if (L < Macro.LineCount() && P < Macro.Line(L).Params.size())
                    Value = Macro.Line(L).Params[P].Value.value_or(std::string());
                const TPaintParamDesc* Desc =
                    Pos >= 0 && int32_t(P) < Table[Pos].ParamCount ? &Table[Pos].Params[P] : nullptr;
                const std::string Shown = DisplayCaption(Caption);
                auto Found = std::find_if(Rows.begin(), Rows.end(),
                                          [&](const TQuickRow& R) { return DisplayCaption(R.Caption) == Shown; });
                if (Found != Rows.end()) {
                    const int Row = int(Found - Rows.begin()) + 1;
                    if (cgridMacroPaint->Cells(2 * I + 1, Row).startsWith('!'))
                        Cell(2 * I + 1, Row, Value);
                } else {
                    Rows.push_back({Caption, Desc ? Desc->Kind : pkUnused});
                    const int Row = int(Rows.size());
                    Cell(2 * I, Row, Shown);
                    if (!Desc || HasNoEditor(Desc->Kind)) {
                        Cell(2 * I + 1, Row, "!" + Value);
                        continue;
                    }
                    Cell(2 * I + 1, Row, Value);
                }
                const int Row = int(std::find_if(Rows.begin(), Rows.end(),
                                                 [&](const TQuickRow& R) { return DisplayCaption(R.Caption) == Shown; }) -
                                    Rows.begin()) + 1;
                if (Desc && !cgridMacroPaint->GetCellControl(2 * I + 1, Row) &&
                    !cgridMacroPaint->Cells(2 * I + 1, Row).startsWith('!'))
                    HostControl(2 * I + 1, Row, Desc->Kind, Desc->Limits.None, Caption);
            }
        }
        cgridMacroPaint->ItemRows[size_t(I)] = int32_t(Rows.size());
        MaxRows = std::max(MaxRows, int(Rows.size()));
    }
    cgridMacroPaint->SetRowCount(MaxRows + 1);
    if (cgridMacroPaint->FixedRows() != 1)
        cgridMacroPaint->SetFixedRows(1);

    // Caption columns as wide as their widest text (the header's caption
    // runs on over the value column).
    const QFontMetrics Plain(cgridMacroPaint->font());
    for (int32_t I = 0; I < N; ++I) {
        int Caption = 0;
        for (int R = 1; R < cgridMacroPaint->RowCount(); ++R)
            Caption = std::max(Caption, Plain.horizontalAdvance(cgridMacroPaint->Cells(2 * I, R)));
        cgridMacroPaint->SetColWidths(2 * I, Caption + 4);
        cgridMacroPaint->SetColWidths(2 * I + 1, kValueColWidth);
    }
    if (cgridMacroPaint->ItemIndex() >= N)
        cgridMacroPaint->SetItemIndex(-1);
    const int Col = std::clamp(OldCol, 0, cgridMacroPaint->ColCount() - 1);
    const int Row = std::clamp(OldRow, std::min(1, cgridMacroPaint->RowCount() - 1), cgridMacroPaint->RowCount() - 1);
    cgridMacroPaint->SetCol(Col);
    cgridMacroPaint->SetRow(Row);
    RelayoutGrid();
    UpdateMacroButtons();
}

void TMacroPaintPage::HostControl(int Col, int Row, int32_t Kind, const void* Limits, const std::string& Caption)
{
    QWidget* Control = nullptr;
    const std::string Value = CellValue(Col, Row);
    const std::string Range = CaptionRangeTag(Caption);
    switch (Kind) {
    case pkInteger:
    case pkReal: {
        auto* Edit = new TEditTrackBarWex(cgridMacroPaint->viewport());
        TQuickRange R;
        const bool Integer = Kind == pkInteger;
        if (Integer) {
            R.LineSize = 1;
            R.PageSize = 5;
            R.Precision = 1;
            if (const auto* Int = static_cast<const TIntParamRange*>(Limits)) {
                R.Min = Int->Min;
                R.Max = Int->Max;
                R.TrackBarMin = Int->TrackBarMin;
                R.TrackBarMax = Int->TrackBarMax;
                R.Style = Int->TrackBarStyle;
            }
        } else {
            R.Precision = 0.1;
            R.LineSize = 0.1;
            R.PageSize = 1;
            if (const auto* Real = static_cast<const TFloatParamRange*>(Limits)) {
                R.Min = Real->Min;
                R.Max = Real->Max;
                R.TrackBarMin = Real->TrackBarMin;
                R.TrackBarMax = Real->TrackBarMax;
                if (Real->Precision != 0)
                    R.Precision = Real->Precision;
                if (Real->LineSize != 0)
                    R.LineSize = Real->LineSize;
                if (Real->PageSize != 0)
                    R.PageSize = Real->PageSize;
                R.Style = Real->TrackBarStyle;
            }
        }
        if (!Range.empty())
            ParseQuickRangeText(Range, Integer, R);
        // No lower than every paint function given the value reads.
        if (TMacros* Macros = BufMacros(); Macros && Col / 2 < Macros->Count())
            R.Min = std::min(std::max(R.Min, MacroParamFloor(*Macros->GetMacro(Col / 2), Caption)), R.Max);
        if (R.TrackBarMin == 0 && R.TrackBarMax == 0) {
            R.TrackBarMin = R.Min;
            R.TrackBarMax = R.Max;
        }
        Edit->SetMin(R.Min);
        Edit->SetMax(R.Max);
        Edit->SetPrecision(R.Precision);
        Edit->LineSize = R.LineSize;
        Edit->PageSize = R.PageSize;
        Edit->SetTrackBarMin(R.TrackBarMin);
        Edit->SetTrackBarMax(R.TrackBarMax);
        Edit->SetTrackBarStyle(TEditTrackBarWexStyle(std::clamp(R.Style, 0, 2)));
        double V = 0;
        if (ReadNumber(Value, V))
            Edit->SetPosition(V);
        WireNumberEdit(Edit, Col, Row);
        Control = Edit;
        break;
    }
    case pkChoice: {
        auto* Combo = new TCellComboBox(cgridMacroPaint->viewport());
        Combo->setEditable(false);
        Combo->setMaxVisibleItems(20);
        QFont F = Combo->font();
        F.setPixelSize(std::max(cgridMacroPaint->DefaultRowHeight() - 7, 6));
        Combo->setFont(F);
        if (!Range.empty()) {
            for (const std::string& S : SplitCommaFields(Range))
                Combo->addItem(QString::fromStdString(S));
        } else if (const auto* Choices = static_cast<const char* const*>(Limits)) {
            for (int I = 0; Choices[I]; ++I)
                Combo->addItem(QString::fromUtf8(Choices[I]));
        }
        Combo->setCurrentIndex(Combo->findText(QString::fromStdString(Value)));
        // The choice's text is the value the paint functions read.
        connect(Combo, &QComboBox::activated, this, [this, Combo, Col, Row](int) {
            SetQuickParam(Col, Row, Combo->currentText().toStdString());
        });
        Control = Combo;
        break;
    }
    case 6:
    case pkPath:
    case pkPlane:
    case pkPicture:
        throw EUserError("SetCgridQuickParam: ptParamType Incorrect");
    case pkColor: {
        auto* B = new TPanelColorButton(cgridMacroPaint->viewport());
        B->OnClick = [this, Col, Row](QObject*) { EditColor(Col, Row); };
        B->OnColorDropped = [this, Col, Row](QObject*, int32_t Color) {
            SetQuickParam(Col, Row, std::to_string(Color));
        };
        Control = B;
        break;
    }
    case pkFill:
    case pkPlaneFill:
    case pkReflection: {
        auto* B = new TPanelPaintFillButton(cgridMacroPaint->viewport());
        const uint32_t Kinds = Kind == pkFill ? 0x0F : Kind == pkPlaneFill ? 0x11 : 0x21;
        B->SetKinds(Kinds);
        B->OnClick = [this, Col, Row, Kinds](QObject*) { EditFill(Col, Row, Kinds); };
        if (Kind == pkFill)
            B->OnDragStart = [this, Col, Row](QObject*) {
                const std::string Value = CellValue(Col, Row);
                if (Value.size() > 1 && Value[0] == '1') {
                    try {
                        DragDropColor(int32_t(std::stoul(Value.substr(1), nullptr, 16)));
                    } catch (const std::logic_error&) {
                    }
                } else if (Value.size() > 2 && Value[0] == '2') {
                    DragDropGradation(Value.substr(2));
                }
            };
        B->OnDropped = [this, Col, Row](QObject*, const std::string& Fill) {
            std::string Text = Fill;
            const std::string Old = CellValue(Col, Row);
            // A gradation keeps the cell's own gradation kind.
            if (Text.size() >= 2 && Text[0] == '2' && Old.size() >= 2 && Old[0] == '2')
                Text[1] = Old[1];
            SetQuickParam(Col, Row, Text);
        };
        Control = B;
        break;
    }
    case pkLights: {
        auto* B = new TPanelButton(cgridMacroPaint->viewport());
        B->SetCaption(QString::fromUtf8("設定..."));
        B->OnClick = [this, Col, Row](QObject*) { EditLight(Col, Row); };
        Control = B;
        break;
    }
    case pkLineType: {
        auto* B = new TPanelPenButton(cgridMacroPaint->viewport());
        B->OnClick = [this, Col, Row](QObject*) { EditPen(Col, Row); };
        B->OnDragStart = [this, Col, Row](QObject*) {
            TrecPenData Pen{};
            StrToPenData(CellValue(Col, Row), Pen);
            DragDropPen(Pen);
        };
        B->OnPenDropped = [this, Col, Row](QObject*, const TrecPenData& Pen) {
            std::string Text;
            PenDataToStr(Pen, Text);
            SetQuickParam(Col, Row, Text);
        };
        Control = B;
        break;
    }
    default:
        throw EUserError("SetCgridQuickParam: ptParamType Invalidate");
    }
    Control->setObjectName(QString("cell_%1_%2").arg(Col).arg(Row));
    cgridMacroPaint->Ctrls().Add(Col, Row, Control, QString());
    WatchCellControl(Control);
    RepaintCellControl(Col, Row);
}

void TMacroPaintPage::WireNumberEdit(TEditTrackBarWex* Edit, int Col, int Row)
{
    // The edit keeps to its range (what the paint function accepts, e.g. the
    // largest Gaussian radius) and tells only values: each is drawn live and
    // the one committed is recorded. The macro's own check of a parameter
    // value, where every road sets it, judges them as it judges a paste.
    Edit->OnChange = [this, Edit, Col, Row](QObject*) {
        if (!FLink.Updating() && FRebuilding == 0)
            SetQuickParam(Col, Row, Edit->text().toStdString(), true);
    };
    Edit->OnCommit = [this, Edit, Col, Row](QObject*) {
        if (!FLink.Updating() && FRebuilding == 0)
            SetQuickParam(Col, Row, Edit->text().toStdString());
    };
    Edit->OnModifyStart = [this](QObject*) { FLink.SetHandlesHidden(true); };
    Edit->OnModifyEnd = [this](QObject*) { FLink.SetHandlesHidden(false); };
    // Escape: the objects and the cell as the last commit left them (the
    // grid then shows the cell's text in the edit).
    Edit->OnRevert = [this](QObject*) {
        if (RevertLive())
            FLink.ItemsChangedLive();
    };
}

std::string TMacroPaintPage::CellValue(int Col, int Row) const
{
    if (Col < 0 || Row < 0 || Col >= cgridMacroPaint->ColCount() || Row >= cgridMacroPaint->RowCount())
        return {};
    return cgridMacroPaint->Cells(Col, Row).toStdString();
}

void TMacroPaintPage::RepaintCellControl(int Col, int Row)
{
    QWidget* Control = cgridMacroPaint->GetCellControl(Col, Row);
    if (!Control)
        return;
    const std::string Value = CellValue(Col, Row);
    if (auto* Fill = qobject_cast<TPanelPaintFillButton*>(Control)) {
        Fill->SetFillValue(Value);
        Fill->SetCaption(QString::fromStdString(FillCellText(Value)));
        QFont F = Fill->font();
        F.setBold(true);
        Fill->setFont(F);
    } else if (auto* Color = qobject_cast<TPanelColorButton*>(Control)) {
        double V = -1;
        const bool Known = ReadNumber(Value, V) && V >= 0;
        Color->SetColor(Known ? int32_t(int64_t(V)) : clBtnFace);
        Color->SetCaption(QString::fromStdString(ColorCellText(Value)));
    } else if (auto* Pen = qobject_cast<TPanelPenButton*>(Control)) {
        Pen->SetCaption(QString::fromStdString(PenCellText(Value)));
    }
    Control->update();
}

void TMacroPaintPage::DrawCell(QPainter& Canvas, int Col, int Row, const QRect& Rect, uint8_t State)
{
    const int Item = Col / 2;
    const bool Selected = Item == cgridMacroPaint->ItemIndex();
    const QPalette& Pal = cgridMacroPaint->palette();
    const bool Beyond = Row > 0 && Item < int(cgridMacroPaint->ItemRows.size()) &&
                        Row > cgridMacroPaint->ItemRows[size_t(Item)];
    QColor Back = Col % 2 == 0 ? QColor(0xE8, 0xEC, 0xF4) : Pal.color(QPalette::Base);
    if (Row == 0)
        Back = Selected ? Pal.color(QPalette::Highlight) : Pal.color(QPalette::Button);
    if (Beyond)
        Back = Pal.color(QPalette::Window);
    // A header's value half also covers the grid line before it, which the
    // grid has drawn by now: the caption runs on unbroken across the pair.
    const QRect Area = Row == 0 && Col % 2 == 1 && !Beyond ? Rect.adjusted(-cgridMacroPaint->GridLineWidth(), 0, 0, 0)
                                                          : Rect;
    Canvas.setClipRect(Area);
    Canvas.fillRect(Area, Back);
    if (Beyond)
        return;
    if (Row == 0) {
        // The header spans the macro's two columns: the value column's half
        // is painted as the continuation of the caption column's.
        const QRect Pair = Col % 2 == 0
                               ? QRect(Rect.left(), Rect.top(),
                                       Rect.width() + cgridMacroPaint->GridLineWidth() +
                                           (Col + 1 < cgridMacroPaint->ColCount() ? cgridMacroPaint->ColWidths(Col + 1) : 0),
                                       Rect.height())
                               : QRect(Rect.left() - cgridMacroPaint->GridLineWidth() - cgridMacroPaint->ColWidths(Col - 1),
                                       Rect.top(), Rect.right() + 1 - (Rect.left() - cgridMacroPaint->GridLineWidth() -
                                                                       cgridMacroPaint->ColWidths(Col - 1)),
                                       Rect.height());
        Canvas.save();
        Canvas.setClipRect(Area);
        const int Box = std::min(Rect.height(), cgridMacroPaint->RowHeights(0)) - 8;
        const QRect Check(Pair.left() + 4, Pair.top() + (Pair.height() - Box) / 2, Box, Box);
        TMacros* Macros = BufMacros();
        const uint8_t Enabled = Macros && Item < Macros->Count() ? Macros->GetMacro(Item)->Enabled() : 0;
        Canvas.fillRect(Check, Enabled == 255 ? Pal.color(QPalette::Button) : Pal.color(QPalette::Base));
        Canvas.setPen(Pal.color(QPalette::Text));
        Canvas.drawRect(Check.adjusted(0, 0, -1, -1));
        if (Enabled != 0) {
            Canvas.setPen(QPen(Enabled == 255 ? Pal.color(QPalette::Mid) : Pal.color(QPalette::Text), 2));
            Canvas.drawLine(Check.left() + 2, Check.center().y(), Check.center().x() - 1, Check.bottom() - 3);
            Canvas.drawLine(Check.center().x() - 1, Check.bottom() - 3, Check.right() - 2, Check.top() + 2);
        }
        QFont F = Canvas.font();
        F.setBold(true);
        Canvas.setFont(F);
        Canvas.setPen(Selected ? Pal.color(QPalette::HighlightedText) : Pal.color(QPalette::ButtonText));
        Canvas.drawText(QRect(Check.right() + 4, Pair.top(), Pair.width(), Pair.height()), Qt::AlignLeft | Qt::AlignVCenter,
                        cgridMacroPaint->Cells(Col - Col % 2, 0));
        if (Selected) {
            Canvas.setPen(QPen(Pal.color(QPalette::HighlightedText), 1, Qt::DotLine));
            Canvas.drawRect(Pair.adjusted(1, 1, -2, -2));
        }
        Canvas.restore();
        return;
    }
    Canvas.setPen(Pal.color(QPalette::Text));
    QString Text = cgridMacroPaint->Cells(Col, Row);
    if (Col % 2 == 1 && (State & gdSelected))
        Canvas.fillRect(Rect, Pal.color(QPalette::AlternateBase));
    Canvas.drawText(Rect.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, Text);
}

void TMacroPaintPage::RelayoutGrid()
{
    const int Step = cgridMacroPaint->DefaultRowHeight() + cgridMacroPaint->GridLineWidth();
    const int Frame = cgridMacroPaint->height() - cgridMacroPaint->viewport()->height();
    const int Available = height() - layout()->contentsMargins().top() - layout()->contentsMargins().bottom() -
                          sbtnPaintMacroAdd->sizeHint().height() - ExtraRowHeight() - 2 * layout()->spacing() -
                          Frame;
    const int Rows = std::max(Available / Step, 1);
    const int Client = Rows * Step - cgridMacroPaint->GridLineWidth() + 1;
    cgridMacroPaint->setFixedHeight(Client + Frame);
    cgridMacroPaint->RealignControls();
}

int TMacroPaintPage::ExtraRowHeight() const
{
    return FExtraRow->count() > 0 ? FExtraRow->sizeHint().height() : 0;
}

void TMacroPaintPage::resizeEvent(QResizeEvent* Event)
{
    QWidget::resizeEvent(Event);
    RelayoutGrid();
}

bool TMacroPaintPage::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched != cgridMacroPaint && CellControlEvent(Watched, Event))
        return true;
    // Up and Down belong to the grid, not to the dialog's focus chain.
    if (Watched == cgridMacroPaint && Event->type() == QEvent::ShortcutOverride) {
        auto* Key = static_cast<QKeyEvent*>(Event);
        if ((Key->key() == Qt::Key_Up || Key->key() == Qt::Key_Down) &&
            !(Key->modifiers() & (Qt::AltModifier | Qt::ControlModifier)))
            Event->accept();
    }
    return QWidget::eventFilter(Watched, Event);
}

// ---------------------------------------------------------------- quick parameters

void TMacroPaintPage::TakeLiveSnapshot()
{
    if (FLive)
        return;
    auto Live = std::make_unique<TLiveSnapshot>();
    std::vector<TDrawObject*> Objects;
    CollectObjects(FLink.DrawItem(), Objects);
    for (TDrawObject* O : Objects)
        Live->Objects.emplace_back(O, CopyMacros(O->Macros()));
    if (TMacros* Buf = BufMacros())
        Live->Buf = CopyMacros(*Buf);
    if (TOLEDocumentWex* Document = PageDocument())
        Live->WasModified = Document->Modified();
    FLive = std::move(Live);
}

TOLEDocumentWex* TMacroPaintPage::PageDocument() const
{
    return FLink.Page() ? dynamic_cast<TOLEDocumentWex*>(FLink.Page()->Document()) : nullptr;
}

bool TMacroPaintPage::RevertLive()
{
    if (!FLive)
        return false;
    std::unique_ptr<TLiveSnapshot> Live = std::move(FLive);
    // Put back as they were, unchecked: a value the object held before may
    // be one its parameter no longer takes (an older file, a paste).
    {
        THistoryLock Lock(History());
        for (auto& [Object, Macros] : Live->Objects)
            Object->PutBackParamValues(*Macros);
    }
    if (TMacros* Buf = BufMacros(); Buf && Live->Buf)
        Buf->Assign(Live->Buf.get());
    // The live changes were no change of the document.
    if (TOLEDocumentWex* Document = PageDocument(); Document && !Live->WasModified)
        Document->SetModified(false);
    for (const auto& [Cell, Text] : Live->Cells) {
        if (Cell.first < cgridMacroPaint->ColCount() && Cell.second < cgridMacroPaint->RowCount()) {
            cgridMacroPaint->SetCells(Cell.first, Cell.second, QString::fromStdString(Text));
            RepaintCellControl(Cell.first, Cell.second);
        }
    }
    return true;
}

void TMacroPaintPage::CommitLive()
{
    if (!FLive || FiCellDialogs > 0)
        return;
    std::vector<std::pair<int, int>> Cells;
    for (const auto& Cell : FLive->Cells)
        Cells.push_back(Cell.first);
    for (const auto& [Col, Row] : Cells)
        if (auto* Edit = qobject_cast<TEditTrackBarWex*>(cgridMacroPaint->GetCellControl(Col, Row)); Edit && FLive)
            Edit->CommitTyped();
    if (RevertLive())
        FLink.ItemsChangedLive();
}

void TMacroPaintPage::SetQuickParam(int Col, int Row, const std::string& Value, bool Live)
{
    TMacros* Macros = BufMacros();
    if (!FLink.DrawItem() || !Macros || Value.empty())
        return;
    const int Item = Col / 2;
    if (Item >= Macros->Count() || Item >= int(FRows.size()) || Row < 1 || Row > int(FRows[size_t(Item)].size()))
        return;
    const std::string Caption = FRows[size_t(Item)][size_t(Row - 1)].Caption;

    if (Live) {
        if (CellValue(Col, Row) == Value)
            return;
        // A value the objects refuse or cannot draw is only shown by its
        // control: the objects, the property object and the cell keep the
        // last value that was drawn.
        std::vector<TDrawObject*> Objects;
        CollectObjects(FLink.DrawItem(), Objects);
        std::vector<std::unique_ptr<TMacros>> Before;
        for (TDrawObject* O : Objects)
            Before.push_back(CopyMacros(O->Macros()));
        const std::unique_ptr<TMacros> BufBefore = CopyMacros(*Macros);
        const bool Fresh = !FLive;
        TakeLiveSnapshot();
        Macros->GetMacro(Item)->SetParamValue(Caption, Value);
        try {
            THistoryLock Lock(History());
            TDrawItem::SetFMacrosPaintParam(*FLink.DrawItem(), *Macros);
        } catch (const Exception&) {
            Macros->Assign(BufBefore.get());
            THistoryLock Lock(History());
            for (size_t I = 0; I < Objects.size(); ++I)
                Objects[I]->PutBackParamValues(*Before[I]);
            if (Fresh)
                FLive.reset();
            return;
        }
        FLive->Cells.emplace(std::make_pair(Col, Row), CellValue(Col, Row));
        cgridMacroPaint->SetCells(Col, Row, QString::fromStdString(Value));
        RepaintCellControl(Col, Row);
        FLink.ItemsChangedLive();
        return;
    }

    // The live changes are put back first, so that the command records the
    // change from the value before them.
    RevertLive();
    if (CellValue(Col, Row) == Value)
        return;
    const std::string OldCell = CellValue(Col, Row);
    const std::unique_ptr<TMacros> BufBefore = CopyMacros(*Macros);
    cgridMacroPaint->SetCells(Col, Row, QString::fromStdString(Value));
    // Taken after the revert, which renews the property object's macros.
    Macros->GetMacro(Item)->SetParamValue(Caption, Value);
    try {
        RunJoined(History(), kSetParamCaption, [&] { TDrawItem::SetFMacrosPaintParam(*FLink.DrawItem(), *Macros); });
    } catch (...) {
        // Refused or not drawable: the command rolled back, and the
        // property object, the cell and its control show the kept value.
        Macros->Assign(BufBefore.get());
        cgridMacroPaint->SetCells(Col, Row, QString::fromStdString(OldCell));
        ShowCellValue(Col, Row);
        throw;
    }
    RepaintCellControl(Col, Row);
    FLink.ItemsEdited();
}

void TMacroPaintPage::ShowCellValue(int Col, int Row)
{
    if (auto* Edit = qobject_cast<TEditTrackBarWex*>(cgridMacroPaint->GetCellControl(Col, Row))) {
        double V = 0;
        if (ReadNumber(CellValue(Col, Row), V)) {
            ++FRebuilding;
            Edit->SetPosition(V);
            --FRebuilding;
        }
    }
    RepaintCellControl(Col, Row);
}

// ---------------------------------------------------------------- cell dialogs

void TMacroPaintPage::RunCellDialog(
    int Col, int Row,
    const std::function<bool(const std::function<void(const std::string&)>& Test, std::string& Result)>& Run)
{
    if (!FLink.DrawItem())
        return;
    RevertLive();
    // A cancelled dialog leaves the document as it found it, its modified
    // flag included (the revert of its tests puts that back too).
    const auto Test = [this, Col, Row](const std::string& Value) { SetQuickParam(Col, Row, Value, true); };
    std::string Result;
    bool Ok = false;
    {
        THistoryLock Lock(History());
        ++FiCellDialogs;
        try {
            Ok = Run(Test, Result);
        } catch (...) {
            --FiCellDialogs;
            throw;
        }
        --FiCellDialogs;
    }
    if (Ok && !Result.empty()) {
        try {
            SetQuickParam(Col, Row, Result);
        } catch (...) {
            // Refused: the tests are undone (the revert restores the flag)
            // and the drawing shows the value kept.
            FLink.ItemsChangedLive();
            RepaintCellControl(Col, Row);
            throw;
        }
    } else if (RevertLive()) {
        FLink.ItemsChangedLive();
    }
    RepaintCellControl(Col, Row);
}

TDrawObject* TMacroPaintPage::FirstObject() const
{
    return dynamic_cast<TDrawObject*>(TDrawItem::GetFirstDrawObject(FLink.DrawItem()));
}

void TMacroPaintPage::EditFill(int Col, int Row, uint32_t Kinds)
{
    RunCellDialog(Col, Row, [&](const auto& Test, std::string& Result) {
        const char* Dir = (Kinds & 0x10) ? "DirPlneTexture" : (Kinds & 0x20) ? "DirPictTexture" : "DirGrph";
        TfrmGradation Form(FLink.DialogOwner(), FIniFile, "4.0", "FlgGrad", "PosGrad", Dir);
        QPainterPath Outline;
        if (TDrawObject* Object = FirstObject())
            Outline = PathOf(Object->GetPath());
        TListRecPict* Store = nullptr;
        if (FLink.Page() && FLink.Page()->GetDocument())
            Store = FLink.Page()->GetDocument()->GetPictureStore();
        Form.SetUp(CellValue(Col, Row), Outline, Store);
        Form.OnTest = [&](TfrmGradation*, const std::string& Code) { Test(Code); };
        Form.OnResize = [this](int32_t Width, int32_t Height) {
            // A size change is its own command, recorded while the editor is open.
            if (THistoryCommand* H = History()) {
                H->UnLockAddHistory();
                try {
                    RunJoined(H, "図形サイズの変更", [&] { TDrawItem::SetParamSize(*FLink.DrawItem(), Width, Height); });
                } catch (...) {
                    H->LockAddHistory();
                    throw;
                }
                H->LockAddHistory();
            } else {
                TDrawItem::SetParamSize(*FLink.DrawItem(), Width, Height);
            }
            FLink.ItemsEdited();
        };
        if (RunDialog(&Form) != QDialog::Accepted)
            return false;
        Result = Form.FillCode();
        return true;
    });
}

void TMacroPaintPage::EditLight(int Col, int Row)
{
    RunCellDialog(Col, Row, [&](const auto& Test, std::string& Result) {
        TfrmLight Form(FLink.DialogOwner(), FIniFile, "4.0", "frmLight", "PosLight");
        // The preview: the macros before this one painted over the object.
        TrecPicture Picture;
        TRect Bounds{0, 0, 99, 99};
        TDrawObject* Object = FirstObject();
        if (Object)
            Bounds = Object->GetBounds();
        const int32_t W = std::max(Bounds.Right - Bounds.Left + 1, 1);
        const int32_t H = std::max(Bounds.Bottom - Bounds.Top + 1, 1);
        RecPictureCreate(Picture, TPoint{Bounds.Left, Bounds.Top}, W, H, 24, false);
        RecPictureFillColor(Picture, 0xFFFFFF);
        struct TFree {
            TrecPicture& P;
            ~TFree() { RecPictureClear(P); }
        } Free{Picture};
        if (Object) {
            TMacros Before;
            for (int32_t I = 0; I < Col / 2 && I < Object->Macros().Count(); ++I)
                Before.Insert(I, *Object->Macros().GetMacro(I));
            TrecPath Path;
            RecPathAssign(Path, Object->GetPath());
            TMacroPaintArgs Args;
            Args.Target = &Picture;
            Args.PrimaryPath = &Path;
            if (FLink.Page() && FLink.Page()->GetDocument())
                Args.Store = FLink.Page()->GetDocument()->GetPictureStore();
            TRect R1, R2;
            Before.Paint(Args, {}, nullptr, R1, R2);
        }
        // The lights are placed in the object's outline box in page
        // coordinates, as the effect places them on the page; the picture
        // lies at the object's place too.
        TRect ObjectRect{Bounds.Left, Bounds.Top, Bounds.Left + W, Bounds.Top + H};
        if (Object) {
            const TRect& P = Object->GetPath().Bounds;
            if (P.Right > P.Left && P.Bottom > P.Top)
                ObjectRect = P;
        }
        if (!Form.SetParam(CellValue(Col, Row), &Picture, &ObjectRect, nullptr, nullptr))
            return false;
        Form.OnTest = [&](TfrmLight&, const std::string& Text) { Test(Text); };
        if (RunDialog(&Form) != QDialog::Accepted)
            return false;
        Result = Form.LightText();
        return true;
    });
}

void TMacroPaintPage::EditPen(int Col, int Row)
{
    RunCellDialog(Col, Row, [&](const auto& Test, std::string& Result) {
        // Owned by the frame, so the picker opens at the mouse.
        TPenDialogWex Dialog(FLink.DialogOwner());
        Dialog.strParam = CellValue(Col, Row);
        Dialog.IniFile = FIniFile;
        Dialog.RegistryKey = "4.0";
        Dialog.RegistryName = "PosPen";
        Dialog.OnApply = [&](QObject*, const std::string& Pen) { Test(Pen); };
        Dialog.OnShowForm = PenFormShown;
        if (!Dialog.Execute())
            return false;
        Result = Dialog.strParam;
        return true;
    });
}

void TMacroPaintPage::EditColor(int Col, int Row)
{
    RunCellDialog(Col, Row, [&](const auto& Test, std::string& Result) {
        TColorDialogWex Dialog(FLink.DialogOwner());
        double V = 0;
        Dialog.Color = ReadNumber(CellValue(Col, Row), V) && V >= 0 ? int32_t(int64_t(V)) : 0;
        Dialog.SetStorage(FIniFile);
        Dialog.RegistryKey = "4.0";
        Dialog.RegistryName = "ColDlgObjPro";
        Dialog.OnPreview = [&](int32_t Color, intptr_t) { Test(std::to_string(Color)); };
        Dialog.OnApply = Dialog.OnPreview;
        Dialog.Run = ColorDialogRun;
        if (!Dialog.Execute())
            return false;
        Result = std::to_string(Dialog.Color);
        return true;
    });
}

std::function<void(TfrmSetPen*)> TMacroPaintPage::PenFormShown;
std::function<int(TfrmSelColor*)> TMacroPaintPage::ColorDialogRun;

// ---------------------------------------------------------------- macro commands

void TMacroPaintPage::Command(const std::string& Caption, const std::function<void()>& Change)
{
    // A pending live change is committed first: the command starts from
    // what the history holds.
    CommitLive();
    RunJoined(History(), Caption, Change);
    FLink.ItemsEdited();
}

void TMacroPaintPage::SelectItemCell(int Item, int Row)
{
    if (Item < 0 || 2 * Item + 1 >= cgridMacroPaint->ColCount())
        return;
    const int Rows = cgridMacroPaint->ItemRows[size_t(Item)];
    cgridMacroPaint->SetCol(2 * Item + 1);
    cgridMacroPaint->SetRow(std::clamp(Row <= Rows ? Row : Rows, 0, cgridMacroPaint->RowCount() - 1));
    cgridMacroPaint->SetItemIndex(Item);
}

void TMacroPaintPage::MacroAddClick()
{
    if (!FLink.DrawItem() || !BufMacros())
        return;
    std::string Name;
    if (!PickMacro(FLink.DialogOwner(), Name))
        return;
    const int32_t Def = gMacroLibrary ? gMacroLibrary->IndexOf(Name) : -1;
    if (Def < 0)
        throw EUserError("TfrmObjProperty.btnAddMacroPaintClick: MacroName Not Found");
    TMacro Macro;
    Macro.Assign(*gMacroLibrary->Objects(Def));
    InsertMacro(Macro, gMacroLibrary->Strings(Def));
}

void TMacroPaintPage::InsertMacro(const TMacro& Macro, const std::string& Caption)
{
    TMacros* Buf = BufMacros();
    if (!FLink.DrawItem() || !Buf)
        return;
    int At = 0;
    if (SelectedMacro() >= 0)
        At = SelectedMacro() + 1;
    else if (cgridMacroPaint->ColCount() > 1)
        At = cgridMacroPaint->Col() / 2 + 1;
    At = std::clamp(At, 0, int(Buf->Count()));
    const int OldRow = cgridMacroPaint->Row();
    Command("描画マクロ'" + Caption + "'の追加", [&] {
        Buf->Insert(At, Macro);
        if (Buf->Count() == 1) {
            TMemoryStream Stream;
            Buf->WriteToStream(Stream);
            Stream.SetPosition(0);
            TDrawItem::SetFMacros(*FLink.DrawItem(), Stream);
        } else {
            TDrawItem::InsertFMacro(*FLink.DrawItem(), At, Macro);
        }
    });
    SetCgridQuickParam();
    SelectItemCell(At, OldRow);
}

void TMacroPaintPage::MacroDelClick()
{
    TMacros* Buf = BufMacros();
    const int Item = SelectedMacro();
    if (!FLink.DrawItem() || !Buf || Item < 0 || Item >= Buf->Count())
        return;
    const std::string Caption = cgridMacroPaint->Cells(2 * Item, 0).toStdString();
    if (MessageBox(FLink.DialogOwner(), Caption + " を削除します。\r\nよろしいですか？", "確認",
                   MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    Command("描画マクロ'" + Caption + "'の削除", [&] {
        TDrawItem::DeleteFMacro(*FLink.DrawItem(), Item);
        Buf->Delete(Item);
    });
    SetCgridQuickParam();
    if (cgridMacroPaint->ColCount() == 0) {
        cgridMacroPaint->SetItemIndex(-1);
        UpdateMacroButtons();
        return;
    }
    const int Cols = cgridMacroPaint->ColCount();
    const int Col = std::clamp(cgridMacroPaint->Col(), Cols == 1 ? 0 : 1, Cols - 1);
    const int Rows = cgridMacroPaint->ItemRows[size_t(Col / 2)];
    cgridMacroPaint->SetCol(Col);
    cgridMacroPaint->SetRow(std::clamp(cgridMacroPaint->Row(), 0, Rows));
    cgridMacroPaint->SetItemIndex(-1);
    UpdateMacroButtons();
}

void TMacroPaintPage::MacroLeftClick()
{
    const int Item = SelectedMacro();
    if (Item < 1)
        return;
    Exchange(Item, Item - 1, "マクロを一つ左に移動");
}

void TMacroPaintPage::MacroRightClick()
{
    const int Item = SelectedMacro();
    TMacros* Buf = BufMacros();
    if (Item < 0 || !Buf || Item + 1 >= Buf->Count())
        return;
    Exchange(Item, Item + 1, "マクロを一つ右に移動");
}

void TMacroPaintPage::Exchange(int Item, int Other, const std::string& Caption)
{
    TMacros* Buf = BufMacros();
    if (!FLink.DrawItem() || !Buf)
        return;
    const int Row = cgridMacroPaint->Row();
    Command(Caption, [&] {
        TDrawItem::ExchangeFMacro(*FLink.DrawItem(), Item, Other);
        Buf->Exchange(Item, Other);
    });
    SetCgridQuickParam();
    SelectItemCell(Other, Row);
}

void TMacroPaintPage::ToggleMacroEnabled(int Index)
{
    TMacros* Buf = BufMacros();
    if (!FLink.DrawItem() || !Buf || Index < 0 || Index >= Buf->Count())
        return;
    const uint8_t Flag = Buf->GetMacro(Index)->Enabled() == 1 ? 0 : 1;
    Command("「マクロの表示／非表示」の設定", [&] {
        TDrawItem::SetFMacroEnabled(*FLink.DrawItem(), Index, Flag);
        Buf->GetMacro(Index)->SetEnabled(Flag);
    });
    SetCgridQuickParam();
}

void TMacroPaintPage::MoveMacro(int From, int To)
{
    TMacros* Buf = BufMacros();
    if (!FLink.DrawItem() || !Buf || From < 0 || To < 0 || From >= Buf->Count() || To >= Buf->Count() ||
        From == To)
        return;
    const int Row = cgridMacroPaint->Row();
    Command("描画マクロの移動", [&] {
        TDrawItem::MoveFMacro(*FLink.DrawItem(), From, To);
        Buf->Move(From, To);
    });
    SetCgridQuickParam();
    SelectItemCell(To, Row);
}

void TMacroPaintPage::HeaderMouseUp(Qt::MouseButton Button, int X, int Y)
{
    if (Button != Qt::LeftButton)
        return;
    int Col = -1, Row = -1;
    cgridMacroPaint->MouseToCell(X, Y, Col, Row);
    if (Row != 0 || Col < 0 || Col % 2 != 0)
        return;
    // The check box is the square at the header's left.
    const QRect Cell = cgridMacroPaint->CellRect(Col, 0);
    if (X < Cell.left() + cgridMacroPaint->RowHeights(0))
        ToggleMacroEnabled(Col / 2);
}

void TMacroPaintPage::UpdateMacroButtons()
{
    const bool Loaded = FLink.DrawItem() != nullptr && BufMacros() != nullptr;
    const int I = SelectedMacro();
    const int Cols = cgridMacroPaint->ColCount();
    sbtnPaintMacroAdd->setEnabled(Loaded);
    sbtnMacroDel->setEnabled(Loaded && I >= 0);
    sbtnMacroLeft->setEnabled(Loaded && I >= 1);
    sbtnMacroRight->setEnabled(Loaded && I >= 0 && 2 * I < Cols - 2);
    btnStyleAdd->setEnabled(Loaded && Cols > 0);
    btnStyleLoad->setEnabled(Loaded);
    sbtnMacroCopy->setEnabled(Loaded && I >= 0);
    sbtnStyleCopy->setEnabled(Loaded && Cols > 0);
    UpdateClipButtons();
    FMenuAdd->setEnabled(sbtnPaintMacroAdd->isEnabled());
    FMenuDel->setEnabled(sbtnMacroDel->isEnabled());
    FMenuLeft->setEnabled(sbtnMacroLeft->isEnabled());
    FMenuRight->setEnabled(sbtnMacroRight->isEnabled());
    FMenuCopy->setEnabled(sbtnMacroCopy->isEnabled());
    FMenuPaste->setEnabled(sbtnMacroPaste->isEnabled());
}

// ---------------------------------------------------------------- paint styles

// The library's own payload form, shared with the delivered libraries.
void TMacroPaintPage::StyleItemSave(TStream& Stream, const TObject* Item)
{
    SaveMacroItem(Stream, Item);
}

std::unique_ptr<TObject> TMacroPaintPage::StyleItemLoad(TStream& Stream, int32_t Version)
{
    return LoadMacroItem(Stream, Version);
}

void TMacroPaintPage::btnStyleAddClick()
{
    TMacros* Buf = BufMacros();
    if (!FLink.DrawItem() || !Buf)
        return;
    auto Item = std::make_unique<TStyleItem>();
    for (int32_t I = 0; I < Buf->Count(); ++I) {
        // Each macro again from its definition with the values of the
        // property object set by caption.
        const TMacro& Own = *Buf->GetMacro(I);
        auto Macro = std::make_unique<TMacro>();
        if (!Macro->LoadFromLibrary(Own.Name()))
            Macro->Assign(Own);
        TStringList Captions, Values;
        Own.GetParams(Captions, Values);
        for (int32_t C = 0; C < Captions.Count(); ++C)
            Macro->SetParamValue(Captions.Strings(C), Values.Strings(C));
        Macro->SetEnabled(Own.Enabled() == 0 ? 0 : 1);
        Item->Add(std::move(Macro));
    }
    // The pictures the macros use, under the same handles.
    TListRecPict* Store = nullptr;
    if (FLink.Page() && FLink.Page()->GetDocument())
        Store = FLink.Page()->GetDocument()->GetPictureStore();
    if (Store) {
        TListPtrWex Handles;
        TRect Bounds{0, 0, 0, 0};
        if (TDrawObject* O = FirstObject())
            Bounds = O->GetBounds();
        Item->CollectPictures(Handles, *Store, Bounds);
        if (Handles.Count() > 0) {
            TMemoryStream Stream;
            Store->WriteToStream(Stream, &Handles);
            Stream.SetPosition(0);
            Item->Pictures().LoadFromStream(Stream, DrawItemStreamVersion);
        }
    }
    std::unique_ptr<TObject> Data = std::move(Item);
    Style->Add(Data);
}

void TMacroPaintPage::btnStyleLoadClick()
{
    if (!FLink.DrawItem() || !BufMacros())
        return;
    std::unique_ptr<TStyleItem> Chosen;
    const bool Ok = Style->Select([&](const TObject& Data) {
        const auto* Item = dynamic_cast<const TStyleItem*>(&Data);
        if (!Item)
            return;
        Chosen = std::make_unique<TStyleItem>();
        Chosen->Assign(Item);
        Chosen->Pictures().Assign(Item->Pictures());
    });
    if (!Ok || !Chosen)
        return;
    ApplyStyle(*Chosen);
}

void TMacroPaintPage::ApplyStyle(TStyleItem& Item)
{
    TMacros* Buf = BufMacros();
    if (!FLink.DrawItem() || !Buf)
        return;
    Command("描画スタイルの読み込み", [&] {
        TListRecPict* Store = nullptr;
        if (FLink.Page() && FLink.Page()->GetDocument())
            Store = FLink.Page()->GetDocument()->GetPictureStore();
        if (Store && Item.Pictures().Items().Count() > 0) {
            TList2Item Map;
            Store->MergeFrom(Item.Pictures(), Map);
            Store->CommitNew();
            Item.RemapPictures(Map);
        }
        TMemoryStream Stream;
        Item.WriteToStream(Stream);
        Stream.SetPosition(0);
        TDrawItem::SetFMacros(*FLink.DrawItem(), Stream);
        Buf->Assign(&Item);
    });
    SetCgridQuickParam();
}

void TMacroPaintPage::StyleDrawCell(QPainter& Canvas, const std::string& Title, const TObject*, const QRect& Rect,
                                    bool Selected)
{
    Canvas.fillRect(Rect, Selected ? QColor(0xCC, 0xDD, 0xFF) : QColor(Qt::white));
    Canvas.setPen(Qt::black);
    Canvas.drawText(Rect.adjusted(2, 0, -2, -2), Qt::AlignHCenter | Qt::AlignBottom, QString::fromStdString(Title));
}

void TMacroPaintPage::StyleDrawCellLate(QPainter& Canvas, const std::string& Title, const TObject* Data,
                                        const QRect& Rect, bool Selected)
{
    const auto* Item = dynamic_cast<const TStyleItem*>(Data);
    const int W = std::max(Rect.width() - 8, 8), H = std::max(Rect.height() - 24, 8);
    if (!Item)
        return StyleDrawCell(Canvas, Title, Data, Rect, Selected);
    // A sample polyline painted with the style's macros.
    TrecPicture Picture;
    RecPictureCreate(Picture, TPoint{0, 0}, W, H, 24, false);
    RecPictureFillColor(Picture, 0xFFFFFF);
    TrecPath Path;
    RecPolyLineSetCount(Path, 4);
    Path.Points = {{W / 6, H / 5}, {W * 5 / 6, H / 5}, {W * 4 / 6, H * 4 / 5}, {W / 6, H * 4 / 5}};
    Path.pabType = {PT_MOVETO, PT_LINETO, PT_LINETO, uint8_t(PT_LINETO | PT_CLOSEFIGURE)};
    RecPathCalcBounds(Path);
    TMacroPaintArgs Args;
    Args.Target = &Picture;
    Args.PrimaryPath = &Path;
    Args.Store = &Item->Pictures();
    TRect R1, R2;
    try {
        Item->Paint(Args, {}, nullptr, R1, R2);
    } catch (...) {
    }
    StyleDrawCell(Canvas, Title, Data, Rect, Selected);
    Canvas.drawImage(Rect.left() + 4, Rect.top() + 4, ImageOf(Picture));
    RecPictureClear(Picture);
}
