// The light editor: the list operations on the set, kinds and their starting
// points, anchors and light positions both ways, dragging anchors with the
// mouse, the live test, the stored place and option, and the style cells.
#include "editors/anchor_light.h"
#include "editors/frm_light.h"
#include "editors/style_dialog.h"
#include "editors/style_items.h"
#include "foundation/user_error.h"
#include "paint/light_set.h"
#include "picker_test_support.h"
#include "ui/golden_image.h"
#include "ui/ole2_light.h"
#include "ui/ole_qt_bridge.h"
#include "ui/restore_pos.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSlider>
#include <QSpinBox>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

constexpr double Pi = 3.14159265358979323846;

TEST(LightEditModel, AddNamesAndSeedsParallelLights)
{
    TLightEditModel M;
    EXPECT_EQ(M.Add(), 0);
    EXPECT_EQ(M.Add(), 1);
    ASSERT_EQ(M.Lights.Lights.size(), 2u);
    EXPECT_EQ(M.Lights.Lights[0].Name, "平行光源1");
    EXPECT_EQ(M.Lights.Lights[1].Name, "平行光源2");
    const TrecLightUnion& L = M.Lights.Lights[1];
    EXPECT_EQ(M.Selected, 1);
    EXPECT_EQ(L.Kind, LightKindParallel);
    EXPECT_EQ(L.Intensity, 50);
    EXPECT_EQ(L.Color[0] & L.Color[1] & L.Color[2], 0xFF);
    EXPECT_EQ(L.Shape[0], 0.5);
    EXPECT_EQ(L.Shape[3], 0.3);
    // A gap left by a renamed light is filled first.
    M.Lights.Lights[0].Name = "x";
    EXPECT_EQ(M.UniqueName(LightKindParallel), "平行光源1");
    EXPECT_EQ(M.UniqueName(LightKindPoint), "点光源1");
}

TEST(LightEditModel, DeleteSelectsTheEntryAtTheSameIndexOrThePrevious)
{
    struct TCase {
        int Count, Selected, Expected;
    };
    const TCase Cases[] = {{3, 0, 0}, {3, 1, 1}, {3, 2, 1}, {1, 0, -1}};
    for (const TCase& C : Cases) {
        TLightEditModel M;
        for (int I = 0; I < C.Count; ++I)
            M.Add();
        M.Selected = C.Selected;
        const std::string Next = C.Selected + 1 < C.Count ? M.Lights.Lights[C.Selected + 1].Name : "";
        EXPECT_TRUE(M.Delete());
        EXPECT_EQ(M.Selected, C.Expected) << C.Count << "/" << C.Selected;
        EXPECT_EQ(M.Lights.Lights.size(), size_t(C.Count - 1));
        if (!Next.empty())
            EXPECT_EQ(M.Lights.Lights[C.Selected].Name, Next);
    }
    TLightEditModel Empty;
    EXPECT_FALSE(Empty.Delete());
}

TEST(LightEditModel, RenameRules)
{
    TLightEditModel M;
    M.Add();
    M.Add();
    struct TCase {
        const char* Name;
        TLightEditModel::TRename Result;
        const char* Warning;
    };
    const TCase Cases[] = {
        {"平行光源2", TLightEditModel::TRename::Unchanged, ""},
        {"", TLightEditModel::TRename::Empty, "最低一文字は入力してください。"},
        {"平行光源1", TLightEditModel::TRename::Taken, "平行光源1 は、登録されています。"},
        {"上から", TLightEditModel::TRename::Renamed, ""},
        // Characters a name (CP932) cannot hold are left out first.
        {"€✓", TLightEditModel::TRename::Empty, "最低一文字は入力してください。"},
        {"上✓から", TLightEditModel::TRename::Unchanged, ""},
        {"平行光源1€", TLightEditModel::TRename::Taken, "平行光源1 は、登録されています。"},
        {"朝€日", TLightEditModel::TRename::Renamed, ""},
    };
    for (const TCase& C : Cases) {
        std::string Name = C.Name;
        const auto R = M.Rename(Name);
        EXPECT_EQ(R, C.Result) << C.Name;
        EXPECT_EQ(LightRenameWarning(R, Name), C.Warning) << C.Name;
    }
    EXPECT_EQ(M.Lights.Lights[1].Name, "朝日");
}

TEST(LightEditModel, KindChangeReseedsThePoints)
{
    struct TCase {
        uint8_t Kind;
        double Shape[6];
    };
    // Box 100 x 100: the spot's axis of two box widths is sqrt 2 diagonals.
    const TCase Cases[] = {
        {LightKindAmbient, {0, 0, 0, 0, 0, 0}},
        {LightKindPoint, {0.5, 0.5, 0.3, 0.3, 0, 0}},
        {LightKindParallel, {0.5, 0.5, 0.3, 0.3, 0, 0}},
        {LightKindLine, {0.5, 0.5, 0.3, 0.3, -0.5, -0.5}},
        {LightKindSpot, {-0.5, 0.5, 0, std::sqrt(2.0), -0.25, 0.3}},
    };
    for (const TCase& C : Cases) {
        TLightEditModel M;
        M.BoxWidth = M.BoxHeight = 100;
        M.Add();
        M.Lights.Lights[0].Shape[7] = 9;
        M.SetKind(C.Kind);
        const TrecLightUnion& L = M.Lights.Lights[0];
        EXPECT_EQ(L.Kind, C.Kind);
        for (int I = 0; I < 6; ++I)
            EXPECT_NEAR(L.Shape[I], C.Shape[I], 1e-9) << int(C.Kind) << " " << I;
        EXPECT_EQ(L.Shape[7], C.Kind == LightKindLine ? -0.3 : 0.0);
    }
}

TEST(LightEditModel, TextRoundTripAndSpread)
{
    TLightEditModel M;
    M.Add();
    M.SetKind(LightKindSpot);
    TLightEditModel::SetSpotSpread(M.Lights.Lights[0], 40);
    EXPECT_EQ(TLightEditModel::SpotSpread(M.Lights.Lights[0]), 40);
    TLightEditModel Back;
    EXPECT_TRUE(Back.SetText(M.Text()));
    EXPECT_EQ(Back.Text(), M.Text());
    EXPECT_EQ(Back.Selected, 0);
    EXPECT_FALSE(Back.SetText(""));
    EXPECT_TRUE(Back.Lights.Lights.empty());
    EXPECT_EQ(Back.Selected, -1);
    EXPECT_EQ(Back.Lights.Sh, 20);
    EXPECT_EQ(Back.Lights.Dp, 10);
}

TEST(LightEditModel, StatusTexts)
{
    TLightEditModel M;
    EXPECT_EQ(M.StatusText(), "");
    M.Add();
    EXPECT_EQ(M.StatusText(), "(高さ, 角度)=( 64.5', -135.0' )");
    M.SetKind(LightKindPoint);
    EXPECT_EQ(M.StatusText(), "中心=( 0.50, 0.50 )  半径=0.28");
    M.SetKind(LightKindLine);
    EXPECT_EQ(M.StatusText(), "角度(高さ方向, 横周り)=( 64.5', -135.0' )");
    M.SetKind(LightKindSpot);
    EXPECT_EQ(M.StatusText(), "(角度, つぶれ具合)=( 0.0', -0.250 )");
    M.SetKind(LightKindAmbient);
    EXPECT_EQ(M.StatusText(), "");
}

// Anchors of each kind on a 200 x 100 box at (10, 20), and back.
TEST(AnchorLight, AnchorsAndLightPositionsBothWays)
{
    const TLightMapping Map{10, 20, 200, 100};
    struct TCase {
        uint8_t Kind;
        std::vector<std::array<int, 3>> Anchors; // kind, x, y in list order
    };
    const TCase Cases[] = {
        {LightKindAmbient, {}},
        {LightKindPoint, {{2, 70, 50}, {1, 110, 70}}},
        {LightKindParallel, {{2, 70, 50}, {1, 110, 70}}},
        {LightKindLine, {{2, 70, 50}, {1, 110, 70}}},
        // Axis (-0.5, 0.5) .. (1.5, 0.5): 400 pixels; rim a quarter of it above the middle.
        {LightKindSpot, {{1, -90, 70}, {2, 310, 70}, {3, 110, -30}}},
    };
    for (const TCase& C : Cases) {
        TrecLightUnion L;
        TLightEditModel::Seed(L, C.Kind, 200, 100);
        TAnchorsLight A;
        A.Build(L, 0, Map);
        ASSERT_EQ(A.Items.size(), C.Anchors.size()) << int(C.Kind);
        for (size_t I = 0; I < C.Anchors.size(); ++I) {
            EXPECT_EQ(A.Items[I]->Kind, C.Anchors[I][0]);
            EXPECT_EQ(A.Items[I]->X, C.Anchors[I][1]) << int(C.Kind) << " " << I;
            EXPECT_EQ(A.Items[I]->Y, C.Anchors[I][2]) << int(C.Kind) << " " << I;
        }
        TrecLightUnion Back = L;
        A.ApplyTo(Back, Map);
        for (int I = 0; I < 8; ++I)
            EXPECT_NEAR(Back.Shape[I], L.Shape[I], 1e-9) << int(C.Kind) << " " << I;
    }
    // The simple kinds find the secondary anchor first where both lie.
    TrecLightUnion Same;
    TLightEditModel::Seed(Same, LightKindPoint, 1, 1);
    Same.Shape[2] = Same.Shape[3] = 0.5;
    TAnchorsLight A;
    A.Build(Same, 0, Map);
    EXPECT_EQ(A.HitTest(114, 74, 4), A.Items[0].get());
    EXPECT_EQ(A.HitTest(115, 70, 4), nullptr);
}

TEST(AnchorLight, SpotConstraints)
{
    TAnchorLight Main, End, Rim;
    Main.X = 0, Main.Y = 0, End.X = 100, End.Y = 0, Rim.X = 50, Rim.Y = -20;
    const double Flat = SpotFlatness(Main, End, Rim);
    EXPECT_EQ(Flat, -20);
    // The axis end moves; the flatness stays, across the new midpoint.
    EXPECT_TRUE(SpotMoveEnd(Main, End, Rim, 0, 60, Flat));
    EXPECT_EQ(QPoint(Rim.X, Rim.Y), QPoint(20, 30));
    // Limited to half the axis length.
    EXPECT_TRUE(SpotMoveEnd(Main, End, Rim, 20, 0, -50));
    EXPECT_EQ(QPoint(Rim.X, Rim.Y), QPoint(10, -10));
    // An axis of length 0 is refused and nothing moves.
    EXPECT_FALSE(SpotMoveEnd(Main, End, Rim, 0, 0, -5));
    EXPECT_EQ(End.X, 20);
    // The rim is projected; beyond half the axis it pushes the end out.
    End.X = 100, End.Y = 0;
    EXPECT_TRUE(SpotMoveRim(Main, End, Rim, 70, 30));
    EXPECT_EQ(QPoint(Rim.X, Rim.Y), QPoint(50, 30));
    EXPECT_EQ(QPoint(End.X, End.Y), QPoint(100, 0));
    EXPECT_TRUE(SpotMoveRim(Main, End, Rim, 50, -80));
    EXPECT_EQ(QPoint(Rim.X, Rim.Y), QPoint(80, -80));
    EXPECT_EQ(QPoint(End.X, End.Y), QPoint(160, 0));
}

// A grey 24-bit picture of W x H at (Left, Top).
struct TPicture {
    TPicture(int Left, int Top, int W, int H, int Bits = 24, uint8_t Value = 0x80)
    {
        RecPictureCreate(P, TPoint{Left, Top}, W, H, Bits, false);
        for (int Y = 0; Y < H; ++Y)
            for (int X = 0; X < W; ++X)
                std::memset(RecPictureGetPixelPtr(P, Left + X, Top + Y), Value, Bits / 8);
    }
    ~TPicture() { RecPictureClear(P); }
    TrecPicture P;
};

const char* const OneParallel = "10,FFFFFF100,20,0,1,4,Sun1FFFFFF80,2,0.5,0.5,0.3,0.3,";

struct LightForm : ::testing::Test {
    TTestIni Ini;
    TPicture Dest{100, 50, 128, 64};
    std::unique_ptr<TfrmLight> Form{std::make_unique<TfrmLight>(nullptr, Ini.Ini.get(), "4.0", "frmLight", "PosLight")};
    std::vector<std::string> Tests;
    void SetUp() override
    {
        Form->OnTest = [this](TfrmLight&, const std::string& Text) { Tests.push_back(Text); };
        ASSERT_TRUE(Form->SetParam(OneParallel, &Dest.P, nullptr, nullptr, nullptr));
    }
    QPoint AnchorAt(int Light, int Index) const
    {
        const TAnchorLight& A = *Form->Anchors[Light].Items[Index];
        return QPoint(A.X, A.Y);
    }
};

TEST_F(LightForm, SetUpFitsThePictureAndBuildsTheList)
{
    // 128 x 64 fitted into 256: scale 2, centred at 100 % zoom.
    const TLightMapping M = Form->Mapping();
    EXPECT_EQ(M.Left, 0);
    EXPECT_EQ(M.Top, 64);
    EXPECT_EQ(M.Width, 256);
    EXPECT_EQ(M.Height, 128);
    EXPECT_EQ(Form->windowTitle(), "照明設定");
    QStringList Kinds, Zooms;
    for (int I = 0; I < Form->cmbLightType->count(); ++I)
        Kinds << Form->cmbLightType->itemText(I);
    for (int I = 0; I < Form->cmbZoom->count(); ++I)
        Zooms << Form->cmbZoom->itemText(I);
    EXPECT_EQ(Kinds, (QStringList{"環境光", "点光源", "平行光源", "線光源", "スポットライト"}));
    EXPECT_EQ(Zooms, (QStringList{"10%", "25%", "50%", "100%"}));
    EXPECT_EQ(Form->lboxLightName->count(), 1);
    EXPECT_EQ(Form->lboxLightName->item(0)->text(), "Sun1");
    EXPECT_EQ(Form->cmbLightType->currentIndex(), LightKindParallel);
    EXPECT_EQ(Form->ResultImage().size(), QSize(256, 128));
    EXPECT_EQ(AnchorAt(0, 1), QPoint(128, 128));
    Form->SetZoomIndex(1); // 25 %
    EXPECT_EQ(AnchorAt(0, 1), QPoint(128, 128));
    EXPECT_EQ(AnchorAt(0, 0), QPoint(128 - 13, 128 - 6));
    EXPECT_THROW(Form->SetZoomIndex(4), EUserError);
}

TEST_F(LightForm, SetUpRefusals)
{
    TBoxRecorder Boxes;
    EXPECT_FALSE(Form->SetParam(OneParallel, nullptr, nullptr, nullptr, nullptr));
    ASSERT_EQ(Boxes.Texts.size(), 1u);
    EXPECT_EQ(Boxes.Texts[0], "TfrmLight.SetParam : precPictDest = nil");
    TPicture Outside(1000, 1000, 10, 10, 8);
    TPicture Inside(120, 60, 10, 10, 8);
    EXPECT_FALSE(Form->SetParam(OneParallel, &Dest.P, nullptr, nullptr, &Outside.P));
    EXPECT_FALSE(Form->SetParam(OneParallel, &Dest.P, nullptr, &Outside.P, nullptr));
    EXPECT_TRUE(Form->SetParam(OneParallel, &Dest.P, nullptr, &Inside.P, &Inside.P));
}

TEST_F(LightForm, DraggingTheMainAnchorMovesTheLightAfterThreePixels)
{
    Form->show();
    QWidget* Box = Form->pboxPreView;
    const QPoint Main = AnchorAt(0, 1);
    QTest::mousePress(Box, Qt::LeftButton, {}, Main);
    QTest::mouseMove(Box, Main + QPoint(2, 0));
    EXPECT_EQ(AnchorAt(0, 1), Main); // two pixels are not yet a drag
    EXPECT_TRUE(Tests.empty());
    Form->cboxQuickTest->setChecked(true);
    Tests.clear();
    QTest::mouseMove(Box, Main + QPoint(32, 0));
    QTest::mouseRelease(Box, Qt::LeftButton, {}, Main + QPoint(32, 0));
    EXPECT_EQ(AnchorAt(0, 1), Main + QPoint(32, 0));
    EXPECT_EQ(AnchorAt(0, 0), QPoint(77 + 32, 102)); // 0.3 of the box, rounded
    const TrecLightUnion& L = Form->Model.Lights.Lights[0];
    EXPECT_DOUBLE_EQ(L.Shape[0], 0.625);
    EXPECT_DOUBLE_EQ(L.Shape[2], 0.425);
    ASSERT_FALSE(Tests.empty());
    EXPECT_EQ(Tests.back(), Form->LightText());
    EXPECT_NE(Tests.back().find("0.625,0.5,0.425,0.3,"), std::string::npos);
}

TEST_F(LightForm, DraggingASecondaryAnchorMovesOnlyIt)
{
    Form->show();
    const QPoint Second = AnchorAt(0, 0), Main = AnchorAt(0, 1);
    QTest::mousePress(Form->pboxPreView, Qt::LeftButton, {}, Second);
    QTest::mouseMove(Form->pboxPreView, Second + QPoint(0, 64));
    QTest::mouseRelease(Form->pboxPreView, Qt::LeftButton, {}, Second + QPoint(0, 64));
    EXPECT_EQ(AnchorAt(0, 0), Second + QPoint(0, 64));
    EXPECT_EQ(AnchorAt(0, 1), Main);
    EXPECT_DOUBLE_EQ(Form->Model.Lights.Lights[0].Shape[3], 0.8);
}

TEST_F(LightForm, PressingAnotherLightsAnchorSelectsIt)
{
    Form->show();
    Form->btnAddLight->click(); // a second parallel light, on top of the first
    EXPECT_EQ(Form->Model.Selected, 1);
    EXPECT_EQ(Form->lboxLightName->item(1)->text(), "平行光源1");
    Form->Model.Lights.Lights[0].Shape[0] = 0.9;
    Form->RebuildAnchors();
    QTest::mousePress(Form->pboxPreView, Qt::LeftButton, {}, AnchorAt(0, 1));
    EXPECT_EQ(Form->Model.Selected, 0);
    EXPECT_EQ(Form->lboxLightName->currentRow(), 0);
}

TEST_F(LightForm, SpotRimDragKeepsTheLightAndAnchorsConsistent)
{
    Form->show();
    Form->cmbLightType->setCurrentIndex(LightKindSpot);
    ASSERT_EQ(Form->Anchors[0].Items.size(), 3u);
    EXPECT_TRUE(Form->tkbarBoke->isEnabled());
    Form->SetZoomIndex(1);
    const QPoint Rim = AnchorAt(0, 2);
    QTest::mousePress(Form->pboxPreView, Qt::LeftButton, {}, Rim);
    QTest::mouseMove(Form->pboxPreView, Rim + QPoint(0, -10));
    QTest::mouseRelease(Form->pboxPreView, Qt::LeftButton, {}, Rim + QPoint(0, -10));
    // The anchors rebuilt from the light stand where the drag left them.
    std::vector<QPoint> Before;
    for (int I = 0; I < 3; ++I)
        Before.push_back(AnchorAt(0, I));
    Form->RebuildAnchors();
    for (int I = 0; I < 3; ++I)
        EXPECT_LE((AnchorAt(0, I) - Before[I]).manhattanLength(), 1) << I;
    EXPECT_LT(Form->Model.Lights.Lights[0].Shape[4], -0.25);
}

TEST_F(LightForm, ListButtonsAndLiveTest)
{
    Form->btnApply->click();
    ASSERT_EQ(Tests.size(), 1u);
    EXPECT_EQ(Tests[0], OneParallel);
    Form->cboxQuickTest->setChecked(true); // tests at once and disables the button
    EXPECT_FALSE(Form->btnApply->isEnabled());
    EXPECT_EQ(Tests.size(), 2u);
    Form->btnAddLight->click();
    Form->btnDelLight->click();
    Form->edtBright->setValue(-30);
    EXPECT_EQ(Form->tkbarBright->value(), 0);
    EXPECT_EQ(Form->Model.Lights.Lights[0].Intensity, -30);
    Form->edtHeight->setValue(12.5);
    EXPECT_EQ(Form->tkbarHeight->value(), 125);
    EXPECT_EQ(Tests.size(), 6u);
    EXPECT_EQ(Tests.back().substr(0, 5), "12.5,");
    Form->btnDelLight->click();
    EXPECT_FALSE(Form->cmbLightType->isEnabled());
    EXPECT_EQ(Form->StatusBar->currentMessage(), "");
}

TEST_F(LightForm, RenameAsksAgainUntilAccepted)
{
    Form->btnAddLight->click();
    std::vector<std::string> Answers = {"Sun1", "", "朝日"};
    size_t Asked = 0;
    const auto Old = TfrmLight::InputQuery;
    TfrmLight::InputQuery = [&](const std::string& Caption, const std::string& Prompt, std::string& Value) {
        EXPECT_EQ(Caption, "名前の変更");
        EXPECT_EQ(Prompt, "新しい名前を入力して下さい");
        if (Asked >= Answers.size())
            return false;
        Value = Answers[Asked++];
        return true;
    };
    TBoxRecorder Boxes;
    Form->btnRename->click();
    EXPECT_EQ(Boxes.Texts, (std::vector<std::string>{"Sun1 は、登録されています。", "最低一文字は入力してください。"}));
    EXPECT_EQ(Form->lboxLightName->item(1)->text(), "朝日");
    Answers = {"x"};
    Asked = 1; // Cancel at once
    Form->btnRename->click();
    EXPECT_EQ(Form->Model.Lights.Lights[1].Name, "朝日");
    TfrmLight::InputQuery = Old;
}

// The name box leaves out, while typed, the characters a light's name (kept
// as CP932) cannot hold: what it shows is what is stored and saved.
TEST_F(LightForm, RenameBoxLeavesOutWhatANameCannotHold)
{
    Form->btnAddLight->click();
    QString Shown;
    QTimer::singleShot(0, [&] {
        auto* Box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        auto* Line = Box ? Box->findChild<QLineEdit*>() : nullptr;
        if (!Line)
            return;
        Line->clear();
        for (const QChar C : QString::fromUtf8("朝€日✓")) {
            QKeyEvent Key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(C));
            QApplication::sendEvent(Line, &Key);
        }
        Shown = Line->text();
        Box->accept();
    });
    Form->btnRename->click();
    EXPECT_EQ(Shown.toStdString(), "朝日");
    EXPECT_EQ(Form->Model.Lights.Lights[1].Name, "朝日");
    EXPECT_EQ(Form->lboxLightName->item(1)->text().toStdString(), "朝日");
    EXPECT_EQ(Form->LightText().find('?'), std::string::npos);
}

// The stored place is kept on the desktop: a monitor may have gone.
TEST(LightFormSettings, PositionAndQuickTestPersist)
{
    const QRect Work = QApplication::primaryScreen()->availableGeometry();
    struct TCase {
        const char* Stored;
        bool Quick;
    };
    const TCase Cases[] = {{"-90000,-90000", true}, {"90000,90000", false}, {"x", false}};
    for (const TCase& C : Cases) {
        TTestIni Ini;
        Ini.Ini->WriteString("4.0", "PosLight", C.Stored);
        Ini.Ini->WriteString("4.0", "frmLight", C.Quick ? "1" : "0");
        TPicture Dest(0, 0, 32, 32);
        TfrmLight F(nullptr, Ini.Ini.get(), "4.0", "frmLight", "PosLight");
        F.SetParam("", &Dest.P, nullptr, nullptr, nullptr);
        F.show();
        // Reachable: its top edge inside and part of it on the work area.
        EXPECT_GE(F.frameGeometry().top(), Work.top()) << C.Stored;
        EXPECT_LT(F.frameGeometry().top(), Work.bottom()) << C.Stored;
        EXPECT_TRUE(Work.intersects(F.frameGeometry())) << C.Stored;
        EXPECT_EQ(F.cboxQuickTest->isChecked(), C.Quick);
        F.cboxQuickTest->setChecked(!C.Quick);
        F.reject();
        EXPECT_EQ(Ini.Ini->ReadString("4.0", "frmLight", ""), C.Quick ? "0" : "1");
        EXPECT_EQ(Ini.Ini->ReadString("4.0", "PosLight", ""), JoinInts({F.x(), F.y()}));
    }
}

TEST(LightStyleCells, SampleIsLitAndAnEmptyTextRaises)
{
    QImage Img(80, 80, QImage::Format_RGB32);
    Img.fill(Qt::black);
    TobjStyleItemLight Item;
    {
        QPainter P(&Img);
        EXPECT_THROW(TfrmLight::StyleDrawCellLate(P, "空", &Item, Img.rect(), false), EUserError);
    }
    Item.Text = "10,FFFFFF60,20,0,2,1,aFF000080,0,1,bFFFFFF30,2,0.2,0.2,0.5,0.5,";
    {
        QPainter P(&Img);
        TfrmLight::StyleDrawCellLate(P, "", &Item, Img.rect(), false);
    }
    // An ambient red light: the star is red, the checkerboard outside stays grey.
    const QColor Centre = Img.pixelColor(40, 40), Corner = Img.pixelColor(1, 1);
    EXPECT_GT(Centre.red(), Centre.green() + 40);
    EXPECT_EQ(Corner, QColor(0xA0, 0xA0, 0xA0));
}

// A light cell whose text is empty is drawn once as a placeholder in the
// chooser; the pending flag is cleared, so it is not tried at every idle.
TEST(LightStyleCells, EmptyLightCellIsDrawnOnceAsAPlaceholder)
{
    TTestIni Ini;
    TStyle Style;
    Style.Library = MakeStyleLibrary(TStyleKind::Light, Ini.Dir, "");
    Style.LateDrawing = true;
    int Calls = 0;
    Style.OnDrawCell = TfrmLight::StyleDrawCell;
    Style.OnDrawCellLate = [&](QPainter& P, const std::string& T, const TObject* D, const QRect& R, bool S) {
        ++Calls;
        TfrmLight::StyleDrawCellLate(P, T, D, R, S);
    };
    TfrmStyle F(Style, 1);
    TStyleGroup* G = F.Tree.AddGroup(nullptr, "g");
    auto Empty = std::make_unique<TobjStyleItemLight>();
    G->Items.push_back(TStyleEntry{"empty", std::move(Empty)});
    F.FillTree();
    F.SelectGroup(G);
    F.resize(400, 300);
    F.show();
    F.DrawGrid->repaint();
    for (int I = 0; I < 10; ++I)
        QCoreApplication::processEvents();
    EXPECT_EQ(Calls, 1);
    EXPECT_FALSE(F.DrawLateCell());
    ASSERT_NE(F.LateImage(0), nullptr);
}

TEST_F(LightForm, FormFaceMatchesTheGolden)
{
    // A dim point light and a parallel one over a dome-shaped bump.
    TPicture Bump(100, 50, 128, 64, 8, 0);
    for (int Y = 0; Y < 64; ++Y)
        for (int X = 0; X < 128; ++X) {
            const double D = std::hypot((X - 64) / 64.0, (Y - 32) / 32.0);
            *RecPictureGetPixelPtr(Bump.P, 100 + X, 50 + Y) = static_cast<uint8_t>(D < 1 ? 255 * std::sqrt(1 - D * D) : 0);
        }
    ASSERT_TRUE(Form->SetParam("20,FFFFFF40,20,0,2,3,Sun80C0FF20,2,0.2,0.2,0.5,0.5,3,LowFFC08030,1,0.7,0.6,0.6,0.4,",
                               &Dest.P, nullptr, &Bump.P, nullptr));
    Form->lboxLightName->setCurrentRow(1);
    Form->show();
    ExpectMatchesGolden(Form->pboxPreView->grab().toImage(), "editors/light_preview.png", 8, 40);
}

} // namespace

#include "editors/frm_sel_color.h"

namespace {

TEST_F(LightForm, ColoursComeFromThePicker)
{
    Form->cboxQuickTest->setChecked(true);
    Form->ColorDialogRun = [](TfrmSelColor* F) {
        F->SetColor(0x123456); // 0x00BBGGRR
        return int(QDialog::Accepted);
    };
    Form->PickColor(false);
    Form->ColorDialogRun = [](TfrmSelColor* F) {
        F->SetColor(0x0000FF);
        return int(QDialog::Accepted);
    };
    Form->PickColor(true);
    // Text colours are RRGGBB: the light's 563412, the gloss FF0000.
    EXPECT_EQ(Form->LightText(), "10,FF0000100,20,0,1,4,Sun1563412" "80,2,0.5,0.5,0.3,0.3,");
    EXPECT_EQ(Tests.size(), 3u);
    Form->ColorDialogRun = [](TfrmSelColor*) { return int(QDialog::Rejected); };
    Form->PickColor(false);
    EXPECT_EQ(Tests.size(), 3u);
}

TEST_F(LightForm, CopyAndPasteTheLightText)
{
    QGuiApplication::clipboard()->setText("plain");
    QCoreApplication::processEvents();
    EXPECT_FALSE(Form->sbtnLightPaste->isEnabled());
    Form->CopyLight();
    QCoreApplication::processEvents();
    EXPECT_TRUE(Form->sbtnLightPaste->isEnabled());
    TLightEditModel Other;
    Other.Add();
    Other.Add();
    Form->ApplyLightText(Other.Text());
    ASSERT_EQ(Form->lboxLightName->count(), 2);
    Form->SetZoomIndex(0);
    Form->PasteLight();
    EXPECT_EQ(Form->LightText(), OneParallel);
    EXPECT_EQ(Form->lboxLightName->count(), 1);
    EXPECT_EQ(Form->Zoom(), 100); // a pasted set is shown whole again
}

TEST_F(LightForm, StyleAddAndLoadGoThroughTheLightLibrary)
{
    const auto Old = TStyle::OnShowModal;
    TStyle::OnShowModal = [](TfrmStyle& F) {
        F.SelectGroup(F.Tree.NodeAt(0));
        F.accept();
    };
    const auto OldQuery = TStyle::InputQuery;
    TStyle::InputQuery = [](const std::string&, const std::string&, std::string& Value) {
        Value = "mine";
        return true;
    };
    Form->StyleAdd();
    TStyle::InputQuery = OldQuery;
    Form->ApplyLightText("");
    EXPECT_EQ(Form->lboxLightName->count(), 0);
    std::string Chosen;
    TStyle::OnShowModal = [&](TfrmStyle& F) {
        F.SelectGroup(F.Tree.NodeAt(0));
        const TStyleGroup* G = F.SelectedGroup();
        ASSERT_NE(G, nullptr);
        ASSERT_FALSE(G->Items.empty());
        F.DrawGrid->SetCurrentIndex(static_cast<int>(G->Items.size()) - 1);
        Chosen = F.CurrentItem() ? F.CurrentItem()->Title : "";
        F.accept();
    };
    Form->StyleLoad();
    TStyle::OnShowModal = Old;
    EXPECT_EQ(Chosen, "mine");
    EXPECT_EQ(Form->LightText(), OneParallel);
}

TEST_F(LightForm, DraggingASpotsMainAnchorMovesTheWholeSpot)
{
    Form->show();
    Form->cmbLightType->setCurrentIndex(LightKindSpot);
    Form->SetZoomIndex(1);
    const QPoint Main = AnchorAt(0, 0), End = AnchorAt(0, 1), Rim = AnchorAt(0, 2);
    const double Axis = Form->Model.Lights.Lights[0].Shape[3];
    QTest::mousePress(Form->pboxPreView, Qt::LeftButton, {}, Main);
    QTest::mouseMove(Form->pboxPreView, Main + QPoint(8, 4));
    QTest::mouseRelease(Form->pboxPreView, Qt::LeftButton, {}, Main + QPoint(8, 4));
    EXPECT_EQ(AnchorAt(0, 1), End + QPoint(8, 4));
    EXPECT_EQ(AnchorAt(0, 2), Rim + QPoint(8, 4));
    EXPECT_DOUBLE_EQ(Form->Model.Lights.Lights[0].Shape[3], Axis);
    // The axis end: the flatness stays.
    const double Flat = Form->Model.Lights.Lights[0].Shape[4] * Axis;
    QTest::mousePress(Form->pboxPreView, Qt::LeftButton, {}, AnchorAt(0, 1));
    QTest::mouseMove(Form->pboxPreView, AnchorAt(0, 1) + QPoint(-20, 0));
    QTest::mouseRelease(Form->pboxPreView, Qt::LeftButton, {}, AnchorAt(0, 1));
    const TrecLightUnion& L = Form->Model.Lights.Lights[0];
    EXPECT_LT(L.Shape[3], Axis);
    EXPECT_NEAR(L.Shape[4] * L.Shape[3], Flat, 0.01);
}

} // namespace

namespace {

// Testing at a small zoom must not round a spot's values to its pixels.
TEST_F(LightForm, TestingKeepsASpotsValuesExact)
{
    Form->cmbLightType->setCurrentIndex(LightKindSpot);
    Form->SetZoomIndex(0);
    const std::string Before = Form->Model.Text();
    Form->btnApply->click();
    ASSERT_FALSE(Tests.empty());
    EXPECT_EQ(Tests.back(), Before);
}

} // namespace

namespace {

// A set whose lights carry names outside ASCII, among them characters whose
// CP932 trail byte is 0x5C (能, ソ, 表) and the list separator "|".
std::string NamedLights()
{
    TLightEditModel M;
    for (const char* Name : {"黄金|金", "能力", "ネオン 2虹", "ソ表\\"}) {
        M.Add();
        M.Lights.Lights.back().Name = Name;
    }
    return M.Text();
}

std::vector<std::string> ListedNames(const TfrmLight& F)
{
    std::vector<std::string> Names;
    for (int I = 0; I < F.lboxLightName->count(); ++I)
        Names.push_back(F.lboxLightName->item(I)->text().toStdString());
    return Names;
}

} // namespace

// The clipboard holds CP932: names come back exactly, from the own format,
// from another program's plain text and from the editor's own copy.
TEST_F(LightForm, PastedLightNamesKeepTheirCharacters)
{
    const std::string Text = NamedLights();
    const std::vector<std::string> Names = {"黄金|金", "能力", "ネオン 2虹", "ソ表\\"};
    struct TCase {
        const char* Name;
        std::function<void()> Put;
    } const Cases[] = {
        {"own format", [&] { OleSetClipboard(MakeCom<TLightDataObject>(LightClipboardHeader + Text).Get()); }},
        {"plain text", [&] { QGuiApplication::clipboard()->setText(QString::fromStdString(LightClipboardHeader + Text)); }},
        {"own copy",
         [&] {
             Form->ApplyLightText(Text);
             Form->CopyLight();
         }},
    };
    for (const TCase& C : Cases) {
        C.Put();
        QCoreApplication::processEvents();
        Form->ApplyLightText(OneParallel);
        Form->PasteLight();
        EXPECT_EQ(Form->LightText(), Text) << C.Name;
        EXPECT_EQ(ListedNames(*Form), Names) << C.Name;
    }
}

// A payload far past any light set is refused unread, and an unreadable one
// pastes nothing either: one message each, the lights as they were.
TEST_F(LightForm, OversizedOrUnreadableLightTextIsRefused)
{
    struct TCase {
        std::string Body;
        std::string Message;
    } const Cases[] = {
        {NamedLights() + std::string(MaxLightTextBytes, ' '),
         "クリップボードのデータが大きすぎるため、貼り付けできません。\r\n(65536バイトまで)"},
        {"10,FFFFFF100,20,0,1,9,Sun", "クリップボードのライトは読み込めないため、貼り付けできません。"},
    };
    for (const TCase& C : Cases) {
        OleSetClipboard(MakeCom<TLightDataObject>(LightClipboardHeader + C.Body).Get());
        QCoreApplication::processEvents();
        EXPECT_TRUE(Form->sbtnLightPaste->isEnabled());  // offered, so that the refusal is told
        const size_t Tested = Tests.size();
        TBoxRecorder Boxes;
        Form->PasteLight();
        EXPECT_EQ(Boxes.Texts, std::vector<std::string>{C.Message});
        EXPECT_EQ(Form->LightText(), OneParallel);
        EXPECT_EQ(ListedNames(*Form), std::vector<std::string>{"Sun1"});
        EXPECT_EQ(Tests.size(), Tested);
    }
}

// A damaged library item is refused whole, with one message: the lights
// stay as they were.
TEST_F(LightForm, DamagedStyleItemChangesNothing)
{
    const auto OldShow = TStyle::OnShowModal;
    const auto OldQuery = TStyle::InputQuery;
    TStyle::OnShowModal = [](TfrmStyle& F) {
        F.SelectGroup(F.Tree.NodeAt(0));
        F.accept();
    };
    TStyle::InputQuery = [](const std::string&, const std::string&, std::string& Value) {
        Value = "damaged";
        return true;
    };
    auto Item = std::make_unique<TobjStyleItemLight>();
    Item->Text = "10,FFFFFF,100,20,0,1,9,Sun";
    std::unique_ptr<TObject> Data = std::move(Item);
    Form->Style->Add(Data);
    TStyle::InputQuery = OldQuery;
    const std::string Before = Form->LightText();
    const size_t Tested = Tests.size();
    TStyle::OnShowModal = [](TfrmStyle& F) {
        F.SelectGroup(F.Tree.NodeAt(0));
        const TStyleGroup* G = F.SelectedGroup();
        ASSERT_NE(G, nullptr);
        ASSERT_FALSE(G->Items.empty());
        F.DrawGrid->SetCurrentIndex(static_cast<int>(G->Items.size()) - 1);
        F.accept();
    };
    TBoxRecorder Boxes;
    Form->StyleLoad();
    TStyle::OnShowModal = OldShow;
    EXPECT_EQ(Boxes.Texts, std::vector<std::string>{"このスタイルのライトは読み込めないため、適用できません。"});
    EXPECT_EQ(Form->LightText(), Before);
    EXPECT_EQ(ListedNames(*Form), std::vector<std::string>{"Sun1"});
    EXPECT_EQ(Tests.size(), Tested);
}
