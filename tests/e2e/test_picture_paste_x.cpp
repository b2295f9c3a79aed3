// A pasted picture through undo and redo at a real display: the built
// program under Xvfb with openbox, driven only by xdotool's keys. A picture
// opened as a document is copied whole into a new document, duplicated,
// undone twice and redone twice: the page shows the picture again where it
// showed it before (not the checkerboard of a picture missing), and the file
// saved then holds the picture.
#include "e2e/x_session.h"
#include "platform/test_support.h"

#include "model/document.h"
#include "model/page.h"
#include "model/param_shapes.h"
#include "model/poly_line_obj.h"
#include "model/text_object.h"
#include "paint/macro_library.h"
#include "store/picture_store.h"

#include <QFileInfo>
#include <QImage>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

using namespace e2e;

constexpr int WindowTimeout = 20000;
// A colour nothing else on the screen has.
constexpr QRgb PictureColour = 0xC8285A;

int PictureColoured()
{
    const QImage Sc = Screen();
    int N = 0;
    for (int Y = 0; Y < Sc.height(); ++Y)
        for (int X = 0; X < Sc.width(); ++X)
            N += (Sc.pixel(X, Y) & 0xFFFFFF) == PictureColour;
    return N;
}

class PicturePasteX : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(StartWindowManager(Openbox)); }
    void TearDown() override
    {
        Tavro.Stop();
        Openbox.Stop();
    }
    // One key to the frame, then the program at rest.
    void Press(const char* Keys)
    {
        Key(Keys);
        ASSERT_TRUE(Settled(Frame)) << Keys << ": " << DescribeDisplay();
    }

    TTempDir Tmp;
    TOwnedProcess Openbox;
    TOwnedProcess Tavro;
    unsigned long Frame = 0;
};

TEST_F(PicturePasteX, APastedPictureComesBackWithUndoAndRedoAndIsSaved)
{
    std::filesystem::create_directories(Tmp / "work");
    QImage Picture(160, 120, QImage::Format_RGB32);
    Picture.fill(PictureColour);
    const QString Png = QString::fromStdString(Tmp / "work/picture.png");
    ASSERT_TRUE(Picture.save(Png));
    StartProgram(Tavro, Tmp.Dir, {Png}, Tmp / "work");
    Frame = WaitWindow("^タヴロ", WindowTimeout);
    ASSERT_NE(Frame, 0u) << "the frame never came";
    ASSERT_TRUE(WaitFor([] { return PictureColoured() >= 150 * 110; }, 10000)) << "the picture is not shown";
    ASSERT_TRUE(ActivateAndSettle(Frame)) << DescribeDisplay();

    Press("ctrl+a");
    Press("ctrl+c");
    Press("ctrl+n");
    ASSERT_TRUE(WaitFor([&] { return !WindowName(Frame).contains("picture"); }, 5000))
        << "no new document: the frame is named " << WindowName(Frame).toStdString();
    const int Behind = PictureColoured();
    Press("ctrl+v");
    ASSERT_TRUE(WaitFor([&] { return PictureColoured() >= Behind + 150 * 110; }, 5000))
        << "the pasted picture is not shown";
    Press("ctrl+d");
    const int Shown = PictureColoured();
    Press("ctrl+z");
    Press("ctrl+z");
    ASSERT_TRUE(WaitFor([&] { return PictureColoured() == Behind; }, 5000))
        << "undone twice, the new document still shows the picture";
    Press("ctrl+y");
    Press("ctrl+y");
    EXPECT_TRUE(WaitFor([&] { return PictureColoured() == Shown; }, 5000))
        << "redone twice, the page shows " << PictureColoured() << " pixels of the picture, not " << Shown;
    Screen().save(QString::fromStdString(Tmp / "redone.png"));

    const QList<unsigned long> Known = VisibleWindows();
    Press("ctrl+shift+s");
    const unsigned long Dialog = WaitNewWindow(Known, 5000);
    ASSERT_NE(Dialog, 0u) << "Ctrl+Shift+S opened no save dialog";
    ASSERT_TRUE(WaitActiveAndSettled(Dialog)) << DescribeDisplay();
    const QString File = QString::fromStdString(Tmp / "work/pasted.srn");
    Type(File);
    Key("Return");
    ASSERT_TRUE(WaitFor([&] { return QFileInfo(File).size() > 0 && WindowName(Frame).contains("pasted"); }, 10000))
        << "the document was not saved as " << File.toStdString();
    Tavro.Stop();

    // The file read back: its two rectangles name one picture it holds.
    LoadMacroLibraries(std::filesystem::path(std::getenv("TAVRO_PROGRAM")).parent_path().string());
    RegisterParamShapeTypes();
    RegisterTextObjType();
    RegisterPolyLineObjType();
    TOLEDocumentWex Doc(nullptr, nullptr);
    Doc.SetFileName(File.toStdString());
    Doc.Open();
    ASSERT_EQ(Doc.GetPageCount(), 1);
    EXPECT_EQ(static_cast<TPage*>(Doc.GetPage(0))->RootGroup().GetCount(), 2);
    TListPtrWex Used;
    Doc.GetPage(0)->CollectPictureHandles(Used);
    ASSERT_EQ(Used.Count(), 1);
    const TListRecPictItem* Item =
        Doc.GetPictureStore()->GetItemByHandle(static_cast<int32_t>(reinterpret_cast<intptr_t>(Used.Get(0))));
    ASSERT_NE(Item, nullptr) << "the saved file lacks the picture its rectangles name";
    const BITMAPINFOHEADER* H = RecPictureHeader(Item->Picture);
    ASSERT_TRUE(H);
    EXPECT_EQ(H->biWidth, 160);
    EXPECT_EQ(H->biHeight, 120);
}

} // namespace
