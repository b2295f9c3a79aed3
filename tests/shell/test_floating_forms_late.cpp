// The palette and the panel's page windows are made once the frame has
// painted itself: shown as the settings have them, the frame keeping the keys, laid out as when they were made at
// once; made at their first use when that comes sooner; never made for a
// frame that closes first.
#include "shell_test_support.h"

#include "editors/frm_plt_color.h"
#include "shell/tavro_action.h"
#include "ui/page_control_wex.h"

#include <QDialog>
#include <QTest>
#include <QTimer>

#include <map>

namespace {

// Where every widget of the floating windows lies, by its path of names.
std::map<QString, QRect> Layout()
{
    std::map<QString, QRect> Places;
    const auto Note = [&](QWidget* Top) {
        for (QWidget* W : Top->findChildren<QWidget*>()) {
            QString Path = W->objectName();
            for (QWidget* P = W->parentWidget(); P; P = P->parentWidget())
                Path = P->objectName() + "/" + Path;
            Places[Path] = QRect(W->mapTo(Top, QPoint(0, 0)), W->size());
        }
        Places[Top->objectName()] = Top->geometry();
    };
    Note(frmPltColor.get());
    Note(frmObjProperty.get());
    for (QWidget* W : frmObjProperty->PageControlWex->FloatingWindows())
        Note(W);
    return Places;
}

class TLateFloatingForms : public TFrameTest {
protected:
    // The first paint of the frame: whether the floating windows were
    // made by then.
    bool MadeAtFirstPaint = true;
    bool Painted = false;
    struct TWatch : QObject {
        TLateFloatingForms* Test;
        explicit TWatch(TLateFloatingForms* T) : Test(T) {}
        bool eventFilter(QObject* Watched, QEvent* Event) override
        {
            if (Event->type() == QEvent::Paint && Watched == Test->Frame.get() && !Test->Painted) {
                Test->Painted = true;
                Test->MadeAtFirstPaint = frmPltColor.Made() || frmObjProperty.Made();
            }
            return false;
        }
    };
};

} // namespace

TEST_F(TLateFloatingForms, TheyComeAfterTheFramesFirstPaintAsTheyCameAtOnce)
{
    // As they were made at once, before the frame showed.
    Frame = std::make_unique<TfrmTavro>();
    Frame->StartUp();
    Frame->MakeFloatingForms();
    Frame->show();
    ASSERT_TRUE(BecomesExposed(Frame.get()));
    Settle();
    const std::map<QString, QRect> AtOnce = Layout();
    Close();
    frmObjProperty.reset();
    AppIniFile().EraseSection("4.0");

    TWatch Watch(this);
    qApp->installEventFilter(&Watch);
    Frame = std::make_unique<TfrmTavro>();
    Frame->StartUp();
    EXPECT_TRUE(frmPltColor.Due() && frmObjProperty.Due());
    Frame->show();
    ASSERT_TRUE(WaitUntil([] { return frmObjProperty.Made() != nullptr; }));
    qApp->removeEventFilter(&Watch);
    EXPECT_TRUE(Painted);
    EXPECT_FALSE(MadeAtFirstPaint) << "the floating windows held up the frame's first paint";
    Settle();

    ASSERT_NE(frmPltColor.Made(), nullptr);
    EXPECT_TRUE(frmPltColor->isVisible());
    EXPECT_EQ(frmPltColor->parentWidget(), Frame.get());
    const std::vector<TfrmPltChild*> Pages = frmObjProperty->PageControlWex->FloatingWindows();
    ASSERT_EQ(Pages.size(), 1u);
    EXPECT_TRUE(Pages[0]->isVisible());
    EXPECT_FALSE(frmObjProperty->isVisible());
    // The page commands checked, the keys with the frame.
    EXPECT_TRUE(Frame->actDispColPlt->isChecked());
    EXPECT_TRUE(Frame->actCommonPage->isChecked());
    EXPECT_TRUE(BecomesActive(Frame.get()));
    EXPECT_EQ(Layout(), AtOnce);
}

TEST_F(TLateFloatingForms, AUseBeforeThePaintMakesBoth)
{
    AppIniFile().WriteString("4.0", "Flags", "1,1,1,0");
    Frame = std::make_unique<TfrmTavro>();
    Frame->StartUp();
    ASSERT_EQ(frmObjProperty.Made(), nullptr);
    // A selection shown waits for the making, which loads it.
    TDocWindow* C = Frame->DocWindows().front();
    C->ReloadPanelReported();
    ASSERT_EQ(frmObjProperty.Made(), nullptr);
    // A use makes both, the palette hidden as the settings have it.
    EXPECT_FALSE(frmObjProperty->isVisible());
    EXPECT_FALSE(frmObjProperty.Due() || frmPltColor.Due());
    ASSERT_NE(frmPltColor.Made(), nullptr);
    EXPECT_FALSE(frmPltColor->isVisible());
    EXPECT_FALSE(Frame->actDispColPlt->isChecked());
}

TEST_F(TLateFloatingForms, AFrameThatClosesFirstMakesNoneAndKeepsTheirSettings)
{
    for (const char* Flags : {"1,1,1,0", "1,1,1,1"}) {
        AppIniFile().WriteString("4.0", "Flags", Flags);
        AppIniFile().WriteString("4.0", "DispPage", DispPageWide);
        Frame = std::make_unique<TfrmTavro>();
        Frame->StartUp();
        Close();
        EXPECT_EQ(frmPltColor.Made(), nullptr) << Flags;
        EXPECT_EQ(frmObjProperty.Made(), nullptr) << Flags;
        EXPECT_FALSE(frmPltColor.Due() || frmObjProperty.Due()) << Flags;
        EXPECT_EQ(Setting("Flags"), Flags);
        EXPECT_EQ(Setting("DispPage"), DispPageWide);
    }
}

TEST_F(TLateFloatingForms, ADialogShownByThenHasThemAfterItCloses)
{
    // A box up when the frame has painted keeps the activation: the
    // windows come once it has closed.
    Frame = std::make_unique<TfrmTavro>();
    Frame->StartUp();
    bool MadeUnderBox = true, BoxActive = false;
    QTimer::singleShot(0, Frame.get(), [&] {
        QDialog Box(Frame.get());
        QTimer::singleShot(0, &Box, [&] {
            // The box has the keys, the frame painted behind it, and what
            // that paint sets going has run.
            BoxActive = BecomesActive(&Box);
            if (WaitUntil([&] { return Painted; }))
                HandleDueEvents();
            MadeUnderBox = frmPltColor.Made() || frmObjProperty.Made();
            BoxActive = BoxActive && QApplication::activeWindow() == &Box;
            Box.accept();
        });
        Box.exec();
    });
    TWatch Watch(this);
    qApp->installEventFilter(&Watch);
    Frame->show();
    ASSERT_TRUE(WaitUntil([] { return frmObjProperty.Made() != nullptr; }));
    qApp->removeEventFilter(&Watch);
    EXPECT_TRUE(Painted);
    EXPECT_FALSE(MadeUnderBox);
    EXPECT_TRUE(BoxActive);
    EXPECT_TRUE(frmPltColor->isVisible());
    HandleDueEvents();
    EXPECT_TRUE(BecomesActive(Frame.get()));
}
