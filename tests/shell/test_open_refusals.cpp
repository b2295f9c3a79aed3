// Files the frame cannot open are told, and nothing opens: pipes and devices
// are never opened (a pipe would hang start-up), folders, missing files and
// pictures the reader refuses get the same one box as a document that does
// not load, by every road (command line, the picture dialog, the hand-off of
// "-e", drops, the recent list); names that no file system holds are
// refused before anything else and every box shows them cut to size.
#include "shell_test_support.h"

#include "platform/fifo_watch.h"
#include "raster/png_bytes.h"
#include "shell/tavro_action.h"
#include "ui/history_menu.h"
#include "ui/preview_dialogs.h"

#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <functional>

namespace {

class TOpenRefusalTest : public TFrameTest {
protected:
    // The one box of a file that does not load, and nothing else.
    void ExpectRefused(const std::string& Path, const std::string& Reason, const std::string& Road)
    {
        ASSERT_EQ(Boxes.size(), 1u) << Road;
        EXPECT_EQ(Boxes[0].Caption, "エラー") << Road;
        EXPECT_EQ(Boxes[0].Text, Path + " の読み込みに失敗しました。\n" + Reason) << Road;
        EXPECT_EQ(DocNames(), std::vector<std::string>{"画像1"}) << Road;
        Boxes.clear();
    }
    // Runs a command as the event loop does, through the application's
    // boundary for exceptions.
    void PostAndSettle(std::function<void()> Command)
    {
        QMetaObject::invokeMethod(Frame.get(), std::move(Command), Qt::QueuedConnection);
        for (int I = 0; I < 100 && Boxes.empty(); ++I)
            Settle(10);
        Settle(10);
    }
};

const char* const DeepPngReason = "PNGLoadFromStream: Not Suppoert (BitDepth = 16)";

} // namespace

TEST_F(TOpenRefusalTest, TheCommandLineReportsWhatCannotBeOpened)
{
    std::filesystem::create_directory(Tmp / "folder.png");
    Tmp.Put("deep.png", PngBytes(4, 3, 16, 2));
    Tmp.Put("huge.png", PngBytes(60000, 60000, 8, 2));
    TFifoWatch PipeDoc(Tmp / "pipe.srn");
    TFifoWatch PipePic(Tmp / "pipe.png");
    const struct {
        std::string Path;
        std::string Reason;  // "" for "<path> を開けません。"
    } Cases[] = {
        {PipeDoc.Path(), ""},
        {PipePic.Path(), ""},
        {Tmp / "folder.png", ""},
        {Tmp / "folder.png/../missing.png", ""},
        {"/dev/zero", ""},
        {Tmp / "deep.png", DeepPngReason},
        {Tmp / "huge.png", "PNGLoadFromStream: Illegal Size"},
    };
    for (const auto& C : Cases) {
        Start({QString::fromStdString(C.Path)});
        ExpectRefused(C.Path, C.Reason.empty() ? C.Path + " を開けません。" : C.Reason, C.Path);
        Close();
    }
    EXPECT_FALSE(PipeDoc.ReaderBlocked());
    EXPECT_FALSE(PipePic.ReaderBlocked());
}

TEST_F(TOpenRefusalTest, ARefusedPictureIsToldByEveryRoad)
{
    const std::string Deep = Tmp / "deep.png";
    Tmp.Put("deep.png", PngBytes(4, 3, 16, 0));
    Start();

    PostAndSettle([&] {
        QTimer::singleShot(0, Frame->dlgOpenImage(), [&] {
            ChooseFile(Frame->dlgOpenImage(), Deep);
        });
        Frame->actOpenImage->trigger();
    });
    ExpectRefused(Deep, DeepPngReason, "画像を開く");

    ASSERT_TRUE(HandOver({"-e", QString::fromStdString(Deep)}));
    for (int I = 0; I < 200 && Boxes.empty(); ++I)
        Settle(10);
    Settle(10);
    ExpectRefused(Deep, DeepPngReason, "-e");
    EXPECT_TRUE(Frame->isEnabled());

    QMimeData Mime;
    Mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(Deep))});
    const QPoint P(Frame->width() / 2, Frame->height() / 2);
    QDragEnterEvent Enter(P, Qt::CopyAction, &Mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Frame.get(), &Enter);
    QDropEvent Dropped(QPointF(P), Qt::CopyAction, &Mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Frame.get(), &Dropped);
    ExpectRefused(Deep, DeepPngReason, "drop");
}

TEST_F(TOpenRefusalTest, APipeIsNeverOpenedFromTheRecentListOrADroppedAddress)
{
    TFifoWatch Pipe(Tmp / "pipe.srn");
    TFifoWatch Text(Tmp / "pipe.txt");
    Start();
    Frame->HistoryMenu->Add(Pipe.Path());
    QAction* Entry = nullptr;
    for (QAction* A : Frame->menuBar()->actions().first()->menu()->actions())
        if (A->text().endsWith(QString::fromStdString(Pipe.Path())))
            Entry = A;
    ASSERT_NE(Entry, nullptr);
    PostAndSettle([Entry] { Entry->trigger(); });
    EXPECT_FALSE(Pipe.ReaderBlocked());
    ExpectRefused(Pipe.Path(), Pipe.Path() + " を開けません。", "recent list");

    // A file address as a browser drags it, read as draw-item text.
    QMimeData Mime;
    const std::u16string Moz = QString::fromStdString("file://" + Text.Path() + "\nlink").toStdU16String();
    Mime.setData("text/x-moz-url",
                 QByteArray(reinterpret_cast<const char*>(Moz.data()), qsizetype(Moz.size() * 2)));
    const QPoint P(Frame->width() / 2, Frame->height() / 2);
    QDragEnterEvent Enter(P, Qt::LinkAction, &Mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Frame.get(), &Enter);
    QDropEvent Dropped(QPointF(P), Qt::LinkAction, &Mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Frame.get(), &Dropped);
    EXPECT_FALSE(Text.ReaderBlocked());
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "データの読み込みに失敗しました");
}

TEST_F(TOpenRefusalTest, AnAbsurdNameIsRefusedAndShownCut)
{
    std::string Name = "/";
    while (Name.size() < 4'000'000)
        Name += "folder/";
    Name += "doc.srn";
    Start({QString::fromStdString(Name)});
    ASSERT_EQ(Boxes.size(), 1u);
    for (const TBox& B : Boxes) {
        EXPECT_LT(B.Text.size(), 4 * MaxMessageRun + 100);
        EXPECT_NE(B.Text.find("folder/doc.srn"), std::string::npos);
    }
    EXPECT_EQ(DocNames(), std::vector<std::string>{"画像1"});
}

TEST_F(TOpenRefusalTest, ADocumentTheReaderRefusesIsToldInOneBox)
{
    const std::string Bmp = Tmp / "fake.srn";
    const std::string Newer = Tmp / "newer.srn";
    Tmp.Put("fake.srn", std::string("BM\x3e\0\0\0\0\0\0\0\x3e\0\0\0", 14));
    Tmp.Put("newer.srn", std::string("TAV\0garbage", 11));
    Start();
    const struct {
        std::string Path;
        std::string Reason;
    } Cases[] = {
        {Bmp, "データ形式が違います。"},
        {Newer, "新しいバージョンのデータです。このバージョンでは読み込めません。"},
    };
    for (const auto& C : Cases) {
        QString Shown = "(not shown)";
        PostAndSettle([&] {
            QTimer::singleShot(0, Frame->dlgOpen(), [&] {
                Shown = Frame->dlgOpen()->findChild<QLineEdit*>("fileNameEdit")->text();
                ChooseFile(Frame->dlgOpen(), C.Path);
            });
            Frame->actOpen->trigger();
        });
        // The reused dialog offers no name of its last use.
        EXPECT_EQ(Shown.toStdString(), "") << C.Path;
        ExpectRefused(C.Path, C.Reason, C.Path);
    }
}
