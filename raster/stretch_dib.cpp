#include "raster/stretch_dib.h"

#include "foundation/numbers.h"
#include "foundation/user_error.h"
#include "raster/bmp_conv.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Exact N div D by multiply and shift, for N <= 256 x D (all the quotients
// here are 0..255 channel values). Large divisors fall back to division.
class TDivider {
public:
    explicit TDivider(uint64_t D)
        : FD(D), FFast(D < (uint64_t{1} << 20)), FM(FFast ? (uint64_t{1} << 48) / D + 1 : 0)
    {
    }
    uint64_t operator()(uint64_t N) const { return FFast ? (N * FM) >> 48 : N / FD; }

private:
    uint64_t FD;
    bool FFast;
    uint64_t FM;
};

inline uint8_t Clamp255(int32_t V)
{
    return static_cast<uint8_t>(V < 0 ? 0 : (V > 255 ? 255 : V));
}

inline uint8_t BlendByte(uint32_t S, uint32_t D, uint32_t M)
{
    return static_cast<uint8_t>((S * M + D * (255 - M) + 255) >> 8);
}

// The end-point-aligned source index of destination index I: first and last
// pixels line up. An extent of 1 has only index 0.
inline int32_t AlignedIndex(int32_t I, int32_t SrcExt, int32_t DstExt)
{
    if (DstExt <= 1)
        return 0;
    return static_cast<int32_t>(int64_t{I} * (SrcExt - 1) / (DstExt - 1));
}

// ---------------------------------------------------------------- copy

template <int B>
void CopyBlend(const uint8_t* S, int64_t LineS, uint8_t* D, int64_t LineD, int32_t W, int32_t H,
               const uint8_t* M, int64_t LineM)
{
    for (int32_t Y = 0; Y < H; ++Y, S -= LineS, D -= LineD, M -= LineM) {
        for (int32_t X = 0; X < W; ++X) {
            const uint32_t A = M[X];
            for (int C = 0; C < B; ++C)
                D[X * B + C] = BlendByte(S[X * B + C], D[X * B + C], A);
        }
    }
}

// ---------------------------------------------------------------- whole-factor reductions

template <int B>
void ReduceSample(const uint8_t* S, int64_t LineS, uint8_t* D, int64_t LineD, int32_t WD,
                  int32_t HD, int32_t FX, int32_t FY)
{
    const int64_t Step = int64_t{FX} * B;
    for (int32_t J = 0; J < HD; ++J, D -= LineD) {
        const uint8_t* Row = S - int64_t{J} * FY * LineS;
        uint8_t* Out = D;
        for (int32_t I = 0; I < WD; ++I, Row += Step, Out += B)
            std::memcpy(Out, Row, B);
    }
}

// V sums the FY rows per byte, H the FX x FY block per channel.
template <int B, class V, class H>
void ReduceAverage(const uint8_t* S, int64_t LineS, uint8_t* D, int64_t LineD, int32_t WD,
                   int32_t HD, int32_t FX, int32_t FY)
{
    const size_t N = static_cast<size_t>(WD) * FX * B;
    std::vector<V> Acc(N);
    V* A = Acc.data();
    const TDivider Div(uint64_t(FX) * uint64_t(FY));
    for (int32_t J = 0; J < HD; ++J, D -= LineD) {
        const uint8_t* Row = S - int64_t{J} * FY * LineS;
        for (size_t K = 0; K < N; ++K)
            A[K] = Row[K];
        for (int32_t R = 1; R < FY; ++R) {
            Row -= LineS;
            for (size_t K = 0; K < N; ++K)
                A[K] = static_cast<V>(A[K] + Row[K]);
        }
        const V* P = A;
        uint8_t* Out = D;
        if (FX == 1) {
            for (size_t K = 0; K < N; ++K)
                Out[K] = static_cast<uint8_t>(Div(P[K]));
            continue;
        }
        for (int32_t I = 0; I < WD; ++I, Out += B) {
            H Sum[B];
            for (int C = 0; C < B; ++C)
                Sum[C] = P[C];
            P += B;
            for (int32_t K = 1; K < FX; ++K, P += B)
                for (int C = 0; C < B; ++C)
                    Sum[C] += P[C];
            for (int C = 0; C < B; ++C)
                Out[C] = static_cast<uint8_t>(Div(Sum[C]));
        }
    }
}

// ---------------------------------------------------------------- area averaging

// Source taps of each destination pixel along one axis, as the running
// accumulation defines them: the carried-over part of the pixel that ended
// the previous destination pixel, whole pixels weighted by the destination
// extent, and the part of the pixel that ends this one. The taps of one
// destination pixel are consecutive source pixels; every destination pixel
// gets the same number K of them (zero weights pad), so the inner loop has
// a fixed length.
struct TAreaTaps {
    int32_t K = 0;
    std::vector<int32_t> Start;  // first source pixel, per destination pixel
    std::vector<uint32_t> W;     // K weights per destination pixel
};

TAreaTaps MakeAreaTaps(int32_t SrcExt, int32_t DstExt)
{
    // Pairs of (source pixel, weight) in the order the accumulation adds them.
    std::vector<int32_t> Begin;
    std::vector<int32_t> Src;
    std::vector<uint32_t> Wt;
    Begin.reserve(static_cast<size_t>(DstExt) + 1);
    Src.reserve(static_cast<size_t>(SrcExt) + DstExt);
    Wt.reserve(static_cast<size_t>(SrcExt) + DstExt);
    Begin.push_back(0);
    int64_t P = 0;
    for (int32_t S = 0; S < SrcExt; ++S) {
        if (P + DstExt < SrcExt) {
            Src.push_back(S);
            Wt.push_back(static_cast<uint32_t>(DstExt));
            P += DstExt;
        } else {
            Src.push_back(S);
            Wt.push_back(static_cast<uint32_t>(SrcExt - P));
            Begin.push_back(static_cast<int32_t>(Src.size()));
            P = P + DstExt - SrcExt;
            if (P > 0) {
                Src.push_back(S);
                Wt.push_back(static_cast<uint32_t>(P));
            }
        }
    }
    TAreaTaps T;
    for (int32_t I = 0; I < DstExt; ++I)
        T.K = std::max(T.K, Begin[I + 1] - Begin[I]);
    T.Start.resize(static_cast<size_t>(DstExt));
    T.W.assign(static_cast<size_t>(DstExt) * T.K, 0);
    for (int32_t I = 0; I < DstExt; ++I) {
        // Moved left where the fixed span would run past the last pixel.
        const int32_t First = Src[Begin[I]];
        const int32_t Start = std::min(First, SrcExt - T.K);
        T.Start[I] = Start;
        for (int32_t J = Begin[I]; J < Begin[I + 1]; ++J)
            T.W[static_cast<size_t>(I) * T.K + (Src[J] - Start)] = Wt[J];
    }
    return T;
}

template <int B, class A, int FixedK>
void AreaHorizontal(const uint8_t* Row, const TAreaTaps& T, int32_t WD, int32_t WS,
                    const TDivider& Div, uint8_t* Out)
{
    const int32_t K = FixedK > 0 ? FixedK : T.K;
    const A Half = static_cast<A>(WS / 2);
    const int32_t* Start = T.Start.data();
    const uint32_t* W = T.W.data();
    for (int32_t I = 0; I < WD; ++I, Out += B, W += K) {
        const uint8_t* P = Row + int64_t{Start[I]} * B;
        if constexpr (B == 3) {
            A S0 = 0, S1 = 0, S2 = 0;
#pragma GCC unroll 8
            for (int32_t J = 0; J < K; ++J, P += 3) {
                const A Wj = W[J];
                S0 += P[0] * Wj;
                S1 += P[1] * Wj;
                S2 += P[2] * Wj;
            }
            Out[0] = static_cast<uint8_t>(Div(S0 + Half));
            Out[1] = static_cast<uint8_t>(Div(S1 + Half));
            Out[2] = static_cast<uint8_t>(Div(S2 + Half));
        } else {
            A S0 = 0;
#pragma GCC unroll 8
            for (int32_t J = 0; J < K; ++J)
                S0 += P[J] * static_cast<A>(W[J]);
            Out[0] = static_cast<uint8_t>(Div(S0 + Half));
        }
    }
}

template <int B, class A>
void ReduceArea(const uint8_t* S, int64_t LineS, uint8_t* D, int64_t LineD, int32_t WS, int32_t HS,
                int32_t WD, int32_t HD)
{
    const TAreaTaps T = MakeAreaTaps(WS, WD);
    const size_t N = static_cast<size_t>(WD) * B;
    std::vector<uint8_t> Mid(N);
    std::vector<A> Acc(N, 0);
    const TDivider DivW(static_cast<uint64_t>(WS));
    const TDivider DivH(static_cast<uint64_t>(HS));
    const A HalfH = static_cast<A>(HS / 2);
    uint8_t* M = Mid.data();
    A* Ac = Acc.data();
    auto Horizontal = [&](const uint8_t* Row) {
        switch (T.K) {
        case 2:
            AreaHorizontal<B, A, 2>(Row, T, WD, WS, DivW, M);
            break;
        case 3:
            AreaHorizontal<B, A, 3>(Row, T, WD, WS, DivW, M);
            break;
        case 4:
            AreaHorizontal<B, A, 4>(Row, T, WD, WS, DivW, M);
            break;
        case 5:
            AreaHorizontal<B, A, 5>(Row, T, WD, WS, DivW, M);
            break;
        default:
            AreaHorizontal<B, A, 0>(Row, T, WD, WS, DivW, M);
            break;
        }
    };

    int64_t Q = 0;
    for (int32_t R = 0; R < HS; ++R, S -= LineS) {
        Horizontal(S);
        if (Q + HD < HS) {
            const A W = static_cast<A>(HD);
            for (size_t K = 0; K < N; ++K)
                Ac[K] += M[K] * W;
            Q += HD;
        } else {
            const A W = static_cast<A>(HS - Q);
            Q = Q + HD - HS;
            const A W2 = static_cast<A>(Q);
            for (size_t K = 0; K < N; ++K) {
                D[K] = static_cast<uint8_t>(DivH(Ac[K] + M[K] * W + HalfH));
                Ac[K] = M[K] * W2;
            }
            D -= LineD;
        }
    }
}

// ---------------------------------------------------------------- general sampling

template <int B>
void Sample(const uint8_t* S, int64_t LineS, uint8_t* D, int64_t LineD, int32_t WS, int32_t HS,
            int32_t WD, int32_t HD, const uint8_t* Mask, int64_t LineM)
{
    std::vector<int32_t> Col(static_cast<size_t>(WD));
    for (int32_t I = 0; I < WD; ++I)
        Col[I] = AlignedIndex(I, WS, WD);
    std::vector<uint8_t> Buf(static_cast<size_t>(WD) * B);
    std::vector<uint8_t> MBuf(Mask ? static_cast<size_t>(WD) : 0);
    const size_t N = Buf.size();

    int32_t J = 0;
    while (J < HD) {
        const int32_t R = AlignedIndex(J, HS, HD);
        const uint8_t* Row = S - int64_t{R} * LineS;
        uint8_t* Out = Buf.data();
        for (int32_t I = 0; I < WD; ++I, Out += B)
            std::memcpy(Out, Row + int64_t{Col[I]} * B, B);
        if (Mask) {
            const uint8_t* MRow = Mask - int64_t{R} * LineM;
            for (int32_t I = 0; I < WD; ++I)
                MBuf[I] = MRow[Col[I]];
        }
        // Every destination row that takes this source row.
        do {
            uint8_t* Dst = D - int64_t{J} * LineD;
            if (!Mask) {
                std::memcpy(Dst, Buf.data(), N);
            } else {
                for (int32_t I = 0; I < WD; ++I) {
                    const uint32_t A = MBuf[I];
                    for (int C = 0; C < B; ++C)
                        Dst[I * B + C] = BlendByte(Buf[I * B + C], Dst[I * B + C], A);
                }
            }
            ++J;
        } while (J < HD && AlignedIndex(J, HS, HD) == R);
    }
}

// ---------------------------------------------------------------- pixel repetition

template <int B>
void ExpandRepeat(const uint8_t* S, int64_t LineS, uint8_t* D, int64_t LineD, int32_t WS,
                  int32_t HS, int32_t FX, int32_t FY)
{
    const size_t N = static_cast<size_t>(WS) * FX * B;
    for (int32_t R = 0; R < HS; ++R, S -= LineS) {
        uint8_t* First = D - int64_t{R} * FY * LineD;
        uint8_t* Out = First;
        const uint8_t* P = S;
        for (int32_t I = 0; I < WS; ++I, P += B)
            for (int32_t K = 0; K < FX; ++K, Out += B)
                std::memcpy(Out, P, B);
        for (int32_t K = 1; K < FY; ++K)
            std::memcpy(First - int64_t{K} * LineD, First, N);
    }
}

// ---------------------------------------------------------------- linear enlargement

template <int B>
void ExpandLinear(const uint8_t* S, int64_t LineS, uint8_t* D, int64_t LineD, int32_t WS,
                  int32_t HS, int32_t WD, int32_t HD, bool Tile)
{
    const size_t N = static_cast<size_t>(WD) * B;
    std::vector<int64_t> Off0(static_cast<size_t>(WD)), Off1(static_cast<size_t>(WD));
    std::vector<int32_t> Wt(static_cast<size_t>(WD));
    for (int32_t I = 0; I < WD; ++I) {
        int32_t Index, Weight;
        StretchLinearStep(I, WS, WD, Tile, Index, Weight);
        Off0[I] = int64_t{Index} * B;
        Off1[I] = int64_t{Index + 1 < WS ? Index + 1 : 0} * B; // the row's first pixel follows its last
        Wt[I] = Weight;
    }
    auto Horizontal = [&](int32_t R, uint8_t* Out) {
        const uint8_t* Row = S - int64_t{R} * LineS;
        for (int32_t I = 0; I < WD; ++I, Out += B) {
            const uint8_t* P0 = Row + Off0[I];
            const uint8_t* P1 = Row + Off1[I];
            const int32_t W1 = Wt[I];
            const int32_t W0 = 1024 - W1;
            for (int C = 0; C < B; ++C)
                Out[C] = static_cast<uint8_t>((P0[C] * W0 + P1[C] * W1) >> 10);
        }
    };

    std::vector<uint8_t> BufA(N), BufB(N);
    uint8_t* RowA = BufA.data(); // interpolated source row IdxA
    uint8_t* RowB = BufB.data(); // interpolated source row IdxB
    int32_t IdxA = -1, IdxB = -1;
    for (int32_t J = 0; J < HD; ++J, D -= LineD) {
        int32_t R, Weight;
        StretchLinearStep(J, HS, HD, Tile, R, Weight);
        if (IdxA != R) {
            if (IdxB == R) {
                std::swap(RowA, RowB);
                std::swap(IdxA, IdxB);
            } else {
                Horizontal(R, RowA);
                IdxA = R;
            }
        }
        if (Weight == 0) {
            std::memcpy(D, RowA, N);
            continue;
        }
        const int32_t Next = R + 1 < HS ? R + 1 : 0;
        if (IdxB != Next) {
            Horizontal(Next, RowB);
            IdxB = Next;
        }
        const int32_t W1 = Weight;
        const int32_t W0 = 1024 - W1;
        for (size_t K = 0; K < N; ++K)
            D[K] = static_cast<uint8_t>((RowA[K] * W0 + RowB[K] * W1) >> 10);
    }
}

// ---------------------------------------------------------------- cubic enlargement

struct TCubicTable {
    std::vector<int32_t> Start;
    std::vector<std::array<int32_t, 4>> W;
};

TCubicTable MakeCubicTable(int32_t SrcExt, int32_t DstExt, bool Tile)
{
    TCubicTable T;
    T.Start.resize(static_cast<size_t>(DstExt));
    T.W.resize(static_cast<size_t>(DstExt));
    for (int32_t I = 0; I < DstExt; ++I) {
        double Pos;
        StretchCubicStep(I, SrcExt, DstExt, Tile, T.Start[I], Pos);
        T.W[I] = StretchCubicWeights(Pos);
    }
    return T;
}

template <int B>
void CubicHorizontal(const uint8_t* Row, const int64_t* Off, const std::array<int32_t, 4>* Wt,
                     int32_t WD, uint8_t* Out)
{
    for (int32_t I = 0; I < WD; ++I, Out += B) {
        const uint8_t* P = Row + Off[I];
        const int32_t W0 = Wt[I][0], W1 = Wt[I][1], W2 = Wt[I][2], W3 = Wt[I][3];
        for (int C = 0; C < B; ++C) {
            const int32_t V = W0 * P[C] + W1 * P[B + C] + W2 * P[2 * B + C] + W3 * P[3 * B + C];
            // An arithmetic shift differs from a truncating division only for
            // negative sums, which both clamp to 0.
            Out[C] = Clamp255((V + 1024) >> 11);
        }
    }
}

void CubicVertical(const uint8_t* R0, const uint8_t* R1, const uint8_t* R2, const uint8_t* R3,
                   const std::array<int32_t, 4>& W, size_t N, uint8_t* Out)
{
    const int32_t W0 = W[0], W1 = W[1], W2 = W[2], W3 = W[3];
    for (size_t K = 0; K < N; ++K) {
        const int32_t V = W0 * R0[K] + W1 * R1[K] + W2 * R2[K] + W3 * R3[K];
        Out[K] = Clamp255((V + 1024) >> 11);
    }
}

template <int B>
void ExpandCubic(const uint8_t* S, int64_t LineS, uint8_t* D, int64_t LineD, int32_t WS,
                 int32_t HS, int32_t WD, int32_t HD, bool Tile)
{
    const TCubicTable Cols = MakeCubicTable(WS, WD, Tile);
    const TCubicTable Rows = MakeCubicTable(HS, HD, Tile);
    // With the tile flag the taps reach one pixel left of the row and two
    // right of it: rows are first laid into a buffer with those wrapped
    // pixels around them, so the inner loop needs no wrapping.
    const int32_t Pad = Tile ? 1 : 0;
    std::vector<int64_t> Off(static_cast<size_t>(WD));
    for (int32_t I = 0; I < WD; ++I)
        Off[I] = int64_t{Cols.Start[I] + Pad} * B;
    std::vector<uint8_t> Padded(Tile ? (static_cast<size_t>(WS) + 3) * B : 0);

    const size_t N = static_cast<size_t>(WD) * B;
    std::vector<uint8_t> Ring(4 * N);
    auto Slot = [&](int32_t V) { return Ring.data() + static_cast<size_t>(V & 3) * N; };
    auto Horizontal = [&](int32_t V) {
        const int32_t R = V < 0 ? V + HS : (V >= HS ? V - HS : V);
        const uint8_t* Row = S - int64_t{R} * LineS;
        if (Tile) {
            uint8_t* P = Padded.data();
            std::memcpy(P, Row + int64_t{WS - 1} * B, B);
            std::memcpy(P + B, Row, static_cast<size_t>(WS) * B);
            std::memcpy(P + (static_cast<size_t>(WS) + 1) * B, Row, 2 * B);
            Row = P;
        }
        CubicHorizontal<B>(Row, Off.data(), Cols.W.data(), WD, Slot(V));
    };

    int32_t Next = Rows.Start.empty() ? 0 : Rows.Start[0]; // first virtual row not yet computed
    for (int32_t J = 0; J < HD; ++J, D -= LineD) {
        const int32_t St = Rows.Start[J];
        for (int32_t V = std::max(Next, St); V < St + 4; ++V)
            Horizontal(V);
        Next = std::max(Next, St + 4);
        CubicVertical(Slot(St), Slot(St + 1), Slot(St + 2), Slot(St + 3), Rows.W[J], N, D);
    }
}

// ---------------------------------------------------------------- helpers

void CheckFactors(int32_t FX, int32_t FY, const char* Routine)
{
    if (FX < 1 || FY < 1)
        throw EUserError(Routine);
}

void CheckBpp(int32_t Bpp, const char* Routine)
{
    if (Bpp != 1 && Bpp != 3)
        throw EUserError(std::string(Routine) + ": Illegal Bpp");
}

struct TSectionDeleter {
    void operator()(void* H) const { DeleteObject(H); }
};

// Clips one side of a rectangle against the low edge (0) of its picture; the
// other rectangle loses the proportional share from the same side. False
// when nothing is left to draw (which also keeps the products in range).
bool ClipLow(int64_t& X, int64_t& W, int64_t& OX, int64_t& OW)
{
    if (X >= 0)
        return true;
    const int64_t Cut = -X;
    if (Cut >= W)
        return false;
    const int64_t OCut = Cut * OW / W;
    X = 0;
    W -= Cut;
    OX += OCut;
    OW -= OCut;
    return W > 0 && OW > 0;
}

bool ClipHigh(int64_t X, int64_t& W, int64_t Limit, int64_t& OW)
{
    const int64_t Cut = X + W - Limit;
    if (Cut <= 0)
        return true;
    if (Cut >= W)
        return false;
    OW -= Cut * OW / W;
    W -= Cut;
    return W > 0 && OW > 0;
}

} // namespace

// ---------------------------------------------------------------- tables

void StretchLinearStep(int32_t I, int32_t SrcExt, int32_t DstExt, bool bTile, int32_t& Index,
                       int32_t& Weight)
{
    if (bTile) {
        const int64_t P = int64_t{I} * SrcExt;
        Index = static_cast<int32_t>(P / DstExt);
        Weight = static_cast<int32_t>(((P % DstExt) << 10) / DstExt);
        return;
    }
    if (DstExt <= 1) {
        Index = 0;
        Weight = 0;
        return;
    }
    const int64_t P = int64_t{I} * (SrcExt - 1);
    Index = static_cast<int32_t>(P / (DstExt - 1));
    Weight = static_cast<int32_t>(((P % (DstExt - 1)) << 10) / (DstExt - 1));
}

void StretchCubicStep(int32_t I, int32_t SrcExt, int32_t DstExt, bool bTile, int32_t& Start,
                      double& T)
{
    if (bTile) {
        const double X = static_cast<double>(int64_t{I} * SrcExt) / DstExt;
        const double K = std::trunc(X);
        Start = static_cast<int32_t>(K) - 1;
        T = X - K + 1;
        return;
    }
    if (DstExt <= 1) {
        Start = 0;
        T = 0;
        return;
    }
    const double X = static_cast<double>(int64_t{I} * (SrcExt - 1)) / (DstExt - 1);
    const double KF = std::trunc(X);
    const int32_t K = static_cast<int32_t>(KF);
    if (K == 0) {
        Start = 0;
        T = X - KF;
    } else if (K == SrcExt - 1) {
        Start = SrcExt - 4;
        T = 3;
    } else if (K == SrcExt - 2) {
        Start = SrcExt - 4;
        T = X - KF + 2;
    } else {
        Start = K - 1;
        T = X - KF + 1;
    }
}

std::array<int32_t, 4> StretchCubicWeights(double T)
{
    const double W0 = (T - 1) * (T - 2) * (T - 3) / -6;
    const double W1 = T * (T - 2) * (T - 3) / 2;
    const double W2 = T * (T - 1) * (T - 3) / -2;
    const double W3 = T * (T - 1) * (T - 2) / 6;
    return {static_cast<int32_t>(RoundOff(W0 * 2048)), static_cast<int32_t>(RoundOff(W1 * 2048)),
            static_cast<int32_t>(RoundOff(W2 * 2048)), static_cast<int32_t>(RoundOff(W3 * 2048))};
}

// ---------------------------------------------------------------- workers

void SubStretchDIBCopy(const uint8_t* pbTopLeftSrc, int64_t iLineSrc, uint8_t* pbTopLeftDst,
                       int64_t iLineDst, int32_t iW, int32_t iH, int32_t Bpp,
                       const uint8_t* pbTopLeftMask, int64_t iLineMask)
{
    CheckBpp(Bpp, "SubStretchDIBCopy");
    if (!pbTopLeftMask) {
        const size_t N = static_cast<size_t>(iW) * Bpp;
        for (int32_t Y = 0; Y < iH; ++Y)
            std::memcpy(pbTopLeftDst - Y * iLineDst, pbTopLeftSrc - Y * iLineSrc, N);
    } else if (Bpp == 1) {
        CopyBlend<1>(pbTopLeftSrc, iLineSrc, pbTopLeftDst, iLineDst, iW, iH, pbTopLeftMask, iLineMask);
    } else {
        CopyBlend<3>(pbTopLeftSrc, iLineSrc, pbTopLeftDst, iLineDst, iW, iH, pbTopLeftMask, iLineMask);
    }
}

void SubStretchDIBReduceN_NoIP(const uint8_t* pbTopLeftSrc, int64_t iLineSrc,
                               uint8_t* pbTopLeftDst, int64_t iLineDst, int32_t iWDst,
                               int32_t iHDst, int32_t FX, int32_t FY, int32_t Bpp)
{
    CheckFactors(FX, FY, "SubStretchDIBReduceN_NoIP");
    CheckBpp(Bpp, "SubStretchDIBReduceN_NoIP");
    if (Bpp == 1)
        ReduceSample<1>(pbTopLeftSrc, iLineSrc, pbTopLeftDst, iLineDst, iWDst, iHDst, FX, FY);
    else
        ReduceSample<3>(pbTopLeftSrc, iLineSrc, pbTopLeftDst, iLineDst, iWDst, iHDst, FX, FY);
}

void SubStretchDIBReduceN_Average(const uint8_t* pbTopLeftSrc, int64_t iLineSrc,
                                  uint8_t* pbTopLeftDst, int64_t iLineDst, int32_t iWDst,
                                  int32_t iHDst, int32_t FX, int32_t FY, int32_t Bpp)
{
    CheckFactors(FX, FY, "SubStretchDIBReduceN_Average");
    CheckBpp(Bpp, "SubStretchDIBReduceN_Average");
    // 16-bit row sums and 32-bit block sums while they cannot overflow.
    const bool Small = FY <= 257 && 255 * uint64_t(FX) * uint64_t(FY) < (uint64_t{1} << 32);
    const auto* S = pbTopLeftSrc;
    auto* D = pbTopLeftDst;
    if (Bpp == 1) {
        if (Small)
            ReduceAverage<1, uint16_t, uint32_t>(S, iLineSrc, D, iLineDst, iWDst, iHDst, FX, FY);
        else
            ReduceAverage<1, uint64_t, uint64_t>(S, iLineSrc, D, iLineDst, iWDst, iHDst, FX, FY);
    } else {
        if (Small)
            ReduceAverage<3, uint16_t, uint32_t>(S, iLineSrc, D, iLineDst, iWDst, iHDst, FX, FY);
        else
            ReduceAverage<3, uint64_t, uint64_t>(S, iLineSrc, D, iLineDst, iWDst, iHDst, FX, FY);
    }
}

void SubStretchDIBReduceArea(const uint8_t* pbTopLeftSrc, int64_t iLineSrc, uint8_t* pbTopLeftDst,
                             int64_t iLineDst, int32_t iWSrc, int32_t iHSrc, int32_t iWDst,
                             int32_t iHDst, int32_t Bpp)
{
    CheckBpp(Bpp, "SubStretchDIBReduceArea");
    if (iWDst < 1 || iHDst < 1 || iWDst > iWSrc || iHDst > iHSrc)
        throw EUserError("SubStretchDIBReduceArea");
    // Sums reach 255 x the source extent (plus a half).
    const bool Small = std::max(iWSrc, iHSrc) < (1 << 23);
    const auto* S = pbTopLeftSrc;
    auto* D = pbTopLeftDst;
    if (Bpp == 1) {
        if (Small)
            ReduceArea<1, uint32_t>(S, iLineSrc, D, iLineDst, iWSrc, iHSrc, iWDst, iHDst);
        else
            ReduceArea<1, uint64_t>(S, iLineSrc, D, iLineDst, iWSrc, iHSrc, iWDst, iHDst);
    } else {
        if (Small)
            ReduceArea<3, uint32_t>(S, iLineSrc, D, iLineDst, iWSrc, iHSrc, iWDst, iHDst);
        else
            ReduceArea<3, uint64_t>(S, iLineSrc, D, iLineDst, iWSrc, iHSrc, iWDst, iHDst);
    }
}

void SubStretchDIBSample(const uint8_t* pbTopLeftSrc, int64_t iLineSrc, uint8_t* pbTopLeftDst,
                         int64_t iLineDst, int32_t iWSrc, int32_t iHSrc, int32_t iWDst,
                         int32_t iHDst, int32_t Bpp, const uint8_t* pbTopLeftMask,
                         int64_t iLineMask)
{
    CheckBpp(Bpp, "SubStretchDIBSample");
    if (Bpp == 1)
        Sample<1>(pbTopLeftSrc, iLineSrc, pbTopLeftDst, iLineDst, iWSrc, iHSrc, iWDst, iHDst,
                  pbTopLeftMask, iLineMask);
    else
        Sample<3>(pbTopLeftSrc, iLineSrc, pbTopLeftDst, iLineDst, iWSrc, iHSrc, iWDst, iHDst,
                  pbTopLeftMask, iLineMask);
}

void SubStretchDIBExpandN_NoIP(const uint8_t* pbTopLeftSrc, int64_t iLineSrc,
                               uint8_t* pbTopLeftDst, int64_t iLineDst, int32_t iWSrc,
                               int32_t iHSrc, int32_t FX, int32_t FY, int32_t Bpp)
{
    CheckFactors(FX, FY, "SubStretchDIBExpandN_NoIP");
    CheckBpp(Bpp, "SubStretchDIBExpandN_NoIP");
    if (Bpp == 1)
        ExpandRepeat<1>(pbTopLeftSrc, iLineSrc, pbTopLeftDst, iLineDst, iWSrc, iHSrc, FX, FY);
    else
        ExpandRepeat<3>(pbTopLeftSrc, iLineSrc, pbTopLeftDst, iLineDst, iWSrc, iHSrc, FX, FY);
}

void SubStretchDIBExpandLinear(const uint8_t* pbTopLeftSrc, int64_t iLineSrc,
                               uint8_t* pbTopLeftDst, int64_t iLineDst, int32_t iWSrc,
                               int32_t iHSrc, int32_t iWDst, int32_t iHDst, int32_t Bpp,
                               bool bTile)
{
    CheckBpp(Bpp, "SubStretchDIBExpandLinear");
    if (Bpp == 1)
        ExpandLinear<1>(pbTopLeftSrc, iLineSrc, pbTopLeftDst, iLineDst, iWSrc, iHSrc, iWDst, iHDst,
                        bTile);
    else
        ExpandLinear<3>(pbTopLeftSrc, iLineSrc, pbTopLeftDst, iLineDst, iWSrc, iHSrc, iWDst, iHDst,
                        bTile);
}

void SubStretchDIBExpandCubic(const uint8_t* pbTopLeftSrc, int64_t iLineSrc,
                              uint8_t* pbTopLeftDst, int64_t iLineDst, int32_t iWSrc,
                              int32_t iHSrc, int32_t iWDst, int32_t iHDst, int32_t Bpp,
                              bool bTile)
{
    CheckBpp(Bpp, "SubStretchDIBExpandCubic");
    if (iWSrc < 4 || iHSrc < 4)
        throw EUserError("SubStretchDIBExpandCubic");
    if (Bpp == 1)
        ExpandCubic<1>(pbTopLeftSrc, iLineSrc, pbTopLeftDst, iLineDst, iWSrc, iHSrc, iWDst, iHDst,
                       bTile);
    else
        ExpandCubic<3>(pbTopLeftSrc, iLineSrc, pbTopLeftDst, iLineDst, iWSrc, iHSrc, iWDst, iHDst,
                       bTile);
}

// ---------------------------------------------------------------- StretchDIB

void StretchDIB(const BITMAPINFOHEADER* pBIHSrc, const uint8_t* pbBitsSrc, int32_t iXSrc,
                int32_t iYSrc, int32_t iWSrc, int32_t iHSrc, const BITMAPINFOHEADER* pBIHDst,
                uint8_t* pbBitsDst, int32_t iXDst, int32_t iYDst, int32_t iWDst, int32_t iHDst,
                const BITMAPINFOHEADER* pBIHMask, const uint8_t* pbBitsMask, uint8_t bExpandMode,
                uint8_t bReduceMode, uint8_t bTile)
{
    if (!pBIHSrc || !pBIHDst || (pBIHSrc->biBitCount != 8 && pBIHSrc->biBitCount != 24) ||
        pBIHSrc->biBitCount != pBIHDst->biBitCount)
        throw EUserError("StretchDIB: Illegal biBitCount");
    // The mask is read at the source's coordinates, so it must have the
    // source's geometry; refused before any pixel is touched.
    const bool HasMask = pBIHMask || pbBitsMask;
    if (HasMask) {
        if (!pBIHMask || !pbBitsMask)
            throw EUserError("StretchDIB: Illegal Mask (pBIHMask or pbBitsMask = nil)");
        if (pBIHMask->biBitCount != 8)
            throw EUserError("StretchDIB: Illegal Mask biBitCount");
        if (pBIHMask->biWidth != pBIHSrc->biWidth || pBIHMask->biHeight != pBIHSrc->biHeight)
            throw EUserError("StretchDIB: Illegal Mask Size");
    }
    if (iWDst == 0 || iHDst == 0)
        return;
    if (iWSrc == 0 || iHSrc == 0)
        throw EUserError("StretchDIB: Illegal (iWSrc, iHSrc)");
    if (iWDst < 0 || iHDst < 0 || iWSrc < 0 || iHSrc < 0)
        return;

    int64_t XS = iXSrc, YS = iYSrc, WS = iWSrc, HS = iHSrc;
    int64_t XD = iXDst, YD = iYDst, WD = iWDst, HD = iHDst;
    if (!ClipLow(XS, WS, XD, WD) || !ClipLow(YS, HS, YD, HD) || !ClipLow(XD, WD, XS, WS) ||
        !ClipLow(YD, HD, YS, HS) || !ClipHigh(XS, WS, pBIHSrc->biWidth, WD) ||
        !ClipHigh(YS, HS, pBIHSrc->biHeight, HD) || !ClipHigh(XD, WD, pBIHDst->biWidth, WS) ||
        !ClipHigh(YD, HD, pBIHDst->biHeight, HS))
        return;

    const int32_t BitCount = pBIHSrc->biBitCount;
    const int32_t Bpp = BitCount / 8;
    const int64_t LineS = GetDIBLineSize(pBIHSrc->biWidth, BitCount);
    const int64_t LineD = GetDIBLineSize(pBIHDst->biWidth, BitCount);
    const uint8_t* TopLeftSrc =
        pbBitsSrc ? GetDIBPixelPtr(pBIHSrc, pbBitsSrc, int32_t(XS), int32_t(YS)) : nullptr;
    uint8_t* TopLeftDst =
        pbBitsDst ? GetDIBPixelPtr(pBIHDst, pbBitsDst, int32_t(XD), int32_t(YD)) : nullptr;
    if (!TopLeftSrc || !TopLeftDst)
        throw EUserError("StretchDIB: Illegal (pbTopLeftSrc or pbTopLeftDst)");
    const uint8_t* TopLeftMask = nullptr;
    int64_t LineM = 0;
    if (HasMask) {
        TopLeftMask = GetDIBPixelPtr(pBIHMask, pbBitsMask, int32_t(XS), int32_t(YS));
        LineM = GetDIBLineSize(pBIHMask->biWidth, 8);
        if (!TopLeftMask)
            throw EUserError("StretchDIB: Illegal Mask Size");
    }

    const int32_t wS = int32_t(WS), hS = int32_t(HS), wD = int32_t(WD), hD = int32_t(HD);
    if (wD == wS && hD == hS) {
        SubStretchDIBCopy(TopLeftSrc, LineS, TopLeftDst, LineD, wS, hS, Bpp, TopLeftMask, LineM);
    } else if (wD <= wS && hD <= hS) {
        if (wS % wD == 0 && hS % hD == 0) {
            if (bReduceMode == 1)
                SubStretchDIBReduceN_Average(TopLeftSrc, LineS, TopLeftDst, LineD, wD, hD, wS / wD,
                                             hS / hD, Bpp);
            else
                SubStretchDIBReduceN_NoIP(TopLeftSrc, LineS, TopLeftDst, LineD, wD, hD, wS / wD,
                                          hS / hD, Bpp);
        } else if (bReduceMode == 1) {
            SubStretchDIBReduceArea(TopLeftSrc, LineS, TopLeftDst, LineD, wS, hS, wD, hD, Bpp);
        } else {
            SubStretchDIBSample(TopLeftSrc, LineS, TopLeftDst, LineD, wS, hS, wD, hD, Bpp,
                                TopLeftMask, LineM);
        }
    } else if (wD >= wS && hD >= hS) {
        if (bExpandMode == 0) {
            if (wD % wS == 0 && hD % hS == 0)
                SubStretchDIBExpandN_NoIP(TopLeftSrc, LineS, TopLeftDst, LineD, wS, hS, wD / wS,
                                          hD / hS, Bpp);
            else
                SubStretchDIBSample(TopLeftSrc, LineS, TopLeftDst, LineD, wS, hS, wD, hD, Bpp,
                                    TopLeftMask, LineM);
        } else if (bExpandMode == 1 || wS < 4 || hS < 4) {
            SubStretchDIBExpandLinear(TopLeftSrc, LineS, TopLeftDst, LineD, wS, hS, wD, hD, Bpp,
                                      bTile != 0);
        } else {
            SubStretchDIBExpandCubic(TopLeftSrc, LineS, TopLeftDst, LineD, wS, hS, wD, hD, Bpp,
                                     bTile != 0);
        }
    } else {
        // One axis shrinks, the other grows: height first into a temporary
        // section, then width.
        BITMAPINFOHEADER Tmp = *pBIHSrc;
        Tmp.biSize = sizeof(BITMAPINFOHEADER);
        Tmp.biWidth = wS;
        Tmp.biHeight = hD;
        Tmp.biPlanes = 1;
        Tmp.biCompression = BI_RGB;
        Tmp.biSizeImage = static_cast<uint32_t>(GetDIBLineSize(wS, BitCount) * hD);
        void* TmpBits = nullptr;
        std::unique_ptr<void, TSectionDeleter> Section(
            CreateDIBSection(&Tmp, DIB_RGB_COLORS, &TmpBits));
        if (!Section || !TmpBits)
            throw EUserError("StretchDIB: CreateDIBSection Failed.");
        uint8_t* TB = static_cast<uint8_t*>(TmpBits);
        StretchDIB(pBIHSrc, pbBitsSrc, int32_t(XS), int32_t(YS), wS, hS, &Tmp, TB, 0, 0, wS, hD,
                   nullptr, nullptr, bExpandMode, bReduceMode, bTile);
        StretchDIB(&Tmp, TB, 0, 0, wS, hD, pBIHDst, pbBitsDst, int32_t(XD), int32_t(YD), wD, hD,
                   nullptr, nullptr, bExpandMode, bReduceMode, bTile);
    }
}
