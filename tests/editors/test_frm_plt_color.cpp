#include "editors/color_dialog_wex.h"
#include "editors/frm_plt_color.h"
#include "editors/frm_sel_color.h"
#include "editors/picker_test_support.h"
#include "foundation/colour_models.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/ole2_color.h"
#include "ui/ole2_pen.h"
#include "ui/ole_qt_bridge.h"
#include "ui/tool_window_message.h"
#include "ui/window_test_support.h"

#include <QButtonGroup>
#include <QImage>
#include <QPainter>
#include <QComboBox>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace {

// A palette window on a settings file of its own, with the drags it starts.
struct TPalette {
    TPalette() : Form(std::make_unique<TfrmPltColor>(nullptr, Ini.Ini.get()))
    {
        Old = SetDoDragDropHandler([this](IDataObject* Data, IDropSource*, uint32_t OkEffects, uint32_t& Effect) {
            Drags.emplace_back(Data);
            Effects.push_back(OkEffects);
            Effect = DROPEFFECT_COPY;
            return DRAGDROP_S_DROP;
        });
        Form->show();
    }
    ~TPalette() { SetDoDragDropHandler(Old); }

    void Press(QWidget* Box, QPoint At, Qt::MouseButton Button = Qt::LeftButton)
    {
        QMouseEvent E(QEvent::MouseButtonPress, At, Box->mapToGlobal(At), Button, Button, Qt::NoModifier);
        QApplication::sendEvent(Box, &E);
    }
    // Presses the middle of a cell of the field.
    void PressCell(int Col, int Row)
    {
        Press(Form->pboxPal, CellRect(Form->pboxPal->size(), Form->Mode(), Col, Row).center());
    }

    TTestIni Ini;
    std::unique_ptr<TfrmPltColor> Form;
    std::vector<TComPtr<IDataObject>> Drags;
    std::vector<uint32_t> Effects;
    TDoDragDropHandler Old;
};

} // namespace

TEST(PltColorItems, EachModeListsItsFixedValues)
{
    struct TCase {
        int Mode;
        int Count;
        const char* First;
        const char* Second;
        const char* Last;
    };
    const TCase Cases[] = {{PltModeHue, 36, "0", "10", "350"},
                           {PltModeSat, 21, "0", "5", "100"},
                           {PltModeBri, 21, "0", "5", "100"}};
    for (const TCase& C : Cases) {
        const QStringList Items = HSVItems(C.Mode);
        ASSERT_EQ(Items.size(), C.Count) << C.Mode;
        EXPECT_EQ(Items[0], C.First);
        EXPECT_EQ(Items[1], C.Second);
        EXPECT_EQ(Items.back(), C.Last);
    }
    EXPECT_TRUE(HSVItems(PltModePalette).isEmpty());
    EXPECT_TRUE(HSVItems(PltModeWeb).isEmpty());
}

TEST(PltColorItems, TheCurrentValueSelectsItsItemAndPastTheEndTheLast)
{
    struct TCase {
        int Mode;
        int32_t H, S, V;
        int Index;
    };
    const TCase Cases[] = {
        {PltModeHue, 0, 0, 0, 0},        {PltModeHue, 14999, 0, 0, 1},  {PltModeHue, 15000, 0, 0, 2},
        {PltModeHue, 345000, 0, 0, 35},  {PltModeHue, 355000, 0, 0, 35}, // item 36 does not exist
        {PltModeSat, 0, 128, 0, 10},     {PltModeSat, 0, 256, 0, 20},    {PltModeSat, 0, 5, 0, 0},
        {PltModeSat, 0, 8, 0, 1},        {PltModeBri, 0, 0, 255, 20},    {PltModeBri, 0, 0, 127, 10},
        {PltModePalette, 0, 0, 0, -1},   {PltModeWeb, 0, 0, 0, -1},
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(HSVItemIndex(C.Mode, C.H, C.S, C.V), C.Index) << C.Mode << " " << C.H << " " << C.S << " " << C.V;
}

TEST(PltColorWindow, ModeButtonsRefillTheFixedPartBox)
{
    TPalette P;
    EXPECT_EQ(P.Form->Mode(), PltModePalette);
    EXPECT_TRUE(P.Form->rbtnRGB->isChecked());
    EXPECT_FALSE(P.Form->cmbHSV->isEnabled());
    EXPECT_EQ(P.Form->cmbHSV->count(), 0);

    P.Form->SetFixed(355000, 128, 255);
    struct TCase {
        QRadioButton* Button;
        int Mode;
        bool Enabled;
        int Count;
        const char* Current;
    };
    const TCase Cases[] = {{P.Form->rbtnH, PltModeHue, true, 36, "350"}, {P.Form->rbtnS, PltModeSat, true, 21, "50"},
                           {P.Form->rbtnV, PltModeBri, true, 21, "100"}, {P.Form->rbtnWeb, PltModeWeb, false, 0, ""},
                           {P.Form->rbtnRGB, PltModePalette, false, 0, ""}};
    for (const TCase& C : Cases) {
        C.Button->click();
        EXPECT_EQ(P.Form->Mode(), C.Mode);
        EXPECT_EQ(P.Form->cmbHSV->isEnabled(), C.Enabled) << C.Mode;
        EXPECT_EQ(P.Form->cmbHSV->count(), C.Count) << C.Mode;
        EXPECT_EQ(P.Form->cmbHSV->currentText(), C.Current) << C.Mode;
        // The grey of a box without choices.
        EXPECT_EQ(P.Form->cmbHSV->palette().color(QPalette::Base) == QColor(0x808080), !C.Enabled) << C.Mode;
    }
    // The choice of a fixed part leaves the others.
    EXPECT_EQ(P.Form->Hue(), 355000);
    EXPECT_EQ(P.Form->Sat(), 128);
    EXPECT_EQ(P.Form->Bri(), 255);
}

TEST(PltColorWindow, ChoosingAnItemSetsTheFixedValue)
{
    struct TCase {
        int Mode;
        int Index;
        int32_t H, S, V;
    };
    // The items first selected are 1, 8 and 8.
    const TCase Cases[] = {{PltModeHue, 7, 70000, 100, 100}, {PltModeHue, 35, 350000, 100, 100},
                           {PltModeSat, 10, 5000, 128, 100}, {PltModeSat, 20, 5000, 256, 100},
                           {PltModeBri, 19, 5000, 100, 242}, {PltModeBri, 20, 5000, 100, 255}};
    for (const TCase& C : Cases) {
        TPalette P;
        P.Form->SetFixed(5000, 100, 100);
        P.Form->SetMode(C.Mode);
        P.Form->cmbHSV->setCurrentIndex(C.Index);
        EXPECT_EQ(P.Form->Hue(), C.H) << C.Mode << " " << C.Index;
        EXPECT_EQ(P.Form->Sat(), C.S) << C.Mode << " " << C.Index;
        EXPECT_EQ(P.Form->Bri(), C.V) << C.Mode << " " << C.Index;
    }
    // Items show their colour: the hue item 120 in green.
    EXPECT_EQ(HSVItemColor(PltModeHue, 12, 0, 256, 255), 0x00FF00);
    EXPECT_EQ(HSVItemColor(PltModeBri, 0, 0, 256, 255), 0x000000);
}

TEST(PltColorWindow, PressingACellDragsItsColour)
{
    TPalette P;
    // The palette's fifth column of the first row is pure red.
    P.PressCell(4, 0);
    // The web page's last row holds the standard colours; its fourth is white.
    P.Form->SetMode(PltModeWeb);
    P.PressCell(3, 12);
    // Hue fixed at 120: the cell gives saturation and brightness, which the
    // window then keeps.
    P.Form->SetFixed(120000, 0, 0);
    P.Form->SetMode(PltModeHue);
    P.PressCell(10, 10);
    EXPECT_EQ(P.Form->Hue(), 120000);
    EXPECT_EQ(P.Form->Sat(), 256);
    EXPECT_EQ(P.Form->Bri(), 255);
    // Brightness fixed: the cell gives hue and saturation.
    P.Form->SetMode(PltModeBri);
    P.PressCell(0, 10);
    EXPECT_EQ(P.Form->Hue(), 0);
    EXPECT_EQ(P.Form->Sat(), 256);
    // A right press drags nothing.
    P.Press(P.Form->pboxPal, QPoint(5, 5), Qt::RightButton);

    ASSERT_EQ(P.Drags.size(), 4u);
    const int32_t Want[] = {0x0000FF, 0xFFFFFF, 0x00FF00, 0x0000FF};
    for (size_t I = 0; I < P.Drags.size(); ++I) {
        EXPECT_EQ(TOle2DataObjColorWex::GetColor(P.Drags[I].Get()), Want[I]) << I;
        EXPECT_EQ(P.Effects[I], DROPEFFECT_COPY);
    }
}

TEST(PltColorWindow, PressingAnEmptyCellOrOutsideTheGridDragsNothing)
{
    TPalette P;
    P.PressCell(12, 7); // the palette's empty block
    P.Form->SetMode(PltModeWeb);
    P.PressCell(17, 12); // after the sixteen standard colours
    P.Press(P.Form->pboxPal, QPoint(P.Form->pboxPal->width() + 3, 3));
    EXPECT_TRUE(P.Drags.empty());
}

TEST(PltColorPen, RecordCarriesCapJoinWidthAndMiter)
{
    struct TCase {
        const char* Width;
        int Join, Cap;
        const char* Miter;
        uint32_t Flags;
        int32_t W;
        double M;
    };
    const TCase Cases[] = {
        {"3", 0, 0, "2.5", 0x1000, 3, 2.5},  // 面取り, 丸
        {"3", 1, 1, "2.5", 0x2100, 3, 2.5},  // 角, 角
        {"12", 2, 2, "1.0", 0x0200, 12, 1.0}, // 丸, 平
        {"100", 2, 0, "5.0", 0x0000, 100, 5.0},
        {"", 1, 2, "", 0x2200, 0, 0.0},      // empty edits
        {"abc", 0, 1, "x", 0x1100, 0, 0.0},  // no numbers
    };
    for (const TCase& C : Cases) {
        TrecPenData Want{};
        Want.Style = C.Flags;
        Want.Width = C.W;
        Want.MiterLimit = C.M;
        const TrecPenData Got = PltPenRecord(C.Width, C.Join, C.Cap, C.Miter);
        EXPECT_EQ(std::memcmp(&Got, &Want, sizeof Want), 0) << C.Width << " " << C.Join << " " << C.Cap;
    }
}

TEST(PltColorPen, DragBoxDragsThePenOfTheControls)
{
    TPalette P;
    P.Form->PageControl->setCurrentWidget(P.Form->TabSheetPen);
    P.Form->edtWidth->SetPosition(7);
    P.Form->NodeButtons->button(1)->click(); // 角
    P.Form->CapButtons->button(2)->click();  // 平
    P.Form->edtMiterLen->SetPosition(2.5);
    P.Press(P.Form->pboxDrag, QPoint(10, 10));
    P.Form->edtWidth->setText("");
    P.Press(P.Form->pboxDrag, QPoint(10, 10));

    ASSERT_EQ(P.Drags.size(), 2u);
    const int32_t Widths[] = {7, 0};
    for (size_t I = 0; I < 2; ++I) {
        TrecPenData Got{};
        ASSERT_TRUE(TOle2DataObjPenWex::GetPen(P.Drags[I].Get(), Got));
        TrecPenData Want{};
        Want.Style = 0x2200;
        Want.Width = Widths[I];
        Want.MiterLimit = 2.5;
        EXPECT_EQ(std::memcmp(&Got, &Want, sizeof Want), 0) << I;
        EXPECT_EQ(P.Effects[I], DROPEFFECT_COPY);
    }
}

// A typed miter limit or width counts as its edit keeps it, the miter
// within 1 to 5 and the width within 1 to the pens' own limit, so that a pen
// button takes the dragged pen; an empty edit still gives 0.
TEST(PltColorPen, ATypedMiterOrWidthIsDraggedWithinTheEditsRange)
{
    const struct {
        TEditTrackBarWex* TfrmPltColor::*Edit;
        int Max;
        double (*Dragged)(const TrecPenData&);
        std::vector<std::pair<const char*, double>> Cases; // typed, dragged
    } Edits[] = {
        {&TfrmPltColor::edtMiterLen, 5, [](const TrecPenData& D) { return D.MiterLimit; },
         {{"10", 5.0}, {"0.5", 1.0}, {"3.2", 3.2}, {"", 0.0}}},
        {&TfrmPltColor::edtWidth, MaxPenWidth, [](const TrecPenData& D) { return double(D.Width); },
         {{"150", MaxPenWidth}, {"0", 1}, {"37", 37}, {"", 0}}},
    };
    for (const auto& E : Edits) {
        TPalette P;
        P.Form->PageControl->setCurrentWidget(P.Form->TabSheetPen);
        TEditTrackBarWex* Edit = (*P.Form).*E.Edit;
        EXPECT_EQ(Edit->Min(), 1);
        EXPECT_EQ(Edit->Max(), E.Max);
        for (const auto& [Typed, Want] : E.Cases) {
            Edit->setFocus();
            Edit->clear();
            QTest::keyClicks(Edit, Typed);
            P.Drags.clear();
            P.Press(P.Form->pboxDrag, QPoint(10, 10));
            ASSERT_EQ(P.Drags.size(), 1u);
            TrecPenData Got{};
            ASSERT_TRUE(TOle2DataObjPenWex::GetPen(P.Drags[0].Get(), Got)) << Typed;
            EXPECT_DOUBLE_EQ(E.Dragged(Got), Want) << Typed;
        }
    }
}

TEST(PltColorPlacement, FirstBoundsFollowTheWorkAreasWidth)
{
    struct TCase {
        QRect Work;
        QRect Want;
    };
    const TCase Cases[] = {
        {QRect(0, 0, 1280, 1000), QRect(0, 480, 230, 220)}, {QRect(0, 0, 801, 600), QRect(0, 80, 230, 220)},
        {QRect(0, 0, 800, 600), QRect(0, 352, 230, 248)},   {QRect(40, 30, 1920, 1050), QRect(40, 560, 230, 220)},
        {QRect(-20, 10, 640, 480), QRect(-20, 242, 230, 248)},
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(PltColorDefaultBounds(C.Work), C.Want) << C.Work.width();

    TPalette P;
    EXPECT_EQ(P.Form->geometry(), PltColorDefaultBounds(WorkArea()));
}

TEST(PltColorPlacement, StoredOnDestroyAndRestoredOnCreate)
{
    TTestIni Ini;
    const QRect Work = WorkArea();
    {
        TfrmPltColor Form(nullptr, Ini.Ini.get());
        Form.setGeometry(Work.x() + 30, Work.y() + 40, 260, 230);
        Form.SetRolledUp(true);
    }
    EXPECT_EQ(Ini.Ini->ReadString("4.0", "PosPltColor", ""), "30,40,260,230,1");
    TfrmPltColor Again(nullptr, Ini.Ini.get());
    EXPECT_TRUE(Again.RolledUp());
    EXPECT_EQ(Again.pos(), Work.topLeft() + QPoint(30, 40));
    EXPECT_EQ(Again.UnrolledSize(), QSize(260, 230));
}

TEST(PltColorWindow, KeepsItsMinimumClientSizeWhileUnrolled)
{
    TPalette P;
    TMinMaxInfo Info;
    P.Form->GetMinMaxInfo(Info);
    const QSize Frame = P.Form->size() - P.Form->ClientRect().size();
    EXPECT_EQ(Info.MinTrackSize, QSize(222, 160) + Frame);
    QRect R(P.Form->pos(), QSize(100, 80));
    ApplyMinMaxInfo(P.Form.get(), R);
    EXPECT_EQ(R.size(), QSize(222, 160) + Frame);

    P.Form->SetRolledUp(true);
    P.Form->GetMinMaxInfo(Info);
    EXPECT_EQ(Info.MinTrackSize, P.Form->size());
    EXPECT_EQ(Info.MaxTrackSize, P.Form->size());
}

TEST(PltColorWindow, RolledUpItShowsTheTabsAndAPressOnThemUnrolls)
{
    TPalette P;
    const QSize Unrolled = P.Form->size();
    P.Form->SetRolledUp(true);
    const QTabBar* Bar = P.Form->PageControl->tabBar();
    EXPECT_EQ(P.Form->height(), Unrolled.height() - P.Form->ClientArea()->height() + Bar->y() + Bar->height());
    P.Press(P.Form->PageControl->tabBar(), QPoint(5, 5), Qt::RightButton);
    EXPECT_TRUE(P.Form->RolledUp());
    P.Press(P.Form->PageControl->tabBar(), QPoint(5, 5));
    EXPECT_FALSE(P.Form->RolledUp());
    EXPECT_EQ(P.Form->size(), Unrolled);
}

TEST(PltColorWindow, ClosingTellsTheParentWindow)
{
    struct TFrame : QWidget {
        bool event(QEvent* E) override
        {
            if (E->type() == TToolWindowClosedEvent::EventType)
                Windows.push_back(static_cast<TToolWindowClosedEvent*>(E)->Window());
            return QWidget::event(E);
        }
        std::vector<QWidget*> Windows;
    };
    TTestIni Ini; // outlives the window, which stores its placement as it goes
    TFrame Frame;
    auto* Form = new TfrmPltColor(&Frame, Ini.Ini.get());
    EXPECT_EQ(Form->parentWidget(), &Frame);
    EXPECT_TRUE(Form->isWindow());
    Form->show();
    Form->close();
    EXPECT_TRUE(Form->isHidden());
    QCoreApplication::sendPostedEvents(&Frame);
    EXPECT_EQ(Frame.Windows, std::vector<QWidget*>{Form});
}

TEST(PltColorWindow, FieldFillsTheClientHeightLessTheTabs)
{
    TPalette P;
    P.Form->resize(260, 300);
    QCoreApplication::processEvents();
    EXPECT_EQ(P.Form->pboxPal->height(), P.Form->ClientArea()->height() - 32);
    // The field shows the palette: its first cell black, the fifth red.
    const QImage Field = P.Form->pboxPal->Picture();
    const QSize S = P.Form->pboxPal->size();
    EXPECT_EQ(Field.pixelColor(CellRect(S, PltModePalette, 0, 0).center()), QColor(0, 0, 0));
    EXPECT_EQ(Field.pixelColor(CellRect(S, PltModePalette, 4, 0).center()), QColor(255, 0, 0));
}

// The sunken edge of the cells paints, for every size down to a pixel, what
// its eight one-pixel lines drawn with a pen paint.
TEST(PltColorField, SunkenEdgePaintsItsEightLinesPixelForPixel)
{
    for (int W = 1; W <= 7; ++W)
        for (int H = 1; H <= 7; ++H) {
            const QRect R(3, 2, W, H);
            QImage Want(14, 12, QImage::Format_RGB32), Got(14, 12, QImage::Format_RGB32);
            Want.fill(Qt::blue);
            Got.fill(Qt::blue);
            {
                QPainter P(&Want);
                const int L = R.left(), T = R.top(), Rt = R.right(), B = R.bottom();
                const std::pair<QColor, std::vector<QLine>> Lines[] = {
                    {QColor(160, 160, 160), {QLine(L, T, Rt - 1, T), QLine(L, T, L, B - 1)}},
                    {QColor(64, 64, 64), {QLine(L + 1, T + 1, Rt - 2, T + 1), QLine(L + 1, T + 1, L + 1, B - 2)}},
                    {QColor(255, 255, 255), {QLine(L, B, Rt, B), QLine(Rt, T, Rt, B)}},
                    {QColor(227, 227, 227), {QLine(L + 1, B - 1, Rt - 1, B - 1), QLine(Rt - 1, T + 1, Rt - 1, B - 1)}},
                };
                for (const auto& [Colour, Pair] : Lines) {
                    P.setPen(Colour);
                    for (const QLine& Line : Pair)
                        P.drawLine(Line);
                }
            }
            {
                QPainter P(&Got);
                DrawSunkenEdge(P, R);
            }
            EXPECT_EQ(Got, Want) << W << " x " << H;
        }
}
