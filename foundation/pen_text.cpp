#include "foundation/pen_text.h"

#include "foundation/text_fields.h"
#include "foundation/numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

constexpr int32_t DefaultWidth = -1;
constexpr int32_t DefaultStyle = 0xFF00;
constexpr double DefaultMiterLimit = -1.0;

constexpr int Precision = 6;
constexpr int Decimals = 2;

// Keeps Keep leading digits of Digits (place values 10^(N-1) downwards),
// rounding half away from zero; a carry out of the first digit raises N.
std::string RoundDigits(const std::string& Digits, int Keep, int& N)
{
    if (Keep < 0)
        return {};
    std::string D = Digits.substr(0, static_cast<size_t>(Keep));
    if (static_cast<size_t>(Keep) < Digits.size() && Digits[static_cast<size_t>(Keep)] >= '5') {
        int I = Keep - 1;
        while (I >= 0 && D[static_cast<size_t>(I)] == '9')
            D[static_cast<size_t>(I--)] = '0';
        if (I >= 0) {
            ++D[static_cast<size_t>(I)];
        } else {
            D.insert(D.begin(), '1');
            ++N;
        }
    }
    return D;
}

// Fixed notation with two decimals at six significant digits, independent of
// the user's locale; values with more than six integer digits switch to the
// short exponent form ("1.23457E6").
std::string FormatFixed2(double X)
{
    if (std::isnan(X))
        return "NAN";
    if (std::isinf(X))
        return X < 0 ? "-INF" : "INF";
    const double A = std::fabs(X);
    if (A == 0.0)
        return "0.00";

    // Enough digits that a halfway case is seen exactly.
    char Buf[128];
    const auto R = std::to_chars(Buf, Buf + sizeof Buf, A, std::chars_format::scientific, 60);
    const std::string Text(Buf, R.ptr);
    const size_t E = Text.find('e');
    const std::string Digits = Text.substr(0, 1) + Text.substr(2, E - 2);
    int Exp = 0;
    const char* ExpBegin = Text.c_str() + E + 1;
    const bool ExpNegative = *ExpBegin == '-';
    if (*ExpBegin == '+' || *ExpBegin == '-')
        ++ExpBegin;
    std::from_chars(ExpBegin, Text.c_str() + Text.size(), Exp);
    if (ExpNegative)
        Exp = -Exp;

    int N = Exp + 1; // digits before the point
    std::string D;
    if (N <= Precision)
        D = RoundDigits(Digits, std::min(N + Decimals, Precision), N);
    else
        D = RoundDigits(Digits, Precision, N);

    std::string Result;
    if (N > Precision) {
        while (D.size() > 1 && D.back() == '0')
            D.pop_back();
        Result = D.substr(0, 1);
        if (D.size() > 1)
            Result += "." + D.substr(1);
        Result += "E" + std::to_string(N - 1);
    } else {
        auto DigitAt = [&](int Place) {
            const int Index = N - 1 - Place;
            return Index >= 0 && Index < static_cast<int>(D.size()) ? D[static_cast<size_t>(Index)] : '0';
        };
        for (int Place = std::max(N, 1) - 1; Place >= 0; --Place)
            Result += DigitAt(Place);
        Result += '.';
        for (int Place = -1; Place >= -Decimals; --Place)
            Result += DigitAt(Place);
    }
    // A value that rounds to zero shows no sign.
    if (X < 0 && D.find_first_not_of('0') != std::string::npos)
        Result.insert(Result.begin(), '-');
    return Result;
}

// A cap (bits 8-11) or join field (bits 12-15) the dialogs offer: 0, 1, 2
// or all ones. Another value becomes the one the stroker drew for it: it
// reads the low two bits, drawing a cap of 3 flat as 2 and a join of 3 as
// none, as it draws all ones.
uint32_t HeldStyleField(uint32_t Field, uint32_t LowThree)
{
    if (Field <= 2 || Field == 0xF)
        return Field;
    const uint32_t Drawn = Field & 3;
    return Drawn == 3 ? LowThree : Drawn;
}

uint32_t HeldPenStyle(uint32_t Style)
{
    const uint32_t Cap = HeldStyleField((Style >> 8) & 0xF, 2);
    const uint32_t Join = HeldStyleField((Style >> 12) & 0xF, 0xF);
    return Cap << 8 | Join << 12;
}

} // namespace

bool StrToPenData(const std::string& S, TrecPenData& Pen)
{
    std::memset(&Pen, 0, sizeof Pen);
    int32_t Pos = 1;
    const int32_t Width = GetFieldInt(S, Pos, ',', DefaultWidth);
    const int32_t Style = GetFieldInt(S, Pos, ',', DefaultStyle);
    const std::string Rest =
        static_cast<size_t>(Pos) <= S.size() ? S.substr(static_cast<size_t>(Pos) - 1) : std::string();
    const double MiterLimit = StrToFloatDef(Rest, DefaultMiterLimit);
    Pen.Width = Width;
    Pen.Style = static_cast<uint32_t>(Style);
    Pen.MiterLimit = MiterLimit;
    return Width != DefaultWidth && Style != DefaultStyle && MiterLimit != DefaultMiterLimit;
}

void MergePenDataStr(TrecPenData& Pen, const std::string& S)
{
    TrecPenData Given;
    StrToPenData(S, Given);
    if (Given.Width != DefaultWidth)
        Pen.Width = Given.Width;
    for (const uint32_t Field : {0x0F00u, 0xF000u})
        if ((Given.Style & Field) < Field)
            Pen.Style = (Pen.Style & ~Field) | (Given.Style & Field);
    if (Given.MiterLimit != DefaultMiterLimit)
        Pen.MiterLimit = Given.MiterLimit;
}

void PenDataToStr(const TrecPenData& Pen, std::string& S)
{
    S = std::to_string(Pen.Width) + "," + std::to_string(static_cast<int32_t>(Pen.Style)) + "," +
        FormatFixed2(Pen.MiterLimit);
}

bool PenDataInRange(const TrecPenData& Pen)
{
    const bool Width = Pen.Width >= -1 && Pen.Width <= MaxPenWidth;
    const bool Miter = Pen.MiterLimit == -1.0 || (Pen.MiterLimit >= 0.0 && Pen.MiterLimit <= MaxPenMiterLimit);
    return Width && Miter && HeldPenStyle(Pen.Style) == Pen.Style;
}

bool HoldPenData(TrecPenData& Pen)
{
    if (PenDataInRange(Pen))
        return false;
    Pen.Width = ClampedValue(Pen.Width, -1, MaxPenWidth);
    const double M = Pen.MiterLimit;
    if (M != -1.0 && !(M >= 0.0 && M <= MaxPenMiterLimit))
        Pen.MiterLimit = M > MaxPenMiterLimit ? MaxPenMiterLimit : 0.0;
    Pen.Style = HeldPenStyle(Pen.Style);
    return true;
}

bool PenTextReads(const std::string& S)
{
    if (S.empty())
        return true;
    const size_t First = S.find(',');
    const size_t Second = First == std::string::npos ? First : S.find(',', First + 1);
    if (Second == std::string::npos)
        return false;
    int32_t V;
    return TryStrToInt(S.substr(0, First), V) && TryStrToInt(S.substr(First + 1, Second - First - 1), V) &&
           std::isfinite(StrToFloatDef(S.substr(Second + 1), NAN));
}
