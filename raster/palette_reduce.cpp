#include "raster/palette_reduce.h"

#include "foundation/platform_wrappers.h"
#include "foundation/user_error.h"
#include "raster/bmp_conv.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr size_t InfoHeaderBytes = sizeof(BITMAPINFOHEADER);
constexpr size_t PaletteHeaderBytes = InfoHeaderBytes + 256 * sizeof(RGBQUAD); // 1064

// A work block from GlobalAllocQ, freed on scope exit unless released.
class TWorkBlock {
public:
    TWorkBlock(size_t Size, bool Zero)
        : FBlock(GlobalAllocQ(Zero ? GPTR : GMEM_FIXED, Size))
    {
    }
    ~TWorkBlock()
    {
        if (FBlock)
            GlobalFree(FBlock);
    }
    TWorkBlock(const TWorkBlock&) = delete;
    TWorkBlock& operator=(const TWorkBlock&) = delete;
    template <class T>
    T* As() const
    {
        return static_cast<T*>(FBlock);
    }
    HGLOBAL Release() { return std::exchange(FBlock, nullptr); }

private:
    HGLOBAL FBlock;
};

// Histogram cell of one 5-6-5 colour cell. While counting, the colour fields
// sum the dropped low bits; afterwards they hold the mean colour and Count
// the palette index (-1 until known).
struct THistCell {
    int32_t R;
    int32_t G;
    int32_t B;
    int32_t Count;
};
static_assert(sizeof(THistCell) == 16);

// Two rows of diffused errors (red, green, blue in 1/256 units) for column
// slots 0..Width+1; slots 1..Width are used.
class TErrorDiffusion {
public:
    explicit TErrorDiffusion(int64_t Width)
        : FWidth(Width), FSlots(static_cast<size_t>(Width + 2) * 3),
          FBuf(static_cast<size_t>(Width + 2) * 24, true)
    {
    }
    // Cur: what the previous row left for this one; Next: this row's share
    // for the next, cleared.
    void StartRow(int64_t Row)
    {
        int32_t* Base = FBuf.As<int32_t>();
        Cur = Base + (Row & 1) * static_cast<int64_t>(FSlots);
        Next = Base + ((Row + 1) & 1) * static_cast<int64_t>(FSlots);
        std::memset(Next, 0, FSlots * sizeof(int32_t));
    }
    // Spreads Err (3 channels) of slot X: 1/8 below, 1/4 below-left, 1/8
    // below-right (the edge slots keep their neighbour's share); returns the
    // carry for the next pixel in Carry.
    void Spread(int64_t X, const int32_t* Err, int32_t* Carry)
    {
        int32_t* Here = Next + X * 3;
        int32_t* Left = X == 1 ? Here : Here - 3;
        int32_t* Right = X == FWidth ? Here : Here + 3;
        for (int C = 0; C < 3; ++C) {
            Here[C] += Err[C] / 8;
            Left[C] += Err[C] / 4;
            Right[C] += Err[C] / 8;
            Carry[C] = Err[C] / 2;
        }
    }
    int32_t* Cur = nullptr;
    int32_t* Next = nullptr;

private:
    int64_t FWidth;
    size_t FSlots;
    TWorkBlock FBuf;
};

RGBQUAD FromColorRef(uint32_t C)
{
    return RGBQUAD{static_cast<uint8_t>(C >> 16), static_cast<uint8_t>(C >> 8), static_cast<uint8_t>(C), 0};
}

// Splits the cells List[Lo..Hi) at the weighted mean of their widest channel
// until DepthLimit; each final box becomes one palette entry.
void CutHistogram(THistCell* Cells, int32_t* List, int32_t Lo, int32_t Hi, int32_t Depth,
                  int32_t DepthLimit, BITMAPINFOHEADER* H)
{
    if (Lo >= Hi)
        return;
    long double Sum[3] = {0, 0, 0};
    int64_t Total = 0;
    int32_t Min[3] = {255, 255, 255};
    int32_t Max[3] = {0, 0, 0};
    for (int32_t I = Lo; I < Hi; ++I) {
        const THistCell& C = Cells[List[I]];
        const int32_t V[3] = {C.R, C.G, C.B};
        for (int K = 0; K < 3; ++K) {
            Sum[K] += static_cast<long double>(V[K]) * C.Count;
            Min[K] = std::min(Min[K], V[K]);
            Max[K] = std::max(Max[K], V[K]);
        }
        Total += C.Count;
    }
    const long double Mean[3] = {Sum[0] / Total, Sum[1] / Total, Sum[2] / Total};
    if (Depth >= DepthLimit) {
        const int32_t Index = static_cast<int32_t>(H->biClrUsed);
        // nearbyint rounds halves to even in the default rounding mode.
        DIBColorTable(H)[Index] = RGBQUAD{static_cast<uint8_t>(std::nearbyint(Mean[2])),
                                          static_cast<uint8_t>(std::nearbyint(Mean[1])),
                                          static_cast<uint8_t>(std::nearbyint(Mean[0])), 0};
        for (int32_t I = Lo; I < Hi; ++I)
            Cells[List[I]].Count = Index;
        H->biClrUsed = static_cast<uint32_t>(Index + 1);
        return;
    }
    const int32_t Range[3] = {Max[0] - Min[0], Max[1] - Min[1], Max[2] - Min[2]};
    int Ch = 2;
    if (Range[0] >= Range[1] && Range[0] >= Range[2])
        Ch = 0;
    else if (Range[1] >= Range[2])
        Ch = 1;
    auto Value = [&](int32_t I) {
        const THistCell& C = Cells[List[I]];
        return Ch == 0 ? C.R : Ch == 1 ? C.G : C.B;
    };
    const long double M = Mean[Ch];
    int32_t I = Lo;
    int32_t J = Hi - 1;
    for (;;) {
        while (I <= J && Value(I) <= M)
            ++I;
        while (I <= J && Value(J) > M)
            --J;
        if (I >= J)
            break;
        std::swap(List[I], List[J]);
        ++I;
        --J;
    }
    CutHistogram(Cells, List, Lo, I, Depth + 1, DepthLimit, H);
    CutHistogram(Cells, List, I, Hi, Depth + 1, DepthLimit, H);
}

void MakeHistogramPalette(THistCell* Cells, BITMAPINFOHEADER* H, int32_t DepthLimit)
{
    H->biClrUsed = 0;
    std::vector<int32_t> List;
    List.reserve(65536);
    for (int32_t I = 0; I < 65536; ++I) {
        if (Cells[I].Count != 0)
            List.push_back(I);
        else
            Cells[I].Count = -1;
    }
    CutHistogram(Cells, List.data(), 0, static_cast<int32_t>(List.size()), 0, DepthLimit, H);
}

// The histogram reduction to 8 bits (DepthLimit 8) or 4 bits (DepthLimit 4).
uint8_t* HistogramReduce(HGLOBAL& Header, const uint8_t* Bits, int32_t OutBits, const char* Name)
{
    const std::string Where = std::string(Name) + "/ConvertTo8BitRGB: ";
    auto* Src = static_cast<const BITMAPINFOHEADER*>(Header);
    if (!Src || !Bits)
        throw EUserError(std::string(Name) + ": Illegal Param");
    if (Src->biBitCount != 24)
        throw EUserError(Where + "pBInfo^.biBitCount <> 24");
    CheckDIBPicture(Src, Bits, Name);
    const int32_t DepthLimit = OutBits == 8 ? 8 : 4;
    const int64_t W = Src->biWidth;
    const int64_t Height = Src->biHeight;
    const int64_t SrcLine = GetDIBLineSize(W, 24);
    const int64_t DstLine = GetDIBLineSize(W, OutBits);

    // The caller's header is replaced only when everything succeeded.
    TWorkBlock NewHeader(PaletteHeaderBytes, true);
    auto* H = NewHeader.As<BITMAPINFOHEADER>();
    std::memcpy(H, Src, InfoHeaderBytes);
    TWorkBlock Result(static_cast<size_t>(DstLine * Height), false);
    TWorkBlock CellBlock(65536 * sizeof(THistCell), true);
    THistCell* Cells = CellBlock.As<THistCell>();

    for (int64_t Y = 0; Y < Height; ++Y) {
        const uint8_t* S = Bits + Y * SrcLine;
        const uint8_t* const End = S + W * 3;
        for (; S < End; S += 3) {
            const uint32_t B = S[0], G = S[1], R = S[2];
            THistCell& C = Cells[(R >> 3) << 11 | (G >> 2) << 5 | (B >> 3)];
            C.R += static_cast<int32_t>(R & 7);
            C.G += static_cast<int32_t>(G & 3);
            C.B += static_cast<int32_t>(B & 7);
            ++C.Count;
        }
    }
    for (int32_t I = 0; I < 65536; ++I) {
        THistCell& C = Cells[I];
        const int32_t R0 = (I >> 11) * 8, G0 = ((I >> 5) & 63) * 4, B0 = (I & 31) * 8;
        if (C.Count == 0) {
            C.R = R0 + 4;
            C.G = G0 + 2;
            C.B = B0 + 4;
        } else {
            C.R = C.R / C.Count + R0;
            C.G = C.G / C.Count + G0;
            C.B = C.B / C.Count + B0;
        }
    }
    MakeHistogramPalette(Cells, H, DepthLimit);
    H->biClrImportant = 0;
    const std::unique_ptr<TDIBPalette> Pal = CreateDIBPalette(H);
    if (!Pal)
        throw EUserError(Where + "CreatePalette(pPal^) Failed!");
    const RGBQUAD* Table = DIBColorTable(H);

    TErrorDiffusion Diff(W);
    std::vector<uint8_t> Index(static_cast<size_t>(W));
    for (int64_t Y = 0; Y < Height; ++Y) {
        Diff.StartRow(Y);
        const uint8_t* S = Bits + Y * SrcLine;
        const int32_t* Cur = Diff.Cur + 3;
        int32_t Carry[3] = {0, 0, 0};
        uint8_t* Out = OutBits == 8 ? Result.As<uint8_t>() + Y * DstLine : Index.data();
        for (int64_t X = 1; X <= W; ++X, S += 3, Cur += 3) {
            const int32_t Vr = S[2] * 256 + Carry[0] + Cur[0];
            const int32_t Vg = S[1] * 256 + Carry[1] + Cur[1];
            const int32_t Vb = S[0] * 256 + Carry[2] + Cur[2];
            const int32_t Cr = std::clamp(Vr / 2048, 0, 31);
            const int32_t Cg = std::clamp(Vg / 1024, 0, 63);
            const int32_t Cb = std::clamp(Vb / 2048, 0, 31);
            THistCell& C = Cells[Cr << 11 | Cg << 5 | Cb];
            if (C.Count < 0) // a cell no pixel of the picture fell in
                C.Count = static_cast<int32_t>(GetNearestPaletteIndex(
                    *Pal, static_cast<uint8_t>(C.R), static_cast<uint8_t>(C.G), static_cast<uint8_t>(C.B)));
            const RGBQUAD& E = Table[C.Count];
            const int32_t Err[3] = {Vr - E.rgbRed * 256, Vg - E.rgbGreen * 256, Vb - E.rgbBlue * 256};
            Diff.Spread(X, Err, Carry);
            Out[X - 1] = static_cast<uint8_t>(C.Count);
        }
        if (OutBits == 8) {
            std::memset(Out + W, 0, static_cast<size_t>(DstLine - W));
        } else {
            uint8_t* D = Result.As<uint8_t>() + Y * DstLine;
            std::memset(D, 0, static_cast<size_t>(DstLine));
            for (int64_t X = 0; X < W; ++X) {
                if (X & 1)
                    D[X >> 1] |= Index[static_cast<size_t>(X)];
                else
                    D[X >> 1] = static_cast<uint8_t>(Index[static_cast<size_t>(X)] << 4);
            }
        }
    }

    H->biBitCount = static_cast<uint16_t>(OutBits);
    H->biCompression = BI_RGB;
    H->biSizeImage = static_cast<uint32_t>(DstLine * Height);
    HGLOBAL Old = Header;
    Header = NewHeader.Release();
    GlobalFreeQ(Old);
    return static_cast<uint8_t*>(Result.Release());
}

int32_t TreeLookup(const TDivideTree& Tree, uint32_t R, uint32_t G, uint32_t B)
{
    const TDivideNode* N = &Tree.Nodes[0];
    for (int32_t Steps = 0; Steps < DivideTreeNodes; ++Steps) {
        int32_t V;
        switch (N->DivideID) {
        case 3:
            return N->PaletteIndex;
        case 0:
            V = static_cast<int32_t>(R);
            break;
        case 1:
            V = static_cast<int32_t>(G);
            break;
        case 2:
            V = static_cast<int32_t>(B);
            break;
        default:
            throw EUserError("BmpConv24toNHigh: Invalid DivideID");
        }
        const int32_t Next = V > N->Threshold ? N->Upper : N->Lower;
        if (Next < 0 || Next >= DivideTreeNodes)
            break;
        N = &Tree.Nodes[static_cast<size_t>(Next)];
    }
    throw EUserError("BmpConv24toNHigh: Invalid DivideID");
}

// Exact nearest-colour search with a small direct-mapped cache, so repeated
// colours are searched once.
class TNearestCache {
public:
    explicit TNearestCache(const TDIBPalette& Pal) : FPal(Pal), FKeys(4096, 0xFFFFFFFFu), FValues(4096, 0) {}
    int32_t Get(uint32_t R, uint32_t G, uint32_t B)
    {
        const uint32_t Key = R << 16 | G << 8 | B;
        const size_t Slot = ((Key * 2654435761u) >> 20) & 4095;
        if (FKeys[Slot] != Key) {
            FKeys[Slot] = Key;
            FValues[Slot] = static_cast<int32_t>(GetNearestPaletteIndex(
                FPal, static_cast<uint8_t>(R), static_cast<uint8_t>(G), static_cast<uint8_t>(B)));
        }
        return FValues[Slot];
    }

private:
    const TDIBPalette& FPal;
    std::vector<uint32_t> FKeys;
    std::vector<int32_t> FValues;
};

} // namespace

uint8_t* BmpConv24to8C(HGLOBAL& Header, const uint8_t* Bits)
{
    return HistogramReduce(Header, Bits, 8, "BmpConv24to8C");
}

uint8_t* BmpConv24to4B(HGLOBAL& Header, const uint8_t* Bits)
{
    return HistogramReduce(Header, Bits, 4, "BmpConv24to4B");
}

void CutPixels(int64_t Lo, int64_t Hi, int32_t Depth, int32_t DepthLimit, uint8_t* Pixels,
               RGBQUAD* ColorTable, int32_t& ColorCount, TDivideTree& Tree, int32_t NodeIndex,
               const TConvertProgressEvent& OnProgress, int32_t cpType, double ParentScore,
               double* Scores, int32_t& ProgressCounter, void* Sender, bool& Abort)
{
    if (Abort)
        return;
    if (DepthLimit < 0 || DepthLimit > 8 || NodeIndex < 0 || NodeIndex >= DivideTreeNodes)
        throw EUserError("CutPixels: Illegal Param");
    auto Report = [&] {
        if (OnProgress)
            OnProgress(Sender, static_cast<int32_t>(int64_t{ProgressCounter} * 100 / (int64_t{1} << DepthLimit)),
                       "パレット作成中", Abort);
    };
    if (Lo >= Hi) {
        if (Depth < DepthLimit) {
            // Empty boxes still count their leaf positions for the progress.
            CutPixels(Lo, Hi, Depth + 1, DepthLimit, Pixels, ColorTable, ColorCount, Tree, 0, OnProgress,
                      cpType, 0, Scores, ProgressCounter, Sender, Abort);
            CutPixels(Lo, Hi, Depth + 1, DepthLimit, Pixels, ColorTable, ColorCount, Tree, 0, OnProgress,
                      cpType, 0, Scores, ProgressCounter, Sender, Abort);
        } else {
            ++ProgressCounter;
            Report();
        }
        return;
    }
    const int64_t N = Hi - Lo;
    int64_t Sum[3] = {0, 0, 0};
    for (const uint8_t *P = Pixels + Lo * 3, *End = Pixels + Hi * 3; P < End; P += 3) {
        Sum[0] += P[0];
        Sum[1] += P[1];
        Sum[2] += P[2];
    }
    TDivideNode& Node = Tree.Nodes[static_cast<size_t>(NodeIndex)];
    if (Depth >= DepthLimit) {
        ++ProgressCounter;
        RGBQUAD& E = ColorTable[ColorCount];
        E.rgbRed = static_cast<uint8_t>(Sum[0] / N);
        E.rgbGreen = static_cast<uint8_t>(Sum[1] / N);
        E.rgbBlue = static_cast<uint8_t>(Sum[2] / N);
        Scores[ColorCount] = ParentScore;
        Node = TDivideNode{};
        Node.PaletteIndex = ColorCount;
        ++ColorCount;
        Report();
        return;
    }
    double Spread[3];
    if (cpType == 0) {
        int64_t Sq[3] = {0, 0, 0};
        for (const uint8_t *P = Pixels + Lo * 3, *End = Pixels + Hi * 3; P < End; P += 3) {
            Sq[0] += P[0] * P[0];
            Sq[1] += P[1] * P[1];
            Sq[2] += P[2] * P[2];
        }
        for (int K = 0; K < 3; ++K) {
            const double Mean = static_cast<double>(Sum[K]) / static_cast<double>(N);
            Spread[K] = static_cast<double>(Sq[K]) / static_cast<double>(N) - Mean * Mean;
        }
    } else if (cpType == 1) {
        uint8_t Min[3] = {255, 255, 255};
        uint8_t Max[3] = {0, 0, 0};
        for (const uint8_t *P = Pixels + Lo * 3, *End = Pixels + Hi * 3; P < End; P += 3)
            for (int K = 0; K < 3; ++K) {
                Min[K] = std::min(Min[K], P[K]);
                Max[K] = std::max(Max[K], P[K]);
            }
        for (int K = 0; K < 3; ++K)
            Spread[K] = Max[K] - Min[K];
    } else {
        throw EUserError("CutPixels: Invalid cpType");
    }
    const double Wr = Spread[0] * 3, Wg = Spread[1] * 4, Wb = Spread[2] * 2;
    int Ch;
    double Score;
    if (Wr >= Wg && Wr >= Wb) {
        Ch = 0;
        Score = Wr;
    } else if (Wg >= Wb) {
        Ch = 1;
        Score = Wg;
    } else {
        Ch = 2;
        Score = Wb;
    }
    const int32_t Threshold = static_cast<int32_t>(Sum[Ch] / N);
    Node.DivideID = static_cast<uint8_t>(Ch);
    Node.Threshold = Threshold;
    Node.PaletteIndex = 0;

    uint8_t* A = Pixels + Lo * 3;
    uint8_t* B = Pixels + (Hi - 1) * 3;
    for (;;) {
        while (A <= B && A[Ch] <= Threshold)
            A += 3;
        while (A <= B && B[Ch] > Threshold)
            B -= 3;
        if (A >= B)
            break;
        std::swap(A[0], B[0]);
        std::swap(A[1], B[1]);
        std::swap(A[2], B[2]);
        A += 3;
        B -= 3;
    }
    const int64_t Mid = (A - Pixels) / 3;
    if (Mid == Hi)
        Node.Threshold = 256;
    else if (Mid == Lo)
        Node.Threshold = -1;

    const int32_t Upper = Tree.Count++;
    Node.Upper = Upper;
    CutPixels(Mid, Hi, Depth + 1, DepthLimit, Pixels, ColorTable, ColorCount, Tree, Upper, OnProgress, cpType,
              Score, Scores, ProgressCounter, Sender, Abort);
    const int32_t Lower = Tree.Count++;
    Node.Lower = Lower;
    CutPixels(Lo, Mid, Depth + 1, DepthLimit, Pixels, ColorTable, ColorCount, Tree, Lower, OnProgress, cpType,
              Score, Scores, ProgressCounter, Sender, Abort);
}

void GetReducedColorsHigh(const BITMAPINFOHEADER* SrcHeader, const uint8_t* SrcBits,
                          int32_t& ColorCount, RGBQUAD* ColorTable, TDivideTree& Tree, int32_t Depth,
                          const TConvertProgressEvent& OnProgress, int32_t cpType, bool MaskFlag,
                          const uint8_t* Mask, int32_t MaskStride, uint32_t TransparentColor,
                          void* Sender, bool& Abort)
{
    CheckDIBPicture(SrcHeader, SrcBits, "GetReducedColorsHigh");
    if (SrcHeader->biBitCount != 24 || Depth < 0 || Depth > 8)
        throw EUserError("GetReducedColorsHigh: Illegal Param");
    std::memset(ColorTable, 0, 256 * sizeof(RGBQUAD));
    const int64_t W = SrcHeader->biWidth;
    const int64_t Height = SrcHeader->biHeight;
    const int64_t Line = GetDIBLineSize(W, 24);
    TWorkBlock Array(static_cast<size_t>(W * Height * 3 + 4), false);
    uint8_t* const Pix = Array.As<uint8_t>();
    uint8_t* D = Pix;
    if (!MaskFlag || !Mask) {
        for (int64_t Y = 0; Y < Height; ++Y) {
            const uint8_t* S = SrcBits + Y * Line;
            for (int64_t X = 0; X < W; ++X, S += 3, D += 3) {
                D[0] = S[2];
                D[1] = S[1];
                D[2] = S[0];
            }
        }
    } else {
        for (int64_t Row = 0; Row < Height; ++Row) {
            const uint8_t* S = SrcBits + (Height - 1 - Row) * Line;
            const uint8_t* M = Mask - Row * MaskStride;
            for (int64_t X = 0; X < W; ++X, S += 3)
                if (M[X] == 0) {
                    D[0] = S[2];
                    D[1] = S[1];
                    D[2] = S[0];
                    D += 3;
                }
        }
    }
    const int64_t Count = (D - Pix) / 3;

    double Scores[256] = {};
    ColorCount = 0;
    Tree = TDivideTree{};
    Tree.Count = 1;
    int32_t Progress = 0;
    CutPixels(0, Count, 0, Depth, Pix, ColorTable, ColorCount, Tree, 0, OnProgress, cpType, 0, Scores, Progress,
              Sender, Abort);
    if (Abort)
        return;
    if (!MaskFlag)
        return;
    const RGBQUAD Transparent = FromColorRef(TransparentColor);
    const int32_t Full = 1 << Depth;
    if (ColorCount < Full) {
        ColorTable[ColorCount] = Transparent;
        return;
    }
    // A full palette: merge the sibling pair split by the smallest spread.
    double Min = 1.7e308;
    int32_t Found = -1;
    for (int32_t I = 0; I < Full; ++I)
        if (Scores[I] <= Min) {
            Min = Scores[I];
            Found = I;
        }
    if (Found < 0 || (Found & 1) == 0)
        throw EUserError("GetReducedColorsHigh: Invalid Index");
    RGBQUAD& A = ColorTable[Found - 1];
    const RGBQUAD& B = ColorTable[Found];
    A = RGBQUAD{static_cast<uint8_t>((A.rgbBlue + B.rgbBlue) >> 1),
                static_cast<uint8_t>((A.rgbGreen + B.rgbGreen) >> 1),
                static_cast<uint8_t>((A.rgbRed + B.rgbRed) >> 1), 0};
    ColorTable[Found] = ColorTable[Full - 1];
    ColorTable[Full - 1] = Transparent;
    for (int32_t I = 0; I < Tree.Count; ++I) {
        TDivideNode& Node = Tree.Nodes[static_cast<size_t>(I)];
        if (Node.PaletteIndex == Found)
            Node.PaletteIndex = Found - 1;
        else if (Node.PaletteIndex == Full - 1)
            Node.PaletteIndex = Found;
    }
    --ColorCount;
}

void BmpConv24toNHigh(HGLOBAL& DstHeader, uint8_t*& DstBits, const BITMAPINFOHEADER* SrcHeader,
                      const uint8_t* SrcBits, int32_t N, int32_t cpType, bool Dither,
                      bool GDINearest, bool Transparent, const uint8_t* Mask, int32_t MaskStride,
                      uint32_t TransparentColor, const uint32_t* FixedColors, int32_t FixedCount,
                      void* Sender, const TConvertProgressEvent& OnProgress)
{
    if (DstHeader || DstBits || N < 1 || N > 256)
        throw EUserError("BmpConv24toNHigh: Parameter Error");
    if (!SrcHeader || !SrcBits)
        throw EUserError("BmpConv24toNHigh: Illegal Param");
    if (SrcHeader->biBitCount != 24)
        throw EUserError("BmpConv24toNHigh: biBitCount <> 24");
    CheckDIBPicture(SrcHeader, SrcBits, "BmpConv24toNHigh");
    int32_t Depth = 0;
    while ((1 << Depth) < N)
        ++Depth;
    const int64_t W = SrcHeader->biWidth;
    const int64_t Height = SrcHeader->biHeight;
    const int64_t SrcLine = GetDIBLineSize(W, 24);
    const int64_t DstLine = GetDIBLineSize(W, 8);
    auto FreeBoth = [&] {
        HGLOBAL Bits = DstBits;
        DstBits = nullptr;
        if (Bits)
            GlobalFree(Bits);
        if (DstHeader)
            GlobalFree(DstHeader);
        DstHeader = nullptr;
    };
    try {
        DstHeader = GlobalAllocQ(GMEM_FIXED, PaletteHeaderBytes);
        auto* H = static_cast<BITMAPINFOHEADER*>(DstHeader);
        std::memcpy(H, SrcHeader, InfoHeaderBytes);
        H->biBitCount = 8;
        DstBits = static_cast<uint8_t*>(GlobalAllocQ(GMEM_FIXED, static_cast<size_t>(DstLine * Height)));

        RGBQUAD Table[256] = {};
        TDivideTree Tree;
        int32_t Count = 0;
        bool Abort = false;
        bool Nearest = GDINearest;
        if (FixedColors && FixedCount > 0 && (Transparent ? N - 1 : N) >= FixedCount) {
            for (int32_t I = 0; I < FixedCount; ++I)
                Table[I] = FromColorRef(FixedColors[I]);
            if (Transparent)
                Table[FixedCount] = FromColorRef(TransparentColor);
            Count = FixedCount;
            Nearest = true;
        } else {
            GetReducedColorsHigh(SrcHeader, SrcBits, Count, Table, Tree, Depth, OnProgress, cpType, Transparent,
                                 Mask, MaskStride, TransparentColor, Sender, Abort);
            if (Abort) {
                FreeBoth();
                return;
            }
        }
        H->biClrImportant = 0;
        H->biClrUsed = static_cast<uint32_t>(Count);
        H->biCompression = BI_RGB;
        H->biSizeImage = static_cast<uint32_t>(DstLine * Height);
        if (Count < 1 || Count > 256)
            throw EUserError("BmpConv24toNHigh: CreatePalette Failed!");
        TDIBPalette Pal;
        Pal.Count = Count;
        std::copy(Table, Table + Count, Pal.Entries.begin());
        TNearestCache Cache(Pal);
        auto Choose = [&](uint32_t R, uint32_t G, uint32_t B) {
            return Nearest ? Cache.Get(R, G, B) : TreeLookup(Tree, R, G, B);
        };

        const bool UseMask = Transparent && Mask;
        std::unique_ptr<TErrorDiffusion> Diff;
        if (Dither)
            Diff = std::make_unique<TErrorDiffusion>(W);
        for (int64_t Row = 0; Row < Height; ++Row) {
            const uint8_t* S = SrcBits + (Height - 1 - Row) * SrcLine;
            uint8_t* D = DstBits + (Height - 1 - Row) * DstLine;
            const uint8_t* M = UseMask ? Mask - Row * MaskStride : nullptr;
            if (Dither) {
                Diff->StartRow(Row);
                const int32_t* Cur = Diff->Cur + 3;
                int32_t Carry[3] = {0, 0, 0};
                for (int64_t X = 1; X <= W; ++X, S += 3, Cur += 3) {
                    const int32_t Vr = S[2] * 256 + Carry[0] + Cur[0];
                    const int32_t Vg = S[1] * 256 + Carry[1] + Cur[1];
                    const int32_t Vb = S[0] * 256 + Carry[2] + Cur[2];
                    int32_t Idx;
                    if (M && M[X - 1])
                        Idx = Count;
                    else
                        Idx = Choose(static_cast<uint32_t>(std::clamp(Vr / 256, 0, 255)),
                                     static_cast<uint32_t>(std::clamp(Vg / 256, 0, 255)),
                                     static_cast<uint32_t>(std::clamp(Vb / 256, 0, 255)));
                    const RGBQUAD& E = Table[Idx];
                    const int32_t Err[3] = {Vr - E.rgbRed * 256, Vg - E.rgbGreen * 256, Vb - E.rgbBlue * 256};
                    Diff->Spread(X, Err, Carry);
                    D[X - 1] = static_cast<uint8_t>(Idx);
                }
            } else {
                for (int64_t X = 0; X < W; ++X, S += 3)
                    D[X] = static_cast<uint8_t>((M && M[X]) ? Count : Choose(S[2], S[1], S[0]));
            }
            if (Transparent) {
                const uint8_t C = static_cast<uint8_t>(Count);
                for (int64_t X = 0; X < W; ++X) {
                    if (D[X] == 0)
                        D[X] = C;
                    else if (D[X] == C)
                        D[X] = 0;
                }
            }
            std::memset(D + W, 0, static_cast<size_t>(DstLine - W));
            if (OnProgress) {
                OnProgress(Sender, static_cast<int32_t>((Row + 1) * 100 / Height), "画像生成中", Abort);
                if (Abort) {
                    FreeBoth();
                    return;
                }
            }
        }
        if (Transparent) {
            std::swap(Table[0], Table[Count]);
            H->biClrUsed = static_cast<uint32_t>(Count + 1);
        }
        std::memcpy(DIBColorTable(H), Table, sizeof(Table));
        if (OnProgress)
            OnProgress(Sender, 100, "画像生成中", Abort);
    } catch (...) {
        FreeBoth();
        throw;
    }
}
