// The fill editor: fill codes in and out, live tests, persistence, preview.
#include "editors/frm_gradation.h"

#include "editors/frm_sel_color.h"
#include "editors/grad_stop_bar.h"
#include "editors/frm_sel_trans.h"
#include "editors/style_dialog.h"
#include "foundation/user_error.h"
#include "platform/fifo_watch.h"
#include "store/picture_store.h"
#include "picker_test_support.h"
#include "ui/edit_wex.h"
#include "ui/golden_image.h"
#include "ui/popup_test_support.h"
#include "ui/ole2_gradation.h"
#include "ui/ole_qt_bridge.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QMouseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <vector>
#include "editors/style_items.h"
#include "ui/preview_dialogs.h"
#include "window_wait.h"
#include <QDir>
#include <QFileDialog>
#include <QTimer>

namespace {

const std::string GradText = "0000255,1,3000,3000,13000,13000,2,0,0,1023,16777215,2,0,255,1023,0";

std::string Canonical(const std::string& Text)
{
    TGradationObject G;
    G.StrToGradation(Text);
    return G.GradationToStr();
}

struct TForm {
    TForm() : F(nullptr, Ini.Ini.get(), "4.0", "FlgGrad", "PosGrad", "DirGrph") {}
    TTestIni Ini;
    TfrmGradation F;
};

} // namespace

TEST(FrmGradation, FillCodesInAndOut)
{
    TFillPictParam Pict;
    StrToFillPictParam("1,5,-6,100,50,12.5,3,0,2", Pict);
    const std::string PictText = FillPictParamToStr(Pict);
    TGradationObject Fresh;
    Fresh.iX1 = Fresh.iY1 = 3000;
    Fresh.iX2 = Fresh.iY2 = 13000;
    Fresh.iOpacity = 255;
    Fresh.iRepeatCount = 1;
    struct Case { std::string In, Out; int Kind; bool Rotate; };
    for (const Case& C : std::vector<Case>{
             {"", "", 0, false},
             {"5", "5", 5, false},
             {"1FF", "1FF", 1, false},
             {"10000ff", "1FF", 1, false}, // read with any digits, written without leading zeros
             {"1abcdef", "1ABCDEF", 1, false},
             {"21" + GradText, "21" + Canonical(GradText), 2, true},
             {"20" + GradText, "20" + Canonical(GradText), 2, false},
             {"2", "21" + Fresh.GradationToStr(), 2, true}, // an empty rest turns with the shape
             {"41" + PictText, "41" + PictText, 4, true},
             {"40" + PictText, "40" + PictText, 4, false}}) {
        TForm T;
        T.F.SetUp(C.In);
        EXPECT_EQ(T.F.FillCode(), C.Out) << C.In;
        EXPECT_EQ(T.F.Kind(), C.Kind) << C.In;
        EXPECT_EQ(T.F.btnOK->isEnabled(), C.Kind != 0) << C.In;
        EXPECT_EQ(T.F.rbtnFTGrad->isChecked(), C.Kind == 2) << C.In;
        EXPECT_EQ(T.F.rbtnFTNone->isChecked(), C.Kind == 5) << C.In;
        if (C.Kind == 2 || C.Kind == 4) {
            EXPECT_EQ(T.F.cboxRotate->isChecked(), C.Rotate) << C.In;
        }
        if (C.Kind == 4) {
            EXPECT_EQ(T.F.PictParam(), Pict);
        }
    }
}

TEST(FrmGradation, ChoosingAKind)
{
    TForm T;
    T.F.SetUp("");
    T.F.show();
    EXPECT_FALSE(T.F.rbtnFTNone->isChecked() || T.F.rbtnFTSolid->isChecked() || T.F.rbtnFTGrad->isChecked() ||
                 T.F.rbtnFTPict->isChecked());
    T.F.rbtnFTNone->click();
    EXPECT_EQ(T.F.FillCode(), "5");
    EXPECT_TRUE(T.F.btnOK->isEnabled());
    T.F.rbtnFTGrad->click();
    const std::string Fresh = T.F.Gradation().GradationToStr();
    EXPECT_EQ(Fresh.substr(0, 7), "0000255"); // the editor's starting gradation, whole
    EXPECT_EQ(T.F.FillCode(), "20" + Fresh);
    EXPECT_TRUE(T.F.pnlGrad->isVisible());
    EXPECT_FALSE(T.F.pnlMono->isVisible());
    // Over to a picture and back keeps the gradation and the rotate flag.
    T.F.cboxRotate->setChecked(true);
    T.F.rbtnFTPict->click();
    EXPECT_EQ(T.F.FillCode().substr(0, 2), "41");
    T.F.rbtnFTGrad->click();
    EXPECT_EQ(T.F.FillCode(), "21" + Fresh);
}

TEST(FrmGradation, LiveTestsReachTheCaller)
{
    TForm T;
    std::vector<std::string> Tests;
    T.F.OnTest = [&](TfrmGradation* Sender, const std::string& Code) {
        EXPECT_EQ(Sender, &T.F);
        Tests.push_back(Code);
    };
    T.F.SetUp("21" + GradText);
    T.F.show();
    EXPECT_TRUE(Tests.empty()); // quick test is off
    QTest::mouseClick(T.F.btnApply, Qt::LeftButton);
    ASSERT_EQ(Tests.size(), 1u);
    T.F.cboxQuickTest->setChecked(true); // tests at once, the button goes grey
    EXPECT_FALSE(T.F.btnApply->isEnabled());
    ASSERT_EQ(Tests.size(), 2u);
    auto GradOf = [](const std::string& Code) {
        TGradationObject G;
        G.StrToGradation(SplitFillCode(Code).Rest);
        return G;
    };
    struct Case { QLineEdit* Edit; const char* Text; bool Tested; int Opacity, Repeat; };
    for (const Case& C : std::vector<Case>{{T.F.edtTrans, "50", true, 128, 1},
                                           {T.F.edtTrans, "100", true, 255, 1},
                                           {T.F.edtTrans, "101", true, 255, 1},
                                           {T.F.edtLoopNum, "7", true, 255, 7},
                                           {T.F.edtLoopNum, "101", true, 255, 100}}) {
        const size_t Before = Tests.size();
        // As one edit, so no shorter number on the way is taken.
        C.Edit->setText(C.Text);
        emit C.Edit->textEdited(C.Text);
        EXPECT_EQ(Tests.size() > Before, C.Tested) << C.Text;
        EXPECT_EQ(GradOf(Tests.back()).iOpacity, C.Opacity) << C.Text;
        EXPECT_EQ(GradOf(Tests.back()).iRepeatCount, C.Repeat) << C.Text;
    }
    // A stop added on the bar is tested while it is picked and after.
    T.F.pboxBars->PickColor = [](int32_t& V, const std::function<void(int32_t)>& Live) {
        Live(0x00FF00);
        V = 0x0000FF;
        return true;
    };
    const size_t Before = Tests.size();
    QTest::mouseClick(T.F.pboxBars, Qt::LeftButton, {},
                      QPoint(T.F.pboxBars->ColBar().left() + 130, T.F.pboxBars->ColBar().center().y()));
    EXPECT_GE(Tests.size(), Before + 2);
    EXPECT_EQ(GradOf(Tests.back()).ColStops.size(), 3u);
    EXPECT_EQ(GradOf(Tests.back()).ColStops[1].Color, 0x0000FF);
    // A colour typed in hexadecimal.
    T.F.rbtnFTSolid->click();
    T.F.edtHex->clear();
    QTest::keyClicks(T.F.edtHex, "ff00");
    EXPECT_EQ(Tests.back(), "1FF00");
    // Red, green, blue as people write them; the fill code keeps blue first.
    T.F.edtHex->clear();
    QTest::keyClicks(T.F.edtHex, "0060B0");
    EXPECT_EQ(Tests.back(), "1B06000");
}

TEST(FrmGradation, HexEditSpeaksRedFirstAndShowsWhatIsStored)
{
    // The grid cell of the same colour reads "[#FF8000]": the edit must too.
    // It takes only hexadecimal digits, six at most, so what it shows is the
    // colour stored; Enter (or leaving) shows it as six digits.
    struct Case { std::string Code, Shown; QString Typed; std::string TypedShown, After, Left; };
    for (const Case& C : std::vector<Case>{{"10080FF", "FF8000", "0000ff", "0000ff", "1FF0000", "0000FF"},
                                           {"1FF", "FF0000", "00FF00", "00FF00", "1FF00", "00FF00"},
                                           {"1123456", "563412", "zz", "", "1123456", "563412"},
                                           {"1FF00", "00FF00", "FF00GG12", "FF0012", "11200FF", "FF0012"},
                                           {"1FF00", "00FF00", "#ff", "#ff", "1FF0000", "0000FF"}}) {
        TForm T;
        T.F.SetUp(C.Code);
        EXPECT_EQ(T.F.edtHex->text().toStdString(), C.Shown) << C.Code;
        T.F.edtHex->clear();
        QTest::keyClicks(T.F.edtHex, C.Typed);
        EXPECT_EQ(T.F.edtHex->text().toStdString(), C.TypedShown) << C.Typed.toStdString();
        EXPECT_EQ(T.F.FillCode(), C.After) << C.Typed.toStdString();
        QTest::keyClick(T.F.edtHex, Qt::Key_Return);
        EXPECT_EQ(T.F.edtHex->text().toStdString(), C.Left) << C.Typed.toStdString();
        EXPECT_EQ(T.F.FillCode(), C.After) << C.Typed.toStdString();
    }
}

TEST(FrmGradation, DraggingAGeometryPoint)
{
    TForm T;
    T.F.SetUp("20" + GradText);
    T.F.show();
    TGradPreview* P = T.F.pboxPreView;
    QTest::mousePress(P, Qt::LeftButton, {}, P->PointAt(1));
    EXPECT_EQ(P->DragMode(), 1);
    QTest::mouseMove(P, QPoint(-50, P->PointAt(2).y())); // clamped into the box
    // On the other point's row, within one pixel's worth of units.
    EXPECT_NEAR(T.F.Gradation().iY1, T.F.Gradation().iY2, 16384 / 60);
    EXPECT_EQ(P->PointAt(1).x(), 0);
    EXPECT_EQ(T.F.StatusBar->text().left(4), QString::fromUtf8("基準1="));
    QTest::mouseRelease(P, Qt::LeftButton, {}, QPoint(0, P->PointAt(2).y()));
    EXPECT_EQ(P->DragMode(), 0);
    // With Shift the point keeps to the rays from the other point.
    QTest::mousePress(P, Qt::LeftButton, {}, P->PointAt(2));
    const QPoint Other = P->PointAt(1);
    QTest::mouseMove(P, Other + QPoint(60, 3));
    QMouseEvent Move(QEvent::MouseMove, QPointF(Other + QPoint(60, 3)), P->mapToGlobal(QPointF(Other + QPoint(60, 3))),
                     Qt::NoButton, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(P, &Move);
    EXPECT_EQ(P->PointAt(2).y(), Other.y());
    QTest::mouseRelease(P, Qt::LeftButton, {}, Other + QPoint(60, 0));
}

TEST(FrmGradation, PlaceAndOptionsAreKeptAndCheckedOnTheWayIn)
{
    TTestIni Ini;
    Ini.Ini->WriteString("4.0", "PosGrad", "99999,-99999");
    Ini.Ini->WriteString("4.0", "FlgGrad", "9,1,0,1");
    {
        TfrmGradation F(nullptr, Ini.Ini.get(), "4.0", "FlgGrad", "PosGrad", "DirGrph");
        EXPECT_TRUE(F.cboxQuickTest->isChecked());
        F.SetUp("5");
        F.show();
        QTest::qWait(1);
        const QRect Work = QGuiApplication::primaryScreen()->availableGeometry();
        EXPECT_TRUE(Work.intersects(F.frameGeometry())) << F.x() << "," << F.y();
        EXPECT_GE(F.y(), Work.top());
        F.move(Work.left() + 30, Work.top() + 40);
        F.accept();
        EXPECT_EQ(Ini.Ini->ReadString("4.0", "PosGrad", ""),
                  std::to_string(F.x()) + "," + std::to_string(F.y()));
    }
    EXPECT_EQ(Ini.Ini->ReadString("4.0", "FlgGrad", ""), "3,1,0,1");
}

TEST(FrmGradation, CorrectionFoldsTheAdjustmentIntoTheStops)
{
    TForm T;
    T.F.SetUp("20" + GradText);
    EXPECT_FALSE(T.F.btnDoCottection->isEnabled());
    T.F.edtVOffest->clear();
    QTest::keyClicks(T.F.edtVOffest, "-50");
    ASSERT_TRUE(T.F.btnDoCottection->isEnabled());
    const int32_t Expected = AdjustColorHSB(0xFFFFFF, T.F.Gradation().Adjust);
    T.F.btnDoCottection->click();
    EXPECT_EQ(T.F.Gradation().ColStops[1].Color, Expected);
    EXPECT_EQ(T.F.Gradation().Adjust, TrecColorAdjust{});
    EXPECT_EQ(T.F.edtVOffest->text(), "0");
    EXPECT_FALSE(T.F.btnDoCottection->isEnabled());
}

TEST(FrmGradation, PreviewGolden)
{
    TForm T;
    // Opaque red to blue, so the picture shows the direction plainly.
    T.F.SetUp("200000255,1,3000,3000,13000,13000,2,0,255,1023,16711680,0");
    ExpectMatchesGolden(T.F.pboxPreView->grab().toImage(), "../editors/grad_preview_star.png");
}

TEST(FrmGradation, GradationTravelsOverTheClipboardKeepingTheRotateDigit)
{
    TForm From, To;
    From.F.SetUp("21" + GradText);
    To.F.SetUp("20");
    To.F.sbtnGraPaste->setEnabled(false);
    From.F.sbtnGraCopy->click();
    QTest::qWait(20);
    EXPECT_TRUE(To.F.sbtnGraPaste->isEnabled()); // it follows the clipboard
    To.F.sbtnGraPaste->click();
    EXPECT_EQ(To.F.FillCode(), "20" + Canonical(GradText));
}

// A payload past any gradation is refused before it is read, and an
// unreadable one pastes nothing either: one message each, the gradation as
// it was.
TEST(FrmGradation, OversizedOrUnreadableGradationTextIsRefused)
{
    struct TCase {
        std::string Body;
        std::string Message;
    } const Cases[] = {
        {GradText + std::string(MaxGradationTextBytes, ' '),
         "クリップボードのデータが大きすぎるため、貼り付けできません。\r\n(65536バイトまで)"},
        {"3210,1,5,5,9,9,x", "クリップボードのグラデーションは読み込めないため、貼り付けできません。"},
    };
    for (const TCase& C : Cases) {
        TForm T;
        T.F.SetUp("21" + GradText);
        const std::string Before = T.F.FillCode();
        OleSetClipboard(MakeCom<TDataObjectGradation>(GradationClipboardHeader + C.Body).Get());
        QTest::qWait(20);
        EXPECT_TRUE(T.F.sbtnGraPaste->isEnabled());  // offered, so that the refusal is told
        TBoxRecorder Boxes;
        T.F.sbtnGraPaste->click();
        EXPECT_EQ(Boxes.Texts, std::vector<std::string>{C.Message});
        EXPECT_EQ(T.F.FillCode(), Before);
    }
}

TEST(FrmGradation, ZoomMovesThePointsAndRefusesOtherIndexes)
{
    TForm T;
    T.F.SetUp("20" + GradText);
    const QPoint At100 = T.F.pboxPreView->PointAt(2);
    T.F.cmbZoomGrad->setCurrentIndex(1);
    EXPECT_EQ(T.F.Zoom(), 25);
    EXPECT_LT(T.F.pboxPreView->PointAt(2).x(), At100.x());
    EXPECT_THROW(T.F.SetZoomIndex(4), EUserError);
    // A new gradation text starts at 100 % again.
    T.F.ApplyGradationText(GradText, false);
    EXPECT_EQ(T.F.Zoom(), 100);
    EXPECT_EQ(T.F.cmbZoomGrad->currentIndex(), 3);
}

TEST(FrmGradation, StyleLibraryStoresAndGivesBackTheGradation)
{
    TForm T;
    // A library of this one style only (no delivered ones before it).
    T.F.SetStyleFolders(T.Ini.Dir, "");
    T.F.SetUp("21" + GradText);
    const auto OldQuery = TStyle::InputQuery;
    const auto OldShow = TStyle::OnShowModal;
    TStyle::InputQuery = [](const std::string&, const std::string&, std::string& Value) {
        Value = "テスト";
        return true;
    };
    TStyle::OnShowModal = [](TfrmStyle& F) { F.accept(); };
    T.F.btnStyleAdd->click();
    EXPECT_TRUE(std::filesystem::exists(T.Ini.Dir + "/Gradation.stl"));
    TForm Other;
    Other.F.SetUp("20");
    TStyle::OnShowModal = [](TfrmStyle& F) {
        F.DrawGrid->setFocus();
        F.DrawGrid->SetCurrentIndex(0);
        F.btnOK->click();
    };
    Other.F.SetStyleFolders(T.Ini.Dir, "");
    Other.F.btnStyleLoad->click();
    TStyle::OnShowModal = OldShow;
    TStyle::InputQuery = OldQuery;
    EXPECT_EQ(Other.F.FillCode(), "20" + Canonical(GradText));
}

// A user who never stored a gradation style meets the delivered ones.
TEST(FrmGradation, DeliveredStylesStandInUntilTheUserStoresOne)
{
    TForm T;
    ASSERT_FALSE(std::filesystem::exists(T.Ini.Dir + "/Gradation.stl"));
    TStyleTree Tree;
    T.F.Style->Library.LoadLibrary(Tree);
    ASSERT_NE(Tree.NodeAt(0), nullptr);
    EXPECT_FALSE(Tree.NodeAt(0)->Items.empty());
}

TEST(FrmGradation, PicturesComeIntoTheDocumentStore)
{
    TForm T;
    TListRecPict Store(nullptr);
    QPainterPath Outline;
    Outline.addRect(0, 0, 99, 49);
    T.F.SetUp("41", Outline, &Store);
    const std::string Png = T.Ini.Dir + "/pict.png";
    QImage Image(30, 20, QImage::Format_RGB32);
    Image.fill(QColor(10, 20, 30));
    ASSERT_TRUE(Image.save(QString::fromStdString(Png)));
    ASSERT_TRUE(T.F.LoadPictureFile(Png));
    ASSERT_EQ(T.F.AddedPictures().size(), 1u);
    const int32_t Handle = T.F.AddedPictures()[0];
    EXPECT_NE(Store.GetItemByHandle(Handle), nullptr);
    EXPECT_EQ(T.F.PictParam().iHandle, Handle);
    EXPECT_EQ(T.F.edtWidth->text(), "30");
    // The code carries the picture, read back unchanged.
    TForm Back;
    Back.F.SetUp(T.F.FillCode(), Outline, &Store);
    EXPECT_EQ(Back.F.PictParam(), T.F.PictParam());
    // The object's size, then the ratio kept while one side is typed.
    T.F.btnFitSize->click();
    EXPECT_EQ(T.F.PictParam().iWidth, 100);
    EXPECT_EQ(T.F.PictParam().iHeight, 50);
    T.F.cboxConstRatio->setChecked(true);
    T.F.edtWidth->setText("300");
    emit T.F.edtWidth->textEdited("300");
    EXPECT_EQ(T.F.PictParam().iHeight, 150);
    EXPECT_EQ(T.F.edtHeight->text(), "150");
    // An unreadable file is refused and changes nothing.
    TBoxRecorder Boxes;
    const TFillPictParam Before = T.F.PictParam();
    EXPECT_FALSE(T.F.LoadPictureFile(T.Ini.Dir + "/missing.png"));
    EXPECT_EQ(Boxes.Texts, std::vector<std::string>{"画像の読み込みに失敗しました。"});
    EXPECT_EQ(T.F.PictParam(), Before);
    // So is a named pipe, never waited on.
    Boxes.Texts.clear();
    {
        TFifoWatch Pipe(T.Ini.Dir + "/pipe.png");
        EXPECT_FALSE(T.F.LoadPictureFile(Pipe.Path()));
        EXPECT_FALSE(Pipe.ReaderBlocked());
    }
    EXPECT_EQ(Boxes.Texts, std::vector<std::string>{"画像の読み込みに失敗しました。"});
    EXPECT_EQ(T.F.PictParam(), Before);
    // The extension names the format; the contents decide when it is wrong.
    ASSERT_TRUE(Image.save(QString::fromStdString(T.Ini.Dir + "/named.bmp"), "PNG"));
    EXPECT_TRUE(T.F.LoadPictureFile(T.Ini.Dir + "/named.bmp"));
    EXPECT_EQ(T.F.AddedPictures().size(), 2u);
}

TEST(FrmGradation, EmbeddedPickerSetsTheColourAndKeepsItsOptions)
{
    TTestIni Ini;
    Ini.Ini->WriteString("4.0", "FlgGrad", "2,1,1,0");
    {
        TfrmGradation F(nullptr, Ini.Ini.get(), "4.0", "FlgGrad", "PosGrad", "DirGrph");
        std::vector<std::string> Tests;
        F.OnTest = [&](TfrmGradation*, const std::string& Code) { Tests.push_back(Code); };
        F.SetUp("1FF");
        EXPECT_EQ(F.frmMono->StartColor(), 0xFF);
        EXPECT_EQ(F.frmMono->ActivePage(), 2);
        EXPECT_TRUE(F.frmMono->cboxHex->isChecked());
        ASSERT_FALSE(Tests.empty());
        F.frmMono->SetColor(0x123456);
        EXPECT_EQ(F.FillCode(), "1123456");
        EXPECT_EQ(Tests.back(), "1123456");
        EXPECT_EQ(F.edtHex->text(), "563412");
        F.frmMono->SetPage(3);
    }
    EXPECT_EQ(Ini.Ini->ReadString("4.0", "FlgGrad", ""), "3,1,1,0");
}

TEST(FrmGradation, PictureOnlyModeOffersPicturesAsGrey)
{
    TTestIni Ini;
    TfrmGradation F(nullptr, Ini.Ini.get(), "4.0", "FlgGrad", "PosGrad", "DirPlneTexture", true);
    TListRecPict Store(nullptr);
    F.SetUp("40", QPainterPath(), &Store);
    F.show();
    EXPECT_FALSE(F.rbtnFTSolid->isVisible());
    EXPECT_FALSE(F.rbtnFTGrad->isVisible());
    EXPECT_TRUE(F.rbtnFTPict->isVisible());
    const std::string Png = Ini.Dir + "/red.png";
    QImage Image(4, 2, QImage::Format_RGB32);
    Image.fill(QColor(255, 0, 0));
    ASSERT_TRUE(Image.save(QString::fromStdString(Png)));
    ASSERT_TRUE(F.LoadPictureFile(Png));
    const TrecPicture& P = Store.GetItemByHandle(F.PictParam().iHandle)->Picture;
    EXPECT_EQ(RecPictureHeader(P)->biBitCount, 8);
    EXPECT_EQ(P.pBits[0], (1225 * 255) >> 12);
}

TEST(FrmGradation, PercentOfThePictureAndScalingQuality)
{
    TForm T;
    TListRecPict Store(nullptr);
    T.F.SetUp("40", QPainterPath(), &Store);
    const std::string Png = T.Ini.Dir + "/p.png";
    QImage(30, 20, QImage::Format_RGB32).save(QString::fromStdString(Png));
    ASSERT_TRUE(T.F.LoadPictureFile(Png));
    TFillPictParam P = T.F.PictParam();
    P.iWidth = 60;
    P.bOption1 = 1;
    TForm Back;
    Back.F.SetUp("40" + FillPictParamToStr(P), QPainterPath(), &Store);
    EXPECT_EQ(Back.F.edtWPer->text(), "200");
    EXPECT_EQ(Back.F.edtHPer->text(), "100");
    EXPECT_TRUE(Back.F.rgrpIPolation->button(1)->isChecked());
    struct Case { QLineEdit* Edit; const char* Text; int W, H; };
    for (const Case& C : std::vector<Case>{{Back.F.edtWPer, "50", 15, 20}, {Back.F.edtHPer, "150", 15, 30},
                                           {Back.F.edtHPer, "0", 15, 30}}) {
        C.Edit->setText(C.Text);
        emit C.Edit->textEdited(C.Text);
        EXPECT_EQ(Back.F.PictParam().iWidth, C.W) << C.Text;
        EXPECT_EQ(Back.F.PictParam().iHeight, C.H) << C.Text;
    }
    std::vector<std::pair<int, int>> Sizes;
    int Tests = 0;
    Back.F.OnTest = [&](TfrmGradation*, const std::string&) { ++Tests; };
    Back.F.OnResize = [&](int32_t W, int32_t H) { Sizes.emplace_back(W, H); };
    Back.F.btnAdjustSizeForImage->click();
    EXPECT_EQ(Sizes, (std::vector<std::pair<int, int>>{{30, 20}}));
    EXPECT_EQ(Tests, 1);
    Back.F.rgrpIPolation->button(2)->click();
    EXPECT_EQ(Back.F.FillCode().back(), '0');
    EXPECT_EQ(Back.F.PictParam().bOption1, 2);
}

TEST(FrmGradation, PictureEditsTakeOnlyTheirCharacters)
{
    TForm T;
    T.F.SetUp("40");
    T.F.show();
    struct Case { QLineEdit* Edit; const char* Typed; const char* Kept; };
    for (const Case& C : std::vector<Case>{{T.F.edtWidth, "1a-2.", "12"}, {T.F.edtDegree, "-1x2.5", "-12.5"},
                                           {T.F.edtX, "-3b", "-3"}}) {
        C.Edit->clear();
        QTest::keyClicks(C.Edit, C.Typed);
        EXPECT_EQ(C.Edit->text().toStdString(), C.Kept) << C.Typed;
    }
    QTest::keyClick(T.F.edtWidth, Qt::Key_Backspace); // control keys pass
    EXPECT_EQ(T.F.edtWidth->text(), "1");
}

// 幅(%) and 高さ(%) run to 9999: laid out, each shows four digits whole.
TEST(FrmGradation, PercentEditsHoldFourDigits)
{
    TForm T;
    TListRecPict Store(nullptr);
    T.F.SetUp("40", QPainterPath(), &Store);
    T.F.show();
    QCoreApplication::processEvents();
    for (QLineEdit* E : {T.F.edtWPer, T.F.edtHPer})
        for (const char* Text : {"1000", "9999"})
            EXPECT_GE(EditTextRoom(E), E->fontMetrics().horizontalAdvance(Text) + 1) << Text;
    T.F.hide();
}

// The colour button and the stop pickers keep their page, place and options
// under the fill editor's colour name, the opacity picker under its own.
TEST(FrmGradation, PickersKeepTheirSettingsUnderTheirNames)
{
    TForm T;
    T.F.SetUp(GradText);
    // Each picker is answered from inside its modal loop: a page and the
    // hexadecimal choice for the colour pickers, the preview choice for the
    // opacity picker, then Cancel (which still stores).
    auto AnswerNext = [](int Page) {
        QTimer::singleShot(0, [Page] {
            QWidget* W = QApplication::activeModalWidget();
            if (auto* C = dynamic_cast<TfrmSelColor*>(W)) {
                C->SetPage(Page);
                C->cboxHex->setChecked(true);
            }
            if (auto* Tr = dynamic_cast<TfrmSelTrans*>(W))
                Tr->cboxPreview->setChecked(true);
            if (auto* D = qobject_cast<QDialog*>(W))
                D->reject();
        });
    };
    struct Case {
        const char* What;
        std::function<void()> Use;
        const char* Name;
        std::vector<int> Kept; // the stored fields but the two place fields
    };
    int32_t V = 0xFF;
    const std::function<void(int32_t)> Live = [](int32_t) {};
    const Case Cases[] = {
        {"colour button", [&] { AnswerNext(3); T.F.btnColor->click(); }, "ColDlgNuri", {3, 0, 1, 0}},
        {"stop colour", [&] { AnswerNext(2); T.F.pboxBars->PickColor(V, Live); }, "ColDlgNuri", {2, 0, 1, 0}},
        {"stop opacity", [&] { AnswerNext(0); T.F.pboxBars->PickTrans(V, Live); }, "TransDlg", {1}},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.What);
        C.Use();
        const std::string Saved = T.Ini.Ini->ReadString("4.0", C.Name, "");
        std::vector<int> F;
        std::stringstream S(Saved);
        for (std::string Field; std::getline(S, Field, ',');)
            F.push_back(std::stoi(Field));
        // The colour picker's place follows its page; the opacity picker's
        // leads.
        const size_t Place = C.Kept.size() == 1 ? 0 : 1;
        ASSERT_EQ(F.size(), C.Kept.size() + 2) << Saved;
        F.erase(F.begin() + Place, F.begin() + Place + 2);
        EXPECT_EQ(F, C.Kept) << Saved;
    }
}

// The points text shown while a point is dragged leaves the editor's size and
// every control where they are; a text of points inside the box shows whole.
TEST(FrmGradation, StatusTextNeverWidensTheEditor)
{
    TForm T;
    T.F.SetUp(GradText);
    T.F.show();
    ASSERT_TRUE(BecomesExposed(&T.F));
    const QSize Size = T.F.size();
    // The controls the user sees in the editor. The picture-open dialog and
    // the number edits' pop-up track bars are windows of their own, hidden
    // until asked for; the open dialog's file list fills from its folder (the
    // current one until it is opened) in the background and lays out its
    // scroll bars whenever the entries arrive, which says nothing of the
    // editor's layout.
    std::vector<QRect> Before;
    QList<QWidget*> Children;
    for (QWidget* W : T.F.findChildren<QWidget*>())
        if (W->window() == &T.F && W->isVisible()) {
            Children.push_back(W);
            Before.push_back(W->geometry());
        }
    ASSERT_TRUE(Children.contains(T.F.StatusBar));
    ASSERT_TRUE(Children.contains(T.F.btnOK));
    const struct {
        std::string Text;
        bool Whole;
    } Cases[] = {
        {GradPointsText(-163840, -163840, 163840, 163840, 100, 100), false},
        {GradPointsText(16384, 16384, 0, 8192, 7, 3), true},
        {std::string(), true},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Text);
        T.F.SetStatus(C.Text);
        QApplication::sendPostedEvents();
        QApplication::processEvents();
        EXPECT_EQ(T.F.size(), Size);
        for (int I = 0; I < Children.size(); ++I)
            EXPECT_EQ(Children[I]->geometry(), Before[size_t(I)]) << Children[I]->metaObject()->className();
        if (C.Whole)
            EXPECT_GE(T.F.StatusBar->contentsRect().width(),
                      T.F.StatusBar->fontMetrics().horizontalAdvance(QString::fromStdString(C.Text)));
    }
}

// A stored place above the work area is brought into it, as the light
// editor does, and not dropped for a centred one.
TEST(FrmGradation, APlaceAboveTheWorkAreaComesDownIntoIt)
{
    TTestIni Ini;
    const QRect Work = QGuiApplication::primaryScreen()->availableGeometry();
    Ini.Ini->WriteString("4.0", "PosGrad", std::to_string(Work.left() + 120) + "," + std::to_string(Work.top() - 8));
    TfrmGradation F(nullptr, Ini.Ini.get(), "4.0", "FlgGrad", "PosGrad", "DirGrph");
    F.SetUp("5");
    F.show();
    ASSERT_TRUE(BecomesExposed(&F));
    EXPECT_EQ(F.pos(), QPoint(Work.left() + 120, Work.top()));
    F.accept();
    EXPECT_EQ(Ini.Ini->ReadString("4.0", "PosGrad", ""),
              std::to_string(Work.left() + 120) + "," + std::to_string(Work.top()));
}

// A gradation text that does not read whole changes nothing: not the
// gradation, not the shape boxes, not the rotate box.
TEST(FrmGradation, DamagedGradationTextChangesNothing)
{
    const std::string Good = "3210" + GradText.substr(4);
    const std::string Damaged[] = {
        "zzzz" + GradText.substr(4),              // option bytes that are no digits
        "6000" + GradText.substr(4),              // a shape the list does not hold
        "0300" + GradText.substr(4),              // a repetition the list does not hold
        "0020" + GradText.substr(4),              // an interpolation the list does not hold
        "0000255,1,3000,3000,13000,x",            // a number that does not read
        "0000255,1,3000,3000,13000,13000,5,0,0", // fewer stops than counted
        "00",                                     // cut short
    };
    for (const std::string& Text : Damaged) {
        TForm T;
        T.F.SetUp("21" + Good);
        const std::string Before = T.F.FillCode();
        const int Shape = T.F.cmbType->currentIndex(), Way = T.F.cmbWay->currentIndex();
        const QString Loop = T.F.edtLoopNum->text();
        TGradationObject Probe;
        EXPECT_FALSE(ReadGradationText(Text, Probe)) << Text;
        EXPECT_FALSE(T.F.ApplyGradationText(Text, false)) << Text;
        EXPECT_FALSE(T.F.ApplyGradationText("0" + Text, true)) << Text;
        EXPECT_EQ(T.F.FillCode(), Before) << Text;
        EXPECT_TRUE(T.F.cboxRotate->isChecked()) << Text;
        EXPECT_EQ(T.F.cmbType->currentIndex(), Shape) << Text;
        EXPECT_EQ(T.F.cmbWay->currentIndex(), Way) << Text;
        EXPECT_EQ(T.F.edtLoopNum->text(), Loop) << Text;
        // The same text pasted is refused with its one message.
        OleSetClipboard(MakeCom<TDataObjectGradation>(GradationClipboardHeader + Text).Get());
        TBoxRecorder Boxes;
        T.F.sbtnGraPaste->setEnabled(true);
        T.F.sbtnGraPaste->click();
        EXPECT_EQ(Boxes.Texts,
                  std::vector<std::string>{"クリップボードのグラデーションは読み込めないため、貼り付けできません。"})
            << Text;
        EXPECT_EQ(T.F.FillCode(), Before) << Text;
    }
    // A readable one still applies.
    TForm T;
    T.F.SetUp("21" + GradText);
    EXPECT_TRUE(T.F.ApplyGradationText(Good, false));
    EXPECT_EQ(T.F.FillCode(), "21" + Canonical(Good));
    EXPECT_EQ(T.F.cmbType->currentIndex(), 3);
    EXPECT_EQ(T.F.cmbWay->currentIndex(), 2);
}

// A damaged fill code opens the editor with no kind chosen, told once.
TEST(FrmGradation, DamagedFillCodeOpensUnset)
{
    for (const std::string& Code : {std::string("2") + "1zzzz" + GradText.substr(4), std::string("1xyz"),
                                    std::string("41") + "1,5,-6,100,50,abc,3,0,2"}) {
        TForm T;
        TBoxRecorder Boxes;
        T.F.SetUp(Code);
        EXPECT_EQ(Boxes.Texts, std::vector<std::string>{"この塗りの設定は読み込めないため、未設定として開きます。"})
            << Code;
        EXPECT_EQ(T.F.Kind(), 0) << Code;
        EXPECT_EQ(T.F.FillCode(), "") << Code;
        EXPECT_FALSE(T.F.btnOK->isEnabled()) << Code;
    }
}

// A damaged library item is refused whole, with one message.
TEST(FrmGradation, DamagedStyleItemChangesNothing)
{
    TForm T;
    const auto OldQuery = TStyle::InputQuery;
    const auto OldShow = TStyle::OnShowModal;
    TStyle::InputQuery = [](const std::string&, const std::string&, std::string& Value) {
        Value = "damaged";
        return true;
    };
    TStyle::OnShowModal = [](TfrmStyle& F) { F.accept(); };
    T.F.SetStyleFolders(T.Ini.Dir, ""); // the damaged item is the library's only one
    auto Item = std::make_unique<TobjStyleItemGrad>();
    Item->Text = "zzzz" + GradText.substr(4);
    std::unique_ptr<TObject> Data = std::move(Item);
    T.F.Style->Add(Data);
    T.F.SetUp("21" + GradText);
    const std::string Before = T.F.FillCode();
    const int Shape = T.F.cmbType->currentIndex();
    TStyle::OnShowModal = [](TfrmStyle& F) {
        F.DrawGrid->setFocus();
        F.DrawGrid->SetCurrentIndex(0);
        F.btnOK->click();
    };
    TBoxRecorder Boxes;
    T.F.btnStyleLoad->click();
    TStyle::OnShowModal = OldShow;
    TStyle::InputQuery = OldQuery;
    EXPECT_EQ(Boxes.Texts, std::vector<std::string>{"このスタイルのグラデーションは読み込めないため、適用できません。"});
    EXPECT_EQ(T.F.FillCode(), Before);
    EXPECT_EQ(T.F.cmbType->currentIndex(), Shape);
}

// The gradation and picture edits are the panel's number edits, over the
// ranges of their fields and with their pop-up track bars; a typed value
// past the range is the range's limit, with a beep, and the edit shows
// what is stored; a number on its way into the range ("0" for 1 to 9999)
// is no value until the edit is left.
TEST(FrmGradation, NumberEditsKeepToTheirRangesAndShowWhatIsStored)
{
    TForm T;
    TListRecPict Store(nullptr);
    T.F.SetUp("21" + GradText);
    struct TRange {
        TEditTrackBarWex* Edit;
        double Min, Max;
        const char* Typed;  // the keys typed into the emptied edit
        const char* Shown;  // what it shows after
    } const Ranges[] = {
        {T.F.edtLoopNum, 1, 100, "150", "100"},    {T.F.edtTrans, 0, 100, "101", "100"},
        {T.F.edtHOffest, -360, 360, "-400", "-360"}, {T.F.edtVOffest, -100, 100, "120", "100"},
        {T.F.edtVScale, 0, 900, "9000", "900"},    {T.F.edtSOffest, -100, 100, "-101", "-100"},
        {T.F.edtSScale, 0, 900, "950", "900"},
    };
    // Checks the edit's range and track bar, then types into it emptied.
    const auto TypeInto = [](const TRange& R) {
        EXPECT_EQ(R.Edit->Min(), R.Min) << R.Typed;
        EXPECT_EQ(R.Edit->Max(), R.Max) << R.Typed;
        EXPECT_TRUE(R.Edit->Buttons() & etbkbTrackBar) << R.Typed;
        R.Edit->setFocus();
        R.Edit->selectAll();
        QTest::keyClicks(R.Edit, R.Typed);
        EXPECT_EQ(R.Edit->text().toStdString(), R.Shown) << R.Typed;
    };
    T.F.show();
    for (const TRange& R : Ranges)
        TypeInto(R);
    TGradationObject G;
    G.StrToGradation(SplitFillCode(T.F.FillCode()).Rest);
    EXPECT_EQ(G.iRepeatCount, 100);
    EXPECT_EQ(G.iOpacity, 255);
    EXPECT_EQ(G.Adjust.iHueShift, -360);
    EXPECT_EQ(G.Adjust.iBrightOffset, 100);
    EXPECT_EQ(G.Adjust.iBrightScale, 900);
    EXPECT_EQ(G.Adjust.iSatOffset, -100);
    EXPECT_EQ(G.Adjust.iSatScale, 900);

    T.F.SetUp("40", QPainterPath(), &Store);
    const std::string Png = T.Ini.Dir + "/p.png";
    QImage(30, 20, QImage::Format_RGB32).save(QString::fromStdString(Png));
    // Without a picture the placement's track bars run over the whole range,
    // with one over its size either way.
    double Low = 0, High = 0;
    T.F.edtX->TrackBarRange(Low, High);
    EXPECT_EQ(std::make_pair(Low, High), std::make_pair(-double(MaxFillPictExtent), double(MaxFillPictExtent)));
    ASSERT_TRUE(T.F.LoadPictureFile(Png));
    T.F.edtX->TrackBarRange(Low, High);
    EXPECT_EQ(std::make_pair(Low, High), std::make_pair(-30.0, 30.0));
    T.F.edtY->TrackBarRange(Low, High);
    EXPECT_EQ(std::make_pair(Low, High), std::make_pair(-20.0, 20.0));
    constexpr double Extent = MaxFillPictExtent;
    const TRange Picture[] = {
        // A placement and size reach as far as the largest picture the
        // program holds; typed past it, they show and keep that limit.
        {T.F.edtX, -Extent, Extent, "-999999999", "-268435456"},
        {T.F.edtY, -Extent, Extent, "12345", "12345"},
        {T.F.edtWPer, 1, 9999, "0", "0"},
        {T.F.edtHeight, 1, Extent, "0", "0"},
        {T.F.edtWidth, 1, Extent, "999999999", "268435456"},
        {T.F.edtDegree, -360, 360, "400", "360"},
    };
    for (const TRange& R : Picture) {
        TypeInto(R);
        // Not stored yet; entered, it is the least size.
        if (R.Edit == T.F.edtHeight) {
            EXPECT_EQ(T.F.PictParam().iHeight, 20);
            QTest::keyClick(R.Edit, Qt::Key_Return);
            EXPECT_EQ(R.Edit->text().toStdString(), "1");
            EXPECT_EQ(T.F.PictParam().iHeight, 1);
        }
    }
    const TFillPictParam& P = T.F.PictParam();
    EXPECT_EQ(P.iOffsetX, -MaxFillPictExtent);
    EXPECT_EQ(P.iOffsetY, 12345);
    EXPECT_EQ(P.iWidth, MaxFillPictExtent);
    EXPECT_EQ(P.iHeight, 1);
    EXPECT_EQ(P.dAngle, 360);
}

// The opacity's pop-up track bar opens with the thumb of the opacity under
// the pointer and moves with it; where the screen's edge keeps the thumb of
// 100 % from the pointer, it still moves only as far as the pointer does.
TEST(FrmGradation, TheOpacityPopupMovesWithThePointer)
{
    for (const bool AtTheEdge : {false, true}) {
        SCOPED_TRACE(AtTheEdge);
        TForm T;
        T.F.SetUp("21" + GradText);
        T.F.show();
        ASSERT_TRUE(BecomesExposed(&T.F));
        ASSERT_TRUE(T.F.edtTrans->isVisible());
        // The dialog's left edge moved so that the edit's button stands 300
        // pixels or 40 pixels inside the screen.
        const QRect Area = T.F.screen()->availableGeometry();
        QWidget* B = T.F.edtTrans->EllipsisButton();
        const int ButtonX = B->mapToGlobal(B->rect().center()).x() - T.F.geometry().x();
        T.F.move(Area.left() + (AtTheEdge ? 40 : 300) - ButtonX, T.F.geometry().y());
        QTest::qWait(20);
        T.F.edtTrans->SetPosition(100);
        test_support::ExpectPopupFollowsThePointer(*T.F.edtTrans, !AtTheEdge);
        EXPECT_GE(T.F.Gradation().iOpacity, GradOpacityOfPercent(97));
    }
}

// "読込" opens the program's picture-open dialog with its preview, in the
// folder last used, and remembers the folder of the picture taken.
TEST(FrmGradation, PictureLoadUsesTheOpenPreviewDialog)
{
    TForm T;
    TListRecPict Store(nullptr);
    T.F.SetUp("40", QPainterPath(), &Store);
    const std::string Dir = T.Ini.Dir + "/pictures";
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(Dir)));
    const std::string Png = Dir + "/q.png";
    QImage(12, 8, QImage::Format_RGB32).save(QString::fromStdString(Png));
    T.Ini.Ini->WriteString("4.0", "DirGrph", Dir + "/");
    std::string Title, Folder;
    bool Preview = false, Graphic = false, Checked = false;
    QTimer::singleShot(0, [&] {
        auto* D = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* Open = dynamic_cast<TOpenPreviewDialogQ*>(D);
        if (!Open) {
            if (D) // some other file dialog: closed, the test fails below
                QMetaObject::invokeMethod(D, "reject", Qt::DirectConnection);
            return;
        }
        Checked = Open == T.F.dlgOpen;
        Title = Open->windowTitle().toStdString();
        Folder = Open->directory().absolutePath().toStdString();
        Preview = Open->OptionsEx & opdoPreview;
        Graphic = Open->PreviewTypes & opdftGraphic;
        Open->selectFile(QString::fromStdString(Png));
        QMetaObject::invokeMethod(Open, "accept", Qt::DirectConnection);
    });
    T.F.sbtnImgLoad->click();
    EXPECT_TRUE(Checked);
    EXPECT_EQ(Title, "画像読み込み");
    EXPECT_EQ(Folder, Dir);
    EXPECT_TRUE(Preview);
    EXPECT_TRUE(Graphic);
    ASSERT_EQ(T.F.AddedPictures().size(), 1u);
    EXPECT_EQ(T.F.PictParam().iWidth, 12);
    EXPECT_EQ(T.Ini.Ini->ReadString("4.0", "DirGrph", ""), Dir + "/");
}
