// Start-up at a real display: the program under Xvfb with openbox, with a
// stored place for the palette and for a page window of the panel, which the
// frame makes once it has painted itself. Whatever comes first (a document
// of the command line, a box telling of a file that failed), they come where
// the settings put them, above the frame, and the keys stay with the frame
// and its document window. Only X input and the X server's records are used.
#include "e2e/red_document.h"
#include "e2e/x_session.h"
#include "platform/registry_store.h"
#include "platform/test_support.h"
#include "shell/tavro_program.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

using namespace e2e;

constexpr int WindowTimeout = 20000;
// Beside the page, zoomed in too, in the middle of the frame.
const QRect PaletteAt(1300, 100, 230, 220);
const QRect PanelAt(250, 700, 600, 300);

int RedPixelsIn(QRect Area)
{
    return RedPixels(Screen().copy(Area));
}

class StartUpX : public TWithWindowManager<> {
protected:
    void SetUp() override
    {
        MakeSandbox(Tmp.Dir);
        std::filesystem::create_directories(Tmp / "work");
        std::filesystem::create_directories(Tmp / "data/tavro");
        setenv("XDG_CONFIG_HOME", (Tmp / "config").c_str(), 1);
        RegistryReload();
        ASSERT_TRUE(StartUnits());
        WriteRedDocument(Tmp / "work/red.srn");
        FinishUnits();
        Tmp.Put("work/bad.srn", std::string("BM\x3e\0\0\0\0\0\0\0\x3e\0\0\0", 14));
    }

    // Starts the program with Args on the stored places.
    void Start(const QStringList& Args)
    {
        Tavro = std::make_unique<TOwnedProcess>();
        Tmp.Put("data/tavro/tavro.ini", "[4.0]\r\nDispPage=250,700,600,300,0,0,1,1,1,2,1,3,1,4,1,1,-1\r\n"
                                        "PosPltColor=1300,100,230,220,0\r\n");
        StartProgram(*Tavro, Tmp.Dir, Args, Tmp / "work");
    }

    // The frame and the floating windows as stored, the frame below them
    // and active; its id.
    unsigned long ExpectStartedAsStored(const char* Case)
    {
        const unsigned long Frame = WaitWindow("^タヴロ", WindowTimeout);
        const unsigned long Palette = WaitWindow("^ドラッグパレット", WindowTimeout);
        const unsigned long Panel = WaitWindow("^図形のプロパティ", WindowTimeout);
        if (!Frame || !Palette || !Panel) {
            ADD_FAILURE() << Case << ": frame " << Frame << ", palette " << Palette << ", page window " << Panel;
            return 0;
        }
        // Once the program has handled the floating windows' showing, the
        // frame still has the keys (they must not take them), and they are
        // where the settings put them, above it.
        EXPECT_TRUE(WaitActiveAndSettled(Frame)) << Case << ": the keys went elsewhere: " << DescribeDisplay();
        EXPECT_EQ(Geometry(Palette), PaletteAt) << Case;
        EXPECT_EQ(Geometry(Panel), PanelAt) << Case;
        EXPECT_TRUE(WaitFor([&] {
            const QList<unsigned long> Stack = RootWindowList("_NET_CLIENT_LIST_STACKING");
            return Stack.indexOf(Frame) >= 0 && Stack.indexOf(Frame) < Stack.indexOf(Palette) &&
                   Stack.indexOf(Frame) < Stack.indexOf(Panel);
        }, 5000)) << Case << ": a floating window is below the frame";
        return Frame;
    }

    TTempDir Tmp;
    std::unique_ptr<TOwnedProcess> Tavro;
};

TEST_F(StartUpX, TheFloatingWindowsComeAsStoredAndTheKeysStayWithTheDocument)
{
    // A document of the command line.
    Start({"red.srn"});
    unsigned long Frame = ExpectStartedAsStored("red.srn");
    ASSERT_NE(Frame, 0u);
    // The frame's inside left of the palette (whose cells are red too) and
    // above the page window.
    const QRect Inside = Geometry(Frame);
    const QRect Area(Inside.topLeft(), QPoint(PaletteAt.left() - 1, PanelAt.top() - 1));
    int Red = 0;
    ASSERT_TRUE(WaitFor([&] { return (Red = RedPixelsIn(Area)) >= 198 * 148; }, WindowTimeout))
        << "the document's page is not on the screen";
    // Its commands and its own keys reach it: deleted, undone, zoomed in.
    Key("ctrl+a");
    Key("Delete");
    EXPECT_TRUE(WaitFor([&] { return RedPixelsIn(Area) == 0; }, 5000)) << "Ctrl+A, Delete left the rectangle";
    Key("ctrl+z");
    // (Selected again: its handles cover a little of it.)
    EXPECT_TRUE(WaitFor([&] { return RedPixelsIn(Area) > Red * 9 / 10; }, 5000)) << "Ctrl+Z did not bring it back";
    Key("KP_Add");
    EXPECT_TRUE(WaitFor([&] { return RedPixelsIn(Area) > 2 * Red; }, 5000)) << "the keypad's + did not zoom in";
    Key("ctrl+n");
    EXPECT_TRUE(WaitFor([] { return ActiveWindowName() == "タヴロ - [画像1]"; }, 5000))
        << "Ctrl+N made no new document: " << ActiveWindowName().toStdString();
    Tavro->Stop();
    ASSERT_TRUE(WaitWindowGone("^タヴロ", 5000));

    // A box at start-up, before the frame shows: the floating windows wait
    // for the frame, however long the box stays (longer than the 2 s a
    // frame not painted is given), and all comes once it is closed.
    Start({"-e", "bad.srn"});
    const unsigned long Box = WaitWindow("^エラー", WindowTimeout);
    ASSERT_NE(Box, 0u) << "no box told of bad.srn";
    EXPECT_FALSE(WaitFor([] { return FindWindow("^(ドラッグパレット|図形のプロパティ)") != 0; }, 3000))
        << "a floating window came while the box was up";
    // Its Return only once it has the keys.
    ASSERT_TRUE(WaitActiveAndSettled(Box)) << DescribeDisplay();
    Key("Return");
    Frame = ExpectStartedAsStored("-e bad.srn");
    ASSERT_NE(Frame, 0u);
    Key("ctrl+n");
    EXPECT_TRUE(WaitFor([] { return ActiveWindowName() == "タヴロ - [画像2]"; }, 5000))
        << "Ctrl+N made no new document: " << ActiveWindowName().toStdString();
}

} // namespace
