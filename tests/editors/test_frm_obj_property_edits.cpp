// Edits in the panel: live while typed or dragged, one command when
// committed, one command per one-step control, defaults without a step.
#include "panel_test_support.h"
#include "ui/popup_test_support.h"

#include "editors/frm_sel_color.h"
#include "foundation/app_environment.h"
#include "foundation/ini_file.h"
#include "foundation/streams.h"
#include "model/default_data.h"
#include "platform/cp932.h"
#include "platform/qt/qt_services.h"
#include "ui/panel_button.h"
#include "window_wait.h"

#include <QKeyEvent>
#include <QTest>
#include <QTextEdit>

#include <cmath>
#include <functional>

namespace {

using FrmObjPropertyEdits = PanelTest;

TEST_F(FrmObjPropertyEdits, ATrackBarDragIsOneStep)
{
    TRectObj* R = Add<TRectObj>(10, 10, 60, 40);
    Load({R});
    TEditTrackBarWex* E = Panel.edtObjAngle;
    Panel.ModifyStart(E);
    EXPECT_TRUE(History().IsLockAddHistory());
    for (const char* Step : {"30", "60", "90"}) {
        E->setText(Step);
        // Live: the shape turns, nothing is recorded.
        EXPECT_NEAR(R->Angle() * 180 / M_PI, QString(Step).toDouble(), 1e-3);
    }
    EXPECT_EQ(Steps(), 0);
    Panel.ModifyEnd(E);
    Panel.CommitEdit(E);
    EXPECT_EQ(Steps(), 1);
    EXPECT_EQ(History().UndoCaption(), "回転角の設定");
    EXPECT_NEAR(R->Angle(), M_PI / 2, 1e-6);
    EXPECT_TRUE(Doc->Modified());
    EXPECT_FALSE(History().IsLockAddHistory());
    EXPECT_EQ(Link.HandleStates, (std::vector<bool>{true, false}));
    EXPECT_GT(Link.Edited, 0);
    History().Undo();
    EXPECT_NEAR(R->Angle(), 0, 1e-6);
}

TEST_F(FrmObjPropertyEdits, AHeldSteppingKeyIsOneStep)
{
    TRectObj* R = Add<TRectObj>(10, 10, 60, 40);
    Load({R});
    TEditTrackBarWex* E = Panel.edtObjAngle;
    auto Send = [E](QEvent::Type Type, bool Repeat) {
        QKeyEvent Key(Type, Qt::Key_PageUp, Qt::NoModifier, QString(), Repeat);
        QCoreApplication::sendEvent(E, &Key);
    };
    Send(QEvent::KeyPress, false);
    for (int I = 0; I < 2; ++I) {
        Send(QEvent::KeyRelease, true);
        Send(QEvent::KeyPress, true);
    }
    EXPECT_TRUE(History().IsLockAddHistory());
    EXPECT_NEAR(R->Angle() * 180 / M_PI, 15, 1e-3);
    Send(QEvent::KeyRelease, false);
    EXPECT_EQ(Steps(), 1);
    EXPECT_EQ(History().UndoCaption(), "回転角の設定");
    EXPECT_FALSE(History().IsLockAddHistory());
    EXPECT_TRUE(Doc->Modified());
    History().Undo();
    EXPECT_NEAR(R->Angle(), 0, 1e-6);
}

TEST_F(FrmObjPropertyEdits, TypingAndEnterIsOneStepAndEnterAgainNone)
{
    TStarObj* S = Add<TStarObj>(0, 0, 100, 100);
    TrecStarParam P{};
    P.InnerRadius = 0.3;
    S->SetParam(P);
    Load({S});
    TEditTrackBarWex* E = Panel.edtRIn;
    ASSERT_EQ(E->text(), "30");
    E->selectAll();
    QTest::keyClicks(E, "50");
    EXPECT_DOUBLE_EQ(S->Param().InnerRadius, 0.5); // live
    EXPECT_EQ(Steps(), 0);
    QTest::keyClick(E, Qt::Key_Return);
    EXPECT_EQ(Steps(), 1);
    QString Caption = Panel.lblRIn->text();
    Caption.chop(1);
    EXPECT_EQ(History().UndoCaption(), (Caption + "の設定").toStdString());
    EXPECT_EQ(History().UndoCaption(), "内径の設定");
    EXPECT_EQ(Panel.edtAbsRIn->text(), "25");
    QTest::keyClick(E, Qt::Key_Return);
    EXPECT_EQ(Steps(), 1);
    History().Undo();
    EXPECT_DOUBLE_EQ(S->Param().InnerRadius, 0.3);
}

TEST_F(FrmObjPropertyEdits, ACommitKeepsTheEditsPrecision)
{
    TRectObj* R = Add<TRectObj>(10, 10, 60, 40);
    Load({R});
    Panel.edtObjAngle->setText("12.34");
    Panel.CommitEdit(Panel.edtObjAngle);
    EXPECT_NEAR(R->Angle() * 180 / M_PI, 12.34, 1e-4);

    auto Text = std::make_unique<TTextObj>(&Page(), -1);
    auto* T = static_cast<TTextObj*>(Page().RootGroup().AddChild(std::move(Text), -1));
    Load({T});
    Panel.edtLineSpacing->setText("1.5");
    Panel.CommitEdit(Panel.edtLineSpacing);
    EXPECT_DOUBLE_EQ(T->ParagraphStyle().LineSpacing, 1.5);
    EXPECT_EQ(History().UndoCaption(), "行間の設定");
}

// A rectangle whose parameter change raises after it was applied.
class TFailingRect : public TRectObj {
public:
    using TRectObj::TRectObj;
    bool DoSetRectParam(const TrecRectParam& Rec) override
    {
        TRectObj::DoSetRectParam(Rec);
        throw EUserError("refused");
    }
};

TEST_F(FrmObjPropertyEdits, ASetterThatRaisesRollsTheCommandBack)
{
    TRectObj* A = Add<TRectObj>(0, 0, 50, 40);
    TFailingRect* B = Add<TFailingRect>(0, 0, 50, 40);
    Load({A, B});
    Panel.BeginUpdate();
    Panel.edtCnrROut->setText("20");
    Panel.EndUpdate();
    EXPECT_THROW(Panel.CommitEdit(Panel.edtCnrROut), EUserError);
    EXPECT_EQ(A->Param().CornerRadius, 0);
    EXPECT_EQ(B->Param().CornerRadius, 0);
    EXPECT_FALSE(History().IsCommandOpen());
    EXPECT_EQ(History().LockCount(), 0);
    EXPECT_EQ(Steps(), 0);
    EXPECT_EQ(Panel.FiUpdating, 0);
}

TEST_F(FrmObjPropertyEdits, ALiveChangeThatRaisesPutsEveryItemBack)
{
    TRectObj* A = Add<TRectObj>(0, 0, 50, 40);
    TFailingRect* B = Add<TFailingRect>(0, 0, 50, 40);
    Load({A, B});
    TMemoryStream Before;
    Doc->SaveToStream(Before);
    TEditTrackBarWex* E = Panel.edtCnrROut;
    Panel.BeginUpdate();
    E->setText("20");
    Panel.EndUpdate();
    // As typed: A takes the value, then B raises after taking it too.
    EXPECT_THROW(E->OnChange(E), EUserError);
    EXPECT_EQ(A->Param().CornerRadius, 0);
    EXPECT_EQ(B->Param().CornerRadius, 0);
    TMemoryStream After;
    Doc->SaveToStream(After);
    EXPECT_EQ(std::string(static_cast<const char*>(After.Memory()), After.Size()),
              std::string(static_cast<const char*>(Before.Memory()), Before.Size()));
    EXPECT_EQ(Steps(), 0);
    EXPECT_EQ(History().LockCount(), 0);
    EXPECT_EQ(Panel.FiUpdating, 0);
}

struct TOneStep {
    const char* Caption;
    std::function<TDrawItem*(PanelTest&)> Make; // nil: a rectangle
    std::function<void(TfrmObjProperty&)> Act;
    std::function<bool(TDrawItem&)> Done;
};

TRectObj& AsRect(TDrawItem& I)
{
    return static_cast<TRectObj&>(I);
}

TEST_F(FrmObjPropertyEdits, EachControlRecordsOneStepWithItsCaption)
{
    auto Commit = [](TEditTrackBarWex* E, const char* Text) {
        return [E, Text](TfrmObjProperty& P) {
            E->setText(Text);
            P.CommitEdit(E);
        };
    };
    auto Outlined = [](PanelTest& T) {
        TRectObj* R = T.Add<TRectObj>(0, 0, 50, 40);
        TOutline O;
        O.FOutlineKind = 2;
        TDrawItem::SetOutline(*R, O);
        return R;
    };
    const TOneStep Cases[] = {
        {"「内部を塗り潰す」の変更", nullptr, [](TfrmObjProperty& P) { P.cboxFillPath->click(); },
         [](TDrawItem& I) { return AsRect(I).FillPath() == 0; }},
        {"「ベベル形状」の変更", nullptr, [](TfrmObjProperty& P) { P.cboxBeveled->click(); },
         [](TDrawItem& I) { return AsRect(I).Param().Bevel == 1; }},
        {"「角数」の変更", nullptr,
         [](TfrmObjProperty& P) {
             P.cmbRNum->setCurrentIndex(0);
             emit P.cmbRNum->activated(0);
             EXPECT_TRUE(P.cmbRPos->isEnabled());
             EXPECT_EQ(P.cmbRPos->itemText(0), "左上");
         },
         [](TDrawItem& I) { return AsRect(I).Param().CornerCount == 1; }},
        {"アウトラインの種類を設定", nullptr,
         [](TfrmObjProperty& P) {
             P.cmbOutline->setCurrentIndex(6);
             emit P.cmbOutline->activated(6);
             EXPECT_FALSE(P.edtWaveNumBtm->isHidden());
         },
         [](TDrawItem& I) { return AsRect(I).Outline().FOutlineKind == 6; }},
        {"ワイヤフレーム表示色の設定", nullptr, [](TfrmObjProperty& P) { P.pnlcolbtnDrawColColorDropped(0x0000FF); },
         [](TDrawItem& I) { return AsRect(I).WireframeColor() == 0x0000FF; }},
        {"名前の変更", nullptr,
         [](TfrmObjProperty& P) {
             P.edtObjName->setText("星");
             emit P.edtObjName->editingFinished();
         },
         [](TDrawItem& I) { return I.Name() == Utf8ToCp932("星"); }},
        {"幅の設定", nullptr, Commit(Panel.edtWidth, "70"), [](TDrawItem& I) { return AsRect(I).Width() == 70; }},
        {"位置Xの設定", nullptr, Commit(Panel.edtPosiX, "33"), [](TDrawItem& I) { return AsRect(I).X() == 33; }},
        {"角のRの設定", nullptr, Commit(Panel.edtCnrROut, "40"),
         [](TDrawItem& I) { return AsRect(I).Param().CornerRadius == 40 * 32768 / 100; }},
        {"上辺の幅の設定", Outlined, Commit(Panel.edtTopWidth, "60"),
         [](TDrawItem& I) { return std::abs(AsRect(I).Outline().Params.TopWidth - 0.6) < 1e-9; }},
        {"「別パターン」の実行",
         [](PanelTest& T) { return T.Add<TStarObj>(0, 0, 80, 80); },
         [](TfrmObjProperty& P) {
             P.RandomSeed = [] { return 1234; };
             P.btnRandomSeed->click();
         },
         [](TDrawItem& I) { return static_cast<TStarObj&>(I).Param().Seed == 1234; }},
    };
    for (const TOneStep& C : Cases) {
        SCOPED_TRACE(C.Caption);
        TDrawItem* Item = C.Make ? C.Make(*this) : Add<TRectObj>(0, 0, 50, 40);
        Load({Item});
        Link.Edited = 0;
        C.Act(Panel);
        EXPECT_EQ(Steps(), 1) << C.Caption;
        EXPECT_EQ(History().UndoCaption(), C.Caption);
        EXPECT_TRUE(C.Done(*Item)) << C.Caption;
        EXPECT_TRUE(Doc->Modified()) << C.Caption;
        EXPECT_GT(Link.Edited, 0) << C.Caption;
        History().Undo();
        EXPECT_FALSE(C.Done(*Item)) << C.Caption;
        Load({});
    }
}

TEST_F(FrmObjPropertyEdits, AnEditReachesEverySelectedItem)
{
    TRectObj* A = Add<TRectObj>(0, 0, 50, 40);
    TRectObj* B = Add<TRectObj>(100, 0, 80, 40);
    Load({A, B});
    TDrawItem* Buf = Panel.DrawItemBuf();
    Panel.cboxBeveled->click();
    // The property object stays the same object, with the new value.
    EXPECT_EQ(Panel.DrawItemBuf(), Buf);
    EXPECT_EQ(static_cast<TRectObj*>(Buf)->Param().Bevel, 1);
    EXPECT_EQ(A->Param().Bevel, 1);
    EXPECT_EQ(B->Param().Bevel, 1);
    EXPECT_EQ(Steps(), 1);
    // A differing width typed live and committed: undo gives each its own.
    Panel.edtWidth->setText("66");
    EXPECT_EQ(A->Width(), 66);
    Panel.CommitEdit(Panel.edtWidth);
    EXPECT_EQ(B->Width(), 66);
    EXPECT_EQ(Steps(), 2);
    History().Undo();
    EXPECT_EQ(A->Width(), 50);
    EXPECT_EQ(B->Width(), 80);
}

TEST_F(FrmObjPropertyEdits, TheMacroPageLinkReachesTheDocumentWindow)
{
    TRectObj* R = Add<TRectObj>(0, 0, 50, 40);
    Load({R});
    TMacroPageLink& L = Panel;
    EXPECT_EQ(L.DrawItem(), R);
    EXPECT_EQ(L.Page(), &Page());
    L.BeginUpdate();
    EXPECT_TRUE(L.Updating());
    // Loading is locked out: a change handler does nothing meanwhile.
    Panel.cboxFillPath->click();
    EXPECT_EQ(Steps(), 0);
    L.EndUpdate();
    EXPECT_FALSE(L.Updating());
    L.ItemsEdited();
    EXPECT_EQ(Link.Edited, 1);
    L.ItemsChangedLive();
    EXPECT_EQ(Link.Repaints, 1);
    L.SetHandlesHidden(true);
    EXPECT_EQ(Link.HandleStates, std::vector<bool>{true});
    EXPECT_NE(L.DialogOwner(), nullptr);
}

TEST_F(FrmObjPropertyEdits, DefaultButtonsWriteTheDefaultsWithoutAStep)
{
    // Defaults of a file that does not exist: nothing is read or kept.
    TDefaultData D("PanelTest", "PanelTestDefaults.dat");
    D.SaveOnDestroy = 0;
    SetDefaultAttributes(&D);
    TRectObj* R = Add<TRectObj>(0, 0, 50, 40);
    TrecRectParam P = R->Param();
    P.Bevel = 1;
    P.CornerRadius = 1000;
    R->SetParam(P);
    TDrawItem::SetWireframeColor(*R, 0x00FF00);
    Load({R});
    const TrecRectParam Before = D.RectParam;
    Panel.btnDefOutline->click();
    EXPECT_EQ(D.RectParam.CornerRadius, Before.CornerRadius);
    Panel.btnDefShape->click();
    EXPECT_EQ(D.RectParam.Bevel, 1);
    EXPECT_EQ(D.RectParam.CornerRadius, 1000);
    Panel.btnDefGeneral->click();
    EXPECT_EQ(D.WireframeColor, 0x00FF00);
    Panel.btnDefMacPaint->click();
    EXPECT_EQ(D.FillPath, R->FillPath());
    // The text page's values in their units become pixels.
    Panel.cmbUTSize->setCurrentIndex(3);
    Panel.edtSize->SetPosition(15);
    Panel.cmbUTBase->setCurrentIndex(0);
    Panel.edtBase->SetPosition(-4);
    Panel.cmbLineSpacingRule->setCurrentIndex(0);
    Panel.edtLineSpacing->SetPosition(1.25);
    Panel.btnDefaultClick(Panel.btnDefText); // the text page is off for a rectangle
    EXPECT_EQ(D.Font.Height, 20);
    EXPECT_EQ(D.Font.Value1, -4);
    EXPECT_EQ(D.Value1, 0);
    EXPECT_DOUBLE_EQ(D.Double1, 1.25);
    EXPECT_EQ(Steps(), 0);
    EXPECT_FALSE(Doc->Modified());
    SetDefaultAttributes(nullptr);
}

TEST_F(FrmObjPropertyEdits, PagesWithASelectionGrabbedForALook)
{
    TStarObj* S = Add<TStarObj>(0, 0, 100, 100);
    S->SetParam(TrecStarParam{});
    TOutline O;
    O.FOutlineKind = 6;
    TDrawItem::SetOutline(*S, O);
    Load({S});
    TfrmPltChild* W = Panel.PageControlWex->FloatingWindows().front();
    W->resize(600, 260);
    for (int I : {0, 2, 4}) {
        W->PageControl()->setCurrentWidget(Panel.FTabSheets[size_t(I)]);
        const QImage Shot = W->grab().toImage();
        EXPECT_FALSE(Shot.isNull());
        if (const char* Out = std::getenv("TAVRO_PANEL_SHOTS"))
            Shot.save(QString(Out) + QString("/loaded%1.png").arg(I));
    }
}

} // namespace

namespace {

// Counts the beeps for the scope.
struct TShapeBeeps {
    TShapeBeeps() : FOld(SetMessageBeepHandler([this](uint32_t) { ++Count; })) {}
    ~TShapeBeeps() { SetMessageBeepHandler(FOld); }
    int Count = 0;

private:
    TMessageBeepHandler FOld;
};

} // namespace

// The shape parameters the shape page edits, as text.
std::string ShapeFields(TDrawItem* Item)
{
    if (auto* S = dynamic_cast<TStarObj*>(Item)) {
        const TrecStarParam& P = S->Param();
        return QString("n=%1 r=%2 c=%3 a=%4")
            .arg(P.Count)
            .arg(P.InnerRadius)
            .arg(P.Corner1 * 100 / 32768)
            .arg(P.AngleVariation)
            .toStdString();
    }
    const TrecPolygonParam& P = static_cast<TPolygonObj*>(Item)->Param();
    return QString("n=%1 c=%2").arg(P.Count).arg(P.CornerSize * 100 / 32768).toStdString();
}

// A value typed out of range on the shape page is held to the edit's range
// by the edit: past a limit it is the limit, shown and stored, with a beep.
TEST_F(FrmObjPropertyEdits, OutOfRangeShapeValuesShowWhatIsStoredWithABeep)
{
    struct TCase {
        bool Polygon;
        TEditTrackBarWex* TfrmObjProperty::*Edit;
        const char* Typed;
        const char* Shown;
        int Beeps;
        const char* Stored; // after the commit; none when nothing changes
    };
    const char* Star = "n=5 r=0.5 c=0 a=0";
    const char* Polygon = "n=5 c=0";
    const TCase Cases[] = {
        // Corner radii and ratios: the limit is shown and stored (typing
        // 150 showed 14 while 15 % was stored).
        {false, &TfrmObjProperty::edtCnrROut, "150", "100", 1, "n=5 r=0.5 c=100 a=0"},
        {false, &TfrmObjProperty::edtCnrROut, "-150", "-100", 1, "n=5 r=0.5 c=-100 a=0"},
        {false, &TfrmObjProperty::edtAngleRatio, "101", "100", 1, "n=5 r=0.5 c=0 a=100"},
        {true, &TfrmObjProperty::edtCnrROut, "-101", "-100", 1, "n=5 c=-100"},
        {false, &TfrmObjProperty::edtCnrROut, "50", "50", 0, "n=5 r=0.5 c=50 a=0"},
        // The inner radius: the limit is put back and stored.
        {false, &TfrmObjProperty::edtRIn, "150", "100", 1, "n=5 r=1 c=0 a=0"},
        {false, &TfrmObjProperty::edtAbsRIn, "80", "50", 1, "n=5 r=1 c=0 a=0"},
        {false, &TfrmObjProperty::edtAbsRIn, "40", "40", 0, "n=5 r=0.8 c=0 a=0"},
        // Corner counts: the limit is put back and stored.
        {false, &TfrmObjProperty::edtCornerNum, "3", "4", 1, "n=4 r=0.5 c=0 a=0"},
        {false, &TfrmObjProperty::edtCornerNum, "99999", "10000", 1, "n=10000 r=0.5 c=0 a=0"},
        {false, &TfrmObjProperty::edtCornerNum, "30", "30", 0, "n=30 r=0.5 c=0 a=0"},
        {true, &TfrmObjProperty::edtCornerNum, "2", "3", 1, "n=3 c=0"},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(std::string(C.Typed));
        TDrawItem* Item;
        if (C.Polygon) {
            TPolygonObj* P = Add<TPolygonObj>(0, 0, 100, 100);
            TrecPolygonParam Rec = P->Param();
            Rec.Count = 5;
            Rec.CornerSize = 0;
            P->SetParam(Rec);
            Item = P;
        } else {
            TStarObj* S = Add<TStarObj>(0, 0, 100, 100);
            TrecStarParam Rec = S->Param();
            Rec.Count = 5;
            Rec.InnerRadius = 0.5;
            Rec.Corner1 = 0;
            Rec.AngleVariation = 0;
            S->SetParam(Rec);
            Item = S;
        }
        Load({Item});
        ASSERT_EQ(ShapeFields(Item), C.Polygon ? Polygon : Star);
        TEditTrackBarWex* E = Panel.*C.Edit;
        TShapeBeeps Beeps;
        // Pasted at once over the whole text, then Enter.
        E->selectAll();
        E->insert(C.Typed);
        QTest::keyClick(E, Qt::Key_Return);
        EXPECT_EQ(E->text().toStdString(), C.Shown);
        EXPECT_EQ(Beeps.Count, C.Beeps);
        EXPECT_EQ(Steps(), C.Stored ? 1 : 0);
        EXPECT_EQ(ShapeFields(Item), C.Stored ? C.Stored : (C.Polygon ? Polygon : Star));
        // Enter again records nothing more; undo returns the shape as it was.
        QTest::keyClick(E, Qt::Key_Return);
        EXPECT_EQ(Steps(), C.Stored ? 1 : 0);
        EXPECT_EQ(Beeps.Count, C.Beeps);
        if (C.Stored)
            History().Undo();
        EXPECT_EQ(ShapeFields(Item), C.Polygon ? Polygon : Star);
    }
}

// Size and position keep to their ranges as typed: above the page's limit
// the edit shows the limit, and the shape has it.
TEST_F(FrmObjPropertyEdits, SizeAndPositionTypedPastThePageShowTheLimitStored)
{
    TRectObj* R = Add<TRectObj>(10, 20, 60, 40);
    Load({R}); // page 400 x 300
    const auto Type = [&](TEditTrackBarWex* E, const char* Keys) {
        E->setFocus();
        E->selectAll();
        QTest::keyClicks(E, Keys);
        const std::string Shown = E->text().toStdString();
        QTest::keyClick(E, Qt::Key_Return);
        return Shown;
    };
    EXPECT_EQ(Type(Panel.edtWidth, "99999999"), "800");
    EXPECT_EQ(Panel.edtWidth->text(), "800");
    EXPECT_EQ(R->Width(), 800);
    EXPECT_EQ(Type(Panel.edtHeight, "99999999"), "600");
    EXPECT_EQ(R->Height(), 600);
    EXPECT_EQ(Type(Panel.edtPosiX, "2147483647"), "400");
    EXPECT_EQ(R->X(), 400);
    EXPECT_EQ(Type(Panel.edtPosiY, "-2147483647"), "-150");
    EXPECT_EQ(R->Y(), -150);
    EXPECT_EQ(Steps(), 4);
    for (int I = 0; I < 4; ++I)
        History().Undo();
    EXPECT_EQ(R->Width(), 60);
    EXPECT_EQ(R->Height(), 40);
    EXPECT_EQ(R->X(), 10);
    EXPECT_EQ(R->Y(), 20);
}

// The angle's pop-up track bar opens with the thumb of the angle under the
// pointer; a 2-pixel move turns the shape by no more than 2 pixels mean.
TEST_F(FrmObjPropertyEdits, TheAnglePopupMovesWithThePointer)
{
    TRectObj* R = Add<TRectObj>(10, 10, 60, 40);
    Load({R});
    // The general page, in its window, in front.
    QWidget* Page = Panel.FTabSheets[0];
    for (TfrmPltChild* W : Panel.PageControlWex->FloatingWindows())
        if (W->PageControl()->indexOf(Page) >= 0)
            W->PageControl()->setCurrentWidget(Page);
    QWidget* Window = Page->window();
    Window->move(300, 200);
    Window->show();
    ASSERT_TRUE(BecomesExposed(Window));
    ASSERT_TRUE(Panel.edtObjAngle->isVisible());
    ASSERT_EQ(Panel.edtObjAngle->text(), "0");
    test_support::ExpectPopupFollowsThePointer(*Panel.edtObjAngle);
    EXPECT_LE(std::fabs(R->Angle() * 180 / M_PI), 6);
}

// The display-colour picker of the general page keeps its page and options
// under its own name: the next opening shows them again.
TEST_F(FrmObjPropertyEdits, TheDisplayColourPickerRemembersPageAndOptions)
{
    AppIniFile().DeleteKey("4.0", "ColDlgObjPro");
    TRectObj* R = Add<TRectObj>(10, 10, 60, 40);
    Load({R});
    int SeenPage = 0;
    bool SeenHex = false;
    Panel.ColorDialogWex.Run = [&](TfrmSelColor* F) {
        SeenPage = F->ActivePage();
        SeenHex = F->cboxHex->isChecked();
        F->SetPage(3);
        F->cboxHex->setChecked(true);
        return int(QDialog::Rejected);
    };
    Panel.pnlcolbtnDrawColClick();
    const std::string Saved = AppIniFile().ReadString("4.0", "ColDlgObjPro", "");
    ASSERT_GE(Saved.size(), 5u) << Saved;
    EXPECT_EQ(Saved.substr(0, 2), "3,") << Saved;
    EXPECT_EQ(Saved.substr(Saved.size() - 5), "0,1,0") << Saved;
    Panel.pnlcolbtnDrawColClick();
    EXPECT_EQ(SeenPage, 3);
    EXPECT_TRUE(SeenHex);
    EXPECT_EQ(Steps(), 0);
}
