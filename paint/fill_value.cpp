#include "paint/fill_value.h"

#include "foundation/numbers.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "store/picture_store.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>

namespace {

const char* const FillPictParamError = "TGradationObject.StrToRecGradParam Error!";

std::vector<std::string> SplitCommas(const std::string& Text)
{
    std::vector<std::string> Fields;
    size_t Start = 0;
    for (;;) {
        const size_t Comma = Text.find(',', Start);
        if (Comma == std::string::npos) {
            Fields.push_back(Text.substr(Start));
            return Fields;
        }
        Fields.push_back(Text.substr(Start, Comma - Start));
        Start = Comma + 1;
    }
}

int32_t StrictInt(const std::vector<std::string>& Fields, size_t I)
{
    int32_t V;
    if (I >= Fields.size() || !TryStrToInt(Fields[I], V))
        throw EUserError(FillPictParamError);
    return V;
}

int32_t LenientInt(const std::vector<std::string>& Fields, size_t I)
{
    int32_t V;
    return I < Fields.size() && TryStrToInt(Fields[I], V) ? V : 0;
}

// An option field as it reads: a digit stands, any other number (none is
// 0) reads as 1.
uint8_t HeldOption(int32_t Stored)
{
    return Stored >= 0 && Stored <= 9 ? static_cast<uint8_t>(Stored) : 1;
}

bool IsHexText(const std::string& S)
{
    return std::all_of(S.begin(), S.end(),
                       [](char C) { return (CharClassTable[static_cast<uint8_t>(C)] & 0x0080) != 0; });
}

// Sizes below 1 (and NaN) count as 1: a cell of no size has no lattice.
double CellSize(double Size)
{
    return Size >= 1.0 ? Size : 1.0;
}

double ClampOffset(double Offset, double Limit)
{
    const double L = static_cast<double>(RoundOff(Limit));
    return std::clamp(Offset, -L, L);
}

// Lattice lines over an extent: Extent / Pitch + Extra, within what the
// counts and the point array can hold.
int32_t LatticeCount(int32_t Extent, double Pitch, int32_t Extra)
{
    const double N = std::trunc(std::max(Extent, 0) / Pitch) + Extra;
    if (!(N < 1 << 20))
        throw std::bad_alloc();
    return static_cast<int32_t>(N);
}

// The even number of cells nearest to Extent / Pitch, at least 2.
int32_t EvenCells(int32_t Extent, double Pitch)
{
    const double Pairs = std::round(Extent / (2 * Pitch));
    if (!(Pairs < 1 << 19))
        throw std::bad_alloc();
    return 2 * std::max(1, static_cast<int32_t>(Pairs));
}

int32_t FloorMod(int32_t A, int32_t N)
{
    const int32_t M = A % N;
    return M < 0 ? M + N : M;
}

} // namespace

std::string FillPictParamToStr(const TFillPictParam& Param)
{
    std::string S = std::to_string(Param.bKind);
    for (int32_t V : {Param.iOffsetX, Param.iOffsetY, Param.iWidth, Param.iHeight})
        S += ',' + std::to_string(V);
    S += ',' + FloatToStrShortest(Param.dAngle) + ',' + std::to_string(Param.iHandle) + ',' +
         std::to_string(Param.bOption1) + ',' + std::to_string(Param.bOption2);
    return S;
}

void StrToFillPictParam(const std::string& Text, TFillPictParam& Param)
{
    if (Text.empty()) {
        Param = TFillPictParam{};
        Param.bOption1 = 2;
        return;
    }
    const std::vector<std::string> F = SplitCommas(Text);
    Param.bKind = static_cast<uint8_t>(StrictInt(F, 0));
    Param.iOffsetX = StrictInt(F, 1);
    Param.iOffsetY = StrictInt(F, 2);
    Param.iWidth = StrictInt(F, 3);
    Param.iHeight = StrictInt(F, 4);
    const double Angle =
        F.size() > 5 ? StrToFloatDef(F[5], std::numeric_limits<double>::quiet_NaN()) : NAN;
    if (std::isnan(Angle))
        throw EUserError(FillPictParamError);
    Param.dAngle = Angle;
    Param.iHandle = StrictInt(F, 6);
    Param.bOption1 = HeldOption(LenientInt(F, 7));
    if (F.size() >= 9)
        Param.bOption2 = HeldOption(LenientInt(F, 8));
}

bool FillPictOptionsAsStored(const std::string& Text)
{
    const std::vector<std::string> F = SplitCommas(Text);
    const int32_t First = LenientInt(F, 7);
    const int32_t Second = LenientInt(F, 8);
    return HeldOption(First) == First && HeldOption(Second) == Second;
}

bool StrToFillValue(const std::string& Text, TFillValue& Value)
{
    if (Text.empty())
        return false;
    TFillValue V;
    V.Method = Text[0];
    switch (V.Method) {
    case FillMethodNone:
    case FillMethodNoPaint:
        break;
    case FillMethodColor: {
        const std::string Hex = Text.substr(1);
        if (Hex.empty() || Hex.size() > 8 || !IsHexText(Hex))
            return false;
        V.Color = HexToInt(Hex);
        break;
    }
    case FillMethodGradation:
    case FillMethodPicture:
        if (Text.size() < 2)
            return false;
        V.Option = Text[1];
        try {
            if (V.Method == FillMethodPicture)
                StrToFillPictParam(Text.substr(2), V.PictParam);
            else if (!V.Gradation.StrToGradation(Text.substr(2)))
                return false;
        } catch (const Exception&) {
            return false;
        }
        break;
    default:
        return false;
    }
    Value = std::move(V);
    return true;
}

std::string FillValueToStr(const TFillValue& Value)
{
    switch (Value.Method) {
    case FillMethodColor: {
        char Buf[16];
        std::snprintf(Buf, sizeof Buf, "%06X", static_cast<uint32_t>(Value.Color));
        return std::string(1, FillMethodColor) + Buf;
    }
    case FillMethodGradation:
        return std::string{FillMethodGradation, Value.Option} + Value.Gradation.GradationToStr();
    case FillMethodPicture:
        return std::string{FillMethodPicture, Value.Option} + FillPictParamToStr(Value.PictParam);
    default:
        return std::string(1, Value.Method);
    }
}

TrecPicture* GetFillPictParamPicture(const std::string& Value, const TListRecPict& Store)
{
    if (Value.empty() || Value[0] != FillMethodPicture)
        return nullptr;
    TFillPictParam Param;
    StrToFillPictParam(Value.size() > 2 ? Value.substr(2) : std::string(), Param);
    TListRecPictItem* Item = Store.GetItemByHandle(Param.iHandle);
    return Item ? &Item->Picture : nullptr;
}

void MakeRectPoint(double CellWidth, double CellHeight, double OffsetX, bool Loop,
                   std::vector<TDPoint>& Points, int32_t& Columns, int32_t& Rows, double Jitter,
                   int32_t AreaWidth, int32_t AreaHeight, double OffsetY)
{
    if (Loop)
        throw EUserError("MakeRectPoint: boolLoop Not Implememt");
    const double W = CellSize(CellWidth);
    const double H = CellSize(CellHeight);
    const int32_t NX = LatticeCount(AreaWidth, W, 6);
    const int32_t NY = LatticeCount(AreaHeight, H, 6);
    Points.assign(static_cast<size_t>(NX + 1) * static_cast<size_t>(NY + 1), TDPoint{});
    const double AX = W * Jitter * 0.9;
    const double AY = H * Jitter * 0.9;
    OffsetX = ClampOffset(OffsetX, 2 * W);
    OffsetY = ClampOffset(OffsetY, 2 * H);
    for (int32_t J = -3; J <= NY - 3; ++J) {
        for (int32_t I = -3; I <= NX - 3; ++I) {
            const double R1 = RandomFloat();
            const double R2 = RandomFloat();
            TDPoint& P = Points[static_cast<size_t>(J + 3) * static_cast<size_t>(NX + 1) +
                                static_cast<size_t>(I + 3)];
            P.X = (R1 - 0.5) * AX + W * I + OffsetX;
            P.Y = (R2 - 0.5) * AY + H * J + OffsetY;
        }
    }
    Columns = NX + 1;
    Rows = NY + 1;
}

void MakeHexPoint(double CellWidth, double /*CellHeight*/, double OffsetX, bool Loop,
                  std::vector<TDPoint>& Points, int32_t& Columns, int32_t& Rows, double Jitter,
                  int32_t AreaWidth, int32_t AreaHeight, double OffsetY)
{
    constexpr double Sin30 = 0.5;
    const double Cos30 = std::sqrt(3.0) / 2;
    const double S = CellSize(CellWidth);
    double CX = S * Cos30;
    double CY = S + S * Sin30;
    OffsetX = ClampOffset(OffsetX, 4 * S);
    OffsetY = ClampOffset(OffsetY, 4 * S);
    Loop = Loop && AreaWidth >= 1 && AreaHeight >= 1;

    // Cells over the area when wrapping; even counts keep the alternating
    // half shift in step across the seam.
    int32_t LoopX = 0, LoopY = 0;
    if (Loop) {
        LoopX = EvenCells(AreaWidth, CX);
        LoopY = EvenCells(AreaHeight, CY);
        CX = double(AreaWidth) / LoopX;
        CY = double(AreaHeight) / LoopY;
    }
    // The size whose rows have the pitch CY.
    const double SY = CY / (1 + Sin30);
    const double Shift = SY * Sin30 / 2;
    const double AmpY = SY * Sin30 * 1.4 * Jitter;

    const int32_t NX = Loop ? LoopX + 14 : LatticeCount(AreaWidth, CX, 14);
    const int32_t NY = Loop ? LoopY + 9 : LatticeCount(AreaHeight, CY, 9);
    Points.assign(static_cast<size_t>(NX) * static_cast<size_t>(NY), TDPoint{});

    auto Odd = [](int32_t I, int32_t J) { return ((I + J) & 1) != 0; };
    auto Jittered = [&](int32_t I, int32_t J) {
        const double R1 = RandomFloat();
        const double R2 = RandomFloat();
        return TDPoint{(R1 - 0.5) * CX * Jitter, (R2 - (Odd(I, J) ? 0.66667 : 0.33333)) * AmpY};
    };
    auto Place = [&](int32_t I, int32_t J, const TDPoint& D) {
        TDPoint& P = Points[static_cast<size_t>(J + 4) * static_cast<size_t>(NX) + static_cast<size_t>(I + 6)];
        P.X = D.X + I * CX + OffsetX;
        P.Y = D.Y + J * CY + (Odd(I, J) ? -Shift : Shift) + OffsetY;
    };

    if (!Loop) {
        for (int32_t J = -4; J <= NY - 5; ++J) {
            for (int32_t I = -6; I <= NX - 6; ++I) {
                const TDPoint D = Jittered(I, J);
                // The last draw of a row has no place in it; it is still made
                // so that every lattice of a seed stays as it always was.
                if (I < NX - 6)
                    Place(I, J, D);
            }
        }
    } else {
        std::vector<TDPoint> Cells(static_cast<size_t>(LoopX) * static_cast<size_t>(LoopY));
        for (int32_t J = 0; J < LoopY; ++J)
            for (int32_t I = 0; I < LoopX; ++I)
                Cells[static_cast<size_t>(J) * LoopX + I] = Jittered(I, J);
        for (int32_t J = -4; J <= NY - 5; ++J)
            for (int32_t I = -6; I <= NX - 7; ++I)
                Place(I, J, Cells[static_cast<size_t>(FloorMod(J, LoopY)) * LoopX + FloorMod(I, LoopX)]);
    }
    Columns = NX;
    Rows = NY;
}
