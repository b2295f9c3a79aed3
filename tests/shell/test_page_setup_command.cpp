// The document window's page setup command: the dialog filled from the page,
// and its result one undoable step.
#include "page_setup_test_support.h"

#include "editors/frm_sel_color.h"
#include "store/history.h"
#include "ui/edit_track_bar_wex.h"

#include <QCheckBox>
#include <QComboBox>
#include <QTimer>

namespace {

// Body gets the modal dialog the command opened, once it runs.
template <class F>
void WithPageSetup(F&& Body)
{
    QTimer::singleShot(0, [Body] {
        auto* D = qobject_cast<TfrmSettingPage*>(QApplication::activeModalWidget());
        ASSERT_NE(D, nullptr);
        Body(*D);
    });
}

struct PageState {
    int32_t Width, Height, DPI, BkColor, Left, Top;
    uint8_t Unit, CenterH, CenterV;
    bool operator==(const PageState&) const = default;
};

// The colour of the rendered page picture's first pixel.
int32_t PictureColor(TPage& P)
{
    P.Update();
    const uint8_t* B = P.PagePicture().pBits;
    return B ? B[2] | B[1] << 8 | B[0] << 16 : -1;
}

PageState StateOf(const TPage& P)
{
    const TrecPrintPosition& Pos = P.PrintPosition();
    return {P.Width(), P.Height(), P.DPI(), P.BkColor(), Pos.Left, Pos.Top, P.Unit(), Pos.CenterH, Pos.CenterV};
}

} // namespace

TEST_F(ChildFormTest, PageSetupIsOneUndoStepRestoringThePage)
{
    TStandInPrinter Stand;
    TfrmChild* W = Open(200, 150);
    TPage& P = PageOf(W);
    P.SetBkColor(0x00FF00);
    P.SetPrintPosition({12, 34, 0, 0});
    THistoryCommand& H = *W->Document()->History();
    H.ClearHistory();
    const PageState Before = StateOf(P);
    Frame.Actions[11]->setText("ページ設定(&U)...");

    QString Shown;
    WithPageSetup([&](TfrmSettingPage& D) {
        Shown = D.EdtWidthPixel->text() + " " + D.EdtWidthUnit->text() + " " + D.cmbUnitType->currentText();
        D.RunColorDialog = [](TfrmSelColor* F) {
            F->SetColor(0x0000FF);
            return int(QDialog::Accepted);
        };
        D.pboxBackColorClick();
        D.EdtDPI->setCurrentText("144");
        D.cmbUnitType->setCurrentIndex(2);
        TypeInto(D.EdtWidthPixel, "320");
        D.cboxVCenter->setChecked(true);
        D.accept();
    });
    W->actPrintSetupExecute();
    EXPECT_EQ(Shown, "200 7.06 cm");
    const PageState After{320, 150, 144, 0x0000FF, 12, (3366 - 313) / 2, 2, 0, 1};
    EXPECT_EQ(StateOf(P), After);
    EXPECT_EQ(PictureColor(P), 0x0000FF);
    EXPECT_EQ(H.UndoCaption(), "ページ設定(&U)...");
    H.Undo();
    EXPECT_EQ(StateOf(P), Before);
    EXPECT_EQ(PictureColor(P), 0x00FF00);
    EXPECT_FALSE(H.CanUndo());
    H.Redo();
    EXPECT_EQ(StateOf(P), After);

    // A new background alone repaints the page, and so does its undo.
    WithPageSetup([](TfrmSettingPage& D) {
        D.RunColorDialog = [](TfrmSelColor* F) {
            F->SetColor(0xFF0000);
            return int(QDialog::Accepted);
        };
        D.pboxBackColorClick();
        D.accept();
    });
    W->actPrintSetupExecute();
    EXPECT_EQ(PictureColor(P), 0xFF0000);
    H.Undo();
    EXPECT_EQ(PictureColor(P), 0x0000FF);
    H.Redo();
    EXPECT_EQ(PictureColor(P), 0xFF0000);
    H.Undo();

    // Cancel, and OK with nothing changed, record nothing.
    H.ClearHistory();
    WithPageSetup([](TfrmSettingPage& D) {
        TypeInto(D.EdtHeightPixel, "99");
        D.reject();
    });
    W->actPrintSetupExecute();
    WithPageSetup([](TfrmSettingPage& D) { D.accept(); });
    W->actPrintSetupExecute();
    EXPECT_FALSE(H.CanUndo());
    EXPECT_EQ(StateOf(P), After);
    EXPECT_TRUE(Stand.Boxes.empty());
}

TEST_F(ChildFormTest, PageSetupOfAWireFramePageShowsItsPicture)
{
    TStandInPrinter Stand;
    TfrmChild* W = Open(200, 150);
    TPage& P = PageOf(W);
    P.SetBkColor(0x0000FF);
    P.SetDisplayMode(0);
    W->Document()->History()->ClearHistory();
    QColor Middle;
    WithPageSetup([&](TfrmSettingPage& D) {
        const TRect R = D.PreviewSelection().Rect();
        Middle = D.PaintBox->grab().toImage().pixelColor((R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2);
        D.reject();
    });
    W->actPrintSetupExecute();
    EXPECT_EQ(Middle, QColor(255, 0, 0));
    EXPECT_EQ(P.DisplayMode(), 0);
    EXPECT_FALSE(W->Document()->History()->CanUndo());
}

TEST_F(ChildFormTest, PageSetupOfACentredPageClosedUnchangedRecordsNothing)
{
    TStandInPrinter Stand;
    TfrmChild* W = Open(200, 150);
    TPage& P = PageOf(W);
    P.SetPrintPosition({5, 7, 1, 0});
    THistoryCommand& H = *W->Document()->History();
    H.ClearHistory();
    const PageState Before = StateOf(P);
    WithPageSetup([](TfrmSettingPage& D) { D.accept(); });
    W->actPrintSetupExecute();
    EXPECT_EQ(StateOf(P), Before);
    EXPECT_FALSE(H.CanUndo());
}
