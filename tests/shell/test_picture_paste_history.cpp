// A picture pasted into a new document stays through undo and redo: the road
// a user takes through the frame's keys (open a picture, select all, copy,
// new, paste, duplicate or a fill edit at the object's size, undo twice,
// redo twice, save) ends with the picture on the page and in the file.
#include "shell_test_support.h"

#include "editors/frm_gradation.h"
#include "editors/macro_paint_page.h"
#include "model/draw_group.h"
#include "model/draw_object.h"
#include "shell/tavro_action.h"
#include "store/picture_store.h"
#include "ui/ctrl_grid_tav.h"
#include "ui/panel_button.h"

#include <QImage>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace {

// The picture: 40 x 30 of one colour, so that its middle shows that colour
// whatever the fill's softening does at its edges.
constexpr QRgb PictureColour = qRgb(200, 40, 90);

class TPicturePasteTest : public TFrameTest {
protected:
    void SetUp() override
    {
        TFrameTest::SetUp();
        QImage Picture(40, 30, QImage::Format_RGB32);
        Picture.fill(PictureColour);
        Png = Tmp / "picture.png";
        ASSERT_TRUE(Picture.save(QString::fromStdString(Png), "PNG"));
    }
    void TearDown() override
    {
        for (int32_t I = 0; I < gDocuments->GetCount(); ++I)
            gDocuments->GetDocument(I)->SetModified(false);
        TFrameTest::TearDown();
    }
    void Key(Qt::Key K, Qt::KeyboardModifiers M = Qt::ControlModifier)
    {
        QWidget* Window = Frame->ActiveDocWindow()->SubWindow()->widget();
        QTest::keyClick(Window, K, M);
        Settle();
    }
    // Opens the picture as a document, copies its rectangle and pastes it
    // into a new document; the new document.
    TOLEDocumentWex& PasteIntoNewDocument()
    {
        Start();
        Frame->OpenImage(Png);
        Frame->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(Frame.get()));
        Key(Qt::Key_A);
        Key(Qt::Key_C);
        Frame->actNew->trigger();
        Settle();
        EXPECT_EQ(gDocuments->GetCount(), 2);
        TOLEDocumentWex& Doc = *Frame->ActiveDocWindow()->Document();
        Key(Qt::Key_V);
        EXPECT_EQ(ActivePage()->RootGroup().GetCount(), 1);
        return Doc;
    }
    // The fill editor of the selection's picture fill: 図形サイズ, then OK.
    void FillEditAtObjectSize()
    {
        TCtrlGridTav& Grid = *frmObjProperty->MacroPage->cgridMacroPaint;
        int Row = 1;
        while (Row < Grid.RowCount() && Grid.Cells(Grid.ColCount() - 2, Row) != QString::fromUtf8("塗り方法"))
            ++Row;
        ASSERT_LT(Row, Grid.RowCount());
        bool Ran = false;
        QTimer Poll;
        QObject::connect(&Poll, &QTimer::timeout, [&] {
            auto* Form = qobject_cast<TfrmGradation*>(QApplication::activeModalWidget());
            if (!Form || std::exchange(Ran, true))
                return;
            Form->btnFitSize->click();
            Form->btnOK->click();
        });
        Poll.start(5);
        static_cast<TPanelButton*>(Grid.GetCellControl(Grid.ColCount() - 1, Row))->Click();
        Poll.stop();
        EXPECT_TRUE(Ran) << "no fill editor came";
        Settle();
        // The keys go back to the frame, as the window manager gives them.
        Frame->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(Frame.get()));
    }
    // Every item finds its picture; the page shows the picture's colour in
    // each item where no later item covers it.
    void ExpectPictureShown(TOLEDocumentWex& Doc)
    {
        TPage& Page = *ActivePage();
        TListPtrWex Used;
        Page.CollectPictureHandles(Used);
        ASSERT_GE(Used.Count(), 1);
        for (int32_t I = 0; I < Used.Count(); ++I)
            EXPECT_NE(Doc.GetPictureStore()->GetItemByHandle(int32_t(reinterpret_cast<intptr_t>(Used.Get(I)))),
                      nullptr);
        Page.RenderInMode(3);
        const TrecPicture& P = *Page.GetPagePicture();
        TDrawGroup& Root = Page.RootGroup();
        for (int32_t I = 0; I < Root.GetCount(); ++I) {
            const TRect B = dynamic_cast<TDrawObject&>(*Root.GetItem(I)).GetPath().Bounds;
            const auto Covered = [&](int32_t X, int32_t Y) {
                for (int32_t J = I + 1; J < Root.GetCount(); ++J) {
                    const TRect C = dynamic_cast<TDrawObject&>(*Root.GetItem(J)).GetPath().Bounds;
                    if (X >= C.Left - 2 && X < C.Right + 2 && Y >= C.Top - 2 && Y < C.Bottom + 2)
                        return true;
                }
                return false;
            };
            int32_t Checked = 0;
            for (int32_t Y = B.Top + 4; Y < B.Bottom - 4; Y += 3)
                for (int32_t X = B.Left + 4; X < B.Right - 4; X += 3) {
                    if (Covered(X, Y))
                        continue;
                    const int64_t Line = RecPictureGetImageSize(P) / RecPictureHeader(P)->biHeight;
                    const uint8_t* Px = P.pBits + (RecPictureHeader(P)->biHeight - 1 - Y) * Line + 3 * X;
                    ASSERT_EQ(QColor(Px[2], Px[1], Px[0]).name().toStdString(),
                              QColor(PictureColour).name().toStdString())
                        << "item " << I << " at " << X << ", " << Y;
                    ++Checked;
                }
            if (I + 1 == Root.GetCount())
                EXPECT_GT(Checked, 0) << "the topmost item was not looked at";
        }
    }
    // The document saved, and read back: it holds the picture its items use.
    void ExpectSavedWithThePicture(TOLEDocumentWex& Doc)
    {
        const std::string Path = Tmp / "pasted.srn";
        ASSERT_TRUE(Doc.SaveToFile(Path));
        TOLEDocumentWex Back(nullptr, nullptr);
        Back.SetFileName(Path);
        Back.Open();
        const TListRecPict& Store = *Back.GetPictureStore();
        int32_t Pictures = 0;
        for (int32_t I = 0; I < Store.Items().Count(); ++I)
            if (Store.Items().GetKey(I) >= 0) {
                ++Pictures;
                const BITMAPINFOHEADER* H = RecPictureHeader(Store.ItemAt(I)->Picture);
                ASSERT_TRUE(H);
                EXPECT_EQ(H->biWidth, 40);
                EXPECT_EQ(H->biHeight, 30);
            }
        EXPECT_EQ(Pictures, 1);
        TListPtrWex Used;
        Back.GetPage(0)->CollectPictureHandles(Used);
        ASSERT_EQ(Used.Count(), 1);
        EXPECT_NE(Store.GetItemByHandle(int32_t(reinterpret_cast<intptr_t>(Used.Get(0)))), nullptr);
    }

    std::string Png;
};

} // namespace

TEST_F(TPicturePasteTest, PastedAndDuplicatedPictureSurvivesUndoAndRedo)
{
    TOLEDocumentWex& Doc = PasteIntoNewDocument();
    Key(Qt::Key_D);
    ASSERT_EQ(ActivePage()->RootGroup().GetCount(), 2);
    Key(Qt::Key_Z);
    Key(Qt::Key_Z);
    EXPECT_EQ(ActivePage()->RootGroup().GetCount(), 0);
    Key(Qt::Key_Y);
    Key(Qt::Key_Y);
    ASSERT_EQ(ActivePage()->RootGroup().GetCount(), 2);
    ExpectPictureShown(Doc);
    ExpectSavedWithThePicture(Doc);
    EXPECT_TRUE(Boxes.empty()) << Boxes.front().Text;
}

TEST_F(TPicturePasteTest, PastedPictureWithAFillEditSurvivesUndoAndRedo)
{
    TOLEDocumentWex& Doc = PasteIntoNewDocument();
    FillEditAtObjectSize();
    ASSERT_EQ(Doc.History()->UndoCaption(), "プロパティの設定");
    Key(Qt::Key_Z);
    Key(Qt::Key_Z);
    EXPECT_EQ(ActivePage()->RootGroup().GetCount(), 0);
    Key(Qt::Key_Y);
    Key(Qt::Key_Y);
    ASSERT_EQ(ActivePage()->RootGroup().GetCount(), 1);
    ExpectPictureShown(Doc);
    ExpectSavedWithThePicture(Doc);
    EXPECT_TRUE(Boxes.empty()) << Boxes.front().Text;
}

// Once the paste had been undone and redone, the fill edit after it could
// never be redone: every Ctrl+Y showed a box.
TEST_F(TPicturePasteTest, AFillEditAfterAPasteRedoneIsRedoneWithoutABox)
{
    TOLEDocumentWex& Doc = PasteIntoNewDocument();
    Key(Qt::Key_Z);
    Key(Qt::Key_Y);
    FillEditAtObjectSize();
    for (int Round = 0; Round < 2; ++Round) {
        Key(Qt::Key_Z);
        Key(Qt::Key_Y);
        EXPECT_EQ(Doc.History()->UndoCaption(), "プロパティの設定");
    }
    EXPECT_FALSE(Doc.History()->CanRedo());
    ExpectPictureShown(Doc);
    ExpectSavedWithThePicture(Doc);
    EXPECT_TRUE(Boxes.empty()) << Boxes.front().Text;
}
