#include "paint/gradation_object.h"

#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "foundation/numbers.h"

#include <algorithm>

namespace {

// Sets the stop at Position in a list kept in position order.
template <class TStop, class TSet>
void SetStop(std::vector<TStop>& Stops, int32_t Position, TSet Set)
{
    size_t I = Stops.size();
    while (I > 0 && Stops[I - 1].iPosition > Position)
        --I;
    if (I > 0 && Stops[I - 1].iPosition == Position) {
        Set(Stops[I - 1]);
        return;
    }
    TStop Stop;
    Stop.iPosition = Position;
    Set(Stop);
    Stops.insert(Stops.begin() + static_cast<ptrdiff_t>(I), Stop);
}

template <class TStop>
void DeleteStop(std::vector<TStop>& Stops, int32_t Index)
{
    if (Index >= 0 && static_cast<size_t>(Index) < Stops.size())
        Stops.erase(Stops.begin() + Index);
}

template <class TStop>
bool DeleteStopAt(std::vector<TStop>& Stops, int32_t Position)
{
    const auto It = std::find_if(Stops.begin(), Stops.end(),
                                 [Position](const TStop& S) { return S.iPosition == Position; });
    if (It == Stops.end())
        return false;
    Stops.erase(It);
    return true;
}

template <class TStop>
void SortStops(std::vector<TStop>& Stops)
{
    std::sort(Stops.begin(), Stops.end(),
              [](const TStop& A, const TStop& B) { return A.iPosition < B.iPosition; });
}

template <class TStop>
void ReverseStops(std::vector<TStop>& Stops)
{
    std::reverse(Stops.begin(), Stops.end());
    for (TStop& S : Stops)
        S.iPosition = GradationTableSize - 1 - S.iPosition;
}

// Numbers of the text one by one, each up to the next "," or the end.
class TNumberReader {
public:
    explicit TNumberReader(const std::string& Text, size_t Start) : FText(Text), FPos(Start) {}

    bool AtEnd() const { return FPos >= FText.size(); }

    int32_t Next()
    {
        return StrToInt(NextText());
    }

    std::string NextText()
    {
        if (AtEnd())
            return {};
        size_t Comma = FText.find(',', FPos);
        if (Comma == std::string::npos)
            Comma = FText.size();
        std::string Field = FText.substr(FPos, Comma - FPos);
        FPos = Comma + 1;
        return Field;
    }

    // Numbers left in the text.
    size_t Remaining() const
    {
        if (AtEnd())
            return 0;
        return 1 + static_cast<size_t>(std::count(FText.begin() + static_cast<ptrdiff_t>(FPos), FText.end(), ','));
    }

    // A stop count that the pairs after it can hold.
    size_t NextCount()
    {
        const std::string Field = NextText();
        const int32_t Count = StrToInt(Field);
        if (Count < 0 || static_cast<size_t>(Count) * 2 > Remaining())
            throw EConvertError("'" + Field + "' は有効な整数値ではありません");
        return static_cast<size_t>(Count);
    }

private:
    const std::string& FText;
    size_t FPos;
};

} // namespace

void TGradationObject::SetColStop(int32_t Position, int32_t Color)
{
    SetStop(ColStops, Position, [Color](TrecGradColStop& S) { S.Color = Color; });
}

void TGradationObject::SetTransStop(int32_t Position, int32_t Value)
{
    SetStop(TransStops, Position, [Value](TrecGradTransStop& S) { S.iValue = Value; });
}

void TGradationObject::DeleteColStop(int32_t Index)
{
    DeleteStop(ColStops, Index);
}

void TGradationObject::DeleteTransStop(int32_t Index)
{
    DeleteStop(TransStops, Index);
}

bool TGradationObject::DeleteColStopAt(int32_t Position)
{
    return DeleteStopAt(ColStops, Position);
}

bool TGradationObject::DeleteTransStopAt(int32_t Position)
{
    return DeleteStopAt(TransStops, Position);
}

void TGradationObject::SortColStops()
{
    SortStops(ColStops);
}

void TGradationObject::SortTransStops()
{
    SortStops(TransStops);
}

void TGradationObject::Reverse()
{
    ReverseStops(ColStops);
    ReverseStops(TransStops);
}

std::string TGradationObject::GradationToStr() const
{
    std::string S;
    for (uint8_t B : {bShape, bRepetition, bInterpolation, bOption})
        S += static_cast<char>('0' + B);
    S += std::to_string(iOpacity);
    for (int32_t V : {iRepeatCount, iX1, iY1, iX2, iY2})
        S += ',' + std::to_string(V);
    S += ',' + std::to_string(ColStops.size());
    for (const TrecGradColStop& Stop : ColStops)
        S += ',' + std::to_string(Stop.iPosition) + ',' + std::to_string(Stop.Color);
    S += ',' + std::to_string(TransStops.size());
    for (const TrecGradTransStop& Stop : TransStops)
        S += ',' + std::to_string(Stop.iPosition) + ',' + std::to_string(Stop.iValue);
    for (int32_t V : {Adjust.iHueShift, Adjust.iBrightOffset, Adjust.iBrightScale, Adjust.iSatOffset,
                      Adjust.iSatScale})
        S += ',' + std::to_string(V);
    return S;
}

bool TGradationObject::StrToGradation(const std::string& Text)
{
    if (Text.empty())
        return false;
    uint8_t* const Options[4] = {&bShape, &bRepetition, &bInterpolation, &bOption};
    const size_t OptionCount = std::min<size_t>(4, Text.size());
    for (size_t I = 0; I < OptionCount; ++I)
        *Options[I] = static_cast<uint8_t>(Text[I] - '0');

    TNumberReader R(Text, OptionCount);
    for (int32_t* Field : {&iOpacity, &iRepeatCount, &iX1, &iY1, &iX2, &iY2})
        *Field = R.Next();

    std::vector<TrecGradColStop> Cols(R.NextCount());
    for (TrecGradColStop& Stop : Cols) {
        Stop.iPosition = R.Next();
        Stop.Color = R.Next();
    }
    ColStops = std::move(Cols);

    std::vector<TrecGradTransStop> Trans(R.NextCount());
    for (TrecGradTransStop& Stop : Trans) {
        Stop.iPosition = R.Next();
        Stop.iValue = R.Next();
    }
    TransStops = std::move(Trans);

    if (R.AtEnd()) {
        Adjust = TrecColorAdjust{}; // older texts have no adjustment
        return true;
    }
    for (int32_t* Field : {&Adjust.iHueShift, &Adjust.iBrightOffset, &Adjust.iBrightScale,
                           &Adjust.iSatOffset, &Adjust.iSatScale})
        *Field = R.Next();
    return true;
}

namespace {

bool Within(int32_t V, int32_t Low, int32_t High) { return V >= Low && V <= High; }

template <class TStop>
bool StopsInOrder(const std::vector<TStop>& Stops)
{
    return std::is_sorted(Stops.begin(), Stops.end(),
                          [](const TStop& A, const TStop& B) { return A.iPosition < B.iPosition; });
}

template <class V>
void Put(V& Field, V Value, bool& Changed)
{
    if (Field != Value) {
        Field = Value;
        Changed = true;
    }
}

} // namespace

bool GradationInEditorRange(const TrecGradation& G)
{
    const TrecColorAdjust& A = G.Adjust;
    if (G.bShape > MaxGradShape || G.bRepetition > MaxGradRepetition || G.bInterpolation > MaxGradInterpolation ||
        G.bOption > MaxGradOption || !Within(G.iOpacity, 0, MaxGradOpacity) ||
        !Within(G.iRepeatCount, MinGradRepeat, MaxGradRepeat) || !Within(A.iHueShift, -MaxGradHueShift, MaxGradHueShift) ||
        !Within(A.iBrightOffset, -MaxGradOffset, MaxGradOffset) || !Within(A.iBrightScale, 0, MaxGradScale) ||
        !Within(A.iSatOffset, -MaxGradOffset, MaxGradOffset) || !Within(A.iSatScale, 0, MaxGradScale))
        return false;
    for (const TrecGradColStop& S : G.ColStops)
        if (!Within(S.iPosition, 0, GradationTableSize - 1) || !Within(S.Color, 0, MaxGradStopColor))
            return false;
    for (const TrecGradTransStop& S : G.TransStops)
        if (!Within(S.iPosition, 0, GradationTableSize - 1) || !Within(S.iValue, 0, MaxGradStopOpacity))
            return false;
    return StopsInOrder(G.ColStops) && StopsInOrder(G.TransStops);
}

bool HoldGradationInEditorRange(TrecGradation& G)
{
    bool Changed = false;
    Put(G.bShape, std::min(G.bShape, MaxGradShape), Changed);
    Put(G.bRepetition, std::min(G.bRepetition, MaxGradRepetition), Changed);
    Put(G.bInterpolation, std::min(G.bInterpolation, MaxGradInterpolation), Changed);
    Put(G.bOption, std::min(G.bOption, MaxGradOption), Changed);
    Put(G.iOpacity, ClampedValue(G.iOpacity, 0, MaxGradOpacity), Changed);
    Put(G.iRepeatCount, ClampedValue(G.iRepeatCount, MinGradRepeat, MaxGradRepeat), Changed);
    TrecColorAdjust& A = G.Adjust;
    Put(A.iHueShift, ClampedValue(A.iHueShift, -MaxGradHueShift, MaxGradHueShift), Changed);
    Put(A.iBrightOffset, ClampedValue(A.iBrightOffset, -MaxGradOffset, MaxGradOffset), Changed);
    Put(A.iBrightScale, ClampedValue(A.iBrightScale, 0, MaxGradScale), Changed);
    Put(A.iSatOffset, ClampedValue(A.iSatOffset, -MaxGradOffset, MaxGradOffset), Changed);
    Put(A.iSatScale, ClampedValue(A.iSatScale, 0, MaxGradScale), Changed);
    for (TrecGradColStop& S : G.ColStops) {
        Put(S.iPosition, ClampedValue(S.iPosition, 0, GradationTableSize - 1), Changed);
        Put(S.Color, S.Color & MaxGradStopColor, Changed);
    }
    for (TrecGradTransStop& S : G.TransStops) {
        Put(S.iPosition, ClampedValue(S.iPosition, 0, GradationTableSize - 1), Changed);
        Put(S.iValue, S.iValue & MaxGradStopOpacity, Changed);
    }
    const auto ByPosition = [](const auto& A, const auto& B) { return A.iPosition < B.iPosition; };
    if (!StopsInOrder(G.ColStops)) {
        std::stable_sort(G.ColStops.begin(), G.ColStops.end(), ByPosition);
        Changed = true;
    }
    if (!StopsInOrder(G.TransStops)) {
        std::stable_sort(G.TransStops.begin(), G.TransStops.end(), ByPosition);
        Changed = true;
    }
    return Changed;
}
