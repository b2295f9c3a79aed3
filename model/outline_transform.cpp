#include "model/outline_transform.h"

#include "foundation/numbers.h"
#include "foundation/stream_text.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

namespace {

constexpr int32_t SubdivideStep = 10000;

int32_t Round32(double X)
{
    return Sat32(RoundOff(X));
}

bool IsIllegalKind(uint8_t Kind)
{
    return Kind >= 9 && Kind <= 254;
}

bool IsWarpKind(uint8_t Kind)
{
    return Kind >= 1 && Kind <= 8;
}

// Little-endian field writers and readers of the stored block.
void PutU32(uint8_t* P, uint32_t V)
{
    for (int I = 0; I < 4; ++I)
        P[I] = static_cast<uint8_t>(V >> (8 * I));
}

void PutU64(uint8_t* P, uint64_t V)
{
    for (int I = 0; I < 8; ++I)
        P[I] = static_cast<uint8_t>(V >> (8 * I));
}

uint32_t GetU32(const uint8_t* P)
{
    uint32_t V = 0;
    for (int I = 3; I >= 0; --I)
        V = (V << 8) | P[I];
    return V;
}

uint64_t GetU64(const uint8_t* P)
{
    uint64_t V = 0;
    for (int I = 7; I >= 0; --I)
        V = (V << 8) | P[I];
    return V;
}

void PutDouble(uint8_t* P, double V) { PutU64(P, std::bit_cast<uint64_t>(V)); }
void PutInt(uint8_t* P, int32_t V) { PutU32(P, static_cast<uint32_t>(V)); }
double GetDouble(const uint8_t* P) { return std::bit_cast<double>(GetU64(P)); }
int32_t GetInt(const uint8_t* P) { return static_cast<int32_t>(GetU32(P)); }

// One edge's row of circular arcs: chord C, sagitta S, radius R (0: flat).
struct TArcRow {
    double C = 0.0;
    double S = 0.0;
    double R = 0.0;
};

// Counts below 1 give a flat edge instead of a division by zero.
TArcRow MakeArcRow(double EdgeWidth, int32_t Count, double Height, bool Bottom)
{
    TArcRow A;
    if (Count < 1 || Height == 0.0)
        return A;
    A.C = EdgeWidth / Count;
    A.S = Bottom ? -Height * A.C / 2 : A.C * Height / 2;
    A.R = A.S == 0.0 ? 0.0 : A.C * A.C / 8 / A.S + A.S / 2;
    return A;
}

// Arcs alternate up and down, phased from the rectangle's left side.
double WaveAt(const TArcRow& A, double Offset)
{
    if (A.R == 0.0)
        return 0.0;
    const double K = std::floor(Offset / A.C);
    double U = (A.C / 2 - (Offset - K * A.C)) / A.R;
    if (U < -1.0)
        U = -1.0;
    else if (U > 1.0)
        U = 1.0;
    const double H = A.R * std::cos(std::asin(U)) - (A.R - A.S);
    return std::fmod(K, 2.0) != 0.0 ? -H : H;
}

void Envelope(const TRect& Rect, const TrecOutlineParams& P, TrecPolyLine& Dest)
{
    const double Left = Rect.Left;
    const double Bottom = Rect.Bottom;
    const double W = static_cast<double>(int64_t{Rect.Right} - Rect.Left);
    const double H = static_cast<double>(int64_t{Rect.Bottom} - Rect.Top);
    const TArcRow Top = MakeArcRow(P.TopWidth * W, P.TopArcCount, P.TopArcHeight, false);
    const TArcRow Bot = MakeArcRow(P.BottomWidth * W, P.BottomArcCount, P.BottomArcHeight, true);

    for (int32_t I = 0; I < Dest.Count; ++I) {
        TPoint& Pt = Dest.Points[static_cast<size_t>(I)];
        if (H == 0.0) {
            Pt.Y = Rect.Bottom;
            continue;
        }
        const double X = Pt.X;
        const double D = Bottom - Pt.Y;
        const double XT = P.TopWidth * (X - Left) + Left + W / 2 + W * P.TopShift -
                          W * P.TopWidth / 2;
        const double XB = P.BottomWidth * (X - Left) + Left + W / 2 + W * P.BottomShift -
                          W * P.BottomWidth / 2;
        const double YT = Bottom - (H + WaveAt(Top, XT - Left)) * P.HeightScale;
        const double YB = Bottom + WaveAt(Bot, XB - Left) * P.HeightScale;
        Pt.X = Round32(D / H * XT + (H - D) / H * XB);
        Pt.Y = Round32(D / H * YT + (H - D) / H * YB);
    }
}

void Arc(const TRect& Rect, const TrecOutlineParams& P, bool OnlySubdivide, TrecPolyLine& Dest,
         const std::vector<int32_t>& Counts, const std::vector<TPoint>& Centres)
{
    const double Left = Rect.Left;
    const double Bottom = Rect.Bottom;
    const double W = static_cast<double>(int64_t{Rect.Right} - Rect.Left);
    double R = W * P.ArcFactor * 10 / std::numbers::pi;
    if (std::fabs(R) < 0.001)
        R = 1.0;
    const double CX = static_cast<double>((int64_t{Rect.Left} + Rect.Right) / 2);
    const double CY = std::sin(std::numbers::pi / 2 - W / 2 / R) * R + Bottom;
    const auto Theta = [&](double X) { return std::numbers::pi / 2 - (W / 2 - (X - Left)) / R; };

    if (!Counts.empty() && P.ArcMode <= 0) {
        // Whole characters: each keeps its shape and stands upright on the arc.
        if (Counts.size() < 2)
            return;
        const int32_t Factor = Round32(1024 * P.HeightScale);
        TrecPolyLine Glyph;
        for (size_t C = 0; C + 1 < Counts.size() && C < Centres.size(); ++C) {
            const int32_t First = std::max(0, Counts[C]);
            const int32_t End = std::min(Dest.Count, Counts[C + 1]);
            if (First >= End)
                continue;
            const TPoint Centre = Centres[C];
            const double D = Bottom - Centre.Y;
            const double Th = Theta(Centre.X);
            const int32_t QX = Round32(CX - std::cos(Th) * (D + R));
            const int32_t QY = Round32(CY - std::sin(Th) * (D + R));
            RecPolyLineSetCount(Glyph, End - First);
            for (int32_t I = First; I < End; ++I) {
                Glyph.Points[static_cast<size_t>(I - First)] = Dest.Points[static_cast<size_t>(I)];
                Glyph.pabType[static_cast<size_t>(I - First)] = Dest.pabType[static_cast<size_t>(I)];
            }
            RecPolyLineScale(Glyph, Centre.X, Centre.Y, Factor, Factor);
            RecPolyLineOffset(Glyph, Sat32(int64_t{QX} - Centre.X), Sat32(int64_t{QY} - Centre.Y));
            RecPolyLineRotate(Glyph, QX, QY, Th - std::numbers::pi / 2);
            for (int32_t I = First; I < End; ++I)
                Dest.Points[static_cast<size_t>(I)] = Glyph.Points[static_cast<size_t>(I - First)];
        }
        return;
    }
    if (OnlySubdivide)
        return;
    for (int32_t I = 0; I < Dest.Count; ++I) {
        TPoint& Pt = Dest.Points[static_cast<size_t>(I)];
        const double D = (Bottom - Pt.Y) * P.HeightScale;
        const double Th = Theta(Pt.X);
        Pt.X = Round32(CX - std::cos(Th) * (D + R));
        Pt.Y = Round32(CY - std::sin(Th) * (D + R));
    }
}

} // namespace

std::array<uint8_t, OutlineParamsSize> OutlineParamsToBytes(const TrecOutlineParams& P)
{
    std::array<uint8_t, OutlineParamsSize> B{};
    PutDouble(&B[0], P.TopShift);
    PutDouble(&B[8], P.TopWidth);
    PutDouble(&B[16], P.BottomShift);
    PutDouble(&B[24], P.BottomWidth);
    PutDouble(&B[32], P.TopArcHeight);
    PutInt(&B[40], P.TopArcCount);
    PutDouble(&B[44], P.BottomArcHeight);
    PutInt(&B[52], P.BottomArcCount);
    PutDouble(&B[56], P.HeightScale);
    PutDouble(&B[64], P.ArcFactor);
    PutDouble(&B[72], P.Spare);
    PutInt(&B[80], P.ArcMode);
    return B;
}

TrecOutlineParams OutlineParamsFromBytes(const uint8_t* B)
{
    TrecOutlineParams P;
    P.TopShift = GetDouble(&B[0]);
    P.TopWidth = GetDouble(&B[8]);
    P.BottomShift = GetDouble(&B[16]);
    P.BottomWidth = GetDouble(&B[24]);
    P.TopArcHeight = GetDouble(&B[32]);
    P.TopArcCount = GetInt(&B[40]);
    P.BottomArcHeight = GetDouble(&B[44]);
    P.BottomArcCount = GetInt(&B[52]);
    P.HeightScale = GetDouble(&B[56]);
    P.ArcFactor = GetDouble(&B[64]);
    P.Spare = GetDouble(&B[72]);
    P.ArcMode = GetInt(&B[80]);
    return P;
}

namespace {

// Each double the transforms read with its range and its default.
struct TOutlineRange {
    double TrecOutlineParams::*Field;
    double Low, High, Default;
};
constexpr TOutlineRange OutlineRanges[] = {
    {&TrecOutlineParams::TopShift, -MaxOutlineRatio, MaxOutlineRatio, 0.0},
    {&TrecOutlineParams::TopWidth, 0.0, MaxOutlineRatio, 1.0},
    {&TrecOutlineParams::BottomShift, -MaxOutlineRatio, MaxOutlineRatio, 0.0},
    {&TrecOutlineParams::BottomWidth, 0.0, MaxOutlineRatio, 1.0},
    {&TrecOutlineParams::TopArcHeight, -MaxOutlineRatio, MaxOutlineRatio, 0.0},
    {&TrecOutlineParams::BottomArcHeight, -MaxOutlineRatio, MaxOutlineRatio, 0.0},
    {&TrecOutlineParams::HeightScale, MinOutlineScale, MaxOutlineRatio, 1.0},
    {&TrecOutlineParams::ArcFactor, MinOutlineScale, MaxOutlineRatio, 0.5},
};
constexpr int32_t TrecOutlineParams::*OutlineCounts[] = {&TrecOutlineParams::TopArcCount,
                                                         &TrecOutlineParams::BottomArcCount};

} // namespace

bool OutlineInRange(const TOutline& Outline)
{
    if (Outline.FOutlineKind > 8)
        return false;
    const TrecOutlineParams& P = Outline.Params;
    for (const TOutlineRange& R : OutlineRanges)
        if (!(P.*R.Field >= R.Low && P.*R.Field <= R.High))
            return false;
    for (auto Field : OutlineCounts)
        if (P.*Field < 0 || P.*Field > MaxOutlineWaves)
            return false;
    return true;
}

bool HoldOutline(TOutline& Outline, bool KeepUnchanged)
{
    TOutline Was;
    Was.Assign(Outline);
    if (Outline.FOutlineKind > 8 && !(KeepUnchanged && Outline.FOutlineKind == OutlineKindMerged))
        Outline.FOutlineKind = OutlineKindNone;
    TrecOutlineParams& P = Outline.Params;
    for (const TOutlineRange& R : OutlineRanges) {
        double& V = P.*R.Field;
        if (!(KeepUnchanged && V == OutlineDoubleSentinel))
            V = std::isnan(V) ? R.Default : std::clamp(V, R.Low, R.High);
    }
    for (auto Field : OutlineCounts) {
        int32_t& V = P.*Field;
        if (!(KeepUnchanged && V == OutlineIntSentinel))
            V = std::clamp(V, 0, MaxOutlineWaves);
    }
    return !Outline.Equals(Was);
}

void TOutline::Assign(const TOutline& Source)
{
    FOutlineKind = Source.FOutlineKind;
    Flag = Source.Flag;
    Params = Source.Params;
}

bool TOutline::Equals(const TOutline& Other) const
{
    return FOutlineKind == Other.FOutlineKind && Flag == Other.Flag &&
           OutlineParamsToBytes(Params) == OutlineParamsToBytes(Other.Params);
}

void TOutline::WriteToStream(TStream& Stream) const
{
    Stream.WriteBuffer(&FOutlineKind, 1);
    if (FOutlineKind == OutlineKindNone)
        return;
    Stream.WriteBuffer(&Flag, 1);
    const std::array<uint8_t, OutlineParamsSize> B = OutlineParamsToBytes(Params);
    Stream.WriteBuffer(B.data(), static_cast<int32_t>(B.size()));
}

void TOutline::ReadFromStream(TStream& Stream)
{
    uint8_t Kind = 0;
    Stream.ReadBuffer(&Kind, 1);
    if (IsIllegalKind(Kind))
        throw EReadError("TOutline.ReadFromStream: Illegal FOutlineKind");
    if (Kind == OutlineKindNone) {
        FOutlineKind = Kind;
        return;
    }
    uint8_t NewFlag = 0;
    Stream.ReadBuffer(&NewFlag, 1);
    std::array<uint8_t, OutlineParamsSize> B{};
    Stream.ReadBuffer(B.data(), static_cast<int32_t>(B.size()));
    FOutlineKind = Kind;
    Flag = NewFlag;
    Params = OutlineParamsFromBytes(B.data());
}

void TOutline::WriteToStreamAsText(TStream& Stream) const
{
    StreamWriteln(Stream, std::to_string(FOutlineKind));
    if (FOutlineKind == OutlineKindNone)
        return;
    StreamWriteln(Stream, std::to_string(Flag));
    const std::array<uint8_t, OutlineParamsSize> B = OutlineParamsToBytes(Params);
    StreamWritelnBin(Stream, B.data(), static_cast<int32_t>(B.size()), 1);
}

void TOutline::ReadFromStreamAsText(TStream& Stream)
{
    const auto ReadByteLine = [&Stream]() {
        const int32_t V = StrToInt(StreamReadln(Stream));
        if (V < 0 || V > 255)
            throw EReadError("TOutline.ReadFromStreamAsText: value out of range");
        return static_cast<uint8_t>(V);
    };
    const uint8_t Kind = ReadByteLine();
    if (IsIllegalKind(Kind))
        throw EReadError("TOutline.ReadFromStreamAsText: Illegal FOutlineKind");
    if (Kind == OutlineKindNone) {
        FOutlineKind = Kind;
        return;
    }
    const uint8_t NewFlag = ReadByteLine();
    std::array<uint8_t, OutlineParamsSize> B{};
    void* Buffer = B.data();
    if (StreamReadlnBin(Stream, Buffer, static_cast<int32_t>(B.size())) !=
        static_cast<int32_t>(B.size()))
        throw EReadError("TOutline.ReadFromStreamAsText: the parameter block is not 84 bytes");
    FOutlineKind = Kind;
    Flag = NewFlag;
    Params = OutlineParamsFromBytes(B.data());
}

void TOutline::MergeWith(const TOutline& Other)
{
    if (Flag != Other.Flag)
        Flag = 255;
    if (FOutlineKind != Other.FOutlineKind) {
        FOutlineKind = OutlineKindMerged;
        return;
    }
    if (!IsWarpKind(FOutlineKind))
        return;
    TrecOutlineParams& P = Params;
    const TrecOutlineParams& O = Other.Params;
    for (auto Field : {&TrecOutlineParams::TopShift, &TrecOutlineParams::TopWidth,
                       &TrecOutlineParams::BottomShift, &TrecOutlineParams::BottomWidth,
                       &TrecOutlineParams::TopArcHeight, &TrecOutlineParams::BottomArcHeight,
                       &TrecOutlineParams::HeightScale, &TrecOutlineParams::ArcFactor,
                       &TrecOutlineParams::Spare}) {
        if (P.*Field != O.*Field)
            P.*Field = OutlineDoubleSentinel;
    }
    if (P.TopArcCount != O.TopArcCount)
        P.TopArcCount = OutlineIntSentinel;
    if (P.BottomArcCount != O.BottomArcCount)
        P.BottomArcCount = OutlineIntSentinel;
    if ((P.ArcMode > 0) != (O.ArcMode > 0))
        P.ArcMode = OutlineIntSentinel;
}

void TOutline::ApplyMerged(const TOutline& Merged)
{
    if (Merged.Flag < 2)
        Flag = Merged.Flag;
    if (Merged.FOutlineKind >= 9)
        return;
    FOutlineKind = Merged.FOutlineKind;
    if (!IsWarpKind(FOutlineKind))
        return;
    TrecOutlineParams& P = Params;
    const TrecOutlineParams& M = Merged.Params;
    for (auto Field : {&TrecOutlineParams::TopShift, &TrecOutlineParams::TopWidth,
                       &TrecOutlineParams::BottomShift, &TrecOutlineParams::BottomWidth,
                       &TrecOutlineParams::TopArcHeight, &TrecOutlineParams::BottomArcHeight,
                       &TrecOutlineParams::HeightScale, &TrecOutlineParams::ArcFactor,
                       &TrecOutlineParams::Spare}) {
        if (M.*Field != OutlineDoubleSentinel)
            P.*Field = M.*Field;
    }
    for (auto Field : {&TrecOutlineParams::TopArcCount, &TrecOutlineParams::BottomArcCount,
                       &TrecOutlineParams::ArcMode}) {
        if (M.*Field != OutlineIntSentinel)
            P.*Field = M.*Field;
    }
}

void TOutline::Transform(const TRect& Rect, const TrecPolyLine& Source, TrecPolyLine& Dest,
                         std::vector<int32_t>& Counts, const std::vector<TPoint>& Centres) const
{
    if (FOutlineKind == OutlineKindNone) {
        if (&Dest != &Source)
            RecPolyLineAssign(Dest, Source);
        return;
    }
    if (FOutlineKind == OutlineKindMerged)
        return;
    if (IsIllegalKind(FOutlineKind))
        throw EUserError("TOutline.Transform: Illegal FOutlineKind");

    const int32_t SourceCount = Source.Count;
    std::vector<int32_t> Map;
    RecPolyLineSubdivide(Source, Dest, SubdivideStep, Map);
    if (!Counts.empty() && Counts.back() == SourceCount) {
        for (int32_t& C : Counts) {
            if (C >= 0 && C <= SourceCount)
                C = Map[static_cast<size_t>(C)];
        }
    }

    if (FOutlineKind == OutlineKindArc)
        Arc(Rect, Params, Flag != 0, Dest, Counts, Centres);
    else if (Flag == 0)
        Envelope(Rect, Params, Dest);
}
