// The panel's form: its pages and their controls, laid out in code at the
// pixel positions the pages' relayouts expect.
#include "editors/frm_obj_property.h"

#include "editors/macro_paint_page.h"
#include "editors/rich_edit_q.h"
#include "editors/rich_edit_tav.h"
#include "model/text_object.h"
#include "platform/module_loader.h"

#include "foundation/app_environment.h"
#include "foundation/user_error.h"
#include "ui/anchors_control_wex.h"
#include "ui/combo_box_wex.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/edit_wex.h"
#include "ui/page_control_wex.h"
#include "ui/panel_button.h"

#include <QAction>
#include <QCheckBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QToolBar>
#include <QVBoxLayout>

#include <QComboBox>

#include <algorithm>

TMadeWhenAsked<std::unique_ptr<TfrmObjProperty>> frmObjProperty;

namespace {

QLabel* Label(QWidget* Page, const char* Name, const QString& Caption, int X, int Y, int32_t Tag = 0)
{
    auto* L = new QLabel(Caption, Page);
    L->setObjectName(Name);
    L->setProperty("Tag", Tag);
    L->move(X, Y);
    L->adjustSize();
    return L;
}

TComboBoxWex* Combo(QWidget* Page, const char* Name, int X, int Y, int W, int32_t Tag = 0)
{
    auto* C = new TComboBoxWex(Page);
    C->setObjectName(Name);
    C->setProperty("Tag", Tag);
    C->setGeometry(X, Y, W, 20);
    return C;
}

QPushButton* DefaultButton(QWidget* Page, const char* Name, const char* Hint, int X, int Y)
{
    auto* B = new QPushButton("デフォルト(&D)", Page);
    B->setObjectName(Name);
    B->setProperty("Tag", 0);
    B->setToolTip(Hint);
    B->setGeometry(X, Y, 96, 22);
    SetAnchors(B, akLeft | akBottom);
    return B;
}

QCheckBox* Check(QWidget* Page, const char* Name, const QString& Caption, int X, int Y, int32_t Tag = 0)
{
    auto* C = new QCheckBox(Caption, Page);
    C->setObjectName(Name);
    C->setProperty("Tag", Tag);
    C->move(X, Y);
    C->adjustSize();
    return C;
}

constexpr const char* PageHint = "このページの現在の設定をデフォルトにします";

} // namespace

TfrmObjProperty::TfrmObjProperty(QWidget* MainForm) : QWidget(nullptr, Qt::Tool), FMainForm(MainForm)
{
    setObjectName("frmObjProperty");
    setWindowTitle("図形のプロパティ");
    setAttribute(Qt::WA_QuitOnClose, false);
    setProperty("HelpContext", 5000000);
    QFont F("ＭＳ Ｐゴシック");
    F.setPixelSize(13);
    setFont(F);
    resize(568, 248);
    FormCreate();
    if (QFontDatabase::families().contains("MS UI Gothic"))
        for (QWidget* Page : FTabSheets) {
            QFont PF = Page->font();
            PF.setFamily("MS UI Gothic");
            Page->setFont(PF);
        }
}

TfrmObjProperty::~TfrmObjProperty()
{
    // The binding lets go of its control before the control goes.
    FRichEditTav.reset();
    // The floating windows hold pages of this form: they go first.
    if (PageControlWex)
        for (TfrmPltChild* W : PageControlWex->FloatingWindows())
            delete W;
}

void TfrmObjProperty::FormCreate()
{
    edtObjName = new TEditWex(this);
    edtObjName->setObjectName("edtObjName");
    edtObjName->hide();
    lblObjName = Label(this, "lblObjName", "名称：", 0, 0);
    lblObjName->hide();
    cmbLayer = Combo(this, "cmbLayer", 0, 0, 120);
    cmbLayer->hide();
    lblLayer = Label(this, "lblLayer", "レイヤ：", 0, 0);
    lblLayer->hide();

    PageControlWex = new TPageControlWex(this);
    PageControlWex->setObjectName("PageControlWex");
    PageControlWex->setProperty("Tag", 5);
    PageControlWex->setGeometry(0, 0, 560, 220);
    PageControlWex->hide();
    auto AddSheet = [this](auto* Sheet, const char* Name, const char* Caption) {
        Sheet->setObjectName(Name);
        PageControlWex->addTab(Sheet, Caption);
        Sheet->resize(556, 196);
        // A page is seen in a page window of its own: it carries the
        // panel's help there.
        Sheet->setProperty("HelpContext", property("HelpContext"));
        FTabSheets.push_back(Sheet);
        return Sheet;
    };
    TabSheetGeneral = AddSheet(new TTabsheetWex(PageControlWex), "TabSheetGeneral", "一般");
    TabSheetPaintProperty = AddSheet(new TTabsheetWex(PageControlWex), "TabSheetPaintProperty", "マクロ");
    TabSheetShape = AddSheet(new TTabsheetWex(PageControlWex), "TabSheetShape", "形状");
    TabSheetShape->setProperty("ShapeTag", 4);
    TabSheetText = AddSheet(new TTabsheetWex(PageControlWex), "TabSheetText", "テキスト");
    TabSheetOutline = AddSheet(new QWidget(PageControlWex), "TabSheetOutline", "外形");
    TabSheetOnPath = AddSheet(new TTabsheetWex(PageControlWex), "TabSheetOnPath", "パス沿設定");
    PageControlWex->setTabVisible(5, false);

    BuildGeneralPage();
    BuildMacroPage();
    BuildShapePage();
    BuildTextPage();
    BuildOutlinePage();
    BuildPathPage();

    ColorDialogWex = TColorDialogWex(this);
    ColorDialogWex.SetStorage(&AppIniFile());
    ColorDialogWex.RegistryKey = "4.0";
    ColorDialogWex.RegistryName = "ColDlgObjPro";
    PageControlWex->OnGetMinMaxInfo = [this](QObject*, int32_t Page, TMinMaxInfo& Info) {
        PageControlWexGetMinMaxInfo(Page, Info);
    };
    // The text page is laid out for its window's width when it is shown.
    PageControlWex->OnChange = [this](QObject* Sender) {
        if (auto* PC = qobject_cast<QTabWidget*>(Sender); PC && PC->currentWidget() == TabSheetText)
            RelayoutTextPage(TabSheetText);
    };
    PageControlWex->OnResizeOwner = [this](QObject*, QWidget* Form) {
        if (auto* Child = qobject_cast<TfrmPltChild*>(Form))
            PageControlWexResize(Child->PageControl());
    };
    BindHandlers();

    MacroPage = new TMacroPaintPage(*this, MacroPageHost);
    MacroPage->setObjectName("MacroPage");
    MacroPageHost->layout()->addWidget(MacroPage);
    MacroPage->SetIniFile(&AppIniFile());
    std::string DataDir;
    GetEnvDataDir(DataDir);
    MacroPage->SetStyleFolders(DataDir, GetProgramDirectory());
    OnMacroPageLoad = [this](TDrawItem* PropertyObject) {
        if (PropertyObject)
            MacroPage->SetCgridQuickParam();
        else
            MacroPage->ClearGrid();
    };
    OnMacroPageResize = [this] { MacroPage->RelayoutGrid(); };

    SetRichEdit(new TRichEditWex(TabSheetText));
    FRichEditTav = std::make_unique<TRichEditTav>(static_cast<TCustomRichEditWex*>(RichEdit));
    // A text edit changes the object itself: the panel's copies follow it (a
    // later commit reverts to them) and the document window redraws it.
    FRichEditTav->OnChange = [this] {
        if (FBoundText)
            ItemsEdited();
    };
    BindTextPage();
    BuildEditMenu();
    // Taken while every control stands where it was designed (before any
    // selection moves a row or a window's width rearranges a page).
    for (QWidget* Page : FTabSheets)
        FPageNeeds[Page] = DesignedPageNeed(Page);
}

void TfrmObjProperty::KeepTextCaret()
{
    FiKeptStart = FiKeptLength = 0;
    if (FRichEditTav && FBoundText)
        FRichEditTav->GetSelection(FiKeptStart, FiKeptLength);
}

void TfrmObjProperty::ReloadText()
{
    if (!FRichEditTav || !FBoundText)
        return;
    int32_t Start = FiKeptStart, Length = FiKeptLength;
    FRichEditTav->SetTextObj(FBoundText);
    const auto Size = static_cast<int32_t>(FBoundText->Text().size());
    Start = std::clamp(Start, 0, Size);
    FRichEditTav->SetSelection(Start, std::clamp(Length, 0, Size - Start));
    // The step may have changed the paragraph too: the page shows it again.
    TakeCopies();
    LoadTextPage();
}

void TfrmObjProperty::BindRichEdit(TTextObj* Text)
{
    if (!FRichEditTav)
        return;
    FBoundText = Text;
    FRichEditTav->SetTextObj(Text);
}

TEditTrackBarWex* TfrmObjProperty::NumberEdit(QWidget* Page, const char* Name, int X, int Y, int W, double Min,
                                              double Max, int32_t Tag)
{
    auto* E = new TEditTrackBarWex(Page);
    E->setObjectName(Name);
    E->setProperty("Tag", Tag);
    E->setGeometry(X, Y, W, 20);
    E->SetMin(Min);
    E->SetMax(Max);
    // Every value of the range shows whole in the screen's face.
    FitEditWidth(E, {E->WidestText()});
    BindEdit(E);
    return E;
}

void TfrmObjProperty::BuildGeneralPage()
{
    QWidget* P = TabSheetGeneral;
    pnlcolbtnDrawCol = new TPanelColorButton(P);
    pnlcolbtnDrawCol->setObjectName("pnlcolbtnDrawCol");
    Label(P, "lblDrawCol", "表示色：", 4, 7);
    pnlcolbtnDrawCol->setGeometry(56, 4, 98, 20);
    lblObjAngle = Label(P, "lblObjAngle", "回転角：", 4, 30);
    edtObjAngle = NumberEdit(P, "edtObjAngle", 56, 26, 98, -360, 360);
    edtObjAngle->SetPrecision(0.01);
    lblPosiX = Label(P, "lblPosiX", "位置X：", 160, 8);
    edtPosiX = NumberEdit(P, "edtPosiX", 212, 4, 80, 0, 3000);
    lblPosiY = Label(P, "lblPosiY", "位置Y：", 160, 30);
    edtPosiY = NumberEdit(P, "edtPosiY", 212, 26, 80, 0, 3000);
    btnDefGeneral = DefaultButton(P, "btnDefGeneral", PageHint, 4, 52);
    // It stays under the edits: kept to the bottom of a page area made for
    // the taller pages it would leave a window of the page alone.
    SetAnchors(btnDefGeneral, akLeft | akTop);
}

void TfrmObjProperty::BuildMacroPage()
{
    QWidget* P = TabSheetPaintProperty;
    MacroPageHost = new QWidget(P);
    MacroPageHost->setObjectName("MacroPageHost");
    MacroPageHost->setGeometry(0, 0, 556, 168);
    SetAnchors(MacroPageHost, akLeft | akTop | akRight | akBottom);
    // The macro page fills it: MacroPageHost->layout()->addWidget(Page).
    auto* HostLayout = new QVBoxLayout(MacroPageHost);
    HostLayout->setContentsMargins(0, 0, 0, 0);
    cboxFillPath = Check(P, "cboxFillPath", "内部を塗り潰す", 4, 172);
    SetAnchors(cboxFillPath, akLeft | akBottom);
    btnDefMacPaint = DefaultButton(P, "btnDefMacPaint", PageHint, 140, 170);
}

void TfrmObjProperty::BuildShapePage()
{
    QWidget* P = TabSheetShape;
    // Two columns of rows 20 pixels apart: label, edit, unit label. The
    // edits of a column start past its widest caption on the screen's face
    // (64 pixels at least), and the second column past the first's units.
    constexpr int C1 = 4, Y0 = 52;
    struct TRow {
        QLabel** Lbl;
        const char *LName, *Caption;
        TEditTrackBarWex** Edit;
        const char* EName;
        int Column, Y;
        int32_t Tag;
        double Min, Max;
        int32_t UnitTag;
        const char* UName;
    };
    const TRow Rows[] = {
        {&lblWidth, "lblWidth", "幅：", &edtWidth, "edtWidth", 0, 4, 13, 1, 6000, 0, nullptr},
        {&lblHeight, "lblHeight", "高さ：", &edtHeight, "edtHeight", 0, 26, 14, 1, 6000, 0, nullptr},
        {&lblCornerNum, "lblCornerNum", "角数：", &edtCornerNum, "edtCornerNum", 1, 4, 7, 3, 10000, 0, nullptr},
        {&lblRIn, "lblRIn", "内径：", &edtRIn, "edtRIn", 0, Y0, 6, 0, 100, 10, "lblRInPercent"},
        {&lblCnrROut, "lblCnrROut", "凸角のR：", &edtCnrROut, "edtCnrROut", 0, Y0 + 20, 4, -100, 100, 12,
         "lblCnrROutPercent"},
        {&lblCnrRIn, "lblCnrRIn", "凹角のR：", &edtCnrRIn, "edtCnrRIn", 1, Y0 + 20, 5, -100, 100, 10,
         "lblCnrRInPercent"},
        {&lblRInRatio, "lblRInRatio", "振れ(内径)：", &edtRInRatio, "edtRInRatio", 0, Y0 + 40, 3, 0, 100, 10,
         "lblRInRatioPercent"},
        {&lblAngleRatio, "lblAngleRatio", "振れ(頂点)：", &edtAngleRatio, "edtAngleRatio", 0, Y0 + 60, 1, 0, 100,
         10, "lblAngleRatioPercent"},
        {&lblROutRatio, "lblROutRatio", "振れ(外径)：", &edtROutRatio, "edtROutRatio", 1, Y0 + 60, 2, 0, 100, 10,
         "lblROutRatioPercent"},
    };
    lblRNum = Label(P, "lblRNum", "Ｒ数：", C1, Y0 + 3, 15);
    lblRPos = Label(P, "lblRPos", "Ｒの位置：", C1, Y0 + 23, 16);
    int Widest[2] = {std::max(lblRNum->width(), lblRPos->width()), 0};
    std::vector<QLabel*> Captions;
    for (const TRow& R : Rows) {
        Captions.push_back(Label(P, R.LName, R.Caption, 0, R.Y + 3, R.Tag));
        Widest[R.Column] = std::max(Widest[R.Column], Captions.back()->width());
    }
    const int Off[2] = {std::max(64, Widest[0] + 2), std::max(64, Widest[1] + 2)};
    // The edits take one width, that of the one with the widest value.
    int EW = 56;
    for (const TRow& R : Rows) {
        *R.Edit = NumberEdit(P, R.EName, 0, R.Y, 56, R.Min, R.Max, R.Tag);
        EW = std::max(EW, (*R.Edit)->width());
    }
    const int C2 = std::max(142, C1 + Off[0] + EW + 2 + P->fontMetrics().horizontalAdvance("%") + 6);
    const int X[2] = {C1, C2};
    for (size_t I = 0; I < std::size(Rows); ++I) {
        const TRow& R = Rows[I];
        const int At = X[R.Column];
        *R.Lbl = Captions[I];
        Captions[I]->move(At, R.Y + 3);
        (*R.Edit)->setGeometry(At + Off[R.Column], R.Y, EW, (*R.Edit)->height());
        // A unit stands, and moves, with its row.
        if (R.UName)
            Label(P, R.UName, "%", At + Off[R.Column] + EW + 2, R.Y + 3, R.UnitTag)->setProperty("RowTag", R.Tag);
    }
    // A size below 1 changes nothing: typed, it settles back.
    edtWidth->RefuseBelowMin = true;
    edtHeight->RefuseBelowMin = true;
    lblAbsolute = Label(P, "lblAbsolute", "絶対値", C2, Y0 + 3, 11);
    edtAbsRIn = NumberEdit(P, "edtAbsRIn", std::max(C2 + 40, lblAbsolute->geometry().right() + 3), Y0, 56, 0, 3000, 6);
    lblPixel = Label(P, "lblPixel", "ピクセル", edtAbsRIn->geometry().right() + 3, Y0 + 3, 6);
    btnRandomSeed = new QPushButton("別ﾊﾟﾀ-ﾝ", P);
    btnRandomSeed->setObjectName("btnRandomSeed");
    btnRandomSeed->setProperty("Tag", 8);
    btnRandomSeed->setGeometry(C2 + Off[1] + EW + 22, Y0 + 60, 64, 20);
    cboxBeveled = Check(P, "cboxBeveled", "ベベル形状", C2, Y0, 9);
    cboxBeveled->setTristate(true);
    cmbRNum = Combo(P, "cmbRNum", C1 + Off[0], Y0, 56, 15);
    cmbRNum->addItems({"1", "2", "4"});
    cmbRPos = Combo(P, "cmbRPos", C1 + Off[0], Y0 + 20, 72, 16);
    btnDefShape = DefaultButton(P, "btnDefShape", PageHint, 4, 170);
    // Every control of a row knows its offset from the row's top, so that
    // the rows can be moved by class.
    for (QObject* O : P->children())
        if (auto* W = qobject_cast<QWidget*>(O))
            W->setProperty("RowDY", qobject_cast<QLabel*>(W) ? 3 : 0);
}

void TfrmObjProperty::BuildTextPage()
{
    QWidget* P = TabSheetText;
    // Narrow arrangement (lblSpacing left of 303): line spacing, spacing and
    // base, face and size, font style; the rich edit below.
    lblLineSpacing = Label(P, "lblLineSpacing", "行間：", 4, 7);
    cmbLineSpacingRule = Combo(P, "cmbLineSpacingRule", 40, 4, 64);
    edtLineSpacing = NumberEdit(P, "edtLineSpacing", 106, 4, 60, 0, MaxLineSpacingMultiple);
    edtLineSpacing->SetPrecision(0.01);
    cmbUTLineSpacing = Combo(P, "cmbUTLineSpacing", 168, 4, 56);
    cmbZoom = Combo(P, "cmbZoom", 228, 4, 64);
    // The edit shows the text at most at its own size.
    for (int I = 1; I <= 10; ++I)
        cmbZoom->addItem(QString::number(I * 10) + "%");
    cmbZoom->setCurrentIndex(9);

    lblSpacing = Label(P, "lblSpacing", "字間：", 4, 31);
    edtSpacing = NumberEdit(P, "edtSpacing", 40, 28, 56, -999, 999);
    cmbUTSpacing = Combo(P, "cmbUTSpacing", 98, 28, 52);
    lblBase = Label(P, "lblBase", "縦位置：", 154, 31);
    edtBase = NumberEdit(P, "edtBase", 196, 28, 56, -999, 999);
    cmbUTBase = Combo(P, "cmbUTBase", 254, 28, 52);

    cmbFace = Combo(P, "cmbFace", 4, 52, 150);
    btnRefFont = new QPushButton("...", P);
    btnRefFont->setObjectName("btnRefFont");
    btnRefFont->setGeometry(156, 52, 22, 20);
    lblSize = Label(P, "lblSize", "サイズ：", 182, 55);
    edtSize = NumberEdit(P, "edtSize", 222, 52, 44, 1, 400);
    cmbUTSize = Combo(P, "cmbUTSize", 268, 52, 44);

    ToolBarFontStyle = new QToolBar(P);
    ToolBarFontStyle->setObjectName("ToolBarFontStyle");
    ToolBarFontStyle->setGeometry(4, 76, 60, 22);
    ToolBarFontStyle->addAction("B")->setCheckable(true);
    ToolBarFontStyle->addAction("I")->setCheckable(true);
    lblTextPaintKind = Label(P, "lblTextPaintKind", "描画方法：", 70, 79);
    cmbTextPaintKind = Combo(P, "cmbTextPaintKind", 130, 76, 176);
    cmbTextPaintKind->addItems({"一括描画", "文字単位で先頭から描画", "文字単位で末尾から描画"});

    RichEdit = new QTextEdit(P);
    RichEdit->setObjectName("RichEdit");
    RichEdit->setGeometry(4, 100, 548, 66);
    SetAnchors(RichEdit, akLeft | akTop | akRight | akBottom);
    btnDefText = DefaultButton(P, "btnDefText", "現在のフォントの設定をデフォルトにします", 4, 170);
    FTextUnitCombos = {cmbUTSpacing, cmbUTBase, cmbUTSize};
    FitTextPageRows();
}

void TfrmObjProperty::FitTextPageRows()
{
    // The rows were drawn for a narrower face than the screen may give: a
    // caption must not run under its edit, nor a unit be cut to "pixe". Unit
    // combos take the width of their longest unit, the length edits that of
    // their widest value in any unit, and each control of a row stands clear
    // of the one before it.
    FitTextEdits();
    for (QComboBox* C : {cmbUTLineSpacing, cmbUTSpacing, cmbUTBase, cmbUTSize}) {
        QComboBox Probe;
        Probe.setFont(C->font());
        Probe.addItems({"pixel", "cm", "inch", "point"});
        C->resize(std::max(C->width(), Probe.sizeHint().width()), C->height());
    }
    const std::initializer_list<std::initializer_list<QWidget*>> Rows = {
        {lblLineSpacing, cmbLineSpacingRule, edtLineSpacing, cmbUTLineSpacing, cmbZoom},
        {lblSpacing, edtSpacing, cmbUTSpacing, lblBase, edtBase, cmbUTBase},
        {cmbFace, btnRefFont, lblSize, edtSize, cmbUTSize},
        {ToolBarFontStyle, lblTextPaintKind, cmbTextPaintKind}};
    for (const auto& Row : Rows) {
        int Right = 0;
        for (QWidget* W : Row) {
            if (Right > 0 && W->x() < Right + 2)
                W->move(Right + 2, W->y());
            Right = W->x() + W->width();
        }
    }
    // The wide arrangement puts the spacing line beside the first and the
    // font style beside the face: as far right as these now reach.
    const int Reach = std::max(cmbZoom->geometry().right(), cmbUTSize->geometry().right()) + 6;
    FTextWideShift = std::max(313, Reach - std::min(lblSpacing->x(), ToolBarFontStyle->x()));
    // and it is taken only where its right-hand groups show whole.
    const int WideRight = std::max(cmbUTBase->geometry().right(), cmbTextPaintKind->geometry().right());
    FTextWideWidth = std::max(626, WideRight + FTextWideShift + 5);
    // The narrow arrangement shows every row whole.
    for (const auto& Row : Rows)
        for (QWidget* W : Row)
            FTextNarrowWidth = std::max(FTextNarrowWidth, W->geometry().right() + 5);
}

void TfrmObjProperty::BuildOutlinePage()
{
    QWidget* P = TabSheetOutline;
    lblOutlineKind = Label(P, "lblOutlineKind", "種類：", 4, 11);
    cmbOutline = Combo(P, "cmbOutline", 68, 8, 140);
    cmbOutline->addItems({"なし", "平行四辺形", "台形", "レンズ(上下対称)", "レンズ(自由設定)", "波(単純)",
                          "波(自由設定)", "ドーナツ"});
    cmbOutline->setMaxVisibleItems(cmbOutline->count());
    struct TRowDef {
        const char* Label;
        const char* LName;
        const char* EName;
        TEditTrackBarWex** Field;
        bool Percent;
        double Min, Max;
    };
    // Tags 1 to 9; the text-height row is Tag 10 and always shown with a kind.
    // The outline's own ranges, in percent.
    constexpr double Ratio = MaxOutlineRatio * 100, Scale = MinOutlineScale * 100, Waves = MaxOutlineWaves;
    const TRowDef Rows[9] = {
        {"上辺の位置：", "lblTopLeft", "edtTopLeft", &edtTopLeft, true, -Ratio, Ratio},
        {"上辺の幅：", "lblTopWidth", "edtTopWidth", &edtTopWidth, true, 0, Ratio},
        {"", "lblDummy3", "edtDummy3", nullptr, false, 0, 0},
        {"下辺の幅：", "lblBtmWidth", "edtBtmWidth", &edtBtmWidth, true, 0, Ratio},
        {"波高(上)：", "lblHeightTop", "edtHeightTop", &edtHeightTop, true, -Ratio, Ratio},
        {"波高(下)：", "lblHeightBtm", "edtHeightBtm", &edtHeightBtm, true, -Ratio, Ratio},
        {"波数(上)：", "lblWaveNumTop", "edtWaveNumTop", &edtWaveNumTop, false, 0, Waves},
        {"波数(下)：", "lblWaveNumBtm", "edtWaveNumBtm", &edtWaveNumBtm, false, 0, Waves},
        {"半径：", "lblRadius", "edtRadius", &edtRadius, true, Scale, Ratio},
    };
    for (int I = 0; I < 9; ++I) {
        const TRowDef& R = Rows[I];
        if (!R.Field)
            continue;
        const int Y = 40 + 20 * I;
        FOutlineLabels[I] = Label(P, R.LName, R.Label, 0, Y, I + 1);
        FOutlineEdits[I] = NumberEdit(P, R.EName, 64, Y - 4, 64, R.Min, R.Max, I + 1);
        *R.Field = FOutlineEdits[I];
        if (R.Percent)
            FOutlinePercents[I] = Label(P, (std::string(R.LName) + "Percent").c_str(), "%", 131, Y, I + 1);
    }
    QLabel* TextHeight = Label(P, "lblTextHeight", "文字の高さ：", 150, 40, 10);
    edtTextHeight = NumberEdit(P, "edtTextHeight", 214, 36, 50, Scale, Ratio, 10);
    QLabel* TextHeightPercent = Label(P, "lblTextHeightPercent", "%", 266, 40, 10);
    // The edits start where the widest caption of the screen's face ends, so
    // that no caption's colon hides under its edit; the text-height group
    // follows at the same distances.
    int Widest = 0;
    for (QLabel* L : FOutlineLabels)
        if (L)
            Widest = std::max(Widest, L->width());
    FOutlineEditX = std::max(64, Widest + 2);
    // One width for the edits, that of the widest value.
    for (TEditTrackBarWex* E : FOutlineEdits)
        if (E)
            FOutlineEditW = std::max(FOutlineEditW, E->width());
    for (int I = 0; I < 9; ++I)
        if (FOutlineEdits[I]) {
            FOutlineEdits[I]->setGeometry(FOutlineEditX, FOutlineEdits[I]->y(), FOutlineEditW,
                                          FOutlineEdits[I]->height());
            if (FOutlinePercents[I])
                FOutlinePercents[I]->move(FOutlineEditX + FOutlineEditW + 3, FOutlinePercents[I]->y());
        }
    TextHeight->move(FOutlineEditX + FOutlineEditW + 22, TextHeight->y());
    edtTextHeight->move(std::max(TextHeight->x() + 64, TextHeight->geometry().right() + 3), edtTextHeight->y());
    TextHeightPercent->move(edtTextHeight->geometry().right() + 3, TextHeightPercent->y());
    cboxTransChar = Check(P, "cboxTransChar", "文字を変形する", 0, 220, 11);
    cboxTransChar->setTristate(true);
    btnDefOutline = DefaultButton(P, "btnDefOutline", PageHint, 216, 7);
    SetAnchors(btnDefOutline, akLeft | akTop);
}

void TfrmObjProperty::BuildPathPage()
{
    QWidget* P = TabSheetOnPath;
    lblTextStartPos = Label(P, "lblTextStartPos", "パス端から文字までの距離(&L)：", 4, 7);
    edtTextStartPos = NumberEdit(P, "edtTextStartPos", 190, 4, 72, -MaxTextPathDistance, MaxTextPathDistance);
    edtVOffset = NumberEdit(P, "edtVOffset", 190, 28, 72, -MaxTextPathDistance, MaxTextPathDistance);
    edtVOffset->hide();
}

void TfrmObjProperty::SetRichEdit(QTextEdit* Edit)
{
    if (!Edit || Edit == RichEdit)
        return;
    QWidget* Page = RichEdit->parentWidget();
    Edit->setParent(Page);
    Edit->setObjectName("RichEdit");
    Edit->setGeometry(RichEdit->geometry());
    SetAnchors(Edit, GetAnchors(RichEdit));
    Edit->setVisible(true);
    delete RichEdit;
    RichEdit = Edit;
    if (PageControlWex)
        if (TAnchorsControlWex* A = PageControlWex->AnchorsControl(3))
            A->SetTarget(Page);
}

QWidget* TfrmObjProperty::DialogOwner() const
{
    return FMainForm ? FMainForm : const_cast<TfrmObjProperty*>(this);
}
