// A picture opened as a document (a photograph whose stored form is far
// larger than the history's ring) is deleted and brought back by undo to
// the document's exact bytes, through the frame's keys.
#include "shell_test_support.h"

#include "model/object_test_support.h"
#include "shell/tavro_action.h"

#include <QImage>
#include <QRandomGenerator>

namespace {

std::vector<uint8_t> DocBytes(TOLEDocumentWex& Doc)
{
    TMemoryStream S;
    Doc.SaveToStream(S);
    return StreamBytes(S);
}

} // namespace

TEST_F(TFrameTest, DeletingALargePictureIsUndoneToTheExactBytes)
{
    // Noise compresses to nothing: its stored form stays about 1.4 MB.
    QImage Photo(800, 600, QImage::Format_RGB32);
    QRandomGenerator Random(44);
    for (int Y = 0; Y < Photo.height(); ++Y)
        for (int X = 0; X < Photo.width(); ++X)
            Photo.setPixel(X, Y, Random.generate() | 0xFF000000u);
    const std::string Path = Tmp / "photo.bmp";
    ASSERT_TRUE(Photo.save(QString::fromStdString(Path), "BMP"));
    Start();
    Frame->OpenImage(Path);
    ASSERT_EQ(gDocuments->GetCount(), 1);
    TOLEDocumentWex& Doc = *gDocuments->GetDocument(0);
    ASSERT_TRUE(Doc.SaveToFile(Tmp / "photo.srn"));
    ASSERT_TRUE(ActivateAndWait(Frame.get()));
    QWidget* Window = Frame->ActiveDocWindow()->SubWindow()->widget();
    const auto Key = [&](Qt::Key K, Qt::KeyboardModifiers M = Qt::NoModifier) {
        QTest::keyClick(Window, K, M);
        Settle();
    };

    const std::vector<uint8_t> Before = DocBytes(Doc);
    ASSERT_GT(Before.size(), size_t{THistoryCommand::DefaultRollSize});
    Key(Qt::Key_A, Qt::ControlModifier);
    Key(Qt::Key_Delete);
    EXPECT_EQ(ActivePage()->RootGroup().GetCount(), 0);
    const std::vector<uint8_t> Deleted = DocBytes(Doc);
    EXPECT_TRUE(Frame->actUndo->isEnabled());
    EXPECT_EQ(Doc.History()->UndoCaption(), "選択図形の削除");
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(DocBytes(Doc), Before);
    Key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(DocBytes(Doc), Deleted);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(DocBytes(Doc), Before);
    EXPECT_TRUE(Boxes.empty());
    Doc.SetModified(false);
}
