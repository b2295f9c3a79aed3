// The windows: start-up to the first painted frame, and painting the
// document window.
//
// StartUp_Ours starts this program again as a process that runs what the
// program's entry runs with no arguments (the application object, the units,
// the main block with the frame and its empty document), StartUp_Peer as a
// process that runs a bare Qt program: an application object and one main
// window holding an MDI area. Each is timed from the start of the process to
// its exit right after the first paint of its main window.
//
// Paint<zoom>_Ours renders the view of a document window (a 1600 x 1200 page
// whose picture is already rendered) into an image; Paint<zoom>_Peer draws
// the same page region, scaled to the same view rectangle, from a 32-bit
// image of the page with one QPainter::drawImage.
//
// The last lines are "ratio StartUp", "ratio Paint100", "ratio Paint33Smooth"
// and "ratio Paint800", each ours / peer over the medians of the repetitions.
#include "bench_frame.h"
#include "bench_ratio.h"
#include "bench_sandbox.h"
#include "foundation/app_environment.h"
#include "raster/rec_picture.h"
#include "model/document.h"
#include "model/page_views.h"
#include "platform/qt/application_wex.h"
#include "platform/qt/qt_message_box.h"
#include "shell/child_form.h"
#include "shell/tavro_program.h"
#include "ui/paint_box_wex.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <chrono>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

using TClock = std::chrono::steady_clock;

// The program's folder: the macro libraries and the factory defaults are
// built there, and so is this program.
int gArgc = 1;
char gArg0[] = "bench_window";
char* gArgv[] = {gArg0, nullptr};

// Leaves the event loop once a main window has been painted, and notes when.
class TFirstPaint : public QObject {
public:
    TClock::time_point Painted{};
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (Event->type() == QEvent::Paint && !FSeen) {
            auto* W = qobject_cast<QWidget*>(Watched);
            if (W && qobject_cast<QMainWindow*>(W->window())) {
                FSeen = true;
                // After this paint and the rest of the same window's paint.
                QTimer::singleShot(0, [this] {
                    Painted = TClock::now();
                    QCoreApplication::exit(0);
                });
            }
        }
        return false;
    }

private:
    bool FSeen = false;
};

// One start-up in this process, as the child of a timed run: "ours" runs
// what the program's entry runs with no arguments, "peer" a bare Qt program;
// both leave at the end of their first paint.
int StartUpChild(const std::string& Which)
{
    TApplicationWex App(gArgc, gArgv);
    TFirstPaint Watch;
    App.installEventFilter(&Watch);
    if (Which == "ours") {
        InstallQtMessageBox();
        if (!StartUnits(ProgramDir()))
            return 1;
        RunMainBlock({});
        FinishUnits();
        return 0;
    }
    QMainWindow Main;
    Main.setCentralWidget(new QMdiArea);
    Main.resize(800, 600);
    Main.show();
    return QApplication::exec();
}

// A whole process from its start to its exit after the first paint: each
// side pays loading, Qt's own start and its fonts once, as a user does.
void TimeStartUpProcess(benchmark::State& State, const char* Which)
{
    const std::string Self = std::filesystem::canonical("/proc/self/exe").string();
    for (auto _ : State) {
        const TClock::time_point Start = TClock::now();
        const pid_t Child = fork();
        if (Child == 0) {
            execl(Self.c_str(), Self.c_str(), "--startup-child", Which, static_cast<char*>(nullptr));
            _exit(127);
        }
        int Status = 0;
        if (Child < 0 || waitpid(Child, &Status, 0) != Child || !WIFEXITED(Status) ||
            WEXITSTATUS(Status) != 0) {
            State.SkipWithError("the start-up process failed");
            break;
        }
        State.SetIterationTime(std::chrono::duration<double>(TClock::now() - Start).count());
    }
}

void BM_StartUp_Ours(benchmark::State& State)
{
    TimeStartUpProcess(State, "ours");
}

void BM_StartUp_Peer(benchmark::State& State)
{
    TimeStartUpProcess(State, "peer");
}

constexpr int32_t PageW = 1600;
constexpr int32_t PageH = 1200;
constexpr int32_t ViewW = 1000;
constexpr int32_t ViewH = 700;

// One document window of a 1600 x 1200 page in an MDI area, its page picture
// rendered, the view ViewW x ViewH (as near as the window allows).
struct TPaintSetup {
    // Made first and gone last.
    std::unique_ptr<QApplication> App = std::make_unique<QApplication>(gArgc, gArgv);
    TBenchFrame Frame;
    std::unique_ptr<QMdiArea> Area;
    TfrmChild* Window = nullptr;
    QImage PageImage;
    static inline TPaintSetup* Current = nullptr;

    static TOLEFormDoc* NewWindow(TOLEDocumentWex& Document)
    {
        return CreateChildForm(*Current->Area, Document, Current->Frame);
    }

    explicit TPaintSetup(int32_t Zoom, bool Smooth)
    {
        Current = this;
        StartUnits(ProgramDir());
        AppIniFile().WriteInteger(MaxFrmChildSection, MaxFrmChildKey, 0);
        SetDocWindowFactory(&NewWindow);
        Frame.Smooth = Smooth;
        Area = std::make_unique<QMdiArea>();
        Area->resize(ViewW + 200, ViewH + 200);
        Area->show();
        TOLEDocumentWex* Doc = gDocuments->NewDocument(PageW, PageH);
        Window = dynamic_cast<TfrmChild*>(Doc->GetForms().at(0));
        QMdiSubWindow* Sub = Window->SubWindow();
        Sub->resize(Sub->size() - Window->pboxkClient->size() + QSize(ViewW, ViewH));
        QApplication::processEvents();
        Window->SetZoom(Zoom);
        // The middle of the page (a smaller page is centred anyway), so that
        // at 100 % and more the view shows page pixels only.
        const QSize V = Window->pboxkClient->size();
        Window->SetViewOrigin(PageW / 2 - V.width() * 50 / Zoom, PageH / 2 - V.height() * 50 / Zoom);
        QApplication::processEvents();
        // The page's picture as a 32-bit image, rendered by a first paint.
        QImage Warm(Window->pboxkClient->size(), QImage::Format_RGB32);
        Window->pboxkClient->render(&Warm);
        const TrecPicture* Pic = Window->Page()->GetPagePicture();
        const BITMAPINFOHEADER* Hd = RecPictureHeader(*Pic);
        PageImage = QImage(Hd->biWidth, Hd->biHeight, QImage::Format_RGB32);
        for (int32_t Y = 0; Y < Hd->biHeight; ++Y)
            for (int32_t X = 0; X < Hd->biWidth; ++X) {
                const uint8_t* P = RecPictureGetPixelPtr(*Pic, X, Y);
                PageImage.setPixel(X, Y, qRgb(P[2], P[1], P[0]));
            }
    }
    ~TPaintSetup()
    {
        Area.reset();
        QApplication::processEvents();
        SetDocWindowFactory(nullptr);
        FinishUnits();
        Current = nullptr;
    }
    // The page rectangle the view shows, within the page, and where it lands
    // on the view.
    void Region(QRectF& Source, QRectF& Target) const
    {
        const QSize V = Window->pboxkClient->size();
        const TPoint A = Window->ViewToDoc({0, 0});
        const TPoint B = Window->ViewToDoc({V.width(), V.height()});
        Source = QRectF(QPointF(A.X, A.Y), QPointF(B.X, B.Y)) & QRectF(0, 0, PageW, PageH);
        const TPoint TA = Window->DocToView({int32_t(Source.left()), int32_t(Source.top())});
        const TPoint TB = Window->DocToView({int32_t(Source.right()), int32_t(Source.bottom())});
        Target = QRectF(QPointF(TA.X, TA.Y), QPointF(TB.X, TB.Y));
    }
};

void PaintOurs(benchmark::State& State, int32_t Zoom, bool Smooth)
{
    TPaintSetup S(Zoom, Smooth);
    QImage Image(S.Window->pboxkClient->size(), QImage::Format_RGB32);
    for (auto _ : State) {
        S.Window->pboxkClient->render(&Image);
        benchmark::DoNotOptimize(Image.constBits());
    }
}

void PaintPeer(benchmark::State& State, int32_t Zoom, bool Smooth)
{
    TPaintSetup S(Zoom, Smooth);
    QRectF Source, Target;
    S.Region(Source, Target);
    State.counters["source_w"] = Source.width();
    State.counters["target_w"] = Target.width();
    QImage Image(S.Window->pboxkClient->size(), QImage::Format_RGB32);
    for (auto _ : State) {
        QPainter DC(&Image);
        DC.setRenderHint(QPainter::SmoothPixmapTransform, Smooth);
        DC.drawImage(Target, S.PageImage, Source);
        DC.end();
        benchmark::DoNotOptimize(Image.constBits());
    }
}

void BM_Paint100_Ours(benchmark::State& State) { PaintOurs(State, 100, false); }
void BM_Paint100_Peer(benchmark::State& State) { PaintPeer(State, 100, false); }
void BM_Paint33Smooth_Ours(benchmark::State& State) { PaintOurs(State, 33, true); }
void BM_Paint33Smooth_Peer(benchmark::State& State) { PaintPeer(State, 33, true); }
void BM_Paint800_Ours(benchmark::State& State) { PaintOurs(State, 800, false); }
void BM_Paint800_Peer(benchmark::State& State) { PaintPeer(State, 800, false); }

}  // namespace

BENCHMARK(BM_StartUp_Ours)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartUp_Peer)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paint100_Ours)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Paint100_Peer)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Paint33Smooth_Ours)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Paint33Smooth_Peer)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Paint800_Ours)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Paint800_Peer)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    const TBenchSandbox Sandbox("tavro_bench_window");
    if (argc == 3 && std::string(argv[1]) == "--startup-child")
        return StartUpChild(argv[2]);
    const int Result = RunBenchmarksWithRatios(argc, argv, [](const TRatioReporter& R) { R.PrintPairRatios(); });
    return Result;
}
