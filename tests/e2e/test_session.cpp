// A session as a person has it at a real display: the built program under
// Xvfb with openbox, driven only by X input (xdotool), the X clipboard of
// another process (xclip) and screen grabs. The steps run in order on one
// program; each keeps its screenshots under the build folder.
#include "e2e/x_session.h"
#include "platform/test_support.h"
#include "editors/frm_sel_macro.h"
#include "shell/input_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLayout>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

using namespace e2e;

constexpr int WindowTimeout = 20000;
constexpr const char* FrameName = "^タヴロ";

struct TTimes {
    qint64 Start = -1, Key = -1, Drop = -1, Save = -1, Reopen = -1;
};

struct TSession {
    std::unique_ptr<TTempDir> Tmp;
    TOwnedProcess Openbox;
    std::unique_ptr<TOwnedProcess> Tavro;
    QString Shots;
    unsigned long Frame = 0;
    QString Failed; // the step that failed first: the later ones depend on it
    TTimes Program, Bare;
    QRect Page; // the page on the screen, once found
    QRect FrameBounds; // the whole frame window at the first start
    bool ExpectEnd = false; // the program was told to quit
};
TSession* S = nullptr;

QString TmpPath(const char* Name)
{
    return QString::fromStdString(*S->Tmp / Name);
}

QProcessEnvironment ProgramEnvironment()
{
    return SandboxEnvironment(S->Tmp->Dir);
}

void Shot(const char* Name)
{
    Screen().save(S->Shots + "/" + Name + ".png");
}

// The page as the document window shows it: the white box found once the
// program painted it.
QImage PageArea()
{
    return Screen().copy(S->Page);
}

// The page as the document window shows it, against a golden picture made
// once (TAVRO_E2E_WRITE_GOLDEN=1) and looked at by eye. Font hinting and
// anti-aliasing may move a few edge pixels: up to 0.5 % of the pixels may
// differ by more than 48 in a channel.
void ExpectGolden(const char* Name)
{
    const QImage Page = PageArea();
    const QString Golden = QString::fromLocal8Bit(std::getenv("TAVRO_E2E_GOLDEN")) + "/" + Name + ".png";
    if (std::getenv("TAVRO_E2E_WRITE_GOLDEN")) {
        Page.save(Golden);
        return;
    }
    const QImage Want(Golden);
    ASSERT_FALSE(Want.isNull()) << "no golden picture " << Golden.toStdString();
    const int Differ = DifferentPixels(Page, Want, 48);
    if (Differ > Page.width() * Page.height() * 5 / 1000) {
        Page.save(S->Shots + "/" + Name + "-actual.png");
        Want.save(S->Shots + "/" + Name + "-golden.png");
        ADD_FAILURE() << "the page differs from the golden picture " << Name << " in " << Differ
                      << " pixels; both are in " << S->Shots.toStdString();
    }
}

bool PageHasInk()
{
    const QImage P = PageArea();
    int N = 0;
    for (int Y = 0; Y < P.height(); ++Y)
        for (int X = 0; X < P.width(); ++X)
            N += (P.pixel(X, Y) & 0xFFFFFF) != 0xFFFFFF;
    return N > 200;
}

// Starts the program with Args; the milliseconds to its frame showing a
// white page of at least MinPage, or -1.
qint64 StartProgram(const QStringList& Args, QSize MinPage)
{
    S->Tavro = std::make_unique<TOwnedProcess>();
    QProcess& P = S->Tavro->P;
    QElapsedTimer T;
    T.start();
    e2e::StartProgram(*S->Tavro, S->Tmp->Dir, Args, *S->Tmp / "work");
    if (!P.waitForStarted(Deadline(10000)))
        return -1;
    S->Frame = WaitWindow(FrameName, WindowTimeout);
    if (!S->Frame)
        return -1;
    // A window's first, unpainted background is white too: the page is a
    // white box of about its own size, the same in two grabs in a row.
    if (MinPage.isEmpty()) {
        // A page with drawings where it was before: painted once it stays.
        QImage Now, Last;
        if (!WaitFor([&] {
                Last = Now;
                Now = PageArea();
                return PageHasInk() && !Last.isNull() && DifferentPixels(Now, Last, 0) == 0;
            }, WindowTimeout))
            return -1;
        return T.elapsed();
    }
    QRect Box, Last;
    if (!WaitFor([&] {
            Last = Box;
            Box = WhiteBox(Screen(), Geometry(S->Frame));
            return Box == Last && Box.width() >= MinPage.width() && Box.height() >= MinPage.height() &&
                   Box.width() <= MinPage.width() + 20 && Box.height() <= MinPage.height() + 20;
        }, WindowTimeout)) {
        std::printf("the frame %lu at %d,%d %dx%d shows a white box %d,%d %dx%d\n", S->Frame,
                    Geometry(S->Frame).x(), Geometry(S->Frame).y(), Geometry(S->Frame).width(),
                    Geometry(S->Frame).height(), Box.x(), Box.y(), Box.width(), Box.height());
        return -1;
    }
    S->Page = Box;
    return T.elapsed();
}

class Session : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        S = new TSession;
        S->Tmp = std::make_unique<TTempDir>();
        MakeSandbox(S->Tmp->Dir);
        std::filesystem::create_directories(*S->Tmp / "work");
        S->Shots = QString::fromLocal8Bit(std::getenv("TAVRO_E2E_SHOTS"));
        QDir(S->Shots).removeRecursively();
        QDir().mkpath(S->Shots);
        if (!StartWindowManager(S->Openbox))
            S->Failed = "the window manager (openbox) did not come to work";
    }

    static void TearDownTestSuite()
    {
        const auto Ratio = [](qint64 A, qint64 B) {
            return A < 0 || B <= 0 ? QString("-") : QString::number(double(A) / double(B), 'f', 2);
        };
        const std::pair<const char*, std::pair<qint64, qint64>> Lines[] = {
            {"start to first painted frame", {S->Program.Start, S->Bare.Start}},
            {"one key to painted page", {S->Program.Key, S->Bare.Key}},
            {"end of drag to painted drop", {S->Program.Drop, S->Bare.Drop}},
            {"save", {S->Program.Save, S->Bare.Save}},
            {"reopen to painted page", {S->Program.Reopen, S->Bare.Reopen}},
        };
        for (const auto& [What, Times] : Lines)
            std::printf("PERF %-30s tavro %6lld ms  bare Qt %6lld ms  ratio %s\n", What, (long long)Times.first,
                        (long long)Times.second, qPrintable(Ratio(Times.first, Times.second)));
        std::fflush(stdout);
        S->Tavro.reset();
        S->Openbox.Stop();
        delete S;
        S = nullptr;
    }

    void SetUp() override
    {
        if (!S->Failed.isEmpty())
            GTEST_SKIP() << "an earlier step failed: " << S->Failed.toStdString();
    }

    void TearDown() override
    {
        const auto* Info = ::testing::UnitTest::GetInstance()->current_test_info();
        if (S->Tavro && !S->ExpectEnd && (S->Tavro->P.state() == QProcess::NotRunning || S->Tavro->P.waitForFinished(50))) {
            ADD_FAILURE() << "the program ended during the step: exit code " << S->Tavro->P.exitCode()
                          << (S->Tavro->P.exitStatus() == QProcess::CrashExit ? " (crashed)" : "");
        }
        if (HasFailure()) {
            S->Failed = Info->name();
            Shot((std::string("FAILED-") + Info->name()).c_str());
            std::printf("e2e step %s failed; its screenshots are in %s\n", Info->name(), qPrintable(S->Shots));
        }
    }

    static QRect FrameRect() { return Geometry(S->Frame).adjusted(-4, -40, 4, 4); }

    static void PickTool(const char* Name)
    {
        const auto At = FindIcon(Screen(), QString(":/tools/") + Name, FrameRect());
        ASSERT_TRUE(At) << "the tool palette's button " << Name << " is not on the screen";
        Click(*At);
    }
};

TEST_F(Session, S1_FrameAppearsWithItsPage)
{
    S->Program.Start = StartProgram({}, QSize(390, 290));
    Shot("s1-frame");
    ASSERT_GE(S->Program.Start, 0) << "the frame \"タヴロ\" with its white page never came";
    // The palette and the panel come a moment after the frame's first
    // paint; once they are there and the program has handled their
    // showing, the frame still has the keys.
    const unsigned long Panel = WaitWindow("^図形のプロパティ", 5000);
    ASSERT_NE(Panel, 0u) << "no property panel \"図形のプロパティ\"";
    EXPECT_NE(WaitWindow("^ドラッグパレット", 5000), 0u) << "no palette \"ドラッグパレット\"";
    EXPECT_TRUE(WaitActiveAndSettled(S->Frame)) << "the frame has not the focus: " << DescribeDisplay();
    // The frame, title bar included, ends where the panel's band at the
    // bottom of the screen begins: it hides none of the panel.
    QRect F, P;
    EXPECT_TRUE(WaitFor([&] {
        F = FrameGeometry(S->Frame);
        P = FrameGeometry(Panel);
        return F.bottom() < P.top();
    }, 3000)) << "the frame's bottom edge " << F.bottom() << " lies below the panel's top " << P.top();
    S->FrameBounds = F;
}

TEST_F(Session, S2_TextToolTypesAndPastes)
{
    ASSERT_NO_FATAL_FAILURE(PickTool("sbtnText"));
    Click(S->Page.topLeft() + QPoint(60, 80));
    const unsigned long Dialog = WaitWindow("^テキスト作成", 5000);
    ASSERT_NE(Dialog, 0u) << "a click on the page with the text tool opened no \"テキスト作成\" dialog";
    Shot("s2-dialog-opened");
    EXPECT_TRUE(WaitActiveAndSettled(Dialog)) << "the dialog has not the focus: " << DescribeDisplay();
    Type("Tavro");
    // Another process holds the clipboard: the paste crosses processes.
    // It keeps holding it while the paste goes on: Qt 6.4's text edits
    // crash when the owner leaves between the formats and the data.
    TOwnedProcess Clip;
    {
        QFile F(TmpPath("clip.txt"));
        ASSERT_TRUE(F.open(QIODevice::WriteOnly));
        F.write(QString("文字").toUtf8());
    }
    Clip.P.setStandardOutputFile(QProcess::nullDevice());
    Clip.P.setStandardErrorFile(QProcess::nullDevice());
    Clip.P.start("xclip", {"-quiet", "-selection", "clipboard", "-i", TmpPath("clip.txt")});
    ASSERT_TRUE(Clip.P.waitForStarted(Deadline(5000)));
    WaitFor([] { return e2e::Run("xclip", {"-selection", "clipboard", "-o"}) == "文字"; }, 3000);
    const QRect DialogArea = Geometry(Dialog);
    const QImage BeforePaste = Screen().copy(DialogArea);
    Key("ctrl+v");
    EXPECT_TRUE(WaitFor([&] { return DifferentPixels(Screen().copy(DialogArea), BeforePaste, 40) > 30; }, 5000))
        << "the text held by xclip never showed in the memo";
    Shot("s2-dialog");
    // The OK button where the dialog's own layout puts it at this size.
    const QRect G = Geometry(Dialog);
    TfrmInputText Same;
    Same.setAttribute(Qt::WA_DontShowOnScreen);
    Same.resize(G.size());
    Same.show();
    Same.layout()->activate();
    const QPoint Ok = G.topLeft() + Same.btnOK->geometry().center();
    Same.hide();
    Click(Ok);
    ASSERT_TRUE(WaitWindowGone("^テキスト作成", 5000)) << "OK did not close the dialog";
    ASSERT_TRUE(WaitFor(PageHasInk, 5000)) << "the text never appeared on the page";
    Shot("s2-text");
    ExpectGolden("text");
}

// Three effects from the catalogue through the macro page's picker, then
// one key typed in the text page: how long until the page shows it.
TEST_F(Session, S3_EffectsFromThePickerAndOneKey)
{
    const unsigned long Panel = WaitWindow("^図形のプロパティ", 5000);
    ASSERT_NE(Panel, 0u) << "no property panel \"図形のプロパティ\"";
    const QRect P = Geometry(Panel);
    Click(P.topLeft() + QPoint(62, 35)); // the "マクロ" tab
    // Cells of the picker's catalogue: a gradation line, a shadow fill and
    // a shaded bevel.
    const struct {
        const char* Name;
        QPoint Cell;
    } Effects[] = {{"グラデーションライン", {93, 133}}, {"塗り(影)", {81, 86}}, {"ベベル(陰影)", {270, 201}}};
    for (const auto& E : Effects) {
        const QImage Before = PageArea();
        Click(P.topLeft() + QPoint(20, 60)); // "+"
        const unsigned long Picker = WaitWindow("^マクロ選択", 5000);
        ASSERT_NE(Picker, 0u) << "\"+\" on the macro page opened no \"マクロ選択\" picker";
        // Its cells are where they are once it is placed and has the keys.
        ASSERT_TRUE(WaitActiveAndSettled(Picker)) << DescribeDisplay();
        const QRect G = Geometry(Picker);
        Click(G.topLeft() + E.Cell);
        Click(G.topLeft() + QPoint(423, 346)); // OK
        ASSERT_TRUE(WaitWindowGone("^マクロ選択", 5000)) << "the picker stayed after OK";
        ASSERT_TRUE(WaitFor([&] { return DifferentPixels(PageArea(), Before, 16) > 50; }, 10000))
            << "the page did not change with the effect " << E.Name;
    }
    Shot("s3-effects");
    ExpectGolden("effects");
    Click(P.topLeft() + QPoint(243, 35)); // the "テキスト" tab
    Click(P.topLeft() + QPoint(800, 230)); // below the text in its edit
    // The click makes the panel active; the keys wait for that.
    ASSERT_TRUE(WaitActiveAndSettled(Panel)) << DescribeDisplay();
    Key("ctrl+End");
    const QImage Before = PageArea();
    QElapsedTimer T;
    T.start();
    Type("s");
    ASSERT_TRUE(WaitFor([&] { return DifferentPixels(PageArea(), Before, 16) > 20; }, 10000))
        << "a key typed in the text page never changed the page";
    S->Program.Key = T.elapsed();
    Shot("s3-key");
}

// A long paste into the text page asks first; answered いいえ, the keys stay
// with the text: a Delete then deletes no object of the document.
TEST_F(Session, S3b_AnsweredQuestionLeavesTheKeysWithTheText)
{
    const unsigned long Panel = WaitWindow("^図形のプロパティ", 5000);
    ASSERT_NE(Panel, 0u) << "no property panel \"図形のプロパティ\"";
    TOwnedProcess Clip;
    {
        QFile F(TmpPath("long.txt"));
        ASSERT_TRUE(F.open(QIODevice::WriteOnly));
        F.write(QString(26, 'a').toUtf8());
    }
    Clip.P.setStandardOutputFile(QProcess::nullDevice());
    Clip.P.setStandardErrorFile(QProcess::nullDevice());
    Clip.P.start("xclip", {"-quiet", "-selection", "clipboard", "-i", TmpPath("long.txt")});
    ASSERT_TRUE(Clip.P.waitForStarted(Deadline(5000)));
    WaitFor([] { return e2e::Run("xclip", {"-selection", "clipboard", "-o"}) == QString(26, 'a'); }, 3000);
    const QImage Before = PageArea();
    Key("ctrl+v");
    const unsigned long Box = WaitWindow("^確認", 5000);
    ASSERT_NE(Box, 0u) << "a paste of 26 characters asked nothing";
    Shot("s3b-question");
    ASSERT_TRUE(WaitActiveAndSettled(Box)) << "the question has not the focus: " << DescribeDisplay();
    Key("Escape"); // いいえ
    ASSERT_TRUE(WaitWindowGone("^確認", 5000));
    EXPECT_TRUE(WaitFor([] { return ActiveWindowName().startsWith("図形のプロパティ"); }, 3000))
        << "after the question the keys went to " << ActiveWindowName().toStdString();
    EXPECT_TRUE(WaitActiveAndSettled(Panel)) << DescribeDisplay();
    Key("Delete");
    // What the Delete does is done once the program has come to rest.
    EXPECT_TRUE(Settled(Panel));
    Shot("s3b-after-delete");
    EXPECT_EQ(DifferentPixels(PageArea(), Before, 16), 0) << "the Delete after the question changed the page";
}

// A star and a rectangle drawn with the palette's tools, grouped from the
// "配置(&A)" menu, moved by a drag; undo and redo give both pictures back.
TEST_F(Session, S4_ShapesGroupedMovedUndoneRedone)
{
    const QPoint O = S->Page.topLeft();
    ASSERT_NO_FATAL_FAILURE(PickTool("sbtnStar"));
    QImage Before = PageArea();
    Drag(O + QPoint(60, 170), O + QPoint(140, 250));
    ASSERT_TRUE(WaitFor([&] { return DifferentPixels(PageArea(), Before, 16) > 200; }, 5000)) << "no star drawn";
    ASSERT_NO_FATAL_FAILURE(PickTool("sbtnRect"));
    Before = PageArea();
    Drag(O + QPoint(220, 170), O + QPoint(330, 260));
    ASSERT_TRUE(WaitFor([&] { return DifferentPixels(PageArea(), Before, 16) > 200; }, 5000)) << "no rectangle drawn";
    Shot("s4-shapes");
    // Both shapes, not the text, in a rubber band of the selection tool.
    ASSERT_NO_FATAL_FAILURE(PickTool("sbtnArrow"));
    Drag(O + QPoint(40, 150), O + QPoint(360, 285));
    // The last enabled entry of "配置(&A)" with two plain shapes selected is
    // "グループ化" (ungrouping and text on a path are greyed).
    // The clicks on the frame's tools made it active; the menu's key waits
    // for that.
    ASSERT_TRUE(WaitActiveAndSettled(S->Frame)) << DescribeDisplay();
    const QImage NoMenu = Screen();
    Key("alt+a");
    ASSERT_TRUE(WaitFor([&] { return DifferentPixels(Screen(), NoMenu, 16) > 500; }, 5000)) << "Alt+A opened no menu";
    Shot("s4-menu");
    // The menu takes the keys once the program has handled its showing.
    ASSERT_TRUE(Settled(S->Frame));
    Key("Up");
    Key("Return");
    // A drag on the star moves the rectangle too once they are one group.
    const QImage Grouped = PageArea();
    const QRect RectArea(QPoint(215, 165) , QPoint(335, 265));
    DragHold(O + QPoint(100, 215), O + QPoint(100, 195));
    const QImage Held = PageArea();
    QElapsedTimer T;
    T.start();
    MouseUp();
    ASSERT_TRUE(WaitFor([&] { return DifferentPixels(PageArea(), Held, 16) > 100; }, 5000)) << "the drop never painted";
    S->Program.Drop = T.elapsed();
    // The drop is painted in steps (outline, then effects): the moved
    // picture is the one that stays.
    QImage Moved = PageArea(), Last;
    WaitFor([&] {
        Last = Moved;
        Moved = PageArea();
        return DifferentPixels(Moved, Last, 0) == 0;
    }, 5000);
    Shot("s4-moved");
    ExpectGolden("grouped-moved");
    EXPECT_GT(DifferentPixels(Moved.copy(RectArea), Grouped.copy(RectArea), 16), 100)
        << "the rectangle did not move with the star: the group was not made";
    ASSERT_TRUE(ActivateAndSettle(S->Frame)) << DescribeDisplay();
    Key("ctrl+z");
    EXPECT_TRUE(WaitFor([&] { return DifferentPixels(PageArea(), Grouped, 16) < 30; }, 5000))
        << "undo did not give back the picture before the move";
    Shot("s4-undone");
    Key("ctrl+y");
    EXPECT_TRUE(WaitFor([&] { return DifferentPixels(PageArea(), Moved, 16) < 30; }, 5000))
        << "redo did not give back the moved picture";
    Shot("s4-redone");
}

// The page's own picture, as "BMP画像としてコピー(&B)" offers it to other
// programs, read from the X clipboard by xclip.
QImage PagePictureFromClipboard(const char* Name)
{
    if (!ActivateAndSettle(S->Frame))
        return {};
    Key("alt+e");
    Key("b");
    const QString File = TmpPath(Name);
    QImage Picture;
    WaitFor([&] {
        QProcess P;
        P.setStandardOutputFile(File);
        P.start("xclip", {"-selection", "clipboard", "-t", "image/png", "-o"});
        P.waitForFinished(Deadline(5000));
        return Picture.load(File, "PNG") && !Picture.isNull();
    }, 5000);
    return Picture;
}

TEST_F(Session, S5_GroupPastedIntoASecondDocument)
{
    ASSERT_TRUE(ActivateAndSettle(S->Frame)) << DescribeDisplay();
    Key("ctrl+c");
    Key("ctrl+n");
    ASSERT_TRUE(WaitFor([] { return WindowName(S->Frame).contains("画像2"); }, 5000))
        << "Ctrl+N made no document \"画像2\": the frame is named " << WindowName(S->Frame).toStdString();
    ASSERT_TRUE(WaitFor([] { return !PageHasInk(); }, 5000)) << "the new document's page is not empty";
    Key("ctrl+v");
    ASSERT_TRUE(WaitFor(PageHasInk, 5000)) << "the group copied from the first document was not pasted";
    Shot("s5-pasted");
    ExpectGolden("pasted");
}

// A rectangle's fill colour typed as a hexadecimal value into the colour
// picker, copied with its "コピー" button, taken and offered again by
// another process (xclip), pasted back with "貼付け" over another colour.
TEST_F(Session, S5b_ColourTypedCopiedAndPastedAcrossProcesses)
{
    // Above the pasted group, on the second document's page.
    ASSERT_NO_FATAL_FAILURE(PickTool("sbtnRect"));
    const QPoint O = S->Page.topLeft();
    const QImage Before = PageArea();
    Drag(O + QPoint(100, 20), O + QPoint(300, 120));
    ASSERT_TRUE(WaitFor([&] { return DifferentPixels(PageArea(), Before, 16) > 1000; }, 5000)) << "no rectangle drawn";
    const unsigned long Panel = WaitWindow("^図形のプロパティ", 5000);
    ASSERT_NE(Panel, 0u);
    const QRect P = Geometry(Panel);
    Click(P.topLeft() + QPoint(62, 35));   // the "マクロ" tab
    Click(P.topLeft() + QPoint(146, 225)); // the fill's colour cell of "塗り(ボカシ)"
    const unsigned long Dialog = WaitWindow("^塗り方法設定", 5000);
    ASSERT_NE(Dialog, 0u) << "the colour cell opened no \"塗り方法設定\" dialog";
    ASSERT_TRUE(WaitActiveAndSettled(Dialog)) << DescribeDisplay();
    const QPoint D = Geometry(Dialog).topLeft();
    const auto TypeHex = [&](const char* Hex) {
        Click(D + QPoint(240, 414)); // "#"
        Key("ctrl+a");
        Type(Hex);
    };
    const auto Count = [](const QImage& Img, QRgb Colour) {
        int N = 0;
        for (int Y = 0; Y < Img.height(); ++Y)
            for (int X = 0; X < Img.width(); ++X)
                N += (Img.pixel(X, Y) & 0xFFFFFF) == Colour;
        return N;
    };
    const auto DialogShows = [&](QRgb Colour) {
        return WaitFor([&] { return Count(Screen().copy(Geometry(Dialog)), Colour) > 1000; }, 5000);
    };
    TypeHex("00FF00");
    ASSERT_TRUE(DialogShows(0x00FF00)) << "the typed value 00FF00 showed no green";
    Click(D + QPoint(402, 328)); // "コピー"
    const QString Format = "application/x-tavro-Wex_Color";
    ASSERT_TRUE(WaitFor([&] { return e2e::Run("xclip", {"-selection", "clipboard", "-o", "-t", "TARGETS"}).contains(Format); }, 5000))
        << "the copied colour is not offered as " << Format.toStdString();
    QProcess Read;
    Read.setStandardOutputFile(TmpPath("colour.bin"));
    Read.start("xclip", {"-selection", "clipboard", "-o", "-t", Format});
    ASSERT_TRUE(Read.waitForFinished(Deadline(5000)));
    ASSERT_GT(QFileInfo(TmpPath("colour.bin")).size(), 0);
    TOwnedProcess Hold;
    Hold.P.setStandardOutputFile(QProcess::nullDevice());
    Hold.P.setStandardErrorFile(QProcess::nullDevice());
    Hold.P.start("xclip", {"-quiet", "-selection", "clipboard", "-t", Format, "-i", TmpPath("colour.bin")});
    ASSERT_TRUE(Hold.P.waitForStarted(Deadline(5000)));
    ASSERT_TRUE(WaitFor([&] { return e2e::Run("xclip", {"-selection", "clipboard", "-o", "-t", "TARGETS"}) == Format + "\nTARGETS" ||
                                     !e2e::Run("xclip", {"-selection", "clipboard", "-o", "-t", "TARGETS"}).contains("text/plain"); }, 5000))
        << "xclip did not take the clipboard";
    TypeHex("FF00FF");
    ASSERT_TRUE(DialogShows(0xFF00FF)) << "the typed value FF00FF showed no magenta";
    Click(D + QPoint(474, 328)); // "貼付け"
    EXPECT_TRUE(DialogShows(0x00FF00)) << "the colour held by xclip was not pasted back";
    Shot("s5b-colour");
    Click(D + QPoint(407, 476)); // OK, below the status line
    ASSERT_TRUE(WaitWindowGone("^塗り方法設定", 5000));
    EXPECT_TRUE(WaitFor([&] { return Count(PageArea(), 0x00FF00) > 150 * 80; }, 5000))
        << "the rectangle is not filled with the pasted green";
    Shot("s5b-green");
}

// Saved through the save dialog, the program quit (the other document's
// question answered), started again on the file: the same page picture.
TEST_F(Session, S6_SavedQuitReopenedTheSame)
{
    const QImage Saved = PagePictureFromClipboard("before.png");
    ASSERT_FALSE(Saved.isNull()) << "no picture of the page on the clipboard";
    const QList<unsigned long> Known = VisibleWindows();
    ASSERT_TRUE(ActivateAndSettle(S->Frame)) << DescribeDisplay();
    Key("ctrl+shift+s");
    const unsigned long Dialog = WaitNewWindow(Known, 5000);
    ASSERT_NE(Dialog, 0u) << "Ctrl+Shift+S opened no save dialog";
    EXPECT_TRUE(WaitActiveAndSettled(Dialog)) << "the save dialog has not the focus: " << DescribeDisplay();
    Shot("s6-save-dialog");
    const QString File = TmpPath("work/session.srn");
    Type(File);
    QElapsedTimer T;
    T.start();
    Key("Return");
    ASSERT_TRUE(WaitFor([&] { return QFileInfo(File).size() > 0 && WindowName(S->Frame).contains("session"); }, 10000))
        << "the document was not saved as " << File.toStdString();
    S->Program.Save = T.elapsed();
    // Quitting asks about the first document, changed and never saved.
    const QList<unsigned long> Open = VisibleWindows();
    ASSERT_TRUE(ActivateAndSettle(S->Frame)) << DescribeDisplay();
    S->ExpectEnd = true;
    Key("alt+F4");
    const unsigned long Question = WaitNewWindow(Open, 5000);
    ASSERT_NE(Question, 0u) << "quitting asked nothing about the changed document";
    Shot("s6-question");
    EXPECT_TRUE(WaitActiveAndSettled(Question)) << "the question has not the focus: " << DescribeDisplay();
    Key("alt+n");
    ASSERT_TRUE(WaitEnded(S->Tavro->P)) << "the program did not end after the question; " << DescribeDisplay();
    S->ExpectEnd = false;
    S->Program.Reopen = StartProgram({File}, QSize());
    ASSERT_GE(S->Program.Reopen, 0) << "the program did not come back with " << File.toStdString();
    Shot("s6-reopened");
    EXPECT_NE(WaitWindow("^図形のプロパティ", 5000), 0u) << "the property panel did not come back with the program";
    // The placement saved at the end comes back as it was, not lower by a
    // title bar.
    EXPECT_TRUE(Settled(S->Frame));
    EXPECT_EQ(FrameGeometry(S->Frame), S->FrameBounds);
    const QImage Reopened = PagePictureFromClipboard("after.png");
    ASSERT_EQ(Reopened.size(), Saved.size());
    EXPECT_EQ(DifferentPixels(Reopened, Saved, 0), 0) << "the reopened page's picture is not the saved one";
}

// A picture handed to the running program by a second "tavro -e FILE".
TEST_F(Session, S7_PictureHandedOverWithDashE)
{
    QImage Picture(160, 120, QImage::Format_RGB32);
    Picture.fill(QColor(0, 255, 0));
    const QString File = TmpPath("work/handed.png");
    ASSERT_TRUE(Picture.save(File));
    QProcess Second;
    Second.setProcessEnvironment(ProgramEnvironment());
    Second.setProcessChannelMode(QProcess::ForwardedChannels);
    Second.start(std::getenv("TAVRO_PROGRAM"), {"-e", File});
    ASSERT_TRUE(WaitEnded(Second, 20000)) << "the second tavro -e did not end";
    EXPECT_EQ(Second.exitCode(), 0);
    ASSERT_TRUE(WaitFor([] { return WindowName(S->Frame).contains("handed"); }, 10000))
        << "the running program shows no document of handed.png: its frame is named "
        << WindowName(S->Frame).toStdString();
    const auto Green = [] {
        const QImage Sc = Screen();
        int N = 0;
        for (int Y = 0; Y < Sc.height(); ++Y)
            for (int X = 0; X < Sc.width(); ++X)
                N += (Sc.pixel(X, Y) & 0xFFFFFF) == 0x00FF00;
        return N;
    };
    EXPECT_TRUE(WaitFor([&] { return Green() >= 150 * 110; }, 10000)) << "the handed picture is not on the screen";
    Shot("s7-handed");
}

// The page printed to a PDF file through the print dialog.
TEST_F(Session, S8_PrintedToPdf)
{
    const QList<unsigned long> Known = VisibleWindows();
    ASSERT_TRUE(ActivateAndSettle(S->Frame)) << DescribeDisplay();
    Key("alt+f");
    Key("p");
    const unsigned long Dialog = WaitNewWindow(Known, 5000);
    ASSERT_NE(Dialog, 0u) << "\"印刷(&P)...\" opened no print dialog";
    EXPECT_TRUE(WaitActiveAndSettled(Dialog)) << "the print dialog has not the focus: " << DescribeDisplay();
    EXPECT_TRUE(WindowName(Dialog).startsWith("印刷")) << WindowName(Dialog).toStdString();
    Shot("s8-print-dialog");
    const QString Pdf = TmpPath("work/printed.pdf");
    Key("alt+f"); // "出力ファイル名(&F)"
    Key("ctrl+a");
    Type(Pdf);
    Key("Return");
    ASSERT_TRUE(WaitFor([&] { return QFileInfo(Pdf).size() > 0 && !e2e::Run("pdfinfo", {Pdf}).isEmpty(); }, 15000))
        << "no PDF printed to " << Pdf.toStdString();
    const QString Info = e2e::Run("pdfinfo", {Pdf});
    EXPECT_TRUE(Info.contains(QRegularExpression("Pages:\\s+1\\b"))) << Info.toStdString();
    // The printer's default paper: A4, or Letter where the locale says so.
    EXPECT_TRUE(Info.contains(QRegularExpression("Page size:\\s+(595(\\.\\d+)? x 842|612 x 792)")))
        << Info.toStdString();
}

// A roll-up tool window dropped a few pixels from the screen's edge snaps
// to it; a page of the panel dragged by its tab out to a window of its own
// and back onto the first.
TEST_F(Session, S9_ToolWindowSnapsAndPanelPageMoves)
{
    const unsigned long Palette = WaitWindow("^ドラッグパレット", 5000);
    ASSERT_NE(Palette, 0u) << "no drag palette \"ドラッグパレット\"";
    const QRect G = Geometry(Palette);
    const QPoint Caption = G.topLeft() + QPoint(60, 7);
    // Away from every edge first, then dropped 4 pixels from the left one.
    Drag(Caption, Caption + QPoint(300, -300));
    ASSERT_TRUE(WaitFor([&] { return Geometry(Palette).x() == G.x() + 300; }, 5000))
        << "the palette did not follow its caption: it is at x " << Geometry(Palette).x();
    const QRect Away = Geometry(Palette);
    const QPoint Caption2 = Away.topLeft() + QPoint(60, 7);
    Drag(Caption2, Caption2 - QPoint(Away.x() - 4, 0));
    EXPECT_TRUE(WaitFor([&] { return Geometry(Palette).x() == 0; }, 5000))
        << "dropped 4 pixels from the screen's left edge, the palette stayed at x " << Geometry(Palette).x();
    Shot("s9-snapped");

    const auto PanelWindows = [] {
        int N = 0;
        for (unsigned long Id : VisibleWindows())
            N += WindowName(Id).startsWith("図形のプロパティ");
        return N;
    };
    const unsigned long Panel = WaitWindow("^図形のプロパティ", 5000);
    ASSERT_NE(Panel, 0u);
    ASSERT_EQ(PanelWindows(), 1);
    const QRect P = Geometry(Panel);
    const QPoint ShapeTab = P.topLeft() + QPoint(133, 35); // "形状"
    Drag(ShapeTab, QPoint(900, 300));
    ASSERT_TRUE(WaitFor([&] { return PanelWindows() == 2; }, 5000)) << "the dragged page got no window of its own";
    Shot("s9-page-torn-off");
    unsigned long Torn = 0;
    for (unsigned long Id : VisibleWindows())
        if (Id != Panel && WindowName(Id).startsWith("図形のプロパティ"))
            Torn = Id;
    // Where the program put the new window once it has come to rest.
    ASSERT_TRUE(Settled(Torn));
    const QRect T = Geometry(Torn);
    Drag(T.topLeft() + QPoint(30, 35), P.topLeft() + QPoint(400, 35));
    EXPECT_TRUE(WaitFor([&] { return PanelWindows() == 1; }, 5000)) << "the page dragged back left its window open";
    Shot("s9-page-back");
}

// A new document of the shapes a person makes, laden with effects from the
// picker (a rectangle of crystal, an ellipse and a star with a shadow, a
// texture, a bevel and a tone change), all selected and duplicated:
// the page shows them twice and the program lives. (The effects reach past
// the page: the sanitised build checks that no area is counted beyond it.)
TEST_F(Session, S9b_EffectLadenShapesDuplicated)
{
    ASSERT_TRUE(ActivateAndSettle(S->Frame)) << DescribeDisplay();
    Key("ctrl+n");
    ASSERT_TRUE(WaitFor([] { return !PageHasInk(); }, 5000)) << "Ctrl+N showed no empty page";
    const unsigned long Panel = WaitWindow("^図形のプロパティ", 5000);
    ASSERT_NE(Panel, 0u);
    // Where the picker's cells and its OK button are, from its own layout.
    TfrmSelMacro Same;
    Same.setAttribute(Qt::WA_DontShowOnScreen);
    Same.show();
    Same.layout()->activate();
    const QPoint Grid = Same.grid->geometry().topLeft();
    const QPoint Ok = Same.btnOK->geometry().center();
    Same.hide();
    const QPoint O = S->Page.topLeft();
    const auto Shape = [&](const char* Tool, QPoint From, QPoint To) {
        ASSERT_NO_FATAL_FAILURE(PickTool(Tool));
        const QImage Before = PageArea();
        Drag(O + From, O + To);
        ASSERT_TRUE(WaitFor([&] { return DifferentPixels(PageArea(), Before, 16) > 200; }, 5000))
            << "no shape drawn with " << Tool;
    };
    const auto Effect = [&](const char* Name, int Col, int Row) {
        ASSERT_EQ(std::string(MacroKindCell(Col, Row).Text), Name);
        const QRect P = Geometry(Panel);
        Click(P.topLeft() + QPoint(62, 35)); // the "マクロ" tab
        const QImage Before = PageArea();
        Click(P.topLeft() + QPoint(20, 60)); // "+"
        const unsigned long Picker = WaitWindow("^マクロ選択", 5000);
        ASSERT_NE(Picker, 0u) << "\"+\" on the macro page opened no \"マクロ選択\" picker";
        ASSERT_TRUE(WaitActiveAndSettled(Picker)) << DescribeDisplay();
        const QPoint G = Geometry(Picker).topLeft();
        Click(G + Grid + QPoint(Col * TMacroKindGrid::ColWidth + TMacroKindGrid::ColWidth / 2,
                                Row * TMacroKindGrid::RowHeight + TMacroKindGrid::RowHeight / 2));
        Click(G + Ok);
        ASSERT_TRUE(WaitWindowGone("^マクロ選択", 5000)) << "the picker stayed after OK";
        ASSERT_TRUE(WaitFor([&] { return DifferentPixels(PageArea(), Before, 16) > 20; }, 10000))
            << "the page did not change with the effect " << Name;
    };
    ASSERT_NO_FATAL_FAILURE(Shape("sbtnRect", {40, 30}, {170, 130}));
    ASSERT_NO_FATAL_FAILURE(Effect("クリスタル", 0, 11));
    ASSERT_NO_FATAL_FAILURE(Shape("sbtnEllipse", {210, 30}, {340, 130}));
    ASSERT_NO_FATAL_FAILURE(Effect("塗り（影）", 0, 2));
    ASSERT_NO_FATAL_FAILURE(Effect("テクスチャ（陰影）", 2, 3));
    ASSERT_NO_FATAL_FAILURE(Shape("sbtnStar", {60, 160}, {170, 270}));
    ASSERT_NO_FATAL_FAILURE(Effect("ベベル（光沢付け）", 1, 8));
    ASSERT_NO_FATAL_FAILURE(Effect("明るさ・コントラスト", 2, 5));
    Shot("s9b-effects");
    ASSERT_TRUE(ActivateAndSettle(S->Frame)) << DescribeDisplay();
    const QImage Before = PageArea();
    Key("ctrl+a");
    Key("ctrl+d");
    // The copies lie on the items, their effects over the items' own, all
    // selected.
    ASSERT_TRUE(WaitFor([&] { return DifferentPixels(PageArea(), Before, 16) > 1000; }, 20000))
        << "Ctrl+A, Ctrl+D changed nothing on the page";
    // Painted once it stays so, with no box on the way.
    QImage Now = PageArea(), Last;
    EXPECT_TRUE(WaitFor([&] {
        Last = Now;
        Now = PageArea();
        return DifferentPixels(Now, Last, 0) == 0;
    }, 20000));
    EXPECT_TRUE(Settled(S->Frame));
    Shot("s9b-duplicated");
    EXPECT_EQ(FindWindow("^エラー"), 0u) << DescribeDisplay();
}

// The same steps in a bare Qt program (a main window, an MDI area, one
// picture), on the same display, for the ratios printed at the end.
TEST_F(Session, S10_BareQtProgramBeside)
{
    S->ExpectEnd = true;
    S->Tavro.reset();
    const QString File = TmpPath("work/bare.png");
    QRect Page;
    unsigned long Window = 0;
    const auto Start = [&](TOwnedProcess& Bare) -> qint64 {
        Bare.P.setProcessEnvironment(ProgramEnvironment());
        QElapsedTimer T;
        T.start();
        Bare.P.start(std::getenv("TAVRO_BARE_PROGRAM"), {File});
        if (!Bare.P.waitForStarted(Deadline(10000)))
            return -1;
        Window = WaitWindow("^bare-mdi", WindowTimeout);
        if (!Window)
            return -1;
        // First the empty white picture; reopened, the saved one with its
        // marks where the picture was.
        const bool Reopen = !Page.isNull();
        QImage Now, Last;
        if (!WaitFor([&] {
                if (!Reopen) {
                    Page = WhiteBox(Screen(), Geometry(Window));
                    return Page.width() >= 300 && Page.height() >= 250;
                }
                Last = Now;
                Now = Screen().copy(Page);
                int Marks = 0;
                for (int Y = 0; Y < Now.height(); ++Y)
                    for (int X = 0; X < Now.width(); ++X)
                        Marks += (Now.pixel(X, Y) & 0xFFFFFF) != 0xFFFFFF;
                return Marks > 200 && !Last.isNull() && DifferentPixels(Now, Last, 0) == 0;
            }, WindowTimeout))
            return -1;
        return T.elapsed();
    };
    {
        TOwnedProcess Bare;
        S->Bare.Start = Start(Bare);
        ASSERT_GE(S->Bare.Start, 0) << "the bare program never showed its picture";
        // Its keys once it has them, as the program's own were.
        ASSERT_TRUE(ActivateAndSettle(Window)) << DescribeDisplay();
        const auto Changed = [&](const QImage& Before) {
            return WaitFor([&] { return DifferentPixels(Screen().copy(Page), Before, 16) > 20; }, 5000);
        };
        QImage Before = Screen().copy(Page);
        QElapsedTimer T;
        T.start();
        Type("s");
        ASSERT_TRUE(Changed(Before)) << "a key changed nothing in the bare program";
        S->Bare.Key = T.elapsed();
        DragHold(Page.center(), Page.center() + QPoint(40, 30));
        Before = Screen().copy(Page);
        T.start();
        MouseUp();
        ASSERT_TRUE(Changed(Before)) << "a drop changed nothing in the bare program";
        S->Bare.Drop = T.elapsed();
        Shot("s9-bare");
        T.start();
        Key("ctrl+s");
        ASSERT_TRUE(WaitFor([&] { return QImage(File).width() == 400; }, 5000)) << "the bare program saved nothing";
        S->Bare.Save = T.elapsed();
    }
    TOwnedProcess Again;
    S->Bare.Reopen = Start(Again);
    EXPECT_GE(S->Bare.Reopen, 0);
}

} // namespace
