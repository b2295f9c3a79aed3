// A document window whose page holds an item that cannot be drawn: the
// window paints the rest, tells the failure once after the paint, and tries
// the item again only when it changes; the commands that hand the picture
// on say that it failed, and a save still writes the document.
#include "shell/child_test_support.h"

#include "foundation/user_error.h"
#include "model/param_shapes.h"
#include "paint/macro_interpreter.h"
#include "paint/macro_list.h"
#include "platform/message_box.h"
#include "shell/child_print.h"

#include <QFileInfo>
#include <QPrinter>
#include <QTest>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const std::string FailureText = "NilPicturePaintFill2 の実行に失敗。戻り値 = 0000002A";

struct RenderFailureTest : ChildFormTest {
    TRealObjectTypes Types;
    TCatalogueLibraries Catalogue;
    TfrmChild* W = nullptr;
    TRectObj* Good = nullptr;
    TRectObj* Bad = nullptr;
    // The painting runs of Bad the hook was asked about; while Failing, each fails.
    int BadRuns = 0;
    bool Failing = true;
    bool Painting = false;
    int BoxesInsidePaint = 0;
    std::vector<std::string> Boxes;
    TMessageBoxHandler OldBoxes;
    TPaintCallHook OldHook;

    void SetUp() override
    {
        ChildFormTest::SetUp();
        OldBoxes = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string&, uint32_t Flags) {
            Boxes.push_back(Text);
            BoxesInsidePaint += Painting;
            return DefaultMessageBoxAnswer(Flags);
        });
        OldHook = SetPaintCallHook([this](std::string_view Function, const TMacroPaintArgs& Args) {
            if (Function != "NilPicturePaintFill2" || Args.MeasureOnly || !Bad || Args.Instance != Bad->ObjID())
                return 0;
            ++BadRuns;
            return Failing ? 42 : 0;
        });
        W = Open(200, 150);
        // The view's paint, told while it runs.
        auto Paint = W->pboxkClient->OnPaint;
        W->pboxkClient->OnPaint = [this, Paint](TPaintBoxWex* Sender, QPainter& DC) {
            Painting = true;
            struct TEnd {
                bool& Flag;
                ~TEnd() { Flag = false; }
            } End{Painting};
            Paint(Sender, DC);
        };
        Good = AddRect(20, 20, 60, 40, "10000FF");
        Bad = AddRect(110, 20, 60, 40, "1FF0000");
    }
    void TearDown() override
    {
        SetPaintCallHook(OldHook);
        SetMessageBoxHandler(OldBoxes);
        ChildFormTest::TearDown();
    }
    TRectObj* AddRect(int32_t X, int32_t Y, int32_t Width, int32_t Height, const char* Fill)
    {
        auto R = std::make_unique<TRectObj>(&PageOf(W), -1);
        R->SetFrame(X, Y, Width, Height);
        auto Macro = std::make_unique<TMacro>();
        EXPECT_TRUE(Macro->LoadFromLibrary("塗り(ボカシ)"));
        Macro->SetParamValue("塗り方法", Fill);
        R->Macros().Clear();
        R->Macros().Add(std::move(Macro));
        R->SetFillPath(1);
        auto* Added = static_cast<TRectObj*>(PageOf(W).RootGroup().AddChild(std::move(R), -1));
        Added->CalcExtentsAndInvalidate();
        return Added;
    }
    // Paints the view through the window system's road and through a grab,
    // and runs what was posted.
    void Repaint()
    {
        W->pboxkClient->repaint();
        W->pboxkClient->grab();
        Settle();
    }
    uint32_t Shown(const TPoint& P) const
    {
        const TPoint V = W->DocToView(P);
        return W->pboxkClient->grab().toImage().pixel(V.X, V.Y) & 0xFFFFFF;
    }
    void Change(const std::function<void()>& Body)
    {
        THistoryCommand* H = W->Document()->History();
        H->CommandStart("変更");
        Body();
        H->CommandEnd();
    }
};

} // namespace

TEST_F(RenderFailureTest, TheWindowPaintsTheRestAndTellsTheFailureOnceAfterThePaint)
{
    for (int I = 0; I < 3; ++I) {
        Repaint();
        const TPoint At = W->DocToView({140, 40});
        QTest::mouseClick(W->pboxkClient, Qt::LeftButton, {}, QPoint(At.X, At.Y));
        QTest::mouseClick(W->pboxkClient, Qt::LeftButton, {}, QPoint(5, 5));
        Settle();
    }
    EXPECT_EQ(Boxes, std::vector<std::string>{FailureText});
    EXPECT_EQ(BoxesInsidePaint, 0);
    EXPECT_EQ(BadRuns, 1);
    EXPECT_EQ(Shown({50, 40}), 0xFF0000u);
    EXPECT_EQ(Shown({140, 40}), 0xFFFFFFu);
    EXPECT_TRUE(Bad->LeftOutAt(PageOf(W).DisplayMode()));

    // Changed, it is tried again and told again, once.
    Change([&] { Bad->MoveBy(4, 0); });
    Repaint();
    Repaint();
    EXPECT_EQ(BadRuns, 2);
    EXPECT_EQ(Boxes, (std::vector<std::string>{FailureText, FailureText}));
    // An undo touching it as well.
    W->actUndoExecute();
    Repaint();
    Repaint();
    EXPECT_EQ(BadRuns, 3);
    EXPECT_EQ(Boxes.size(), 3u);
    EXPECT_EQ(BoxesInsidePaint, 0);
    // Another item's change beneath it does not try it again.
    Change([&] { Good->MoveBy(60, 0); });
    Repaint();
    EXPECT_EQ(BadRuns, 3);
    EXPECT_EQ(Boxes.size(), 3u);
    // Once it can be drawn, its next change draws it.
    Failing = false;
    Change([&] { Bad->MoveBy(0, 4); });
    Repaint();
    EXPECT_EQ(Shown({140, 44}), 0x0000FFu);
    EXPECT_EQ(Boxes.size(), 3u);
    EXPECT_FALSE(Bad->LeftOutAt(PageOf(W).DisplayMode()));
}

// The commands that hand the page's picture on try the item again and fail
// with its failure, told once by the command; the window does not tell it
// again. A save writes the whole document all the same.
TEST_F(RenderFailureTest, CommandsThatHandThePictureOnFailAndASaveStillWrites)
{
    Repaint();
    ASSERT_EQ(Boxes.size(), 1u);
    const std::string Bmp = Folders.Tmp / "page.bmp";
    Frame.DialogFile = Bmp;
    const std::string Pdf = Folders.Tmp / "page.pdf";
    SetPrintDialogProc([&](QPrinter& Printer, QWidget*) {
        Printer.setOutputFormat(QPrinter::PdfFormat);
        Printer.setOutputFileName(QString::fromStdString(Pdf));
        return true;
    });
    for (const auto& Command : {std::function<void()>([&] { W->actSaveBMPExecute(); }),
                                std::function<void()>([&] { W->actCopyAsBMPExecute(); }),
                                std::function<void()>([&] { W->actPrintExecute(); })}) {
        const int Before = BadRuns;
        try {
            Command();
            ADD_FAILURE() << "the command handed on a picture without the item";
        } catch (const EUserError& E) {
            EXPECT_EQ(E.Message(), FailureText);
        }
        EXPECT_EQ(BadRuns, Before + 1);
    }
    SetPrintDialogProc(nullptr);
    EXPECT_FALSE(std::filesystem::exists(Bmp));
    EXPECT_FALSE(std::filesystem::exists(Pdf));
    Repaint();
    EXPECT_EQ(Boxes.size(), 1u);

    const std::string File = Folders.Tmp / "failing.srn";
    ASSERT_TRUE(W->Document()->SaveToFile(File));
    {
        std::unique_ptr<TOLEDocumentWex> Read = gDocuments->DocumentClass()(nullptr, gDocuments.get());
        Read->SetFileName(File);
        Read->Open();
        ASSERT_EQ(Read->GetPageCount(), 1);
        EXPECT_EQ(static_cast<TPage*>(Read->GetPage(0))->RootGroup().GetCount(), 2);
    }

    // Drawable again, the export has it.
    Failing = false;
    W->actSaveBMPExecute();
    EXPECT_TRUE(std::filesystem::exists(Bmp));
    EXPECT_FALSE(Bad->LeftOutAt(PageOf(W).DisplayMode()));
}

// However far an effect reaches, the dirty area stays on the page and the
// long-render decision counts that area; a rectangle over the whole int32
// range counts without overflowing.
TEST_F(RenderFailureTest, TheLongRenderIsDecidedOnTheDirtyAreaOnThePage)
{
    TPage& P = PageOf(W);
    Repaint();
    const TRect All{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    EXPECT_TRUE(TfrmChild::LongRender(All));
    EXPECT_FALSE(TfrmChild::LongRender(TRect{0, 0, 1999, 1998}));
    EXPECT_TRUE(TfrmChild::LongRender(TRect{0, 0, 1999, 1999}));
    EXPECT_FALSE(TfrmChild::LongRender(TRect{-1, -1, -2, -2}));
    P.InvalidateRect(&All, true);
    EXPECT_EQ(P.DirtyRect(), (TRect{0, 0, 199, 149}));
    EXPECT_FALSE(TfrmChild::LongRender(P.DirtyRect()));
    Repaint();
    EXPECT_EQ(P.DirtyRect(), EmptyExtent);
}
