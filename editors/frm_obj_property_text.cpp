// The text page of the panel: the style of the selected characters (face,
// size, vertical position, spacing, bold, italic) and the paragraph's line
// spacing with its rule and unit. Every change is one command on the
// document's history; the characters themselves are edited in the rich edit
// through its binding.
#include "editors/frm_obj_property.h"
#include "editors/obj_property_doc_link.h"

#include "editors/font_name_dialog.h"
#include "editors/rich_edit_q.h"
#include "editors/rich_edit_tav.h"
#include "foundation/app_environment.h"
#include "foundation/numbers.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "model/text_model.h"
#include "model/text_object.h"
#include "platform/cp932.h"
#include "platform/fonts.h"
#include "store/history_bracket.h"
#include "ui/combo_box_wex.h"
#include "ui/edit_track_bar_wex.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QStringList>
#include <QTextCursor>
#include <QToolBar>

#include <cmath>
#include <utility>

namespace {

// The page's lock, raised for a scope: it comes down however the scope ends,
// so that a handler that raises leaves the page working.
class TUpdating {
public:
    explicit TUpdating(int32_t& Counter) : FCounter(Counter) { ++FCounter; }
    ~TUpdating() { --FCounter; }
    TUpdating(const TUpdating&) = delete;
    TUpdating& operator=(const TUpdating&) = delete;

private:
    int32_t& FCounter;
};

struct TRange {
    double Precision, Min, Max, TrackBarMin, TrackBarMax, LineSize;
};

// By unit: pixel, cm, inch, point.
constexpr TRange SizeRanges[4] = {
    {1, 1, 400, 1, 200, 1}, {0.01, 0.01, 10, 0.01, 5, 0.1}, {0.01, 0.01, 4, 0.01, 2, 0.01}, {0.1, 0.1, 300, 0.1, 160, 1}};
constexpr TRange OffsetRanges[4] = {
    {1, -999, 999, -100, 100, 1}, {0.01, -99, 99, -5, 5, 0.1}, {0.01, -99, 99, -2, 2, 0.01}, {0.1, -999, 999, -100, 100, 1}};
// The paragraph's own ranges (HeldLineSpacing).
constexpr TRange LineMultipleRange = {0.01, 0, MaxLineSpacingMultiple, 0, 10, 0.1};
constexpr TRange LineLengthRanges[4] = {{1, 0, MaxLineSpacingLength[0], 0, 200, 1},
                                        {0.01, 0, MaxLineSpacingLength[1], 0, 5, 0.1},
                                        {0.01, 0, MaxLineSpacingLength[2], 0, 2, 0.01},
                                        {0.1, 0, MaxLineSpacingLength[3], 0, 160, 1}};

void ApplyRange(TCustomEditTrackBarWex* Edit, const TRange& R)
{
    // Both bounds may move past each other: widen first.
    Edit->SetMin(std::min(R.Min, Edit->Min()));
    Edit->SetMax(R.Max);
    Edit->SetMin(R.Min);
    Edit->SetPrecision(R.Precision);
    Edit->SetTrackBarMin(R.TrackBarMin);
    Edit->SetTrackBarMax(R.TrackBarMax);
    Edit->LineSize = R.LineSize;
    Edit->PageSize = 5 * R.LineSize;
}

int32_t ValidUnit(int32_t Unit)
{
    return Unit >= 0 && Unit <= 3 ? Unit : 0;
}

// Whole pixels, 0.01 cm or inch, 0.1 point; halves up.
double RoundToUnit(double Value, int32_t Unit)
{
    const double Scale = Unit == 0 ? 1 : Unit == 3 ? 10 : 100;
    return std::floor(Value * Scale + 0.5) / Scale;
}

// What the selection's styled characters agree on; without a selection
// the style typing would get.
struct TSelectionStyle {
    TrecCharAttr First;
    bool Face = true, Size = true, Bold = true, Italic = true;
};

TSelectionStyle ScanSelection(TRichEditTav& Binding)
{
    TSelectionStyle R;
    R.First = Binding.SelAttributes().InsertionStyle();
    TTextObj* Text = Binding.TextObj();
    int32_t Start = 0, Length = 0;
    Binding.GetSelection(Start, Length);
    if (!Text || Length <= 0)
        return R;
    const TListCharStyle& Styles = Text->RichText().Styles;
    bool Have = false;
    for (int32_t I = Start; I < std::min(Start + Length, Styles.Count()); ++I) {
        const TCharStyle* S = Styles.GetItem(I);
        if (!S)
            continue;
        if (!Have) {
            R.First = S->Attr;
            Have = true;
            continue;
        }
        R.Face = R.Face && CharAttrFaceName(S->Attr) == CharAttrFaceName(R.First);
        R.Size = R.Size && S->Attr.Size == R.First.Size;
        R.Bold = R.Bold && (S->Attr.Bold != 0) == (R.First.Bold != 0);
        R.Italic = R.Italic && (S->Attr.Italic != 0) == (R.First.Italic != 0);
    }
    return R;
}

void ClearEdit(TCustomEditTrackBarWex* Edit)
{
    Edit->SetPosition(0);
    Edit->setText(QString());
}

// The character length Edit stands for set to Points on the selection.
void SetLength(const TfrmObjProperty& F, TCustomEditTrackBarWex* Edit, TTextAttributesTavroSel& A, double Points)
{
    if (Edit == F.edtSize)
        A.SetSize(Points);
    else if (Edit == F.edtBase)
        A.SetBase(Points);
    else
        A.SetSpacing(Points);
}

// The window's focus step from its focus widget: Tab leaves the rich edit
// as it leaves any other control (the edit itself keeps Tab while editable).
struct TFocusStep : QWidget {
    static bool Move(QWidget* W, bool Next) { return (W->window()->*(&TFocusStep::focusNextPrevChild))(Next); }
};

} // namespace

// The rich edit's own keys for the page: Ctrl+B and Ctrl+I toggle the style
// buttons (the window's shortcuts do not take them first); Tab and
// Shift+Tab move the focus, as everywhere else on the page.
class TTextPageKeys : public QObject {
public:
    TTextPageKeys(TfrmObjProperty& Form) : QObject(&Form), FForm(Form) {}

    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (Event->type() != QEvent::KeyPress && Event->type() != QEvent::ShortcutOverride)
            return false;
        auto* K = static_cast<QKeyEvent*>(Event);
        const Qt::KeyboardModifiers Mods = K->modifiers() & ~Qt::KeypadModifier;
        if (Mods == Qt::ControlModifier && (K->key() == Qt::Key_B || K->key() == Qt::Key_I)) {
            K->accept();
            if (Event->type() == QEvent::KeyPress)
                if (QAction* A = K->key() == Qt::Key_B ? FForm.tbtnBold : FForm.tbtnItalic)
                    A->trigger();
            return true;
        }
        if (Event->type() == QEvent::KeyPress && (K->key() == Qt::Key_Tab || K->key() == Qt::Key_Backtab) &&
            !(Mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
            if (auto* W = qobject_cast<QWidget*>(Watched))
                TFocusStep::Move(W, K->key() == Qt::Key_Tab && !(Mods & Qt::ShiftModifier));
            return true;
        }
        return false;
    }

private:
    TfrmObjProperty& FForm;
};

void TfrmObjProperty::BindTextPage()
{
    const QList<QAction*> Styles = ToolBarFontStyle->actions();
    tbtnBold = Styles.value(0);
    tbtnItalic = Styles.value(1);
    tbtnBold->setObjectName("tbtnBold");
    tbtnItalic->setObjectName("tbtnItalic");
    connect(tbtnBold, &QAction::triggered, this, [this] { tbtnFontClick(tbtnBold); });
    connect(tbtnItalic, &QAction::triggered, this, [this] { tbtnFontClick(tbtnItalic); });
    // Character lengths change the text live while typed or dragged and are
    // recorded as one command when the edit is committed.
    for (TEditTrackBarWex* E : {edtSize, edtBase, edtSpacing}) {
        E->OnChange = [this, E](QObject*) { TextLengthLive(E); };
        E->OnCommit = [this, E](QObject*) { EdtFontClick(E); };
    }
    for (QComboBox* C : std::initializer_list<QComboBox*>{cmbUTSize, cmbUTBase, cmbUTSpacing})
        connect(C, &QComboBox::currentIndexChanged, this, [this, C] { cmbUTChange(C); });
    connect(cmbLineSpacingRule, &QComboBox::currentIndexChanged, this, [this] { cmbLineSpacingRuleChange(); });
    connect(cmbUTLineSpacing, &QComboBox::currentIndexChanged, this, [this] { cmbUTLineSpacingChange(); });
    connect(cmbFace, &QComboBox::currentIndexChanged, this, [this] { cmbFaceChange(); });
    connect(btnRefFont, &QPushButton::clicked, this, [this] { btnRefFontClick(); });
    if (!FRichEditTav)
        return;
    // The zoom only scales what the edit shows, never the stored sizes.
    connect(cmbZoom, &QComboBox::currentIndexChanged, this, [this](int Index) {
        if (FiUpdating == 0 && Index >= 0 && FRichEditTav)
            FRichEditTav->SetZoom((Index + 1) * 10);
    });
    FRichEditTav->OnSelectionChange = [this] { RichEditSelectionChange(); };
    FRichEditTav->OnImeEdit = [this] {
        if (FBoundText)
            TakeCopies();
    };
    // While a value is dragged the view only repaints; the commit after it
    // takes the copies.
    FRichEditTav->OnChange = [this] {
        if (!FBoundText)
            return;
        if (FbModifying) {
            if (FDoc)
                FDoc->RepaintView();
        } else if (FbTextLiveApplying) {
            // A live change: the copies stay those of the last commit.
            RefreshAfterEdit(false);
        } else {
            ItemsEdited();
        }
    };
    FTextKeys = new TTextPageKeys(*this);
    RichEdit->installEventFilter(FTextKeys);
}

std::vector<TTextObj*> TfrmObjProperty::TextTargets() const
{
    std::vector<TTextObj*> Texts;
    for (TDrawItem* T : FTargets)
        if (auto* Text = dynamic_cast<TTextObj*>(T))
            Texts.push_back(Text);
    return Texts;
}

int32_t& TfrmObjProperty::TextUnitOf(TCustomEditTrackBarWex* Edit)
{
    if (Edit == edtSize)
        return FiUnitSize;
    if (Edit == edtBase)
        return FiUnitBase;
    if (Edit == edtSpacing)
        return FiUnitSpacing;
    throw EUserError("cmbUTSizeChange: SetTextProperty");
}

void TfrmObjProperty::FitTextEdits()
{
    // Each length edit holds the widest value of any of its units (and rules).
    auto Fit = [](TCustomEditTrackBarWex* Edit, std::initializer_list<TRange> Ranges) {
        TEditTrackBarWex Probe;
        Probe.setFont(Edit->font());
        QStringList Texts;
        for (const TRange& R : Ranges) {
            ApplyRange(&Probe, R);
            Texts << Probe.WidestText();
        }
        FitEditWidth(Edit, Texts);
    };
    const auto& S = SizeRanges;
    const auto& O = OffsetRanges;
    const auto& L = LineLengthRanges;
    Fit(edtSize, {S[0], S[1], S[2], S[3]});
    Fit(edtBase, {O[0], O[1], O[2], O[3]});
    Fit(edtSpacing, {O[0], O[1], O[2], O[3]});
    Fit(edtLineSpacing, {LineMultipleRange, L[0], L[1], L[2], L[3]});
}

void TfrmObjProperty::SetTextRanges(TCustomEditTrackBarWex* Edit, int32_t Unit)
{
    ApplyRange(Edit, (Edit == edtSize ? SizeRanges : OffsetRanges)[ValidUnit(Unit)]);
}

void TfrmObjProperty::SetLineSpacingRanges(int32_t Rule, int32_t Unit)
{
    ApplyRange(edtLineSpacing, Rule == LineSpacingMultiple ? LineMultipleRange : LineLengthRanges[ValidUnit(Unit)]);
}

// ---------------------------------------------------------------------------
// Loading

void TfrmObjProperty::LoadTextPage()
{
    TUpdating Lock(FiUpdating);
    // What the text is now is what a later commit starts from.
    FTextLiveOrigin.reset();
    FTextLiveFor = nullptr;
    auto* Text = dynamic_cast<TTextObj*>(FDrawItemBuf.get());
    if (!Text)
        return;
    const TParagraphStyle& P = Text->ParagraphStyle();
    const int32_t Rule = P.FLineSpacingRule;
    cmbLineSpacingRule->setCurrentIndex(Rule >= 0 && Rule <= 2 ? Rule : -1);
    LineSpacingUnitFollowsRule();
    if (Rule != LineSpacingMultiple)
        cmbUTLineSpacing->setCurrentIndex(P.SpacingUnit <= 3 ? P.SpacingUnit : -1);
    SetLineSpacingRanges(Rule, P.SpacingUnit);
    edtLineSpacing->SetPosition(P.LineSpacing);
    // The edits show the lengths in the units their combos name.
    FiUnitSize = ValidUnit(cmbUTSize->currentIndex());
    FiUnitBase = ValidUnit(cmbUTBase->currentIndex());
    FiUnitSpacing = ValidUnit(cmbUTSpacing->currentIndex());
    for (TEditTrackBarWex* E : {edtSize, edtBase, edtSpacing})
        SetTextRanges(E, TextUnitOf(E));
    if (FRichEditTav && FBoundText)
        FRichEditTav->SelAttributes().Update();
    RichEditSelectionChange();
}

int TfrmObjProperty::ListedFace(const QString& Face) const
{
    const int Index = cmbFace->findText(Face);
    if (Index >= 0 || Face.isEmpty())
        return Index;
    // Another name of an installed font: the box lists it by the one shown.
    const std::string Shown = InstalledFonts().ShownName(Face.toStdString());
    return Shown.empty() ? -1 : cmbFace->findText(QString::fromStdString(Shown));
}

void TfrmObjProperty::RichEditSelectionChange()
{
    TUpdating Lock(FiUpdating);
    if (!FRichEditTav || !FBoundText) {
        cmbFace->setCurrentIndex(-1);
        cmbFace->setPlaceholderText(QString());
        for (QAction* A : {tbtnBold, tbtnItalic}) {
            A->setChecked(false);
            A->setProperty("Mixed", true);
        }
        for (TEditTrackBarWex* E : {edtSize, edtBase, edtSpacing})
            ClearEdit(E);
        return;
    }
    const TSelectionStyle S = ScanSelection(*FRichEditTav);
    const QString Face = S.Face ? QString::fromStdString(Cp932ToUtf8(CharAttrFaceName(S.First))) : QString();
    const int FaceIndex = S.Face ? ListedFace(Face) : -1;
    cmbFace->setCurrentIndex(FaceIndex);
    // A face this machine lacks (a document from elsewhere, the factory
    // default) is still named, greyed, rather than leaving the box blank.
    cmbFace->setPlaceholderText(FaceIndex < 0 ? Face : QString());
    tbtnBold->setChecked(S.Bold && S.First.Bold != 0);
    tbtnBold->setProperty("Mixed", !S.Bold);
    tbtnItalic->setChecked(S.Italic && S.First.Italic != 0);
    tbtnItalic->setProperty("Mixed", !S.Italic);
    // The binding keeps pixels at the screen's resolution; the page shows
    // them in points converted at the page's.
    const double Dpi = FRichEditTav->ScreenDpi();
    auto Show = [this, Dpi](TCustomEditTrackBarWex* Edit, bool Uniform, int32_t Pixels) {
        if (!Uniform) {
            ClearEdit(Edit);
            return;
        }
        const int32_t Unit = TextUnitOf(Edit);
        Edit->SetPosition(RoundToUnit(ConvUnit(3, Unit, FiDPI, Pixels * 72.0 / Dpi), Unit));
    };
    const int32_t Consistent = FRichEditTav->SelAttributes().ConsistentBaseSpacing();
    Show(edtSize, S.Size, S.First.Size);
    Show(edtBase, (Consistent & 1) != 0, S.First.Rise);
    Show(edtSpacing, (Consistent & 2) != 0, S.First.ExtraAdvance);
}

// ---------------------------------------------------------------------------
// Character lengths

void TfrmObjProperty::TextLengthLive(TCustomEditTrackBarWex* Edit)
{
    if (FiUpdating > 0 || !FRichEditTav || !FBoundText || Edit->text().isEmpty())
        return;
    // A text on its way to a number ("-", "1.") changes nothing yet; a value
    // the commit refuses changes nothing either.
    const double Value = StrToFloatDef(Edit->text().trimmed().toStdString(), std::nan(""));
    if (!std::isfinite(Value))
        return;
    const double Points = ToPoint(TextUnitOf(Edit), FiDPI, Value);
    if (Points >= MaxCharAttrPoints || (Edit == edtSize && Points <= 0))
        return;
    TUpdating Lock(FiUpdating);
    HoldLive(Edit);
    if (!FTextLiveOrigin || FTextLiveFor != FBoundText) {
        FTextLiveOrigin = CreateDrawItem(FBoundText->GetClass(), nullptr, -1);
        MarkDrawItemSilent(*FTextLiveOrigin);
        FTextLiveOrigin->Assign(FBoundText);
        FTextLiveFor = FBoundText;
        FTextLiveInsertion = FRichEditTav->SelAttributes().InsertionStyle();
    }
    THistoryLock NoRecord(FBoundText->HistoryCommand());
    FbTextLiveApplying = true;
    try {
        SetLength(*this, Edit, FRichEditTav->SelAttributes(), Points);
    } catch (...) {
        FbTextLiveApplying = false;
        throw;
    }
    FbTextLiveApplying = false;
}

void TfrmObjProperty::RevertTextLive()
{
    std::unique_ptr<TDrawItem> Origin = std::move(FTextLiveOrigin);
    TTextObj* For = std::exchange(FTextLiveFor, nullptr);
    if (!Origin || For != FBoundText || !FBoundText || !FRichEditTav)
        return;
    int32_t Start = 0, Length = 0;
    FRichEditTav->GetSelection(Start, Length);
    {
        THistoryLock NoRecord(FBoundText->HistoryCommand());
        FBoundText->Invalidate(true);
        FBoundText->Assign(Origin.get());
        FBoundText->CalcExtentsAndInvalidate();
    }
    // Shown again with its selection; the page keeps the value being
    // committed (the selection's old style must not come back into it).
    std::function<void()> SelectionChange = std::exchange(FRichEditTav->OnSelectionChange, nullptr);
    try {
        FRichEditTav->SetTextObj(FBoundText);
        FRichEditTav->SetSelection(Start, Length);
    } catch (...) {
        FRichEditTav->OnSelectionChange = std::move(SelectionChange);
        throw;
    }
    FRichEditTav->OnSelectionChange = std::move(SelectionChange);
    FRichEditTav->SelAttributes().SetInsertionStyle(FTextLiveInsertion);
}

void TfrmObjProperty::EdtFontClick(TCustomEditTrackBarWex* Edit)
{
    if (FiUpdating > 0)
        return;
    TUpdating Lock(FiUpdating);
    // The value is recorded against the text as it was before it went live.
    RevertTextLive();
    SetTextProperty(Edit);
}

namespace {

void ApplyPoints(TfrmObjProperty& F, TCustomEditTrackBarWex* Edit, double Points)
{
    TRichEditTav* B = F.RichEditTav();
    TTextAttributesTavroSel& A = B->SelAttributes();
    B->RunCommand(F.EditCaption(Edit), [&] { SetLength(F, Edit, A, Points); });
}

} // namespace

void TfrmObjProperty::SetTextProperty(TCustomEditTrackBarWex* Edit)
{
    const int32_t Unit = TextUnitOf(Edit);
    if (Edit->text().isEmpty() || !FRichEditTav || !FBoundText)
        return;
    // Not a number: the conversion error goes to the event boundary.
    const double Value = StrToFloat(Edit->text().toStdString());
    const double Points = ToPoint(Unit, FiDPI, Value);
    if (Points >= MaxCharAttrPoints) {
        OnTextBeep ? OnTextBeep() : QApplication::beep();
        return;
    }
    ApplyPoints(*this, Edit, Points);
}

void TfrmObjProperty::cmbUTChange(QComboBox* Combo)
{
    if (FiUpdating > 0)
        return;
    TCustomEditTrackBarWex* Edit = Combo == cmbUTSize ? edtSize
                                   : Combo == cmbUTBase ? edtBase
                                   : Combo == cmbUTSpacing ? edtSpacing
                                                           : nullptr;
    if (!Edit)
        throw EUserError("cmbUTSizeChange: Name Invalidate");
    int32_t& Last = TextUnitOf(Edit);
    const int32_t New = Combo->currentIndex();
    if (New < 0 || New > 3 || New == Last)
        return;
    TUpdating Lock(FiUpdating);
    const int32_t Old = Last;
    Last = New;
    // A mixed selection shows no value: there is nothing to convert, and
    // nothing may be applied to the characters.
    const bool Mixed = Edit->text().isEmpty();
    const double Value = Mixed ? 0 : Edit->Position();
    SetTextRanges(Edit, New);
    if (Mixed) {
        ClearEdit(Edit);
        return;
    }
    const double Converted = ConvUnit(Old, New, FiDPI, Value);
    Edit->SetPosition(RoundToUnit(Converted, New));
    if (!FRichEditTav || !FBoundText)
        return;
    // The characters change only when the value in the new unit comes to
    // other pixels than they have; then as one command.
    const double Points = ToPoint(New, FiDPI, Converted);
    const int32_t Pixels = int32_t(RoundOff(FRichEditTav->ScreenDpi() / 72.0 * Points));
    const TSelectionStyle S = ScanSelection(*FRichEditTav);
    const int32_t Consistent = FRichEditTav->SelAttributes().ConsistentBaseSpacing();
    const bool Same = Edit == edtSize    ? S.Size && S.First.Size == Pixels
                      : Edit == edtBase ? (Consistent & 1) && S.First.Rise == Pixels
                                        : (Consistent & 2) && S.First.ExtraAdvance == Pixels;
    if (!Same && Points < MaxCharAttrPoints)
        ApplyPoints(*this, Edit, Points);
}

// ---------------------------------------------------------------------------
// Line spacing

void TfrmObjProperty::cmbLineSpacingRuleChange()
{
    if (FiUpdating > 0)
        return;
    auto* Buf = dynamic_cast<TTextObj*>(FDrawItemBuf.get());
    const std::vector<TTextObj*> Texts = TextTargets();
    const int32_t New = cmbLineSpacingRule->currentIndex();
    if (!Buf || Texts.empty() || New < 0 || New == Buf->ParagraphStyle().FLineSpacingRule)
        return;
    const int32_t Old = Buf->ParagraphStyle().FLineSpacingRule;
    {
        TUpdating Lock(FiUpdating);
        RunCommand("行間の設定", [&] {
            for (TTextObj* T : Texts)
                T->SetLineSpacingRule(New);
            LineSpacingUnitFollowsRule();
            int32_t Unit = Buf->ParagraphStyle().SpacingUnit;
            double Value = Buf->ParagraphStyle().LineSpacing;
            if (Old == LineSpacingMultiple && New != LineSpacingMultiple) {
                // A multiple means nothing as a length: a usual line height.
                Value = 36.0;
                Unit = 0;
                for (TTextObj* T : Texts) {
                    T->SetLineSpacing(Value);
                    T->SetSpacingUnit(uint8_t(Unit));
                }
                cmbUTLineSpacing->setCurrentIndex(0);
            } else if (New == LineSpacingMultiple) {
                Value = 1.0;
                for (TTextObj* T : Texts)
                    T->SetLineSpacing(Value);
            } else {
                cmbUTLineSpacing->setCurrentIndex(Unit <= 3 ? Unit : -1);
            }
            SetLineSpacingRanges(New, Unit);
            edtLineSpacing->SetPosition(Value);
        });
    }
    ItemsEdited();
}

void TfrmObjProperty::cmbUTLineSpacingChange()
{
    if (FiUpdating > 0)
        return;
    auto* Buf = dynamic_cast<TTextObj*>(FDrawItemBuf.get());
    const std::vector<TTextObj*> Texts = TextTargets();
    if (!Buf || Texts.empty())
        return;
    const TParagraphStyle& P = Buf->ParagraphStyle();
    const int32_t New = cmbUTLineSpacing->currentIndex();
    if (P.FLineSpacingRule == LineSpacingMultiple || New < 0 || New > 3 || New == P.SpacingUnit)
        return;
    {
        TUpdating Lock(FiUpdating);
        SetLineSpacingRanges(P.FLineSpacingRule, New);
        const double Value = P.SpacingUnit <= 3 ? ConvUnit(P.SpacingUnit, New, FiDPI, P.LineSpacing) : P.LineSpacing;
        RunCommand("行間の単位の設定", [&] {
            for (TTextObj* T : Texts) {
                T->SetSpacingUnit(uint8_t(New));
                T->SetLineSpacing(Value);
            }
        });
        edtLineSpacing->SetPosition(RoundToUnit(Value, New));
    }
    ItemsEdited();
}

// ---------------------------------------------------------------------------
// Face and style

void TfrmObjProperty::tbtnFontClick(QAction* Button)
{
    if (FiUpdating > 0 || !FRichEditTav || !FBoundText)
        return;
    const bool Bold = Button == tbtnBold;
    const bool Down = Button->isChecked();
    Button->setProperty("Mixed", false);
    FRichEditTav->RunCommand(Bold ? "太字の設定／解除" : "斜体の設定／解除", [&] {
        if (Button != tbtnBold && Button != tbtnItalic)
            throw EUserError("tbtnFontClick: Name Invalidate");
        TTextAttributesTavroSel& A = FRichEditTav->SelAttributes();
        Bold ? A.SetBold(Down) : A.SetItalic(Down);
    });
    TakeCopies();
}

void TfrmObjProperty::cmbFaceChange()
{
    if (FiUpdating > 0 || cmbFace->currentIndex() < 0 || !FRichEditTav || !FBoundText)
        return;
    const std::string Face = cmbFace->currentText().toStdString();
    FRichEditTav->RunCommand("フォント名の変更", [&] { FRichEditTav->SelAttributes().SetName(Face); });
    TakeCopies();
}

void TfrmObjProperty::btnRefFontClick()
{
    if (!FRichEditTav || !FBoundText)
        return;
    const std::string Current = Cp932ToUtf8(CharAttrFaceName(ScanSelection(*FRichEditTav).First));
    std::string Face = Current;
    const QTextCursor C = FRichEditTav->Control()->textCursor();
    std::string Sample;
    if (C.hasSelection())
        Sample = C.selectedText().replace(QChar::ParagraphSeparator, '\n').toStdString();
    bool Ok;
    if (PickFontName) {
        Ok = PickFontName(Face, Sample);
    } else {
        TFontNameDialog Dialog(this);
        Dialog.FontName = Face;
        Dialog.Text = Sample;
        Dialog.IniFile = &AppIniFile();
        Dialog.RegistryName = "FontNameDialog";
        Ok = Dialog.Execute();
        Face = Dialog.FontName;
    }
    const int Index = Ok && Face != Current ? ListedFace(QString::fromStdString(Face)) : -1;
    if (Index < 0)
        return;
    {
        TUpdating Lock(FiUpdating);
        cmbFace->setCurrentIndex(Index);
    }
    cmbFaceChange();
}
