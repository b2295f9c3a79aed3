// The text page: each change of the characters' style or of the paragraph's
// line spacing is one command that undoes to the text object's exact prior
// stream; mixed selections show and change nothing they do not hold.
#include "panel_test_support.h"
#include "picker_test_support.h"

#include "editors/rich_edit_q.h"
#include "editors/rich_edit_tav.h"
#include "foundation/streams.h"
#include "platform/cp932.h"
#include "platform/fonts.h"
#include "window_wait.h"

#include <QAction>
#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>

#include <cstdlib>
#include <functional>

namespace {

class FrmObjPropertyText : public PanelTest {
public:
    // "abcd" in sizes 20, 21, 22, 23, one face, at 96 dpi.
    TTextObj* AddText(const std::string& Utf8 = "abcd")
    {
        auto Item = std::make_unique<TTextObj>(&Page(), -1);
        Item->SetPosition(10, 10);
        Item->SetText(Utf8ToCp932(Utf8));
        TListCharStyle& S = Item->RichText().Styles;
        for (int32_t I = 0, N = 0; I < S.Count(); ++I)
            if (TCharStyle* C = S.GetItem(I)) {
                SetCharAttrFaceName(C->Attr, "DejaVu Sans");
                C->Attr.Size = 20 + N++;
            }
        auto* T = static_cast<TTextObj*>(Page().RootGroup().AddChild(std::move(Item), -1));
        Load({T});
        return T;
    }
    std::vector<uint8_t> Stream(TTextObj* T)
    {
        TMemoryStream S;
        T->WriteToStream(S);
        const auto* P = static_cast<const uint8_t*>(S.Memory());
        return std::vector<uint8_t>(P, P + S.Size());
    }
    TRichEditTav& Binding() { return *Panel.RichEditTav(); }
    TCharStyle* Style(TTextObj* T, int32_t I) { return T->RichText().Styles.GetItem(I); }
    // One new command Caption since the load, marking the document; its
    // undo gives the stream Before back.
    void ExpectOneUndoableStep(TTextObj* T, const std::vector<uint8_t>& Before, const std::string& Caption)
    {
        EXPECT_EQ(Steps(), 1) << Caption;
        EXPECT_TRUE(Doc->Modified()) << Caption;
        EXPECT_EQ(History().UndoCaption(), Caption);
        History().Undo();
        EXPECT_EQ(Stream(T), Before) << Caption;
    }
    static void Commit(TfrmObjProperty& F, TEditTrackBarWex* Edit, const char* Text)
    {
        Edit->setText(Text);
        F.EdtFontClick(Edit);
    }
    void Key(int K, Qt::KeyboardModifiers Mods = Qt::NoModifier, const QString& Text = QString())
    {
        QKeyEvent E(QEvent::KeyPress, K, Mods, Text);
        QApplication::sendEvent(Panel.RichEdit, &E);
    }
};

TEST_F(FrmObjPropertyText, RuleSwitchGives36PixelsAndBackGivesOneEachOneUndo)
{
    TTextObj* T = AddText();
    const TParagraphStyle& P = T->ParagraphStyle();
    const auto Multiple = Stream(T);
    Panel.cmbLineSpacingRule->setCurrentIndex(2); // "固定値"
    EXPECT_EQ(P.FLineSpacingRule, 2);
    EXPECT_EQ(P.LineSpacing, 36.0);
    EXPECT_EQ(P.SpacingUnit, 0);
    EXPECT_EQ(Panel.edtLineSpacing->text(), "36");
    EXPECT_EQ(Panel.cmbUTLineSpacing->currentText(), "pixel");
    EXPECT_EQ(Panel.edtLineSpacing->Max(), 999);
    Panel.KeepTextCaret();
    ExpectOneUndoableStep(T, Multiple, "行間の設定");
    Panel.ReloadText(); // as the window does around a step: the page follows
    EXPECT_EQ(Panel.cmbLineSpacingRule->currentIndex(), 0);
    EXPECT_EQ(Panel.edtLineSpacing->text(), "1");
    EXPECT_EQ(Panel.cmbUTLineSpacing->currentText(), "行");

    Panel.cmbLineSpacingRule->setCurrentIndex(2);
    Panel.cmbUTLineSpacing->setCurrentIndex(3); // point: 36 pixels are 27 points
    EXPECT_EQ(P.SpacingUnit, 3);
    EXPECT_DOUBLE_EQ(P.LineSpacing, 27.0);
    EXPECT_EQ(History().UndoCaption(), "行間の単位の設定");
    Load({T});
    const auto Fixed = Stream(T);
    Panel.cmbLineSpacingRule->setCurrentIndex(0);
    EXPECT_EQ(P.LineSpacing, 1.0);
    EXPECT_EQ(Panel.cmbUTLineSpacing->currentText(), "行");
    EXPECT_EQ(Panel.edtLineSpacing->Max(), 10);
    ExpectOneUndoableStep(T, Fixed, "行間の設定");
}

TEST_F(FrmObjPropertyText, SizesOf1000PointsAndMoreAreRefusedWithABeep)
{
    // Only the base and the spacing reach 1000 points within their edits'
    // ranges (99 cm or inches); a size above its edit's range is its Max.
    struct TCase {
        TEditTrackBarWex* TfrmObjProperty::*Edit;
        TComboBoxWex* TfrmObjProperty::*UnitCombo;
        int Unit;
        const char* Text;
        bool Refused;
    } const Cases[] = {
        {&TfrmObjProperty::edtBase, &TfrmObjProperty::cmbUTBase, 1, "36", true},
        {&TfrmObjProperty::edtBase, &TfrmObjProperty::cmbUTBase, 1, "35", false},
        {&TfrmObjProperty::edtSpacing, &TfrmObjProperty::cmbUTSpacing, 2, "14", true},
        {&TfrmObjProperty::edtSpacing, &TfrmObjProperty::cmbUTSpacing, 2, "13.88", false},
        {&TfrmObjProperty::edtSize, &TfrmObjProperty::cmbUTSize, 3, "1000", false},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Text);
        TTextObj* T = AddText();
        int Beeps = 0;
        Panel.OnTextBeep = [&] { ++Beeps; };
        (Panel.*C.UnitCombo)->setCurrentIndex(C.Unit);
        Load({T});
        Binding().SetSelection(0, 4);
        TEditTrackBarWex* E = Panel.*C.Edit;
        E->setText(C.Text);
        Panel.EdtFontClick(E);
        EXPECT_EQ(Beeps, C.Refused ? 1 : 0);
        EXPECT_EQ(Steps(), C.Refused ? 0 : 1);
        if (E == Panel.edtSize)
            EXPECT_EQ(E->text(), "300"); // past its range: its Max, shown and stored
        (Panel.*C.UnitCombo)->setCurrentIndex(0);
    }
}

// Each style change over a selection of four differing sizes.
TEST_F(FrmObjPropertyText, StyleChangesOverMixedSelectionsAreOneCommandEach)
{
    ASSERT_GE(Panel.cmbFace->findText("DejaVu Sans Mono"), 0);
    struct TCase {
        const char* Caption;
        std::function<void(TfrmObjProperty&)> Change;
        std::function<bool(const TrecCharAttr&)> Took;
    } const Cases[] = {
        {"文字サイズの設定", [](TfrmObjProperty& F) { Commit(F, F.edtSize, "30"); },
         [](const TrecCharAttr& A) { return A.Size == 30; }},
        {"縦位置の設定", [](TfrmObjProperty& F) { Commit(F, F.edtBase, "-6"); },
         [](const TrecCharAttr& A) { return A.Rise == -6; }},
        {"字間の設定", [](TfrmObjProperty& F) { Commit(F, F.edtSpacing, "4"); },
         [](const TrecCharAttr& A) { return A.ExtraAdvance == 4; }},
        {"太字の設定／解除", [](TfrmObjProperty& F) { F.tbtnBold->trigger(); },
         [](const TrecCharAttr& A) { return A.Bold != 0; }},
        {"斜体の設定／解除", [](TfrmObjProperty& F) { F.tbtnItalic->trigger(); },
         [](const TrecCharAttr& A) { return A.Italic != 0; }},
        {"フォント名の変更", [](TfrmObjProperty& F) { F.cmbFace->setCurrentIndex(F.cmbFace->findText("DejaVu Sans Mono")); },
         [](const TrecCharAttr& A) { return CharAttrFaceName(A) == "DejaVu Sans Mono"; }},
    };
    for (const TCase& C : Cases) {
        TTextObj* T = AddText();
        Binding().SetSelection(0, 4);
        const auto Before = Stream(T);
        C.Change(Panel);
        for (int32_t I = 0; I < 4; ++I)
            EXPECT_TRUE(C.Took(Style(T, I)->Attr)) << C.Caption << " " << I;
        EXPECT_EQ(Panel.FiUpdating, 0);
        ExpectOneUndoableStep(T, Before, C.Caption);
    }
}

TEST_F(FrmObjPropertyText, AMixedSelectionShowsEmptyLengthsAndAUnitChangeSetsNothing)
{
    TTextObj* T = AddText();
    Binding().SetSelection(1, 1);
    EXPECT_EQ(Panel.edtSize->text(), "21");
    EXPECT_EQ(Panel.edtBase->text(), "0");
    Binding().SetSelection(0, 4);
    EXPECT_EQ(Panel.edtSize->text(), "");
    EXPECT_EQ(Panel.edtBase->text(), "0"); // the vertical positions agree
    EXPECT_EQ(Panel.cmbFace->currentText(), "DejaVu Sans");
    const auto Before = Stream(T);
    for (int Unit : {1, 2, 3, 0})
        Panel.cmbUTSize->setCurrentIndex(Unit);
    EXPECT_EQ(Panel.edtSize->text(), "");
    EXPECT_EQ(Stream(T), Before);
    EXPECT_EQ(Steps(), 0);
    // A uniform value shown in another unit keeps its pixels: nothing recorded.
    Binding().SetSelection(3, 1);
    Panel.cmbUTSize->setCurrentIndex(1);
    EXPECT_EQ(Panel.edtSize->text(), "0.61"); // 23 pixels
    EXPECT_EQ(Panel.edtSize->Max(), 10);
    Panel.cmbUTSize->setCurrentIndex(0);
    EXPECT_EQ(Panel.edtSize->text(), "23");
    EXPECT_EQ(Stream(T), Before);
    EXPECT_EQ(Steps(), 0);
}

TEST_F(FrmObjPropertyText, ANonNumericEntryLeavesThePageWorking)
{
    TTextObj* T = AddText();
    Binding().SetSelection(0, 4);
    Panel.edtSize->setText("abc");
    EXPECT_THROW(Panel.EdtFontClick(Panel.edtSize), EConvertError);
    EXPECT_EQ(Panel.FiUpdating, 0);
    EXPECT_EQ(Steps(), 0);
    // Typed and committed with Enter, the next value is taken.
    Panel.edtSize->setText("28");
    QTest::keyClick(Panel.edtSize, Qt::Key_Return);
    EXPECT_EQ(Style(T, 2)->Attr.Size, 28);
    EXPECT_EQ(History().UndoCaption(), "文字サイズの設定");
}

TEST_F(FrmObjPropertyText, CtrlBAndCtrlIToggleTheSelectionUndoably)
{
    TTextObj* T = AddText();
    Binding().SetSelection(1, 2);
    const auto Before = Stream(T);
    Key(Qt::Key_B, Qt::ControlModifier);
    EXPECT_TRUE(Panel.tbtnBold->isChecked());
    EXPECT_EQ(Style(T, 1)->Attr.Bold, 1);
    EXPECT_EQ(Style(T, 0)->Attr.Bold, 0);
    ExpectOneUndoableStep(T, Before, "太字の設定／解除");
    Load({T});
    Binding().SetSelection(1, 2);
    Key(Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(Style(T, 2)->Attr.Italic, 1);
    ExpectOneUndoableStep(T, Before, "斜体の設定／解除");
    // The shortcut override is taken, so that no window shortcut runs instead.
    QKeyEvent Override(QEvent::ShortcutOverride, Qt::Key_B, Qt::ControlModifier);
    Override.ignore();
    QApplication::sendEvent(Panel.RichEdit, &Override);
    EXPECT_TRUE(Override.isAccepted());
}

// Decision: Tab moves the focus on (Ctrl+I is italic); it changes nothing.
TEST_F(FrmObjPropertyText, TabMovesTheFocusAndChangesNothing)
{
    TTextObj* T = AddText();
    QWidget* Window = Panel.RichEdit->window();
    for (QWidget* W = Panel.TabSheetText; W; W = W->parentWidget())
        if (auto* Tabs = qobject_cast<QTabWidget*>(W))
            Tabs->setCurrentWidget(Panel.TabSheetText);
    Window->show();
    ASSERT_TRUE(ActivateAndWait(Window));
    Panel.RichEdit->setFocus();
    ASSERT_TRUE(GetsKeys(Panel.RichEdit));
    Binding().SetSelection(0, 4);
    const auto Before = Stream(T);
    QTest::keyClick(Panel.RichEdit, Qt::Key_Tab);
    EXPECT_TRUE(WaitUntil([&] { return QApplication::focusWidget() && !Panel.RichEdit->hasFocus(); }))
        << DescribeActivation();
    EXPECT_EQ(Stream(T), Before);
    EXPECT_FALSE(Panel.tbtnItalic->isChecked());
    EXPECT_EQ(Steps(), 0);
    Window->hide();
}

// Decision: any text CP932 holds is typed, not only ASCII; other text is
// refused with a message.
TEST_F(FrmObjPropertyText, TypingTakesEveryCp932Character)
{
    TTextObj* T = AddText("ab");
    TBoxRecorder Boxes;
    Binding().SetSelection(1, 0);
    Key(Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8("あ"));
    EXPECT_EQ(History().UndoCaption(), "１文字挿入");
    Key(Qt::Key_AsciiTilde, Qt::NoModifier, "~");
    Key(Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8("ｶ"));
    QInputMethodEvent Commit;
    Commit.setCommitString(QString::fromUtf8("漢字"));
    QApplication::sendEvent(Panel.RichEdit, &Commit);
    EXPECT_EQ(T->Text(), Utf8ToCp932("aあ~ｶ漢字b"));
    EXPECT_TRUE(Boxes.Texts.empty());
    Key(Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8("€"));
    EXPECT_EQ(Boxes.Texts.size(), 1u);
    EXPECT_EQ(T->Text(), Utf8ToCp932("aあ~ｶ漢字b"));
}

TEST_F(FrmObjPropertyText, SelectionChangesShowTheCommonStyle)
{
    TTextObj* T = AddText();
    Style(T, 1)->Attr.Bold = 1;
    Style(T, 2)->Attr.Bold = 1;
    Style(T, 2)->Attr.Rise = 3;
    Load({T});
    struct TCase {
        int32_t Start, Length;
        const char *Size, *Base;
        bool Bold, BoldMixed;
    } const Cases[] = {{1, 1, "21", "0", true, false},
                       {1, 2, "", "", true, false},
                       {0, 2, "", "0", false, true},
                       {2, 1, "22", "3", true, false}};
    for (const TCase& C : Cases) {
        Binding().SetSelection(C.Start, C.Length);
        EXPECT_EQ(Panel.edtSize->text(), C.Size) << C.Start << "," << C.Length;
        EXPECT_EQ(Panel.edtBase->text(), C.Base) << C.Start << "," << C.Length;
        EXPECT_EQ(Panel.tbtnBold->isChecked(), C.Bold) << C.Start << "," << C.Length;
        EXPECT_EQ(Panel.tbtnBold->property("Mixed").toBool(), C.BoldMixed) << C.Start << "," << C.Length;
    }
    EXPECT_EQ(Steps(), 0);
}

TEST_F(FrmObjPropertyText, AFaceThisMachineLacksIsStillNamed)
{
    TTextObj* T = AddText();
    struct TCase { const char* Face; int32_t Start, Length; QString Shown; bool Listed; };
    const TCase Cases[] = {{"ＭＳ Ｐゴシック", 0, 4, "ＭＳ Ｐゴシック", false},
                           {"DejaVu Sans", 0, 4, "DejaVu Sans", true},
                           {"ＭＳ Ｐゴシック", 0, 1, "ＭＳ Ｐゴシック", false}};
    for (const TCase& C : Cases) {
        for (int32_t I = 0; I < 4; ++I)
            SetCharAttrFaceName(Style(T, I)->Attr, Utf8ToCp932(C.Face));
        Load({T});
        Binding().SetSelection(C.Start, C.Length);
        EXPECT_EQ(Panel.cmbFace->currentIndex() >= 0, C.Listed) << C.Face;
        // What the box shows: the listed item, or the name greyed in its place.
        EXPECT_EQ(C.Listed ? Panel.cmbFace->currentText() : Panel.cmbFace->placeholderText(), C.Shown) << C.Face;
        if (C.Listed)
            EXPECT_TRUE(Panel.cmbFace->placeholderText().isEmpty());
    }
    // Mixed faces name none.
    SetCharAttrFaceName(Style(T, 3)->Attr, "DejaVu Sans");
    Load({T});
    Binding().SetSelection(0, 4);
    EXPECT_EQ(Panel.cmbFace->currentIndex(), -1);
    EXPECT_TRUE(Panel.cmbFace->placeholderText().isEmpty());
    EXPECT_EQ(Steps(), 0);
}

TEST_F(FrmObjPropertyText, TheFacePickerGetsTheSelectionAndSetsAnotherListedFace)
{
    ASSERT_GE(Panel.cmbFace->findText("DejaVu Sans Mono"), 0);
    TTextObj* T = AddText();
    Binding().SetSelection(1, 2);
    const QString Other = "DejaVu Sans Mono";
    std::string SeenFace, SeenSample;
    Panel.PickFontName = [&](std::string& Face, const std::string& Sample) {
        SeenFace = Face;
        SeenSample = Sample;
        Face = Other.toStdString();
        return true;
    };
    const auto Before = Stream(T);
    Panel.btnRefFont->click();
    EXPECT_EQ(SeenFace, "DejaVu Sans");
    EXPECT_EQ(SeenSample, "bc");
    EXPECT_EQ(CharAttrFaceName(Style(T, 1)->Attr), Utf8ToCp932(Other.toStdString()));
    EXPECT_EQ(CharAttrFaceName(Style(T, 0)->Attr), "DejaVu Sans");
    ExpectOneUndoableStep(T, Before, "フォント名の変更");
    // Cancelled, or the same face: nothing.
    Load({T});
    Panel.PickFontName = [](std::string&, const std::string&) { return false; };
    Panel.btnRefFont->click();
    Panel.PickFontName = [](std::string&, const std::string&) { return true; };
    Panel.btnRefFont->click();
    EXPECT_EQ(Steps(), 0);
}

TEST_F(FrmObjPropertyText, TheZoomScalesTheEditOnly)
{
    TTextObj* T = AddText();
    const auto Before = Stream(T);
    QStringList Zooms;
    for (int I = 0; I < Panel.cmbZoom->count(); ++I)
        Zooms << Panel.cmbZoom->itemText(I);
    EXPECT_EQ(Zooms.join(' '), "10% 20% 30% 40% 50% 60% 70% 80% 90% 100%");
    EXPECT_EQ(Panel.cmbZoom->currentText(), "100%");
    Panel.cmbZoom->setCurrentIndex(4);
    EXPECT_EQ(Binding().Zoom(), 50);
    Panel.cmbZoom->setCurrentIndex(9);
    EXPECT_EQ(Binding().Zoom(), 100);
    EXPECT_EQ(Stream(T), Before);
    EXPECT_EQ(Steps(), 0);
}

TEST_F(FrmObjPropertyText, ThePageGrabs)
{
    TTextObj* T = AddText("文字abc");
    Binding().SetSelection(0, 2);
    Panel.TabSheetText->resize(556, 196);
    const QImage Image = Panel.TabSheetText->grab().toImage();
    ASSERT_FALSE(Image.isNull());
    if (const char* Dir = std::getenv("TAVRO_GRAB_DIR"))
        Image.save(QString::fromUtf8(Dir) + "/text_page.png");
    EXPECT_EQ(T->Text(), Utf8ToCp932("文字abc"));
}

} // namespace

namespace {

// Sizes, vertical positions and spacings of the four characters.
std::string Lengths(TTextObj* T)
{
    std::string S;
    for (int32_t I = 0; I < 4; ++I) {
        const TrecCharAttr& A = T->RichText().Styles.GetItem(I)->Attr;
        S += std::to_string(A.Size) + "/" + std::to_string(A.Rise) + "/" + std::to_string(A.ExtraAdvance) + " ";
    }
    return S;
}

} // namespace

// Size, vertical position and spacing follow the edit while it is typed in
// or dragged, and the commit records one command that undoes to the exact
// prior text.
TEST_F(FrmObjPropertyText, LengthsAreLiveWhileTypedOrDraggedAndOneCommandAtCommit)
{
    struct TCase {
        TEditTrackBarWex* TfrmObjProperty::*Edit;
        bool Drag;
        std::vector<const char*> Steps; // typed, or dragged through
        std::vector<const char*> Live;  // Lengths after each
        const char* Caption;
    };
    const char* Start = "20/0/0 21/0/0 22/0/0 23/0/0 ";
    const TCase Cases[] = {
        {&TfrmObjProperty::edtSize, false, {"3", "0"},
         {"3/0/0 3/0/0 3/0/0 3/0/0 ", "30/0/0 30/0/0 30/0/0 30/0/0 "}, "文字サイズの設定"},
        {&TfrmObjProperty::edtBase, false, {"-", "6"},
         {Start, "20/-6/0 21/-6/0 22/-6/0 23/-6/0 "}, "縦位置の設定"},
        {&TfrmObjProperty::edtSpacing, false, {"1", "2"},
         {"20/0/1 21/0/1 22/0/1 23/0/1 ", "20/0/12 21/0/12 22/0/12 23/0/12 "}, "字間の設定"},
        {&TfrmObjProperty::edtSize, true, {"40", "44", "48"},
         {"40/0/0 40/0/0 40/0/0 40/0/0 ", "44/0/0 44/0/0 44/0/0 44/0/0 ", "48/0/0 48/0/0 48/0/0 48/0/0 "},
         "文字サイズの設定"},
        {&TfrmObjProperty::edtSpacing, true, {"5", "-5"},
         {"20/0/5 21/0/5 22/0/5 23/0/5 ", "20/0/-5 21/0/-5 22/0/-5 23/0/-5 "}, "字間の設定"},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Caption);
        TTextObj* T = AddText();
        Binding().SetSelection(0, 4);
        ASSERT_EQ(Lengths(T), Start);
        const auto Before = Stream(T);
        TEditTrackBarWex* E = Panel.*C.Edit;
        E->setFocus();
        if (C.Drag) {
            Panel.ModifyStart(E);
            for (size_t I = 0; I < C.Steps.size(); ++I) {
                E->setText(C.Steps[I]);
                EXPECT_EQ(Lengths(T), C.Live[I]);
            }
            Panel.ModifyEnd(E);
        } else {
            E->selectAll();
            E->del();
            for (size_t I = 0; I < C.Steps.size(); ++I) {
                QTest::keyClicks(E, C.Steps[I]);
                EXPECT_EQ(Lengths(T), C.Live[I]);
            }
        }
        EXPECT_EQ(Steps(), 0);
        Panel.EdtFontClick(E); // the commit
        EXPECT_EQ(Lengths(T), C.Live.back());
        EXPECT_EQ(Panel.FiUpdating, 0);
        // The selection stays where it was.
        int32_t S = -1, L = -1;
        Binding().GetSelection(S, L);
        EXPECT_EQ(S, 0);
        EXPECT_EQ(L, 4);
        ExpectOneUndoableStep(T, Before, C.Caption);
        EXPECT_EQ(Lengths(T), Start);
    }
}

// The face box lists each installed font once, under the name the system
// shows; a face stored under another of its names is shown listed, never
// greyed as missing.
TEST_F(FrmObjPropertyText, AnInstalledFaceIsListedUnderItsShownNameAndNeverGreyed)
{
    const TInstalledFonts& Fonts = InstalledFonts();
    for (const TFontFace& F : Fonts.Faces())
        if (!F.Vertical)
            EXPECT_GE(Panel.ListedFace(QString::fromStdString(F.Name)), 0) << F.Name;
    std::vector<std::string> Listed;
    for (int I = 0; I < Panel.cmbFace->count(); ++I)
        Listed.push_back(Panel.cmbFace->itemText(I).toStdString());
    EXPECT_EQ(Listed, Fonts.ShownNames());
    if (!Fonts.Find("IPAPGothic"))
        GTEST_SKIP() << "no IPA P Gothic here";
    TTextObj* T = AddText();
    for (const char* Face : {"IPAPGothic", "IPA Pゴシック"}) {
        for (int32_t I = 0; I < 4; ++I)
            SetCharAttrFaceName(Style(T, I)->Attr, Utf8ToCp932(Face));
        Load({T});
        Binding().SetSelection(0, 4);
        EXPECT_EQ(Panel.cmbFace->currentText(), "IPA Pゴシック") << Face;
        EXPECT_TRUE(Panel.cmbFace->placeholderText().isEmpty()) << Face;
    }
    EXPECT_EQ(Steps(), 0);
}
