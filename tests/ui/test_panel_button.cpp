// Panel buttons: faces, clicks, keyboard, drags from them and drops on them.
#include "ui/panel_button.h"

#include "golden_image.h"
#include "ole_test_support.h"

#include "ui/ole2_color.h"
#include "ui/ole2_gradation.h"
#include "ui/ole2_pen.h"
#include "ui/ole_qt_bridge.h"
#include "window_wait.h"

#include <QApplication>
#include <QDropEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

// Red to blue, left to right.
const std::string GradationText = "0000255,1,0,8192,16384,8192,2,0,255,1023,16711680,0,0,0,100,0,100";
const TrecPenData Pen{0x1200, 7, {1, 2, 3, 4, 5}, 2.5};

// Enter, then drop when entering was accepted: "-" refused, "1" copied.
std::string DragOnto(QWidget* W, IDataObject* Data)
{
    const auto Mime = std::make_unique<TOleMimeData>(Data);
    QDragEnterEvent Enter(QPoint(3, 3), Qt::CopyAction, Mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(W, &Enter);
    if (!Enter.isAccepted())
        return "-";
    QDropEvent Drop(QPointF(3, 3), Qt::CopyAction, Mime.get(), Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(W, &Drop);
    return Drop.isAccepted() ? std::to_string(Drop.dropAction()) : "-";
}

// One button of each kind, what reaches each, in a shown window.
struct TButtons {
    TButtons()
    {
        QFont F("IPAGothic");
        F.setPixelSize(12);
        Window.setFont(F);
        Window.setGeometry(100, 100, 400, 60);
        Color = new TPanelColorButton(&Window);
        PenButton = new TPanelPenButton(&Window);
        Fill = new TPanelPaintFillButton(&Window);
        int X = 4;
        for (TPanelButton* B : std::initializer_list<TPanelButton*>{Color, PenButton, Fill}) {
            B->setGeometry(X, 4, 72, 24);
            X += 80;
        }
        Color->OnColorDropped = [this](QObject*, int32_t C) { Got += "colour " + std::to_string(C); };
        PenButton->OnPenDropped = [this](QObject*, const TrecPenData& P) {
            Got += std::memcmp(&P, &Pen, sizeof P) == 0 ? "the pen" : "another pen";
        };
        Fill->OnDropped = [this](QObject*, const std::string& Text) { Got += "fill " + Text; };
        Window.show();
        EXPECT_TRUE(ActivateAndWait(&Window));
    }
    QWidget Window;
    TPanelColorButton* Color;
    TPanelPenButton* PenButton;
    TPanelPaintFillButton* Fill;
    std::string Got;
};

TEST(PanelButtons, EachValueKindDropsOnlyWhereItIsTaken)
{
    const auto ColorData = MakeCom<TOle2DataObjColorWex>(0x0000FF);
    const auto PenData = MakeCom<TOle2DataObjPenWex>(Pen);
    const auto GradData = MakeCom<TDataObjectGradation>(GradationClipboardHeader + GradationText);
    const auto TextData = MakeCom<TTextDataObject>("#00FF00"); // plain text that names a colour
    constexpr uint32_t Mono = 1u << ppfbkMono;
    constexpr uint32_t Grad = 1u << ppfbkGrad;
    struct TCase {
        const char* Button; // "colour", "pen" or "fill"
        uint32_t Kinds;     // of the fill button
        IDataObject* Data;
        std::string Result;
    };
    const TCase Cases[] = {
        {"colour", 0, ColorData.Get(), "1 colour 255"},
        {"colour", 0, PenData.Get(), "-"},
        {"colour", 0, GradData.Get(), "-"},
        {"colour", 0, TextData.Get(), "-"},
        {"pen", 0, PenData.Get(), "1 the pen"},
        {"pen", 0, ColorData.Get(), "-"},
        {"pen", 0, GradData.Get(), "-"},
        {"fill", Mono, ColorData.Get(), "1 fill 10000FF"},
        {"fill", Mono, GradData.Get(), "-"},
        {"fill", Mono, PenData.Get(), "-"},
        {"fill", Grad, GradData.Get(), "1 fill 20" + GradationText},
        {"fill", Grad, ColorData.Get(), "-"},
        {"fill", Mono | Grad, ColorData.Get(), "1 fill 10000FF"},
        {"fill", Mono | Grad, GradData.Get(), "1 fill 20" + GradationText},
        {"fill", 1u << ppfbkPicture, ColorData.Get(), "-"},
        {"fill", 0x0F, ColorData.Get(), "1 fill 10000FF"},
    };
    for (const TCase& C : Cases) {
        TButtons B;
        B.Fill->SetKinds(C.Kinds);
        const std::string Name = C.Button;
        QWidget* W = Name == "colour" ? static_cast<QWidget*>(B.Color)
                     : Name == "pen"  ? static_cast<QWidget*>(B.PenButton)
                                      : B.Fill;
        const std::string Answer = DragOnto(W, C.Data);
        EXPECT_EQ(Answer == "-" ? Answer : Answer + " " + B.Got, C.Result) << Name << " " << C.Kinds;
        EXPECT_EQ(W->acceptDrops(), Name != "fill" || (C.Kinds & (Mono | Grad)) != 0);
    }
}

TEST(PanelButtons, ValuesThatDoNotReadAreTakenAsDragsButChangeNothing)
{
    TButtons B;
    B.Fill->SetKinds(1u << ppfbkMono);
    const auto NoColor = MakeCom<TBytesDataObject>(TBlocks{{CFWexColor(), "#12345G\0"s}});
    const auto ShortPen = MakeCom<TBytesDataObject>(TBlocks{{CFTavroPen(), std::string(35, '\0')}});
    EXPECT_EQ(DragOnto(B.Color, NoColor.Get()), "1");
    EXPECT_EQ(DragOnto(B.Fill, NoColor.Get()), "1");
    EXPECT_EQ(DragOnto(B.PenButton, ShortPen.Get()), "1");
    EXPECT_EQ(B.Got, "");
}

TEST(PanelButtons, DragStartsPastThreeSquarePixelsAndIsNotDroppedOnItsSource)
{
    TButtons B;
    B.Color->SetColor(0x00FF00);
    B.Fill->SetKinds(1u << ppfbkMono);
    int Clicks = 0;
    B.Color->OnClick = [&](QObject*) { ++Clicks; };
    std::vector<std::string> Drags;
    const TDoDragDropHandler Old =
        SetDoDragDropHandler([&](IDataObject* D, IDropSource*, uint32_t OkEffects, uint32_t& Effect) {
            Drags.push_back(std::to_string(TOle2DataObjColorWex::GetColor(D)) + " " + std::to_string(OkEffects) +
                            " self " + DragOnto(B.Color, D) + " fill " + DragOnto(B.Fill, D));
            Effect = DROPEFFECT_COPY;
            return DRAGDROP_S_DROP;
        });
    const auto Mouse = [&](QEvent::Type Type, QPoint P) {
        QMouseEvent E(Type, P, B.Color->mapToGlobal(P), Type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      Type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(B.Color, &E);
    };
    Mouse(QEvent::MouseButtonPress, QPoint(10, 10));
    Mouse(QEvent::MouseMove, QPoint(11, 11));
    Mouse(QEvent::MouseMove, QPoint(8, 9));
    Mouse(QEvent::MouseMove, QPoint(13, 10));
    EXPECT_TRUE(Drags.empty());
    Mouse(QEvent::MouseMove, QPoint(12, 12));
    Mouse(QEvent::MouseMove, QPoint(20, 20));
    Mouse(QEvent::MouseButtonRelease, QPoint(20, 20));
    SetDoDragDropHandler(Old);
    EXPECT_EQ(Drags, std::vector<std::string>{"65280 1 self - fill 1"});
    EXPECT_EQ(B.Got, "fill 100FF00");
    EXPECT_EQ(Clicks, 0);

    // The pen and fill buttons leave the drag to their owner.
    int Starts = 0;
    B.PenButton->OnDragStart = [&](QObject*) { ++Starts; };
    B.Fill->OnDragStart = [&](QObject*) { ++Starts; };
    B.PenButton->StartDrag();
    B.Fill->StartDrag();
    EXPECT_EQ(Starts, 2);
}

TEST(PanelButtons, ClicksPressTheFaceWhileTheyRunAndTheKeyboardReachesThem)
{
    TButtons B;
    int Clicks = 0;
    bool PressedWhileClicking = false;
    B.Color->OnClick = [&](QObject*) {
        ++Clicks;
        PressedWhileClicking = B.Color->Pressed();
    };
    QTest::mouseClick(B.Color, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(Clicks, 1);
    EXPECT_TRUE(PressedWhileClicking);
    EXPECT_FALSE(B.Color->Pressed());
    EXPECT_TRUE(B.Color->hasFocus());
    QTest::keyClick(B.Color, Qt::Key_Return);
    EXPECT_EQ(Clicks, 2);
    QTest::mousePress(B.Color, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(B.Color, Qt::LeftButton, {}, QPoint(200, 5)); // let go elsewhere
    EXPECT_EQ(Clicks, 2);
    QTest::keyClick(B.Color, Qt::Key_Tab);
    EXPECT_TRUE(B.PenButton->hasFocus());
}

// A caption over a colour reads on it: in the face colour XOR 0xC0C0C0
// (black shows silver, white dark grey); over the button face it is in the
// button text colour.
TEST(PanelButtons, CaptionsReadOnTheColourTheyStandOn)
{
    TButtons B;
    const auto Bgr = [](QColor C) { return int32_t(C.red() | (C.green() << 8) | (C.blue() << 16)); };
    const int32_t Face = Bgr(B.Color->palette().color(QPalette::Button));
    const int32_t Text = Bgr(B.Color->palette().color(QPalette::ButtonText));
    struct TCase {
        TPanelButton* Button;
        const char* Fill; // the fill value; nil: a colour button showing Colour
        int32_t Colour;
        const char* Caption;
        int32_t Face, Text;
    } const Cases[] = {
        {B.Fill, "1000000", 0, "[#000000]", 0x000000, 0xC0C0C0},
        {B.Fill, "1FFFFFF", 0, "[#FFFFFF]", 0xFFFFFF, 0x3F3F3F},
        {B.Fill, "1804020", 0, "[#204080]", 0x804020, 0x4080E0},
        {B.Fill, "5", 0, "[なし]", Face, Text},
        {B.Color, nullptr, 0x000000, "$000000", 0x000000, 0xC0C0C0},
        {B.Color, nullptr, clBtnFace, "不定", Face, Text},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Caption);
        if (C.Fill)
            B.Fill->SetFillValue(C.Fill);
        else
            B.Color->SetColor(C.Colour);
        C.Button->SetCaption(QString::fromUtf8(C.Caption));
        const QImage Img = C.Button->grab().toImage().convertToFormat(QImage::Format_RGB32);
        // Inside the bevel: the face, and the caption's pixels; the one
        // farthest from the face is (all but the smoothing of its edges)
        // the caption's colour.
        int Drawn = 0, Far = -1;
        int32_t Farthest = 0;
        for (int Y = 3; Y < Img.height() - 3; ++Y)
            for (int X = 3; X < Img.width() - 3; ++X) {
                const int32_t P = Bgr(Img.pixelColor(X, Y));
                int D = 0;
                for (int Shift : {0, 8, 16})
                    D = std::max(D, std::abs(((P >> Shift) & 0xFF) - ((C.Face >> Shift) & 0xFF)));
                Drawn += D > 0;
                if (D > Far) {
                    Far = D;
                    Farthest = P;
                }
            }
        EXPECT_GT(Drawn, 20);
        for (int Shift : {0, 8, 16})
            EXPECT_LE(std::abs(((Farthest >> Shift) & 0xFF) - ((C.Text >> Shift) & 0xFF)), 24)
                << std::hex << Farthest;
    }
}

TEST(PanelButtons, FacesMatchTheirGoldens)
{
    TButtons B;
    B.Color->SetColor(0x0000FF);
    B.PenButton->SetCaption("幅=3");
    B.Fill->SetCaption("[ｸﾞﾗﾃﾞｰｼｮﾝ]");
    B.Fill->SetFillValue("20" + GradationText);
    auto* Mono = new TPanelPaintFillButton(&B.Window);
    Mono->setGeometry(244, 4, 72, 24);
    Mono->SetFillValue("1FF0000");
    Mono->SetCaption("[#0000FF]");
    Mono->show();
    auto* Other = new QLineEdit(&B.Window);
    Other->setGeometry(4, 32, 40, 20);
    Other->show();
    Other->setFocus();
    QImage Pressed;
    B.PenButton->OnClick = [&](QObject*) { Pressed = B.PenButton->grab().toImage(); };
    B.PenButton->Click();
    const std::vector<QImage> Faces = {B.Color->grab().toImage(), B.PenButton->grab().toImage(),
                                       B.Fill->grab().toImage(), Mono->grab().toImage(), Pressed,
                                       (B.Color->setFocus(), B.Color->grab().toImage())};
    QImage Sheet(4 * 76, 2 * 28, QImage::Format_RGB32);
    Sheet.fill(Qt::white);
    QPainter P(&Sheet);
    for (size_t I = 0; I < Faces.size(); ++I)
        P.drawImage(int(I % 4) * 76, int(I / 4) * 28, Faces[I]);
    P.end();
    ExpectMatchesGolden(Sheet, "panel_buttons.png", 8, 8);
}

} // namespace
