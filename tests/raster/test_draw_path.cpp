#include "raster/draw_path.h"

#include "bmp_conv_test_util.h"
#include "instruction_sets_test_util.h"
#include "foundation/numbers.h"
#include "foundation/poly_line.h"
#include "foundation/rec_path.h"
#include "foundation/user_error.h"
#include "raster/bmp_conv.h"
#include "raster/rec_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

// A picture record that frees itself; every byte starts as Fill.
struct TPic {
    TrecPicture R;
    TPic(int32_t Bits, int32_t W, int32_t H, int32_t Left = 0, int32_t Top = 0, uint8_t Fill = 0)
    {
        RecPictureCreate(R, TPoint{Left, Top}, W, H, Bits, false);
        std::memset(R.pBits, Fill, size_t(RecPictureGetImageSize(R)));
    }
    ~TPic() { RecPictureClear(R); }
    TPic(const TPic&) = delete;
    TPic& operator=(const TPic&) = delete;
    int32_t W() const { return RecPictureHeader(R)->biWidth; }
    int32_t H() const { return RecPictureHeader(R)->biHeight; }
    // Byte I of the pixel in column X of row Y (0 = top row).
    uint8_t At(int32_t X, int32_t Y, int I = 0) const
    {
        return GetDIBPixelPtr(RecPictureHeader(R), R.pBits, X, Y)[I];
    }
    std::vector<uint8_t> Bytes() const { return {R.pBits, R.pBits + RecPictureGetImageSize(R)}; }
};

template <class F>
void ExpectGrid(const TPic& P, F Want, int I = 0)
{
    for (int32_t Y = 0; Y < P.H(); ++Y)
        for (int32_t X = 0; X < P.W(); ++X)
            EXPECT_EQ(P.At(X, Y, I), Want(X, Y)) << X << "," << Y;
}

struct TPathMaker {
    TrecPath P;
    TPathMaker& T(int32_t X, int32_t Y, uint8_t Type)
    {
        RecPolyLineSetCount(P, P.Count + 1);
        P.Points[size_t(P.Count - 1)] = TPoint{X, Y};
        P.pabType[size_t(P.Count - 1)] = Type;
        return *this;
    }
    TPathMaker& M(int32_t X, int32_t Y) { return T(X, Y, PT_MOVETO); }
    TPathMaker& L(int32_t X, int32_t Y) { return T(X, Y, PT_LINETO); }
    TPathMaker& B(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3)
    {
        return T(X1, Y1, PT_BEZIERTO).T(X2, Y2, PT_BEZIERTO).T(X3, Y3, PT_BEZIERTO);
    }
    TPathMaker& Close() { P.pabType[size_t(P.Count - 1)] |= PT_CLOSEFIGURE; return *this; }
    TPathMaker& Box(int32_t L, int32_t T, int32_t R, int32_t B) { return M(L, T).L(R, T).L(R, B).L(L, B).Close(); }
    TrecPath Done() { RecPathCalcBounds(P); return std::move(P); }
};

TrecPath Rect(int32_t L, int32_t T, int32_t R, int32_t B) { return TPathMaker().Box(L, T, R, B).Done(); }

TrecPenData Pen(int32_t Width, uint32_t Style, uint32_t Color, double Miter = 10.0)
{
    TrecPenData P{};
    P.Style = Style;
    P.Width = Width;
    P.MiterLimit = Miter;
    SetPenDataColor(P, Color);
    return P;
}

int32_t Fill(TPic& P, const TrecPath& Path, uint32_t Color, bool Aa = true, double Tol = 1.0)
{
    return DIBSectionDrawPath(P.R, Path, Pen(1, 0, Color), false, Tol, Aa);
}

int32_t Stroke(TPic& P, const TrecPath& Path, const TrecPenData& Pn, double Tol = 1.0, bool Aa = true)
{
    return DIBSectionDrawPath(P.R, Path, Pn, true, Tol, Aa);
}

std::vector<int> Pixels(const TPic& P, std::initializer_list<TPoint> Pts)
{
    std::vector<int> V;
    for (TPoint Q : Pts)
        V.push_back(P.At(Q.X, Q.Y));
    return V;
}

// The plain reference of the scan rule, slow on purpose: edges join at their
// top sub-row and step x with Bresenham one sub-row at a time (Direct: x from
// the closed form, scanning from row 0, for edges too long to step); each
// polygon's crossings are sorted and paired, every covered sub-sample adds one
// to its pixel. Returns P's bytes with the scan applied.

struct TRefSeg {
    int64_t Xa, Ya, Xb, Yb;
    int Poly;
};

std::vector<uint8_t> RefScan(const TPic& P, int K, uint32_t Color, const std::vector<TRefSeg>& Segs,
                             bool Direct = false)
{
    struct TE {
        int64_t X, Top, Rows, Err, X0, Adx, Dy;
        int Step, Poly;
    };
    std::vector<uint8_t> Bytes = P.Bytes();
    const int32_t W = P.W(), H = P.H(), Bits = RecPictureHeader(P.R)->biBitCount;
    const int64_t O = int64_t{1} << K, HO = H * O, WO = W * O, Full = O * O, Stride = GetDIBLineSize(W, Bits);
    std::vector<TE> Es;
    for (TRefSeg S : Segs) {
        if (S.Ya == S.Yb)
            continue;
        if (S.Ya > S.Yb) {
            std::swap(S.Xa, S.Xb);
            std::swap(S.Ya, S.Yb);
        }
        if (S.Yb < 0 || S.Ya > HO)
            continue;
        const int64_t Dy = S.Yb - S.Ya;
        Es.push_back({S.Xa, S.Ya, Dy, -Dy, S.Xa, std::llabs(S.Xb - S.Xa), Dy, S.Xb < S.Xa ? -1 : 1, S.Poly});
    }
    if (Es.empty())
        return Bytes;
    std::sort(Es.begin(), Es.end(), [](const TE& A, const TE& B) { return A.Top < B.Top; });
    int64_t MaxBottom = std::numeric_limits<int64_t>::min();
    for (const TE& E : Es)
        MaxBottom = std::max(MaxBottom, E.Top + E.Dy);
    const int64_t Last = std::min(MaxBottom, HO - 1);
    std::vector<int64_t> Cov(size_t(W), 0);
    std::vector<size_t> Active;
    size_t Next = 0;
    for (int64_t Y = Direct ? std::max<int64_t>(Es[0].Top, 0) : Es[0].Top; Y <= Last; ++Y) {
        while (Next < Es.size() && (Es[Next].Top == Y || (Direct && Es[Next].Top < Y)))
            Active.push_back(Next++);
        std::vector<std::pair<int, int64_t>> Cross;
        for (size_t I = 0; I < Active.size();) {
            TE& E = Es[Active[I]];
            if (Direct ? Y - E.Top >= E.Dy : E.Rows == 0) {
                Active.erase(Active.begin() + std::ptrdiff_t(I));
                continue;
            }
            if (Direct) {
                const __int128 M = (__int128{2} * (Y - E.Top) * E.Adx + E.Dy) / (__int128{2} * E.Dy);
                Cross.push_back({E.Poly, E.X0 + E.Step * int64_t(M)});
            } else {
                --E.Rows;
                Cross.push_back({E.Poly, E.X});
                for (E.Err += 2 * E.Adx; E.Err >= 0; E.Err -= 2 * E.Dy)
                    E.X += E.Step;
            }
            ++I;
        }
        if (Y >= 0 && Cross.size() >= 2) {
            std::sort(Cross.begin(), Cross.end());
            for (size_t I = 0; I + 1 < Cross.size();) {
                if (Cross[I].first != Cross[I + 1].first) {
                    ++I;
                    continue;
                }
                // Clipping keeps the span's exclusive end: the last column is covered like any other.
                const int64_t X0 = std::max<int64_t>(Cross[I].second, 0), X1 = std::min(Cross[I + 1].second, WO);
                I += 2;
                for (int64_t X = X0; X < X1; ++X)
                    ++Cov[size_t(X >> K)];
            }
        }
        if (Y >= 0 && ((Y & (O - 1)) == O - 1 || Y == Last)) {
            uint8_t* Row = Bytes.data() + (H - 1 - (Y >> K)) * Stride;
            const uint8_t C[3] = {uint8_t(Bits == 8 ? Color : Color >> 16), uint8_t(Color >> 8), uint8_t(Color)};
            for (int32_t X = 0; X < W; ++X) {
                const int64_t A = Cov[size_t(X)];
                for (int B = 0; B < Bits / 8; ++B) {
                    uint8_t& D = Row[X * (Bits / 8) + B];
                    if (A >= Full)
                        D = C[B];
                    else if (A > 0)
                        D = uint8_t((C[B] * A + D * (Full - A)) >> (2 * K));
                }
                Cov[size_t(X)] = 0;
            }
        }
    }
    return Bytes;
}

// The segments of the path fill: scaled in 32 bits and flattened by the
// shared flattener when the scaled path fits, else (straight paths only)
// flattened first and scaled in 64 bits.
std::vector<TRefSeg> RefFillSegs(const TrecPath& Path, int32_t Left, int32_t Top, int K, double Tol,
                                 bool Scale = true)
{
    const int64_t O = int64_t{1} << K;
    auto Sc = [&](int64_t V, int32_t Origin) { return Scale ? (V - Origin) * O : V; };
    bool Fits = true;
    for (int32_t I = 0; I < Path.Count; ++I) {
        const TPoint& P = Path.Points[size_t(I)];
        Fits = Fits && Sc(P.X, Left) == int32_t(Sc(P.X, Left)) && Sc(P.Y, Top) == int32_t(Sc(P.Y, Top));
    }
    TrecPolyLine Src, Flat;
    RecPolyLineAssign(Src, Path, false);
    for (int32_t I = 0; I < Src.Count; ++I) {
        TPoint& P = Src.Points[size_t(I)];
        if (Fits)
            P = TPoint{int32_t(Sc(P.X, Left)), int32_t(Sc(P.Y, Top))};
        else
            EXPECT_NE(PathPointKind(Src.pabType[size_t(I)]), PT_BEZIERTO);
    }
    RecPolyLineFlatten(Src, Flat, true, Tol);
    std::vector<std::pair<int64_t, int64_t>> Pts;
    for (int32_t I = 0; I < Flat.Count; ++I) {
        const TPoint& P = Flat.Points[size_t(I)];
        Pts.push_back(Fits ? std::pair<int64_t, int64_t>{P.X, P.Y}
                           : std::pair{(P.X - int64_t{Left}) * O, (P.Y - int64_t{Top}) * O});
    }
    // Point i to i + 1 unless i closes; a closing point away from the first
    // point of its run is joined back to it.
    std::vector<TRefSeg> Segs;
    size_t Run = 0;
    for (size_t I = 0; I < Pts.size(); ++I) {
        const bool Closes = (Flat.pabType[I] & PT_CLOSEFIGURE) != 0;
        if (!Closes && I + 1 < Pts.size())
            Segs.push_back({Pts[I].first, Pts[I].second, Pts[I + 1].first, Pts[I + 1].second, 0});
        if (Closes) {
            if (Pts[I] != Pts[Run])
                Segs.push_back({Pts[I].first, Pts[I].second, Pts[Run].first, Pts[Run].second, 0});
            Run = I + 1;
        }
    }
    return Segs;
}

std::vector<TRefSeg> OutlineSegs(const TStrokeOutline& Out)
{
    std::vector<TRefSeg> Segs;
    for (size_t I = 0; I + 1 < Out.Starts.size(); ++I)
        for (int32_t J = Out.Starts[I]; J + 1 < Out.Starts[I + 1]; ++J) {
            const TDrawPathPoint &A = Out.Points[size_t(J)], &B = Out.Points[size_t(J) + 1];
            Segs.push_back({A.X, A.Y, B.X, B.Y, int(I)});
        }
    return Segs;
}

std::vector<TDrawPathPoint> Polygon(const TStrokeOutline& Out, size_t I)
{
    return {Out.Points.begin() + Out.Starts[I], Out.Points.begin() + Out.Starts[I + 1]};
}

// Random paths: figures of lines and curves, open or closed, self-intersecting
// at will, now and then far outside or hugging the edges; with Garbage, stray
// type bytes and truncated curves too.

int32_t Scaled(int64_t V, int32_t Scale) { return int32_t(std::clamp<int64_t>(V * Scale, INT32_MIN, INT32_MAX)); }

int32_t RandCoord(std::mt19937& G, int32_t Size)
{
    switch (G() % 8) {
    case 0: return int32_t(G() % 400) - 200;
    case 1: return int32_t(G() % 3) - 1 + (G() % 2 ? 0 : Size);
    default: return int32_t(G() % uint32_t(Size + 16)) - 8;
    }
}

TrecPath RandomPath(std::mt19937& G, int32_t W, int32_t H, bool Garbage, int32_t Scale = 1)
{
    TPathMaker M;
    const int Figures = 1 + int(G() % 4);
    for (int F = 0; F < Figures; ++F) {
        int32_t X = Scaled(RandCoord(G, W), Scale), Y = Scaled(RandCoord(G, H), Scale);
        M.M(X, Y);
        const int Segs = 1 + int(G() % 7);
        for (int S = 0; S < Segs; ++S) {
            // Sub-pixel features: points a pixel or less apart.
            auto Near = [&](int32_t V, int32_t Size) {
                return G() % 5 == 0 ? Scaled(V + int64_t(G() % 3) - 1, 1) : Scaled(RandCoord(G, Size), Scale);
            };
            if (G() % 3 == 0) {
                const int32_t X1 = Near(X, W), Y1 = Near(Y, H), X2 = Near(X, W), Y2 = Near(Y, H);
                X = Near(X, W);
                Y = Near(Y, H);
                M.B(X1, Y1, X2, Y2, X, Y);
            } else {
                X = Near(X, W);
                Y = Near(Y, H);
                M.L(X, Y);
            }
        }
        if (G() % 2)
            M.Close();
    }
    if (Garbage) {
        for (int I = int(G() % 3); I > 0; --I) {
            const size_t At = G() % size_t(M.P.Count);
            M.P.pabType[At] = uint8_t(G() % 8);
        }
        if (G() % 4 == 0)
            M.T(Scaled(RandCoord(G, W), Scale), Scaled(RandCoord(G, H), Scale), PT_BEZIERTO);
    }
    return M.Done();
}

} // namespace

TEST(DrawPath, FillCoverageByHand)
{
    // An aligned square fills whole pixels only; 24 bits take blue, green, red.
    for (int Bits : {8, 24})
        for (bool Aa : {true, false}) {
            TPic P(Bits, 16, 14, 100, 200);
            ASSERT_EQ(Fill(P, Rect(103, 202, 113, 212), 0x00405080, Aa), 0);
            for (int I = 0; I < Bits / 8; ++I)
                ExpectGrid(P, [&](int32_t X, int32_t Y) {
                    return X >= 3 && X < 13 && Y >= 2 && Y < 12 ? (0x405080 >> (Bits == 8 ? 0 : 16 - 8 * I)) & 0xFF : 0;
                }, I);
        }
    // Unscaled, in sub-samples: the left edge halves column 2, 128 of 256 sub-samples.
    TPic P8(8, 8, 4, 0, 0, 10), Q(8, 4, 4);
    RecPictureFillPathAntiAlias(P8.R, Rect(40, 0, 96, 64), 200, 16, 1.0, false);
    EXPECT_EQ(Pixels(P8, {{1, 0}, {2, 0}, {5, 3}, {6, 3}}),
              (std::vector<int>{10, (200 * 128 + 10 * 128) >> 8, 200, 10}));
    // A quarter pixel: half the width and half the height.
    RecPictureFillPathAntiAlias(Q.R, Rect(24, 24, 48, 48), 255, 16, 1.0, false);
    EXPECT_EQ(Pixels(Q, {{1, 1}, {2, 1}, {2, 2}}), (std::vector<int>{(255 * 64) >> 8, (255 * 128) >> 8, 255}));
    // O = 1: a pixel is in or out; row y of the triangle covers [0, 4 - y).
    TPic T(8, 6, 4);
    RecPictureFillPathAntiAlias(T.R, TPathMaker().M(0, 0).L(4, 0).L(0, 4).Done(), 50, 1, 1.0, true);
    ExpectGrid(T, [](int32_t X, int32_t Y) { return X < 4 - Y ? 50 : 0; });
}

TEST(DrawPath, EvenOddClosingClippingAndEmptyBounds)
{
    // A square inside a square turning the same way is a hole; an open bow
    // tie is closed back to its start and crosses itself.
    TPic P(8, 20, 20), R(8, 20, 20), A(8, 20, 10), B(8, 20, 10);
    ASSERT_EQ(Fill(P, TPathMaker().Box(2, 2, 18, 18).Box(6, 6, 14, 14).Done(), 255), 0);
    EXPECT_EQ(Pixels(P, {{3, 3}, {6, 6}, {13, 13}, {14, 14}}), (std::vector<int>{255, 0, 0, 255}));
    ASSERT_EQ(Fill(R, TPathMaker().M(0, 0).L(20, 20).L(20, 0).L(0, 20).Done(), 255), 0);
    EXPECT_EQ(Pixels(R, {{10, 3}, {2, 10}, {17, 10}}), (std::vector<int>{0, 255, 255}));
    // Close bits on the last corner close each triangle by itself, as an
    // explicit closing point does, instead of pairing crossings across figures.
    ASSERT_EQ(Fill(A, TPathMaker().M(1, 1).L(8, 1).L(1, 8).Close().M(11, 1).L(18, 1).L(11, 8).Close().Done(), 255), 0);
    ASSERT_EQ(Fill(B, TPathMaker().M(1, 1).L(8, 1).L(1, 8).L(1, 1).Close().M(11, 1).L(18, 1).L(11, 8).L(11, 1)
                          .Close().Done(), 255), 0);
    EXPECT_EQ(A.Bytes(), B.Bytes());
    EXPECT_EQ(Pixels(A, {{2, 2}, {9, 2}, {12, 2}}), (std::vector<int>{255, 0, 255}));
    // Spans clipped at both sides still cover the last column.
    for (bool Aa : {true, false}) {
        TPic C(8, 9, 3);
        ASSERT_EQ(Fill(C, Rect(-5, 1, 20, 2), 99, Aa), 0);
        ExpectGrid(C, [](int32_t, int32_t Y) { return Y == 1 ? 99 : 0; });
    }
    // Empty bounds return 0 at once: even a picture that would be refused is not looked at.
    TPic Q(32, 4, 4, 0, 0, 3);
    TrecPath Path = TPathMaker().M(0, 0).L(4, 0).L(4, 4).Done();
    Path.Bounds = TRect{5, 0, 4, 4};
    EXPECT_EQ(Fill(Q, Path, 255), 0);
    Path.Bounds = TRect{0, 5, 4, 4};
    EXPECT_EQ(Stroke(Q, Path, Pen(2, 0, 255)), 0);
    EXPECT_EQ(Q.At(1, 1), 3);
}

TEST(DrawPath, RefusesOverSamplesAndDepths)
{
    TPic P(8, 4, 4);
    const TrecPath Sq = Rect(0, 0, 2, 2);
    // Beyond 256 a pixel's coverage no longer fits: refused like other non-powers of two.
    for (int32_t O : {3, 0, 512})
        EXPECT_EQ(BmpMessageOf([&] { RecPictureFillPathAntiAlias(P.R, Sq, 1, O, 1.0, true); }),
                  "RecPictureFillPathAntiAlias: iOverSample illegal.") << O;
    EXPECT_EQ(BmpMessageOf([&] { RecPictureFillConvexPolygon(P.R, {{0, 0}, {2, 0}, {2, 2}}, 1, 3); }),
              "RecPictureFillConvexPolygon: iOverSample illegal.");
    EXPECT_EQ(BmpMessageOf([&] { RecPictureDrawPathAntiAlias(P.R, Sq, Pen(2, 0, 1), 6, 1.0); }),
              "RecPictureDrawPathAntiAlias: iOverSample illegal.");
    EXPECT_NO_THROW(RecPictureFillPathAntiAlias(P.R, Sq, 1, 256, 1.0, true));
    EXPECT_EQ(P.At(1, 1), 1);
    for (int Bits : {1, 4, 16, 32}) {
        TPic D(Bits, 8, 8, 0, 0, 0x5A);
        EXPECT_EQ(Fill(D, Rect(0, 0, 8, 8), 0xFFFFFF), DrawPathFailed);
        EXPECT_EQ(Stroke(D, Rect(0, 0, 8, 8), Pen(3, 0, 0xFFFFFF)), DrawPathFailed);
        EXPECT_EQ(D.Bytes(), std::vector<uint8_t>(D.Bytes().size(), 0x5A));
        EXPECT_EQ(BmpMessageOf([&] { RecPictureFillPathAntiAlias(D.R, Rect(0, 0, 8, 8), 1, 16, 1.0, true); }),
                  "RecPictureFillPathAntiAlias: biBitCount illegal (" + std::to_string(Bits) +
                      "); only 8 and 24 bits can be drawn.");
    }
    TrecPicture Empty;
    EXPECT_EQ(DIBSectionDrawPath(Empty, Rect(0, 0, 8, 8), Pen(1, 0, 1), false, 1.0, true), DrawPathFailed);
}

static void CheckFillOnRandomPaths()
{
    std::mt19937 G(12345);
    int Drawn = 0;
    for (int Case = 0; Case < 1200; ++Case) {
        const int32_t W = 1 + int32_t(G() % 40), H = 1 + int32_t(G() % 30);
        const int Bits = G() % 2 ? 8 : 24;
        const bool Aa = G() % 6 != 0;
        const int32_t Left = int32_t(G() % 21) - 10, Top = int32_t(G() % 21) - 10;
        static const double Tols[] = {0.25, 1.0, 4.0, 30.0};
        const double Tol = Tols[G() % 4];
        const uint32_t Color = G() & 0xFFFFFF;
        TrecPath Path = RandomPath(G, W, H, Case % 5 == 0);
        RecPathOffset(Path, Left, Top);
        TPic P(Bits, W, H, Left, Top, uint8_t(G()));
        const int K = Aa ? 4 : 0;
        const std::vector<uint8_t> Expect = RefScan(P, K, Color, RefFillSegs(Path, Left, Top, K, Tol));
        Drawn += Expect != P.Bytes();
        ASSERT_EQ(Fill(P, Path, Color, Aa, Tol), 0);
        ASSERT_TRUE(P.Bytes() == Expect) << "case " << Case;
    }
    EXPECT_GT(Drawn, 800); // the random paths mostly paint something
    // Unscaled: the path is in sub-samples, vertices anywhere inside pixels.
    for (int Case = 0; Case < 400; ++Case) {
        const int32_t W = 1 + int32_t(G() % 24), H = 1 + int32_t(G() % 24);
        const TrecPath Path = RandomPath(G, W * 16, H * 16, false);
        TPic P(8, W, H, 0, 0, uint8_t(G()));
        const std::vector<uint8_t> Expect = RefScan(P, 4, 0xC3, RefFillSegs(Path, 0, 0, 4, 1.0, false));
        RecPictureFillPathAntiAlias(P.R, Path, 0xC3, 16, 1.0, false);
        ASSERT_TRUE(P.Bytes() == Expect) << "unscaled case " << Case;
    }
}

TEST(DrawPath, FillMatchesReferenceOnRandomPaths)
{
    ForEachInstructionSet(CheckFillOnRandomPaths);
}

// Shapes tall enough that whole pixel rows are scanned chain by chain, on
// pictures wide enough that a row's changes are visited range by range: each
// scene against the plain reference.
enum class TScene { Blobs, Letters, Slivers, Coincident, Crowd, Crossing, Huge };

void AddBlob(std::mt19937& G, TPathMaker& M, int32_t Cx, int32_t Cy, int32_t R)
{
    // A closed smooth outline through 5 to 8 points round the centre.
    const int N = 5 + int(G() % 4);
    std::vector<std::pair<double, double>> P;
    for (int I = 0; I < N; ++I) {
        const double A = 2 * std::numbers::pi * (I + (int(G() % 41) - 20) / 100.0) / N;
        const double Q = R * (0.5 + (G() % 51) / 100.0);
        P.push_back({Cx + Q * std::cos(A), Cy + Q * std::sin(A)});
    }
    auto Rd = [](double V) { return int32_t(std::lround(V)); };
    M.M(Rd(P[0].first), Rd(P[0].second));
    for (int I = 0; I < N; ++I) {
        const auto &P0 = P[size_t((I + N - 1) % N)], &P1 = P[size_t(I)], &P2 = P[size_t((I + 1) % N)],
                   &P3 = P[size_t((I + 2) % N)];
        M.B(Rd(P1.first + (P2.first - P0.first) / 6), Rd(P1.second + (P2.second - P0.second) / 6),
            Rd(P2.first - (P3.first - P1.first) / 6), Rd(P2.second - (P3.second - P1.second) / 6), Rd(P2.first),
            Rd(P2.second));
    }
    M.Close();
}

void AddEllipse(TPathMaker& M, int32_t Cx, int32_t Cy, int32_t Rx, int32_t Ry, bool Reverse)
{
    // Four quarter curves; Reverse runs the other way round (a counter).
    const double K = 0.5523;
    const int32_t Kx = int32_t(std::lround(Rx * K)), Ky = int32_t(std::lround(Ry * K));
    const int32_t S = Reverse ? -1 : 1;
    M.M(Cx + Rx, Cy);
    M.B(Cx + Rx, Cy + S * Ky, Cx + Kx, Cy + S * Ry, Cx, Cy + S * Ry);
    M.B(Cx - Kx, Cy + S * Ry, Cx - Rx, Cy + S * Ky, Cx - Rx, Cy);
    M.B(Cx - Rx, Cy - S * Ky, Cx - Kx, Cy - S * Ry, Cx, Cy - S * Ry);
    M.B(Cx + Kx, Cy - S * Ry, Cx + Rx, Cy - S * Ky, Cx + Rx, Cy);
    M.Close();
}

TrecPath SceneOf(TScene Scene, std::mt19937& G, int32_t W, int32_t H)
{
    auto In = [&](int32_t Size, int32_t Margin) { return int32_t(G() % uint32_t(Size + 2 * Margin)) - Margin; };
    TPathMaker M;
    switch (Scene) {
    case TScene::Blobs: // some hanging over the picture's edges
        for (int I = 1 + int(G() % 3); I > 0; --I)
            AddBlob(G, M, In(W, 20), In(H, 20), 8 + int32_t(G() % uint32_t(std::max(W, H))));
        break;
    case TScene::Letters: // rings with counters and a bar, as in "O", "o" and "e"
        for (int32_t X = In(30, 30); X < W + 30; X += 20 + int32_t(G() % 60)) {
            const int32_t Rx = 6 + int32_t(G() % 30), Ry = 6 + int32_t(G() % uint32_t(H));
            const int32_t Cy = In(H, 10);
            AddEllipse(M, X, Cy, Rx, Ry, false);
            AddEllipse(M, X, Cy, Rx * 3 / 5, Ry * 3 / 5, true);
            if (G() % 2)
                M.Box(X - Rx, Cy - 2, X + Rx, Cy + 1);
        }
        break;
    case TScene::Slivers: // triangles less than a pixel thick, steep and shallow
        for (int I = 2 + int(G() % 6); I > 0; --I) {
            const int32_t X0 = In(W, 5), Y0 = In(H, 5), X1 = In(W, 5), Y1 = In(H, 5);
            M.M(X0, Y0).L(X1, Y1).L(X1 + int32_t(G() % 2), Y1 + int32_t(G() % 2)).Close();
        }
        break;
    case TScene::Coincident: { // figures on top of each other and sharing edges
        const int32_t L = In(W, 5), T = In(H, 5), R = L + 1 + int32_t(G() % uint32_t(W)),
                      B = T + 1 + int32_t(G() % uint32_t(H));
        M.Box(L, T, R, B).Box(L, T, R, B);          // cancels out
        M.Box(L, T, R, B).Box(R, T, R + (R - L), B); // side by side
        M.M(L, B).L(R, T).L(R, B).Close();           // on the first box's diagonal
        break;
    }
    case TScene::Crowd: // many small figures on the same rows
        for (int32_t X = -3; X < W + 3; X += 2 + int32_t(G() % 6)) {
            const int32_t Y = In(H, 0), S = 1 + int32_t(G() % 5);
            if (G() % 2)
                M.Box(X, Y, X + S, Y + 2 * S);
            else
                M.M(X, Y).L(X + S, Y + S).L(X, Y + 3 * S).L(X - S, Y + S).Close();
        }
        break;
    case TScene::Crossing: { // a star crossing itself: its chains swap places inside rows
        const int32_t Cx = In(W, 0), Cy = In(H, 0), R = 10 + int32_t(G() % uint32_t(std::max(W, H)));
        for (int I = 0; I < 5; ++I) {
            const double A = 2 * std::numbers::pi * (I * 2 % 5) / 5 + (G() % 100) / 300.0;
            const int32_t X = Cx + int32_t(std::lround(R * std::cos(A))), Y = Cy + int32_t(std::lround(R * std::sin(A)));
            if (I == 0)
                M.M(X, Y);
            else
                M.L(X, Y);
        }
        M.Close();
        break;
    }
    case TScene::Huge: // straight edges from far outside the picture
        for (int I = 1 + int(G() % 3); I > 0; --I) {
            const int32_t Far[] = {-2000000000, -70000000, 90000000, 2100000000};
            M.M(Far[G() % 4], In(H, 10)).L(In(W, 10), In(H, 10)).L(Far[G() % 4], Far[G() % 4]).Close();
        }
        break;
    }
    return M.Done();
}

static void CheckFillOnLargeShapes()
{
    std::mt19937 G(8086);
    const TScene Scenes[] = {TScene::Blobs,  TScene::Letters,  TScene::Slivers, TScene::Coincident,
                             TScene::Crowd,  TScene::Crossing, TScene::Huge};
    int Drawn = 0;
    for (int Case = 0; Case < 84; ++Case) {
        const TScene Scene = Scenes[Case % 7];
        const int32_t W = 40 + int32_t(G() % 220), H = 17 + int32_t(G() % 100); // odd widths too
        const int Bits = G() % 2 ? 8 : 24;
        const bool Aa = Case % 12 != 5;
        const int32_t Left = int32_t(G() % 21) - 10, Top = int32_t(G() % 21) - 10;
        const double Tol = (G() % 4 + 1) * 0.5;
        const uint32_t Color = G() & 0xFFFFFF;
        TrecPath Path = SceneOf(Scene, G, W, H);
        RecPathOffset(Path, Left, Top);
        TPic P(Bits, W, H, Left, Top, uint8_t(G()));
        const int K = Aa ? 4 : 0;
        const std::vector<uint8_t> Expect = RefScan(P, K, Color, RefFillSegs(Path, Left, Top, K, Tol), Scene == TScene::Huge);
        Drawn += Expect != P.Bytes();
        ASSERT_EQ(Fill(P, Path, Color, Aa, Tol), 0);
        ASSERT_TRUE(P.Bytes() == Expect) << "case " << Case << " scene " << int(Scene);
    }
    EXPECT_GT(Drawn, 70);
}

TEST(DrawPath, FillMatchesReferenceOnLargeShapes)
{
    ForEachInstructionSet(CheckFillOnLargeShapes);
}

// Tall shapes whose edges run straight down over many pixel rows, so that
// rows repeat the coverage of the one above: columns of different heights
// side by side and sharing edges, steps, a notch cut in by a slanted edge,
// pillars over the picture's edges, and (unscaled, in sub-samples) edges that
// begin and end inside pixel rows at fractional columns; each against the
// plain reference, on narrow pictures too.
TrecPath ColumnsOf(std::mt19937& G, int32_t W, int32_t H, int32_t Unit)
{
    auto In = [&](int32_t Size, int32_t Margin) {
        return int32_t(G() % uint32_t(std::max(1, Size + 2 * Margin))) - Margin;
    };
    TPathMaker M;
    const int32_t Wu = W * Unit, Hu = H * Unit;
    switch (G() % 5) {
    case 0: // columns of their own heights, some sharing an edge
        for (int32_t X = In(Wu / 4, Unit); X < Wu; X += 1 + int32_t(G() % uint32_t(Wu / 3 + 1))) {
            const int32_t R = X + 1 + int32_t(G() % uint32_t(Wu / 2 + 1)), T = In(Hu / 3, Unit);
            M.Box(X, T, R, T + 1 + int32_t(G() % uint32_t(Hu + 1)));
            if (G() % 2)
                X = R - 1; // the next one starts where this ends
        }
        break;
    case 1: { // a staircase: vertical steps down the picture
        const int32_t Steps = 2 + int32_t(G() % 6), Step = std::max(1, Hu / Steps);
        int32_t X = In(Wu / 4, 0);
        M.M(X, 0);
        for (int32_t I = 0; I < Steps; ++I) {
            M.L(X, (I + 1) * Step);
            X = std::min(Wu + Unit, X + 1 + int32_t(G() % uint32_t(Wu / Steps + 1)));
            M.L(X, (I + 1) * Step);
        }
        M.L(X, 0).Close();
        break;
    }
    case 2: { // a tall box with a slanted notch in its right side
        const int32_t L = In(Wu / 2, 0), R = L + 1 + int32_t(G() % uint32_t(Wu)), T = In(Hu / 4, Unit);
        const int32_t B = T + Hu / 2 + 1 + int32_t(G() % uint32_t(Hu)), Mid = (T + B) / 2;
        M.M(L, T).L(R, T).L(R, Mid - Hu / 8).L(L + (R - L) / 3, Mid).L(R, Mid + Hu / 8).L(R, B).L(L, B).Close();
        break;
    }
    case 3: // pillars beyond the picture's sides and above and below it
        M.Box(-3 * Unit, -Unit, In(Wu, Unit), Hu + Unit);
        M.Box(In(Wu, Unit), In(Hu, 0), Wu + 2 * Unit, Hu + 3 * Unit);
        break;
    default: // a column crossed by a slanted bar, and a diamond beside it
        M.Box(In(Wu, 0), -Unit, In(Wu, 0), Hu + Unit);
        M.M(-Unit, In(Hu, 0)).L(Wu + Unit, In(Hu, 0)).L(Wu + Unit, In(Hu, 0)).L(-Unit, In(Hu, 0)).Close();
        M.M(In(Wu, 0), 0).L(Wu, Hu / 2).L(In(Wu, 0), Hu).L(0, Hu / 2).Close();
        break;
    }
    return M.Done();
}

static void CheckFillOfVerticalEdges()
{
    std::mt19937 G(4242);
    int Drawn = 0;
    for (int Case = 0; Case < 240; ++Case) {
        // Narrow pictures (a pixel or two wide) and wider ones, all tall.
        const int32_t W = Case % 3 == 0 ? 1 + int32_t(G() % 2) : 3 + int32_t(G() % 40);
        const int32_t H = 40 + int32_t(G() % 300);
        const int Bits = G() % 2 ? 8 : 24;
        const uint32_t Color = G() & 0xFFFFFF;
        TPic P(Bits, W, H, 0, 0, uint8_t(G()));
        std::vector<uint8_t> Expect;
        if (Case % 4 == 3) {
            // Unscaled: the path in sub-samples, at 16 of them a pixel.
            const TrecPath Path = ColumnsOf(G, W, H, 16);
            Expect = RefScan(P, 4, Color, RefFillSegs(Path, 0, 0, 4, 1.0, false));
            RecPictureFillPathAntiAlias(P.R, Path, Color, 16, 1.0, false);
        } else {
            const bool Aa = Case % 4 != 2;
            const int K = Aa ? 4 : 0;
            const TrecPath Path = ColumnsOf(G, W, H, 1);
            Expect = RefScan(P, K, Color, RefFillSegs(Path, 0, 0, K, 1.0));
            ASSERT_EQ(Fill(P, Path, Color, Aa), 0);
        }
        Drawn += Expect != TPic(Bits, W, H).Bytes();
        ASSERT_TRUE(P.Bytes() == Expect) << "case " << Case << ", " << W << " x " << H << ", " << Bits << " bits";
    }
    EXPECT_GT(Drawn, 200);
}

TEST(DrawPath, FillOfVerticalEdgesMatchesReferenceRowForRow)
{
    ForEachInstructionSet(CheckFillOfVerticalEdges);
}

// A picture a pixel wide and many rows tall: the fill's cost follows its
// pixels. A box over half the column's width, from inside its third row to
// inside its last but one, at 16 sub-samples a pixel.
TEST(DrawPath, ATallNarrowFillCoversEachRowByHand)
{
    constexpr int32_t H = 200000;
    for (int Bits : {8, 24}) {
        TPic P(Bits, 1, H, 0, 0, 0);
        // Columns 8..16 of 16 sub-samples; rows from sub-row 2 x 16 + 4 to
        // (H - 2) x 16 + 12.
        RecPictureFillPathAntiAlias(P.R, Rect(8, 2 * 16 + 4, 16, (H - 2) * 16 + 12), 0xC0C0C0, 16, 1.0, false);
        std::vector<int32_t> Wrong;
        for (int32_t Y = 0; Y < H; ++Y) {
            // Covered sub-rows of row Y, each half a pixel wide: 8 of 16.
            const int32_t Rows = Y < 2 || Y > H - 2 ? 0 : Y == 2 ? 12 : Y == H - 2 ? 12 : 16;
            const int Want = (0xC0 * (Rows * 8)) >> 8;
            for (int I = 0; I < Bits / 8; ++I)
                if (P.At(0, Y, I) != Want && Wrong.size() < 5)
                    Wrong.push_back(Y);
        }
        EXPECT_TRUE(Wrong.empty()) << Bits << " bits, first wrong row " << (Wrong.empty() ? -1 : Wrong[0]);
    }
}

TEST(DrawPath, HugeCoordinatesDoNotWrap)
{
    // Near the int32 limits the coordinates overflow 32 bits once scaled by 16.
    TPic P(8, 12, 8);
    ASSERT_EQ(Fill(P, Rect(-2000000000, 2, 2000000000, 5), 255), 0);
    ExpectGrid(P, [](int32_t, int32_t Y) { return Y >= 2 && Y < 5 ? 255 : 0; });
    std::mt19937 G(4242);
    const int32_t Big[] = {2147483647, -2147483647 - 1, 2000000000, -1999999999, 1234567890};
    for (int Case = 0; Case < 200; ++Case) {
        const int32_t W = 5 + int32_t(G() % 30), H = 5 + int32_t(G() % 30);
        // The picture sits near the origin or far out at the edge of the range.
        const int32_t Left = G() % 3 ? int32_t(G() % 20) - 10 : Big[G() % 5] / 2;
        const int32_t Top = G() % 3 ? int32_t(G() % 20) - 10 : Big[G() % 5] / 2;
        auto Coord = [&](int32_t Origin, int32_t Size) -> int32_t {
            if (G() % 3 == 0)
                return Big[G() % 5];
            return Scaled(int64_t{Origin} + int32_t(G() % uint32_t(Size + 20)) - 10, 1);
        };
        TPathMaker M;
        M.M(Coord(Left, W), Coord(Top, H));
        for (int I = 2 + int(G() % 5); I > 0; --I)
            M.L(Coord(Left, W), Coord(Top, H));
        const TrecPath Path = M.Done();
        TPic Q(8, W, H, Left, Top);
        const std::vector<uint8_t> Expect = RefScan(Q, 4, 200, RefFillSegs(Path, Left, Top, 4, 1.0), true);
        ASSERT_EQ(Fill(Q, Path, 200), 0);
        ASSERT_TRUE(Q.Bytes() == Expect) << "case " << Case;
    }
}

TEST(DrawPath, HugeCurvesFlattenWithoutWrapping)
{
    // A straight "curve" with control points a third and two thirds along,
    // halved in 64 bits, paints as the straight figure does up to the
    // rounding of the halving points.
    const int32_t X[4] = {-1800000000, -600000000, 600000000, 1800000000};
    const int32_t Y[4] = {-900000000, -300000000, 300000000, 900000000};
    TPic A(8, 30, 30, -15, -15), B(8, 30, 30, -15, -15);
    TPathMaker C;
    C.M(X[0], Y[0]).B(X[1], Y[1], X[2], Y[2], X[3], Y[3]).L(X[3], Y[0]).Close();
    ASSERT_EQ(Fill(A, C.Done(), 255), 0);
    ASSERT_EQ(Fill(B, TPathMaker().M(X[0], Y[0]).L(X[3], Y[3]).L(X[3], Y[0]).Close().Done(), 255), 0);
    const std::vector<uint8_t> AB = A.Bytes(), BB = B.Bytes();
    for (size_t I = 0; I < AB.size(); ++I)
        EXPECT_LE(std::abs(AB[I] - BB[I]), 8) << I;
    EXPECT_EQ(Pixels(A, {{29, 0}, {0, 29}}), (std::vector<int>{255, 0})); // above the line y = x / 2
}

TEST(DrawPath, ConvexPolygonRoundsHalfAwayFromZero)
{
    // Points moved to the picture at (-1, 0): x 0.5 -> 1, 3.5 -> 4; y 0.5 -> 1, 3.49 -> 3.
    TPic P(8, 6, 6, -1, 0);
    RecPictureFillConvexPolygon(P.R, {{-0.5, 0.5}, {2.5, 0.5}, {2.5, 3.49}, {-0.5, 3.49}}, 77, 16);
    ExpectGrid(P, [](int32_t X, int32_t Y) { return X >= 1 && X < 4 && Y >= 1 && Y < 3 ? 77 : 0; });
    std::mt19937 G(5);
    for (int Case = 0; Case < 150; ++Case) {
        const int32_t W = 1 + int32_t(G() % 30), H = 1 + int32_t(G() % 30);
        const int K = G() % 2 ? 3 : 0;
        std::vector<TDPoint> Pts;
        std::vector<TRefSeg> Segs;
        const int N = 3 + int(G() % 6);
        for (int I = 0; I < N; ++I)
            Pts.push_back({(int(G() % 800) - 100) / 20.0, (int(G() % 800) - 100) / 20.0});
        auto R = [&](double V) { return RoundOff(V) << K; };
        for (int I = 0; I < N; ++I) {
            const TDPoint &A = Pts[size_t(I)], &B = Pts[size_t((I + 1) % N)];
            Segs.push_back({R(A.X), R(A.Y), R(B.X), R(B.Y), 0});
        }
        TPic Q(24, W, H);
        const std::vector<uint8_t> Expect = RefScan(Q, K, 0xABCDEF, Segs);
        RecPictureFillConvexPolygon(Q.R, Pts, 0xABCDEF, 1 << K);
        ASSERT_TRUE(Q.Bytes() == Expect) << "case " << Case;
    }
}

TEST(DrawPath, HostileInputReturnsZeroOrNine)
{
    // Garbage types, coordinates anywhere in the int32 range, any pen width
    // and miter ratio, tolerances of any sign: never a crash, never a write
    // outside the picture (the sanitizer builds check that).
    std::mt19937 G(2718);
    const double NaN = std::numeric_limits<double>::quiet_NaN();
    const double Tols[] = {-1.0, 0.0, 0.3, 5.0, 1e9, NaN};
    const double Miters[] = {-5.0, 0.0, 1.0, 3.0, 1e300, NaN};
    const int32_t Widths[] = {-3, 0, 1, 7, 100000, 2147483647};
    for (int Case = 0; Case < 120; ++Case) {
        TrecPath Path = RandomPath(G, 20, 20, true, Case % 4 == 0 ? 50000000 : 1);
        if (Case % 7 == 0)
            Path.Points[G() % size_t(Path.Count)] = TPoint{int32_t(G()), int32_t(G())};
        RecPathCalcBounds(Path);
        TPic P(G() % 2 ? 8 : 24, 1 + int32_t(G() % 20), 1 + int32_t(G() % 20), int32_t(G() % 9) - 4,
               int32_t(G() % 9) - 4);
        const TrecPenData Pn = Pen(Widths[G() % 6], uint32_t(G()), uint32_t(G()), Miters[G() % 6]);
        const int32_t R = DIBSectionDrawPath(P.R, Path, Pn, G() % 2, Tols[G() % 6], G() % 2);
        EXPECT_TRUE(R == 0 || R == DrawPathFailed) << "case " << Case;
    }
}

TEST(DrawPathStroke, FlatSquareAndRoundCapsOfAHorizontalLine)
{
    const TrecPath Line = TPathMaker().M(4, 8).L(14, 8).Done();
    TPic Flat(8, 20, 16), Square(8, 20, 16), Round(8, 20, 16);
    ASSERT_EQ(Stroke(Flat, Line, Pen(4, PenCapNone, 255)), 0);
    ASSERT_EQ(Stroke(Square, Line, Pen(4, PenCapSquare, 255)), 0);
    ASSERT_EQ(Stroke(Round, Line, Pen(4, PenCapRound, 255)), 0);
    // Width 4: rows 6..9 between the ends.
    ExpectGrid(Flat, [](int32_t X, int32_t Y) { return Y >= 6 && Y < 10 && X >= 4 && X < 14 ? 255 : 0; });
    ExpectGrid(Square, [](int32_t X, int32_t Y) { return Y >= 6 && Y < 10 && X >= 2 && X < 16 ? 255 : 0; });
    for (int32_t Y = 0; Y < 16; ++Y)
        for (int32_t X = 4; X < 14; ++X)
            EXPECT_EQ(Round.At(X, Y), Flat.At(X, Y));
    // The round cap is a half disc of radius 2 around (14, 8): pixels follow
    // the disc's area (by a fine grid) within the scan's rounding.
    EXPECT_EQ(Pixels(Round, {{14, 7}, {16, 8}, {14, 5}}), (std::vector<int>{255, 0, 0}));
    for (int32_t Y : {6, 7, 8, 9})
        for (int32_t X : {14, 15}) {
            int In = 0;
            for (int I = 0; I < 400; ++I)
                for (int J = 0; J < 400; ++J) {
                    const double Px = X + (I + 0.5) / 400 - 14, Py = Y + (J + 0.5) / 400 - 8;
                    In += Px * Px + Py * Py <= 4.0;
                }
            EXPECT_NEAR(Round.At(X, Y), 255.0 * In / 160000.0, 12.0) << X << "," << Y;
            EXPECT_NEAR(Round.At(3 - (X - 14), Y), 255.0 * In / 160000.0, 12.0) << "start cap " << X << "," << Y;
        }
}

// The L from (4, 6) right to (12, 6), then down to (12, 14), width 4, at 16
// sub-samples: the corner is (192, 96), the half width 32.
TrecPath LPath() { return TPathMaker().M(4, 6).L(12, 6).L(12, 14).Done(); }

TEST(DrawPathStroke, JoinPointsOfEachStyle)
{
    auto Outline = [](uint32_t Style, double Miter, double Tol) {
        TStrokeOutline O;
        MakeStrokeOutline(LPath(), Pen(4, PenCapNone | Style, 1, Miter), 16, Tol, 0, 0, O);
        return O;
    };
    using P = TDrawPathPoint;
    // The first segment's quad is offset by (0, -32) and (0, +32).
    const TStrokeOutline None = Outline(PenJoinNone, 10.0, 1.0);
    ASSERT_EQ(None.Starts.size(), 3u);
    EXPECT_EQ(Polygon(None, 0), (std::vector<P>{{64, 64}, {192, 64}, {192, 128}, {64, 128}, {64, 64}}));
    EXPECT_EQ(Polygon(None, 1), (std::vector<P>{{224, 96}, {224, 224}, {160, 224}, {160, 96}, {224, 96}}));
    // A right turn: the join goes from the first segment's end offset
    // (192, 64) to the second's start offset (224, 96).
    EXPECT_EQ(Polygon(Outline(PenJoinBevel, 10.0, 1.0), 1),
              (std::vector<P>{{224, 96}, {224, 224}, {160, 224}, {160, 96}, {192, 64}, {224, 96}, {224, 96}}));
    EXPECT_EQ(Polygon(Outline(PenJoinMiter, 10.0, 1.0), 1),
              (std::vector<P>{{224, 96}, {224, 224}, {160, 224}, {160, 96}, {192, 64}, {224, 64}, {224, 96},
                              {224, 96}}));
    // Ratio 1: the limit is the half width, the miter point lies 32 sqrt 2
    // away, so the tip is cut 32 from the corner: x - y = 141.25 meets
    // y = 64 at 205.25 and x = 224 at 82.75.
    EXPECT_EQ(Polygon(Outline(PenJoinMiter, 1.0, 1.0), 1),
              (std::vector<P>{{224, 96}, {224, 224}, {160, 224}, {160, 96}, {192, 64}, {205, 64}, {224, 83},
                              {224, 96}, {224, 96}}));
    // Round, tolerance 2 on radius 32: ArcCos(1 - 2/32) = 0.3554, a quarter
    // turn takes Ceil(1.5708 / 0.3554) = 5 steps of 18 degrees.
    const std::vector<P> R = Polygon(Outline(PenJoinRound, 10.0, 2.0), 1);
    ASSERT_EQ(R.size(), 11u);
    EXPECT_EQ(R[4], (P{192, 64}));
    for (int J = 1; J < 5; ++J) {
        const double A = (-90.0 + 18.0 * J) * std::numbers::pi / 180.0;
        EXPECT_EQ(R[size_t(4 + J)], (P{std::llround(192 + 32 * std::cos(A)), std::llround(96 + 32 * std::sin(A))}));
    }
    EXPECT_EQ(R[9], (P{224, 96}));
    // Painted, the cut edge (205, 64)-(224, 83) leaves column 13 of row 4
    // k - 3 sub-samples on sub-rows 3..15 (78 of 256), column 12 250.
    TPic Cut(8, 20, 20);
    ASSERT_EQ(Stroke(Cut, LPath(), Pen(4, PenCapNone | PenJoinMiter, 255, 1.0)), 0);
    EXPECT_EQ(Pixels(Cut, {{13, 4}, {12, 4}, {13, 5}}),
              (std::vector<int>{(255 * 78) >> 8, (255 * 250) >> 8, (255 * 250) >> 8}));
}

TEST(DrawPathStroke, OverlapsAddUpAndClosedFiguresJoinAllRound)
{
    // Width 3 about y = 5 covers half of rows 3 and 6; there and back the
    // halves add up to full colour.
    const TrecPenData Pn = Pen(3, PenCapNone | PenJoinNone, 200);
    TPic Once(8, 12, 10), Twice(8, 12, 10), P(8, 16, 16);
    ASSERT_EQ(Stroke(Once, TPathMaker().M(2, 5).L(10, 5).Done(), Pn), 0);
    ASSERT_EQ(Stroke(Twice, TPathMaker().M(2, 5).L(10, 5).L(2, 5).Done(), Pn), 0);
    EXPECT_EQ(Pixels(Once, {{5, 3}, {5, 4}}), (std::vector<int>{(200 * 128) >> 8, 200}));
    EXPECT_EQ(Pixels(Twice, {{5, 3}, {5, 4}}), (std::vector<int>{200, 200}));
    // A closed square: four quads, a join at every corner (also where the figure closes), no caps.
    const TrecPath Sq = TPathMaker().M(4, 4).L(12, 4).L(12, 12).L(4, 12).Close().Done();
    TStrokeOutline O;
    MakeStrokeOutline(Sq, Pen(2, PenCapSquare | PenJoinMiter, 1), 16, 1.0, 0, 0, O);
    ASSERT_EQ(O.Starts.size(), 5u);
    for (size_t I = 0; I < 4; ++I)
        EXPECT_EQ(Polygon(O, I).size(), 8u) << I; // quad, bevel end, miter, start, close
    ASSERT_EQ(Stroke(P, Sq, Pen(2, PenCapSquare | PenJoinMiter, 255)), 0);
    EXPECT_EQ(Pixels(P, {{3, 3}, {12, 3}, {12, 12}, {3, 12}, {8, 8}, {2, 8}}),
              (std::vector<int>{255, 255, 255, 255, 0, 0}));
}

TEST(DrawPathStroke, BezierOutlineFollowsTheCurve)
{
    // A quarter circle of radius 160 around (0, 0), 8 wide: pixels within 2
    // of the curve are full, those 6 or more off it untouched.
    const double K = 0.5522847498 * 160;
    const TrecPath Arc = TPathMaker().M(160, 0).B(160, int32_t(K), int32_t(K), 160, 0, 160).Done();
    TStrokeOutline O;
    MakeStrokeOutline(Arc, Pen(8, PenCapNone | PenJoinRound, 1), 16, 1.0, 0, 0, O);
    EXPECT_EQ(O.Starts.size(), 3u); // one polygon per half
    for (const TDrawPathPoint& Q : O.Points) // 4 pixels (64 sub-samples) off the curve
        EXPECT_NEAR(std::fabs(std::hypot(double(Q.X), double(Q.Y)) / 16.0 - 160.0), 4.0, 0.35);
    TPic P(8, 170, 170);
    ASSERT_EQ(Stroke(P, Arc, Pen(8, PenCapNone | PenJoinRound, 255)), 0);
    for (int A = 3; A <= 87; A += 6) {
        const double T = A * std::numbers::pi / 180.0;
        auto At = [&](double R) { return P.At(int32_t(R * std::cos(T)), int32_t(R * std::sin(T))); };
        for (double R : {158.0, 160.0, 162.0})
            EXPECT_EQ(At(R), 255) << A << " " << R;
        EXPECT_EQ(At(154.0), 0) << A;
        EXPECT_EQ(At(166.0), 0) << A;
    }
}

TEST(DrawPathStroke, MatchesReferenceOfItsOutlineOnRandomPaths)
{
    // Each outline polygon is painted even-odd by itself and the coverages add.
    std::mt19937 G(31337);
    static const uint32_t Styles[] = {0, 0x100, 0x200, 0x1000, 0x2000, 0x3000, 0x2100, 0x1200};
    for (int Case = 0; Case < 300; ++Case) {
        const int32_t W = 1 + int32_t(G() % 40), H = 1 + int32_t(G() % 40);
        const int Bits = G() % 2 ? 8 : 24;
        const int32_t Left = int32_t(G() % 11) - 5, Top = int32_t(G() % 11) - 5;
        TrecPath Path = RandomPath(G, W, H, false);
        RecPathOffset(Path, Left, Top);
        const TrecPenData Pn =
            Pen(int32_t(G() % 9), Styles[G() % 8] | Styles[G() % 8], G() & 0xFFFFFF, 1.0 + (G() % 40) / 4.0);
        const double Tol = (G() % 3 + 1) * 1.5;
        TStrokeOutline O;
        MakeStrokeOutline(Path, Pn, 16, Tol, Left, Top, O);
        TPic P(Bits, W, H, Left, Top, uint8_t(G()));
        const std::vector<uint8_t> Expect = RefScan(P, 4, PenDataColor(Pn), OutlineSegs(O));
        ASSERT_EQ(Stroke(P, Path, Pn, Tol), 0) << "case " << Case;
        ASSERT_TRUE(P.Bytes() == Expect) << "case " << Case;
    }
}

TEST(DrawPathStroke, MatchesReferenceOfItsOutlineOnLargeShapes)
{
    // Wide pens on tall outlines: many overlapping polygons on every row.
    std::mt19937 G(6502);
    const TScene Scenes[] = {TScene::Blobs, TScene::Letters, TScene::Slivers, TScene::Crossing};
    for (int Case = 0; Case < 24; ++Case) {
        const int32_t W = 40 + int32_t(G() % 200), H = 17 + int32_t(G() % 90);
        const int32_t Left = int32_t(G() % 11) - 5, Top = int32_t(G() % 11) - 5;
        TrecPath Path = SceneOf(Scenes[Case % 4], G, W, H);
        RecPathOffset(Path, Left, Top);
        const TrecPenData Pn = Pen(1 + int32_t(G() % 12), Case % 3 == 0 ? 0x2100 : 0, G() & 0xFFFFFF);
        TStrokeOutline O;
        MakeStrokeOutline(Path, Pn, 16, 2.0, Left, Top, O);
        TPic P(Case % 2 ? 8 : 24, W, H, Left, Top, uint8_t(G()));
        const std::vector<uint8_t> Expect = RefScan(P, 4, PenDataColor(Pn), OutlineSegs(O));
        ASSERT_EQ(Stroke(P, Path, Pn, 2.0), 0) << "case " << Case;
        ASSERT_TRUE(P.Bytes() == Expect) << "case " << Case;
    }
}

TEST(DrawPathStroke, MalformedPathsRaiseTheirMessages)
{
    TPic P(8, 8, 8);
    const TrecPenData Pn = Pen(2, 0, 1);
    auto Msg = [&](const TrecPath& Path) {
        return BmpMessageOf([&] { RecPictureDrawPathAntiAlias(P.R, Path, Pn, 16, 1.0); });
    };
    EXPECT_EQ(Msg(TPathMaker().L(0, 0).L(5, 5).Done()), "RecPictureDrawPathAntiAlias: pabType[0] <> PT_MOVETO");
    EXPECT_EQ(Msg(TPathMaker().M(0, 0).T(5, 5, 8).Done()), "RecPictureDrawPathAntiAlias: pabType[iCntrPnt] Illegal");
    const TrecPath Cut = TPathMaker().M(0, 0).L(5, 5).T(6, 6, PT_BEZIERTO).T(7, 7, PT_BEZIERTO).Done();
    EXPECT_EQ(Msg(Cut), "RecPictureDrawPathAntiAlias: recPolyOver.pabType[iCntrPnt] <> PT_BezierTo");
    EXPECT_EQ(Stroke(P, Cut, Pn), DrawPathFailed);
}

TEST(DrawPathStroke, DoubledNodesAreSkipped)
{
    // A doubled end or middle node draws as without it.
    auto Draw = [](const TrecPath& Path) {
        TPic P(8, 24, 24);
        EXPECT_EQ(Stroke(P, Path, Pen(4, PenCapRound | PenJoinRound, 255)), 0);
        return P.Bytes();
    };
    const auto Plain = Draw(TPathMaker().M(4, 4).L(18, 4).L(18, 18).Done());
    const std::vector<uint8_t> Blank(Plain.size(), 0);
    EXPECT_EQ(Draw(TPathMaker().M(4, 4).L(18, 4).L(18, 18).L(18, 18).Done()), Plain);
    EXPECT_EQ(Draw(TPathMaker().M(4, 4).L(4, 4).L(18, 4).L(18, 4).L(18, 18).Done()), Plain);
    EXPECT_GT(std::count(Plain.begin(), Plain.end(), 255), 100);
    // A curve ending in its own control point still has a direction; a
    // figure of one repeated point draws nothing.
    EXPECT_NE(Draw(TPathMaker().M(4, 4).B(12, 4, 18, 18, 18, 18).Done()), Blank);
    EXPECT_EQ(Draw(TPathMaker().M(9, 9).L(9, 9).L(9, 9).Done()), Blank);
}

TEST(DrawPathStroke, ArcStepsAreBoundedForAnyTolerance)
{
    // A tolerance above twice the radius makes the round join one step (a
    // bevel); h = 8 on width 1 leaves no round cap at all.
    TStrokeOutline O;
    MakeStrokeOutline(LPath(), Pen(1, PenCapRound | PenJoinRound, 1), 16, 100.0, 0, 0, O);
    ASSERT_EQ(O.Starts.size(), 3u);
    EXPECT_EQ(Polygon(O, 1).size(), 7u);
    // A tolerance of 0, negative, NaN or tiny is bounded.
    for (double Tol : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(), 1e-300}) {
        MakeStrokeOutline(LPath(), Pen(8, PenCapRound | PenJoinRound, 1), 16, Tol, 0, 0, O);
        EXPECT_LE(O.Points.size(), 4u * 1030u) << Tol;
        for (const TDrawPathPoint& Q : O.Points)
            EXPECT_TRUE(std::abs(Q.X) < 1000 && std::abs(Q.Y) < 1000) << Tol;
        TPic P(8, 20, 20);
        EXPECT_EQ(Stroke(P, LPath(), Pen(8, PenCapRound | PenJoinRound, 255), Tol), 0);
        EXPECT_EQ(P.At(12, 6), 255);
    }
}

TEST(DrawPathStroke, HugeCoordinatesKeepTheLine)
{
    // A 45-degree line from far outside draws what a short piece of it draws.
    const TrecPenData Pn = Pen(3, PenCapNone | PenJoinMiter, 255);
    TPic Far(8, 40, 40), Near(8, 40, 40), H(8, 10, 10);
    ASSERT_EQ(Stroke(Far, TPathMaker().M(-1000000000, -1000000000).L(1000000000, 1000000000).Done(), Pn), 0);
    ASSERT_EQ(Stroke(Near, TPathMaker().M(-10, -10).L(50, 50).Done(), Pn), 0);
    EXPECT_EQ(Far.Bytes(), Near.Bytes());
    EXPECT_EQ(Far.At(20, 20), 255);
    // A horizontal line across the whole int32 range.
    ASSERT_EQ(Stroke(H, TPathMaker().M(-2147483647, 5).L(2147483647, 5).Done(), Pen(4, PenCapNone, 255)), 0);
    ExpectGrid(H, [](int32_t, int32_t Y) { return Y >= 3 && Y < 7 ? 255 : 0; });
}
