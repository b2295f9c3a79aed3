// Anti-aliased path fill: 200 cubic blobs (radius 40-100) on a 2000 x 2000
// 24-bit picture, and a line of glyph-like outlines 200 px high, each filled
// even-odd by DIBSectionDrawPath at 16 x 16 sub-samples. Peers on the same
// integer paths: Cairo (image surface, default antialias and tolerance) and
// QPainter's raster engine (antialiasing on), each built in only when its
// headers are found. Qt draws into its native 32-bit format: its 24-bit
// format goes through a conversion that makes it several times slower, no
// measure of its rasteriser. Prints "ratio <name> <ours/peer>" last.
#include "bench_ratio.h"
#include "foundation/rec_path.h"
#include "raster/draw_path.h"
#include "raster/rec_picture.h"

#include <benchmark/benchmark.h>

#if __has_include(<cairo.h>)
#include <cairo.h>
#define TAVRO_BENCH_CAIRO 1
#endif
#if __has_include(<QPainter>)
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#define TAVRO_BENCH_QT 1
#endif

#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

// Squared flattening distance in sub-samples: about 0.09 px, near Cairo's
// default tolerance of 0.1 px.
constexpr double FlatTolerance = 2.0;

struct TShape {
    TrecPath Path;
    uint32_t Color = 0; // 0x00BBGGRR
};

struct TScene {
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<TShape> Shapes;
};

class TBuilder {
public:
    void Move(double X, double Y)
    {
        Add(X, Y, PT_MOVETO);
        FX = X;
        FY = Y;
    }
    void Line(double X, double Y)
    {
        Add(X, Y, PT_LINETO);
        FX = X;
        FY = Y;
    }
    void Curve(double X1, double Y1, double X2, double Y2, double X3, double Y3)
    {
        Add(X1, Y1, PT_BEZIERTO);
        Add(X2, Y2, PT_BEZIERTO);
        Add(X3, Y3, PT_BEZIERTO);
        FX = X3;
        FY = Y3;
    }
    // Elliptic arc from angle A0 to A1 (radians, y down) in pieces of at most
    // a quarter turn; starts with a line to the arc's start unless Move.
    void Arc(double Cx, double Cy, double Rx, double Ry, double A0, double A1, bool Move)
    {
        const int N = std::max(1, int(std::ceil(std::fabs(A1 - A0) / (std::numbers::pi / 2))));
        const double D = (A1 - A0) / N;
        const double K = 4.0 / 3.0 * std::tan(D / 4);
        auto Pt = [&](double A) { return std::pair{Cx + Rx * std::cos(A), Cy + Ry * std::sin(A)}; };
        const auto [Sx, Sy] = Pt(A0);
        if (Move)
            this->Move(Sx, Sy);
        else
            Line(Sx, Sy);
        for (int I = 0; I < N; ++I) {
            const double B0 = A0 + D * I;
            const double B1 = B0 + D;
            const auto [X0, Y0] = Pt(B0);
            const auto [X3, Y3] = Pt(B1);
            Curve(X0 - K * Rx * std::sin(B0), Y0 + K * Ry * std::cos(B0), X3 + K * Rx * std::sin(B1),
                  Y3 - K * Ry * std::cos(B1), X3, Y3);
        }
    }
    void Close() { FPath.pabType[size_t(FPath.Count - 1)] |= PT_CLOSEFIGURE; }
    TrecPath Done()
    {
        RecPathCalcBounds(FPath);
        return std::move(FPath);
    }

private:
    void Add(double X, double Y, uint8_t Type)
    {
        RecPolyLineSetCount(FPath, FPath.Count + 1);
        FPath.Points[size_t(FPath.Count - 1)] = TPoint{int32_t(std::lround(X)), int32_t(std::lround(Y))};
        FPath.pabType[size_t(FPath.Count - 1)] = Type;
    }
    TrecPath FPath;
    double FX = 0.0;
    double FY = 0.0;
};

// Closed smooth blobs: 6 to 9 nodes round a centre at radii 40-100, joined by
// Catmull-Rom curves.
const TScene& Blobs()
{
    static const TScene Scene = [] {
        TScene S;
        S.Width = 2000;
        S.Height = 2000;
        std::mt19937 G(20240611);
        std::uniform_real_distribution<double> Centre(100.0, 1900.0), Radius(40.0, 100.0), Jitter(-0.2, 0.2);
        for (int B = 0; B < 200; ++B) {
            const double Cx = Centre(G), Cy = Centre(G);
            const int N = 6 + int(G() % 4);
            std::vector<std::pair<double, double>> P;
            for (int I = 0; I < N; ++I) {
                const double A = 2 * std::numbers::pi * (I + Jitter(G)) / N;
                const double R = Radius(G);
                P.push_back({Cx + R * std::cos(A), Cy + R * std::sin(A)});
            }
            TBuilder Bd;
            Bd.Move(P[0].first, P[0].second);
            for (int I = 0; I < N; ++I) {
                const auto& P0 = P[size_t((I + N - 1) % N)];
                const auto& P1 = P[size_t(I)];
                const auto& P2 = P[size_t((I + 1) % N)];
                const auto& P3 = P[size_t((I + 2) % N)];
                Bd.Curve(P1.first + (P2.first - P0.first) / 6, P1.second + (P2.second - P0.second) / 6,
                         P2.first - (P3.first - P1.first) / 6, P2.second - (P3.second - P1.second) / 6,
                         P2.first, P2.second);
            }
            Bd.Close();
            S.Shapes.push_back(TShape{Bd.Done(), uint32_t(G() & 0xFFFFFF)});
        }
        return S;
    }();
    return Scene;
}

// Glyph-like outlines 200 px high with counters (holes): O, D, A, C, S, B, e
// and o shapes on one line.
void Glyph(TBuilder& B, char C, double X, double Base)
{
    const double H = 200.0, Top = Base - H;
    const double Pi = std::numbers::pi;
    switch (C) {
    case 'O':
        B.Arc(X + 70, Base - 100, 70, 100, 0, 2 * Pi, true);
        B.Close();
        B.Arc(X + 70, Base - 100, 42, 74, 2 * Pi, 0, true);
        B.Close();
        break;
    case 'o':
        B.Arc(X + 55, Base - 65, 55, 65, 0, 2 * Pi, true);
        B.Close();
        B.Arc(X + 55, Base - 65, 30, 42, 2 * Pi, 0, true);
        B.Close();
        break;
    case 'D':
        B.Move(X, Top);
        B.Arc(X + 45, Base - 100, 85, 100, -Pi / 2, Pi / 2, false);
        B.Line(X, Base);
        B.Close();
        B.Move(X + 28, Top + 26);
        B.Line(X + 28, Base - 26);
        B.Arc(X + 45, Base - 100, 58, 74, Pi / 2, -Pi / 2, false);
        B.Close();
        break;
    case 'A':
        B.Move(X + 55, Top);
        B.Line(X + 115, Base);
        B.Line(X + 86, Base);
        B.Line(X + 72, Base - 50);
        B.Line(X + 38, Base - 50);
        B.Line(X + 24, Base);
        B.Line(X - 5, Base);
        B.Close();
        B.Move(X + 55, Top + 60);
        B.Line(X + 66, Base - 76);
        B.Line(X + 44, Base - 76);
        B.Close();
        break;
    case 'C':
        B.Arc(X + 75, Base - 100, 75, 100, Pi * 0.25, Pi * 1.75, true);
        B.Arc(X + 75, Base - 100, 47, 74, Pi * 1.75, Pi * 0.25, false);
        B.Close();
        break;
    case 'S':
        B.Arc(X + 60, Base - 150, 55, 50, Pi * 0.1, Pi * 1.6, true);
        B.Arc(X + 60, Base - 50, 60, 50, Pi * 1.5, Pi * 2.6, false);
        B.Arc(X + 60, Base - 50, 34, 26, Pi * 2.6, Pi * 1.5, false);
        B.Arc(X + 60, Base - 150, 29, 26, Pi * 1.6, Pi * 0.1, false);
        B.Close();
        break;
    case 'B':
        B.Move(X, Top);
        B.Arc(X + 60, Top + 48, 50, 48, -Pi / 2, Pi / 2, false);
        B.Arc(X + 65, Base - 52, 58, 52, -Pi / 2, Pi / 2, false);
        B.Line(X, Base);
        B.Close();
        B.Move(X + 26, Top + 22);
        B.Line(X + 26, Top + 74);
        B.Arc(X + 60, Top + 48, 26, 26, Pi / 2, -Pi / 2, false);
        B.Close();
        B.Move(X + 26, Base - 80);
        B.Line(X + 26, Base - 24);
        B.Arc(X + 65, Base - 52, 32, 28, Pi / 2, -Pi / 2, false);
        B.Close();
        break;
    case 'e':
        B.Arc(X + 55, Base - 65, 55, 65, 0, Pi * 1.85, true);
        B.Line(X + 85, Base - 30);
        B.Arc(X + 55, Base - 65, 30, 42, Pi * 0.3, Pi * 2, false);
        B.Close();
        B.Move(X + 27, Base - 75);
        B.Line(X + 83, Base - 75);
        B.Arc(X + 55, Base - 75, 28, 28, 0, -Pi, false);
        B.Close();
        break;
    }
}

const TScene& TextLine()
{
    static const TScene Scene = [] {
        TScene S;
        S.Width = 1600;
        S.Height = 280;
        const char* Text = "BOoSAeDCOBSe";
        double X = 20;
        for (const char* C = Text; *C; ++C) {
            TBuilder B;
            Glyph(B, *C, X, 240);
            S.Shapes.push_back(TShape{B.Done(), 0x202020});
            X += 130;
        }
        return S;
    }();
    return Scene;
}

void RunOurs(benchmark::State& State, const TScene& Scene)
{
    TrecPicture Pic;
    RecPictureCreate(Pic, TPoint{0, 0}, Scene.Width, Scene.Height, 24, true);
    std::memset(Pic.pBits, 0xFF, size_t(RecPictureGetImageSize(Pic)));
    TrecPenData Pen;
    std::memset(&Pen, 0, sizeof Pen);
    for (auto _ : State) {
        for (const TShape& S : Scene.Shapes) {
            SetPenDataColor(Pen, S.Color);
            if (DIBSectionDrawPath(Pic, S.Path, Pen, false, FlatTolerance, true) != 0)
                State.SkipWithError("DIBSectionDrawPath failed");
        }
        benchmark::DoNotOptimize(Pic.pBits);
        benchmark::ClobberMemory();
    }
    State.SetItemsProcessed(int64_t(State.iterations()) * int64_t(Scene.Shapes.size()));
    RecPictureClear(Pic);
}

#ifdef TAVRO_BENCH_CAIRO
void CairoPath(cairo_t* Cr, const TrecPath& P)
{
    for (int32_t I = 0; I < P.Count; ++I) {
        const TPoint& Q = P.Points[size_t(I)];
        const uint8_t T = P.pabType[size_t(I)];
        switch (PathPointKind(T)) {
        case PT_MOVETO:
            cairo_move_to(Cr, Q.X, Q.Y);
            break;
        case PT_BEZIERTO: {
            const TPoint& Q2 = P.Points[size_t(I + 1)];
            const TPoint& Q3 = P.Points[size_t(I + 2)];
            cairo_curve_to(Cr, Q.X, Q.Y, Q2.X, Q2.Y, Q3.X, Q3.Y);
            I += 2;
            break;
        }
        default:
            cairo_line_to(Cr, Q.X, Q.Y);
        }
        if (P.pabType[size_t(I)] & PT_CLOSEFIGURE)
            cairo_close_path(Cr);
    }
}

void RunCairo(benchmark::State& State, const TScene& Scene)
{
    cairo_surface_t* Surf = cairo_image_surface_create(CAIRO_FORMAT_RGB24, Scene.Width, Scene.Height);
    cairo_t* Cr = cairo_create(Surf);
    cairo_set_source_rgb(Cr, 1, 1, 1);
    cairo_paint(Cr);
    cairo_set_fill_rule(Cr, CAIRO_FILL_RULE_EVEN_ODD);
    for (auto _ : State) {
        for (const TShape& S : Scene.Shapes) {
            cairo_set_source_rgb(Cr, (S.Color & 0xFF) / 255.0, ((S.Color >> 8) & 0xFF) / 255.0,
                                 ((S.Color >> 16) & 0xFF) / 255.0);
            CairoPath(Cr, S.Path);
            cairo_fill(Cr);
        }
        cairo_surface_flush(Surf);
        benchmark::ClobberMemory();
    }
    State.SetItemsProcessed(int64_t(State.iterations()) * int64_t(Scene.Shapes.size()));
    cairo_destroy(Cr);
    cairo_surface_destroy(Surf);
}
#endif

#ifdef TAVRO_BENCH_QT
QPainterPath QtPath(const TrecPath& P)
{
    QPainterPath Q;
    Q.setFillRule(Qt::OddEvenFill);
    for (int32_t I = 0; I < P.Count; ++I) {
        const TPoint& A = P.Points[size_t(I)];
        switch (PathPointKind(P.pabType[size_t(I)])) {
        case PT_MOVETO:
            Q.moveTo(A.X, A.Y);
            break;
        case PT_BEZIERTO: {
            const TPoint& B = P.Points[size_t(I + 1)];
            const TPoint& C = P.Points[size_t(I + 2)];
            Q.cubicTo(A.X, A.Y, B.X, B.Y, C.X, C.Y);
            I += 2;
            break;
        }
        default:
            Q.lineTo(A.X, A.Y);
        }
        if (P.pabType[size_t(I)] & PT_CLOSEFIGURE)
            Q.closeSubpath();
    }
    return Q;
}

void RunQt(benchmark::State& State, const TScene& Scene)
{
    std::vector<std::pair<QPainterPath, QColor>> Paths;
    for (const TShape& S : Scene.Shapes)
        Paths.push_back({QtPath(S.Path), QColor(S.Color & 0xFF, (S.Color >> 8) & 0xFF, (S.Color >> 16) & 0xFF)});
    QImage Img(Scene.Width, Scene.Height, QImage::Format_RGB32);
    Img.fill(Qt::white);
    QPainter Painter(&Img);
    Painter.setRenderHint(QPainter::Antialiasing, true);
    Painter.setPen(Qt::NoPen);
    for (auto _ : State) {
        for (const auto& [Path, Colour] : Paths)
            Painter.fillPath(Path, Colour);
        benchmark::DoNotOptimize(Img.constBits());
        benchmark::ClobberMemory();
    }
    State.SetItemsProcessed(int64_t(State.iterations()) * int64_t(Scene.Shapes.size()));
}
#endif

// Every peer is timed against our fill of the same scene in the same run.
void Register()
{
    struct TCase {
        const char* Name;
        const TScene& (*Scene)();
    };
    for (const TCase& C : {TCase{"Blobs", &Blobs}, TCase{"Text", &TextLine}}) {
        const std::string Base = std::string("BM_Fill") + C.Name;
        auto Scene = C.Scene;
        int Peers = 0;
#ifdef TAVRO_BENCH_CAIRO
        ++Peers;
        benchmark::RegisterBenchmark((Base + "Cairo_Ours").c_str(),
                                     [Scene](benchmark::State& S) { RunOurs(S, Scene()); })
            ->Unit(benchmark::kMillisecond)->UseRealTime();
        benchmark::RegisterBenchmark((Base + "Cairo_Peer").c_str(),
                                     [Scene](benchmark::State& S) { RunCairo(S, Scene()); })
            ->Unit(benchmark::kMillisecond)->UseRealTime();
#endif
#ifdef TAVRO_BENCH_QT
        ++Peers;
        benchmark::RegisterBenchmark((Base + "Qt_Ours").c_str(),
                                     [Scene](benchmark::State& S) { RunOurs(S, Scene()); })
            ->Unit(benchmark::kMillisecond)->UseRealTime();
        benchmark::RegisterBenchmark((Base + "Qt_Peer").c_str(),
                                     [Scene](benchmark::State& S) { RunQt(S, Scene()); })
            ->Unit(benchmark::kMillisecond)->UseRealTime();
#endif
        if (Peers == 0)
            benchmark::RegisterBenchmark((Base + "_Ours").c_str(),
                                         [Scene](benchmark::State& S) { RunOurs(S, Scene()); })
                ->Unit(benchmark::kMillisecond)->UseRealTime();
    }
}

} // namespace

int main(int argc, char** argv)
{
    Register();
    return RunBenchmarksWithRatios(argc, argv, [](const TRatioReporter& R) { R.PrintPairRatios(); });
}
