// What the frame makes of hostile stored settings (placements, page
// defaults): a frame whose title bar is on the screen, a page that can be
// made; and an about box wide enough for its caption.
#include "shell_test_support.h"

#include "foundation/text_fields.h"
#include "platform/qt/window_routines.h"
#include "shell/about_form.h"
#include "shell/tavro_action.h"

#include <QLabel>
#include <QStyle>
#include <QTest>

#include <climits>

namespace {

TRect WorkArea()
{
    TRect R;
    EXPECT_TRUE(GetWorkAreaRect(R));
    return R;
}

// The window's frame, title bar included, lies in the work area's reach:
// its top edge inside, its size no larger than the area's.
void ExpectTitleBarInside(const QWidget& W, const std::string& What)
{
    const TRect A = WorkArea();
    const QRect F = W.frameGeometry();
    EXPECT_GE(F.top(), A.Top) << What;
    EXPECT_LE(F.top(), A.Bottom - 16) << What;
    EXPECT_GE(F.left(), A.Left + 16 - F.width()) << What;
    EXPECT_LE(F.left(), A.Right - 16) << What;
    EXPECT_LE(W.width(), A.Right - A.Left) << What;
    EXPECT_LE(W.height(), A.Bottom - A.Top) << What;
}

TEST_F(TFrameTest, AStoredPlacementOfAnyNumbersGivesAFrameOnTheScreenAndIsSavedSo)
{
    const TRect A = WorkArea();
    for (const char* Stored : {"-2147483648,-2147483648,-2147483648,-2147483648,1",
                               "1000000000,1000000000,1000000000,1000000000,1", "0,-50,300,200,1",
                               "30,20,300,200,1"}) {
        AppIniFile().WriteString("4.0", "PosMain", Stored);
        Start();
        ASSERT_TRUE(BecomesExposed(Frame.get()));
        ExpectTitleBarInside(*Frame, Stored);
        if (Stored == std::string("30,20,300,200,1")) {
            // Where it was put: the frame's corner, the title bar below it.
            EXPECT_EQ(Frame->frameGeometry().topLeft(), QPoint(A.Left + 30, A.Top + 20));
            EXPECT_EQ(Frame->size(), QSize(300, 200));
        }
        Close();
        // What goes back is the fitted placement.
        const std::string Saved = Setting("PosMain");
        int32_t Pos = 1;
        const int32_t Left = GetFieldInt(Saved, Pos, ',', INT_MIN);
        const int32_t Top = GetFieldInt(Saved, Pos, ',', INT_MIN);
        const int32_t Width = GetFieldInt(Saved, Pos, ',', INT_MAX);
        EXPECT_GE(Top, 0) << Stored << " saved " << Saved;
        EXPECT_GE(Left + Width, 16) << Stored << " saved " << Saved;
        EXPECT_LE(Width, A.Right - A.Left) << Stored << " saved " << Saved;
    }
}

TEST_F(TFrameTest, StoredPageDefaultsThatMakeNoPageAreRefusedOnceAndTheProgramStarts)
{
    struct TCase {
        const char* Width;
        const char* Height;
    };
    for (const TCase& C : {TCase{"20000", "20000"}, TCase{"-5", "300"}, TCase{"2147483647", "300"},
                           TCase{"400", "0"}}) {
        AppIniFile().WriteString("4.0", "PgDWidth", C.Width);
        AppIniFile().WriteString("4.0", "PgDHeight", C.Height);
        Boxes.clear();
        Start();
        ASSERT_NE(ActivePage(), nullptr) << C.Width << " x " << C.Height;
        EXPECT_EQ(ActivePage()->Width(), 400) << C.Width << " x " << C.Height;
        EXPECT_EQ(ActivePage()->Height(), 300) << C.Width << " x " << C.Height;
        ASSERT_EQ(Boxes.size(), 1u) << C.Width << " x " << C.Height;
        EXPECT_EQ(Boxes[0].Caption, "警告");
        EXPECT_NE(Boxes[0].Text.find(std::string("\"PgDWidth\" = ") + C.Width), std::string::npos) << Boxes[0].Text;
        EXPECT_NE(Boxes[0].Text.find(AppIniFile().FileName()), std::string::npos) << Boxes[0].Text;
        // Removed, so a new document, and the next start, go quietly.
        EXPECT_EQ(Setting("PgDWidth"), "(none)");
        EXPECT_EQ(Setting("PgDHeight"), "(none)");
        Frame->actNew->trigger();
        EXPECT_EQ(Boxes.size(), 1u);
        Close();
    }
    EXPECT_TRUE(PageDefaultsUsable(16384, 16384));
    EXPECT_FALSE(PageDefaultsUsable(16384, 16385));
}

TEST_F(TFrameTest, TheAboutBoxIsWideEnoughForItsCaptionAndItsLabels)
{
    Start();
    TfrmAbout About(Frame.get(), 7);
    About.show();
    ASSERT_TRUE(BecomesExposed(&About));
    // The title bar shows the caption alone (the program sets no display
    // name for Qt to add), in a bold face, beside the icon and the close
    // button.
    EXPECT_EQ(About.ShownCaption(), "タヴロ について");
    QFont Bold = About.font();
    Bold.setBold(true);
    const int Bar = About.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &About);
    EXPECT_GE(About.width(), QFontMetrics(Bold).horizontalAdvance(About.ShownCaption()) + 3 * Bar);
    for (QLabel* L : {About.lblProduct, About.lblVersion})
        EXPECT_GE(L->width(), L->fontMetrics().horizontalAdvance(L->text())) << L->text().toStdString();
}

} // namespace
