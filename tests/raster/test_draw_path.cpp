#include "raster/draw_path.h"

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
#include <functional>
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
        std::memset(R.pBits, Fill, Size());
    }
    ~TPic() { RecPictureClear(R); }
    TPic(const TPic&) = delete;
    TPic& operator=(const TPic&) = delete;
    size_t Size() const { return static_cast<size_t>(RecPictureGetImageSize(R)); }
    int32_t W() const { return RecPictureHeader(R)->biWidth; }
    int32_t H() const { return RecPictureHeader(R)->biHeight; }
    int32_t Bits() const { return RecPictureHeader(R)->biBitCount; }
    // Byte I of the pixel in column X of row Y (0 = top row).
    uint8_t At(int32_t X, int32_t Y, int I = 0) const
    {
        return GetDIBPixelPtr(RecPictureHeader(R), R.pBits, X, Y)[I];
    }
    std::vector<uint8_t> Bytes() const { return std::vector<uint8_t>(R.pBits, R.pBits + Size()); }
    void SetBytes(const std::vector<uint8_t>& B) { std::memcpy(R.pBits, B.data(), Size()); }
};

void AddPoint(TrecPath& P, int32_t X, int32_t Y, uint8_t Type)
{
    RecPolyLineSetCount(P, P.Count + 1);
    P.Points[static_cast<size_t>(P.Count - 1)] = TPoint{X, Y};
    P.pabType[static_cast<size_t>(P.Count - 1)] = Type;
}

struct TPathMaker {
    TrecPath P;
    TPathMaker& M(int32_t X, int32_t Y) { AddPoint(P, X, Y, PT_MOVETO); return *this; }
    TPathMaker& L(int32_t X, int32_t Y) { AddPoint(P, X, Y, PT_LINETO); return *this; }
    TPathMaker& B(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3)
    {
        AddPoint(P, X1, Y1, PT_BEZIERTO);
        AddPoint(P, X2, Y2, PT_BEZIERTO);
        AddPoint(P, X3, Y3, PT_BEZIERTO);
        return *this;
    }
    TPathMaker& Close()
    {
        P.pabType[static_cast<size_t>(P.Count - 1)] |= PT_CLOSEFIGURE;
        return *this;
    }
    TrecPath Done()
    {
        RecPathCalcBounds(P);
        return std::move(P);
    }
};

TrecPath Rect(int32_t L, int32_t T, int32_t R, int32_t B)
{
    return TPathMaker().M(L, T).L(R, T).L(R, B).L(L, B).Close().Done();
}

TrecPenData Pen(int32_t Width, uint32_t Style, uint32_t Color, double Miter = 10.0)
{
    TrecPenData P;
    std::memset(&P, 0, sizeof P);
    P.Style = Style;
    P.Width = Width;
    P.MiterLimit = Miter;
    SetPenDataColor(P, Color);
    return P;
}

TrecPenData FillPen(uint32_t Color)
{
    return Pen(1, 0, Color);
}

template <class E>
void ExpectThrowText(const std::function<void()>& F, const std::string& Text)
{
    try {
        F();
        ADD_FAILURE() << "no exception, expected: " << Text;
    } catch (const E& Ex) {
        EXPECT_EQ(std::string(Ex.what()), Text);
    }
}

// ---------------------------------------------------------------------------
// The plain reference of the scan rule, kept slow on purpose: edges join at
// their top sub-row, count their rows down and step x with the Bresenham
// loop one sub-row at a time; the crossings of each polygon are sorted and
// paired, and every covered sub-sample adds one to its pixel. With Direct the
// x of each row comes from the closed form instead of stepping (for edges too
// long to step), and scanning starts at row 0.

struct TRefSeg {
    int64_t Xa, Ya, Xb, Yb;
    int Poly;
};

void RefScan(std::vector<uint8_t>& Bytes, int32_t W, int32_t H, int32_t Bits, int K,
             uint32_t Color, const std::vector<TRefSeg>& Segs, bool Direct = false)
{
    struct TE {
        int64_t X, Top, Rows, TwoAdx, TwoDy, Err, X0, Adx, Dy;
        int Step, Poly;
    };
    const int64_t O = int64_t{1} << K;
    const int64_t HO = H * O;
    const int64_t WO = W * O;
    const int64_t Full = O * O;
    const int64_t Stride = GetDIBLineSize(W, Bits);
    std::vector<TE> Es;
    for (const TRefSeg& S : Segs) {
        int64_t Xa = S.Xa, Ya = S.Ya, Xb = S.Xb, Yb = S.Yb;
        if (Ya == Yb)
            continue;
        if (Ya > Yb) {
            std::swap(Xa, Xb);
            std::swap(Ya, Yb);
        }
        if (Yb < 0 || Ya > HO)
            continue;
        TE E;
        E.X = E.X0 = Xa;
        E.Top = Ya;
        E.Dy = E.Rows = Yb - Ya;
        E.Adx = std::llabs(Xb - Xa);
        E.TwoAdx = 2 * E.Adx;
        E.TwoDy = 2 * E.Dy;
        E.Err = -E.Dy;
        E.Step = Xb < Xa ? -1 : 1;
        E.Poly = S.Poly;
        Es.push_back(E);
    }
    if (Es.empty())
        return;
    std::sort(Es.begin(), Es.end(), [](const TE& A, const TE& B) { return A.Top < B.Top; });
    int64_t MinTop = Es[0].Top;
    int64_t MaxBottom = std::numeric_limits<int64_t>::min();
    for (const TE& E : Es)
        MaxBottom = std::max(MaxBottom, E.Top + E.Dy);
    const int64_t Last = std::min(MaxBottom, HO - 1);
    std::vector<int64_t> Cov(static_cast<size_t>(W), 0);
    std::vector<size_t> Active;
    size_t Next = 0;
    for (int64_t Y = Direct ? std::max<int64_t>(MinTop, 0) : MinTop; Y <= Last; ++Y) {
        while (Next < Es.size() && (Es[Next].Top == Y || (Direct && Es[Next].Top < Y)))
            Active.push_back(Next++);
        std::vector<std::pair<int, int64_t>> Cross;
        for (size_t I = 0; I < Active.size();) {
            TE& E = Es[Active[I]];
            if (Direct) {
                const int64_t Kr = Y - E.Top;
                if (Kr >= E.Dy) {
                    Active.erase(Active.begin() + static_cast<std::ptrdiff_t>(I));
                    continue;
                }
                const __int128 M = (__int128{2} * Kr * E.Adx + E.Dy) / (__int128{2} * E.Dy);
                Cross.push_back({E.Poly, E.X0 + E.Step * static_cast<int64_t>(M)});
            } else {
                if (E.Rows == 0) {
                    Active.erase(Active.begin() + static_cast<std::ptrdiff_t>(I));
                    continue;
                }
                --E.Rows;
                Cross.push_back({E.Poly, E.X});
                E.Err += E.TwoAdx;
                while (E.Err >= 0) {
                    E.X += E.Step;
                    E.Err -= E.TwoDy;
                }
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
                int64_t X0 = Cross[I].second;
                int64_t X1 = Cross[I + 1].second;
                I += 2;
                if (X1 < 0 || X0 >= WO)
                    continue;
                // The span ends before X1; clipping keeps that exclusive end,
                // so the last column is covered like any other.
                X0 = std::max<int64_t>(X0, 0);
                X1 = std::min(X1, WO);
                for (int64_t X = X0; X < X1; ++X)
                    ++Cov[static_cast<size_t>(X >> K)];
            }
        }
        if (Y >= 0 && ((Y & (O - 1)) == O - 1 || Y == Last)) {
            uint8_t* Row = Bytes.data() + (H - 1 - (Y >> K)) * Stride;
            const int Bytes1 = Bits / 8;
            const uint8_t C[3] = {uint8_t(Bits == 8 ? Color : Color >> 16), uint8_t(Color >> 8),
                                  uint8_t(Color)};
            for (int32_t P = 0; P < W; ++P) {
                const int64_t A = Cov[static_cast<size_t>(P)];
                for (int B = 0; B < Bytes1; ++B) {
                    uint8_t& D = Row[P * Bytes1 + B];
                    if (A >= Full)
                        D = C[B];
                    else if (A > 0)
                        D = static_cast<uint8_t>((C[B] * A + D * (Full - A)) >> (2 * K));
                }
                Cov[static_cast<size_t>(P)] = 0;
            }
        }
    }
}

// The segments of the path fill: scaled in 32 bits and flattened by the
// shared point-path flattener when the scaled path fits, else (straight
// paths only) flattened first and scaled in 64 bits.
std::vector<TRefSeg> RefFillSegs(const TrecPath& Path, int32_t Left, int32_t Top, int K,
                                 double Tol, bool Scale = true)
{
    const int64_t O = int64_t{1} << K;
    bool Fits = true;
    for (int32_t I = 0; I < Path.Count; ++I) {
        const TPoint& P = Path.Points[static_cast<size_t>(I)];
        const int64_t X = Scale ? (int64_t{P.X} - Left) * O : P.X;
        const int64_t Y = Scale ? (int64_t{P.Y} - Top) * O : P.Y;
        Fits = Fits && X == static_cast<int32_t>(X) && Y == static_cast<int32_t>(Y);
    }
    TrecPolyLine Src, Flat;
    RecPolyLineAssign(Src, Path, false);
    std::vector<TRefSeg> Segs;
    std::vector<std::pair<int64_t, int64_t>> Pts;
    if (Fits) {
        if (Scale)
            for (int32_t I = 0; I < Src.Count; ++I) {
                TPoint& P = Src.Points[static_cast<size_t>(I)];
                P = TPoint{int32_t((P.X - int64_t{Left}) * O), int32_t((P.Y - int64_t{Top}) * O)};
            }
        RecPolyLineFlatten(Src, Flat, true, Tol);
        for (int32_t I = 0; I < Flat.Count; ++I)
            Pts.push_back({Flat.Points[size_t(I)].X, Flat.Points[size_t(I)].Y});
    } else {
        for (int32_t I = 0; I < Src.Count; ++I)
            EXPECT_NE(PathPointKind(Src.pabType[size_t(I)]), PT_BEZIERTO);
        RecPolyLineFlatten(Src, Flat, true, Tol);
        for (int32_t I = 0; I < Flat.Count; ++I)
            Pts.push_back({(Flat.Points[size_t(I)].X - int64_t{Left}) * O,
                           (Flat.Points[size_t(I)].Y - int64_t{Top}) * O});
    }
    // Point i to i + 1 unless point i closes; a closing point that is not the
    // first point of its run (from the start or the last closing point) is
    // joined back to it.
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
            const TDrawPathPoint& A = Out.Points[size_t(J)];
            const TDrawPathPoint& B = Out.Points[size_t(J) + 1];
            Segs.push_back({A.X, A.Y, B.X, B.Y, int(I)});
        }
    return Segs;
}

std::vector<TDrawPathPoint> Polygon(const TStrokeOutline& Out, size_t I)
{
    return std::vector<TDrawPathPoint>(Out.Points.begin() + Out.Starts[I],
                                       Out.Points.begin() + Out.Starts[I + 1]);
}

// Pixels that differ between two pictures of the same size, for messages.
int CountDiff(const std::vector<uint8_t>& A, const std::vector<uint8_t>& B)
{
    int N = 0;
    for (size_t I = 0; I < A.size(); ++I)
        N += A[I] != B[I];
    return N;
}

// ---------------------------------------------------------------------------
// Random paths

int32_t Scaled(int64_t V, int32_t Scale)
{
    return int32_t(std::clamp<int64_t>(V * Scale, INT32_MIN, INT32_MAX));
}

int32_t RandCoord(std::mt19937& G, int32_t Size)
{
    switch (G() % 8) {
    case 0: return int32_t(G() % 400) - 200;               // far outside now and then
    case 1: return int32_t(G() % 3) - 1 + (G() % 2 ? 0 : Size); // hugging the edges
    default: return int32_t(G() % uint32_t(Size + 16)) - 8;
    }
}

// Figures of lines and curves, open or closed, self-intersecting at will;
// with Garbage, stray type bytes and truncated curves too.
TrecPath RandomPath(std::mt19937& G, int32_t W, int32_t H, bool Garbage, int32_t Scale = 1)
{
    TPathMaker M;
    const int Figures = 1 + int(G() % 4);
    for (int F = 0; F < Figures; ++F) {
        int32_t X = Scaled(RandCoord(G, W), Scale), Y = Scaled(RandCoord(G, H), Scale);
        M.M(X, Y);
        const int Segs = 1 + int(G() % 7);
        for (int S = 0; S < Segs; ++S) {
            auto Near = [&](int32_t V, int32_t Size) {
                // Sub-pixel features: points a pixel or less apart.
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
        const int N = int(G() % 3);
        for (int I = 0; I < N; ++I) {
            const size_t At = G() % size_t(M.P.Count);
            M.P.pabType[At] = uint8_t(G() % 8);
        }
        if (G() % 4 == 0)
            AddPoint(M.P, Scaled(RandCoord(G, W), Scale), Scaled(RandCoord(G, H), Scale), PT_BEZIERTO);
    }
    return M.Done();
}

// ---------------------------------------------------------------------------

TEST(DrawPath, AlignedSquareFillsWholePixelsOnly)
{
    for (int Bits : {8, 24})
        for (bool Aa : {true, false}) {
            TPic P(Bits, 16, 14, 100, 200);
            const TrecPath Sq = Rect(103, 202, 113, 212);
            ASSERT_EQ(DIBSectionDrawPath(P.R, Sq, FillPen(0x00405080), false, 1.0, Aa), 0);
            for (int32_t Y = 0; Y < 14; ++Y)
                for (int32_t X = 0; X < 16; ++X) {
                    const bool In = X >= 3 && X < 13 && Y >= 2 && Y < 12;
                    if (Bits == 8) {
                        EXPECT_EQ(P.At(X, Y), In ? 0x80 : 0) << X << "," << Y;
                    } else {
                        EXPECT_EQ(P.At(X, Y, 0), In ? 0x40 : 0) << X << "," << Y; // blue
                        EXPECT_EQ(P.At(X, Y, 1), In ? 0x50 : 0);
                        EXPECT_EQ(P.At(X, Y, 2), In ? 0x80 : 0); // red
                    }
                }
        }
}

TEST(DrawPath, HalfPixelEdgeGivesHalfCoverage)
{
    // Unscaled fill in sub-samples: the left edge runs through the middle of
    // column 2, so each of its 16 sub-rows covers 8 of 16 sub-samples: 128
    // of 256, and the colour mixes half and half (rounded down).
    TPic P8(8, 8, 4, 0, 0, 10);
    RecPictureFillPathAntiAlias(P8.R, Rect(40, 0, 96, 64), 200, 16, 1.0, false);
    EXPECT_EQ(P8.At(1, 0), 10);
    EXPECT_EQ(P8.At(2, 0), (200 * 128 + 10 * 128) >> 8); // 105
    EXPECT_EQ(P8.At(3, 3), 200);
    EXPECT_EQ(P8.At(5, 3), 200);
    EXPECT_EQ(P8.At(6, 3), 10);

    TPic P24(24, 8, 4, 0, 0, 30);
    RecPictureFillPathAntiAlias(P24.R, Rect(40, 0, 96, 64), 0x00FF8040, 16, 1.0, false);
    EXPECT_EQ(P24.At(2, 1, 0), (0xFF * 128 + 30 * 128) >> 8); // blue 142
    EXPECT_EQ(P24.At(2, 1, 1), (0x80 * 128 + 30 * 128) >> 8); // green 79
    EXPECT_EQ(P24.At(2, 1, 2), (0x40 * 128 + 30 * 128) >> 8); // red 47

    // A quarter pixel: half the width and half the height.
    TPic Q(8, 4, 4, 0, 0, 0);
    RecPictureFillPathAntiAlias(Q.R, Rect(24, 24, 48, 48), 255, 16, 1.0, false);
    EXPECT_EQ(Q.At(1, 1), (255 * 64) >> 8);
    EXPECT_EQ(Q.At(2, 1), (255 * 128) >> 8);
    EXPECT_EQ(Q.At(2, 2), 255);
}

TEST(DrawPath, EvenOddLeavesHolesAndOverlapsOpen)
{
    TPic P(8, 20, 20);
    // A square with a square inside, both turning the same way: the inner one
    // is a hole.
    TPathMaker M;
    M.M(2, 2).L(18, 2).L(18, 18).L(2, 18).Close();
    M.M(6, 6).L(14, 6).L(14, 14).L(6, 14).Close();
    ASSERT_EQ(DIBSectionDrawPath(P.R, M.Done(), FillPen(255), false, 1.0, true), 0);
    EXPECT_EQ(P.At(3, 3), 255);
    EXPECT_EQ(P.At(5, 10), 255);
    EXPECT_EQ(P.At(6, 6), 0);
    EXPECT_EQ(P.At(10, 10), 0);
    EXPECT_EQ(P.At(13, 13), 0);
    EXPECT_EQ(P.At(14, 14), 255);

    // Two overlapping squares in one figure list: the overlap is empty.
    TPic Q(8, 20, 20);
    TPathMaker N;
    N.M(0, 0).L(10, 0).L(10, 10).L(0, 10).Close();
    N.M(5, 5).L(15, 5).L(15, 15).L(5, 15).Close();
    ASSERT_EQ(DIBSectionDrawPath(Q.R, N.Done(), FillPen(255), false, 1.0, true), 0);
    EXPECT_EQ(Q.At(2, 2), 255);
    EXPECT_EQ(Q.At(7, 7), 0);
    EXPECT_EQ(Q.At(12, 12), 255);

    // An open bow tie is closed back to its start and crosses itself.
    TPic R(8, 20, 20);
    ASSERT_EQ(DIBSectionDrawPath(R.R, TPathMaker().M(0, 0).L(20, 20).L(20, 0).L(0, 20).Done(),
                                 FillPen(255), false, 1.0, true), 0);
    EXPECT_EQ(R.At(10, 3), 0);   // above the crossing: outside
    EXPECT_EQ(R.At(2, 10), 255);  // left wing
    EXPECT_EQ(R.At(17, 10), 255); // right wing
}

TEST(DrawPath, CloseBitAwayFromTheStartClosesTheFigure)
{
    // Two triangles whose close bit sits on their last corner, not on a copy
    // of the start: each is closed by itself, as with an explicit closing
    // point, instead of leaving one crossing per row to pair with the other
    // figure's.
    TPathMaker Bit, Explicit;
    Bit.M(1, 1).L(8, 1).L(1, 8).Close().M(11, 1).L(18, 1).L(11, 8).Close();
    Explicit.M(1, 1).L(8, 1).L(1, 8).L(1, 1).Close().M(11, 1).L(18, 1).L(11, 8).L(11, 1).Close();
    TPic A(8, 20, 10), B(8, 20, 10);
    ASSERT_EQ(DIBSectionDrawPath(A.R, Bit.Done(), FillPen(255), false, 1.0, true), 0);
    ASSERT_EQ(DIBSectionDrawPath(B.R, Explicit.Done(), FillPen(255), false, 1.0, true), 0);
    EXPECT_EQ(A.Bytes(), B.Bytes());
    EXPECT_EQ(A.At(2, 2), 255);
    EXPECT_EQ(A.At(9, 2), 0); // between the two figures
    EXPECT_EQ(A.At(12, 2), 255);
}

TEST(DrawPath, NothingForFlatOrDistantFigures)
{
    TPic P(8, 10, 10, 0, 0, 7);
    const std::vector<uint8_t> Before = P.Bytes();
    // Horizontal segments only.
    EXPECT_EQ(DIBSectionDrawPath(P.R, TPathMaker().M(0, 5).L(9, 5).L(2, 5).Close().Done(),
                                 FillPen(255), false, 1.0, true), 0);
    // Wholly above, below, left and right of the picture.
    EXPECT_EQ(DIBSectionDrawPath(P.R, Rect(0, -20, 10, -1), FillPen(255), false, 1.0, true), 0);
    EXPECT_EQ(DIBSectionDrawPath(P.R, Rect(0, 10, 10, 30), FillPen(255), false, 1.0, true), 0);
    EXPECT_EQ(DIBSectionDrawPath(P.R, Rect(-30, 0, 0, 10), FillPen(255), false, 1.0, true), 0);
    EXPECT_EQ(DIBSectionDrawPath(P.R, Rect(10, 0, 40, 10), FillPen(255), false, 1.0, true), 0);
    EXPECT_EQ(P.Bytes(), Before);
}

TEST(DrawPath, ClipsSpansAtBothSidesAndCoversTheLastColumn)
{
    // A span from left of the picture starts at column 0, and one that runs
    // past the right side covers the last column completely (clipping keeps
    // the span's exclusive end).
    for (bool Aa : {true, false}) {
        TPic P(8, 9, 3);
        ASSERT_EQ(DIBSectionDrawPath(P.R, Rect(-5, 1, 20, 2), FillPen(99), false, 1.0, Aa), 0);
        for (int32_t X = 0; X < 9; ++X) {
            EXPECT_EQ(P.At(X, 0), 0);
            EXPECT_EQ(P.At(X, 1), 99) << X;
            EXPECT_EQ(P.At(X, 2), 0);
        }
    }
}

TEST(DrawPath, AliasedFillTakesFullColourForTouchedPixels)
{
    // O = 1: a pixel is in or out. The triangle's rows cover [x0, x1).
    TPic P(8, 6, 4);
    RecPictureFillPathAntiAlias(P.R, TPathMaker().M(0, 0).L(4, 0).L(0, 4).Done(), 50, 1, 1.0, true);
    // Row y crosses the left edge at 0 and the slanted edge at 4 - y.
    for (int32_t Y = 0; Y < 4; ++Y)
        for (int32_t X = 0; X < 6; ++X)
            EXPECT_EQ(P.At(X, Y), X < 4 - Y ? 50 : 0) << X << "," << Y;
}

TEST(DrawPath, OverSampleMustBeAPowerOfTwo)
{
    TPic P(8, 4, 4);
    const TrecPath Sq = Rect(0, 0, 2, 2);
    ExpectThrowText<EUserError>([&] { RecPictureFillPathAntiAlias(P.R, Sq, 1, 3, 1.0, true); },
                                "RecPictureFillPathAntiAlias: iOverSample illegal.");
    ExpectThrowText<EUserError>([&] { RecPictureFillPathAntiAlias(P.R, Sq, 1, 0, 1.0, true); },
                                "RecPictureFillPathAntiAlias: iOverSample illegal.");
    ExpectThrowText<EUserError>(
        [&] { RecPictureFillConvexPolygon(P.R, {{0, 0}, {2, 0}, {2, 2}}, 1, 3); },
        "RecPictureFillConvexPolygon: iOverSample illegal.");
    ExpectThrowText<EUserError>(
        [&] { RecPictureDrawPathAntiAlias(P.R, Sq, Pen(2, 0, 1), 6, 1.0); },
        "RecPictureDrawPathAntiAlias: iOverSample illegal.");
    // Beyond 256 the coverage of a pixel would no longer fit; refused too.
    ExpectThrowText<EUserError>([&] { RecPictureFillPathAntiAlias(P.R, Sq, 1, 512, 1.0, true); },
                                "RecPictureFillPathAntiAlias: iOverSample illegal.");
    EXPECT_NO_THROW(RecPictureFillPathAntiAlias(P.R, Sq, 1, 256, 1.0, true));
    EXPECT_EQ(P.At(1, 1), 1);
}

TEST(DrawPath, RefusesOtherDepthsAndReportsNine)
{
    for (int Bits : {1, 4, 16, 32}) {
        TPic P(Bits, 8, 8, 0, 0, 0x5A);
        const std::vector<uint8_t> Before = P.Bytes();
        EXPECT_EQ(DIBSectionDrawPath(P.R, Rect(0, 0, 8, 8), FillPen(0xFFFFFF), false, 1.0, true),
                  DrawPathFailed);
        EXPECT_EQ(DIBSectionDrawPath(P.R, Rect(0, 0, 8, 8), Pen(3, 0, 0xFFFFFF), true, 1.0, true),
                  DrawPathFailed);
        EXPECT_EQ(P.Bytes(), Before);
        ExpectThrowText<EUserError>(
            [&] { RecPictureFillPathAntiAlias(P.R, Rect(0, 0, 8, 8), 1, 16, 1.0, true); },
            "RecPictureFillPathAntiAlias: biBitCount illegal (" + std::to_string(Bits) +
                "); only 8 and 24 bits can be drawn.");
    }
    TrecPicture Empty;
    EXPECT_EQ(DIBSectionDrawPath(Empty, Rect(0, 0, 8, 8), FillPen(1), false, 1.0, true),
              DrawPathFailed);
}

TEST(DrawPath, EmptyBoundsReturnZeroAtOnce)
{
    // Even a picture that would be refused is not looked at.
    TPic P(32, 4, 4, 0, 0, 3);
    TrecPath Path = TPathMaker().M(0, 0).L(4, 0).L(4, 4).Done();
    Path.Bounds = TRect{5, 0, 4, 4};
    EXPECT_EQ(DIBSectionDrawPath(P.R, Path, FillPen(255), false, 1.0, true), 0);
    Path.Bounds = TRect{0, 5, 4, 4};
    EXPECT_EQ(DIBSectionDrawPath(P.R, Path, FillPen(255), true, 1.0, true), 0);
    EXPECT_EQ(P.At(1, 1), 3);
}

TEST(DrawPath, FillMatchesReferenceOnRandomPaths)
{
    std::mt19937 G(12345);
    int Drawn = 0;
    for (int Case = 0; Case < 3000; ++Case) {
        const int32_t W = 1 + int32_t(G() % 40);
        const int32_t H = 1 + int32_t(G() % 30);
        const int Bits = G() % 2 ? 8 : 24;
        const bool Aa = G() % 6 != 0;
        const int K = Aa ? 4 : 0;
        const int32_t Left = int32_t(G() % 21) - 10;
        const int32_t Top = int32_t(G() % 21) - 10;
        static const double Tols[] = {0.25, 1.0, 4.0, 30.0};
        const double Tol = Tols[G() % 4];
        const uint32_t Color = G() & 0xFFFFFF;
        TrecPath Path = RandomPath(G, W, H, Case % 5 == 0);
        RecPathOffset(Path, Left, Top);
        TPic P(Bits, W, H, Left, Top, uint8_t(G()));
        std::vector<uint8_t> Expect = P.Bytes();
        RefScan(Expect, W, H, Bits, K, Color, RefFillSegs(Path, Left, Top, K, Tol));
        Drawn += Expect != P.Bytes();
        ASSERT_EQ(DIBSectionDrawPath(P.R, Path, FillPen(Color), false, Tol, Aa), 0);
        ASSERT_EQ(CountDiff(P.Bytes(), Expect), 0) << "case " << Case;
    }
    // The random paths mostly paint something.
    EXPECT_GT(Drawn, 2000);
}

TEST(DrawPath, UnscaledFillMatchesReferenceAtSubSamplePositions)
{
    // Without scaling the path is in sub-samples: vertices anywhere inside
    // pixels.
    std::mt19937 G(777);
    for (int Case = 0; Case < 1000; ++Case) {
        const int32_t W = 1 + int32_t(G() % 24);
        const int32_t H = 1 + int32_t(G() % 24);
        const TrecPath Path = RandomPath(G, W * 16, H * 16, false);
        TPic P(8, W, H, 0, 0, uint8_t(G()));
        std::vector<uint8_t> Expect = P.Bytes();
        RefScan(Expect, W, H, 8, 4, 0xC3, RefFillSegs(Path, 0, 0, 4, 1.0, false));
        RecPictureFillPathAntiAlias(P.R, Path, 0xC3, 16, 1.0, false);
        ASSERT_EQ(CountDiff(P.Bytes(), Expect), 0) << "case " << Case;
    }
}

TEST(DrawPath, EdgesFromFarAboveStartWhereSteppingWouldBring)
{
    // Edges that begin thousands of sub-rows above the picture, steep and
    // shallow, start at row 0 with the state of stepping them row by row.
    std::mt19937 G(99);
    for (int Case = 0; Case < 300; ++Case) {
        const int32_t W = 10 + int32_t(G() % 30), H = 10 + int32_t(G() % 20);
        TPathMaker M;
        const int N = 3 + int(G() % 4);
        M.M(int32_t(G() % 4000) - 2000, -int32_t(G() % 3000) - 1);
        for (int I = 1; I < N; ++I) {
            const bool Above = G() % 2;
            M.L(int32_t(G() % 200) - 80, Above ? -int32_t(G() % 3000) : int32_t(G() % uint32_t(H + 10)));
        }
        const TrecPath Path = M.Close().Done();
        TPic P(24, W, H, 0, 0, 0);
        std::vector<uint8_t> Expect = P.Bytes();
        RefScan(Expect, W, H, 24, 4, 0x123456, RefFillSegs(Path, 0, 0, 4, 1.0));
        ASSERT_EQ(DIBSectionDrawPath(P.R, Path, FillPen(0x123456), false, 1.0, true), 0);
        ASSERT_EQ(CountDiff(P.Bytes(), Expect), 0) << "case " << Case;
    }
}

TEST(DrawPath, HugeCoordinatesDoNotWrap)
{
    // Page coordinates near the int32 limits overflow 32 bits once scaled by
    // 16; the pixels must be those of exact arithmetic.
    TPic P(8, 12, 8);
    ASSERT_EQ(DIBSectionDrawPath(P.R, Rect(-2000000000, 2, 2000000000, 5), FillPen(255), false,
                                 1.0, true), 0);
    for (int32_t Y = 0; Y < 8; ++Y)
        for (int32_t X = 0; X < 12; ++X)
            EXPECT_EQ(P.At(X, Y), Y >= 2 && Y < 5 ? 255 : 0) << X << "," << Y;

    std::mt19937 G(4242);
    const int32_t Big[] = {2147483647, -2147483647 - 1, 2000000000, -1999999999, 1234567890};
    for (int Case = 0; Case < 400; ++Case) {
        const int32_t W = 5 + int32_t(G() % 30), H = 5 + int32_t(G() % 30);
        // The picture sits near the origin or far out at the edge of the range.
        const int32_t Left = G() % 3 ? int32_t(G() % 20) - 10 : Big[G() % 5] / 2;
        const int32_t Top = G() % 3 ? int32_t(G() % 20) - 10 : Big[G() % 5] / 2;
        auto Coord = [&](int32_t Origin, int32_t Size) -> int32_t {
            if (G() % 3 == 0)
                return Big[G() % 5];
            return int32_t(std::clamp<int64_t>(int64_t{Origin} + int32_t(G() % uint32_t(Size + 20)) - 10,
                                               INT32_MIN, INT32_MAX));
        };
        TPathMaker M;
        const int N = 3 + int(G() % 5);
        M.M(Coord(Left, W), Coord(Top, H));
        for (int I = 1; I < N; ++I)
            M.L(Coord(Left, W), Coord(Top, H));
        const TrecPath Path = M.Done();
        TPic Q(8, W, H, Left, Top, 0);
        std::vector<uint8_t> Expect = Q.Bytes();
        RefScan(Expect, W, H, 8, 4, 200, RefFillSegs(Path, Left, Top, 4, 1.0), true);
        ASSERT_EQ(DIBSectionDrawPath(Q.R, Path, FillPen(200), false, 1.0, true), 0);
        ASSERT_EQ(CountDiff(Q.Bytes(), Expect), 0) << "case " << Case;
    }
}

TEST(DrawPath, HugeCurvesFlattenWithoutWrapping)
{
    // A straight "curve" with control points a third and two thirds along,
    // from far left-above to far right-below: halved in 64 bits, its points
    // stay on the line, so it paints as the straight closed figure does, up
    // to the rounding of the halving points.
    const int32_t X[4] = {-1800000000, -600000000, 600000000, 1800000000};
    const int32_t Y[4] = {-900000000, -300000000, 300000000, 900000000};
    TPathMaker C;
    C.M(X[0], Y[0]).B(X[1], Y[1], X[2], Y[2], X[3], Y[3]).L(X[3], Y[0]).Close();
    TPathMaker S;
    S.M(X[0], Y[0]).L(X[3], Y[3]).L(X[3], Y[0]).Close();
    TPic A(8, 30, 30, -15, -15), B(8, 30, 30, -15, -15);
    ASSERT_EQ(DIBSectionDrawPath(A.R, C.Done(), FillPen(255), false, 1.0, true), 0);
    ASSERT_EQ(DIBSectionDrawPath(B.R, S.Done(), FillPen(255), false, 1.0, true), 0);
    int MaxDiff = 0;
    for (int32_t Y = 0; Y < 30; ++Y)
        for (int32_t X = 0; X < 30; ++X)
            MaxDiff = std::max(MaxDiff, std::abs(int(A.At(X, Y)) - int(B.At(X, Y))));
    EXPECT_LE(MaxDiff, 8);
    // The half-plane above the line y = x / 2 is filled: top right full,
    // bottom left empty.
    EXPECT_EQ(A.At(29, 0), 255);
    EXPECT_EQ(A.At(0, 29), 0);
}

TEST(DrawPath, ConvexPolygonRoundsHalfAwayFromZero)
{
    // Each point is moved to the picture at (-1, 0) and rounded half away
    // from zero before scaling.
    TPic P(8, 6, 6, -1, 0);
    RecPictureFillConvexPolygon(P.R, {{-0.5, 0.5}, {2.5, 0.5}, {2.5, 3.49}, {-0.5, 3.49}}, 77, 16);
    // x: -0.5 - (-1) = 0.5 -> 1; 2.5 + 1 = 3.5 -> 4. y: 0.5 -> 1; 3.49 -> 3.
    for (int32_t Y = 0; Y < 6; ++Y)
        for (int32_t X = 0; X < 6; ++X)
            EXPECT_EQ(P.At(X, Y), X >= 1 && X < 4 && Y >= 1 && Y < 3 ? 77 : 0) << X << "," << Y;

    // Random polygons against the reference on the rounded points.
    std::mt19937 G(5);
    for (int Case = 0; Case < 300; ++Case) {
        const int32_t W = 1 + int32_t(G() % 30), H = 1 + int32_t(G() % 30);
        const int K = G() % 2 ? 3 : 0;
        std::vector<TDPoint> Pts;
        std::vector<TRefSeg> Segs;
        const int N = 3 + int(G() % 6);
        for (int I = 0; I < N; ++I)
            Pts.push_back({(int(G() % 800) - 100) / 20.0, (int(G() % 800) - 100) / 20.0});
        for (int I = 0; I < N; ++I) {
            const TDPoint& A = Pts[size_t(I)];
            const TDPoint& B = Pts[size_t((I + 1) % N)];
            auto R = [&](double V) { return RoundOff(V) << K; };
            Segs.push_back({R(A.X), R(A.Y), R(B.X), R(B.Y), 0});
        }
        TPic Q(24, W, H);
        std::vector<uint8_t> Expect = Q.Bytes();
        RefScan(Expect, W, H, 24, K, 0xABCDEF, Segs);
        RecPictureFillConvexPolygon(Q.R, Pts, 0xABCDEF, 1 << K);
        ASSERT_EQ(CountDiff(Q.Bytes(), Expect), 0) << "case " << Case;
    }
}

TEST(DrawPath, HostileInputReturnsZeroOrNine)
{
    // Garbage types, coordinates anywhere in the int32 range, pens of any
    // width and miter ratio, tolerances of any sign: never a crash, never a
    // write outside the picture (the sanitizer builds check that).
    std::mt19937 G(2718);
    const double Tols[] = {-1.0, 0.0, 0.3, 5.0, 1e9, std::numeric_limits<double>::quiet_NaN()};
    const double Miters[] = {-5.0, 0.0, 1.0, 3.0, 1e300, std::numeric_limits<double>::quiet_NaN()};
    for (int Case = 0; Case < 400; ++Case) {
        TrecPath Path = RandomPath(G, 20, 20, true, Case % 4 == 0 ? 50000000 : 1);
        if (Case % 7 == 0)
            Path.Points[G() % size_t(Path.Count)] = TPoint{int32_t(G()), int32_t(G())};
        RecPathCalcBounds(Path);
        TPic P(G() % 2 ? 8 : 24, 1 + int32_t(G() % 20), 1 + int32_t(G() % 20), int32_t(G() % 9) - 4,
               int32_t(G() % 9) - 4);
        const int32_t Widths[] = {-3, 0, 1, 7, 100000, 2147483647};
        const TrecPenData Pn = Pen(Widths[G() % 6], uint32_t(G()), uint32_t(G()), Miters[G() % 6]);
        const int32_t R = DIBSectionDrawPath(P.R, Path, Pn, G() % 2, Tols[G() % 6], G() % 2);
        EXPECT_TRUE(R == 0 || R == DrawPathFailed) << "case " << Case;
    }
}

// ---------------------------------------------------------------------------
// Stroke

TEST(DrawPathStroke, FlatSquareAndRoundCapsOfAHorizontalLine)
{
    const TrecPath Line = TPathMaker().M(4, 8).L(14, 8).Done();
    // Width 4: rows 6..9 between the ends.
    auto Draw = [&](uint32_t Cap, double Tol, TPic& P) {
        ASSERT_EQ(DIBSectionDrawPath(P.R, Line, Pen(4, Cap, 255), true, Tol, true), 0);
    };
    TPic Flat(8, 20, 16), Square(8, 20, 16), Round(8, 20, 16), NoCap(8, 20, 16);
    Draw(PenCapNone, 1.0, Flat);
    Draw(PenCapSquare, 1.0, Square);
    Draw(PenCapRound, 1.0, Round);
    Draw(PenCapRound, 40.0, NoCap); // a tolerance beyond the half width: no round cap
    for (int32_t Y = 0; Y < 16; ++Y)
        for (int32_t X = 0; X < 20; ++X) {
            const bool Rows = Y >= 6 && Y < 10;
            EXPECT_EQ(Flat.At(X, Y), Rows && X >= 4 && X < 14 ? 255 : 0) << X << "," << Y;
            EXPECT_EQ(Square.At(X, Y), Rows && X >= 2 && X < 16 ? 255 : 0) << X << "," << Y;
            EXPECT_EQ(NoCap.At(X, Y), Flat.At(X, Y));
            if (X >= 4 && X < 14) {
                EXPECT_EQ(Round.At(X, Y), Flat.At(X, Y));
            }
        }
    // The round cap is a half disc of radius 2 around (14, 8): pixels well
    // inside are full, the rest follow the disc's area within the scan's
    // rounding.
    EXPECT_EQ(Round.At(14, 7), 255);
    EXPECT_EQ(Round.At(14, 8), 255);
    EXPECT_EQ(Round.At(16, 8), 0);
    EXPECT_EQ(Round.At(14, 5), 0);
    for (int32_t Y : {6, 7, 8, 9})
        for (int32_t X : {14, 15}) {
            // Area of the pixel inside the disc, by a fine grid.
            int In = 0;
            for (int I = 0; I < 400; ++I)
                for (int J = 0; J < 400; ++J) {
                    const double Px = X + (I + 0.5) / 400 - 14, Py = Y + (J + 0.5) / 400 - 8;
                    In += Px * Px + Py * Py <= 4.0;
                }
            const double Expect = 255.0 * In / 160000.0;
            EXPECT_NEAR(Round.At(X, Y), Expect, 12.0) << X << "," << Y;
            EXPECT_NEAR(Round.At(3 - (X - 14), Y), Expect, 12.0) << "start cap " << X << "," << Y;
        }
}

// The L from (4, 6) right to (12, 6), then down to (12, 14), width 4, at
// 16 sub-samples: the corner is (192, 96), the half width 32.
TrecPath LPath()
{
    return TPathMaker().M(4, 6).L(12, 6).L(12, 14).Done();
}

TEST(DrawPathStroke, JoinPointsOfEachStyle)
{
    auto Outline = [](uint32_t Style, double Miter, double Tol) {
        TStrokeOutline O;
        MakeStrokeOutline(LPath(), Pen(4, PenCapNone | Style, 1, Miter), 16, Tol, 0, 0, O);
        return O;
    };
    using P = TDrawPathPoint;
    // The first segment's quadrilateral: offset by (0, -32) and (0, +32).
    TStrokeOutline None = Outline(PenJoinNone, 10.0, 1.0);
    ASSERT_EQ(None.Starts.size(), 3u);
    EXPECT_EQ(Polygon(None, 0), (std::vector<P>{{64, 64}, {192, 64}, {192, 128}, {64, 128}, {64, 64}}));
    EXPECT_EQ(Polygon(None, 1),
              (std::vector<P>{{224, 96}, {224, 224}, {160, 224}, {160, 96}, {224, 96}}));
    // A right turn: the outer side is above and right; the join points go
    // between the second quad's start offsets, from the first segment's end
    // offset (192, 64) to the second's start offset (224, 96).
    EXPECT_EQ(Polygon(Outline(PenJoinBevel, 10.0, 1.0), 1),
              (std::vector<P>{{224, 96}, {224, 224}, {160, 224}, {160, 96}, {192, 64}, {224, 96},
                              {224, 96}}));
    EXPECT_EQ(Polygon(Outline(PenJoinMiter, 10.0, 1.0), 1),
              (std::vector<P>{{224, 96}, {224, 224}, {160, 224}, {160, 96}, {192, 64}, {224, 64},
                              {224, 96}, {224, 96}}));
    // Ratio 1: the limit is the half width (32), the miter point lies
    // 32 sqrt 2 away, so the tip is cut square 32 from the corner: the cut
    // x - y = 141.25 meets y = 64 at 205.25 and x = 224 at 82.75 (rounded).
    EXPECT_EQ(Polygon(Outline(PenJoinMiter, 1.0, 1.0), 1),
              (std::vector<P>{{224, 96}, {224, 224}, {160, 224}, {160, 96}, {192, 64}, {205, 64},
                              {224, 83}, {224, 96}, {224, 96}}));
    // Round, tolerance 2 on radius 32: ArcCos(1 - 2/32) = 0.3554, a quarter
    // turn takes Ceil(1.5708 / 0.3554) = 5 steps of 18 degrees.
    const std::vector<P> R = Polygon(Outline(PenJoinRound, 10.0, 2.0), 1);
    ASSERT_EQ(R.size(), 5u + 6u);
    EXPECT_EQ(R[4], (P{192, 64}));
    for (int J = 1; J < 5; ++J) {
        const double A = (-90.0 + 18.0 * J) * std::numbers::pi / 180.0;
        EXPECT_EQ(R[size_t(4 + J)], (P{std::llround(192 + 32 * std::cos(A)), std::llround(96 + 32 * std::sin(A))}));
    }
    EXPECT_EQ(R[9], (P{224, 96}));
}

TEST(DrawPathStroke, JoinCoverageAtTheCorner)
{
    auto Draw = [](uint32_t Join, double Miter) {
        auto P = std::make_unique<TPic>(8, 20, 20);
        EXPECT_EQ(DIBSectionDrawPath(P->R, LPath(), Pen(4, PenCapNone | Join, 255, Miter), true,
                                     1.0, true), 0);
        return P;
    };
    // The outer corner square is columns 12, 13 by rows 4, 5.
    auto Bevel = Draw(PenJoinBevel, 10.0);
    // The bevel runs from (192, 64) to (224, 96); on sub-row 64 + k it
    // covers 192 - k .. 192 + k, so columns 12 (rows 4) and 13 (row 5) get
    // 0 + 1 + ... + 15 = 120 of 256.
    EXPECT_EQ(Bevel->At(12, 4), (255 * 120) >> 8);
    EXPECT_EQ(Bevel->At(13, 5), (255 * 120) >> 8);
    EXPECT_EQ(Bevel->At(13, 4), 0);
    EXPECT_EQ(Bevel->At(12, 5), 255);
    EXPECT_EQ(Bevel->At(11, 4), 255); // the first quad and the join overlap: capped at full

    auto Miter = Draw(PenJoinMiter, 10.0);
    for (int32_t Y : {4, 5})
        for (int32_t X : {12, 13})
            EXPECT_EQ(Miter->At(X, Y), 255);

    // Cut at the limit: the edge (205, 64)-(224, 83) leaves column 13 of row 4
    // with (k - 3) sub-samples on sub-rows k = 3..15 (78) and column 12 with
    // 13 + 14 + 15 + 13 x 16 = 250.
    auto Cut = Draw(PenJoinMiter, 1.0);
    EXPECT_EQ(Cut->At(13, 4), (255 * 78) >> 8);
    EXPECT_EQ(Cut->At(12, 4), (255 * 250) >> 8);
    EXPECT_EQ(Cut->At(13, 5), (255 * 250) >> 8);

    // Without a join the corner square stays empty.
    auto None = Draw(PenJoinNone, 10.0);
    EXPECT_EQ(None->At(12, 4), 0);
    EXPECT_EQ(None->At(13, 5), 0);
    EXPECT_EQ(None->At(12, 5), 0);
    EXPECT_EQ(None->At(11, 5), 255);
    EXPECT_EQ(None->At(12, 6), 255);

    // The round join lies between bevel and miter.
    auto Round = Draw(PenJoinRound, 10.0);
    EXPECT_GT(Round->At(12, 4), Bevel->At(12, 4));
    EXPECT_LT(Round->At(13, 4), 255);
    EXPECT_GT(Round->At(13, 4), 0);
}

TEST(DrawPathStroke, OverlappingPiecesAddUp)
{
    // Width 3: the stroke of (2, 5)-(10, 5) covers half of rows 3 and 6.
    // Going there and back draws the same quad twice: the halves add up to
    // full colour; where both cover completely it stays the colour.
    const TrecPenData P = Pen(3, PenCapNone | PenJoinNone, 200);
    TPic Once(8, 12, 10), Twice(8, 12, 10);
    ASSERT_EQ(DIBSectionDrawPath(Once.R, TPathMaker().M(2, 5).L(10, 5).Done(), P, true, 1.0, true), 0);
    ASSERT_EQ(DIBSectionDrawPath(Twice.R, TPathMaker().M(2, 5).L(10, 5).L(2, 5).Done(), P, true, 1.0,
                                 true), 0);
    EXPECT_EQ(Once.At(5, 3), (200 * 128) >> 8);
    EXPECT_EQ(Once.At(5, 4), 200);
    EXPECT_EQ(Twice.At(5, 3), 200);
    EXPECT_EQ(Twice.At(5, 6), 200);
    EXPECT_EQ(Twice.At(5, 4), 200);
}

TEST(DrawPathStroke, ClosedFiguresJoinAllRoundWithoutCaps)
{
    // A closed square: four quads, a join at every corner (also where the
    // figure closes) and no caps.
    TStrokeOutline O;
    const TrecPath Sq = TPathMaker().M(4, 4).L(12, 4).L(12, 12).L(4, 12).Close().Done();
    MakeStrokeOutline(Sq, Pen(2, PenCapSquare | PenJoinMiter, 1), 16, 1.0, 0, 0, O);
    ASSERT_EQ(O.Starts.size(), 5u);
    for (size_t I = 0; I < 4; ++I)
        EXPECT_EQ(Polygon(O, I).size(), 4u + 3u + 1u) << I; // quad, bevel end, miter, start, close
    TPic P(8, 16, 16);
    ASSERT_EQ(DIBSectionDrawPath(P.R, Sq, Pen(2, PenCapSquare | PenJoinMiter, 255), true, 1.0, true), 0);
    // Every outer corner pixel is full, the inside and outside empty.
    for (TPoint C : {TPoint{3, 3}, TPoint{12, 3}, TPoint{12, 12}, TPoint{3, 12}})
        EXPECT_EQ(P.At(C.X, C.Y), 255) << C.X << "," << C.Y;
    EXPECT_EQ(P.At(8, 8), 0);
    EXPECT_EQ(P.At(2, 8), 0);
    EXPECT_EQ(P.At(8, 2), 0);
}

TEST(DrawPathStroke, BezierOutlineFollowsTheCurve)
{
    // A quarter circle of radius 160 (page units) around (0, 0) from (160, 0)
    // to (0, 160), drawn 8 wide: the pixels within 2 of the curve are full,
    // those 6 or more off it untouched (a pixel reaches 1.42 from a point).
    const double K = 0.5522847498 * 160;
    const TrecPath Arc = TPathMaker().M(160, 0).B(160, int32_t(K), int32_t(K), 160, 0, 160).Done();
    TStrokeOutline O;
    MakeStrokeOutline(Arc, Pen(8, PenCapNone | PenJoinRound, 1), 16, 1.0, 0, 0, O);
    EXPECT_EQ(O.Starts.size(), 3u); // one polygon per half
    TPic P(8, 170, 170);
    ASSERT_EQ(DIBSectionDrawPath(P.R, Arc, Pen(8, PenCapNone | PenJoinRound, 255), true, 1.0, true), 0);
    for (int A = 3; A <= 87; A += 6) {
        const double T = A * std::numbers::pi / 180.0;
        auto At = [&](double R) {
            return P.At(int32_t(std::floor(R * std::cos(T))), int32_t(std::floor(R * std::sin(T))));
        };
        EXPECT_EQ(At(160.0), 255) << A;
        EXPECT_EQ(At(158.0), 255) << A;
        EXPECT_EQ(At(162.0), 255) << A;
        EXPECT_EQ(At(154.0), 0) << A;
        EXPECT_EQ(At(166.0), 0) << A;
    }
    // The outline points lie 4 pixels (64 sub-samples) off the curve.
    for (const TDrawPathPoint& Q : O.Points) {
        const double R = std::hypot(double(Q.X), double(Q.Y)) / 16.0;
        EXPECT_NEAR(std::fabs(R - 160.0), 4.0, 0.35);
    }
}

TEST(DrawPathStroke, TwentyFourBitsTakeTheColourBytes)
{
    TPic P(24, 10, 10, 0, 0, 0);
    ASSERT_EQ(DIBSectionDrawPath(P.R, TPathMaker().M(1, 5).L(9, 5).Done(),
                                 Pen(2, PenCapNone, 0x00112233), true, 1.0, true), 0);
    EXPECT_EQ(P.At(5, 4, 0), 0x11);
    EXPECT_EQ(P.At(5, 4, 1), 0x22);
    EXPECT_EQ(P.At(5, 4, 2), 0x33);
    EXPECT_EQ(P.At(5, 6, 0), 0);
    // Aliased: the same rows, every pixel the colour or untouched.
    TPic Q(24, 10, 10, 0, 0, 0);
    ASSERT_EQ(DIBSectionDrawPath(Q.R, TPathMaker().M(1, 5).L(9, 5).Done(),
                                 Pen(2, PenCapNone, 0x00112233), true, 1.0, false), 0);
    for (int32_t Y = 0; Y < 10; ++Y)
        for (int32_t X = 0; X < 10; ++X)
            EXPECT_EQ(Q.At(X, Y, 2), Y >= 4 && Y < 6 && X >= 1 && X < 9 ? 0x33 : 0) << X << "," << Y;
}

TEST(DrawPathStroke, MatchesReferenceOfItsOutlineOnRandomPaths)
{
    // The stroke paints each outline polygon even-odd by itself and adds the
    // coverages; the reference scans the same polygons.
    std::mt19937 G(31337);
    static const uint32_t Styles[] = {0, 0x100, 0x200, 0x1000, 0x2000, 0x3000, 0x2100, 0x1200};
    for (int Case = 0; Case < 600; ++Case) {
        const int32_t W = 1 + int32_t(G() % 40), H = 1 + int32_t(G() % 40);
        const int Bits = G() % 2 ? 8 : 24;
        const int32_t Left = int32_t(G() % 11) - 5, Top = int32_t(G() % 11) - 5;
        TrecPath Path = RandomPath(G, W, H, false);
        RecPathOffset(Path, Left, Top);
        const TrecPenData Pn = Pen(int32_t(G() % 9), Styles[G() % 8] | Styles[G() % 8], G() & 0xFFFFFF,
                                   1.0 + (G() % 40) / 4.0);
        const double Tol = (G() % 3 + 1) * 1.5;
        TStrokeOutline O;
        MakeStrokeOutline(Path, Pn, 16, Tol, Left, Top, O);
        TPic P(Bits, W, H, Left, Top, uint8_t(G()));
        std::vector<uint8_t> Expect = P.Bytes();
        RefScan(Expect, W, H, Bits, 4, PenDataColor(Pn), OutlineSegs(O));
        ASSERT_EQ(DIBSectionDrawPath(P.R, Path, Pn, true, Tol, true), 0) << "case " << Case;
        ASSERT_EQ(CountDiff(P.Bytes(), Expect), 0) << "case " << Case;
    }
}

TEST(DrawPathStroke, MalformedPathsRaiseThePartMessages)
{
    TPic P(8, 8, 8);
    const TrecPenData Pn = Pen(2, 0, 1);
    ExpectThrowText<EUserError>(
        [&] { RecPictureDrawPathAntiAlias(P.R, TPathMaker().L(0, 0).L(5, 5).Done(), Pn, 16, 1.0); },
        "RecPictureDrawPathAntiAlias: pabType[0] <> PT_MOVETO");
    TrecPath Bad = TPathMaker().M(0, 0).L(5, 5).Done();
    Bad.pabType[1] = 8;
    ExpectThrowText<EUserError>([&] { RecPictureDrawPathAntiAlias(P.R, Bad, Pn, 16, 1.0); },
                                "RecPictureDrawPathAntiAlias: pabType[iCntrPnt] Illegal");
    TrecPath Cut = TPathMaker().M(0, 0).L(5, 5).Done();
    AddPoint(Cut, 6, 6, PT_BEZIERTO);
    AddPoint(Cut, 7, 7, PT_BEZIERTO);
    RecPathCalcBounds(Cut);
    ExpectThrowText<EUserError>(
        [&] { RecPictureDrawPathAntiAlias(P.R, Cut, Pn, 16, 1.0); },
        "RecPictureDrawPathAntiAlias: recPolyOver.pabType[iCntrPnt] <> PT_BezierTo");
    EXPECT_EQ(DIBSectionDrawPath(P.R, Cut, Pn, true, 1.0, true), DrawPathFailed);
}

TEST(DrawPathStroke, DoubledNodesAreSkipped)
{
    // A doubled end node, a doubled middle node, a zero-length closing line
    // and a curve ending in its own control point draw as without them.
    const TrecPenData Pn = Pen(4, PenCapRound | PenJoinRound, 255);
    auto Draw = [&](const TrecPath& Path) {
        TPic P(8, 24, 24);
        EXPECT_EQ(DIBSectionDrawPath(P.R, Path, Pn, true, 1.0, true), 0);
        return P.Bytes();
    };
    const auto Plain = Draw(TPathMaker().M(4, 4).L(18, 4).L(18, 18).Done());
    EXPECT_EQ(Draw(TPathMaker().M(4, 4).L(18, 4).L(18, 18).L(18, 18).Done()), Plain);
    EXPECT_EQ(Draw(TPathMaker().M(4, 4).L(4, 4).L(18, 4).L(18, 4).L(18, 18).Done()), Plain);
    EXPECT_GT(std::count(Plain.begin(), Plain.end(), 255), 100);
    // A curve whose last control point is its end: it still has a direction.
    EXPECT_NE(Draw(TPathMaker().M(4, 4).B(12, 4, 18, 18, 18, 18).Done()),
              std::vector<uint8_t>(Plain.size(), 0));
    // A single point, or a figure of one repeated point, draws nothing.
    EXPECT_EQ(Draw(TPathMaker().M(9, 9).L(9, 9).L(9, 9).Done()), std::vector<uint8_t>(Plain.size(), 0));
}

TEST(DrawPathStroke, ArcStepsAreBoundedForAnyTolerance)
{
    // A tolerance above twice the radius (ArcCos of less than -1) makes the
    // round join one step, a bevel; a tolerance of 0 or a NaN is bounded.
    TStrokeOutline O;
    MakeStrokeOutline(LPath(), Pen(1, PenCapRound | PenJoinRound, 1), 16, 100.0, 0, 0, O);
    // h = 8: the round cap needs a tolerance at most 8, so none here.
    ASSERT_EQ(O.Starts.size(), 3u);
    EXPECT_EQ(Polygon(O, 1).size(), 4u + 2u + 1u);
    for (const TDrawPathPoint& Q : O.Points)
        EXPECT_TRUE(std::abs(Q.X) < 1000 && std::abs(Q.Y) < 1000);

    for (double Tol : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(), 1e-300}) {
        MakeStrokeOutline(LPath(), Pen(8, PenCapRound | PenJoinRound, 1), 16, Tol, 0, 0, O);
        EXPECT_LE(O.Points.size(), 4u * 1030u) << Tol;
        for (const TDrawPathPoint& Q : O.Points)
            EXPECT_TRUE(std::abs(Q.X) < 1000 && std::abs(Q.Y) < 1000) << Tol;
        TPic P(8, 20, 20);
        EXPECT_EQ(DIBSectionDrawPath(P.R, LPath(), Pen(8, PenCapRound | PenJoinRound, 255), true,
                                     Tol, true), 0);
        EXPECT_EQ(P.At(12, 6), 255);
    }
}

TEST(DrawPathStroke, HugeCoordinatesKeepTheLine)
{
    // A 45-degree line from far outside draws exactly what a short piece of
    // the same line draws.
    const TrecPenData Pn = Pen(3, PenCapNone | PenJoinMiter, 255);
    TPic Far(8, 40, 40), Near(8, 40, 40);
    ASSERT_EQ(DIBSectionDrawPath(Far.R, TPathMaker().M(-1000000000, -1000000000).L(1000000000, 1000000000).Done(),
                                 Pn, true, 1.0, true), 0);
    ASSERT_EQ(DIBSectionDrawPath(Near.R, TPathMaker().M(-10, -10).L(50, 50).Done(), Pn, true, 1.0, true), 0);
    EXPECT_EQ(Far.Bytes(), Near.Bytes());
    EXPECT_EQ(Far.At(20, 20), 255);
    // A horizontal line across the whole int32 range.
    TPic H(8, 10, 10);
    ASSERT_EQ(DIBSectionDrawPath(H.R, TPathMaker().M(-2147483647, 5).L(2147483647, 5).Done(),
                                 Pen(4, PenCapNone, 255), true, 1.0, true), 0);
    for (int32_t Y = 0; Y < 10; ++Y)
        for (int32_t X = 0; X < 10; ++X)
            EXPECT_EQ(H.At(X, Y), Y >= 3 && Y < 7 ? 255 : 0);
}

} // namespace
