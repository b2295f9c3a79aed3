// The document window's page-picture commands: printing to a PDF file read
// back with poppler's tools, saving and copying the page as a bitmap,
// tracing a picture into filled outlines (and undoing them from the
// window), the companion program's command line.
#include "child_test_support.h"

#include "foundation/user_error.h"
#include "model/poly_line_obj.h"
#include "paint/macro_library.h"
#include "paint/macro_list.h"
#include "paint/paint_macro.h"
#include "platform/message_box.h"
#include "platform/registry_store.h"
#include "platform/global_memory.h"
#include "platform/fifo_watch.h"
#include "raster/bmp_conv.h"
#include "raster/picture_file.h"
#include "shell/child_print.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <tuple>

namespace {

std::vector<uint8_t> FileBytes(const std::string& Name)
{
    std::ifstream In(Name, std::ios::binary);
    return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

// A Width x Height 24-bit BMP of Outside with the rectangle [X0, X1) x [Y0, Y1)
// of Inside (colours 0xRRGGBB).
void WriteTwoColourBmp(const std::string& Name, int32_t Width, int32_t Height, uint32_t Outside, uint32_t Inside,
                       int32_t X0, int32_t Y0, int32_t X1, int32_t Y1)
{
    TrecPicture P;
    RecPictureCreate(P, TPoint{0, 0}, Width, Height, 24, false);
    for (int32_t Y = 0; Y < Height; ++Y)
        for (int32_t X = 0; X < Width; ++X) {
            const uint32_t C = X >= X0 && X < X1 && Y >= Y0 && Y < Y1 ? Inside : Outside;
            uint8_t* B = RecPictureGetPixelPtr(P, X, Y);
            B[0] = C & 0xFF, B[1] = (C >> 8) & 0xFF, B[2] = (C >> 16) & 0xFF;
        }
    ASSERT_TRUE(SaveBmpFile(Name, RecPictureHeader(P), P.pBits, false));
    RecPictureClear(P);
}

std::string FillOf(TDrawItem* Item)
{
    auto* Line = dynamic_cast<TPolyLineObj*>(Item);
    if (!Line || Line->Macros().Count() != 1)
        return "?";
    std::string V;
    Line->Macros().GetMacro(0)->GetParamValue(TraceMacroParam, V);
    return V;
}

int ChannelDistance(uint32_t A, uint32_t B)
{
    int D = 0;
    for (int S : {0, 8, 16})
        D = std::max(D, std::abs(int((A >> S) & 0xFF) - int((B >> S) & 0xFF)));
    return D;
}

struct PrintTest : ChildFormTest {
    std::string Dir = Folders.Tmp.Dir;
    void TearDown() override
    {
        SetPrintDialogProc(nullptr);
        // What a test chose in the print dialog stays in the session's printer.
        ResetCurrentPrinter();
        ChildFormTest::TearDown();
    }
    // Traces the two-colour picture (blue with a yellow rectangle) into W's page.
    void Trace(TfrmChild* W)
    {
        Frame.DialogFile = Dir + "/two.bmp";
        WriteTwoColourBmp(Frame.DialogFile, 40, 30, 0x0000FF, 0xFFFF00, 10, 8, 30, 22);
        W->actBmpTraceExecute();
    }
};

} // namespace

TEST(PrintPlacement, PrintedSizeAndCentring)
{
    struct Case {
        int32_t W, H, DPI, PX, PY;
        TrecPrintPosition Pos;
        TPrintPlacement Want;
    };
    const Case Cases[] = {
        {400, 300, 72, 300, 300, {10, 20, 0, 0}, {10, 20, 1667, 1250}},
        {400, 300, 72, 300, 600, {0, 0, 0, 0}, {0, 0, 1667, 2500}},
        {100, 100, 300, 300, 300, {5, 5, 0, 0}, {5, 5, 100, 100}},
        {3, 3, 2, 3, 3, {0, 0, 0, 0}, {0, 0, 5, 5}},  // 4.5 rounds up
        {400, 300, 72, 300, 300, {10, 20, 1, 0}, {(2000 - 1667) / 2, 20, 1667, 1250}},
        {400, 300, 72, 300, 300, {10, 20, 0, 1}, {10, (1000 - 1250) / 2, 1667, 1250}},
    };
    for (const Case& C : Cases) {
        const TPrintPlacement R = PrintPlacement(C.W, C.H, C.DPI, C.PX, C.PY, C.Pos, 2000, 1000);
        EXPECT_EQ(std::tuple(R.Left, R.Top, R.Width, R.Height),
                  std::tuple(C.Want.Left, C.Want.Top, C.Want.Width, C.Want.Height))
            << C.W << "x" << C.H << "@" << C.DPI;
    }
}

TEST(PrintPlacement, TraceFillValueIsHexWithoutPadding)
{
    EXPECT_EQ(TraceFillValue(0), "10");
    EXPECT_EQ(TraceFillValue(0xFF), "1FF");
    EXPECT_EQ(TraceFillValue(0xFFFF00), "1FFFF00");
    EXPECT_EQ(MorvoCommandLine("/opt/m o/morvo"), "\"/opt/m o/morvo\" /c");
}

TEST_F(PrintTest, TracingATwoColourPictureMakesOneFilledLinePerRegionEachUndoable)
{
    TfrmChild* W = Open(400, 300);
    THistoryCommand& H = *W->Document()->History();
    H.ClearHistory();
    AppIniFile().WriteString("4.0", "DirGrph", "/nowhere/");
    Trace(W);
    EXPECT_EQ(Frame.Dialogs.back().second, "/nowhere/");
    EXPECT_EQ(AppIniFile().ReadString("4.0", "DirGrph", ""), Dir + "/");

    TDrawGroup& Root = PageOf(W).RootGroup();
    ASSERT_EQ(Root.GetCount(), 2);
    std::multiset<std::string> Fills;
    for (int32_t I = 0; I < 2; ++I) {
        Fills.insert(FillOf(Root.GetItem(I)));
        EXPECT_EQ(dynamic_cast<TDrawObject*>(Root.GetItem(I))->FillPath(), 1);
    }
    // Colours as 0x00BBGGRR: blue, yellow.
    EXPECT_EQ(Fills, (std::multiset<std::string>{"1FF0000", "1FFFF"}));
    // The yellow region's outline lies round the rectangle's pixel centres.
    TDrawItem* Yellow = FillOf(Root.GetItem(0)) == "1FFFF" ? Root.GetItem(0) : Root.GetItem(1);
    const TRect B = Yellow->GetBounds();
    EXPECT_NEAR(B.Left, 10, 1);
    EXPECT_NEAR(B.Right, 29, 1);

    // One command each, undone and redone from the window.
    QAction* Undo = Frame.Actions[FrameCommand::actUndo];
    QAction* Redo = Frame.Actions[FrameCommand::actRedo];
    W->Document()->SetModified(false);
    W->actUndoExecute();
    EXPECT_EQ(Root.GetCount(), 1);
    EXPECT_TRUE(W->Document()->Modified());
    EXPECT_TRUE(Undo->isEnabled());
    EXPECT_TRUE(Redo->isEnabled());
    W->actUndoExecute();
    EXPECT_EQ(Root.GetCount(), 0);
    EXPECT_FALSE(Undo->isEnabled());
    W->actRedoExecute();
    W->actRedoExecute();
    EXPECT_EQ(Root.GetCount(), 2);
    EXPECT_FALSE(Redo->isEnabled());
}

TEST_F(PrintTest, TracingFailuresRaiseTheirMessages)
{
    TfrmChild* W = Open(400, 300);
    Frame.DialogFile = Dir + "/missing.bmp";
    try {
        W->actBmpTraceExecute();
        ADD_FAILURE() << "no error";
    } catch (const EUserError& E) {
        EXPECT_STREQ(E.what(), "画像ファイルの読み込みに失敗しました。");
    }
    // Without the blur fill macro nothing is added.
    std::unique_ptr<TMacroLibrary> Saved = std::move(gMacroLibrary);
    gMacroLibrary = std::make_unique<TMacroLibrary>();
    try {
        Trace(W);
        ADD_FAILURE() << "no error";
    } catch (const EUserError& E) {
        EXPECT_STREQ(E.what(), "TfrmTavro.OpenImageFile: gslstMacroPaint.IndexOf(strMacroName) < 0");
    }
    gMacroLibrary = std::move(Saved);
    EXPECT_EQ(PageOf(W).RootGroup().GetCount(), 0);
    // A cancelled dialog does nothing.
    Frame.DialogFile.clear();
    W->actBmpTraceExecute();
    EXPECT_EQ(PageOf(W).RootGroup().GetCount(), 0);
}

TEST_F(PrintTest, PrintsThePageAtThePrintersResolutionIntoAPdf)
{
    if (QProcess::execute("pdftoppm", {"-v"}) < 0 || QProcess::execute("pdfinfo", {"-v"}) < 0)
        GTEST_SKIP() << "poppler-utils missing (tools/setup installs them)";
    TfrmChild* W = Open(400, 300);
    Trace(W);
    TPage& P = PageOf(W);
    P.SetPrintPosition(TrecPrintPosition{120, 80, 0, 0});
    // Printed at high quality; the page keeps its own display mode.
    P.SetDisplayMode(0);
    const std::string Pdf = Dir + "/page.pdf";
    int Asked = 0;
    SetPrintDialogProc([&](QPrinter& Printer, QWidget*) {
        ++Asked;
        Printer.setOutputFormat(QPrinter::PdfFormat);
        Printer.setOutputFileName(QString::fromStdString(Pdf));
        Printer.setResolution(300);
        Printer.setPageSize(QPageSize(QPageSize::A4));
        Printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
        return true;
    });
    W->actPrintExecute();
    ASSERT_EQ(Asked, 1);
    EXPECT_EQ(P.DisplayMode(), 0);

    QProcess Info;
    Info.start("pdfinfo", {QString::fromStdString(Pdf)});
    ASSERT_TRUE(Info.waitForFinished(20000));
    const QString Text = QString::fromUtf8(Info.readAllStandardOutput());
    EXPECT_TRUE(Text.contains(QRegularExpression("Pages:\\s+1\\n"))) << Text.toStdString();
    EXPECT_TRUE(Text.contains(QRegularExpression("Page size:\\s+595(\\.\\d+)? x 84[12](\\.\\d+)? pts \\(A4\\)")))
        << Text.toStdString();

    ASSERT_EQ(QProcess::execute("pdftoppm", {"-r", "300", "-png", "-singlefile", QString::fromStdString(Pdf),
                                             QString::fromStdString(Dir + "/page")}),
              0);
    QImage Printed(QString::fromStdString(Dir + "/page.png"));
    // A4 at 300 dpi (the PDF rounds its height to whole points).
    ASSERT_EQ(Printed.width(), 2480);
    ASSERT_NEAR(Printed.height(), 3508, 1);
    auto PrintedPixel = [&](int X, int Y) { return Printed.pixel(X, Y) & 0xFFFFFF; };
    // Every page pixel sampled lands at its place in the 1667 x 1250 block
    // (where its neighbours have its colour: the reader may smooth a
    // stretched picture's edges).
    auto Flat = [&](int32_t X, int32_t Y) {
        for (int32_t DY = -1; DY <= 1; ++DY)
            for (int32_t DX = -1; DX <= 1; ++DX)
                if (ChannelDistance(PagePixel(P, X + DX, Y + DY), PagePixel(P, X, Y)) > 8)
                    return false;
        return true;
    };
    int Compared = 0;
    for (int32_t Y = 1; Y < 299; Y += 7)
        for (int32_t X = 1; X < 399; X += 3) {
            if (!Flat(X, Y))
                continue;
            const int PX = 120 + (2 * X + 1) * 1667 / 800;
            const int PY = 80 + (2 * Y + 1) * 1250 / 600;
            EXPECT_LE(ChannelDistance(PrintedPixel(PX, PY), PagePixel(P, X, Y)), 8) << X << "," << Y;
            ++Compared;
        }
    EXPECT_GT(Compared, 4000);
    // The traced yellow rectangle filled (page pixels 10..29 by 8..21).
    EXPECT_LE(ChannelDistance(PrintedPixel(120 + 20 * 1667 / 400, 80 + 15 * 1250 / 300), 0xFFFF00), 8);
    // The block's edges: the page's corner pixels inside, paper outside.
    EXPECT_LE(ChannelDistance(PrintedPixel(120 + 1666 - 1, 80 + 1249 - 1), PagePixel(P, 399, 299)), 8);
    EXPECT_LE(ChannelDistance(PrintedPixel(121, 81), PagePixel(P, 0, 0)), 8);
    for (QPoint Out : {QPoint(117, 600), QPoint(120 + 1667 + 2, 600), QPoint(900, 77), QPoint(900, 80 + 1250 + 2)})
        EXPECT_EQ(PrintedPixel(Out.x(), Out.y()), 0xFFFFFFu) << Out.x() << "," << Out.y();
}

TEST_F(PrintTest, NoPrintWithoutAResolutionOrWhenCancelled)
{
    TfrmChild* W = Open(40, 30);
    const std::string Pdf = Dir + "/none.pdf";
    bool Answer = false;
    SetPrintDialogProc([&](QPrinter& Printer, QWidget*) {
        Printer.setOutputFormat(QPrinter::PdfFormat);
        Printer.setOutputFileName(QString::fromStdString(Pdf));
        return Answer;
    });
    W->actPrintExecute();
    EXPECT_FALSE(std::filesystem::exists(Pdf));

    // A page without a resolution, which printing would refuse, cannot be made.
    EXPECT_THROW(PageOf(W).SetDPI(0), EUserError);
    EXPECT_EQ(PageOf(W).DPI(), 72);
}

TEST_F(PrintTest, SavesThePagePictureAsABmpFile)
{
    TfrmChild* W = Open(5, 3);
    TPage& P = PageOf(W);
    P.Update();
    for (int32_t Y = 0; Y < 3; ++Y)
        for (int32_t X = 0; X < 5; ++X)
            SetPagePixel(P, X, Y, 0x336699 + X + 16 * Y);
    Frame.DialogFile = Dir + "/out.bmp";
    AppIniFile().WriteString("4.0", "DirData", "/data/");
    W->actSaveBMPExecute();
    // Proposed: the document's name as a .bmp, in the data folder (never saved).
    ASSERT_EQ(Frame.Dialogs.size(), 1u);
    EXPECT_EQ(Frame.Dialogs[0].first, "画像1.bmp");
    EXPECT_EQ(Frame.Dialogs[0].second, "/data/");

    // File header, info header, then three bottom-up rows of five BGR
    // pixels padded to 16 bytes.
    std::vector<uint8_t> Want = {'B', 'M', 102, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,
                                 40, 0, 0, 0, 5, 0, 0, 0, 3, 0, 0, 0, 1, 0, 24, 0};
    Want.resize(54, 0);
    Want[34] = 48;  // biSizeImage
    for (int Row = 2; Row >= 0; --Row) {
        for (int X = 0; X < 5; ++X)
            Want.insert(Want.end(), {uint8_t(0x99 + X + 16 * Row), 0x66, 0x33});
        Want.push_back(0);
    }
    std::vector<uint8_t> Got = FileBytes(Frame.DialogFile);
    // The resolution fields are the writer's business.
    ASSERT_EQ(Got.size(), Want.size());
    std::fill(Got.begin() + 38, Got.begin() + 46, 0);
    EXPECT_EQ(Got, Want);

    // Cancelled: nothing written.
    std::filesystem::remove(Frame.DialogFile);
    const std::string Chosen = Frame.DialogFile;
    Frame.DialogFile.clear();
    W->actSaveBMPExecute();
    EXPECT_FALSE(std::filesystem::exists(Chosen));
}

TEST_F(PrintTest, APictureIsSavedUnderItsOwnExtension)
{
    TfrmChild* W = Open(5, 3);
    PageOf(W).Update();
    const struct {
        const char* Typed;
        const char* Written;
    } Cases[] = {
        {"a1.srn", "a1.srn.bmp"},
        {"b.png", "b.png.bmp"},
        {"c.BMP", "c.BMP"},
        {"d.bmp", "d.bmp"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Typed);
        Frame.DialogFile = Dir + "/" + C.Typed;
        W->actSaveBMPExecute();
        const std::string Written = Dir + "/" + C.Written;
        if (std::string(C.Typed) != C.Written)
            EXPECT_FALSE(std::filesystem::exists(Frame.DialogFile));
        // What was written opens again as the picture it is.
        HGLOBAL Header = nullptr;
        uint8_t* Bits = nullptr;
        std::string InfoText;
        TPictureInfo Info{};
        ASSERT_EQ(LoadPicture(Written, Header, Bits, 2, nullptr, 0, false, InfoText, Info), lpOK);
        EXPECT_EQ(Info.width, 5);
        EXPECT_EQ(Info.height, 3);
        GlobalFree(Header);
        GlobalFree(Bits);
    }
}

TEST_F(PrintTest, CopiesThePageAsAPackedDibAndPng)
{
    TfrmChild* W = Open(6, 4);
    PageOf(W).Update();
    SetPagePixel(PageOf(W), 3, 2, 0xFF0000);
    QGuiApplication::clipboard()->clear();
    W->actCopyAsBMPExecute();
    const QMimeData* Mime = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(Mime, nullptr);
    const QByteArray Dib = Mime->data("application/x-tavro-dib");
    ASSERT_EQ(Dib.size(), 40 + 4 * 20);
    EXPECT_EQ(uint8_t(Dib[4]), 6);
    EXPECT_EQ(uint8_t(Dib[8]), 4);
    QImage Png;
    ASSERT_TRUE(Png.loadFromData(Mime->data("image/png"), "PNG"));
    EXPECT_EQ(Png.size(), QSize(6, 4));
    EXPECT_EQ(Png.pixel(3, 2) & 0xFFFFFF, 0xFF0000u);
}

TEST_F(PrintTest, CompanionProgramGetsQuotedPathAndSwitchWhenSetUp)
{
    // A stand-in program writing its arguments, one a line; the file comes
    // whole (renamed into place), so that its coming is the program's end.
    const std::string Out = Dir + "/argv.txt";
    const std::string Program = Dir + "/com panion.sh";
    {
        std::ofstream S(Program);
        S << "#!/bin/sh\nfor a in \"$0\" \"$@\"; do echo \"$a\"; done > '" << Out << ".part' && mv '" << Out
          << ".part' '" << Out << "'\n";
    }
    std::filesystem::permissions(Program, std::filesystem::perms::owner_all);
    TfrmChild* W = Open(6, 4);
    ASSERT_TRUE(RegCreateKey(HKEY_CURRENT_USER, MorvoKey));

    // Missing or empty: nothing starts, nothing is copied.
    for (bool Set : {false, true}) {
        RegDeleteValue(HKEY_CURRENT_USER, MorvoKey, MorvoValueName);
        if (Set)
            ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, MorvoKey, MorvoValueName, ""));
        QGuiApplication::clipboard()->clear();
        W->actMorvoExecute();
        QTest::qWait(200);
        EXPECT_FALSE(std::filesystem::exists(Out));
        const QMimeData* Mime = QGuiApplication::clipboard()->mimeData();
        EXPECT_FALSE(Mime && Mime->hasFormat("application/x-tavro-dib"));
    }

    ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, MorvoKey, MorvoValueName, Program));
    W->actMorvoExecute();
    const QMimeData* Mime = QGuiApplication::clipboard()->mimeData();
    EXPECT_TRUE(Mime && Mime->hasFormat("application/x-tavro-dib"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(Out); }, 30000));
    const std::vector<uint8_t> Got = FileBytes(Out);
    EXPECT_EQ(std::string(Got.begin(), Got.end()), Program + "\n/c\n");
    RegDeleteKeyTree(HKEY_CURRENT_USER, MorvoKey);
}

// A PDF file and a saved page picture replace only a regular file: a named
// pipe chosen in the dialog is refused naming it, and nothing is written
// to it.
TEST_F(PrintTest, APipeChosenForThePdfOrThePictureIsRefused)
{
    TfrmChild* W = Open(40, 30);
    {
        TFifoWriteWatch Pipe(Dir + "/pipe.pdf");
        int Asked = 0;
        SetPrintDialogProc([&](QPrinter& Printer, QWidget*) {
            ++Asked;
            Printer.setOutputFormat(QPrinter::PdfFormat);
            Printer.setOutputFileName(QString::fromStdString(Pipe.Path()));
            return true;
        });
        EXPECT_EQ(MessageOf<EUserError>([&] { W->actPrintExecute(); }),
                  Pipe.Path() + " を作成できません。(通常のファイルではありません)");
        EXPECT_EQ(Asked, 1);
        EXPECT_EQ(Pipe.Written(), 0u);
        EXPECT_TRUE(std::filesystem::is_fifo(Pipe.Path()));
    }
    {
        TFifoWriteWatch Pipe(Dir + "/pipe.bmp");
        Frame.DialogFile = Pipe.Path();
        EXPECT_EQ(MessageOf<EUserError>([&] { W->actSaveBMPExecute(); }), Pipe.Path() + " を作成できません。");
        EXPECT_EQ(Pipe.Written(), 0u);
        EXPECT_TRUE(std::filesystem::is_fifo(Pipe.Path()));
    }
}
