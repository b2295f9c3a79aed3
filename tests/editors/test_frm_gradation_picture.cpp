// The fill editor's picture page: the picture over the clipboard, from the
// scanner, and the view that pans with the hand.
#include "editors/frm_gradation.h"

#include "picker_test_support.h"
#include "platform/module_loader.h"
#include "platform/qt/screen_cursors.h"
#include "store/picture_store.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>

namespace {

// Every pixel its own colour, so a turned or mirrored copy shows.
QImage Pattern(int W, int H)
{
    QImage I(W, H, QImage::Format_RGB888);
    for (int Y = 0; Y < H; ++Y)
        for (int X = 0; X < W; ++X)
            I.setPixelColor(X, Y, QColor((X * 37) & 255, (Y * 53) & 255, (X * Y * 11) & 255));
    return I;
}

QByteArray BmpBytes(const QImage& Image)
{
    QByteArray Bytes;
    QBuffer Buffer(&Bytes);
    Buffer.open(QIODevice::WriteOnly);
    Image.save(&Buffer, "BMP");
    return Bytes;
}

struct TPictForm {
    explicit TPictForm(bool PictOnly = false)
        : F(nullptr, Ini.Ini.get(), "4.0", "FlgGrad", "PosGrad", "DirGrph", PictOnly), Store(nullptr)
    {
        F.SetUp("41", QPainterPath(), &Store);
    }
    bool Load(const QImage& Image)
    {
        const std::string Png = Ini.Dir + "/p.png";
        return Image.save(QString::fromStdString(Png)) && F.LoadPictureFile(Png);
    }
    TTestIni Ini;
    TfrmGradation F;
    TListRecPict Store;
};

} // namespace

TEST(FrmGradationPicture, CopyPutsThePictureOnTheClipboardAndPasteTakesItBack)
{
    const QImage Image = Pattern(7, 5);
    TPictForm From, To;
    EXPECT_FALSE(From.F.sbtnImgCopy->isEnabled()); // no picture yet
    ASSERT_TRUE(From.Load(Image));
    ASSERT_TRUE(From.F.sbtnImgCopy->isEnabled());
    QGuiApplication::clipboard()->clear();
    QTest::qWait(20);
    EXPECT_FALSE(To.F.sbtnImgPaste->isEnabled());
    From.F.sbtnImgCopy->click();
    QTest::qWait(20);
    // Other programs see a device-independent bitmap of the same pixels.
    const QMimeData* Mime = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(Mime && Mime->hasFormat("image/bmp"));
    EXPECT_EQ(QImage::fromData(Mime->data("image/bmp"), "BMP").convertToFormat(QImage::Format_RGB888), Image);
    EXPECT_TRUE(To.F.sbtnImgPaste->isEnabled()); // it follows the clipboard
    To.F.sbtnImgPaste->click();
    ASSERT_EQ(To.F.AddedPictures().size(), 1u);
    EXPECT_EQ(To.F.PictParam().iHandle, To.F.AddedPictures()[0]);
    EXPECT_EQ(To.F.PictParam().iWidth, 7);
    EXPECT_EQ(To.F.PictParam().iHeight, 5);
    EXPECT_EQ(To.F.pboxGrph->Image(), Image);
    EXPECT_EQ(To.F.FillCode().substr(0, 2), "41");
}

TEST(FrmGradationPicture, PastedBitmapsOfAnyDepthBecomeTheFillPicture)
{
    // A bitmap put there by another program, in colour and in grey; the
    // picture-only editor keeps grey levels.
    const QImage Colour = Pattern(6, 4);
    const QImage Grey = Colour.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    struct Case { QImage Put; bool PictOnly; int StoredBits; };
    for (const Case& C : {Case{Colour, false, 24}, Case{Grey, false, 24}, Case{Colour, true, 8}}) {
        SCOPED_TRACE(C.Put.depth() * 10 + C.PictOnly);
        TPictForm T(C.PictOnly);
        auto* Mime = new QMimeData;
        Mime->setData("image/bmp", BmpBytes(C.Put));
        QGuiApplication::clipboard()->setMimeData(Mime);
        QTest::qWait(20);
        ASSERT_TRUE(T.F.sbtnImgPaste->isEnabled());
        T.F.sbtnImgPaste->click();
        ASSERT_EQ(T.F.AddedPictures().size(), 1u);
        const TListRecPictItem* Item = T.Store.GetItemByHandle(T.F.AddedPictures()[0]);
        ASSERT_NE(Item, nullptr);
        EXPECT_EQ(RecPictureHeader(Item->Picture)->biBitCount, C.StoredBits);
        if (!C.PictOnly) {
            EXPECT_EQ(T.F.pboxGrph->Image(), C.Put.convertToFormat(QImage::Format_RGB888));
        }
    }
}

TEST(FrmGradationPicture, PackedBitmapFromTheScannerIsStored)
{
    const QImage Image = Pattern(5, 3);
    const QByteArray Bmp = BmpBytes(Image);
    // A packed DIB is the file without its 14-byte file header.
    HGLOBAL Dib = GlobalAlloc(GMEM_MOVEABLE, Bmp.size() - 14);
    std::memcpy(GlobalLock(Dib), Bmp.constData() + 14, Bmp.size() - 14);
    GlobalUnlock(Dib);
    TPictForm T;
    EXPECT_FALSE(T.F.TakePackedDib(nullptr, ""));
    EXPECT_TRUE(T.F.TakePackedDib(Dib, ""));
    GlobalFree(Dib);
    ASSERT_EQ(T.F.AddedPictures().size(), 1u);
    EXPECT_EQ(T.F.pboxGrph->Image(), Image);
}

TEST(FrmGradationPicture, ScannerInputWithoutSourceManagerSaysSo)
{
    TTestIni Empty;
    SetModuleDirectories("", "", Empty.Dir);
    TPictForm T;
    TBoxRecorder Boxes;
    T.F.sbtnInputTwain->click();
    EXPECT_EQ(Boxes.Texts, std::vector<std::string>{"Unable to load Source Manager (TWAIN_32.DLL)"});
    EXPECT_TRUE(T.F.AddedPictures().empty());
    SetModuleDirectories("", "", "");
}

TEST(FrmGradationPicture, ViewShowsThePictureCentredAndPansWithTheHand)
{
    TPictForm T;
    T.F.show();
    QTest::qWait(20);
    // Without a picture the view is grey.
    EXPECT_EQ(T.F.pboxGrph->grab().toImage().pixelColor(5, 5), QColor(0x80, 0x80, 0x80));
    ASSERT_TRUE(T.Load(Pattern(1200, 1000)));
    QTest::qWait(20);
    EXPECT_EQ(T.F.pboxGrph->size(), QSize(1200, 1000));
    QScrollBar* H = T.F.sboxGrph->horizontalScrollBar();
    QScrollBar* V = T.F.sboxGrph->verticalScrollBar();
    H->setValue(100);
    V->setValue(100);
    const auto CursorIs = [&](const char* Name) {
        return T.F.pboxGrph->cursor().pixmap().toImage() == LoadCursorResource(Name)->pixmap().toImage();
    };
    EXPECT_TRUE(CursorIs("CHNDOPN"));
    QWidget* View = T.F.pboxGrph;
    QTest::mousePress(View, Qt::LeftButton, {}, QPoint(150, 150));
    EXPECT_TRUE(CursorIs("CHNDCLS"));
    QMouseEvent Move(QEvent::MouseMove, QPointF(120, 170), View->mapToGlobal(QPointF(120, 170)), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(View, &Move);
    // Moving the hand left and down drags the picture with it.
    EXPECT_EQ(H->value(), 130);
    EXPECT_EQ(V->value(), 80);
    QTest::mouseRelease(View, Qt::LeftButton, {}, QPoint(120, 170));
    EXPECT_TRUE(CursorIs("CHNDOPN"));
    EXPECT_FALSE(T.F.pboxGrph->Panning());
    // A picture smaller than the view sits in its middle on grey.
    ASSERT_TRUE(T.Load(QImage(Pattern(10, 10))));
    const QImage Shown = T.F.pboxGrph->grab().toImage();
    const QSize S = T.F.pboxGrph->size();
    EXPECT_EQ(Shown.pixelColor(S.width() / 2 - 5, S.height() / 2 - 5), Pattern(10, 10).pixelColor(0, 0));
    EXPECT_EQ(Shown.pixelColor(1, 1), QColor(0x80, 0x80, 0x80));
}
