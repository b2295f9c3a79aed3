// No box opens inside a paint: what a widget's paint asks for, or raises,
// comes after the paint, and a paint that fails the same way at every
// repaint is told once while it lasts.
#include "foundation/platform_wrappers.h"
#include "foundation/user_error.h"
#include "platform/message_box.h"
#include "platform/qt/application_wex.h"

#include <QApplication>
#include <QPainter>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// A widget whose paint runs Body, telling while it does.
class TPaintingWidget : public QWidget {
public:
    std::function<void()> Body;
    bool Painting = false;
    int Paints = 0;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter P(this);
        P.fillRect(rect(), Qt::white);
        ++Paints;
        Painting = true;
        struct TEnd {
            bool& Flag;
            ~TEnd() { Flag = false; }
        } End{Painting};
        if (Body)
            Body();
    }
};

// Records the boxes, and whether the widget was painting at each.
struct TPaintBoxes {
    explicit TPaintBoxes(const TPaintingWidget& Widget) : FWidget(Widget)
    {
        FOld = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string&, uint32_t) {
            Texts.push_back(Text);
            InsidePaint += FWidget.Painting;
            return IDOK;
        });
    }
    ~TPaintBoxes() { SetMessageBoxHandler(FOld); }
    std::vector<std::string> Texts;
    int InsidePaint = 0;

private:
    const TPaintingWidget& FWidget;
    TMessageBoxHandler FOld;
};

// Paints the widget Count times, each paint through the window system's
// road and through a grab, running what was posted in between.
void PaintAgain(TPaintingWidget& W, int Count)
{
    for (int I = 0; I < Count; ++I) {
        W.repaint();
        W.grab();
        QApplication::processEvents();
    }
}

} // namespace

TEST(PaintBoxes, ABoxAskedForInAPaintComesAfterIt)
{
    TPaintingWidget W;
    W.resize(60, 40);
    W.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&W));
    TPaintBoxes Boxes(W);
    W.Body = [] { EXPECT_EQ(ErrorMessageBox("描画中の箱"), IDOK); };
    W.repaint();
    EXPECT_TRUE(Boxes.Texts.empty()) << "a box came inside the paint";
    QApplication::processEvents();
    EXPECT_EQ(Boxes.Texts, std::vector<std::string>{"描画中の箱"});
    EXPECT_EQ(Boxes.InsidePaint, 0);
    // Outside a paint a box comes at once.
    ErrorMessageBox("すぐ");
    EXPECT_EQ(Boxes.Texts.back(), "すぐ");
}

TEST(PaintBoxes, APaintThatFailsAgainAndAgainIsToldOnceWhileItLasts)
{
    TPaintingWidget W;
    W.resize(60, 40);
    W.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&W));
    TPaintBoxes Boxes(W);
    std::string Failure = "GetGaussKernelSize: Radius Too Large";
    W.Body = [&] {
        if (!Failure.empty())
            throw EUserError(Failure);
    };
    const int Before = W.Paints;
    PaintAgain(W, 4);
    EXPECT_EQ(W.Paints - Before, 8);
    EXPECT_EQ(Boxes.Texts, std::vector<std::string>{"GetGaussKernelSize: Radius Too Large"});
    EXPECT_EQ(Boxes.InsidePaint, 0);
    // Another failure is told; so is the first again once a paint went well
    // between.
    Failure = "another";
    PaintAgain(W, 2);
    Failure.clear();
    PaintAgain(W, 1);
    Failure = "another";
    PaintAgain(W, 2);
    EXPECT_EQ(Boxes.Texts, (std::vector<std::string>{"GetGaussKernelSize: Radius Too Large", "another", "another"}));
    EXPECT_EQ(Boxes.InsidePaint, 0);
    // Another widget failing with the same text is told its own.
    TPaintingWidget Other;
    Other.resize(60, 40);
    Other.Body = W.Body;
    Other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Other));
    PaintAgain(Other, 2);
    EXPECT_EQ(Boxes.Texts.size(), 4u);
    EXPECT_EQ(Boxes.Texts.back(), "another");
}
